// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"
#include "app/cli/sound_command.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "piece/compute_pass.h"
#include "piece/piece_table.h"
#include "sound/synthesis.h"
#include "sound/wav_format.h"
#include "support/number_text.h"

namespace zk::cli {

namespace {

int Usage(const QString& command, Io& io, const QString& message) {
    return UsageError(io, command, message);
}

// "1 Akkord", "3 Akkorde"; "1 Pause", "2 Pausen".
QString Counted(int count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromUtf8(count == 1 ? one : many));
}

} // namespace

std::optional<int> ParseSoundOptions(const QString& command, const QStringList& args,
                                     SoundCommandOptions& options, Io& io) {
    const bool play = command == u"play";
    const bool waveform = command == u"waveform";
    QStringList valueOptions = {QStringLiteral("--timbre"), QStringLiteral("--pitch"),
                                QStringLiteral("--tempo")};
    QStringList flagOptions = {QStringLiteral("--sine"), QStringLiteral("--square"),
                               QStringLiteral("--sawtooth")};
    if (play) {
        flagOptions << QStringLiteral("--loop");
    } else {
        valueOptions << QStringLiteral("-o");
    }
    if (waveform) {
        valueOptions << QStringLiteral("--scale");
    }
    PieceArguments& parsed = options.piece;
    if (const auto problem = ParsePieceArguments(args, valueOptions, flagOptions, parsed)) {
        return Usage(command, io, *problem);
    }
    options.sine = parsed.flags.contains(QStringLiteral("--sine"));
    options.square = parsed.flags.contains(QStringLiteral("--square"));
    options.sawtooth = parsed.flags.contains(QStringLiteral("--sawtooth"));
    options.loop = parsed.flags.contains(QStringLiteral("--loop"));
    options.pitch = parsed.values.value(QStringLiteral("--pitch"), options.pitch);
    options.tempo = OptionalValue(parsed.values, QStringLiteral("--tempo"));
    options.output = parsed.values.value(QStringLiteral("-o"));
    options.scale = parsed.values.value(QStringLiteral("--scale"));
    const int timbreOptions = int(options.sine) + int(options.square) + int(options.sawtooth) +
                              int(parsed.values.contains(QStringLiteral("--timbre")));
    if (parsed.values.contains(QStringLiteral("--timbre"))) {
        const QStringList parts =
            parsed.values.value(QStringLiteral("--timbre")).split(u' ', Qt::SkipEmptyParts);
        if (parts.size() != 6) {
            return Usage(command, io,
                         QStringLiteral("--timbre erwartet sechs Prozentzahlen für die "
                                        "Obertöne, z. B. \"75 50 30 15 10 5\"."));
        }
        OvertoneTexts texts;
        for (std::size_t k = 0; k < texts.size(); ++k) {
            texts[k] = parts.at(static_cast<qsizetype>(k));
        }
        options.overtones = texts;
    }
    if (timbreOptions > 1) {
        return Usage(command, io,
                     QStringLiteral("Nur eine Klangfarbe ist möglich: --timbre, --sine, --square "
                                    "oder --sawtooth."));
    }
    if (!play && options.output.isEmpty()) {
        return Usage(command, io, QStringLiteral("Die Ausgabedatei (-o) fehlt."));
    }
    if (waveform && options.scale.isEmpty()) {
        return Usage(command, io,
                     QStringLiteral("Der Maßstab (--scale 1, 3, 10, 30, 100, 300 oder 1000) "
                                    "fehlt."));
    }
    return std::nullopt;
}

int PlayPiece(const SoundCommandOptions& options, Timbre& timbre, const ChordSink& sink, Io& io,
              QString* tempoUsed) {
    PieceTable table;
    const auto piece = LoadPiece(options.piece, table, io);
    if (!piece) {
        return kExitUserError;
    }

    timbre.overtoneTexts = options.overtones.value_or(piece->timbre.value_or(kOrgelTexts));
    if (options.sine) {
        timbre.CBSinusClick();
    } else if (options.square || options.sawtooth) {
        timbre.CBRechteckClick();
        if (options.sawtooth) {
            timbre.CBRechteckClick();
        }
    }
    timbre.Eoberton1Exit();

    TemperamentList temperaments = TemperamentList::LoadForReading();
    TonartScale scale(&temperaments);
    PassSettings settings;
    settings.onlyCompute = false;
    CliPassHost host;
    host.kammerton = options.pitch;
    host.tempo = PieceTempo(options.tempo, *piece);
    if (tempoUsed != nullptr) {
        *tempoUsed = host.tempo;
    }
    host.dauernd = options.loop;
    host.clearLastPiece = sink.clearLastPiece;
    host.playChord = sink.playChord;
    ComputePass(0, table, scale, settings, host);
    return kExitOk;
}

ChordSink SilentPiece::Sink(const std::function<void()>& afterChord) {
    return {[this] {
                m_lastPiece.ClearLastPiece();
                m_chords = 0;
                m_rests = 0;
            },
            [this, afterChord](int dauer, const ChordFrequencies& frequencies) {
                Record(dauer, frequencies);
                if (afterChord) {
                    afterChord();
                }
            }};
}

QString SilentPiece::RowCounts() const {
    QString counts = Counted(m_chords, "Akkord", "Akkorde");
    if (m_rests > 0) {
        counts += QStringLiteral(", ") + Counted(m_rests, "Pause", "Pausen");
    }
    return counts;
}

void SilentPiece::Record(int dauer, const ChordFrequencies& frequencies) {
    // As PlayChord: the edits are re-read, and a chord that cannot be synthesised is refused
    // before it enters the last piece.
    m_timbre.Eoberton1Exit();
    CheckChordDauer(dauer);
    CheckChordFrequencies(frequencies);
    m_lastPiece.AppendToLastPiece(dauer, frequencies);
    // The first zero frequency ends what is heard: without a first tone nothing sounds.
    if (frequencies[0] != 0) {
        ++m_chords;
    } else {
        ++m_rests;
    }
}

int RenderCommand(const QStringList& args, Io& io) {
    SoundCommandOptions options;
    if (const auto usage = ParseSoundOptions(QStringLiteral("render"), args, options, io)) {
        return *usage;
    }
    // Nothing is heard: the pass only records the chords, and the file is the one place where
    // their samples are computed.
    SilentPiece piece;
    if (const int status = PlayPiece(options, piece.timbre(), piece.Sink(), io);
        status != kExitOk) {
        return status;
    }
    WriteLastPieceWav(options.output, piece.lastPiece(), piece.timbre().ForSamples());
    const auto frames = piece.lastPiece().FrameCount();
    io.out += QStringLiteral("%1: %2, %3 Sekunden\n")
                  .arg(options.output, piece.RowCounts(),
                       NumberToText(2, static_cast<long double>(frames) / kFrameRate));
    return kExitOk;
}

} // namespace zk::cli
