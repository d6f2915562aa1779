// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/piece_grid.h"

#include "app/piece_table_model.h"
#include "app/window_metrics.h"
#include "piece/piece_table.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>

#include <algorithm>

namespace zk {

namespace {

// Widths of the key, duration, chord and frequency columns in pixels; the interval column takes
// the rest of the view.
constexpr int kColumnWidths[] = {30, 60, 90, 210};

} // namespace

PieceGrid::PieceGrid(PieceTable& table, QWidget* parent)
    : QTableView(parent), m_table(table), m_model(new PieceTableModel(table, this)) {
    setObjectName(QStringLiteral("sg"));
    setModel(m_model);
    setItemDelegate(new PieceCellDelegate(this));
    setFont(CourierNewFont(10));
    horizontalHeader()->setFont(CourierNewFont(10));
    verticalHeader()->hide();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::SelectedClicked);
    setTabKeyNavigation(true);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(CourierNewFont(10)).height() + 4);
    for (int column = 0; column < 4; ++column) {
        setColumnWidth(column, kColumnWidths[column]);
    }
    // The interval column ends at the view's right edge, so that entering it never scrolls the
    // key column out of sight.
    horizontalHeader()->setStretchLastSection(true);
    connect(m_model, &PieceTableModel::cellEdited, this, &PieceGrid::cellEdited);
}

void PieceGrid::ScrollToTableRow(int row) {
    const int gridRow = PieceTableModel::GridRow(std::max(row, 1));
    scrollTo(m_model->index(std::min(gridRow, m_model->rowCount() - 1), 0),
             QAbstractItemView::PositionAtTop);
}

bool PieceGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const bool editing = QTableView::edit(index, trigger, event);
    // Watched after the delegate has begun watching it, so this filter sees the editor's keys
    // first: Enter is handled here completely, before the delegate could schedule a commit of
    // an editor that is gone by then.
    if (QWidget* editor = indexWidget(index); editing && editor != nullptr) {
        editor->removeEventFilter(this);
        editor->installEventFilter(this);
    }
    return editing;
}

bool PieceGrid::eventFilter(QObject* watched, QEvent* event) {
    // Esc in a cell editor puts the cell back as it was; the window's Esc ("Stop") waits.
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        if (HandleKey(static_cast<QKeyEvent*>(event), static_cast<QWidget*>(watched))) {
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

void PieceGrid::keyPressEvent(QKeyEvent* event) {
    if (!HandleKey(event, nullptr)) {
        QTableView::keyPressEvent(event);
    }
}

void PieceGrid::AppendRow() {
    m_table.SetRowCount(m_table.RowCount() + 1);
}

void PieceGrid::CloseEditor(QWidget* editor) {
    QPointer<QWidget> open(editor);
    commitData(editor);
    if (open) {
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

bool PieceGrid::HandleKey(QKeyEvent* event, QWidget* editor) {
    emit keyPressed();
    const QModelIndex current = currentIndex();
    const int lastRow = m_model->rowCount() - 1;
    const int key = event->key();
    if (key == Qt::Key_Down && current.row() == lastRow) {
        AppendRow();
        if (editor == nullptr) {
            return false; // the view moves on into the new row
        }
        // From an editor the key would reach the view as well and grow the table twice.
        CloseEditor(editor);
        setCurrentIndex(m_model->index(current.row() + 1, current.column()));
        return true;
    }
    if (key != Qt::Key_Return && key != Qt::Key_Enter) {
        return false;
    }
    // The cell's text goes into the table and its editor closes before anything moves.
    if (editor != nullptr) {
        CloseEditor(editor);
    }
    if (current.column() < PieceTable::kIntervalColumn) {
        setCurrentIndex(m_model->index(current.row(), current.column() + 1));
    } else {
        if (current.row() == lastRow) {
            AppendRow();
        }
        setCurrentIndex(m_model->index(current.row() + 1, PieceTable::kDurationColumn));
    }
    return true;
}

void PieceGrid::contextMenuEvent(QContextMenuEvent* event) {
    const bool byKeyboard = event->reason() == QContextMenuEvent::Keyboard;
    const QModelIndex index = byKeyboard ? currentIndex() : indexAt(event->pos());
    if (!index.isValid()) {
        return;
    }
    const QPoint at =
        byKeyboard ? viewport()->mapToGlobal(visualRect(index).center()) : event->globalPos();
    emit rowMenuRequested(PieceTableModel::TableRow(index.row()), at);
    event->accept();
}

} // namespace zk
