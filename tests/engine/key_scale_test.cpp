// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "support/errors.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QStringList>

#include <cmath>

namespace zk {
namespace {

// The scale a pass has after the given key entries (blank separated), starting on a1 = 440 Hz.
TonartScale AfterKeys(const char* keys) {
    TonartScale scale;
    for (const QString& key : QString::fromUtf8(keys).split(u' ', Qt::SkipEmptyParts)) {
        scale.EnterKey(key);
    }
    return scale;
}

TEST(TonartScale, KeyChainsAndTheirTones) {
    struct Case {
        const char* keys;
        long double tonic; // first degree after the entries
        const char* tone;
        long double pitch; // the tone snapped in that key
    };
    const Case cases[] = {
        {"c", 132, "d", 148.5},                       // 440 × 6/5 ÷ 4; d is 9/8 above
        {"c", 132, "f#", 185.625},                    // 45/32
        {"c", 132, "d*", 140.8},                      // c# and d* are one degree, 16/15
        {"c", 132, "C1", 33},                         // contra octave
        {"c", 132, "d+", 150.35625L},                 // a syntonic comma up
        {"c", 132, "d-+", 148.5},                     // down and up again
        {"c", 132, "g:3", 594},                       // third overtone of g
        {"c", 132, "d(", 139.21875L},                 // leading tone below d
        {"c a", 220, "d1", 293.333333333333L},        // d- in A
        {"c g", 198, "a", 222.75},                    // a+ in G
        {"c f", 176, "b", 234.666666666667L},         // the fourth of F
        {"c f d", 146.666666666667L, "a", 220},       // d- reached through the subdominant
        {"c g d", 148.5, "c1", 267.3},                // D through the dominant: its c is c+
        {"c g d a e h", 250.59375L, "h", 250.59375L}, // five fifths: a comma above C's h
        {"c+", 133.65, "c", 133.65},                  // c a comma higher
        {"c1", 264, "d", 148.5},                      // the tonic's octave leaves the degrees
        {"c x", 132, "e", 165},                       // no tone letter: the key stays
        {"c ~ g", 198, "a", 222.75},                  // "~" leaves the key for the next entry
        {"", 440, "c1", 264},                         // the scale at the start of a pass
    };
    for (const Case& c : cases) {
        const TonartScale scale = AfterKeys(c.keys);
        int pos = 1;
        const ParsedTone tone = ParseTone(QString::fromUtf8(c.tone), pos);
        EXPECT_NEAR(static_cast<double>(scale.degree(0)), static_cast<double>(c.tonic), 1e-9)
            << c.keys;
        EXPECT_NEAR(static_cast<double>(scale.SnapToTonart(tone.frequency, tone.modifiers)),
                    static_cast<double>(c.pitch), 1e-9)
            << c.keys << " / " << c.tone;
    }
}

TEST(TonartScale, EntriesWithoutToneLeaveTheScale) {
    TonartScale scale = AfterKeys("c g");
    const TonartScale before = scale;
    EXPECT_FALSE(scale.EnterKey(QStringLiteral(" ~c")).has_value()); // equal temperament
    for (const char* key : {"x", ".", "m~", "", "?c"}) {
        EXPECT_EQ(scale.EnterKey(QString::fromUtf8(key)), 0.0L) << key;
    }
    EXPECT_EQ(scale, before);
}

TEST(TonartScale, HalfWayGoesUp) {
    // On 128 Hz the leading tone 240 and the octave 256 are exact, and 248 lies exactly between.
    TonartScale scale;
    scale.SetJust(128);
    EXPECT_EQ(scale.SnapToTonart(248, {}), 256);
    EXPECT_EQ(scale.SnapToTonart(std::nextafter(248.0L, 0.0L), {}), 240);
    EXPECT_EQ(scale.SnapToTonart(62, {}), 64); // the same two octaves lower
}

// Snapping commutes with octaves, never moves a tone by more than half a semitone step and
// always lands on a degree times a power of two.
TEST(TonartScale, SnappingProperties) {
    const TonartScale scale = AfterKeys("c g e*");
    QRandomGenerator random(2024);
    for (int i = 0; i < 5000; ++i) {
        const long double p = 20 + random.generateDouble() * 10000;
        const long double s = scale.SnapToTonart(p, {});
        EXPECT_EQ(scale.SnapToTonart(2 * p, {}), 2 * s);
        EXPECT_EQ(scale.SnapToTonart(p / 2, {}), s / 2);
        EXPECT_LT(std::fabs(std::log2(s / p)), 0.06L);
        int e = 0;
        const long double mantissa = std::frexp(s / scale.degree(0), &e);
        bool onDegree = false;
        for (int k = 0; k <= 12; ++k) {
            onDegree = onDegree || std::frexp(scale.degree(k) / scale.degree(0), &e) == mantissa;
        }
        EXPECT_TRUE(onDegree) << static_cast<double>(p);
    }
}

// Whatever a hand-edited temperament row holds, its degrees rise from a to as below the next a,
// and a tone goes to the degree nearest to it in its octave, as a search over all of them finds.
TEST(TonartScale, AnyTemperamentRowSnapsToTheNearestDegree) {
    QRandomGenerator random(23);
    for (int row = 0; row < 300; ++row) {
        QString line = QStringLiteral("mz Zufall");
        for (int i = 0; i < 12; ++i) {
            // Mostly small deviations, some a semitone and more, which pass a neighbour.
            const double spread = random.bounded(4) == 0 ? 250 : 40;
            line +=
                u' ' + QString::number(static_cast<int>((random.generateDouble() - 0.5) * spread));
        }
        TemperamentList list({line});
        TonartScale scale(&list);
        scale.SetTonart(QStringLiteral("mz"), 440);
        for (int k = 0; k < 12; ++k) {
            ASSERT_LT(scale.degree(k), scale.degree(k + 1)) << line.toStdString() << " " << k;
        }
        for (int n = 0; n < 50; ++n) {
            const long double p = scale.degree(0) * std::exp2(random.generateDouble() * 1.0L);
            long double nearest = scale.degree(0);
            for (int k = 1; k <= 12; ++k) {
                if (std::fabs(p - scale.degree(k)) <= std::fabs(p - nearest)) {
                    nearest = scale.degree(k);
                }
            }
            const long double snapped = scale.SnapToTonart(p, {});
            EXPECT_EQ(snapped, nearest) << line.toStdString() << " " << static_cast<double>(p);
            EXPECT_EQ(scale.SnapToTonart(4 * p, {}), 4 * nearest);
        }
    }
}

TEST(TonartScale, ExtremeInputsThrowInsteadOfHanging) {
    TonartScale scale = AfterKeys("c");
    const TonartScale before = scale;
    EXPECT_EQ(scale.SnapToTonart(0, {{{u':', 5}}}), 0); // an empty slot stays empty
    EXPECT_GT(scale.SnapToTonart(std::ldexp(1.0L, -16000), {}), 0);
    EXPECT_GT(scale.SnapToTonart(std::ldexp(1.0L, 16000), {}), 0);
    for (long double p :
         {static_cast<long double>(INFINITY), static_cast<long double>(NAN), -5.0L}) {
        EXPECT_THROW(scale.SnapToTonart(p, {}), MathError);
    }
    // A tonic whose scale cannot be represented is refused, and the key stays.
    for (long double x : {0.0L, -1.0L, std::ldexp(1.0L, -16440), std::ldexp(1.0L, 16383)}) {
        EXPECT_THROW(scale.SetJust(x), MathError);
    }
    EXPECT_EQ(scale, before);
}

} // namespace
} // namespace zk
