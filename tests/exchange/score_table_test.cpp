// SPDX-License-Identifier: GPL-3.0-or-later
// Score rows as piece-table cells: German letters, octave registers, the octave digits a chord
// can leave out, durations in 32nd notes and the key column.
#include "exchange/score_table.h"

#include "exchange/score_rows.h"

#include "engine/chord_notation.h"
#include "engine/key_scale.h"
#include "piece/piece_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace zk {
namespace {

SpelledPitch Pitch(int step, int alter, int octave) {
    return {step, alter, octave};
}

constexpr int C = 0, D = 1, E = 2, F = 3, G = 4, A = 5, B = 6;

TEST(GermanPitchName, SpellsEveryAlterationTheGermanWay) {
    const struct {
        SpelledPitch pitch;
        const char* name;
    } cases[] = {
        {Pitch(C, 0, 4), "c"},   {Pitch(F, 1, 4), "f#"},
        {Pitch(E, -1, 4), "e*"}, {Pitch(B, 0, 4), "h"}, // B natural is h
        {Pitch(B, -1, 4), "b"},                         // B flat has its own letter
        {Pitch(B, -2, 4), "b*"}, {Pitch(B, 1, 4), "h#"},
        {Pitch(G, 2, 4), "g##"}, {Pitch(A, -2, 4), "a**"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GermanPitchName(c.pitch), QString::fromUtf8(c.name)) << c.name;
    }
}

TEST(ChordToneText, WritesTheOctaveRegisterOfThePitchModel) {
    const struct {
        SpelledPitch pitch;
        const char* text;
    } cases[] = {
        {Pitch(C, 0, 4), "c1"},                          // middle C
        {Pitch(A, 0, 4), "a1"},                          // 440 Hz
        {Pitch(C, 0, 3), "c0"},                          // the small octave
        {Pitch(C, 0, 2), "C0"},                          // the great octave: upper case
        {Pitch(C, 0, 1), "C1"},  {Pitch(A, 0, 0), "A2"}, // 27.5 Hz
        {Pitch(F, 1, 5), "f2#"},                         // accidentals after the digit
        {Pitch(B, -1, 1), "B1"},                         // B flat, contra octave
        {Pitch(G, 0, 9), "g6"},                          // MIDI's highest key
        {Pitch(C, 0, -1), "C3"},                         // MIDI's lowest key
        {Pitch(C, 0, 12), "c9"},                         // the highest register a digit writes
        {Pitch(C, 0, -7), "C9"},                         // the lowest
        {Pitch(C, 0, 13), ""},   {Pitch(C, 0, -8), ""},  // beyond them nothing
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChordToneText(c.pitch, true), QString::fromUtf8(c.text)) << c.text;
    }
}

std::vector<SlicedTone> Tones(std::initializer_list<SpelledPitch> pitches) {
    std::vector<SlicedTone> tones;
    for (const SpelledPitch& pitch : pitches) {
        tones.push_back({pitch, 0, QStringLiteral("1"), 0, 0});
    }
    return tones;
}

