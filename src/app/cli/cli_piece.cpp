#include "app/cli/cli_piece.h"

#include "piece/piece_table.h"
#include "support/ansi_codec.h"
#include "support/program_files.h"

#include <QSaveFile>

namespace zk::cli {

namespace {

// The text of FILE, or of standard input for "-". Empty with a German message in io.err when the
// file cannot be read.
std::optional<QString> ReadPieceInput(const QString& file, Io& io) {
    if (file == u"-") {
        return DecodeFileText(io.readStdin ? io.readStdin() : QByteArray());
    }
    auto text = ReadTextFile(file);
    if (!text) {
        io.err += QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden.\n").arg(file);
    }
    return text;
}

} // namespace

std::optional<QString> ParseOptions(const QStringList& args, const QStringList& valueOptions,
                                    const QStringList& flagOptions, CommandArguments& out) {
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (optionsEnded) {
            out.free.append(arg);
        } else if (arg == u"--") {
            optionsEnded = true;
        } else if (valueOptions.contains(arg)) {
            if (i + 1 >= args.size()) {
                return QStringLiteral("Nach %1 fehlt der Wert.").arg(arg);
            }
            out.values.insert(arg, args.at(++i));
        } else if (flagOptions.contains(arg)) {
            out.flags.insert(arg);
        } else if (arg.startsWith(u'-') && arg != u"-") {
            return QStringLiteral("Unbekannte Option \"%1\".").arg(arg);
        } else {
            out.free.append(arg);
        }
    }
    return std::nullopt;
}

std::optional<QString> ParsePieceArguments(const QStringList& args, const QStringList& valueOptions,
                                           const QStringList& flagOptions, PieceArguments& out,
                                           int trailingCount, const QString& trailingMissing) {
    const QString exampleOption = QStringLiteral("--example");
    CommandArguments parsed;
    if (auto problem =
            ParseOptions(args, valueOptions + QStringList{exampleOption}, flagOptions, parsed)) {
        return problem;
    }
    out.values.insert(parsed.values);
    out.flags.unite(parsed.flags);
    QStringList positional = parsed.free;
    const bool example = out.values.contains(exampleOption);
    if (example) {
        out.example = out.values.take(exampleOption);
    }
    const qsizetype needed = trailingCount + (example ? 0 : 1);
    if (positional.size() > needed) {
        return example ? QStringLiteral("DATEI und --example schließen einander aus: das Stück "
                                        "kommt aus einer Datei oder aus einem Beispiel.")
                       : QStringLiteral("Nur eine Datei ist möglich.");
    }
    if (positional.size() < needed) {
        return positional.isEmpty() && !example
                   ? QStringLiteral("Die Stückdatei fehlt (DATEI oder --example NAME).")
                   : trailingMissing;
    }
    if (!example) {
        out.file = positional.takeFirst();
    }
    out.trailing = positional;
    return std::nullopt;
}

QString UnknownExampleMessage(const QString& caption) {
    return QStringLiteral("Unbekanntes Beispiel \"%1\". \"zirkelon example\" zeigt alle "
                          "Beispiele.")
        .arg(caption);
}

QString CutCellsNotice(int cutCells) {
    return QStringLiteral("Hinweis: %1 Einträge sind länger als ihr Feld in der Stückdatei und "
                          "wurden gekürzt (Akkorde höchstens 16 Zeichen).")
        .arg(cutCells);
}

std::optional<PieceSettings> LoadPiece(const PieceArguments& arguments, PieceTable& table, Io& io) {
    if (arguments.example) {
        const ExampleEntry* entry = FindExample(*arguments.example);
        if (entry == nullptr) {
            io.err += UnknownExampleMessage(*arguments.example) + u'\n';
            return std::nullopt;
        }
        return BuildExampleTable(*entry, table);
    }
    const auto text = ReadPieceInput(arguments.file, io);
    if (!text) {
        return std::nullopt;
    }
    PieceSettings settings;
    settings.timbre = LoadPieceText(table, *text);
    return settings;
}

bool WritePngFile(const QImage& image, const QString& path) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
}

void CliPassHost::ClearLastPiece() {
    if (clearLastPiece) {
        clearLastPiece();
    }
}

void CliPassHost::PlayChord(int dauer, const ChordFrequencies& frequencies) {
    if (playChord) {
        playChord(dauer, frequencies);
    }
}

} // namespace zk::cli
