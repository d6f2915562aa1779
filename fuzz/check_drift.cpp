// SPDX-License-Identifier: GPL-3.0-or-later
// The comma drift of a piece text, and its picture at the smallest size: the drift of every tone
// lies within half an octave, the extremes take in 0, and the picture has the size it was asked
// for with either detail.
#include "fuzz_checks.h"

#include "app/cli/cli_piece.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "notation/drift_picture.h"
#include "piece/comma_drift.h"
#include "piece/compute_pass.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"

#include <QImage>

#include <cmath>

namespace zk::fuzz {

void CheckDrift(const QByteArray& input) {
    const std::optional<QString> text = PieceText(input);
    if (!text) {
        return;
    }
    PieceTable table;
    LoadPieceText(table, *text);
    TemperamentList temperaments;
    TonartScale scale(&temperaments);
    PassSettings settings;
    cli::CliPassHost host;
    const DriftData drift = ComputeCommaDrift(table, scale, settings, host);

    for (const DriftRow& row : drift.rows) {
        for (const DriftTone& tone : row.tones) {
            Require(std::isfinite(tone.drift) && tone.drift > -600 && tone.drift <= 600,
                    "a tone's drift beyond half an octave");
        }
    }
    Require(drift.LowestDrift() <= 0 && drift.HighestDrift() >= 0,
            "the drift's extremes leave out 0");
    for (const DriftDetail detail : {DriftDetail::Thinned, DriftDetail::EveryRow}) {
        const QImage picture = DriftPicture(drift, kDriftMinimumSize, detail);
        Require(picture.size() == kDriftMinimumSize, "a drift picture of another size");
    }
}

} // namespace zk::fuzz
