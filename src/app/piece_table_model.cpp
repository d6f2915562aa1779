// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/piece_table_model.h"

#include "piece/piece_table.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

namespace zk {

namespace {

// The editor's property that keeps the cell's text from before the editing.
constexpr const char* kTextBeforeEditing = "zkTextBeforeEditing";

} // namespace

PieceTableModel::PieceTableModel(PieceTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_rowCount(table.RowCount()) {
    connect(&m_table, &PieceTable::cellChanged, this, &PieceTableModel::OnCellChanged);
    connect(&m_table, &PieceTable::rowCountChanged, this, &PieceTableModel::OnRowCountChanged);
}

int PieceTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rowCount - 1;
}

int PieceTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : PieceTable::kColumnCount;
}

QVariant PieceTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    return m_table.Cell(index.column(), TableRow(index.row()));
}

bool PieceTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) {
        return false;
    }
    m_table.SetCell(index.column(), TableRow(index.row()), value.toString());
    emit cellEdited(TableRow(index.row()), index.column());
    return true;
}

QVariant PieceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return m_table.Cell(section, 0);
    }
    return section + 1;
}

Qt::ItemFlags PieceTableModel::flags(const QModelIndex& index) const {
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

void PieceTableModel::OnCellChanged(int row, int column) {
    if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, column, column);
        return;
    }
    if (row < m_rowCount) {
        const QModelIndex cell = index(GridRow(row), column);
        emit dataChanged(cell, cell);
    }
}

void PieceTableModel::OnRowCountChanged(int rowCount) {
    if (rowCount > m_rowCount) {
        beginInsertRows(QModelIndex(), m_rowCount - 1, rowCount - 2);
        m_rowCount = rowCount;
        endInsertRows();
    } else if (rowCount < m_rowCount) {
        beginRemoveRows(QModelIndex(), rowCount - 1, m_rowCount - 2);
        m_rowCount = rowCount;
        endRemoveRows();
    }
}

void PieceCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const QString text = index.data(Qt::DisplayRole).toString();
    if (!text.contains(QStringLiteral("->"))) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    painter->save();
    painter->fillRect(option.rect, QColor(255, 0, 0));
    painter->setPen(Qt::white);
    painter->setFont(option.font);
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop, text);
    painter->restore();
}

QWidget* PieceCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        auto* self = const_cast<PieceCellDelegate*>(this);
        connect(line, &QLineEdit::textEdited, self, [self, line] { emit self->commitData(line); });
        // Every key goes into the table at once; Esc puts back what the cell held before.
        line->setProperty(kTextBeforeEditing, index.data(Qt::EditRole));
    }
    return editor;
}

bool PieceCellDelegate::eventFilter(QObject* editor, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            return false;
        }
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (key == Qt::Key_Escape && line != nullptr) {
            const QVariant before = line->property(kTextBeforeEditing);
            if (before.isValid() && line->text() != before.toString()) {
                line->setText(before.toString());
                emit commitData(line);
            }
            emit closeEditor(line, QAbstractItemDelegate::RevertModelCache);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(editor, event);
}

} // namespace zk
