#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"

#include "notation/notation_picture.h"
#include "notation/staff_drawing.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"

#include <QSaveFile>

namespace zk::cli {

namespace {

int Usage(Io& io, const QString& problem) {
    io.err += problem + QStringLiteral("\nAufruf: zirkelon notation [--bass v|0|1|2|3|4] -o "
                                       "AUSGABE.png DATEI\n");
    return kExitUsage;
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
    int bassNotes = kBassNotesVariable;
    QString output;
    QString file;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == u"--bass" || arg == u"-o") {
            if (i + 1 >= args.size()) {
                return Usage(io, QStringLiteral("Nach %1 fehlt der Wert.").arg(arg));
            }
            const QString& value = args.at(++i);
            if (arg == u"-o") {
                output = value;
            } else if (const auto parsed = BassNotesFromText(value)) {
                bassNotes = *parsed;
            } else {
                return Usage(io, QStringLiteral("Unbekannte Angabe \"%1\" für --bass.").arg(value));
            }
        } else if (arg.startsWith(u'-') && arg != u"-") {
            return Usage(io, QStringLiteral("Unbekannte Option \"%1\".").arg(arg));
        } else if (file.isEmpty()) {
            file = arg;
        } else {
            return Usage(io, QStringLiteral("Nur eine Datei ist möglich."));
        }
    }
    if (output.isEmpty()) {
        return Usage(io, QStringLiteral("Die Ausgabedatei fehlt (-o AUSGABE.png)."));
    }
    if (file.isEmpty()) {
        return Usage(io, QStringLiteral("Die Stückdatei fehlt."));
    }

    const auto text = ReadPieceInput(file, io);
    if (!text) {
        return kExitUserError;
    }
    PieceTable table;
    LoadPieceText(table, *text);
    NotationPicture picture;
    picture.SetBassNotes(bassNotes);
    picture.NotateTable(table);

    // The picture as the window shows it: as wide as the window and 200 pixels high.
    const QRect window = picture.WindowGeometry();
    const QImage image = picture.Image().copy(
        0, 0, std::min(window.width(), picture.Image().width()), window.height());
    QSaveFile save(output);
    if (!save.open(QIODevice::WriteOnly) || !image.save(&save, "PNG") || !save.commit()) {
        io.err += QStringLiteral("Das Notenbild kann nicht in die Datei \"%1\" geschrieben "
                                 "werden.\n")
                      .arg(output);
        return kExitUserError;
    }
    if (picture.DrawnChordLineCount() < picture.ChordLineCount()) {
        io.err += QStringLiteral("Das Notenbild zeigt nur die ersten %1 von %2 Akkordzeilen.\n")
                      .arg(picture.DrawnChordLineCount())
                      .arg(picture.ChordLineCount());
    }
    return kExitOk;
}

} // namespace zk::cli
