// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/qt_printers.h"
#include "common/time_limit.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "support/text_helpers.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <random>

namespace zk {
namespace {

QStringList Row(const PieceTable& table, int row) {
    QStringList cells;
    for (int column = 0; column < PieceTable::kColumnCount; ++column) {
        cells << table.Cell(column, row);
    }
    return cells;
}

TEST(PieceTable, StartsWithHeadersAndFourEmptyRows) {
    PieceTable table;
    EXPECT_EQ(table.RowCount(), 5);
    EXPECT_EQ(Row(table, 0), (QStringList{"TA", "D", "Akkord", "Frequenzen",
                                          "Frequenzverhältnisse (bei gelichschwebend/mitteltönig: "
                                          "Cent)"}));
    EXPECT_EQ(table.Cell(2, 9), QString()); // outside the table
    table.SetCell(2, 9, QStringLiteral("ceg"));
    EXPECT_EQ(table.RowCount(), 5); // setting a cell never grows the table
    QSignalSpy spy(&table, &PieceTable::cellChanged);
    table.SetCell(2, 1, QStringLiteral("ceg"));
    table.SetCell(2, 1, QStringLiteral("ceg")); // unchanged: no signal
    EXPECT_EQ(spy.count(), 1);
}

TEST(LoadPieceText, CutsLinesIntoTheFiveFields) {
    PieceTable table;
    //                 12345678901234567890123456789012345678901234567890123
    const QString text = QStringLiteral("c    4    ce1gc           Kadenz in C              "
                                        "Kommentar\r\n"
                                        "f    8    fac1\n"
                                        "     16\r"
                                        "\tg   8    gh d1 \t\r\n");
    const auto timbre = LoadPieceText(table, text);
    EXPECT_FALSE(timbre.has_value()); // no timbre line: the overtone edits stay
    EXPECT_EQ(table.RowCount(), 4 + 2);
    EXPECT_EQ(Row(table, 1), (QStringList{"c", "4", "ce1gc", "Kadenz in C", "Kommentar"}));
    EXPECT_EQ(Row(table, 2), (QStringList{"f", "8", "fac1", "", ""}));
    EXPECT_EQ(Row(table, 3), (QStringList{"", "16", "", "", ""})); // a rest
    // A tab counts as one character of its field and is trimmed like a blank.
    EXPECT_EQ(Row(table, 4), (QStringList{"g", "8", "gh d1", "", ""}));
    EXPECT_EQ(Row(table, 5), (QStringList{"", "", "", "", ""}));
}

TEST(LoadPieceText, SpecialLines) {
    PieceTable table;
    const QString text = QStringLiteral("TA   D    Akkord          Frequenzen\r\n"
                                        "^ eine Bemerkung, die nicht in die Tabelle kommt\r\n"
                                        "Klangfarbe 75 50 30 15 10 5\r\n"
                                        "c    8    ceg\r\n"
                                        "TA   2    c\r\n");
    const auto timbre = LoadPieceText(table, text);
    ASSERT_TRUE(timbre.has_value());
    EXPECT_EQ(*timbre, (TimbreTexts{"75", "50", "30", "15", "10", "5"}));
    // Skipped lines still count for the row count: 5 lines + 2.
    EXPECT_EQ(table.RowCount(), 7);
    EXPECT_EQ(Row(table, 1), (QStringList{"c", "8", "ceg", "", ""}));
    // "TA" further down is an ordinary row whose key is "TA".
    EXPECT_EQ(Row(table, 2), (QStringList{"TA", "2", "c", "", ""}));
    EXPECT_EQ(Row(table, 3), (QStringList{"", "", "", "", ""}));
}

TEST(LoadPieceText, TimbreNumbersAreWrittenInTheirShortestForm) {
    const std::pair<const char*, TimbreTexts> cases[] = {
        {"Klangfarbe 75 50 30 15 10 5", {"75", "50", "30", "15", "10", "5"}},
        {"Klangfarbe 100 0 0", {"100", "0", "0", "0", "0", "0"}}, // missing numbers are 0
        {"Die Klangfarbe: 80|40|20|10|5|2|1", {"80", "40", "20", "10", "5", "2"}},
        {"Klangfarbe 50*2 x 7", {"100", "7", "0", "0", "0", "0"}}, // expressions are evaluated
    };
    for (const auto& [line, expected] : cases) {
        EXPECT_EQ(TimbreTextsFromLine(QString::fromUtf8(line)), expected) << line;
    }
}

TEST(LoadPieceText, EmptyTextClearsTheTable) {
    PieceTable table;
    LoadPieceText(table, QStringLiteral("c 8 c\r\nd 8 d\r\ne 8 e\r\nf 8 f\r\ng 8 g\r\n"));
    EXPECT_EQ(table.RowCount(), 7);
    LoadPieceText(table, QString());
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_EQ(Row(table, 1), (QStringList{"", "", "", "", ""}));
    EXPECT_EQ(table.Cell(0, 0), QStringLiteral("TA")); // the headers stay
}

TEST(TableToText, FixedWidthsWithPaddedAndUncutComments) {
    PieceTable table;
    table.SetCell(0, 1, QStringLiteral("c"));
    table.SetCell(1, 1, QStringLiteral("8"));
    table.SetCell(2, 1, QStringLiteral("ce1gc"));
    table.SetCell(3, 1, QStringLiteral("132 330 396 528"));
    table.SetCell(4, 1, QStringLiteral("5/2 6/5 4/3 "));
    table.SetCell(0, 2, QStringLiteral("abcdefg"));            // cut to 5
    table.SetCell(2, 2, QStringLiteral("c1c2e2*g2c3e3g3c4x")); // cut to 16
    table.SetCell(3, 2, QString(30, u'x'));                    // longer than its field: kept
    const QStringList lines = TableToText(table, 1).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 5); // four rows and the empty rest after the last CR LF
    const QString blanks5(5, u' ');
    EXPECT_EQ(lines[0], QStringLiteral("c") + QString(4, u' ') + QStringLiteral("8") +
                            QString(4, u' ') + QStringLiteral("ce1gc") + QString(11, u' ') +
                            QStringLiteral("132 330 396 528") + QString(10, u' ') +
                            QStringLiteral("5/2 6/5 4/3 "));
    EXPECT_EQ(lines[1], QStringLiteral("abcde") + blanks5 + QStringLiteral("c1c2e2*g2c3e3g3c") +
                            QString(30, u'x') + u' ');
    EXPECT_EQ(lines[2], QString(51, u' ')); // an empty row
    EXPECT_TRUE(TableToText(table, 0).startsWith(
        QStringLiteral("TA   D    Akkord") + QString(10, u' ') + QStringLiteral("Frequenzen") +
        QString(15, u' ') + QStringLiteral("Frequenzverhältnisse")));
}

TEST(TableToText, ReloadGivesTheSameTableButForCutCells) {
    PieceTable table;
    table.SetCell(0, 1, QStringLiteral("c"));
    table.SetCell(1, 1, QStringLiteral("1/2"));
    table.SetCell(2, 1, QStringLiteral("c1c2e2*g2"));
    table.SetCell(3, 1, QStringLiteral("Übung für Chöre"));
    table.SetCell(4, 1, QStringLiteral("Terz gT 5/4"));
    table.SetCell(0, 2, QStringLiteral("dmoll+")); // 6 characters: cut
    table.SetCell(3, 3, QString(26, u'k') + u'X'); // spills into column 4 on reload
    PieceTable reloaded;
    LoadPieceText(reloaded, TableToText(table, 0));
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(reloaded.Cell(column, 1), table.Cell(column, 1)) << column;
    }
    EXPECT_EQ(reloaded.Cell(0, 2), QStringLiteral("dmoll"));
    EXPECT_EQ(reloaded.Cell(3, 3), QString(25, u'k'));
    EXPECT_EQ(reloaded.Cell(4, 3), QStringLiteral("kX"));
    // The header line is skipped but counted; the table's last row is empty, so one empty row
    // is added to it.
    EXPECT_EQ(reloaded.RowCount(), table.RowCount() + 1);
}

