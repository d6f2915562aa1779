// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"
#include "app/cli/sound_command.h"
#include "app/last_piece_waveform.h"
#include "notation/waveform_picture.h"
#include "sound/synthesis.h"
#include "support/number_text.h"
#include "support/user_dialogs.h"

namespace zk::cli {

namespace {

// Ends the silent pass once the piece reaches beyond the picture's last column: what follows
// would not be drawn.
struct PictureFull {};

// A command line has nobody to ask: the empty piece's message goes to stderr.
class MessageToErr : public UserDialogs {
public:
    explicit MessageToErr(Io& io) : m_io(io) {}
    void ShowMessage(const QString& text) override { m_io.err += text + u'\n'; }
    bool AskYesNo(const QString&) override { return false; }
    bool AskOkCancel(const QString&) override { return false; }
    TextDialogResult ShowTextDialog(const QString& caption, const QString& text,
                                    TextDialogMode) override {
        m_io.err += caption + u' ' + text + u'\n';
        return {};
    }

private:
    Io& m_io;
};

} // namespace

int WaveformCommand(const QStringList& args, Io& io) {
    SoundCommandOptions options;
    if (const auto usage = ParseSoundOptions(QStringLiteral("waveform"), args, options, io)) {
        return *usage;
    }
    bool ok = false;
    const int scale = options.scale.toInt(&ok);
    if (!ok || !IsWaveformScale(scale)) {
        io.err += QStringLiteral("Unbekannter Maßstab \"%1\": möglich sind 1, 3, 10, 30, 100, 300 "
                                 "und 1000.\n")
                      .arg(options.scale);
        return kExitUsage;
    }

    // The piece is played without sound: its chords are only recorded, and the pass stops as
    // soon as the picture is full, so a long piece is not gone through to its end.
    SilentPiece piece;
    const std::int64_t framesNeeded = std::int64_t{kWaveformLastColumn + 1} * scale;
    try {
        const ChordSink sink = piece.Sink([&] {
            if (piece.lastPiece().FrameCount() >= framesNeeded) {
                throw PictureFull{};
            }
        });
        if (const int status = PlayPiece(options, piece.timbre(), sink, io); status != kExitOk) {
            return status;
        }
    } catch (const PictureFull&) {
    }

    MessageToErr dialogs(io);
    const LastPieceWaveform source(piece.lastPiece(), piece.timbre().ForSamples());
    QImage image;
    const WaveformDrawing drawing = DrawWaveform(image, kWaveformFullWidth, scale, source, dialogs);
    if (!drawing.drawn) {
        if (!piece.lastPiece().empty()) {
            io.err += QStringLiteral("Das Stück hat keine Dauer; es gibt nichts zu zeichnen.\n");
        }
        return kExitUserError;
    }
    DrawWaveformCaption(image, scale);
    if (!WritePngFile(image, options.output)) {
        io.err += QStringLiteral("Das Schwingungsbild kann nicht in die Datei \"%1\" geschrieben "
                                 "werden.\n")
                      .arg(options.output);
        return kExitUserError;
    }
    const QString seconds =
        NumberToText(2, static_cast<long double>(drawing.framesDrawn) / kFrameRate);
    io.out += drawing.cut ? QStringLiteral("%1: %2, die ersten %3 Sekunden des Stücks\n")
                                .arg(options.output, WaveformCaption(scale), seconds)
                          : QStringLiteral("%1: %2, %3 Sekunden\n")
                                .arg(options.output, WaveformCaption(scale), seconds);
    return kExitOk;
}

} // namespace zk::cli
