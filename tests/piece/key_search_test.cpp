// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/piece_rows.h"
#include "common/qt_printers.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "engine/tone_names.h"
#include "piece/comma_drift.h"
#include "piece/compute_pass.h"
#include "piece/key_search.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "recording_pass_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace zk {
namespace {

using test::Row;

// The syntonic comma from its ratio, apart from the program's constant.
const double kComma = 1200 * std::log2(81.0 / 80.0); // 21.506…

// C major - A minor - D minor - G major - C major with the common tones held: in 5-limit just
// intonation every chord pure and every held tone kept lands on a c a comma low.
const QString kTrap = Row("c", "8", "Ce1g1c2") + Row("", "8", "Ae1a1c2") + Row("", "8", "Dd1a1f2") +
                      Row("", "8", "Gd1g1h1") + Row("", "16", "Ce1g1c2");

double Cents(long double high, long double low) {
    return static_cast<double>(1200 * std::log2(high / low));
}

// The impure thirds, fourths, fifths and sixths of a row, judged from the frequencies it sounds
// with: each pair's size with octaves left out, named by the nearest number of semitones.
int ImpureIntervals(const DriftRow& row) {
    const double ratios[12] = {0, 0, 0, 6.0 / 5, 5.0 / 4, 4.0 / 3, 0, 3.0 / 2, 8.0 / 5, 5.0 / 3};
    int impure = 0;
    for (std::size_t i = 0; i < row.tones.size(); ++i) {
        for (std::size_t j = i + 1; j < row.tones.size(); ++j) {
            const long double a = row.tones[i].frequency;
            const long double b = row.tones[j].frequency;
            double size = Cents(std::max(a, b), std::min(a, b));
            size -= 1200 * std::floor(size / 1200);
            const long semitones = std::lround(size / 100) % 12;
            const double ratio = ratios[semitones];
            if (ratio > 0 && std::abs(size - 1200 * std::log2(ratio)) > 1) {
                ++impure;
            }
        }
    }
    return impure;
}

// Search options: whether the end must return, whether written keys stay, one weight changed.
KeySearchOptions Options(bool returnToStart, bool keepKeys = false,
                         double KeyWeights::*weight = nullptr, double value = 0) {
    KeySearchOptions options;
    options.returnToStart = returnToStart;
    options.keepKeys = keepKeys;
    if (weight) {
        options.weights.*weight = value;
    }
    return options;
}

// A tone written alike in two neighbouring sounding rows that sounds differently in the second.
struct Move {
    int row = 0;
    QString tone;
    double cents = 0;
};

class Keys : public ::testing::Test {
protected:
    // Finds the keys of a piece, writes them and computes the piece with them as "Rechne" does.
    void Find(const QString& rows, const KeySearchOptions& options = {}) {
        LoadPieceText(table, rows);
        QStringList before;
        for (int r = 0; r < table.RowCount(); ++r) {
            before << table.Cell(PieceTable::kKeyColumn, r);
        }
        result = FindKeys(table, options, &temperaments);
        for (int r = 0; r < table.RowCount(); ++r) {
            ASSERT_EQ(table.Cell(PieceTable::kKeyColumn, r), before[r]) << "changed row " << r;
        }
        ASSERT_EQ(result.keys.size(), table.RowCount());
        WriteKeys(result, table);
        TonartScale scale(&temperaments);
        PassSettings settings;
        test::RecordingPassHost host;
        sound = ComputeCommaDrift(table, scale, settings, host);
    }

    QString Key(int row) const { return table.Cell(PieceTable::kKeyColumn, row).trimmed(); }

    // Every key cell from row 1 to `last`.
    QStringList KeyColumn(int last) const {
        QStringList keys;
        for (int r = 1; r <= last; ++r) {
            keys << Key(r);
        }
        return keys;
    }

    const DriftRow* Sounded(int row) const {
        const auto found = std::find_if(sound.rows.begin(), sound.rows.end(),
                                        [row](const DriftRow& r) { return r.row == row; });
        return found == sound.rows.end() ? nullptr : &*found;
    }

    long double Tone(int row, std::size_t slot) const {
        const DriftRow* r = Sounded(row);
        return r && slot < r->tones.size() ? r->tones[slot].frequency : 0;
    }

    // Rows of two or more tones in just intonation, and those of them without an impure interval.
    std::pair<int, int> CountChords() const {
        int chords = 0;
        int pure = 0;
        for (const DriftRow& row : sound.rows) {
            if (!row.tempered && row.tones.size() >= 2) {
                ++chords;
                pure += ImpureIntervals(row) == 0 ? 1 : 0;
            }
        }
        return {chords, pure};
    }

