#include "app/notation_window.h"

#include "notation/notation_picture.h"
#include "notation/staff_drawing.h"
#include "piece/piece_table.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

namespace zk {
namespace {

class NotationWindowTest : public ::testing::Test {
protected:
    // A piece of `lines` rows of the chord "ce1gc" with duration 4.
    void SetLines(int lines) {
        table.SetRowCount(lines + 1);
        for (int row = 1; row <= lines; ++row) {
            table.SetCell(PieceTable::kDurationColumn, row, u"4"_qs);
            table.SetCell(PieceTable::kChordColumn, row, u"ce1gc"_qs);
        }
    }

    PieceTable table;
    NotationPicture picture;
    NotationWindow window{picture};
    int screenWidth = QGuiApplication::primaryScreen()->size().width();
};

TEST_F(NotationWindowTest, NotateTableShowsTheWindowTopRight) {
    EXPECT_EQ(window.objectName(), u"TFNotenbild"_qs);
    EXPECT_EQ(window.windowTitle(), u"Noten"_qs);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(window.isVisible());

    SetLines(10);
    window.NotateTable(table);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QString());
    EXPECT_FALSE(window.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(window.pos(), QPoint(screenWidth - 304 - 10, 0)); // the frame's top left
    EXPECT_EQ(window.size(), QSize(304, 200));
    // Image1 shows the picture: the treble clef's top and c2 of the first chord
    const QImage shown = window.findChild<QWidget*>(u"Image1"_qs)->grab().toImage();
    EXPECT_EQ(shown.pixelColor(14, 34), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(ColumnX(0), 50), QColor(Qt::black));
}

TEST_F(NotationWindowTest, RestoreShowsAHiddenWindowUnlessPutAwayOrFarLeft) {
    struct Case {
        bool visible;
        bool putAway;
        int left;
        bool shownAfter;
    };
    const Case cases[] = {
        {false, false, 10, true},    // hidden and drawn: comes back
        {false, true, 10, false},    // put away (examples, long tables): stays hidden
        {false, false, -101, false}, // a piece wider than the screen: stays hidden
        {false, false, -100, true},  {true, true, -500, true}, // a visible window is left as it is
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.left);
        window.move(c.left, 0);
        window.setVisible(c.visible);
        picture.SetTag(c.putAway ? NotationPicture::kTagPutAway : NotationPicture::kTagDrawn);
        window.RestoreNotationWindow();
        EXPECT_EQ(window.isVisible(), c.shownAfter);
    }
}

TEST_F(NotationWindowTest, NotenZeigenShowsEvenALongPieceAndEmptiesTheLastPiece) {
    int cleared = 0;
    window.SetPieceTable([&] { return &table; });
    window.SetClearLastPiece([&] { ++cleared; });
    window.PutAwayAndHide();
    SetLines(screenWidth / 24 + 10);
    window.NotenZeigenAction()->trigger();
    EXPECT_LT(window.x(), -100);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(picture.Tag(), NotationPicture::kTagDrawn);
    EXPECT_EQ(cleared, 1);
}

TEST_F(NotationWindowTest, BassNotesItemsSetTheSettingRedrawAndCheckOneItem) {
    SetLines(1);
    window.SetPieceTable([&] { return &table; });
    const QList<QAction*> items = window.BassNotesActions();
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[0]->text(), u"Noten im Bass: variabel"_qs);
    EXPECT_EQ(items[5]->text(), u"Noten im Bass: 4"_qs);
    EXPECT_TRUE(items[0]->isChecked());

    items[3]->trigger(); // "Noten im Bass: 2": e1 stands high above the bass staff
    items[3]->trigger(); // a second click keeps the check mark
    EXPECT_EQ(picture.BassNotes(), 2);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(picture.Image().pixelColor(ColumnX(0), 92), QColor(Qt::black));
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(items[i]->isChecked(), i == 3) << i;
    }
    // a setting made elsewhere (an example) gets its check mark at "Noten zeigen"
    picture.SetBassNotes(0);
    window.Notenbildzeigen1Click();
    EXPECT_TRUE(items[1]->isChecked() && !items[3]->isChecked());
}

} // namespace
} // namespace zk
