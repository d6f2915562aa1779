// SPDX-License-Identifier: GPL-3.0-or-later
// Importing MusicXML: a four-part chorale of about 80 rows read, cut into rows, written into the
// table and computed as "Rechne" does; and a file of 120 such chorales (about 10 000 rows). And
// the key search over chorales of 80, 400 and 2 000 rows.
#include "common/chorale_score.h"
#include "engine/key_scale.h"
#include "exchange/score_import.h"
#include "piece/compute_pass.h"
#include "piece/key_search.h"
#include "piece/piece_table.h"
#include "piece/recording_pass_host.h"

#include <benchmark/benchmark.h>

namespace {

// range(0): chorales in the file.
void BM_ImportAndCompute(benchmark::State& state) {
    const QByteArray xml = zk::test::ChoraleScore(static_cast<int>(state.range(0)));
    std::size_t rows = 0;
    for (auto _ : state) {
        const zk::ImportedScore imported = zk::ImportScoreBytes(xml);
        zk::PieceTable table;
        zk::WriteScoreRows(imported.rows, zk::ScoreKeyColumn::Signature, table);
        zk::TonartScale scale;
        zk::PassSettings settings;
        zk::test::RecordingPassHost host; // computes silently: nothing is played
        zk::ComputePass(0, table, scale, settings, host);
        rows = imported.rows.size();
        benchmark::DoNotOptimize(table.Cell(zk::PieceTable::kFrequencyColumn, 1));
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["xml_bytes"] = static_cast<double>(xml.size());
}
BENCHMARK(BM_ImportAndCompute)->Arg(1)->Arg(120)->Unit(benchmark::kMillisecond);

// The import alone, without the pass: reading the XML and cutting rows.
void BM_ImportOnly(benchmark::State& state) {
    const QByteArray xml = zk::test::ChoraleScore(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(zk::ImportScoreBytes(xml).rows.size());
    }
}
BENCHMARK(BM_ImportOnly)->Arg(1)->Arg(120)->Unit(benchmark::kMillisecond);

// The keys of a whole piece found: range(0) chorales of about 80 rows each, one after the other.
// The table is imported once; the search alone is measured.
void BM_FindKeys(benchmark::State& state) {
    const zk::ImportedScore imported =
        zk::ImportScoreBytes(zk::test::ChoraleScore(static_cast<int>(state.range(0))));
    zk::PieceTable table;
    zk::WriteScoreRows(imported.rows, zk::ScoreKeyColumn::Signature, table);
    int pure = 0;
    for (auto _ : state) {
        const zk::KeySearchResult found = zk::FindKeys(table);
        pure = found.pureRows;
        benchmark::DoNotOptimize(found.keys.size());
    }
    state.counters["rows"] = static_cast<double>(imported.rows.size());
    state.counters["pure_rows"] = pure;
}
BENCHMARK(BM_FindKeys)->Arg(1)->Arg(5)->Arg(25)->Unit(benchmark::kMillisecond);

} // namespace
