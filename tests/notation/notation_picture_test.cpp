// SPDX-License-Identifier: GPL-3.0-or-later
#include "notation/notation_picture.h"
#include "notation/staff_drawing.h"

#include "common/locale_guard.h"
#include "notation/pixel_probe.h"
#include "piece/piece_table.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace zk {
namespace {

using test::HeadAt;

TEST(NotationWindowGeometryTest, WindowGrowsWithTheChordLines) {
    struct Case {
        int lines;
        int screenWidth;
        QRect frame;
    };
    const Case cases[] = {
        {0, 1920, QRect(1846, 0, 64, 200)},   // clefs only
        {10, 1920, QRect(1606, 0, 304, 200)}, // 10 pixels from the right edge
        {10, 800, QRect(486, 0, 304, 200)},
        {90, 1920, QRect(-314, 0, 2224, 200)}, // wider than the screen
    };
    for (const Case& c : cases) {
        NotationPicture picture(QSize(c.screenWidth, 1000));
        picture.DrawNotation(QStringList(c.lines, u"c"_qs), {});
        EXPECT_EQ(picture.WindowGeometry(), c.frame) << c.lines;
        EXPECT_EQ(picture.Image().size(), c.frame.size()) << c.lines;
    }
}

TEST(NotationWindowGeometryTest, VeryLongPiecesAreCutAtThePictureEdge) {
    NotationPicture picture(QSize(1920, 1080));
    picture.DrawNotation(QStringList(2000, u"c1"_qs), {});
    EXPECT_EQ(picture.WindowGeometry(), QRect(1920 - 48064 - 10, 0, 48064, 200));
    EXPECT_EQ(picture.Image().width(), NotationPicture::kMaxWidth);
    EXPECT_EQ(picture.ChordLineCount(), 2000);
    const int drawn = picture.DrawnChordLineCount();
    EXPECT_GT(drawn, 1300);
    EXPECT_TRUE(HeadAt(picture.Image(), ColumnX(drawn - 1), 100, false));
}

TEST(NotationTextTest, TextsHoldOneLinePerChord) {
    NotationPicture picture;
    picture.Image().fill(Qt::black); // another picture drawn before
    picture.DrawNotation(u"g1\r\n\r\ng1"_qs, u"2\r\n16\r\n"_qs);
    // three lines; the last has no duration line and keeps the 16 of the empty one
    EXPECT_EQ(picture.WindowGeometry().width(), 24 * 3 + 64);
    EXPECT_TRUE(HeadAt(picture.Image(), ColumnX(0), 62, true));
    EXPECT_TRUE(test::White(picture.Image(), ColumnX(1), 70)); // no note, no staff
    EXPECT_TRUE(HeadAt(picture.Image(), ColumnX(2), 62, false));
    // a final line break ends the last line and starts no other one
    picture.DrawNotation(u"c\r\nc\r\n"_qs, u""_qs);
    EXPECT_EQ(picture.WindowGeometry().width(), 24 * 2 + 64);
}

TEST(NotationDurationCellTest, ReadsPositiveWholeNumbersOnly) {
    test::LocaleGuard german(test::German());
    const std::pair<QString, int> cases[] = {
        {u"4"_qs, 4},   {u" 16 "_qs, 16},
        {u""_qs, 7},    {u"   "_qs, 7},         // blank: the previous duration (7)
        {u"0"_qs, 7},   {u"-4"_qs, 7},          // not positive
        {u"abc"_qs, 7}, {u"99999999999"_qs, 7}, // not a number, out of range
        {u"2,5"_qs, 2}, {u"3,5"_qs, 4},         // halves to the even neighbour
        {u"1/2"_qs, 1},                         // the number before the fraction
    };
    for (const auto& [cell, expected] : cases) {
        EXPECT_EQ(NotationDuration(cell, 7), expected) << cell.toStdString();
    }
}

TEST(NotationTableTest, SkipsRowsBlankInBothColumnsAndMarksThePictureDrawn) {
    PieceTable table;
    table.SetRowCount(6);
    table.SetCell(PieceTable::kDurationColumn, 1, u"2"_qs);
    table.SetCell(PieceTable::kChordColumn, 1, u"g1"_qs);
    table.SetCell(PieceTable::kKeyColumn, 2, u"c"_qs); // a key and a comment only: skipped
    table.SetCell(PieceTable::kFrequencyColumn, 2, u"Kommentar"_qs);
    table.SetCell(PieceTable::kDurationColumn, 3, u"16"_qs); // a rest: a column without notes
    table.SetCell(PieceTable::kChordColumn, 4, u"g1"_qs);

    NotationPicture picture(QSize(1000, 800));
    picture.SetTag(NotationPicture::kTagPutAway);
    QSignalSpy drawn(&picture, &NotationPicture::notationDrawn);
    picture.NotateTable(table);

    EXPECT_EQ(drawn.count(), 1);
    EXPECT_EQ(picture.Tag(), NotationPicture::kTagDrawn);
    EXPECT_EQ(picture.WindowGeometry(), QRect(1000 - 136 - 10, 0, 136, 200));
    EXPECT_TRUE(HeadAt(picture.Image(), ColumnX(0), 62, true));
    EXPECT_TRUE(test::White(picture.Image(), ColumnX(1), 70));
    EXPECT_TRUE(HeadAt(picture.Image(), ColumnX(2), 62, false)); // the rest's 16 carries over
}

} // namespace
} // namespace zk
