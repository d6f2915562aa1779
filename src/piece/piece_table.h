// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QVector>

#include <array>

namespace zk {

// The piece as data: row 0 holds the five column headers, rows 1 .. RowCount() - 1 the piece,
// each row five text cells (key, duration, chord, frequencies, intervals). The computation pass
// and the piece text work on it; the main window shows it through a model adapter and hears of
// every change through the signals, so the pass never touches a widget.
class PieceTable : public QObject {
    Q_OBJECT
public:
    static constexpr int kColumnCount = 5;
    static constexpr int kKeyColumn = 0;       // "TA"
    static constexpr int kDurationColumn = 1;  // "D"
    static constexpr int kChordColumn = 2;     // "Akkord"
    static constexpr int kFrequencyColumn = 3; // "Frequenzen"
    static constexpr int kIntervalColumn = 4;  // its header is the display mode

    // The header and four empty rows, as a new window shows them.
    static constexpr int kInitialRowCount = 5;

    explicit PieceTable(QObject* parent = nullptr);

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    // Grows with empty rows or drops rows from the end; at least the header row remains.
    void SetRowCount(int count);

    // The text of a cell; empty outside the table.
    QString Cell(int column, int row) const;
    // Sets a cell; a row beyond the end is ignored (the table grows only through SetRowCount).
    void SetCell(int column, int row, const QString& text);

    // The column 4 header: the display mode that decides what columns 3 and 4 show.
    QString DisplayMode() const { return Cell(kIntervalColumn, 0); }
    void SetDisplayMode(const QString& mode) { SetCell(kIntervalColumn, 0, mode); }

    // Empties every data cell of the rows from `firstRow` on.
    void ClearRows(int firstRow);

signals:
    void cellChanged(int row, int column);
    void rowCountChanged(int rowCount);

private:
    using Row = std::array<QString, kColumnCount>;
    QVector<Row> m_rows;
};

// The headers of a new table; column 4 starts with the ratio display.
inline const QString kStartDisplayMode =
    QStringLiteral("Frequenzverhältnisse (bei gelichschwebend/mitteltönig: Cent)");

} // namespace zk
