// SPDX-License-Identifier: GPL-3.0-or-later
// The computation pass over a long piece: every row a key change or an eight-tone chord, with
// the columns written as the table shows them.
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "piece/compute_pass.h"
#include "piece/pass_host.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"

#include <QString>

#include <benchmark/benchmark.h>

namespace {

class QuietHost : public zk::PassHost {
public:
    QString KammertonText() const override { return QStringLiteral("440"); }
    void SetKammertonText(const QString&) override {}
    QString TempoText() const override { return QStringLiteral("80"); }
    bool Dauernd() const override { return false; }
    void ClearLastPiece() override {}
    void NotateTable(const zk::PieceTable&) override {}
    void HideNotation() override {}
    void ScrollToRow(int) override {}
    void ProcessPendingEvents() override {}
    void PlayChord(int, const zk::ChordFrequencies&) override {}
    void ShowKeyCheck(const QString&) override {}
};

QString LongPiece(int rows) {
    static const char* const kKeys[] = {"c", "a", "d", "g", "e", "h", "f#", "c"};
    static const char* const kChords[] = {"c1egc2e2g2c3e3", "fac1f1a1c2f2a2", "ghd1g1h1d2g2h2",
                                          "ce*gc1e1*g1c2",  "a:7c#e",         "d1f#a c2"};
    QString text;
    for (int i = 0; i < rows; ++i) {
        const QString key = i % 16 == 0 ? QString::fromLatin1(kKeys[(i / 16) % 8]) : QString();
        text += key.leftJustified(5) + QStringLiteral("8    ") +
                QString::fromLatin1(kChords[i % 6]).leftJustified(16) + QStringLiteral("\r\n");
    }
    return text;
}

void BM_ComputePass(benchmark::State& state, const QString& mode) {
    zk::PieceTable table;
    zk::LoadPieceText(table, LongPiece(static_cast<int>(state.range(0))));
    table.SetDisplayMode(mode);
    zk::TemperamentList temperaments;
    zk::TonartScale scale(&temperaments);
    zk::PassSettings settings;
    QuietHost host;
    for (auto _ : state) {
        zk::ComputePass(0, table, scale, settings, host);
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK_CAPTURE(BM_ComputePass, ratios, QStringLiteral("Frequenzverhälnisse"))
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ComputePass, all, QStringLiteral("Frequenzv. Cent Bez. GG-H OQT"))
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);

} // namespace
