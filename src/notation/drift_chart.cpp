// SPDX-License-Identifier: GPL-3.0-or-later
#include "notation/drift_chart.h"

#include "notation/drift_drawing.h"
#include "notation/drift_picture.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

// The chart of the drift picture: its scales and its drawing.

namespace zk {

using drift::DrawText;
using drift::Inset;
using drift::LabelFont;

namespace {

const QString kChartTitle = QStringLiteral("Abweichung in Cent gegenüber der ersten Tonart");
const QString kRowAxis = QStringLiteral("Zeile");

// The chart shows at least this many cents either side of 0, so that both commas are in view
// even for a piece that never drifts.
constexpr double kMinimumHalfRange = 26;
// A comma line is drawn when it lies within the drift's range or this many cents beyond it.
constexpr double kCommaLineReach = 6;

// The value of `cents` at the chart's scale; a range of no height maps everything to its middle.
double Fraction(double value, double low, double high) {
    return high > low ? (value - low) / (high - low) : 0.5;
}

// A step for axis ticks of at least `minimum` units: 1, 2 or 5 times a power of ten.
double NiceStep(double minimum) {
    if (!(minimum > 0) || !std::isfinite(minimum)) {
        return 1;
    }
    const double power = std::pow(10.0, std::floor(std::log10(minimum)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= minimum) {
            return factor * power;
        }
    }
    return 10 * power;
}

} // namespace

double DriftChartGeometry::X(int row) const {
    // Each row has a column of its own, its value at the column's middle.
    const int columns = std::max(1, lastRow - firstRow + 1);
    return plot.left() + plot.width() * (row - firstRow + 0.5) / columns;
}

double DriftChartGeometry::Y(double cents) const {
    return plot.bottom() - plot.height() * Fraction(cents, low, high);
}

DriftChartGeometry DriftChartGeometryFor(const DriftData& data, const QRect& area, int fontPixels) {
    DriftChartGeometry geometry;
    if (!data.rows.empty()) {
        geometry.firstRow = data.rows.front().row;
        geometry.lastRow = data.rows.back().row;
    }
    double low = static_cast<double>(data.LowestDrift());
    double high = static_cast<double>(data.HighestDrift());
    // Both commas in view when the drift stays small; otherwise the drift's own range.
    if (high - low < 2 * kMinimumHalfRange) {
        const double middle =
            std::clamp((high + low) / 2, high - kMinimumHalfRange, low + kMinimumHalfRange);
        low = std::min(low, middle - kMinimumHalfRange);
        high = std::max(high, middle + kMinimumHalfRange);
    }
    const double syntonic = static_cast<double>(SyntonicCommaCents());
    const double pythagorean = static_cast<double>(PythagoreanCommaCents());
    for (const double line : {pythagorean, syntonic, -syntonic, -pythagorean}) {
        if (line >= low - kCommaLineReach && line <= high + kCommaLineReach) {
            geometry.commaLines.push_back(line);
            low = std::min(low, line);
            high = std::max(high, line);
        }
    }
    // Room for the title and legend above, the tick labels left, the row numbers below.
    geometry.plot =
        Inset(area, fontPixels * 3.6, fontPixels * 2.6, fontPixels * 1.2, fontPixels * 2.4);
    // Above the highest and below the lowest line the height of a comma's name, so that a name
    // written outside its line stays inside the graph.
    const double labelRoom = fontPixels * 1.4;
    const double margin =
        std::max((high - low) * 0.06,
                 (high - low) * labelRoom / std::max(1.0, geometry.plot.height() - 2 * labelRoom));
    geometry.low = low - margin;
    geometry.high = high + margin;
    return geometry;
}

namespace drift {

void DrawChart(QPainter& painter, const DriftData& data, const QRect& area, int fontPixels,
               DriftDetail detail) {
    const bool thin = detail == DriftDetail::Thinned;
    const DriftChartGeometry g = DriftChartGeometryFor(data, area, fontPixels);
    const QRectF& plot = g.plot;
    const double rowWidth = plot.width() / std::max(1, g.lastRow - g.firstRow + 1);

    painter.setFont(LabelFont(fontPixels, true));
    painter.setPen(Qt::black);
    DrawText(painter, QPointF(area.left() + fontPixels * 0.6, area.top() + fontPixels * 0.4),
             kChartTitle, Qt::AlignLeft | Qt::AlignTop);

    // The legend, right of the title.
    painter.setFont(LabelFont(fontPixels));
    const QFontMetricsF metrics(painter.font());
    struct Entry {
        QColor colour;
        QString text;
        bool shade;
    };
    const Entry entries[] = {
        {kDriftTonicColour, QStringLiteral("Grundton der Tonart"), false},
        {kDriftToneColour, QStringLiteral("erster Ton des Akkords"), false},
        {kDriftTemperedShade, QStringLiteral("temperiert (~, m…)"), true},
    };
    double legendWidth = 0;
    for (const Entry& entry : entries) {
        legendWidth += metrics.horizontalAdvance(entry.text) + fontPixels * 3.4;
    }
    // The legend goes right of the title when there is room for both; a narrow picture leaves
    // it out.
    const bool legend =
        legendWidth + QFontMetricsF(LabelFont(fontPixels, true)).horizontalAdvance(kChartTitle) +
            fontPixels * 2 <=
        area.width();
    double x = area.right() - fontPixels * 0.6;
    const double legendY = area.top() + fontPixels * 1.1;
    for (auto it = std::rbegin(entries); legend && it != std::rend(entries); ++it) {
        const double textWidth = metrics.horizontalAdvance(it->text);
        x -= textWidth;
        painter.setPen(Qt::black);
        DrawText(painter, QPointF(x, legendY), it->text, Qt::AlignLeft | Qt::AlignVCenter);
        x -= fontPixels * 2.2;
        if (it->shade) {
            painter.fillRect(QRectF(x, legendY - fontPixels * 0.5, fontPixels * 1.8, fontPixels),
                             it->colour);
        } else {
            painter.setPen(QPen(it->colour, 3));
            painter.drawLine(QPointF(x, legendY), QPointF(x + fontPixels * 1.8, legendY));
        }
        x -= fontPixels * 1.2;
    }

    // Tempered rows, behind everything; thinned, the shades that touch or overlap are one.
    const double shadeWidth = std::max(3.0, rowWidth);
    double shadeFrom = 0;
    double shadeTo = 0;
    bool shading = false;
    const auto shade = [&] {
        if (shading) {
            painter.fillRect(QRectF(shadeFrom, plot.top(), shadeTo - shadeFrom, plot.height()),
                             kDriftTemperedShade);
        }
    };
    for (const DriftRow& row : data.rows) {
        if (!row.tempered) {
            continue;
        }
        const double from = g.X(row.row) - shadeWidth / 2;
        if (thin && shading && from <= shadeTo) {
            shadeTo = std::max(shadeTo, from + shadeWidth);
            continue;
        }
        shade();
        shadeFrom = from;
        shadeTo = from + shadeWidth;
        shading = true;
    }
    shade();

    // The cents scale: ticks and faint lines.
    const double pixelsPerCent = plot.height() / std::max(1e-9, g.high - g.low);
    const double step = NiceStep(fontPixels * 2.2 / pixelsPerCent);
    painter.setFont(LabelFont(fontPixels));
    for (double v = std::ceil(g.low / step) * step; v <= g.high; v += step) {
        const double y = g.Y(v);
        painter.setPen(QPen(QColor(235, 235, 235), 1));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(Qt::black);
        DrawText(painter, QPointF(plot.left() - fontPixels * 0.4, y), DriftCentsText(v),
                 Qt::AlignRight | Qt::AlignVCenter);
    }

    // The comma lines and 0, with their names: the larger comma's name outside, the smaller's
    // inside, so the two lines 2 cents apart keep their names apart.
    for (const double line : g.commaLines) {
        const bool syntonic = std::fabs(std::fabs(line) - SyntonicCommaCents()) < 0.01;
        const QColor colour = syntonic ? kDriftSyntonicColour : kDriftPythagoreanColour;
        const double y = g.Y(line);
        painter.setPen(QPen(colour, 2));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        const QString name = syntonic ? QStringLiteral("syntonisches Komma (%1 Cent)")
                                            .arg(DriftCentsText(SyntonicCommaCents()))
                                      : QStringLiteral("pythagoreisches Komma (%1 Cent)")
                                            .arg(DriftCentsText(PythagoreanCommaCents()));
        // Names only where the two lines of one side and 0 leave room for them.
        if (std::fabs(g.Y(0) - y) < metrics.height() * 2.2) {
            continue;
        }
        const bool above = (line > 0) != syntonic;
        const QString text = (line < 0 ? QString(QChar(0x2212)) : QStringLiteral("+")) + name;
        // At the end of the line where the values keep farther from the name.
        const double width = metrics.horizontalAdvance(text) + fontPixels;
        const auto clearance = [&](double from, double to) {
            double nearest = plot.height();
            for (const DriftRow& row : data.rows) {
                const double xr = g.X(row.row);
                if (xr < from || xr > to) {
                    continue;
                }
                for (const DriftTone* tone : {row.tonic ? &*row.tonic : nullptr,
                                              row.tones.empty() ? nullptr : &row.tones.front()}) {
                    if (tone != nullptr) {
                        const double ty = g.Y(static_cast<double>(tone->drift));
                        // Only values on the name's side of the line come near it.
                        if ((above && ty <= y + 2) || (!above && ty >= y - 2)) {
                            nearest = std::min(nearest, std::fabs(ty - y));
                        }
                    }
                }
            }
            return nearest;
        };
        const bool right = clearance(plot.right() - width, plot.right()) >
                           clearance(plot.left(), plot.left() + width);
        painter.setPen(colour);
        DrawText(painter,
                 QPointF(right ? plot.right() - fontPixels * 0.5 : plot.left() + fontPixels * 0.5,
                         above ? y - 2 : y + 2),
                 text,
                 (right ? Qt::AlignRight : Qt::AlignLeft) |
                     (above ? Qt::AlignBottom : Qt::AlignTop));
    }
    painter.setPen(QPen(kDriftZeroColour, 1.5));
    painter.drawLine(QPointF(plot.left(), g.Y(0)), QPointF(plot.right(), g.Y(0)));

    // The axes and the row numbers.
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    const double labelWidth = metrics.horizontalAdvance(QStringLiteral("000")) * 1.6;
    const int rowStep = static_cast<int>(NiceStep(labelWidth / std::max(1e-9, rowWidth)));
    // Thinned, the ticks are filled as one: where they lie closer than a pixel, each pixel once.
    std::vector<drift::DriftBar> ticks;
    for (const DriftRow& row : data.rows) {
        const double xr = g.X(row.row);
        if (thin) {
            // As a line with square ends, half a pixel longer either way.
            ticks.push_back({xr - 0.5, xr + 0.5, plot.bottom() - 0.5, plot.bottom() + 3.5});
        } else {
            painter.drawLine(QPointF(xr, plot.bottom()), QPointF(xr, plot.bottom() + 3));
        }
        if (row.row % std::max(1, rowStep) == 0 || data.rows.size() == 1) {
            DrawText(painter, QPointF(xr, plot.bottom() + 4), QString::number(row.row),
                     Qt::AlignHCenter | Qt::AlignTop);
        }
    }
    drift::FillBars(painter, ticks, Qt::black);
    DrawText(painter, QPointF(plot.right(), plot.bottom() + fontPixels * 1.2), kRowAxis,
             Qt::AlignRight | Qt::AlignTop);

    // The two series: the tonic as a thick line, the first tones on top of it with dots. A row
    // without a value breaks the line.
    const double dot = std::clamp(rowWidth * 0.18, 2.0, fontPixels * 0.35);
    for (const bool tonic : {true, false}) {
        const QColor colour = tonic ? kDriftTonicColour : kDriftToneColour;
        std::vector<std::vector<QPointF>> lines;
        std::vector<drift::DriftDot> dots;
        bool open = false;
        for (const DriftRow& row : data.rows) {
            std::optional<long double> value;
            if (tonic && row.tonic) {
                value = row.tonic->drift;
            } else if (!tonic && !row.tones.empty()) {
                value = row.tones.front().drift;
            }
            if (!value) {
                open = false;
                continue;
            }
            if (!open) {
                lines.emplace_back();
                open = true;
            }
            const QPointF point(g.X(row.row), g.Y(static_cast<double>(*value)));
            if (tonic) {
                // A key holds over its whole row: a step across the row's column.
                lines.back().emplace_back(point.x() - rowWidth / 2, point.y());
                lines.back().emplace_back(point.x() + rowWidth / 2, point.y());
            } else {
                lines.back().push_back(point);
                dots.push_back({point, row.tempered});
            }
        }
        painter.setPen(QPen(colour, tonic ? 4 : 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        if (thin) {
            // Stroked a segment at a time: the outline of one long zigzag grows too large for
            // the rasterizer, which then works through it again and again. The round caps where
            // two segments meet cover what the round join would. A steep segment, where a dense
            // piece jumps up and down, is filled as bars down the pixel columns with round ends,
            // far cheaper than a tall stroke.
            const double width = tonic ? 4 : 2;
            std::vector<QPointF> ends;
            std::vector<drift::DriftBar> bars;
            for (const std::vector<QPointF>& line : lines) {
                const std::vector<QPointF> points = drift::ThinnedPolyline(line);
                for (std::size_t i = 1; i < points.size(); ++i) {
                    const QPointF& a = points[i - 1];
                    const QPointF& b = points[i];
                    const double dx = std::fabs(b.x() - a.x());
                    if (dx >= 1 && std::fabs(b.y() - a.y()) <= 2 * dx) {
                        painter.drawLine(a, b);
                        continue;
                    }
                    drift::AddSteepSegmentBars(a, b, width, bars);
                    for (const QPointF& end : {a, b}) {
                        if (ends.empty() || ends.back() != end) {
                            ends.push_back(end);
                        }
                    }
                }
            }
            drift::FillBars(painter, bars, colour);
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            for (const QPointF& end : ends) {
                painter.drawEllipse(end, width / 2, width / 2);
            }
        } else {
            QPainterPath path;
            for (const std::vector<QPointF>& line : lines) {
                path.moveTo(line.front());
                for (std::size_t i = 1; i < line.size(); ++i) {
                    path.lineTo(line[i]);
                }
            }
            painter.drawPath(path);
        }
        painter.setPen(QPen(colour, 1.5));
        for (const drift::DriftDot& d : thin ? drift::ThinnedDots(dots) : dots) {
            painter.setBrush(d.hollow ? QBrush(Qt::white) : QBrush(colour));
            painter.drawEllipse(d.centre, dot, dot);
        }
    }
    painter.setBrush(Qt::NoBrush);
}

} // namespace drift

} // namespace zk
