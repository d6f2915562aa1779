// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"

#include "notation/notation_picture.h"
#include "notation/staff_drawing.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"

namespace zk::cli {

namespace {

int Usage(Io& io, const QString& problem) {
    return UsageError(io, QStringLiteral("notation"), problem);
}

std::optional<int> BassNotesFromText(const QString& text) {
    if (text == u"v") {
        return kBassNotesVariable;
    }
    bool ok = false;
    const int value = text.toInt(&ok);
    if (ok && text.size() == 1 && value >= 0 && value <= kBassNotesMax) {
        return value;
    }
    return std::nullopt;
}

} // namespace

int NotationCommand(const QStringList& args, Io& io) {
    PieceArguments parsed;
    if (const auto problem = ParsePieceArguments(args, {"--bass", "-o"}, {}, parsed)) {
        return Usage(io, *problem);
    }
    std::optional<int> bassNotes;
    if (parsed.values.contains(QStringLiteral("--bass"))) {
        const QString value = parsed.values.value(QStringLiteral("--bass"));
        bassNotes = BassNotesFromText(value);
        if (!bassNotes) {
            return Usage(io, QStringLiteral("Unbekannte Angabe \"%1\" für --bass.").arg(value));
        }
    }
    const QString output = parsed.values.value(QStringLiteral("-o"));
    if (output.isEmpty()) {
        return Usage(io, QStringLiteral("Die Ausgabedatei fehlt (-o AUSGABE.png)."));
    }

    PieceTable table;
    const auto piece = LoadPiece(parsed, table, io);
    if (!piece) {
        return kExitUserError;
    }
    NotationPicture picture;
    // --bass wins over the example's own setting; without either, the bass staff takes as many
    // notes of each chord as it needs.
    picture.SetBassNotes(bassNotes.value_or(piece->bassNotes.value_or(kBassNotesVariable)));
    picture.NotateTable(table);

    // The picture as the window shows it: as wide as the window and 200 pixels high.
    const QRect window = picture.WindowGeometry();
    const QImage image = picture.Image().copy(
        0, 0, std::min(window.width(), picture.Image().width()), window.height());
    if (!WritePngFile(image, output)) {
        io.err += QStringLiteral("Das Notenbild kann nicht in die Datei \"%1\" geschrieben "
                                 "werden.\n")
                      .arg(output);
        return kExitUserError;
    }
    if (picture.DrawnChordLineCount() < picture.ChordLineCount()) {
        io.err +=
            CutNotationMessage(picture.DrawnChordLineCount(), picture.ChordLineCount()) + u'\n';
    }
    return kExitOk;
}

} // namespace zk::cli
