// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/score_slicer.h"
#include "exchange/score_table.h"
#include "piece/piece_text.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A MusicXML score as a piece table, from the file's bytes to the rows and the report of what
// was done: the one way in for the command line and the window.

namespace zk {

class PieceTable;

// Whether the bytes are a score rather than a piece text: a zip archive (.mxl), or an XML
// document (anything that begins with "<" after a byte order mark and blanks). Whether the XML
// really is MusicXML the reader decides, with a message when it is not.
bool IsScoreFileBytes(const QByteArray& bytes);

struct ImportedScore {
    Score score;
    std::vector<ScoreRow> rows;
};

// Reads a score from a file's bytes, unpacking a .mxl archive, and cuts it into rows. Throws
// ScoreError with a German message.
ImportedScore ImportScoreBytes(const QByteArray& bytes);

// The same from a file. Throws FileError when it cannot be read or is too large.
ImportedScore ImportScoreFile(const QString& path);

// What a file held: a piece text with its timbre line, or a score.
struct OpenedPiece {
    std::optional<TimbreTexts> timbre;  // a piece text's "Klangfarbe" line
    std::optional<ImportedScore> score; // set for a score
};

// A file's bytes into the table: a score is imported and its rows written with `keys`, anything
// else is loaded as a piece text. Throws ScoreError for a score that cannot be read, FileError for
// bytes that are neither a score nor text (CheckPieceFileText); the table is then unchanged.
OpenedPiece LoadPieceOrScore(const QByteArray& bytes, ScoreKeyColumn keys, PieceTable& table);

// The value of the field "1/4 pro min" that plays quarters at `quarterTempo` a minute. The field
// counts its own way: a 32nd note lasts round(1875 / value) hundredths of a second, so 80 gives a
// quarter of 1.84 s; a score's quarter = 72 is the value 180.
int TempoFieldValue(double quarterTempo);

// The piece file of an imported score: the default timbre line, the title and tempo as comment
// lines ("^ Titel: …", which a piece file skips), then the rows of `table`.
QString ImportedPieceFileText(const ImportedScore& imported, const PieceTable& table);

// What the import did, in German lines for stderr or a message: first
// "choral.mxl: 4 Stimmen, 61 Zeilen, 2 Vorschläge ausgelassen", then the title, the tempo, repeats
// played once, tones left out of crowded rows, cells too long for a piece file, and the reader's
// remarks.
QStringList ImportReport(const ImportedScore& imported, const QString& fileName);

} // namespace zk
