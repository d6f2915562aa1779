// SPDX-License-Identifier: GPL-3.0-or-later
// What the comma-drift picture costs for long pieces: drawing must grow with the rows only until
// they are denser than the pixels, and then stay flat.
#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"
#include "engine/key_scale.h"
#include "notation/drift_picture.h"
#include "piece/comma_drift.h"
#include "piece/compute_pass.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>

namespace {

// A piece file of `rows` rows: six rows that modulate from c to g and d and back, repeated.
QString ModulatingPiece(int rows) {
    const char* const pattern[][3] = {
        {"c", "8", "ceg"}, {"", "8", "fac1"},   {"", "8", "ghd1"},
        {"g", "8", "ceg"}, {"d", "8", "f#ad1"}, {"", "8", "ceg"},
    };
    QString text = QStringLiteral("TA   D    Akkord\r\n");
    for (int r = 0; r < rows; ++r) {
        const auto& row = pattern[r % 6];
        text += QString::fromUtf8(row[0]).leftJustified(5) +
                QString::fromUtf8(row[1]).leftJustified(5) + QString::fromUtf8(row[2]) +
                QStringLiteral("\r\n");
    }
    return text;
}

// The drift of that piece, computed once per length.
const zk::DriftData& DriftOfRows(int rows) {
    static std::map<int, zk::DriftData> computed;
    auto found = computed.find(rows);
    if (found == computed.end()) {
        zk::PieceTable table;
        zk::LoadPieceText(table, ModulatingPiece(rows));
        zk::TonartScale scale;
        zk::PassSettings settings;
        zk::cli::CliPassHost host;
        found = computed.emplace(rows, zk::ComputeCommaDrift(table, scale, settings, host)).first;
    }
    return found->second;
}

// The picture alone: rows, width, height.
void BM_DriftPicture(benchmark::State& state) {
    const zk::DriftData& data = DriftOfRows(static_cast<int>(state.range(0)));
    const QSize size(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    for (auto _ : state) {
        const QImage image = zk::DriftPicture(data, size);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["rows"] = static_cast<double>(data.rows.size());
}
BENCHMARK(BM_DriftPicture)
    ->Args({1000, 1200, 600})
    ->Args({10000, 1200, 600})
    ->Args({100000, 1200, 600})
    ->Args({100000, 240, 160})
    ->Args({3000, 6000, 4000})
    ->Args({10000, 6000, 4000})
    ->Args({100000, 6000, 4000})
    ->Unit(benchmark::kMillisecond);

// The whole "drift" command on the piece text, computing and writing the PNG included.
void BM_DriftCommand(benchmark::State& state) {
    const QByteArray piece = ModulatingPiece(static_cast<int>(state.range(0))).toUtf8();
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("drift.png"));
    for (auto _ : state) {
        zk::cli::Io io;
        io.readStdin = [&piece] { return piece; };
        const int status = zk::cli::Run(
            {QStringLiteral("drift"), QStringLiteral("--width"), QString::number(state.range(1)),
             QStringLiteral("--height"), QString::number(state.range(2)), QStringLiteral("-o"), out,
             QStringLiteral("-")},
            io);
        if (status != zk::cli::kExitOk) {
            state.SkipWithError(io.err.toUtf8().constData());
        }
    }
}
BENCHMARK(BM_DriftCommand)
    ->Args({100000, 1200, 600})
    ->Args({100000, 6000, 4000})
    ->Unit(benchmark::kMillisecond);

} // namespace

// A GUI application for the fonts, on the offscreen platform: no display is needed.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
