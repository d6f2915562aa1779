// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the synthesis. The main figure is a 10-second chord of eight voices in the organ
// spectrum (seven partials each), rendered as PlayChord renders it; it is reported as a multiple
// of real time ("x_realtime"). For comparison: the literal definition (one sine per partial and
// frame) on one second of the same chord, and sox writing eight plain sines of 10 seconds to a
// file (a process of its own, timed from outside).
#include "sound/synthesis.h"
#include "sound/wav_format.h"

#include <QByteArray>
#include <QString>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace {

const zk::ChordFrequencies kChord{{132, 165, 198, 264, 330, 396, 495, 528}};
const zk::SampleTimbre kOrgan{zk::TimbreMode::Obertoene,
                              {11228, 8421, 5614, 3368, 1684, 1122, 561}};

void SetRealtime(benchmark::State& state, double soundSeconds) {
    state.counters["x_realtime"] = benchmark::Counter(
        soundSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ChordImage10s(benchmark::State& state) {
    for (auto _ : state) {
        QByteArray image = zk::ChordWavImage(1000, kChord, kOrgan);
        benchmark::DoNotOptimize(image.data());
    }
    SetRealtime(state, 10.0);
}
BENCHMARK(BM_ChordImage10s)->Unit(benchmark::kMillisecond);

void BM_LiteralChordSamples1s(benchmark::State& state) {
    for (auto _ : state) {
        int sum = 0;
        for (std::int64_t n = 0; n < 44100; ++n) {
            sum += zk::ChordSample(n, kChord, kOrgan);
        }
        benchmark::DoNotOptimize(sum);
    }
    SetRealtime(state, 1.0);
}
BENCHMARK(BM_LiteralChordSamples1s)->Unit(benchmark::kMillisecond);

// sox writes the same length of eight plain sines (no overtones) to a file.
void BM_Sox8Sines10s(benchmark::State& state) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) {
        state.SkipWithError("sox is not installed");
        return;
    }
    const std::string command =
        "sox -n -r 44100 -b 16 -c 2 /tmp/zk_bench_sox.wav synth 10 sine 132 sine 165 sine 198 "
        "sine 264 sine 330 sine 396 sine 495 sine 528 2>/dev/null";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        const auto end = std::chrono::steady_clock::now();
        if (status != 0) {
            state.SkipWithError("sox failed");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    std::remove("/tmp/zk_bench_sox.wav");
    SetRealtime(state, 10.0);
}
BENCHMARK(BM_Sox8Sines10s)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