TEST(LoadPieceText, TwoEmptyRowsFollowThePieceButNoMore) {
    const QString row = QStringLiteral("c    8    ceg");
    const QString blank(51, u' ');
    const std::pair<QStringList, int> cases[] = {
        {{row, row, row}, 3 + 2},                     // no blank line at the end: n + 2
        {{row, row, blank}, 3 + 1},                   // one: one more empty row
        {{row, blank, blank}, 3},                     // two: the text already has them
        {{row, blank, blank, blank}, 4},              // more: they stay, none are added
        {{row, QString(), QStringLiteral("\t ")}, 3}, // blank once trimmed: empty, tab and blank
        {{row, blank, row}, 3 + 2},                   // a blank line inside the piece is a row
        {{QStringLiteral("TA   D"), row, blank, blank}, 4}, // skipped lines count as before
        {{QStringLiteral("Klangfarbe 75 50"), row}, 2 + 2},
        {{blank}, 1 + 1}, // header and one empty row, as for ""
        {{}, 2},          //
    };
    for (const auto& [lines, rows] : cases) {
        PieceTable table;
        LoadPieceText(table, lines.join(QStringLiteral("\r\n")) +
                                 (lines.isEmpty() ? QString() : QStringLiteral("\r\n")));
        EXPECT_EQ(table.RowCount(), rows) << lines.join(u'|').toStdString();
    }
}

