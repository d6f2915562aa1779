// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"
#include "app/cli/sound_command.h"
#include "exchange/midi_file.h"
#include "piece/compute_pass.h"
#include "support/number_text.h"

#include <QFileInfo>

namespace zk::cli {

namespace {

int Usage(Io& io, const QString& message) {
    return UsageError(io, QStringLiteral("midi"), message);
}

// The track's name: the example's caption, or the piece file's name without its extension;
// none for standard input.
QString TrackName(const PieceArguments& piece) {
    if (piece.example) {
        return *piece.example;
    }
    if (piece.file == u"-") {
        return {};
    }
    return QFileInfo(piece.file).completeBaseName();
}

} // namespace

int MidiCommand(const QStringList& args, Io& io) {
    SoundCommandOptions options;
    PieceArguments& piece = options.piece;
    if (const auto problem = ParsePieceArguments(
            args,
            {QStringLiteral("--tuning"), QStringLiteral("--program"), QStringLiteral("--pitch"),
             QStringLiteral("--tempo"), QStringLiteral("-o")},
            {}, piece)) {
        return Usage(io, *problem);
    }
    options.pitch = piece.values.value(QStringLiteral("--pitch"), options.pitch);
    options.tempo = OptionalValue(piece.values, QStringLiteral("--tempo"));
    options.output = piece.values.value(QStringLiteral("-o"));
    if (options.output.isEmpty()) {
        return Usage(io, QStringLiteral("Die Ausgabedatei (-o) fehlt."));
    }

    MidiOptions midi;
    const QString tuning = piece.values.value(QStringLiteral("--tuning"), QStringLiteral("bend"));
    if (const auto method = MidiTuningFromName(tuning)) {
        midi.tuning = *method;
    } else {
        io.err += QStringLiteral("Unbekannte Stimmungsart \"%1\": möglich sind bend "
                                 "(Tonhöhenbeugung) und mts (MIDI Tuning Standard).\n")
                      .arg(tuning);
        return kExitUsage;
    }
    if (piece.values.contains(QStringLiteral("--program"))) {
        const QString text = piece.values.value(QStringLiteral("--program"));
        bool ok = false;
        midi.program = text.toInt(&ok);
        if (!ok || midi.program < 0 || midi.program > 127) {
            io.err += QStringLiteral("Unbekanntes Programm \"%1\": möglich sind die "
                                     "General-MIDI-Klänge 0 bis 127 (19 ist die Kirchenorgel).\n")
                          .arg(text);
            return kExitUsage;
        }
    }
    midi.trackName = TrackName(piece);

    // Nothing is heard: the pass only records the chords, exactly those it would play.
    SilentPiece played;
    QString tempo;
    if (const int status = PlayPiece(options, played.timbre(), played.Sink(), io, &tempo);
        status != kExitOk) {
        return status;
    }
    // The pass has read the tempo already: a quarter note of the piece becomes one of the file.
    midi.quarterDauer = MidiQuarterDauer(ThirtySecondLength(tempo));
    const MidiExport written = WriteMidiFile(options.output, played.lastPiece(), midi);
    if (!written.warning.isEmpty()) {
        io.err += written.warning + u'\n';
    }
    io.out += QStringLiteral("%1: %2, %3 Sekunden\n")
                  .arg(options.output, played.RowCounts(),
                       NumberToText(2, static_cast<long double>(written.dauer) / 100));
    return kExitOk;
}

} // namespace zk::cli