    // Held tones that change their pitch; a rest or a tempered row parts two rows, a row with
    // only a key entry does not.
    std::vector<Move> Moves() const {
        std::vector<Move> moves;
        const DriftRow* previous = nullptr;
        for (const DriftRow& row : sound.rows) {
            if (!row.computed) {
                continue;
            }
            if (row.tones.empty() || row.tempered) {
                previous = nullptr;
                continue;
            }
            for (std::size_t t = 0; previous && t < row.tones.size(); ++t) {
                const DriftTone& tone = row.tones[t];
                for (const DriftTone& held : previous->tones) {
                    if (held.name.trimmed() == tone.name.trimmed()) {
                        const double cents = Cents(tone.frequency, held.frequency);
                        if (std::abs(cents) > 0.5) {
                            moves.push_back({row.row, tone.name.trimmed(), cents});
                        }
                        break;
                    }
                }
            }
            previous = &row;
        }
        return moves;
    }

    // What the result claims agrees with the piece as it sounds.
    void ExpectClaimsAsSounding() const {
        const auto [chords, pure] = CountChords();
        EXPECT_EQ(result.chordRows, chords);
        EXPECT_EQ(result.pureRows, pure);
        EXPECT_EQ(result.impureRows.size(), static_cast<std::size_t>(chords - pure));
        for (const ImpureRow& row : result.impureRows) {
            const DriftRow* r = Sounded(row.row);
            ASSERT_NE(r, nullptr) << row.row;
            EXPECT_EQ(row.impureIntervals, ImpureIntervals(*r)) << row.row;
            EXPECT_GT(row.impureIntervals, 0) << row.row;
        }
        const std::vector<Move> moves = Moves();
        ASSERT_EQ(result.movedTones.size(), moves.size());
        for (std::size_t i = 0; i < moves.size(); ++i) {
            EXPECT_EQ(result.movedTones[i].row, moves[i].row) << i;
            EXPECT_EQ(result.movedTones[i].tone, moves[i].tone) << i;
            EXPECT_NEAR(result.movedTones[i].cents, moves[i].cents, 0.01) << i;
        }
    }

