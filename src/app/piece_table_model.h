// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

namespace zk {

class PieceTable;

// The piece table as the grid `sg` shows it: the table's row 0 is the grid's header, its rows
// 1 .. RowCount() - 1 the grid's rows. Edits go straight into the table; the pass's changes come
// back through the table's signals.
class PieceTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PieceTableModel(PieceTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Table row of a grid row and back.
    static int TableRow(int gridRow) { return gridRow + 1; }
    static int GridRow(int tableRow) { return tableRow - 1; }

signals:
    // The user changed a cell (not the pass).
    void cellEdited(int tableRow, int column);

private:
    void OnCellChanged(int row, int column);
    void OnRowCountChanged(int rowCount);

    PieceTable& m_table;
    int m_rowCount; // the table's row count as the view knows it
};

// Paints a cell whose text contains "->" (the sounding chord) white on red, the text at the
// cell's top-left corner without a margin; every other cell as usual. Its editors commit every
// keystroke, so that the table (and a recomputation) follows the typing.
class PieceCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

protected:
    // Enter in an editor is the grid's: it commits, closes and moves itself. The delegate's own
    // handling would commit the editor later, from the event loop, when it may be gone.
    bool eventFilter(QObject* editor, QEvent* event) override;
};

} // namespace zk
