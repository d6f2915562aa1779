// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/locale_guard.h"
#include "common/piece_rows.h"
#include "common/qt_printers.h"
#include "engine/interval_analysis.h"
#include "engine/key_scale.h"
#include "piece/compute_pass.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "recording_pass_host.h"
#include "support/errors.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zk {
namespace {

// A table and everything a pass needs, with the piece given as piece text rows.
class Pass : public ::testing::Test {
protected:
    void Load(const QString& rows) { LoadPieceText(table, rows); }

    void Run(int target = 0) { ComputePass(target, table, scale, settings, host); }

    QString Frequencies(int row) const { return table.Cell(PieceTable::kFrequencyColumn, row); }
    QString Intervals(int row) const { return table.Cell(PieceTable::kIntervalColumn, row); }

    test::LocaleGuard m_locale{test::German()};
    PieceTable table;
    TonartScale scale;
    PassSettings settings;
    test::RecordingPassHost host;
};

using test::Row;

TEST_F(Pass, CadenceInCComputesFrequenciesAndRatios) {
    Load(Row("c", "8", "ceg") + Row("", "8", "fac1") + Row("", "8", "ghd1") + Row("", "16", "ceg"));
    Run();
    const std::tuple<int, const char*, const char*> expected[] = {
        {1, "132 165 198 ", "5/4 6/5 "},
        {2, "176 220 264 ", "5/4 6/5 "},
        {3, "198 247,5 297 ", "5/4 6/5 "},
        {4, "132 165 198 ", "5/4 6/5 "},
    };
    for (const auto& [row, frequencies, intervals] : expected) {
        EXPECT_EQ(Frequencies(row), QString::fromUtf8(frequencies)) << row;
        EXPECT_EQ(Intervals(row), QString::fromUtf8(intervals)) << row;
    }
    EXPECT_TRUE(host.played.isEmpty()); // only computing
    EXPECT_EQ(host.lastPieceClears, 1);
}

TEST_F(Pass, PlayingHandsEveryRowToTheSoundWithItsDauer) {
    Load(Row("c", "", "c") +   // no duration yet: a quarter, 8 × 23
         Row("", "0", "e") +   // zero repeats the previous duration
         Row("", "16", "") +   // a rest: played as silence
         Row("g", "", "") +    // only a key: nothing played
         Row("", "1/2", "g") + // an expression: 23 × 0.5 = 11.5 → 12 (half to even)
         Row("", "3/2", "g")); // 34.5 → 34
    settings.onlyCompute = false;
    Run();
    ASSERT_EQ(host.played.size(), 5);
    const int dauern[] = {184, 184, 368, 12, 34};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(host.played[i].dauer, dauern[i]) << i;
    }
    EXPECT_EQ(host.played[0].frequencies[0], 132.0L);
    EXPECT_EQ(host.played[2].frequencies, ChordFrequencies{});
    EXPECT_EQ(host.played[3].frequencies[0], 198.0L); // g in key g: its own tonic
    // The rest and the key row keep their (empty) columns 3 and 4.
    EXPECT_EQ(Frequencies(3), QString());
    EXPECT_EQ(Frequencies(4), QString());
    // The sounding chord carries the mark, and only while it sounds.
    host.currentChordCell = [this] { return table.Cell(PieceTable::kChordColumn, 1); };
    host.played.clear();
    Run();
    EXPECT_EQ(host.played[0].chordCell, QStringLiteral("c ->"));
    EXPECT_EQ(table.Cell(PieceTable::kChordColumn, 1), QStringLiteral("c"));
}

TEST_F(Pass, DoubleClickOnARowComputesTheRowsAboveAndPlaysOnlyThatRow) {
    QString rows = Row("c", "8", "c");
    for (int i = 2; i <= 14; ++i) {
        rows += Row("", "8", i == 12 ? "ceg" : "e");
    }
    Load(rows);
    settings.onlyCompute = false;
    Run(12);
    ASSERT_EQ(host.played.size(), 1);
    EXPECT_EQ(host.played[0].frequencies[2], 198.0L);
    EXPECT_FALSE(Frequencies(11).isEmpty());
    EXPECT_FALSE(Frequencies(12).isEmpty());
    EXPECT_TRUE(Frequencies(13).isEmpty()); // the pass ended with row 12
    EXPECT_TRUE(settings.onlyCompute);
}

TEST_F(Pass, NeighbouringAndFirstToneIntervals) {
    const std::pair<QString, const char*> cases[] = {
        {kModeIntervals, "gT Q "},    {kModeNeighbourIntervals, "gT kT "},
        {kModeRatios, "5/4 3/2 "},    {kModeNeighbourRatios, "5/4 6/5 "},
        {kModeSteps, "(110) (101) "},
    };
    for (const auto& [mode, intervals] : cases) {
        Load(Row("c", "8", "ceg"));
        table.SetDisplayMode(mode);
        Run();
        EXPECT_EQ(Intervals(1), QString::fromUtf8(intervals)) << mode.toStdString();
    }
}

