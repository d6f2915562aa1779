// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>

#include <benchmark/benchmark.h>

// The main of the benchmarks that need Qt's application object: file names, the locale and the
// program folder are read through it.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
