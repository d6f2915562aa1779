// SPDX-License-Identifier: GPL-3.0-or-later
// Wall time of one play of a one-chord piece through the sound server, as `zirkelon play` does it:
// a fresh output, the chord (Dauer 6: 60 ms of sound), Drain, teardown. Besides the mean it
// reports the slowest and the median play and how long a play takes beyond the sound itself
// ("beyond_sound_ms", median; it holds the 40 ms of silence that open a stream). Without a sound
// server the benchmark is skipped.
//
// "listened": the sink's monitor is recorded meanwhile with 5 ms latency, so that the sink takes
// the stream's sound as steadily as a sound card does. "unlistened": nothing else runs; a
// PulseAudio null sink then wakes only every 2 seconds and takes the stream's last frame only
// then, so the play ends up to 2 s after its sound (any client's does: pacat takes as long).
#include "sound/pulse_audio_output.h"
#include "sound/synthesis.h"
#include "sound/timbre.h"
#include "sound/wav_format.h"

#include <QByteArray>
#include <QProcess>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

constexpr int kDauer = 6;
constexpr double kSoundMs = kDauer * 10.0;

void BM_PlayOneChord(benchmark::State& state) {
    QProcess listener;
    if (state.range(0) != 0) {
        listener.start(QStringLiteral("parec"),
                       {QStringLiteral("--latency-msec=5"), QStringLiteral("-d"),
                        QStringLiteral("@DEFAULT_MONITOR@"), QStringLiteral("/dev/null")});
        if (!listener.waitForStarted()) {
            state.SkipWithError("parec (pulseaudio-utils) is missing");
            return;
        }
        // An idle null sink goes over to the listener's short latency at its next wake, up to
        // 2 s later.
        QThread::msleep(2100);
    }
    zk::ChordFrequencies chord{};
    chord[0] = 264; // c1
    const zk::SampleTimbre organ{zk::TimbreMode::Obertoene,
                                 {11228, 8421, 5614, 3368, 1684, 1122, 561}};
    const QByteArray image = zk::ChordWavImage(kDauer, chord, organ);
    std::vector<double> playMs;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bool heard = false;
        {
            zk::PulseAudioOutput output;
            output.PlayImage(image);
            output.Drain();
            heard = output.HasDevice();
        }
        if (!heard) {
            state.SkipWithError("no sound server (scripts/start-sound-server.sh starts one)");
            return;
        }
        playMs.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(playMs.begin(), playMs.end());
    const double median = playMs[playMs.size() / 2];
    state.counters["median_ms"] = median;
    state.counters["max_ms"] = playMs.back();
    state.counters["beyond_sound_ms"] = median - kSoundMs;
    if (listener.state() != QProcess::NotRunning) {
        listener.kill();
        listener.waitForFinished();
    }
}
BENCHMARK(BM_PlayOneChord)
    ->ArgName("listened")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

} // namespace
