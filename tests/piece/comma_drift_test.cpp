// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/piece_rows.h"
#include "engine/interval_analysis.h"
#include "engine/key_scale.h"
#include "piece/comma_drift.h"
#include "piece/compute_pass.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "recording_pass_host.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zk {
namespace {

using test::Row;

constexpr long double kExact = 1e-9L; // cents

// The commas from their ratios, computed apart from the program's constants.
const double kSyntonic = 1200 * std::log2(81.0 / 80.0);            // 21.506…
const double kPythagorean = 1200 * std::log2(531441.0 / 524288.0); // 23.460…

class Drift : public ::testing::Test {
protected:
    DriftData Compute(const QString& rows) {
        LoadPieceText(table, rows);
        return ComputeCommaDrift(table, scale, settings, host);
    }

    PieceTable table;
    TonartScale scale;
    PassSettings settings;
    test::RecordingPassHost host;
};

// Cents are folded into (-600, 600]: +600 stays, -600 becomes +600, a hair beyond either side
// turns over.
TEST(CentsWithinHalfOctave, FoldsIntoTheHalfOpenHalfOctave) {
    const std::pair<long double, long double> cases[] = {
        {0, 0},
        {600, 600},
        {-600, 600},
        {600.001L, -599.999L},
        {-599.999L, -599.999L},
        {-600.001L, 599.999L},
        {1200, 0},
        {1800, 600},
        {-1800, 600},
        {2400.5L, 0.5L},
        {-1199.5L, 0.5L},
    };
    for (const auto& [cents, folded] : cases) {
        EXPECT_NEAR(static_cast<double>(CentsWithinHalfOctave(cents)), static_cast<double>(folded),
                    1e-9)
            << static_cast<double>(cents);
    }
}

TEST(CommaCents, AreTheCommasOfTheirRatios) {
    EXPECT_NEAR(SyntonicCommaCents(), kSyntonic, 1e-9);
    EXPECT_NEAR(PythagoreanCommaCents(), kPythagorean, 1e-9);
    EXPECT_NEAR(SyntonicCommaCents(), 21.5063, 1e-4);
    EXPECT_NEAR(PythagoreanCommaCents(), 23.4600, 1e-4);
}

TEST(LatticePoint, OfJustRatiosAndNoneForOthers) {
    const struct {
        long double ratio;
        std::optional<LatticePoint> expected;
    } cases[] = {
        {1, LatticePoint{0, 0}},
        {2, LatticePoint{0, 0}},         // octaves are not shown
        {0.25L, LatticePoint{0, 0}},     // nor octaves down
        {1.5L, LatticePoint{1, 0}},      // the fifth
        {1.25L, LatticePoint{0, 1}},     // the major third
        {5.0L / 3, LatticePoint{-1, 1}}, // a in C
        {16.0L / 15, LatticePoint{-1, -1}},
        {45.0L / 32, LatticePoint{2, 1}},
        {81.0L / 80, LatticePoint{4, -1}},               // the syntonic comma
        {531441.0L / 524288, LatticePoint{12, 0}},       // the Pythagorean comma
        {std::pow(80.0L / 81, 6), LatticePoint{-24, 6}}, // six commas down
        {1.75L, std::nullopt},                           // the seventh partial
        {std::pow(2.0L, 1.0L / 12), std::nullopt},       // a tempered semitone
        {0, std::nullopt},
        {-1.5L, std::nullopt},
    };
    for (const auto& [ratio, expected] : cases) {
        EXPECT_EQ(LatticePointOf(ratio), expected) << static_cast<double>(ratio);
    }
}

TEST(LatticePoint, AgreesWithTheCoordinatesOfColumnFour) {
    const std::pair<long long, long long> fractions[] = {
        {3, 2},   {9, 8},    {10, 9},    {6, 5},     {27, 20},       {45, 32},
        {25, 16}, {128, 75}, {675, 512}, {256, 243}, {32805, 32768},
    };
    for (const auto& [num, den] : fractions) {
        const auto steps = StepCountsOf(num, den);
        ASSERT_TRUE(steps) << num << "/" << den;
        const OqtCoordinates oqt = OqtCoordinatesOf(num, den, *steps);
        const auto point = LatticePointOf(static_cast<long double>(num) / den);
        ASSERT_TRUE(point) << num << "/" << den;
        EXPECT_EQ(point->fifths, oqt.fifths) << num << "/" << den;
        EXPECT_EQ(point->thirds, oqt.thirds) << num << "/" << den;
    }
}

TEST_F(Drift, APieceInOneKeyIsAFlatLine) {
    const DriftData data =
        Compute(Row("c", "8", "ceg") + Row("", "8", "fac1") + Row("", "8", "Gd1gh") +
                Row("", "8", "df#a") + Row("", "16", "ce1gc"));
    EXPECT_EQ(data.firstKey, 132);
    EXPECT_EQ(data.firstKeyText, u"c"_qs);
    ASSERT_EQ(data.rows.size(), 5U);
    for (const DriftRow& row : data.rows) {
        ASSERT_TRUE(row.tonic) << row.row;
        EXPECT_EQ(row.tonic->drift, 0) << row.row;
        EXPECT_EQ(row.tonic->lattice, (LatticePoint{0, 0})) << row.row;
        for (const DriftTone& tone : row.tones) {
            EXPECT_NEAR(tone.drift, 0, kExact) << row.row << " " << tone.name.toStdString();
        }
    }
    EXPECT_EQ(data.LowestDrift(), 0);
    EXPECT_EQ(data.HighestDrift(), 0);
    // The chords' first tones on the lattice: c, f, g, d of C major.
    const LatticePoint firsts[] = {{0, 0}, {-1, 0}, {1, 0}, {2, 0}, {0, 0}};
    for (std::size_t i = 0; i < data.rows.size(); ++i) {
        EXPECT_EQ(data.rows[i].tones.front().lattice, firsts[i]) << i;
    }
    // Names as written; cents against the first key, unreduced.
    EXPECT_EQ(data.rows[2].tones.front().name, u"G"_qs);
    EXPECT_NEAR(data.rows[2].tones.front().cents, 1200 * std::log2(99.0 / 132), kExact);
    EXPECT_EQ(data.rows[3].tones.at(1).lattice, (LatticePoint{2, 1})); // f# = 45/32
    EXPECT_TRUE(host.played.isEmpty());
    EXPECT_TRUE(settings.onlyCompute);
}

TEST_F(Drift, KeysAndCommasAgainstTheFirstKey) {
    const struct {
        const char* rows; // keys, ending with a row whose chord is measured
        double tonic;     // the last key's drift
        LatticePoint tonicPlace;
        double first; // the drift of the chord's first tone
    } cases[] = {
        // a after c is the a of C major; its d is a comma low (d-)
        {"c|a|d", 0, {-1, 1}, -kSyntonic},
        // g after c: its a is a comma high (a+)
        {"c|g|a", 0, {1, 0}, kSyntonic},
        // c, g, d: the d of C major; c, f, d: a comma lower
        {"c|g|d|d", 0, {2, 0}, 0},
        {"c|f|d|d", -kSyntonic, {-2, 1}, -kSyntonic},
        // a key with its own comma
        {"c|c+|c", kSyntonic, {4, -1}, kSyntonic},
        // commas written in the chord
        {"c|d-", 0, {0, 0}, -kSyntonic},
        {"c|c'", 0, {0, 0}, kPythagorean},
        {"c|c,", 0, {0, 0}, -kPythagorean},
        // around the circle of fifths to h#: the Pythagorean comma above c
        {"c|g|d|a|e|h|f#|c#|g#|d#|a#|e#|h#|h#", kPythagorean, {12, 0}, kPythagorean},
    };
    for (const auto& c : cases) {
        const QStringList parts = QString::fromUtf8(c.rows).split(u'|');
        QString rows;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            rows += Row(parts[i].toUtf8().constData(), "", "");
        }
        rows += Row("", "8", parts.last().toUtf8().constData());
        const DriftData data = Compute(rows);
        ASSERT_FALSE(data.rows.empty()) << c.rows;
        const DriftRow& last = data.rows.back();
        ASSERT_TRUE(last.tonic) << c.rows;
        EXPECT_NEAR(last.tonic->drift, c.tonic, kExact) << c.rows;
        EXPECT_EQ(last.tonic->lattice, c.tonicPlace) << c.rows;
        ASSERT_FALSE(last.tones.empty()) << c.rows;
        EXPECT_NEAR(last.tones.front().drift, c.first, kExact) << c.rows;
    }
}

