// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"
#include "exchange/score_import.h"
#include "piece/piece_table.h"
#include "support/program_files.h"

namespace zk::cli {

int ImportCommand(const QStringList& args, Io& io) {
    const QString command = QStringLiteral("import");
    CommandArguments parsed;
    if (const auto problem =
            ParseOptions(args, {QStringLiteral("--keys"), QStringLiteral("-o")}, {}, parsed)) {
        return UsageError(io, command, *problem);
    }
    if (parsed.free.size() != 1) {
        return UsageError(io, command,
                          parsed.free.isEmpty() ? QStringLiteral("Die Partitur fehlt.")
                                                : QStringLiteral("Nur eine Partitur ist möglich."));
    }
    const QString keysName =
        parsed.values.value(QStringLiteral("--keys"), QStringLiteral("signature"));
    const bool autoKeys = keysName == u"auto";
    const auto keys = autoKeys ? ScoreKeyColumn::Signature : ScoreKeyColumnFromName(keysName);
    if (!keys) {
        return UsageError(io, command, UnknownKeysMessage(keysName));
    }
    const QString file = parsed.free.first();
    const auto bytes = ReadPieceInput(file, io);
    if (!bytes) {
        return kExitUserError;
    }
    if (!IsScoreFileBytes(*bytes)) {
        io.err += QStringLiteral("\"%1\" ist keine MusicXML-Partitur (weder eine .mxl-Datei noch "
                                 "ein XML-Dokument).\n")
                      .arg(InputName(file));
        return kExitUserError;
    }
    const ImportedScore imported = ImportScoreBytes(*bytes);
    PieceTable table;
    WriteScoreRows(imported.rows, *keys, table);
    io.err += ImportReport(imported, InputName(file)).join(u'\n') + u'\n';
    if (autoKeys) {
        FindKeysInto(table, {}, io);
    }
    const QString text = ImportedPieceFileText(imported, table);
    WritePieceFileOutput(text, parsed.values.value(QStringLiteral("-o")), io);
    return kExitOk;
}

} // namespace zk::cli
