// SPDX-License-Identifier: GPL-3.0-or-later
// A piece file: loaded, saved as the program saves it and loaded again it gives the same table
// and timbre; the computation pass goes through the whole table.
#include "fuzz_checks.h"

#include "app/cli/cli_piece.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "piece/compute_pass.h"
#include "piece/piece_file.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "support/ansi_codec.h"

#include <algorithm>

namespace zk::fuzz {

namespace {

std::string Where(int column, int row, const QString& before, const QString& after) {
    return "row " + std::to_string(row) + ", column " + std::to_string(column) + ": \"" +
           before.toStdString() + "\" became \"" + after.toStdString() + "\"";
}

} // namespace

void CheckPieceText(const QByteArray& input) {
    const std::optional<QString> text = PieceText(input);
    if (!text) {
        return;
    }
    PieceTable table;
    const TimbreTexts timbre = LoadPieceText(table, *text).value_or(TimbreTextsFromLine({}));

    // Saved as a file holds it, bytes and all, and loaded again.
    const QByteArray saved = EncodeFileText(PieceFileText(table, timbre));
    PieceTable again;
    const std::optional<TimbreTexts> timbreAgain = LoadPieceText(again, DecodeFileText(saved));
    Require(timbreAgain == timbre, "the timbre line changed in a save and load");
    // Lines the table does not show (the "Klangfarbe" line, comments) count as rows, so the
    // table may end in an empty row more or less; every cell stays as it was.
    for (int row = 1; row < std::max(table.RowCount(), again.RowCount()); ++row) {
        for (int column = 0; column < PieceTable::kColumnCount; ++column) {
            const QString before = table.Cell(column, row);
            const QString after = again.Cell(column, row);
            Require(before == after,
                    "a save and load changed a cell: " + Where(column, row, before, after));
        }
    }

    // The pass reads every row; whatever a cell holds, it reports its errors in the table.
    TemperamentList temperaments;
    TonartScale scale(&temperaments);
    PassSettings settings;
    cli::CliPassHost host;
    ComputePass(0, table, scale, settings, host);
}

} // namespace zk::fuzz
