// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/key_scale.h"
#include "piece/comma_drift.h"
#include "piece/compute_pass.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "recording_pass_host.h"

#include <QString>

namespace zk::test {

// The drift of a table, computed as "Rechne" does on a1 = 440 Hz.
inline DriftData DriftOfTable(PieceTable& table) {
    TonartScale scale;
    PassSettings settings;
    RecordingPassHost host;
    return ComputeCommaDrift(table, scale, settings, host);
}

// The drift of a piece given as piece text rows.
inline DriftData DriftOfRows(const QString& rows) {
    PieceTable table;
    LoadPieceText(table, rows);
    return DriftOfTable(table);
}

} // namespace zk::test
