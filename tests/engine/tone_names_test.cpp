// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/tone_names.h"
#include "support/errors.h"

#include "random_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zk {
namespace {

constexpr long double kSemitone = 1.059463094359295L;

TEST(ParseTone, ReadsOneSlot) {
    struct Case {
        const char* text;
        int start;
        long double frequency;
        const char* modifiers;
        bool digit;
        int end; // position after the slot
    };
    const Case cases[] = {
        {"a6", 1, 14080, "", true, 3},                                    // octaves up
        {"A2", 1, 27.5, "", true, 3},                                     // upper case: down
        {"H", 1, 123.470825314L, "", false, 2},                           // h is B natural
        {"a12", 1, 440, "", true, 3},                                     // one digit only
        {"   e", 1, 164.813778456L, "", false, 5},                        // blanks skipped
        {"e**", 1, 164.813778456L / kSemitone / kSemitone, "", false, 4}, // double flat
        {"c1#+e", 1, 2 * 130.81278265L * kSemitone, "+", true, 5},        // next letter ends it
        {"g'(,)-+", 1, 195.997717901L, "'(,)-+", false, 8},               // modifiers in order
        {"g:12:3e", 1, 195.997717901L, ":12:3", false, 7},                // overtones 12 and 3
        {"g:e", 1, 195.997717901L, "", false, 3},                         // bare colon skipped
        {"x2#+c", 1, 0, "+", true, 5},            // a stray letter is an empty slot with its tail
        {"ceg", 2, 164.813778456L, "", false, 3}, // the second slot
        {"   ", 1, 0, "", false, 4},              // blanks only
        {"ceg", 4, 0, "", false, 4},              // past the end
    };
    for (const Case& c : cases) {
        int pos = c.start;
        const ParsedTone tone = ParseTone(QString::fromUtf8(c.text), pos);
        EXPECT_NEAR(static_cast<double>(tone.frequency), static_cast<double>(c.frequency), 1e-9)
            << c.text;
        EXPECT_EQ(tone.modifiers.ToText(), QString::fromUtf8(c.modifiers)) << c.text;
        EXPECT_EQ(tone.digitGiven, c.digit) << c.text;
        EXPECT_EQ(pos, c.end) << c.text;
    }
}

TEST(ParseTone, EndlessAccidentalsAndOvertonesNeverGiveInfinity) {
    int pos = 1;
    EXPECT_THROW(ParseTone(QStringLiteral("c") + QString(200000, u'#'), pos), MathError);
    pos = 1;
    const ParsedTone low = ParseTone(QStringLiteral("c") + QString(200000, u'*'), pos);
    EXPECT_TRUE(low.frequency >= 0 && low.frequency < 1e-300L);
    ModifierText overtones;
    overtones.items.assign(20000, Modifier{u':', 99});
    EXPECT_THROW(overtones.Apply(440), MathError);
}

// Whatever the text, every call inside it consumes at least one character, so a loop over the
// slots of any chord text ends.
TEST(ParseTone, AlwaysAdvancesOnRandomText) {
    const QString alphabet = QStringLiteral("abcdefghABCDEFGHxyz0123456789#*+-',():. ~m@äß\t");
    QRandomGenerator random(4711);
    for (int round = 0; round < 2000; ++round) {
        const QString text = test::RandomText(random, alphabet, 1, 24);
        for (int pos = 1; pos <= text.size();) {
            const int before = pos;
            const ParsedTone tone = ParseTone(text, pos);
            ASSERT_GT(pos, before) << text.toStdString();
            ASSERT_TRUE(std::isfinite(tone.frequency) && tone.frequency >= 0);
        }
    }
}

} // namespace
} // namespace zk
