// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTableView>

namespace zk {

class PieceTable;
class PieceTableModel;

// The piece table's grid `sg`: five columns over the piece, edited in place. It owns the editing
// keys: every key marks the piece as edited, Down on the last row and Enter on the last column
// grow the table, Enter moves to the next cell (from the last column to the duration column of
// the next row).
//
// An open cell editor is always committed and closed before the cursor moves, and nothing that
// happens because of an edit (a recomputation, a window that comes up) runs while a key is still
// on its way to that editor: edits are announced through `cellEdited`, whose receivers are
// expected to act on it from the event loop (a queued connection), never inside the key press.
class PieceGrid : public QTableView {
    Q_OBJECT
public:
    PieceGrid(PieceTable& table, QWidget* parent = nullptr);

    PieceTableModel* Model() const { return m_model; }

    // Makes the table row `row` the top visible row (rows below 1 count as 1).
    void ScrollToTableRow(int row);

    // Whether a cell editor is open: Esc then ends the editing and is no shortcut.
    bool IsEditing() const { return state() == EditingState; }

signals:
    // A key was pressed in the grid or in one of its cell editors.
    void keyPressed();
    // The user changed a cell (table row, column); not the pass.
    void cellEdited(int row, int column);
    // The context menu of a table row is asked for, to open at `globalPos`: by the mouse for the
    // row under it, by the keyboard's menu key for the row of the current cell.
    void rowMenuRequested(int row, const QPoint& globalPos);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The grid's own part of a key press; true when the key was used up.
    bool HandleKey(QKeyEvent* event, QWidget* editor);
    void AppendRow();
    // Commits the editor's text into the table and closes it.
    void CloseEditor(QWidget* editor);

    PieceTable& m_table;
    PieceTableModel* m_model;
};

} // namespace zk
