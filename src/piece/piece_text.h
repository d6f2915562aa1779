// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <optional>

// The piece text: the fixed-width text form of the piece table used by piece files, the
// examples and the table editor. Each line holds the five cells in fields of 5, 5, 16, 25 and
// 125 characters.

namespace zk {

class PieceTable;

inline constexpr std::array<int, 5> kPieceColumnWidths = {5, 5, 16, 25, 125};

// The six overtone percentages as their edit fields show them ("75", "50", …).
using TimbreTexts = std::array<QString, 6>;

// The six numbers of a "Klangfarbe" line, each written back in its shortest form.
TimbreTexts TimbreTextsFromLine(const QString& line);

// The "Klangfarbe …" line a piece file begins with.
QString TimbreLine(const TimbreTexts& texts);

// Replaces the table's data rows by the rows of `text`: "Klangfarbe" lines give the returned
// timbre (the last one wins), lines beginning with "^" are skipped, and so is a first line
// beginning with "TA". Afterwards the table has as many rows as the text has lines (skipped ones
// included), plus 2, less the lines at the end that are blank once trimmed (at most 2): a table
// written as text and loaded again keeps its number of rows.
std::optional<TimbreTexts> LoadPieceText(PieceTable& table, const QString& text);

// The piece text of the rows from `firstRow` to the last; row 0 is the header line. Cells are cut
// to their field widths, except column 3 (padded, never cut) and column 4 (unchanged). A key that
// begins with "^" is written behind one blank (and so cut to 4 characters), for a line that
// begins with "^" would be skipped. Every line ends with CR LF.
QString TableToText(const PieceTable& table, int firstRow);

// Takes an edited table text back: loaded only when it still begins with "TA", otherwise ignored.
// Returns whether it was loaded, and the timbre it held.
bool AcceptPieceText(PieceTable& table, const QString& dialogText,
                     std::optional<TimbreTexts>* timbre = nullptr);

} // namespace zk
