// SPDX-License-Identifier: GPL-3.0-or-later
// What the "render" command costs against writing the same last piece as a WAV file alone: the
// command synthesises every chord once, so the two should take about the same time.
#include "app/cli/cli.h"
#include "sound/audio_output.h"
#include "sound/sound_player.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// Pairs of seven- and eight-voice chords of 7.36 seconds each, so that synthesis outweighs the
// rest.
QString LongPiece() {
    QString piece = QStringLiteral("Klangfarbe 75 50 30 15 10 5\r\n");
    for (int i = 0; i < 4; ++i) {
        piece += QStringLiteral("%1 32   c1e1g1c2e2g2h2d3\r\n     32   d1f1a1c2e2g2h2  \r\n")
                     .arg(i == 0 ? QStringLiteral("c   ") : QStringLiteral("    "));
    }
    return piece;
}

void BM_RenderCommand(benchmark::State& state) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("stueck.wav"));
    for (auto _ : state) {
        zk::cli::Io io;
        io.readStdin = [] { return LongPiece().toUtf8(); };
        const int status = zk::cli::Run(
            {QStringLiteral("render"), QStringLiteral("-o"), out, QStringLiteral("-")}, io);
        if (status != zk::cli::kExitOk) {
            state.SkipWithError(io.err.toUtf8().constData());
        }
    }
}
BENCHMARK(BM_RenderCommand)->Unit(benchmark::kMillisecond);

void BM_WriteLastPieceWavAlone(benchmark::State& state) {
    zk::SilentAudioOutput silence;
    zk::SoundPlayer player(silence);
    player.SetCacheEnabled(false);
    // The same eight chords as the piece above, at tempo 80 (Dauer 32 × 23 = 736).
    zk::ChordFrequencies first;
    zk::ChordFrequencies second;
    const double a[] = {264, 330, 396, 528, 660, 792, 990, 1188};
    const double b[] = {297, 352, 440, 528, 660, 792, 990, 0};
    for (int i = 0; i < zk::ChordFrequencies::kSlots; ++i) {
        first[i] = a[i];
        second[i] = b[i];
    }
    for (int i = 0; i < 4; ++i) {
        player.PlayChord(736, first);
        player.PlayChord(736, second);
    }
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("allein.wav"));
    for (auto _ : state) {
        player.WriteLastPieceWav(out);
    }
}
BENCHMARK(BM_WriteLastPieceWavAlone)->Unit(benchmark::kMillisecond);

} // namespace
