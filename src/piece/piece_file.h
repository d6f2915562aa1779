// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "piece/piece_text.h"

#include <QString>

#include <optional>

// Piece files: a "Klangfarbe" line, then the piece text of every table row. Saving keeps one
// backup generation (the old file with "~" appended) and writes all or nothing.

namespace zk {

class PieceTable;

// The text a piece file holds.
QString PieceFileText(const PieceTable& table, const TimbreTexts& timbre);

// Writes the piece file; an existing file is first kept as `path` + "~" (replacing an older
// backup). Throws FileError with a German message; the table is untouched either way.
void SavePieceFile(const QString& path, const PieceTable& table, const TimbreTexts& timbre);

// Throws FileError when the text of a file holds a NUL or another control character than TAB,
// CR, LF and form feed: such a file is no text (a binary file, say), and loading it would fill the
// table with garbage.
void CheckPieceFileText(const QString& text);

// Reads a piece file into the table and returns the timbre it holds. Throws FileError when the
// file cannot be read or is no text (CheckPieceFileText); the table stays as it was.
std::optional<TimbreTexts> OpenPieceFile(const QString& path, PieceTable& table);

// "zirkelon.ini" in the program folder: the piece file last opened or saved.
QString LastPieceFileIni();

} // namespace zk
