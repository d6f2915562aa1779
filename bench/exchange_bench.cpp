// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a piece of 1000 rows as a MIDI file: the file from the last piece alone, with either
// tuning method, and the whole "midi" command with the pass that computes the chords.
#include "app/cli/cli.h"
#include "app/cli/sound_command.h"
#include "common/piece_rows.h"
#include "exchange/midi_file.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// The last piece the pass leaves for the 1000 rows.
const zk::LastPiece& ThousandRowLastPiece() {
    static const zk::LastPiece piece = [] {
        zk::cli::SoundCommandOptions options;
        options.piece.file = QStringLiteral("-");
        zk::cli::Io io;
        io.readStdin = [] { return zk::test::ThousandRowPiece().toUtf8(); };
        zk::cli::SilentPiece played;
        zk::cli::PlayPiece(options, played.timbre(), played.Sink(), io);
        return played.lastPiece();
    }();
    return piece;
}

void BM_ExportMidi(benchmark::State& state) {
    const zk::LastPiece& piece = ThousandRowLastPiece();
    zk::MidiOptions options;
    options.tuning = state.range(0) == 0 ? zk::MidiTuning::Bend : zk::MidiTuning::Mts;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const zk::MidiExport exported = zk::ExportMidi(piece, options);
        bytes = static_cast<std::size_t>(exported.bytes.size());
        benchmark::DoNotOptimize(exported.bytes.constData());
    }
    state.counters["records"] = static_cast<double>(piece.size());
    state.counters["bytes"] = static_cast<double>(bytes);
}
// 0: bend, 1: mts.
BENCHMARK(BM_ExportMidi)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_MidiCommand(benchmark::State& state) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("stueck.mid"));
    const QByteArray text = zk::test::ThousandRowPiece().toUtf8();
    for (auto _ : state) {
        zk::cli::Io io;
        io.readStdin = [&text] { return text; };
        const int status =
            zk::cli::Run({QStringLiteral("midi"), QStringLiteral("--tuning"),
                          state.range(0) == 0 ? QStringLiteral("bend") : QStringLiteral("mts"),
                          QStringLiteral("-o"), out, QStringLiteral("-")},
                         io);
        if (status != zk::cli::kExitOk) {
            state.SkipWithError(io.err.toUtf8().constData());
        }
    }
}
BENCHMARK(BM_MidiCommand)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