// Tables as the user leaves them; each row is key, duration, chord, column 3, column 4.
using Rows = QList<QStringList>;

PieceTable* MakeTable(const Rows& rows, QObject* parent) {
    auto* table = new PieceTable(parent);
    table->SetRowCount(static_cast<int>(rows.size()) + 1);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        for (int column = 0; column < PieceTable::kColumnCount; ++column) {
            table->SetCell(column, static_cast<int>(r) + 1, rows[r].value(column));
        }
    }
    return table;
}

const QStringList kEmpty = {"", "", "", "", ""};

const std::pair<const char*, Rows> kTables[] = {
    {"a new table", {kEmpty, kEmpty, kEmpty, kEmpty}},
    {"a cadence ending in its last row",
     {{"c", "8", "ce1gc"}, {"f", "8", "fac1"}, {"g", "8", "ghd1"}, {"c", "16", "ce1gc."}}},
    {"one empty row after the piece", {{"c", "8", "ceg"}, {"", "8"}, kEmpty}},
    {"two empty rows after the piece", {{"c", "8", "ceg"}, kEmpty, kEmpty}},
    {"comment rows, the last one at the end",
     {{"", "", "", "Kadenz in C", "erst T, dann S"},
      {"c", "4", "ce1gc"},
      kEmpty,
      {"", "", "", "", "Ende"}}},
    {"a cut chord and a cut key",
     {{"dmoll+", "1/2", "c1c2e2*g2c3e3g3c4x"}, {"c", "8", "c:7e:5g:3"}}},
    {"column 3 spilling into column 4", {{"a", "8", "ace", QString(27, u'k'), "Terz"}, kEmpty}},
};

TEST(PieceText, TableTextReloadsToTheSameText) {
    for (const auto& [what, rows] : kTables) {
        QObject owner;
        const PieceTable* table = MakeTable(rows, &owner);
        const QString first = TableToText(*table, 0);
        PieceTable once;
        LoadPieceText(once, first);
        const QString second = TableToText(once, 0);
        PieceTable twice;
        LoadPieceText(twice, second);
        // One load gives the table its two empty rows at the end and cuts what does not fit;
        // from then on the text and the table stay as they are.
        EXPECT_EQ(TableToText(twice, 0), second) << what;
        EXPECT_EQ(twice.RowCount(), once.RowCount()) << what;
        EXPECT_GE(once.RowCount(), table->RowCount()) << what;
        EXPECT_LE(once.RowCount(), table->RowCount() + 2) << what;
        const bool endsInTwoEmptyRows =
            rows.size() >= 2 && rows.constLast() == kEmpty && rows.at(rows.size() - 2) == kEmpty;
        if (endsInTwoEmptyRows) {
            EXPECT_EQ(second, first) << what;
        }
        for (int r = 1; r < once.RowCount(); ++r) {
            EXPECT_EQ(Trim(once.Cell(2, r)), Trim(table->Cell(2, r).left(16))) << what << r;
        }
    }
}

// A line that begins with "^" is a remark the reader skips; a key that begins with "^" must not
// make its row one.
TEST(TableToText, AKeyBeginningWithACaretKeepsItsRow) {
    PieceTable table;
    LoadPieceText(table, QStringLiteral(" ^   8    fac1\r\n"
                                        "c    8    ceg\r\n"));
    ASSERT_EQ(Row(table, 1), (QStringList{"^", "8", "fac1", "", ""}));
    table.SetRowCount(6);
    table.SetCell(0, 3, QStringLiteral("^g"));
    table.SetCell(2, 3, QStringLiteral("ghd1"));
    table.SetCell(0, 4, QStringLiteral("^abcd")); // five characters: the blank takes the fifth
    table.SetCell(2, 4, QStringLiteral("ace"));
    const QString text = TableToText(table, 0);
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        EXPECT_FALSE(line.startsWith(u'^')) << line.toStdString();
    }
    PieceTable reloaded;
    LoadPieceText(reloaded, text);
    EXPECT_EQ(Row(reloaded, 1), (QStringList{"^", "8", "fac1", "", ""}));
    EXPECT_EQ(Row(reloaded, 2), (QStringList{"c", "8", "ceg", "", ""}));
    EXPECT_EQ(Row(reloaded, 3), (QStringList{"^g", "", "ghd1", "", ""}));
    EXPECT_EQ(Row(reloaded, 4), (QStringList{"^abc", "", "ace", "", ""}));
}