TEST(ChordText, LeavesOutOnlyTheDigitsTheRaisingMakesUp) {
    const struct {
        std::vector<SlicedTone> tones;
        const char* chord;
    } cases[] = {
        // Four parts in open and close position: each tone within the octave above the last.
        {Tones({Pitch(C, 0, 3), Pitch(G, 0, 3), Pitch(E, 0, 4), Pitch(C, 0, 5)}), "cgec"},
        {Tones({Pitch(G, 0, 2), Pitch(D, 0, 3), Pitch(B, 0, 3), Pitch(G, 0, 4)}), "Gdhg"},
        {Tones({Pitch(E, 0, 2), Pitch(C, 0, 3)}), "Ec"},
        {Tones({Pitch(F, 1, 3), Pitch(D, 0, 4)}), "f#d"},
        // A whole tone is made up by the raising as well.
        {Tones({Pitch(C, 0, 4), Pitch(D, 0, 4)}), "c1d"},
        {Tones({Pitch(B, 0, 3), Pitch(C, 1, 4)}), "hc#"},
        // An open bass: g without a digit is already in the small octave, above C.
        {Tones({Pitch(C, 0, 2), Pitch(G, 0, 3)}), "Cg"},
        // An octave is made up by one doubling.
        {Tones({Pitch(C, 0, 3), Pitch(C, 0, 4)}), "cc"},
        // More than an octave above the tone before needs the digit.
        {Tones({Pitch(C, 0, 2), Pitch(E, 0, 4)}), "Ce1"},
        // A unison needs it, or the raising would double the second tone.
        {Tones({Pitch(G, 0, 4), Pitch(G, 0, 4)}), "g1g1"},
        {Tones({Pitch(B, 1, 3), Pitch(C, 0, 4)}), "h#c1"}, // enharmonic unison
        // A semitone needs it: in a drifted key both tones may snap to one degree.
        {Tones({Pitch(B, 0, 3), Pitch(C, 0, 4)}), "hc1"},
        // An octave spelled otherwise needs it: "h#" doubled may stop a hair below "c2".
        {Tones({Pitch(C, 0, 4), Pitch(B, 1, 4)}), "c1h1#"},
        {Tones({Pitch(C, 0, 4), Pitch(C, 0, 5)}), "c1c"},
        // Without a digit a letter starts in the great or small octave; lower ones keep theirs.
        {Tones({Pitch(C, 0, 1), Pitch(G, 0, 1)}), "C1G1"},
        {Tones({Pitch(A, 0, 4)}), "a1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChordText(c.tones), QString::fromUtf8(c.chord)) << c.chord;
    }
}

// A random chord of two to eight tones between C1 and C7, lowest first, each spelled with a random
// one of its spellings (double flats to double sharps).
std::vector<SlicedTone> RandomChord(std::mt19937& random) {
    std::uniform_int_distribution<int> size(2, 8);
    std::uniform_int_distribution<int> key(24, 96);
    std::vector<int> keys(static_cast<std::size_t>(size(random)));
    for (int& k : keys) {
        k = key(random);
    }
    std::sort(keys.begin(), keys.end());
    std::vector<SlicedTone> tones;
    for (const int k : keys) {
        std::vector<SpelledPitch> spellings;
        for (int step = 0; step < 7; ++step) {
            for (int octave = k / 12 - 2; octave <= k / 12; ++octave) {
                const SpelledPitch natural{step, 0, octave};
                const int alter = k - natural.MidiKey();
                if (alter >= -2 && alter <= 2) {
                    spellings.push_back({step, alter, octave});
                }
            }
        }
        std::uniform_int_distribution<std::size_t> pick(0, spellings.size() - 1);
        tones.push_back({spellings[pick(random)], 0, QStringLiteral("1"), 0, 0});
    }
    return tones;
}

TEST(ChordText, GivesTheWrittenPitchesInAnyKey) {
    std::mt19937 random(20261208);
    std::uniform_real_distribution<double> drift(-60, 60);
    for (int n = 0; n < 2000; ++n) {
        const auto tones = RandomChord(random);
        const QString chord = ChordText(tones);
        TonartScale scale;
        // Equal temperament: exactly the MIDI keys.
        const ChordFrequencies equal = RowFrequencies(chord, QStringLiteral("~"), 1, scale);
        for (std::size_t i = 0; i < tones.size(); ++i) {
            const int slot = static_cast<int>(i);
            EXPECT_NEAR(equal[slot] / test::EqualTemperedFrequency(tones[i].pitch.MidiKey()), 1.0L,
                        test::kLetterPrecision)
                << chord.toStdString() << " tone " << i + 1;
        }
        // A just key on a tonic drifted by up to 60 cents: every tone snapped to a degree beside
        // its tempered pitch (the widest step of the just scale, 5/3 to 9/5, is 133 cents), none
        // in another octave, and the chord still rising.
        scale.SetJust(130.8127826502993L * std::pow(2.0L, drift(random) / 1200.0L));
        const ChordFrequencies just = RowFrequencies(chord, QString(), 1, scale);
        for (std::size_t i = 0; i < tones.size(); ++i) {
            const int slot = static_cast<int>(i);
            const long double cents =
                1200 *
                std::log2(just[slot] / test::EqualTemperedFrequency(tones[i].pitch.MidiKey()));
            EXPECT_LT(std::fabs(cents), 70) << chord.toStdString() << " tone " << i + 1;
            if (i > 0) {
                EXPECT_LE(just[slot - 1], just[slot]) << chord.toStdString();
            }
        }
    }
}

TEST(DurationText, CountsThirtySecondNotes) {
    const struct {
        Rational quarters;
        const char* text;
    } cases[] = {
        {1, "8"},
        {4, "32"},
        {Rational(1, 2), "4"},
        {Rational(3, 2), "12"},
        {Rational(1, 3), "8/3"}, // a triplet eighth
        {Rational(1, 5), "8/5"}, // a quintuplet sixteenth
        {Rational(1, 12), "2/3"},
        {Rational(1, 256), "1/32"}, // a 1024th
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DurationText(c.quarters), QString::fromUtf8(c.text)) << c.text;
    }
}

TEST(WriteScoreRows, FillsKeyDurationAndChordAndLeavesOneEmptyRow) {
    std::vector<ScoreRow> rows(3);
    rows[0].length = 1;
    rows[0].key = Pitch(E, -1, 4);
    rows[0].tones = Tones({Pitch(E, -1, 3), Pitch(G, 0, 3), Pitch(B, -1, 3)});
    rows[1].length = Rational(1, 2); // a rest
    rows[2].length = 2;
    rows[2].key = Pitch(A, -1, 4);
    rows[2].tones = Tones({Pitch(A, -1, 3)});
    PieceTable table;
    table.SetRowCount(10);
    table.SetCell(PieceTable::kFrequencyColumn, 7, QStringLiteral("alt"));
    // What an earlier piece left in the rows the score now fills goes with it: the rest has no
    // key of its own, and no frequencies are computed yet.
    table.SetCell(PieceTable::kKeyColumn, 2, QStringLiteral("d"));
    table.SetCell(PieceTable::kFrequencyColumn, 3, QStringLiteral("220"));
    table.SetCell(PieceTable::kIntervalColumn, 1, QStringLiteral("5:4"));
    WriteScoreRows(rows, ScoreKeyColumn::Signature, table);
    ASSERT_EQ(table.RowCount(), 5);
    const char* const expected[][3] = {{"e*", "8", "e*gb"}, {"", "4", ""}, {"a*", "16", "a*"}};
    for (int r = 0; r < 3; ++r) {
        for (int column = 0; column < 3; ++column) {
            EXPECT_EQ(table.Cell(column, r + 1), QString::fromUtf8(expected[r][column]))
                << "row " << r + 1 << " column " << column;
        }
    }
    for (int r = 1; r <= 3; ++r) {
        for (int column = PieceTable::kFrequencyColumn; column < PieceTable::kColumnCount;
             ++column) {
            EXPECT_TRUE(table.Cell(column, r).isEmpty()) << "row " << r << " column " << column;
        }
    }
    for (int column = 0; column < PieceTable::kColumnCount; ++column) {
        EXPECT_TRUE(table.Cell(column, 4).isEmpty());
    }

    WriteScoreRows(rows, ScoreKeyColumn::Equal, table);
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(table.Cell(PieceTable::kKeyColumn, r), QStringLiteral("~")) << "row " << r;
    }
}

} // namespace
} // namespace zk
