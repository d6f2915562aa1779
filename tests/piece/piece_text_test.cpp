#include "common/qt_printers.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

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
    EXPECT_EQ(reloaded.RowCount(), table.RowCount() + 2); // the header line is skipped but counted
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
