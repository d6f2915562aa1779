// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the pitch engine. The main figure is a piece of 10 000 eight-tone rows computed as
// the pass does it: key changes round the circle of fifths, each chord snapped and raised, and the
// texts of columns 3 and 4 written; it is reported as rows per second. Smaller benchmarks time a
// tempered row (its scale is rebuilt from the list for every tone), the key check and one
// interval text.
#include "engine/chord_notation.h"
#include "engine/interval_analysis.h"
#include "engine/key_check.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"

#include <QString>
#include <QStringList>

#include <benchmark/benchmark.h>

namespace {

constexpr int kRows = 10000;

// The texts of one row in the given display mode, intervals between neighbouring tones.
int RowTexts(const QString& mode, const zk::ChordFrequencies& f, bool tempered) {
    QString t3;
    QString t4;
    for (int i = 0; i < zk::ChordFrequencies::kSlots; ++i) {
        if (f[i] > 0) {
            t3 += zk::FrequencyText(mode, 2, 132, f[i]) + u' ';
            if (i > 0 && f[i - 1] > 0) {
                t4 += zk::IntervalText(mode, 2, tempered, f[i - 1], f[i]) + u' ';
            }
        }
    }
    return static_cast<int>(t3.size() + t4.size());
}

void ComputePiece(benchmark::State& state, const QString& mode) {
    const QStringList keys = {"c", "g", "d", "a", "e", "a", "d", "g", "c", "f", "b", "f"};
    const QStringList chords = {"c1egc2e2g2c3e3",  "d1f#ad2f#2a2d3f#3", "C1Gc1e*g1c2e2*g2",
                                "g1hd2f2g2h2d3f3", "a1c2e2a2c3e3a3c4",  "f1ac2f2a2c3f3a3"};
    zk::TemperamentList list;
    for (auto _ : state) {
        zk::TonartScale scale(&list);
        long long characters = 0;
        for (int r = 0; r < kRows; ++r) {
            if (r % 8 == 0) {
                scale.EnterKey(keys.at((r / 8) % keys.size()));
            }
            const zk::ChordFrequencies f =
                zk::RowFrequencies(chords.at(r % chords.size()), QString(), 444.0L / 440, scale);
            characters += RowTexts(mode, f, false);
        }
        benchmark::DoNotOptimize(characters);
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kRows,
                                                  benchmark::Counter::kIsRate);
}

void BM_PieceRowsFractions(benchmark::State& state) {
    ComputePiece(state, zk::kModeNeighbourRatios);
}
BENCHMARK(BM_PieceRowsFractions)->Unit(benchmark::kMillisecond);

void BM_PieceRowsEverything(benchmark::State& state) {
    ComputePiece(state, zk::kModeAll);
}
BENCHMARK(BM_PieceRowsEverything)->Unit(benchmark::kMillisecond);

void BM_TemperedRow(benchmark::State& state) {
    zk::TemperamentList list;
    zk::TonartScale scale(&list);
    const QString chord = QStringLiteral("C1c1e*gc2df#g2");
    for (auto _ : state) {
        // "my" is the last row of the default list: the longest search.
        const zk::ChordFrequencies f = zk::RowFrequencies(chord, QStringLiteral("my"), 1, scale);
        benchmark::DoNotOptimize(RowTexts(zk::kModeCents, f, true));
    }
    state.counters["rows/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TemperedRow);

void BM_TonartCheck(benchmark::State& state) {
    zk::TonartScale scale;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zk::TonartCheck(QStringLiteral("c1e1g1h1d2f#2a2c3"), scale));
    }
}
BENCHMARK(BM_TonartCheck);

void BM_IntervalTextAll(benchmark::State& state) {
    const long double b = 132 * 81.0L / 80;
    const long double c = 198;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zk::IntervalText(zk::kModeAll, 2, false, b, c));
    }
}
BENCHMARK(BM_IntervalTextAll);

} // namespace

BENCHMARK_MAIN();
