// SPDX-License-Identifier: GPL-3.0-or-later
// A MusicXML score, plain or as a .mxl archive, through to the piece table: the rows follow each
// other without gap from 0 to the score's end, each holds exactly the notes that sound through
// it, and the duration cells add up to the score's length.
#include "fuzz_checks.h"

#include "exchange/score_file.h"
#include "exchange/score_import.h"
#include "exchange/score_table.h"
#include "piece/piece_table.h"
#include "support/errors.h"
#include "support/rational.h"

namespace zk::fuzz {

namespace {

// A duration cell read back: "8", "8/3".
Rational DurationOf(const QString& cell) {
    const qsizetype slash = cell.indexOf(u'/');
    bool ok = true;
    bool denominatorOk = true;
    const qint64 numerator = (slash < 0 ? cell : cell.left(slash)).toLongLong(&ok);
    const qint64 denominator = slash < 0 ? 1 : cell.mid(slash + 1).toLongLong(&denominatorOk);
    Require(ok && denominatorOk && denominator > 0,
            "a duration cell is no fraction: " + cell.toStdString());
    return Rational(numerator, denominator);
}

void CheckRows(const ImportedScore& imported) {
    const Score& score = imported.score;
    const std::vector<ScoreRow>& rows = imported.rows;
    Rational time;
    for (const ScoreRow& row : rows) {
        Require(row.start == time, "a row does not start where the one before it ends");
        Require(row.length > Rational(0), "a row without length");
        Require(row.tones.size() <= 8, "a row with more than eight tones");
        time += row.length;
    }
    Require(time == score.end, "the rows do not last as long as the score");

    // Every note sounds through whole rows, and each row holds the notes sounding through it.
    if (rows.size() * score.notes.size() > 4'000'000) {
        return;
    }
    for (const ScoreRow& row : rows) {
        const Rational rowEnd = row.start + row.length;
        std::size_t sounding = 0;
        for (const ScoreNote& note : score.notes) {
            if (note.start < rowEnd && note.end > row.start) {
                Require(note.start <= row.start && note.end >= rowEnd,
                        "a note ends or begins inside a row");
                ++sounding;
            }
        }
        Require(sounding == row.tones.size() + row.dropped.size(),
                "a row's tones are not the notes sounding through it");
    }
}

} // namespace

void CheckMusicXml(const QByteArray& input) {
    if (!IsScoreFileBytes(input)) {
        return; // a piece text: the piece target reads those
    }
    ImportedScore imported;
    try {
        imported = ImportScoreBytes(input);
    } catch (const ScoreError&) {
        return;
    }
    CheckRows(imported);
    for (const ScoreKeyColumn keys : {ScoreKeyColumn::Signature, ScoreKeyColumn::Equal}) {
        PieceTable table;
        WriteScoreRows(imported.rows, keys, table);
        Rational thirtySeconds;
        for (int row = 1; row < table.RowCount(); ++row) {
            const QString duration = table.Cell(PieceTable::kDurationColumn, row);
            if (!duration.isEmpty()) {
                thirtySeconds += DurationOf(duration);
            }
        }
        Require(thirtySeconds == imported.score.end * Rational(8),
                "the duration cells do not add up to the score's length");
        Require(!ImportedPieceFileText(imported, table).isEmpty(), "an empty piece file");
    }
    Require(!ImportReport(imported, QStringLiteral("partitur.musicxml")).isEmpty(),
            "an import without report");
}

} // namespace zk::fuzz
