// SPDX-License-Identifier: GPL-3.0-or-later
#include "piece/piece_table.h"

namespace zk {

PieceTable::PieceTable(QObject* parent) : QObject(parent) {
    m_rows.resize(kInitialRowCount);
    m_rows[0] = {QStringLiteral("TA"), QStringLiteral("D"), QStringLiteral("Akkord"),
                 QStringLiteral("Frequenzen"), kStartDisplayMode};
}

void PieceTable::SetRowCount(int count) {
    count = std::max(count, 1);
    if (count == RowCount()) {
        return;
    }
    m_rows.resize(count);
    emit rowCountChanged(count);
}

QString PieceTable::Cell(int column, int row) const {
    if (row < 0 || row >= RowCount() || column < 0 || column >= kColumnCount) {
        return QString();
    }
    return m_rows[row][column];
}

void PieceTable::SetCell(int column, int row, const QString& text) {
    if (row < 0 || row >= RowCount() || column < 0 || column >= kColumnCount) {
        return;
    }
    QString& cell = m_rows[row][column];
    if (cell == text) {
        return;
    }
    cell = text;
    emit cellChanged(row, column);
}

void PieceTable::ClearRows(int firstRow) {
    for (int row = std::max(firstRow, 1); row < RowCount(); ++row) {
        for (int column = 0; column < kColumnCount; ++column) {
            SetCell(column, row, QString());
        }
    }
}

} // namespace zk
