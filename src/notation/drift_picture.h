// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "piece/comma_drift.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

#include <vector>

// The comma-drift picture of a computed piece: above, a chart of the drift in cents of every row's
// tonic and first chord tone against the first key, with the syntonic and the Pythagorean comma as
// horizontal lines; below, the way of the keys on the tone lattice (fifths across, major thirds
// up), each key a labelled node, numbered in order, and a return a comma away marked in red. Drawn
// antialiased on a QImage, so it needs no window.

namespace zk {

// The colours of the picture; a test finds the parts by them.
inline const QColor kDriftTonicColour(31, 94, 196);        // the keys' tonics: line and nodes
inline const QColor kDriftToneColour(222, 110, 20);        // the chords' first tones
inline const QColor kDriftSyntonicColour(0, 140, 70);      // the syntonic comma's lines
inline const QColor kDriftPythagoreanColour(150, 60, 170); // the Pythagorean comma's lines
inline const QColor kDriftCommaColour(205, 30, 30);        // a return a comma away
inline const QColor kDriftTemperedShade(226, 226, 226);    // behind the tempered rows
inline const QColor kDriftZeroColour(40, 40, 40);          // the line at 0 cents

// Pictures are drawn at least this small and at most this large; other sizes are brought within.
inline constexpr QSize kDriftMinimumSize(240, 160);
inline constexpr QSize kDriftMaximumSize(6000, 4000);
inline constexpr QSize kDriftDefaultSize(1200, 600);

// `size` brought within the minimum and maximum picture size.
QSize ClampedDriftSize(QSize size);

// Where the parts go in a picture of a (clamped) size: the chart above, the lattice below, and the
// pixel size of the labels.
struct DriftLayout {
    QRect chart;
    QRect lattice;
    int fontPixels = 12;
};
DriftLayout DriftLayoutFor(QSize size);

// The chart's scales: rows across, cents up.
struct DriftChartGeometry {
    QRectF plot;      // the area of the graph, inside the axes
    int firstRow = 1; // the rows at the left and the right edge
    int lastRow = 1;
    double low = -25; // the cents at the bottom and the top edge
    double high = 25;
    // The comma lines drawn, in cents (0 is always drawn).
    std::vector<double> commaLines;

    double X(int row) const;
    double Y(double cents) const;
};
DriftChartGeometry DriftChartGeometryFor(const DriftData& data, const QRect& area, int fontPixels);

// The lattice's places: one column per fifth, one row per major third.
struct DriftLatticeGeometry {
    QRectF area;
    int minFifths = 0;
    int maxFifths = 0;
    int minThirds = 0;
    int maxThirds = 0;
    double columnWidth = 0;
    double rowHeight = 0;
    double nodeRadius = 0; // of a key's node; a chord tone's node is smaller
    bool empty = true;     // no just key and no just tone: nothing to place

    QPointF Centre(const LatticePoint& point) const;
};
DriftLatticeGeometry DriftLatticeGeometryFor(const DriftData& data, const QRect& area,
                                             int fontPixels);

// A node of the lattice: a place visited by a key or by a chord's first tone.
struct DriftNode {
    LatticePoint point;
    QString label;          // the name it was first reached by, e.g. "f#", "c-"
    bool key = false;       // a key stood here (otherwise only chord tones)
    std::vector<int> steps; // the key path's step numbers at this node, from 1
    // A return a comma away: the node lies a comma or so from an earlier node of the same name,
    // or from the first key; `commaFrom` is that node and `commaCents` the distance to it.
    bool comma = false;
    LatticePoint commaFrom;
    long double commaCents = 0;
    long double cents = 0; // against the first key, as first reached
};

// The lattice's nodes and the two paths (keys, and chords' first tones) in order.
struct DriftLatticePaths {
    std::vector<DriftNode> nodes;
    std::vector<LatticePoint> keyPath;
    std::vector<std::vector<LatticePoint>> tonePaths; // broken where a row has no just first tone
};
DriftLatticePaths DriftLatticePathsOf(const DriftData& data);

// The label of a tone name on the picture: the letter in lower case, octave digits dropped ("G1"
// and "g" are both "g"; "e1--" is "e--").
QString DriftToneLabel(const QString& name);

// Cents as the picture writes them: one decimal, the locale's separator, a true minus sign.
QString DriftCentsText(long double cents);

// How much of a long piece is drawn: what falls closer together than a pixel thinned to what the
// eye sees (so a picture costs no more than its pixels once the rows outnumber them), or every
// row as it is, which takes ever longer with the rows (to compare with).
enum class DriftDetail { Thinned, EveryRow };

// The whole picture at `size` (clamped), white, antialiased.
QImage DriftPicture(const DriftData& data, QSize size = kDriftDefaultSize,
                    DriftDetail detail = DriftDetail::Thinned);

} // namespace zk