    TemperamentList temperaments;
    PieceTable table;
    KeySearchResult result;
    DriftData sound;
};

TEST_F(Keys, ACadenceInCStaysInC) {
    // Written with one entry, with the same entry on every row, without any (the final bass
    // names c), and with a first key g, which would need an entry for the F major chord. Every
    // chord is pure in C and no tone moves.
    const char* const variants[][2] = {{"c", ""}, {"c", "c"}, {"", ""}, {"g", ""}};
    for (const auto& [first, others] : variants) {
        const QString rows = Row(first, "8", "c1e1g1") + Row(others, "8", "c1f1a1") +
                             Row(others, "8", "h d1g1") + Row(others, "16", "c1e1g1");
        SCOPED_TRACE(rows.toStdString());
        Find(rows);
        EXPECT_EQ(KeyColumn(4), (QStringList{"c", "", "", ""}));
        EXPECT_EQ(result.chordRows, 4);
        EXPECT_EQ(result.pureRows, 4);
        EXPECT_TRUE(result.impureRows.empty());
        EXPECT_TRUE(result.movedTones.empty());
        EXPECT_TRUE(result.hasFinalKey);
        EXPECT_NEAR(result.finalDrift, 0, 1e-6);
        EXPECT_FALSE(result.returnImpossible);
        EXPECT_NEAR(result.cost, 0, 1e-9);
        EXPECT_NEAR(static_cast<double>(sound.firstKey), 132, 1e-9);
        // h d1 g1 in C: 247.5, 297, 396 Hz.
        EXPECT_NEAR(static_cast<double>(Tone(3, 0)), 247.5, 1e-9);
        EXPECT_NEAR(static_cast<double>(Tone(3, 1)), 297, 1e-9);
        ExpectClaimsAsSounding();
    }
}

TEST_F(Keys, TheCommaTrapReturnsByMovingOneHeldToneOrDrifts) {
    const struct {
        bool returns;
        std::size_t moves;
        double drift; // in commas
        double cost;
    } cases[] = {
        // D minor cannot be pure in C, so one entry at least; a key such as g holds D minor,
        // G major and the last C at once, its c being the first c. One held tone rises a comma.
        {true, 1, 0, 0.2 + 8 + 0.5 * kComma},
        // One entry: g- has d-, f, a, g-, h-, c-, e-, every tone of the last three chords with
        // a1 and d1 held. Those three rows a comma away, the end one comma off.
        {false, 0, -1, 0.2 + 3 * 0.05 + 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.returns);
        Find(kTrap, Options(c.returns));
        EXPECT_EQ(Key(1), u"c"_qs);
        EXPECT_EQ(result.chordRows, 5);
        EXPECT_EQ(result.pureRows, 5);
        ASSERT_EQ(result.movedTones.size(), c.moves);
        if (c.moves > 0) {
            EXPECT_NEAR(result.movedTones[0].cents, kComma, 0.01); // up, against the drift
        }
        EXPECT_TRUE(result.hasFinalKey);
        EXPECT_NEAR(result.finalDrift, c.drift * kComma, 0.01);
        EXPECT_FALSE(result.returnImpossible);
        EXPECT_NEAR(result.cost, c.cost, 1e-3);
        // The first bass C is 66 Hz; the last one is there again, or a comma lower.
        EXPECT_NEAR(static_cast<double>(Tone(1, 0)), 66, 1e-9);
        EXPECT_NEAR(Cents(Tone(5, 0), 66), c.drift * kComma, 0.01);
        const DriftRow* last = Sounded(5);
        ASSERT_NE(last, nullptr);
        ASSERT_TRUE(last->tonic);
        EXPECT_NEAR(static_cast<double>(last->tonic->drift), c.drift * kComma, 0.01);
        ExpectClaimsAsSounding();
    }
}

TEST_F(Keys, WeightsDecideBetweenImpureChordsMovedTonesAndDrift) {
    const struct {
        const char* what;
        KeySearchOptions options;
        std::size_t moves;
        bool allPure;
        double drift; // in commas
    } cases[] = {
        {"moving is dear", Options(true, false, &KeyWeights::movedTone, 1000), 0, false, 0},
        {"impurity is dear", Options(true, false, &KeyWeights::impureInterval, 1000), 1, true, 0},
        {"drift is dear", Options(false, false, &KeyWeights::finalDriftComma, 1000), 1, true, 0},
        {"being away is dear", Options(false, false, &KeyWeights::rowAwayComma, 1000), 1, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Find(kTrap, c.options);
        EXPECT_EQ(result.movedTones.size(), c.moves);
        EXPECT_EQ(result.pureRows == result.chordRows, c.allPure);
        EXPECT_EQ(result.chordRows, 5);
        EXPECT_NEAR(result.finalDrift, c.drift * kComma, 0.01);
        EXPECT_NEAR(Cents(Tone(5, 0), 66), c.drift * kComma, 0.01);
        ExpectClaimsAsSounding();
    }
}

TEST_F(Keys, TwoTrapsReturnByTwoMovesOfOneCommaRatherThanOneOfTwo) {
    // The trap twice: holding every tone ends two commas low. One held tone moving by two commas
    // (8 + 0.5 x 43 = 29.5) would be cheaper than two moving by one (2 x 18.75), but a slide by
    // more than a comma costs 20 more; without that weight the single large move wins.
    const QString twice =
        Row("c", "8", "Ce1g1c2") + Row("", "8", "Ae1a1c2") + Row("", "8", "Dd1a1f2") +
        Row("", "8", "Gd1g1h1") + Row("", "8", "Ce1g1c2") + Row("", "8", "Ae1a1c2") +
        Row("", "8", "Dd1a1f2") + Row("", "8", "Gd1g1h1") + Row("", "16", "Ce1g1c2");
    Find(twice);
    ASSERT_EQ(result.movedTones.size(), 2U);
    for (const MovedTone& tone : result.movedTones) {
        EXPECT_NEAR(std::abs(tone.cents), kComma, 0.01) << tone.row;
    }
    EXPECT_EQ(result.pureRows, 9);
    EXPECT_NEAR(Cents(Tone(9, 0), 66), 0, 0.01);
    ExpectClaimsAsSounding();

    Find(twice, Options(true, false, &KeyWeights::largeMove, 0));
    ASSERT_EQ(result.movedTones.size(), 1U);
    EXPECT_NEAR(std::abs(result.movedTones.front().cents), 2 * kComma, 0.01);
    EXPECT_NEAR(Cents(Tone(9, 0), 66), 0, 0.01);
    ExpectClaimsAsSounding();
}

TEST_F(Keys, NoToneStraysOntoTheNextKeyOfTheKeyboard) {
    // A chorale phrase with an F seventh chord over e flat: pure in C a comma high, whose e flat
    // (6/5 of 133.65 Hz) lies 53 cents above its written pitch, nearer to e. Such a tone costs
    // 20, and the search finds keys that leave every tone within 45 cents of its written pitch.
    const QString rows = Row("c", "8", "ce1gc") + Row("", "8", "eegh") + Row("", "8", "fcfa") +
                         Row("", "8", "e*hf#h") + Row("", "8", "eheg") + Row("", "8", "e*cfa") +
                         Row("", "8", "ddfh") + Row("", "16", "ce1gc");
    const auto largestStray = [this] {
        double largest = 0;
        for (const DriftRow& row : sound.rows) {
            for (const DriftTone& tone : row.tones) {
                int pos = 1;
                const long double written = ParseTone(tone.name, pos).frequency;
                // Octaves aside: a tone without a digit is raised above the one before it.
                double cents = std::fmod(std::abs(Cents(tone.frequency, written)) + 600, 1200);
                largest = std::max(largest, std::abs(cents - 600));
            }
        }
        return largest;
    };
    Find(rows, Options(true, false, &KeyWeights::strayTone, 0));
    EXPECT_GT(largestStray(), 45);
    Find(rows);
    EXPECT_LT(largestStray(), 45);
    ExpectClaimsAsSounding();
}

TEST_F(Keys, AnOvertoneSoundsOnTheKeyItIsNear) {
    // G:7, the seventh overtone of G (686 Hz), sounds near f2, not on the g2 of the next row: no
    // held tone moves there. Its natural seventh is pure in no key.
    Find(Row("c", "16", "g1hdG:7g2") + Row("", "16", "c1cc2eg"));
    EXPECT_TRUE(result.movedTones.empty());
    ASSERT_EQ(result.impureRows.size(), 1U);
    EXPECT_EQ(result.impureRows.front().row, 1);
    EXPECT_EQ(result.pureRows, 1);
}

TEST_F(Keys, AHeldToneKeepsItsPitchAcrossAKeyChange) {
    // C - A major - C. A major's c#1 is 5/4 of a, 275 Hz, in the key of a (or e), which hold the
    // last C major as well; e1 stays 330 Hz throughout.
    const QString rows =
        Row("c", "8", "Ce1g1c2") + Row("", "8", "Ac1#e1a1") + Row("", "8", "Ce1g1c2");
    Find(rows);
    EXPECT_EQ(Key(1), u"c"_qs);
    EXPECT_TRUE(Key(2) == u"a"_qs || Key(2) == u"e"_qs) << Key(2).toStdString();
    EXPECT_EQ(Key(3), u""_qs);
    EXPECT_EQ(result.pureRows, 3);
    EXPECT_TRUE(result.movedTones.empty());
    EXPECT_NEAR(static_cast<double>(Tone(1, 1)), 330, 1e-9);
    EXPECT_NEAR(static_cast<double>(Tone(2, 2)), 330, 1e-9);
    EXPECT_NEAR(static_cast<double>(Tone(3, 1)), 330, 1e-9);
    EXPECT_NEAR(static_cast<double>(Tone(2, 1)), 275, 1e-9);
    EXPECT_NEAR(result.cost, 0.2, 1e-9);
    ExpectClaimsAsSounding();

    // When an entry costs more than impurity the chord stays in C: c#1 is d*1 there, 281.6 Hz,
    // a diminished fourth above A, an augmented second below e1 and an augmented fifth below a1.
    Find(rows, Options(true, false, &KeyWeights::keyChange, 1000));
    EXPECT_EQ(KeyColumn(3), (QStringList{"c", "", ""}));
    ASSERT_EQ(result.impureRows.size(), 1U);
    EXPECT_EQ(result.impureRows[0], (ImpureRow{2, 3, u"Ac1#e1a1"_qs, u"übermäßige Sekunde"_qs}));
    EXPECT_NEAR(static_cast<double>(Tone(2, 1)), 281.6, 1e-9);
    EXPECT_NEAR(result.cost, 30, 1e-9);
    ExpectClaimsAsSounding();
}

TEST_F(Keys, ChordsNoKeyMakesPureSayWhy) {
    const struct {
        const char* chord;
        const char* reason;
    } cases[] = {
        // Three minor thirds stacked are 216/125, not the 5/3 of the sixth they span.
        {"hd1f1a1*", "verminderter Septakkord: höchstens zwei der drei kleinen Terzen rein"},
        // Two major thirds are 25/16, not the 8/5 of the sixth.
        {"ceg#", "übermäßiger Dreiklang"},
        {"e*gh", "übermäßiger Dreiklang"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chord);
        Find(Row("c", "8", "ceg") + Row("", "8", c.chord) + Row("", "8", "ceg"));
        EXPECT_EQ(result.chordRows, 3);
        EXPECT_EQ(result.pureRows, 2);
        ASSERT_EQ(result.impureRows.size(), 1U);
        EXPECT_EQ(result.impureRows[0].row, 2);
        EXPECT_EQ(result.impureRows[0].chord, QString::fromUtf8(c.chord));
        EXPECT_EQ(result.impureRows[0].reason, QString::fromUtf8(c.reason));
        EXPECT_GE(result.impureRows[0].impureIntervals, 1);
        ExpectClaimsAsSounding();
    }
}

TEST_F(Keys, KeptEntriesStayAndTheSearchWorksAroundThem) {
    // D written for the D minor chord: a1 rises a comma there, and so the piece may return
    // with everything else held and pure.
    const QString rows = Row("c", "8", "Ce1g1c2") + Row("", "8", "Ae1a1c2") +
                         Row("d", "8", "Dd1a1f2") + Row("", "8", "Gd1g1h1") +
                         Row("", "16", "Ce1g1c2");
    Find(rows, Options(true, true));
    EXPECT_EQ(Key(1), u"c"_qs);
    EXPECT_EQ(Key(3), u"d"_qs);
    ASSERT_EQ(result.movedTones.size(), 1U);
    EXPECT_EQ(result.movedTones[0].row, 3);
    EXPECT_EQ(result.movedTones[0].tone, u"a1"_qs);
    EXPECT_NEAR(result.movedTones[0].cents, kComma, 0.01);
    EXPECT_EQ(result.pureRows, 5);
    EXPECT_NEAR(result.finalDrift, 0, 0.01);
    EXPECT_NEAR(Cents(Tone(5, 0), 66), 0, 0.01);
    ExpectClaimsAsSounding();
}

TEST_F(Keys, AHeldToneSungByTwoVoicesMovesOnce) {
    // F major, then D major kept: a1 rises from 440 Hz to 445.5, a comma, and is sung by two
    // voices in the D major chord. It is one key of the keyboard, one moved tone, paid once.
    Find(Row("c", "8", "f1a1c2") + Row("d", "8", "d1f1#a1a1"), Options(true, true));
    EXPECT_EQ(KeyColumn(2), (QStringList{"c", "d"}));
    ASSERT_EQ(result.movedTones.size(), 1U);
    EXPECT_EQ(result.movedTones[0].row, 2);
    EXPECT_EQ(result.movedTones[0].tone, u"a1"_qs);
    EXPECT_NEAR(result.movedTones[0].cents, kComma, 0.01);
    EXPECT_NEAR(static_cast<double>(Tone(2, 2)), 445.5, 1e-9);
    EXPECT_NEAR(static_cast<double>(Tone(2, 3)), 445.5, 1e-9);
    EXPECT_EQ(result.pureRows, 2);
    EXPECT_NEAR(result.cost, 8 + 0.5 * kComma, 1e-3);
}

TEST_F(Keys, AKeptKeyThatLeavesAChordImpureIsNamedAsTheReason) {
    // D minor kept in C: d-a is the wolf fifth 40/27, d-f the minor third 32/27; f, a-, d- and
    // others would make it pure, but the entry stays.
    Find(Row("c", "8", "ceg") + Row("c", "8", "dfa"), Options(true, true));
    EXPECT_EQ(KeyColumn(2), (QStringList{"c", "c"}));
    ASSERT_EQ(result.impureRows.size(), 1U);
    EXPECT_EQ(result.impureRows[0],
              (ImpureRow{2, 2, u"dfa"_qs, u"die behaltene Tonart lässt ihn unrein"_qs}));
    ExpectClaimsAsSounding();
}

TEST_F(Keys, AClosingRowInEqualTemperamentNamesNoFirstKey) {
    // The last row in just intonation has the final bass, c1: the D major chord under "~" after
    // it is played as written and says nothing of the key the piece begins in.
    Find(Row("", "8", "c1e1g1") + Row("~", "8", "d1f1#a1"));
    EXPECT_EQ(KeyColumn(2), (QStringList{"c", "~"}));
    EXPECT_EQ(result.chordRows, 1);
    EXPECT_EQ(result.pureRows, 1);
    EXPECT_NEAR(static_cast<double>(Tone(1, 2)), 396, 1e-9);
    ExpectClaimsAsSounding();
}

TEST_F(Keys, AKeptKeyOnARowOfItsOwnRemembersWhereTheHeldToneWasTuned) {
    // The fourth e1-a1 is pure in C (330 and 440 Hz) and in D (334.125 and 445.5 Hz); D is kept
    // on a row of its own, and a1 is held into the D major chord after it. Entering D already
    // for the fourth holds a1 at 445.5 Hz; staying in C would move it a comma, or leave the end
    // a comma low.
    Find(Row("c", "8", "c1g1") + Row("", "8", "e1a1") + Row("d", "", "") + Row("", "8", "a1d2f2#"),
         Options(false, true));
    EXPECT_EQ(Key(3), u"d"_qs);
    EXPECT_NE(Key(2), u""_qs);
    EXPECT_EQ(Key(4), u""_qs);
    EXPECT_TRUE(result.movedTones.empty());
    EXPECT_NEAR(static_cast<double>(Tone(2, 1)), 445.5, 1e-9);
    EXPECT_NEAR(static_cast<double>(Tone(4, 0)), 445.5, 1e-9);
    EXPECT_NEAR(result.finalDrift, 0, 0.01);
    EXPECT_NEAR(result.cost, 0.2, 1e-9);
    ExpectClaimsAsSounding();
}

TEST_F(Keys, AFirstKeyThatLetsThePieceReturnBeatsACheaperOne) {
    // The first entry (h) and the final bass (e) are the candidates for the first key. The F sharp
    // minor chord is pure in h (a1 445.5, c#2 556.875 Hz) and has two impure intervals in e
    // (a1 440, c#2 550 Hz). The kept h, e and c# lead to c# at 275 Hz from either first key:
    // the c# of the scale of e, but a comma below the c# of h (278.4375 Hz). The piece can
    // return from e, not from h, so h must not be the first key, though h would cost less: a
    // pure first row and a comma of drift at the end against two impure intervals.
    Find(Row("", "8", "f1#a1c2#") + Row("h", "8", "hd1#f1#") + Row("e", "8", "e1g1#h1") +
             Row("c#", "8", "e1g1#c2#"),
         Options(true, true));
    EXPECT_NE(Key(1), u"h"_qs);
    EXPECT_EQ(KeyColumn(4).mid(1), (QStringList{"h", "e", "c#"}));
    EXPECT_FALSE(result.returnImpossible);
    EXPECT_NEAR(result.finalDrift, 0, 0.01);
    EXPECT_NEAR(static_cast<double>(Tone(1, 1)), 440, 1e-9);
    EXPECT_NEAR(static_cast<double>(Tone(4, 2)), 550, 1e-9);
    ExpectClaimsAsSounding();
}

TEST_F(Keys, AKeptKeyOnARowOfItsOwnDoesNotHideAMovedTone) {
    // D entered on a row of its own between two chords that hold c1: in D it would be c+1, so
    // the F major chord needs a key that has c1 at 264 Hz again (c-, f-, a-, d- from D).
    Find(Row("c", "8", "c1e1g1") + Row("d", "", "") + Row("", "8", "c1f1a1"), Options(false, true));
    EXPECT_EQ(Key(2), u"d"_qs);
    EXPECT_NE(Key(3), u""_qs);
    EXPECT_TRUE(result.movedTones.empty());
    EXPECT_NEAR(static_cast<double>(Tone(3, 0)), 264, 1e-6);
    ExpectClaimsAsSounding();
}

TEST_F(Keys, TemperedRowsKeepTheirKeys) {
    // Under "~" nothing is chosen; the row that ends it must name a key, the first one costs
    // nothing.
    const QString equal = Row("c", "8", "ceg") + Row("~", "8", "ceg") + Row("", "8", "fac1") +
                          Row("g", "8", "Gdgh") + Row("", "16", "ceg");
    Find(equal);
    EXPECT_EQ(KeyColumn(5), (QStringList{"c", "~", "", "c", ""}));
    EXPECT_EQ(result.chordRows, 3);
    EXPECT_EQ(result.pureRows, 3);
    ExpectClaimsAsSounding();

    // Kept keys: the g stays.
    Find(equal, Options(true, true));
    EXPECT_EQ(KeyColumn(4), (QStringList{"c", "~", "", "g"}));
    EXPECT_EQ(result.pureRows, 3);
    ExpectClaimsAsSounding();

    // A temperament of the list; the just key after it is built on its c.
    Find(Row("c", "8", "ceg") + Row("ma", "8", "ceg") + Row("", "8", "fac1") +
         Row("c", "8", "ceg") + Row("", "8", "Gdgh") + Row("", "16", "ceg"));
    EXPECT_EQ(KeyColumn(6), (QStringList{"c", "ma", "", "c", "", ""}));
    EXPECT_EQ(result.chordRows, 4);
    EXPECT_EQ(result.pureRows, 4);
    EXPECT_NEAR(result.finalDrift, 0, 0.01);
    ExpectClaimsAsSounding();
}

TEST_F(Keys, ATemperamentsScaleOutlivesEqualTemperamentAndARepeatedEntry) {
    // Once a chord has sounded in "ma", the meantone scale stays until a key with a tone: a kept
    // entry without one, after "~" or after "ma" again, leaves the chord after it tempered. Had
    // no chord sounded in "ma", the entry goes back to the just key before it.
    const struct {
        const char* name;
        QString rows;
        int chordRows;
    } cases[] = {
        {"after equal temperament",
         Row("c", "8", "c1e1g1") + Row("ma", "8", "c1e1g1") + Row("~", "8", "d1f1a1") +
             Row("x", "8", "c1e1g1"),
         1},
        {"after the temperament again",
         Row("c", "8", "c1e1g1") + Row("ma", "8", "c1e1g1") + Row("ma", "8", "") +
             Row("x", "8", "c1e1g1"),
         1},
        {"a temperament that never sounded",
         Row("c", "8", "c1e1g1") + Row("ma", "8", "") + Row("~", "8", "d1f1a1") +
             Row("x", "8", "c1e1g1"),
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Find(c.rows, Options(true, true));
        EXPECT_EQ(result.chordRows, c.chordRows);
        EXPECT_EQ(result.pureRows, c.chordRows);
        EXPECT_TRUE(result.impureRows.empty());
    }
    // The search may replace the entry: its key then ends the temperament's scale.
    Find(Row("c", "8", "c1e1g1") + Row("ma", "8", "c1e1g1") + Row("~", "8", "d1f1a1") +
         Row("x", "8", "c1e1g1"));
    EXPECT_EQ(result.chordRows, 2);
    int pos = 1;
    EXPECT_GT(ParseTone(Key(4), pos).frequency, 0) << Key(4).toStdString();
    ExpectClaimsAsSounding();
}

TEST_F(Keys, PiecesWithoutChords) {
    // An empty table, rests only: no key at all.
    for (const QString& rows :
         {QString(), Row("", "8", "") + Row("", "4", "") + Row("", "8", "")}) {
        Find(rows);
        EXPECT_EQ(result.keys.join(u'|'), QString(table.RowCount() - 1, u'|'));
        EXPECT_EQ(result.chordRows, 0);
        EXPECT_EQ(result.pureRows, 0);
        EXPECT_FALSE(result.hasFinalKey);
        EXPECT_TRUE(result.impureRows.empty());
        EXPECT_TRUE(result.movedTones.empty());
        EXPECT_EQ(KeyReport(result), (QStringList{u"Reine Zeilen: 0 von 0"_qs}));
    }
    // One tone a row: no chord, the final bass c gives the key.
    Find(Row("", "8", "c1") + Row("", "8", "e1") + Row("", "8", "g1") + Row("", "8", "c1"));
    EXPECT_EQ(KeyColumn(4), (QStringList{"c", "", "", ""}));
    EXPECT_EQ(result.chordRows, 0);
    EXPECT_TRUE(result.hasFinalKey);
    EXPECT_NEAR(result.finalDrift, 0, 1e-6);
    EXPECT_NEAR(static_cast<double>(Tone(2, 0)), 330, 1e-9);
    EXPECT_NEAR(static_cast<double>(Tone(3, 0)), 396, 1e-9);
    ExpectClaimsAsSounding();
}

TEST_F(Keys, TwoThousandRows) {
    QString rows;
    for (int i = 0; i < 500; ++i) {
        rows += Row(i == 0 ? "c" : "", "8", "c1e1g1") + Row("", "8", "c1f1a1") +
                Row("", "8", "h d1g1") + Row("", "8", "c1e1g1");
    }
    Find(rows);
    EXPECT_EQ(result.chordRows, 2000);
    EXPECT_EQ(result.pureRows, 2000);
    EXPECT_TRUE(result.movedTones.empty());
    EXPECT_EQ(Key(1), u"c"_qs);
    EXPECT_EQ(std::count_if(result.keys.begin(), result.keys.end(),
                            [](const QString& key) { return !key.isEmpty(); }),
              1);
    ExpectClaimsAsSounding();
}

TEST_F(Keys, RandomTablesFindKeysThatSoundAsClaimed) {
    // A hundred tables of random rows: keys of every kind (just, comma, equal temperament, a
    // temperament, no tone at all), chords with digits, accidentals, commas, overtones and stray
    // characters, blank durations and rests. The search never fails, keeps what it must keep,
    // writes only entries that name a tone, and counts every chord row the pass then sounds.
    std::mt19937 random(20261208);
    const char* const keys[] = {"", "", "", "", "c", "g+", "d-", "f#", "~", "ma", "x", "e*", "A1"};
    const QString toneLetters = QStringLiteral("cdefgahbCGA");
    const QString after = QStringLiteral("12#*+-:3(),. ");
    const auto pick = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    for (int n = 0; n < 100; ++n) {
        QString rows;
        const int count = 1 + pick(12);
        for (int r = 0; r < count; ++r) {
            QString chord;
            for (int t = pick(6); t > 0; --t) {
                chord += toneLetters.at(pick(static_cast<int>(toneLetters.size())));
                for (int m = pick(3); m > 0; --m) {
                    chord += after.at(pick(static_cast<int>(after.size())));
                }
            }
            // One draw a statement: the order of a call's arguments is the compiler's.
            const char* const durations[] = {"8", "", "4", "16"};
            const char* const key = keys[pick(std::size(keys))];
            const char* const duration = durations[pick(4)];
            rows += Row(key, duration, chord.toUtf8().constData());
        }
        PieceTable original;
        LoadPieceText(original, rows);
        for (const bool keep : {false, true}) {
            SCOPED_TRACE(rows.toStdString());
            const KeySearchOptions options = Options(pick(2) == 0, keep);
            Find(rows, options);
            if (n % 4 == 0) {
                EXPECT_EQ(FindKeys(original, options, &temperaments).keys, result.keys)
                    << "the same table gives the same keys";
            }
            for (int r = 1; r < original.RowCount(); ++r) {
                const QString cell = original.Cell(PieceTable::kKeyColumn, r).trimmed();
                if ((keep && !cell.isEmpty()) || cell.startsWith(u'~') ||
                    (cell.size() > 1 && cell.startsWith(u'm'))) {
                    // Kept entries, equal temperament and temperaments are never replaced.
                    EXPECT_EQ(result.keys[r], cell) << r;
                } else if (!result.keys[r].isEmpty()) {
                    int pos = 1;
                    EXPECT_GT(ParseTone(result.keys[r], pos).frequency, 0) << r;
                }
            }
            // Every row of two or more tones in just intonation is counted, pure or not: not
            // under "~" or "m…", nor under an entry without a tone after a temperament that has
            // sounded, whose scale then stays in force.
            int chords = 0;
            bool temperamentScale = false;
            QString inForce;
            for (int r = 1; r < table.RowCount(); ++r) {
                const QString cell = Key(r);
                if (!cell.isEmpty()) {
                    inForce = cell;
                    int pos = 1;
                    if (!cell.startsWith(u'~') && ParseTone(cell, pos).frequency > 0) {
                        temperamentScale = false;
                    }
                }
                const bool tempered =
                    inForce.startsWith(u'~') || (inForce.size() > 1 && inForce.startsWith(u'm'));
                const DriftRow* row = Sounded(r);
                const std::size_t tones = row ? row->tones.size() : 0;
                if (!tempered && !temperamentScale && tones >= 2) {
                    ++chords;
                }
                if (inForce.size() > 1 && inForce.startsWith(u'm') && tones > 0) {
                    temperamentScale = true;
                }
            }
            EXPECT_EQ(result.chordRows, chords);
            EXPECT_LE(result.pureRows, result.chordRows);
        }
    }
}

TEST_F(Keys, ReportInGerman) {
    Find(kTrap, Options(false));
    EXPECT_EQ(KeyReport(result),
              (QStringList{u"Reine Zeilen: 5 von 5"_qs,
                           u"Schluss: ein Komma tiefer als der Ausgangston"_qs}));

    Find(kTrap);
    ASSERT_EQ(result.movedTones.size(), 1U);
    EXPECT_EQ(KeyReport(result),
              (QStringList{u"Reine Zeilen: 5 von 5"_qs,
                           QStringLiteral("Zeile %1: der gehaltene Ton %2 wandert um ein Komma "
                                          "hinauf")
                               .arg(result.movedTones[0].row)
                               .arg(result.movedTones[0].tone),
                           u"Schluss: auf dem Ausgangston, ohne Kommaverschiebung"_qs}));

    Find(Row("c", "8", "ceg") + Row("", "8", "ceg#") + Row("", "8", "ceg"));
    EXPECT_EQ(KeyReport(result),
              (QStringList{u"Reine Zeilen: 2 von 3"_qs,
                           u"Zeile 2 (ceg#): 1 unreines Intervall – übermäßiger Dreiklang"_qs,
                           u"Schluss: auf dem Ausgangston, ohne Kommaverschiebung"_qs}));
}

} // namespace
} // namespace zk
