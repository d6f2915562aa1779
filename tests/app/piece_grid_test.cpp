// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/piece_grid.h"
#include "common/piece_rows.h"
#include "common/warning_catcher.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace zk {
namespace {

using test::WarningCatcher;

TEST(PieceGrid, AClickedCellTypedIntoAndLeftByKeyHasItsEditorClosedOnce) {
    struct Case {
        Qt::Key key;
        int row; // where the cursor lands
        int column;
    };
    const Case cases[] = {
        {Qt::Key_Return, 0, 1}, // Enter: on to the duration column
        {Qt::Key_Enter, 0, 1},  // the keypad's Enter alike
        {Qt::Key_Down, 1, 0},   // Down: the key cell below
        {Qt::Key_Tab, 0, 1},    // Tab: the next cell
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        PieceTable table;
        LoadPieceText(table, test::Row("c", "4", "ceg") + test::Row("", "4", "fac"));
        PieceGrid grid(table);
        // What the window does with an edit: from the event loop, it changes other cells and
        // lets the window repaint (the recomputation of the piece).
        QObject::connect(
            &grid, &PieceGrid::cellEdited, &grid,
            [&](int row, int) {
                table.SetCell(PieceTable::kFrequencyColumn, row, table.Cell(0, row) + u'!');
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            },
            Qt::QueuedConnection);
        grid.resize(600, 300);
        grid.show();
        grid.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&grid));
        grid.setFocus();
        const WarningCatcher catcher;
        // A click on the key cell, a pause, then typing and the key that leaves the cell.
        const QRect cell = grid.visualRect(grid.model()->index(0, 0));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        for (const Qt::Key key : {Qt::Key_D, Qt::Key_Minus, c.key}) {
            QTest::keyClick(QApplication::focusWidget(), key);
            QTest::qWait(20);
        }
        QTest::qWait(100);
        EXPECT_EQ(table.Cell(0, 1), QStringLiteral("d-"));
        EXPECT_EQ(table.Cell(PieceTable::kFrequencyColumn, 1), QStringLiteral("d-!"));
        EXPECT_EQ(grid.currentIndex().row(), c.row);
        EXPECT_EQ(grid.currentIndex().column(), c.column);
        // No editor was committed or closed after it had gone.
        EXPECT_TRUE(WarningCatcher::Warnings().isEmpty())
            << WarningCatcher::Warnings().join(u'\n').toStdString();
    }
}

TEST(PieceGrid, EnterOnTheLastColumnOfTheLastRowAddsARowOnce) {
    PieceTable table; // the header and four empty rows
    PieceGrid grid(table);
    grid.show();
    grid.setCurrentIndex(grid.model()->index(3, 4));
    QTest::keyClick(&grid, Qt::Key_X); // opens the editor with "x"
    QWidget* editor = grid.indexWidget(grid.model()->index(3, 4));
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(table.RowCount(), 6);
    EXPECT_EQ(table.Cell(4, 4), QStringLiteral("x"));
    EXPECT_EQ(grid.currentIndex().row(), 4);
    EXPECT_EQ(grid.currentIndex().column(), 1);
    // Down from an editor on the last row adds exactly one row too.
    QTest::keyClick(&grid, Qt::Key_Y);
    editor = grid.indexWidget(grid.model()->index(4, 1));
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Down);
    EXPECT_EQ(table.RowCount(), 7);
    EXPECT_EQ(grid.currentIndex().row(), 5);
}

TEST(PieceGrid, TheRowMenuIsForTheRowUnderTheMouseOrTheCurrentCell) {
    PieceTable table;
    LoadPieceText(table, test::Row("c", "4", "ceg") + test::Row("", "4", "fac") +
                             test::Row("g", "4", "gh1d1"));
    PieceGrid grid(table);
    grid.resize(600, 300);
    grid.show();
    grid.setCurrentIndex(grid.model()->index(2, 2)); // table row 3
    QList<std::pair<int, QPoint>> requests;
    QObject::connect(&grid, &PieceGrid::rowMenuRequested, &grid, [&](int row, const QPoint& at) {
        requests.append({row, at});
    });
    const QRect second = grid.visualRect(grid.model()->index(1, 2));
    const struct {
        QContextMenuEvent::Reason reason;
        QPoint at; // in the viewport
        int row;   // table row of the menu, 0: no menu
    } cases[] = {
        {QContextMenuEvent::Mouse, second.center(), 2},
        {QContextMenuEvent::Keyboard, second.center(), 3}, // the current cell, not the mouse
        {QContextMenuEvent::Mouse, QPoint(5, 290), 0},     // below the last row
    };
    for (const auto& c : cases) {
        requests.clear();
        QContextMenuEvent event(c.reason, c.at, grid.viewport()->mapToGlobal(c.at));
        QApplication::sendEvent(grid.viewport(), &event);
        if (c.row == 0) {
            EXPECT_TRUE(requests.isEmpty());
            continue;
        }
        ASSERT_EQ(requests.size(), 1);
        EXPECT_EQ(requests[0].first, c.row);
        if (c.reason == QContextMenuEvent::Mouse) {
            EXPECT_EQ(requests[0].second, grid.viewport()->mapToGlobal(c.at));
        }
    }
}

} // namespace
} // namespace zk
