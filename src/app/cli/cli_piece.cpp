#include "app/cli/cli_piece.h"

#include "support/ansi_codec.h"
#include "support/program_files.h"

#include <QSaveFile>

namespace zk::cli {

std::optional<QString> ParsePieceArguments(const QStringList& args, const QStringList& valueOptions,
                                           const QStringList& flagOptions, PieceArguments& out) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (valueOptions.contains(arg)) {
            if (i + 1 >= args.size()) {
                return QStringLiteral("Nach %1 fehlt der Wert.").arg(arg);
            }
            out.values.insert(arg, args.at(++i));
        } else if (flagOptions.contains(arg)) {
            out.flags.insert(arg);
        } else if (arg.startsWith(u'-') && arg != u"-") {
            return QStringLiteral("Unbekannte Option \"%1\".").arg(arg);
        } else if (out.file.isEmpty()) {
            out.file = arg;
        } else {
            return QStringLiteral("Nur eine Datei ist möglich.");
        }
    }
    if (out.file.isEmpty()) {
        return QStringLiteral("Die Stückdatei fehlt.");
    }
    return std::nullopt;
}

bool WritePngFile(const QImage& image, const QString& path) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
}

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