TEST_F(Drift, RowsWithOnlyAKeyCountAndEmptyRowsDoNot) {
    const DriftData data = Compute(Row("c", "8", "c") + Row("", "", "") + Row("g", "", "") +
                                   Row("", "4", "") + Row("", "1/0", "c") + Row("d", "1/0", "d"));
    // row 2 is empty; row 5's duration divides by 0 and it has no key entry
    ASSERT_EQ(data.rows.size(), 4U);
    const struct {
        int row;
        bool keyEntered;
        bool computed;
        std::size_t tones;
    } expected[] = {
        {1, true, true, 1},
        {3, true, false, 0}, // only the key
        {4, false, true, 0}, // a rest
        {6, true, false, 0}, // the key was entered before the row failed
    };
    for (std::size_t i = 0; i < data.rows.size(); ++i) {
        EXPECT_EQ(data.rows[i].row, expected[i].row) << i;
        EXPECT_EQ(data.rows[i].keyEntered, expected[i].keyEntered) << i;
        EXPECT_EQ(data.rows[i].computed, expected[i].computed) << i;
        EXPECT_EQ(data.rows[i].tones.size(), expected[i].tones) << i;
    }
    EXPECT_EQ(data.rows[1].tonic->lattice, (LatticePoint{1, 0}));
    EXPECT_EQ(data.rows[3].tonic->lattice, (LatticePoint{2, 0}));
}

