// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/notation_window.h"

#include "notation/notation_picture.h"
#include "notation/staff_drawing.h"
#include "piece/piece_table.h"

#include "common/scripted_dialogs.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

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
    // Never maximised before its first showing: the window system would then place its client
    // area, not its frame, at the top of the screen, and the title bar would be out of reach.
    EXPECT_FALSE(window.windowState() & Qt::WindowMaximized);

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
    // The longest piece whose picture's place begins at most 100 pixels left of the screen, and
    // one chord line more.
    const int fits = (screenWidth + 100 - 64 - 10) / 24;
    struct Case {
        bool visible;
        bool putAway;
        int lines;
        bool shownAfter;
    };
    const Case cases[] = {
        {false, false, 10, true},        // hidden and drawn: comes back
        {false, true, 10, false},        // put away (examples, long tables): stays hidden
        {false, false, fits + 1, false}, // a piece far wider than the screen: stays hidden
        {false, false, fits, true},      // ... up to 100 pixels beyond its left edge it shows
        {true, true, fits + 10, true},   // a visible window is left as it is
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        QStringList chords;
        for (int i = 0; i < c.lines; ++i) {
            chords << u"c"_qs;
        }
        picture.DrawNotation(chords, {});
        window.setVisible(c.visible);
        picture.SetTag(c.putAway ? NotationPicture::kTagPutAway : NotationPicture::kTagDrawn);
        window.RestoreNotationWindow();
        EXPECT_EQ(window.isVisible(), c.shownAfter);
    }
}

TEST_F(NotationWindowTest, NotenZeigenShowsEvenALongPieceWithinTheScreen) {
    int cleared = 0;
    window.SetPieceTable([&] { return &table; });
    window.SetClearLastPiece([&] { ++cleared; });
    window.PutAwayAndHide();
    SetLines(screenWidth / 24 + 10);
    window.NotenZeigenAction()->trigger();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(picture.Tag(), NotationPicture::kTagDrawn);
    EXPECT_EQ(cleared, 1);
    // Its place lies left of the screen; the window stays on it, 10 pixels from the right edge,
    // and the picture scrolls inside it.
    EXPECT_LT(picture.WindowGeometry().left(), -100);
    EXPECT_EQ(window.pos(), QPoint(0, 0));
    EXPECT_EQ(window.width(), screenWidth - 10);
    auto* scroll = window.findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->horizontalScrollBar()->maximum(),
              picture.Image().width() - scroll->viewport()->width());
}

TEST_F(NotationWindowTest, APictureCutAtItsWidthSaysSo) {
    test::ScriptedDialogs dialogs;
    window.SetDialogs(&dialogs);
    window.SetPieceTable([&] { return &table; });
    SetLines(1400);
    window.NotenZeigenAction()->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0],
              u"Das Notenbild zeigt nur die ersten 1363 von 1400 Akkordzeilen."_qs);
    EXPECT_LE(window.x() + window.width(), screenWidth);
    EXPECT_GE(window.x(), 0);
    // A piece that fits says nothing.
    SetLines(20);
    window.NotenZeigenAction()->trigger();
    EXPECT_EQ(dialogs.messages.size(), 1);
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
