#include "app/cli/cli_piece.h"

#include "support/ansi_codec.h"
#include "support/program_files.h"

namespace zk::cli {

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
