// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/key_check.h"

#include "common/time_limit.h"
#include "random_text.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace zk {
namespace {

TEST(RatioComplexity, CountsPrimeFactorsTwoThreeFive) {
    struct Case {
        long double a;
        long double b;
        long long expected;
    };
    const Case cases[] = {
        {5, 4, 3},
        {6, 5, 3},
        {3, 2, 2},
        {9, 8, 5},
        {10, 9, 4},
        {16, 15, 6},                       // just steps
        {40, 27, 7},                       // impure fifth
        {32, 27, 8},                       // Pythagorean minor third
        {1, 2, 1},                         // octave
        {7, 4, 2},                         // the 7 does not count
        {132, 165, 3},                     // frequencies, not only small numbers
        {0, 132, kNoFractionScore},        // nothing to compare
        {6000000001, 2, kNoFractionScore}, // beyond 32-bit numbers
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RatioComplexity(c.a, c.b), c.expected) << static_cast<double>(c.a);
    }
}

TEST(KeyScores, ChordsInTrialKeys) {
    struct Case {
        const char* chord;
        const char* key;
        long long score;
    };
    const QString big = QStringLiteral("c1:99:99:99:99:99"); // 99^5 above c1
    const Case cases[] = {
        {"ceg", "c", 6},                              // 4/5 and 5/6
        {"ceg", "d", 11},                             // 4/5 and 27/32
        {"c", "c", 0},                                // one tone has no neighbour
        {"c1c2", "c", 1},                             // an octave counts its factor 2
        {"c.e", "c", 0},                              // a tone after an empty slot neither
        {"dfa", "d", 6},                              // d minor
        {"cc:99:99:99:99:99", "c", kNoFractionScore}, // no 32-bit fraction
    };
    for (const Case& c : cases) {
        TonartScale scale;
        const auto scores = KeyScores(QString::fromUtf8(c.chord), scale);
        EXPECT_EQ(scores.at(static_cast<std::size_t>(TonartList().indexOf(c.key))), c.score)
            << c.chord << " in " << c.key;
    }
    // Seven failing pairs add up without overflow.
    TonartScale scale;
    EXPECT_EQ(KeyScores("c1" + big + "c1" + big + "c1" + big + "c1" + big, scale)[0],
              7 * kNoFractionScore);
}

// The same comma on every tone moves the chord, not its intervals.
TEST(KeyScores, UniformCommaKeepsTheScores) {
    TonartScale scale;
    const auto plain = KeyScores(QStringLiteral("dfac1"), scale);
    EXPECT_EQ(KeyScores(QStringLiteral("d-f-a-c1-"), scale), plain);
    EXPECT_NE(KeyScores(QStringLiteral("d-fac1"), scale), plain);
}

TEST(TonartCheck, AdviceThen25LinesInFixedOrder) {
    TonartScale scale;
    const QStringList lines = TonartCheck(QStringLiteral("ceg"), scale).split(u'\r');
    ASSERT_EQ(lines.size(), 30);
    EXPECT_EQ(lines.at(4), QStringLiteral("2. dass gleiche Töne die gleiche Frequenz erhalten "
                                          "(Kommafalle vermeiden!)"));
    EXPECT_EQ(lines.at(5), QStringLiteral("6           c"));
    EXPECT_EQ(lines.at(9), QStringLiteral("11          d"));
    EXPECT_EQ(lines.at(29), QStringLiteral("6           h#")); // h# lies on c
    TonartScale other;
    EXPECT_EQ(TonartCheck(QStringLiteral("cc:99:99:99:99:99"), other).split(u'\r').at(5),
              QStringLiteral("987 654 321 c")); // digits grouped, padded to 12
}

// A chord cell can hold a very long text. Only its first eight slots count, and they are read
// once for all 25 trial keys.
TEST(KeyScores, LongChordTexts) {
    struct Case {
        const char* what;
        QString chord;
        const char* same; // a short chord with the same scores, if any
    };
    const Case cases[] = {
        {"text after the eighth slot", QStringLiteral("dfac1") + QString(100000, u'x'), "dfac1"},
        {"blanks between the tones", QStringLiteral("d f") + QString(100000, u' ') + u'a', "dfa"},
        {"a tone with a long tail of modifiers",
         u'd' + QStringLiteral("+-',()").repeated(100000 / 6) + QStringLiteral("fac1"), nullptr},
    };
    for (const Case& c : cases) {
        TonartScale scale;
        QElapsedTimer timer;
        timer.start();
        const auto scores = KeyScores(c.chord, scale);
        // 15 ms on an idle machine for the modifiers; generous for a loaded one and for the
        // sanitizer build.
        EXPECT_LT(timer.elapsed(), test::TimeLimitMs(250)) << c.what;
        if (c.same != nullptr) {
            EXPECT_EQ(scores, KeyScores(QString::fromUtf8(c.same), scale)) << c.what;
        }
    }
}

// Any text, however odd, gives 25 lines and ends.
TEST(TonartCheck, RandomChordsNeverStall) {
    const QString alphabet = QStringLiteral("abcdefghCDEG0123#*+-'(),:.x ");
    QRandomGenerator random(99);
    for (int round = 0; round < 300; ++round) {
        const QString chord = test::RandomText(random, alphabet, 0, 20);
        TonartScale scale;
        ASSERT_EQ(TonartCheck(chord, scale).count(u'\r'), 29) << chord.toStdString();
    }
}

} // namespace
} // namespace zk