TEST_F(Pass, ASingleToneIsMeasuredFromTheTonicOfItsKey) {
    table.SetDisplayMode(kModeIntervals);
    Load(Row("c", "8", "g1") + Row("c1", "8", "g1"));
    Run();
    EXPECT_EQ(Intervals(1), QStringLiteral("Ok*Q")); // 396 over 132, no trailing blank
    EXPECT_EQ(Intervals(2), QStringLiteral("Q"));    // 396 over 264
}

TEST_F(Pass, CentsAreMeasuredFromTheFirstKey) {
    table.SetDisplayMode(kModeCents);
    Load(Row("c", "8", "cgc1"));
    Run();
    EXPECT_EQ(table.Cell(PieceTable::kFrequencyColumn, 0), kCentHeader);
    // c1 is an octave above the first key: 0 in column 3, 1200 between neighbours... here the
    // neighbours are a fifth and a fourth.
    EXPECT_EQ(Frequencies(1), QStringLiteral("0 702 0 "));
    EXPECT_EQ(Intervals(1), QStringLiteral("702 498 "));
    table.SetDisplayMode(kModeRatios);
    Run();
    EXPECT_EQ(table.Cell(PieceTable::kFrequencyColumn, 0), kFrequencyHeader);
}

// "Cent bezogen auf 1.Tonart" measures every row from the first key of the piece, also after
// later key entries.
TEST_F(Pass, CentsStayMeasuredFromTheFirstKeyAfterKeyChanges) {
    table.SetDisplayMode(kModeCents);
    Load(Row("c", "8", "ceg") + Row("g", "8", "ghd1") + Row("f", "8", "fac1"));
    Run();
    EXPECT_EQ(Frequencies(1), QStringLiteral("0 386,3 702 ")); // 1, 5/4, 3/2
    // g 3/2, h 15/8, d1 9/4 from c; measured from g they would read "0 386,3 702".
    EXPECT_EQ(Frequencies(2), QStringLiteral("702 1088,3 203,9 "));
    // f is g's minor seventh 9/5, so 27/20 of c, a comma above the fourth: f 27/20, a 27/16,
    // c1 81/40.
    EXPECT_EQ(Frequencies(3), QStringLiteral("519,6 905,9 21,5 "));
}

TEST_F(Pass, KeyChangesDriftByACommaAndDauerndCarriesTheDriftOn) {
    // C - a - d - G - C: each key is pure in the one before, and C comes back a comma lower.
    Load(Row("c", "8", "c") + Row("a", "8", "c") + Row("d", "8", "c") + Row("g", "8", "c") +
         Row("c", "8", "c"));
    settings.onlyCompute = false;
    host.dauernd = true;
    host.onEvents = [this] {
        if (host.played.size() == 10) {
            settings.onlyCompute = true; // "Stop" before the eleventh chord: it does not sound
        }
    };
    Run();
    ASSERT_EQ(host.played.size(), 10);
    const long double comma = 80.0L / 81.0L;
    EXPECT_EQ(host.played[0].frequencies[0], 132.0L);
    EXPECT_NEAR(static_cast<double>(host.played[4].frequencies[0] / (132 * comma)), 1.0, 1e-15);
    // The second round starts in the key it ended in.
    EXPECT_NEAR(static_cast<double>(host.played[5].frequencies[0] / (132 * comma)), 1.0, 1e-15);
    EXPECT_NEAR(static_cast<double>(host.played[9].frequencies[0] / (132 * comma * comma)), 1.0,
                1e-15);
}

TEST_F(Pass, ARowThatFailsAtASlotKeepsTheTonesBeforeIt) {
    // The fourth tone carries 2500 overtone factors of 99: far beyond any representable number.
    Load(Row("c", "8", "") + Row("", "8", "c"));
    table.SetCell(PieceTable::kChordColumn, 1,
                  QStringLiteral("ceg") + QStringLiteral("c") +
                      QStringLiteral(":99").repeated(2500) + QStringLiteral("e"));
    Run();
    EXPECT_EQ(Frequencies(1), QStringLiteral("132 165 198 "));
    EXPECT_EQ(Intervals(1), QStringLiteral("5/4 6/5 "));
    // The pass goes on with the next row.
    EXPECT_EQ(Frequencies(2), QStringLiteral("132 "));
}

TEST_F(Pass, AComputedRowHandsItsDurationOnEvenWhenItCouldNotSound) {
    // Row 1 is only computed: its duration -8 becomes the previous duration, so row 2 (blank)
    // takes it over and cannot sound; row 3 sounds with its own.
    Load(Row("c", "-8", "c") + Row("", "", "e") + Row("", "4", "g"));
    Run(2);
    EXPECT_TRUE(host.played.isEmpty());
    Run(3);
    ASSERT_EQ(host.played.size(), 1);
    EXPECT_EQ(host.played[0].dauer, 92);
    // Computing does not need a length that fits: the texts are written all the same.
    EXPECT_EQ(Frequencies(1), QStringLiteral("132 "));
    EXPECT_EQ(Frequencies(2), QStringLiteral("165 "));
}

