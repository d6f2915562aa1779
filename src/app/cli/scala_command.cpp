// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"
#include "engine/temperaments.h"
#include "exchange/scala_file.h"
#include "piece/piece_table.h"
#include "support/ansi_codec.h"
#include "support/program_files.h"

#include <QFileInfo>

namespace zk::cli {

namespace {

const QString kImport = QStringLiteral("scala import");
const QString kExport = QStringLiteral("scala export");

int Usage(Io& io, const QString& command, const QString& message) {
    return UsageError(io, command, message);
}

// The text of a Scala file, "-" for standard input; nothing, with the message in io.err, when it
// cannot be read.
std::optional<QString> ReadInput(const QString& path, Io& io) {
    try {
        if (path == u"-") {
            const QByteArray bytes = io.readStdin ? io.readStdin() : QByteArray();
            if (bytes.size() > kMaxScalaFileBytes) {
                throw ScalaError(QStringLiteral("Die Eingabe ist zu groß; eine Scala-Datei hat "
                                                "höchstens %1 Bytes.")
                                     .arg(kMaxScalaFileBytes));
            }
            return DecodeFileText(bytes);
        }
        return ReadScalaFile(path);
    } catch (const Error& error) {
        io.err += error.message() + u'\n';
        return std::nullopt;
    }
}

} // namespace

int ScalaImportCommand(const QStringList& args, Io& io) {
    CommandArguments parsed;
    if (const auto problem = ParseOptions(
            args, {QStringLiteral("--code"), QStringLiteral("--name"), QStringLiteral("--kbm")},
            {QStringLiteral("--replace")}, parsed)) {
        return Usage(io, kImport, *problem);
    }
    if (parsed.free.size() != 1) {
        return Usage(io, kImport,
                     parsed.free.isEmpty() ? QStringLiteral("Die Scala-Datei fehlt.")
                                           : QStringLiteral("Nur eine Scala-Datei ist möglich."));
    }
    const QString code = parsed.values.value(QStringLiteral("--code"));
    if (code.isEmpty()) {
        return Usage(io, kImport,
                     QStringLiteral("Das Kürzel der neuen Zeile (--code, etwa mz) fehlt."));
    }
    try {
        CheckTemperamentCode(code);
        if (parsed.values.contains(QStringLiteral("--name"))) {
            CheckTemperamentName(parsed.values.value(QStringLiteral("--name")));
        }
    } catch (const ScalaError& error) {
        return Usage(io, kImport, error.message());
    }
    const QString sclPath = parsed.free.first();
    const auto sclText = ReadInput(sclPath, io);
    if (!sclText) {
        return kExitUserError;
    }
    std::optional<QString> kbmText;
    if (parsed.values.contains(QStringLiteral("--kbm"))) {
        kbmText = ReadInput(parsed.values.value(QStringLiteral("--kbm")), io);
        if (!kbmText) {
            return kExitUserError;
        }
    }

    // The user's list, changed and saved as the editor saves it; a list that exists but cannot be
    // read is not replaced by the default one.
    const QString listPath = TemperamentList::FilePath();
    TemperamentList list;
    if (QFileInfo::exists(listPath)) {
        const auto lines = ReadTextLines(listPath);
        if (!lines) {
            io.err += QStringLiteral("Die Stimmungsliste \"%1\" kann nicht gelesen werden; sie "
                                     "bleibt unverändert.\n")
                          .arg(listPath);
            return kExitUserError;
        }
        list.SetLines(*lines);
    }
    const bool replace = parsed.flags.contains(QStringLiteral("--replace"));
    if (const auto taken = TemperamentRowOf(list, code); taken && !replace) {
        io.err += QStringLiteral("Das Kürzel \"%1\" ist schon vergeben: %2\nMit --replace wird "
                                 "diese Zeile ersetzt.\n")
                      .arg(code, taken->simplified());
        return kExitUserError;
    }
    QString line;
    try {
        const QString name = parsed.values.contains(QStringLiteral("--name"))
                                 ? parsed.values.value(QStringLiteral("--name"))
                                 : TemperamentNameFromDescription(ReadScl(*sclText).description);
        line = ImportSclAsRow(*sclText, kbmText, code, name, list);
    } catch (const ScalaError& error) {
        io.err += (sclPath == u"-" ? QString() : sclPath + QStringLiteral(": ")) + error.message() +
                  u'\n';
        return kExitUserError;
    }
    const bool existed = TemperamentRowOf(list, code).has_value();
    InsertTemperamentRow(list, code, line, replace);
    list.Save();
    io.out += QStringLiteral("%1 in \"%2\" %3:\n%4\n")
                  .arg(code, listPath,
                       existed ? QStringLiteral("ersetzt") : QStringLiteral("eingefügt"), line);
    return kExitOk;
}

int ScalaExportCommand(const QStringList& args, Io& io) {
    CommandArguments parsed;
    if (const auto problem = ParseOptions(args,
                                          {QStringLiteral("--code"), QStringLiteral("--row"),
                                           QStringLiteral("--pitch"), QStringLiteral("-o"),
                                           QStringLiteral("--example")},
                                          {}, parsed)) {
        return Usage(io, kExport, *problem);
    }
    const QString output = parsed.values.value(QStringLiteral("-o"));
    if (output.isEmpty()) {
        return Usage(io, kExport, QStringLiteral("Die Ausgabedatei (-o) fehlt."));
    }
    const bool byCode = parsed.values.contains(QStringLiteral("--code"));
    const bool byRow = parsed.values.contains(QStringLiteral("--row"));
    if (byCode == byRow) {
        return Usage(io, kExport,
                     QStringLiteral("Entweder --code (eine Zeile der Stimmungsliste) oder --row "
                                    "(eine Zeile eines Stücks) ist nötig, nicht beide."));
    }
    const QString pitch = parsed.values.value(QStringLiteral("--pitch"), QStringLiteral("440"));
    const TemperamentList list = TemperamentList::LoadForReading();
    ScalaFiles files;
    try {
        if (byCode) {
            if (!parsed.free.isEmpty() || parsed.values.contains(QStringLiteral("--example"))) {
                return Usage(io, kExport,
                             QStringLiteral("Mit --code wird kein Stück gelesen (DATEI oder "
                                            "--example gehören zu --row)."));
            }
            const QString code = parsed.values.value(QStringLiteral("--code"));
            try {
                CheckTemperamentCode(code);
            } catch (const ScalaError& error) {
                return Usage(io, kExport, error.message());
            }
            files = ExportRowAsScl(list, code, pitch);
        } else {
            PieceArguments piece;
            if (parsed.values.contains(QStringLiteral("--example"))) {
                piece.example = parsed.values.value(QStringLiteral("--example"));
            }
            const qsizetype needed = piece.example ? 0 : 1;
            if (parsed.free.size() != needed) {
                return Usage(io, kExport,
                             parsed.free.size() > needed
                                 ? (piece.example
                                        ? QStringLiteral("DATEI und --example schließen einander "
                                                         "aus.")
                                        : QStringLiteral("Nur eine Datei ist möglich."))
                                 : QStringLiteral("Die Stückdatei fehlt (DATEI oder --example "
                                                  "NAME)."));
            }
            if (!piece.example) {
                piece.file = parsed.free.first();
            }
            bool ok = false;
            const int row = parsed.values.value(QStringLiteral("--row")).toInt(&ok);
            if (!ok || row < 1) {
                return Usage(io, kExport, QStringLiteral("Die Zeile muss eine Zahl ab 1 sein."));
            }
            PieceTable table;
            if (!LoadPiece(piece, table, io)) {
                return kExitUserError;
            }
            const QString pieceName = piece.example ? *piece.example
                                      : piece.file == u"-"
                                          ? QString()
                                          : QFileInfo(piece.file).completeBaseName();
            files = ExportPieceRowAsScl(table, row, list, pitch, pieceName);
        }
    } catch (const ScalaError& error) {
        io.err += error.message() + u'\n';
        return kExitUserError;
    }
    WriteScalaFiles(output, files);
    io.out += QStringLiteral("%1, %2: %3\n").arg(output, KbmPathFor(output), files.description);
    return kExitOk;
}

} // namespace zk::cli
