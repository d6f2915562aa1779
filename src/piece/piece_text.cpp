// SPDX-License-Identifier: GPL-3.0-or-later
#include "piece/piece_text.h"

#include "piece/piece_table.h"
#include "support/number_text.h"
#include "support/program_files.h"
#include "support/text_helpers.h"

namespace zk {

TimbreTexts TimbreTextsFromLine(const QString& line) {
    TimbreTexts texts;
    for (int i = 0; i < 6; ++i) {
        texts[i] = NumberToText(15, NumberField(line, i + 1));
    }
    return texts;
}

QString TimbreLine(const TimbreTexts& texts) {
    QString line = QStringLiteral("Klangfarbe");
    for (const QString& text : texts) {
        line += u' ' + text;
    }
    return line;
}

namespace {

// How many of the last `most` lines are blank once trimmed, counted from the end.
int TrailingBlankLines(const QStringList& lines, int most) {
    int count = 0;
    while (count < most && count < lines.size() &&
           Trim(lines.at(lines.size() - 1 - count)).isEmpty()) {
        ++count;
    }
    return count;
}

// The key field. A line that begins with "^" is a remark the reader skips, so a key that begins
// with "^" goes one place to the right, behind a blank the reader trims away again; its field
// then holds its first four characters. Without this the row would vanish on the next load and
// every later row would move up.
QString KeyField(const QString& key) {
    return FitWidth(key.startsWith(u'^') ? u' ' + key : key, kPieceColumnWidths[0]);
}

} // namespace

std::optional<TimbreTexts> LoadPieceText(PieceTable& table, const QString& text) {
    const QStringList lines = SplitLines(text);
    std::optional<TimbreTexts> timbre;
    int row = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        if (line.contains(QStringLiteral("Klangfarbe"))) {
            timbre = TimbreTextsFromLine(line);
            continue;
        }
        if (line.startsWith(u'^') || (i == 0 && line.startsWith(QStringLiteral("TA")))) {
            continue;
        }
        ++row;
        if (row >= table.RowCount()) {
            table.SetRowCount(table.RowCount() + 2);
        }
        int start = 0;
        for (int column = 0; column < PieceTable::kColumnCount; ++column) {
            const int width = kPieceColumnWidths[column];
            table.SetCell(column, row, Trim(line.mid(start, width)));
            start += width;
        }
    }
    table.ClearRows(row + 1);
    // Two empty rows follow the piece, so that the user can go on writing. A text that already
    // ends in blank lines, as one written from a loaded table does (its last rows are those empty
    // rows), gets only as many as it lacks: opening and saving a piece again and again, or taking
    // the table text back unchanged from the editor, leaves it as it was.
    table.SetRowCount(static_cast<int>(lines.size()) + 2 - TrailingBlankLines(lines, 2));
    return timbre;
}

QString TableToText(const PieceTable& table, int firstRow) {
    QString text;
    for (int row = std::max(firstRow, 0); row < table.RowCount(); ++row) {
        text += KeyField(table.Cell(0, row));
        text += FitWidth(table.Cell(1, row), kPieceColumnWidths[1]);
        text += FitWidth(table.Cell(2, row), kPieceColumnWidths[2]);
        // A blank after the frequencies keeps them apart from the intervals, unless they fill
        // their field: then the blank would push the intervals one place on, and a full interval
        // field would lose its last character on reading.
        const QString frequencies = table.Cell(3, row);
        text += frequencies.size() == kPieceColumnWidths[3]
                    ? frequencies
                    : PadRight(frequencies + u' ', kPieceColumnWidths[3]);
        text += table.Cell(4, row);
        text += QStringLiteral("\r\n");
    }
    return text;
}

bool AcceptPieceText(PieceTable& table, const QString& dialogText,
                     std::optional<TimbreTexts>* timbre) {
    if (!dialogText.startsWith(QStringLiteral("TA"))) {
        return false;
    }
    const auto loaded = LoadPieceText(table, dialogText);
    if (timbre != nullptr) {
        *timbre = loaded;
    }
    return true;
}

} // namespace zk