TEST_F(Pass, DauerndOverAPieceThatPlaysNothingEnds) {
    Load(Row("c", "", "") + Row("g", "", ""));
    settings.onlyCompute = false;
    host.dauernd = true;
    Run(); // must return
    EXPECT_TRUE(host.played.isEmpty());
}

TEST_F(Pass, ConcertPitchScalesAndFallsBackTo440) {
    Load(Row("c", "8", "ca"));
    host.kammerton = QStringLiteral("444");
    Run();
    EXPECT_EQ(Frequencies(1), QStringLiteral("133,2 222 "));
    for (const char* bad : {"abc", "39", "10001", ""}) {
        host.kammerton = QString::fromUtf8(bad);
        Run();
        EXPECT_EQ(host.kammerton, QStringLiteral("440")) << bad;
        EXPECT_EQ(Frequencies(1), QStringLiteral("132 220 ")) << bad;
    }
}

TEST_F(Pass, ATempoThatIsZeroOrNoNumberStopsBeforeTheFirstRow) {
    Load(Row("c", "8", "c"));
    for (const char* tempo : {"0", "abc"}) {
        host.tempo = QString::fromUtf8(tempo);
        EXPECT_THROW(Run(), Error) << tempo;
        EXPECT_TRUE(Frequencies(1).isEmpty());
    }
    host.tempo = QStringLiteral("120"); // 1875 / 120 = 15.625 → 16
    settings.onlyCompute = false;
    Run();
    EXPECT_EQ(host.played[0].dauer, 8 * 16);
}

TEST_F(Pass, AFaultyRowIsSkippedSilently) {
    Load(Row("c", "8", "c") + Row("", "1/0", "e") + Row("", "8", "g"));
    settings.onlyCompute = false;
    Run();
    ASSERT_EQ(host.played.size(), 2);
    EXPECT_TRUE(Frequencies(2).isEmpty());
    EXPECT_EQ(Frequencies(3), QStringLiteral("198 "));
}

TEST_F(Pass, NotationOnlyForTablesOfFewerThanFiftyRows) {
    table.SetRowCount(49);
    Run();
    EXPECT_EQ(host.notations, 1);
    table.SetRowCount(50);
    Run();
    EXPECT_EQ(host.notations, 1);
    EXPECT_EQ(host.hiddenNotations, 1);
}

TEST_F(Pass, PlayingScrollsEveryTenthRow) {
    QString rows = Row("c", "8", "c");
    for (int i = 2; i <= 25; ++i) {
        rows += Row("", "8", "c");
    }
    Load(rows);
    settings.onlyCompute = false;
    Run();
    EXPECT_EQ(host.scrolls, (QList<int>{1, 0, 10, 1}));
    EXPECT_EQ(host.eventRounds, 25);
}

TEST_F(Pass, KeyCheckOfARowEndsThePass) {
    Load(Row("c", "8", "c") + Row("x", "8", "ceg") + Row("", "8", "e"));
    settings.onlyCompute = false;
    Run(kKeyCheckTarget + 2);
    ASSERT_EQ(host.keyChecks.size(), 1);
    const QStringList lines = host.keyChecks[0].split(u'\r');
    EXPECT_EQ(lines.size(), 5 + 25);
    EXPECT_TRUE(lines[5].startsWith(QStringLiteral("6 ")));
    EXPECT_TRUE(lines[5].endsWith(QStringLiteral("c")));
    EXPECT_TRUE(host.played.isEmpty());
    EXPECT_FALSE(Frequencies(1).isEmpty());
    EXPECT_TRUE(Frequencies(2).isEmpty());
}

} // namespace
} // namespace zk

namespace zk {
namespace {

TEST(NextDecimals, CyclesThroughOneToFourWithItsMessages) {
    int decimals = 1;
    const std::tuple<int, bool, const char*> steps[] = {
        {2, true,
         "Die Frequenzen werden nun mit 2 Dezimalen angegeben,\rbeim den nächsten Klicks "
         "auf 3 und 4 und dann wieder auf 1 Dezimale."},
        {3, true,
         "Die Frequenzen werden nun mit 3 Dezimalen angegeben,\rbeim den nächsten Klicks "
         "auf 4 und dann wieder auf 1 Dezimale."},
        {4, true,
         "Die Frequenzen werden nun mit 4 Dezimalen angegeben,\rbeim nächsten Klick auf 1 "
         "Dezimale."},
        {1, false, "Die Frequenzen werden nun wieder mit 1 Dezimalen angegeben."},
    };
    for (const auto& [next, checked, message] : steps) {
        const DecimalsChange change = NextDecimals(decimals);
        EXPECT_EQ(change.decimals, next);
        EXPECT_EQ(change.checked, checked);
        EXPECT_EQ(change.message, QString::fromUtf8(message));
        decimals = change.decimals;
    }
}

} // namespace
} // namespace zk
