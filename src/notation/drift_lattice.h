// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notation/drift_picture.h"
#include "piece/comma_drift.h"

#include <QRect>
#include <QString>

#include <cstddef>
#include <vector>

class QPainter;

// The lower part of the drift picture: the way of the keys and of the chords' first tones on the
// tone lattice, with the returns a comma away.

namespace zk::drift {

// A step of the keys' way taken more often than this is labelled with its first numbers, "…" and
// its last one, so that a long piece circling among a few keys keeps its labels short.
inline constexpr std::size_t kStepNumbersShown = 4;

// The label of a step of the keys' way: the numbers of the keys it led to, in order, as "2, 5, 8"
// or, for more than kStepNumbersShown, as "2, 5, 8, …, 29".
QString StepNumbersText(const std::vector<int>& numbers);

void DrawLattice(QPainter& painter, const DriftData& data, const QRect& area, int fontPixels,
                 DriftDetail detail);

} // namespace zk::drift
