// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>

#include <vector>

class QPainter;

// What the two parts of the drift picture, the chart and the lattice, draw with alike: the label
// font, margins, texts and arrow heads placed at a point, and the thinning of what a long piece
// puts closer together than a pixel.

namespace zk::drift {

QFont LabelFont(int pixels, bool bold = false);

// `area` without margins on its four sides; never less than a pixel either way, however small the
// picture.
QRectF Inset(const QRect& area, double left, double top, double right, double bottom);

// A text placed with its reference point: the alignment flags say which side of `at` it lies.
void DrawText(QPainter& painter, const QPointF& at, const QString& text, Qt::Alignment alignment);

// A text with a white outline, readable over the lines of the lattice.
void DrawHaloText(QPainter& painter, const QPointF& at, const QString& text,
                  Qt::Alignment alignment);

// An arrow head at `tip` pointing from `from`.
void DrawArrowHead(QPainter& painter, const QPointF& from, const QPointF& tip, double size);

// A polyline thinned to the picture's pixel columns: of each run of consecutive vertices whose x
// lies in one column (the same whole part of x) it keeps the first, the highest, the lowest and
// the last, in their order. Stroked, it covers the pixels the whole line covers, however many rows
// fell into a column, so a long piece costs no more to stroke than the picture is wide.
std::vector<QPointF> ThinnedPolyline(const std::vector<QPointF>& points);

// A chord tone's dot on the chart: filled, or hollow for a tempered row.
struct DriftDot {
    QPointF centre;
    bool hollow = false;
    bool operator==(const DriftDot&) const = default;
};

// Dots thinned to the picture's pixels: of each run of consecutive dots in one pixel column, one
// dot for each height (to a quarter of a pixel) and fill, the last of them, in drawing order. A
// dot drawn again on itself changes nothing to the eye.
std::vector<DriftDot> ThinnedDots(const std::vector<DriftDot>& dots);

// An upright bar of a stroke, from `left` to `right` and `top` to `bottom` in pixels.
struct DriftBar {
    double left = 0;
    double right = 0;
    double top = 0;
    double bottom = 0;
};

// Adds the bars that fill the stroke of `width` from `a` to `b`, a steep segment (at least twice
// as high as wide), down the pixel columns it crosses: in each, wholly as high as the middle line
// runs within it, and half as high as it runs within half the width of it; the round ends are
// not included.
void AddSteepSegmentBars(const QPointF& a, const QPointF& b, double width,
                         std::vector<DriftBar>& bars);

// Fills the union of the bars, one pixel column at a time: where a dense piece stacks hundreds of
// bars on one another, each pixel is filled once. A column the bars cover only in part is filled
// with that part as its opacity, as antialiasing would.
void FillBars(QPainter& painter, const std::vector<DriftBar>& bars, const QColor& colour);

} // namespace zk::drift