TEST_F(Drift, TemperedRowsHaveCentsButNoLatticePlace) {
    const DriftData data = Compute(Row("c", "8", "ce") + Row("~", "8", "ce") + Row("c", "8", "ce"));
    ASSERT_EQ(data.rows.size(), 3U);
    const DriftRow& tempered = data.rows[1];
    EXPECT_TRUE(tempered.tempered);
    EXPECT_FALSE(tempered.tonic); // equal temperament has no just tonic
    ASSERT_EQ(tempered.tones.size(), 2U);
    // Equal-tempered c and e against the just ones of C on a1 = 440 Hz (c1 = 264 Hz); the
    // letters' tempered pitches are given to eleven digits.
    EXPECT_NEAR(tempered.tones[0].drift, 1200 * std::log2(440 * std::pow(2.0, -21.0 / 12) / 132),
                1e-6);
    EXPECT_NEAR(tempered.tones[0].drift, -15.641, 1e-3);
    EXPECT_NEAR(tempered.tones[1].drift, -1.955, 1e-3);
    EXPECT_FALSE(tempered.tones[0].lattice);
    // The key after "~" is snapped against the key before it: back on the first key.
    EXPECT_FALSE(data.rows[2].tempered);
    EXPECT_EQ(data.rows[2].tonic->lattice, (LatticePoint{0, 0}));
    EXPECT_NEAR(data.rows[2].tones[1].drift, 0, kExact);
}

TEST_F(Drift, WithoutAJustKeyTheDriftIsMeasuredFromA440) {
    const DriftData data = Compute(Row("~", "8", "a1") + Row("", "8", "c"));
    EXPECT_EQ(data.firstKey, 0);
    ASSERT_EQ(data.rows.size(), 2U);
    EXPECT_NEAR(data.rows[0].tones[0].drift, 0, kExact); // a1 is 440 Hz either way
    EXPECT_NEAR(data.rows[0].tones[0].cents, 0, kExact);
    EXPECT_NEAR(data.rows[1].tones[0].drift, -15.641, 1e-3);
}

TEST_F(Drift, TheConcertPitchMovesNoTone) {
    host.kammerton = u"452"_qs;
    const DriftData data = Compute(Row("c", "8", "ceg") + Row("a", "8", "d"));
    ASSERT_EQ(data.rows.size(), 2U);
    EXPECT_NEAR(data.rows[0].tones[1].frequency, 165 * 452.0 / 440, 1e-9);
    EXPECT_NEAR(data.rows[0].tones[1].drift, 0, kExact);
    EXPECT_NEAR(data.rows[0].tones[1].cents, 1200 * std::log2(1.25), kExact);
    EXPECT_EQ(data.rows[0].tones[2].lattice, (LatticePoint{1, 0}));
    EXPECT_NEAR(data.rows[1].tones[0].drift, -kSyntonic, kExact);
}

TEST_F(Drift, ARecorderForwardsAndStartsAfreshWithEveryPass) {
    LoadPieceText(table, Row("c", "8", "ce") + Row("", "8", "g"));
    DriftRecorder recorder(host);
    settings.onlyCompute = false;
    ComputePass(0, table, scale, settings, recorder);
    EXPECT_EQ(host.played.size(), 2); // playing reaches the host
    EXPECT_EQ(host.lastPieceClears, 1);
    ASSERT_EQ(recorder.Rows().size(), 2U);
    EXPECT_EQ(recorder.Rows()[1].frequencies[0], 198);
    ComputePass(0, table, scale, settings, recorder);
    EXPECT_EQ(recorder.Rows().size(), 2U); // not four
    EXPECT_EQ(recorder.Drift().rows.size(), 2U);
}

} // namespace
} // namespace zk
