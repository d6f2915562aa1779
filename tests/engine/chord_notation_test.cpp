// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/chord_notation.h"
#include "engine/interval_analysis.h"
#include "engine/temperaments.h"
#include "support/errors.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <cmath>

namespace zk {
namespace {

TEST(RowFrequencies, ChordsInKeys) {
    struct Case {
        const char* key; // key entry of the row ("~", "m…" or a just key after "c")
        const char* chord;
        long double kammerton;
        std::array<long double, 8> expected;
    };
    const Case cases[] = {
        {"c", "cegcegc", 440, {132, 165, 198, 264, 330, 396, 528}}, // each tone above the last
        {"c", "cc", 440, {132, 264}},                               // the same tone: an octave up
        {"c", "ccc", 440, {132, 264, 528}},                         //
        {"c", "c1c", 440, {264, 528}},                              // above a written octave
        {"c", "hc", 440, {247.5, 264}},                             // above, not an octave more
        {"c", "c1egc0eg", 440, {264, 330, 396, 132, 165, 198}},     // a digit is taken as written
        {"c", "c1c2e2*g2", 440, {264, 528, 633.6, 792}},            // c minor
        {"c", "e.c", 440, {165, 0, 132}},                           // after an empty slot: no raise
        {"c", "c e  g", 440, {132, 165, 198}},                      // blanks between tones
        {"c", "cdefgahcd", 440, {132, 148.5, 165, 176, 198, 220, 247.5, 264}}, // eight at most
        {"c", "...", 440, {}},                                                 // a rest
        {"c", "g:e", 440, {198, 330}},                                         // bare colon skipped
        {"c", "c1egc0", 444, {266.4, 333, 399.6, 133.2}},   // raising after scaling
        {"~", "c1+:3c#", 440, {261.6255653L, 277.182631L}}, // modifiers without effect
        {"~", "A2a6", 440, {27.5, 14080}},                  // the outer registers
        {"m@", "c1a1", 440, {264, 443.9932}},               // c1 of the just keys
        {"ma", "c1", 440, {263.1814}},                      // quarter-comma meantone
        {"mZ", "c1e1", 440, {264, 330}}, // no such row: just intonation with a = 440 Hz as tonic
    };
    for (const Case& c : cases) {
        TemperamentList list;
        TonartScale scale(&list);
        scale.EnterKey(QStringLiteral("c"));
        const ChordFrequencies f = RowFrequencies(
            QString::fromUtf8(c.chord), QString::fromUtf8(c.key), c.kammerton / 440, scale);
        for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
            EXPECT_NEAR(static_cast<double>(f[i]), static_cast<double>(c.expected.at(i)), 1e-4)
                << c.key << " " << c.chord << " slot " << i + 1;
        }
    }
}

TEST(RowFrequencies, TemperedRowsReadTheListAtEveryTone) {
    TemperamentList list;
    TonartScale scale(&list);
    EXPECT_NEAR(static_cast<double>(RowFrequencies("a1", "mq", 1, scale)[0]), 440, 1e-9);
    list.SetLines(QStringList{"mq neu 5"} + list.lines()); // the first matching line wins
    EXPECT_NEAR(static_cast<double>(RowFrequencies("a1", "mq", 1, scale)[0]),
                440 * std::pow(2.0, 5.0 / 1200), 1e-9);
    // The next just key is snapped against the temperament the row left.
    EXPECT_NEAR(static_cast<double>(*scale.EnterKey("a")), 220 * std::pow(2.0, 5.0 / 1200), 1e-9);
}

TEST(RowFrequencies, RangeFaultsThrow) {
    TonartScale scale;
    EXPECT_THROW(RowFrequencies("c", "c", 0, scale), MathError);
    // Raising c above a c9 beyond half the largest number would overflow.
    EXPECT_THROW(RowFrequencies("c9c", "c", 1e4927L, scale), MathError);
    EXPECT_NO_THROW(RowFrequencies("c9c", "c", 1e4900L, scale));
}

// Prime factors of n other than 2, 3 and 5.
QList<long long> OtherPrimes(long long n) {
    QList<long long> primes;
    for (long long p = 2; p * p <= n; ++p) {
        for (; n % p == 0; n /= p) {
            if (p > 5) {
                primes.append(p);
            }
        }
    }
    if (n > 5) {
        primes.append(n);
    }
    return primes;
}

// For random chords in random just keys, reached through random key changes and played at a
// random concert pitch, every interval between neighbouring tones is recognised as a fraction
// whose primes are 2, 3 and 5, or the prime of an overtone written on one of the two tones.
TEST(RowFrequencies, NeighboursFormFiveLimitFractions) {
    const QString letters = QStringLiteral("cdefgahb");
    const QString modifiers = QStringLiteral("+-()"); // one per tone keeps ratios within 32 bits
    const int overtones[] = {3, 5, 7, 11, 13};
    QRandomGenerator random(1789);
    for (int round = 0; round < 3000; ++round) {
        TonartScale scale;
        QString key;
        for (int k = random.bounded(1, 6); k > 0; --k) {
            key = letters.at(random.bounded(8)) + QString(random.bounded(2), u'#') +
                  QString(random.bounded(2), u'+');
            scale.EnterKey(key);
        }
        QString chord;
        QList<int> overtone; // per slot, 0 for none
        for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
            const QChar letter = letters.at(random.bounded(8));
            chord += random.bounded(6) == 0 ? letter.toUpper() : letter;
            chord += random.bounded(2) == 0 ? QString::number(random.bounded(4)) : QString();
            chord += QString(random.bounded(3), random.bounded(2) == 0 ? u'#' : u'*');
            chord += random.bounded(2) == 0 ? QString(modifiers.at(random.bounded(4))) : QString();
            overtone.append(random.bounded(5) == 0 ? overtones[random.bounded(5)] : 0);
            chord += overtone.last() > 0 ? u':' + QString::number(overtone.last()) : QString();
        }
        const ChordFrequencies f =
            RowFrequencies(chord, key, (40 + random.generateDouble() * 960) / 440, scale);
        for (int i = 1; i < ChordFrequencies::kSlots; ++i) {
            const QString ratio = IntervalText(kModeRatios, 1, false, f[i - 1], f[i]);
            const QStringList parts = ratio.split(u'/');
            ASSERT_EQ(parts.size(), 2) << chord.toStdString() << " in " << key.toStdString();
            for (long long p :
                 OtherPrimes(parts[0].toLongLong()) + OtherPrimes(parts[1].toLongLong())) {
                EXPECT_TRUE(p == overtone.at(i) || p == overtone.at(i - 1))
                    << chord.toStdString() << " in " << key.toStdString() << ": "
                    << ratio.toStdString();
            }
        }
    }
}

} // namespace
} // namespace zk
