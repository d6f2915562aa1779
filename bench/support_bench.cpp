// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the evaluator and the number conversions, the helpers every table cell passes
// through.
#include "support/evaluator.h"
#include "support/fractions.h"
#include "support/number_text.h"

#include <QString>

#include <benchmark/benchmark.h>

namespace {

void BM_EvaluateDuration(benchmark::State& state) {
    const QString text = QStringLiteral("3/4+(1/8)*2");
    for (auto _ : state) {
        benchmark::DoNotOptimize(zk::Evaluate(text));
    }
}
BENCHMARK(BM_EvaluateDuration);

void BM_NumberToText(benchmark::State& state) {
    long double x = 264.123456789L;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zk::NumberToText(4, x));
        x += 0.001L;
    }
}
BENCHMARK(BM_NumberToText);

void BM_ApproximateFraction(benchmark::State& state) {
    const long double ratio = 405.0L / 256.0L;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zk::ApproximateFraction(1e-15L, ratio));
    }
}
BENCHMARK(BM_ApproximateFraction);

} // namespace

BENCHMARK_MAIN();