// Random tables, written as text and loaded again, give back every cell. The cells hold what
// their fields can: a key of up to 5 characters (4 when it begins with "^", which a line may not
// begin with), a duration of 5, a chord of 16, a column-3 text of 24 (the writer adds a blank),
// a column-4 text of 125; no blanks at either end, which the reader trims.
// A comment that fills the frequency field to the last place, followed by one that fills the
// interval field: both come back whole, and the line is the 176 places of the five fields.
TEST(TableToText, FullFrequencyAndIntervalFieldsComeBackWhole) {
    PieceTable table;
    table.SetCell(3, 1, QStringLiteral("Im 3. Akkord ist das d um"));
    table.SetCell(4, 1, QString(124, u'k') + u'X');
    ASSERT_EQ(table.Cell(3, 1).size(), 25);
    const QString text = TableToText(table, 1);
    EXPECT_EQ(text.indexOf(QStringLiteral("\r\n")), 176);
    PieceTable reloaded;
    LoadPieceText(reloaded, text);
    EXPECT_EQ(reloaded.Cell(3, 1), table.Cell(3, 1));
    EXPECT_EQ(reloaded.Cell(4, 1), table.Cell(4, 1));
}

TEST(PieceText, RandomTablesComeBackCellForCell) {
    std::mt19937 random(23);
    const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    // The characters of keys, durations, chords and comments, and the caret; no "K", so that no
    // cell can spell the word of a timbre line.
    const QString alphabet = QStringLiteral("^abcdefghCDEFGH0123456789#*+-'/:.,()~@|äöüßÜ ^^");
    const auto cell = [&](int most) {
        const int length = below(most + 1);
        QString text;
        for (int i = 0; i < length; ++i) {
            text += alphabet.at(below(static_cast<int>(alphabet.size())));
        }
        return Trim(text);
    };
    const int most[PieceTable::kColumnCount] = {5, 5, 16, 25, 125};
    int caretKeys = 0;
    for (int round = 0; round < 200; ++round) {
        PieceTable table;
        const int rows = 1 + below(30);
        table.SetRowCount(rows + 1);
        for (int r = 1; r <= rows; ++r) {
            for (int column = 0; column < PieceTable::kColumnCount; ++column) {
                QString text = below(3) == 0 ? QString() : cell(most[column]);
                if (column == 0 && below(4) == 0) {
                    text = Trim(u'^' + cell(3));
                }
                if (column == 0 && text.startsWith(u'^')) {
                    text = Trim(text.left(4));
                    ++caretKeys;
                }
                table.SetCell(column, r, text);
            }
        }
        for (const int firstRow : {0, 1}) {
            PieceTable reloaded;
            LoadPieceText(reloaded, TableToText(table, firstRow));
            const int last = std::max(table.RowCount(), reloaded.RowCount());
            for (int r = 1; r < last; ++r) {
                ASSERT_EQ(Row(reloaded, r), Row(table, r))
                    << "round " << round << ", first row " << firstRow << ", row " << r;
            }
        }
    }
    EXPECT_GT(caretKeys, 100); // the case the layout has to take care of came up often
}

// Long piece texts load quickly: many rows, many empty lines, one long line, a timbre line of
// long numbers.
TEST(LoadPieceText, LongTexts) {
    struct Case {
        const char* what;
        QString unit;
        int rows; // the rows of a text of 100 000 characters
    };
    const Case cases[] = {
        {"short rows", QStringLiteral("c    8    ceg  \r\n"), (100000 + 16) / 17 + 2},
        {"empty lines", QStringLiteral("\n"), 100000},
        {"one long line", QStringLiteral("c    8    ceg 1/2 3:4 "), 1 + 2},
        {"a timbre line", QStringLiteral("Klangfarbe 1E1E1E1 99999999 | "), 1 + 2},
    };
    for (const Case& c : cases) {
        const auto text = [&](int length) {
            QString t = c.unit.repeated(length / c.unit.size());
            return t + c.unit.left(length - t.size());
        };
        PieceTable table;
        QElapsedTimer timer;
        timer.start();
        LoadPieceText(table, text(100000));
        // 3 to 30 ms on an idle machine, most of it spent on the rows of the table; the bound is
        // generous for a loaded machine and the sanitizer build. A load that copied the rest of
        // the text per line or grew the table row by row would take seconds.
        EXPECT_LT(timer.elapsed(), test::TimeLimitMs(2000)) << c.what;
        EXPECT_EQ(table.RowCount(), c.rows) << c.what;
    }
}

TEST(AcceptPieceText, OnlyTextsThatStillBeginWithTA) {
    PieceTable table;
    table.SetCell(2, 1, QStringLiteral("ceg"));
    EXPECT_FALSE(AcceptPieceText(table, QStringLiteral(" TA  D\r\nc    8    f")));
    EXPECT_EQ(table.Cell(2, 1), QStringLiteral("ceg"));
    EXPECT_TRUE(AcceptPieceText(table, QStringLiteral("TA   D\r\nc    8    f")));
    EXPECT_EQ(table.Cell(2, 1), QStringLiteral("f"));
}

} // namespace
} // namespace zk
