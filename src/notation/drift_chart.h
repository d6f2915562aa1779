// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notation/drift_picture.h"
#include "piece/comma_drift.h"

#include <QRect>

class QPainter;

// The upper part of the drift picture: the drift in cents of every row's tonic and first chord
// tone, with the comma lines, the cents scale and the row numbers.

namespace zk::drift {

void DrawChart(QPainter& painter, const DriftData& data, const QRect& area, int fontPixels,
               DriftDetail detail);

} // namespace zk::drift
