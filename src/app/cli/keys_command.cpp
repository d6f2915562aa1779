// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"
#include "piece/piece_file.h"
#include "piece/piece_table.h"
#include "sound/timbre.h"
#include "support/program_files.h"

namespace zk::cli {

int KeysCommand(const QStringList& args, Io& io) {
    const QString command = QStringLiteral("keys");
    PieceArguments arguments;
    if (const auto problem =
            ParsePieceArguments(args, {QStringLiteral("-o")},
                                {QStringLiteral("--free"), QStringLiteral("--keep")}, arguments)) {
        return UsageError(io, command, *problem);
    }
    if (arguments.values.contains(QStringLiteral("--keys"))) {
        return UsageError(io, command,
                          QStringLiteral("keys findet die Tonarten selbst; --keys passt nicht "
                                         "dazu."));
    }
    PieceTable table;
    const auto settings = LoadPiece(arguments, table, io);
    if (!settings) {
        return kExitUserError;
    }
    KeySearchOptions options;
    options.returnToStart = !arguments.flags.contains(QStringLiteral("--free"));
    options.keepKeys = arguments.flags.contains(QStringLiteral("--keep"));
    FindKeysInto(table, options, io);
    const TimbreTexts timbre = settings->timbre.value_or(kOrgelTexts);
    const QString text = PieceFileText(table, timbre);
    WritePieceFileOutput(text, arguments.values.value(QStringLiteral("-o")), io);
    return kExitOk;
}

} // namespace zk::cli
