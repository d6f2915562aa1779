// SPDX-License-Identifier: GPL-3.0-or-later
#include "notation/drift_lattice.h"

#include "notation/drift_drawing.h"
#include "notation/drift_picture.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <vector>

// The lattice of the drift picture: its nodes and paths, its places and its drawing.

namespace zk {

using drift::DrawArrowHead;
using drift::DrawHaloText;
using drift::DrawText;
using drift::Inset;
using drift::LabelFont;

namespace {

const QString kLatticeTitle = QStringLiteral("Der Weg der Tonarten und Akkorde auf dem Tongitter");
const QString kFifthsAxis = QStringLiteral("Quinten →");
const QString kThirdsAxis = QStringLiteral("Terzen ↑");

// Two places of the lattice whose tones lie closer than this (in cents, octaves aside) count as
// one tone a comma apart.
constexpr long double kCommaNearness = 30;

// The name without its comma marks: "c--" and "c'" are both "c", "f#-" is "f#".
QString BaseName(const QString& label) {
    QString base;
    for (const QChar c : label) {
        if (c != u'+' && c != u'-' && c != u'\'' && c != u',') {
            base += c;
        }
    }
    return base;
}

} // namespace

QPointF DriftLatticeGeometry::Centre(const LatticePoint& point) const {
    const double x = area.left() + (point.fifths - minFifths + 0.5) * columnWidth;
    const double y = area.bottom() - (point.thirds - minThirds + 0.5) * rowHeight;
    return {x, y};
}

DriftLatticePaths DriftLatticePathsOf(const DriftData& data) {
    DriftLatticePaths paths;
    std::map<std::pair<int, int>, std::size_t> index; // place → its node
    const auto visit = [&](const LatticePoint& point, const DriftTone& tone,
                           bool key) -> DriftNode& {
        const auto place = std::make_pair(point.fifths, point.thirds);
        auto found = index.find(place);
        if (found == index.end()) {
            DriftNode node;
            node.point = point;
            node.label = DriftToneLabel(tone.name);
            node.cents = tone.cents;
            found = index.emplace(place, paths.nodes.size()).first;
            paths.nodes.push_back(node);
        }
        DriftNode& node = paths.nodes[found->second];
        node.key = node.key || key;
        if (key) {
            // A key's own name wins over the name a chord tone reached the place by.
            if (node.steps.empty()) {
                node.label = DriftToneLabel(tone.name);
            }
        }
        return node;
    };

    std::vector<LatticePoint> tonePath;
    for (const DriftRow& row : data.rows) {
        if (row.keyEntered && row.tonic && row.tonic->lattice) {
            const LatticePoint point = *row.tonic->lattice;
            if (paths.keyPath.empty() || !(paths.keyPath.back() == point)) {
                DriftNode& node = visit(point, *row.tonic, true);
                paths.keyPath.push_back(point);
                node.steps.push_back(static_cast<int>(paths.keyPath.size()));
            }
        }
        if (!row.tones.empty() && row.tones.front().lattice) {
            const LatticePoint point = *row.tones.front().lattice;
            visit(point, row.tones.front(), false);
            if (tonePath.empty() || !(tonePath.back() == point)) {
                tonePath.push_back(point);
            }
        } else if (!row.tones.empty() || row.computed) {
            // A tempered or unplaceable chord, or a rest, breaks the way of the chords.
            if (tonePath.size() > 1) {
                paths.tonePaths.push_back(tonePath);
            }
            tonePath.clear();
        }
    }
    if (tonePath.size() > 1) {
        paths.tonePaths.push_back(tonePath);
    }

    // Returns a comma away: from the first key (always at the origin) and along the names.
    const auto origin = index.find({0, 0});
    if (origin != index.end()) {
        const QString startName = BaseName(paths.nodes[origin->second].label);
        const long double startCents = paths.nodes[origin->second].cents;
        std::vector<std::size_t> chain = {origin->second};
        for (std::size_t i = 0; i < paths.nodes.size(); ++i) {
            DriftNode& node = paths.nodes[i];
            if (i == origin->second) {
                continue;
            }
            const bool sameName = BaseName(node.label) == startName;
            const bool nearStart =
                std::fabs(CentsWithinHalfOctave(node.cents - startCents)) < kCommaNearness;
            if (!sameName && !nearStart) {
                continue;
            }
            // The nearest of the earlier ones in pitch.
            std::size_t nearest = chain.front();
            long double distance = CentsWithinHalfOctave(node.cents - paths.nodes[nearest].cents);
            for (const std::size_t earlier : chain) {
                const long double d =
                    CentsWithinHalfOctave(node.cents - paths.nodes[earlier].cents);
                if (std::fabs(d) < std::fabs(distance)) {
                    nearest = earlier;
                    distance = d;
                }
            }
            node.comma = true;
            node.commaFrom = paths.nodes[nearest].point;
            node.commaCents = distance;
            chain.push_back(i);
        }
    }
    return paths;
}

DriftLatticeGeometry DriftLatticeGeometryFor(const DriftData& data, const QRect& area,
                                             int fontPixels) {
    DriftLatticeGeometry geometry;
    const DriftLatticePaths paths = DriftLatticePathsOf(data);
    // Room for the title above, "Terzen ↑" left and "Quinten →" below.
    geometry.area =
        Inset(area, fontPixels * 5.5, fontPixels * 2.4, fontPixels * 1.5, fontPixels * 1.8);
    if (paths.nodes.empty()) {
        return geometry;
    }
    geometry.empty = false;
    geometry.minFifths = geometry.maxFifths = paths.nodes.front().point.fifths;
    geometry.minThirds = geometry.maxThirds = paths.nodes.front().point.thirds;
    for (const DriftNode& node : paths.nodes) {
        geometry.minFifths = std::min(geometry.minFifths, node.point.fifths);
        geometry.maxFifths = std::max(geometry.maxFifths, node.point.fifths);
        geometry.minThirds = std::min(geometry.minThirds, node.point.thirds);
        geometry.maxThirds = std::max(geometry.maxThirds, node.point.thirds);
    }
    const int columns = geometry.maxFifths - geometry.minFifths + 1;
    const int rows = geometry.maxThirds - geometry.minThirds + 1;
    // Cells no larger than a few labels wide, so a short way does not blow up; the lattice is
    // centred in its area.
    const double largest = fontPixels * 7.0;
    geometry.columnWidth = std::min(largest, geometry.area.width() / columns);
    geometry.rowHeight = std::min(largest * 0.8, geometry.area.height() / rows);
    const double width = geometry.columnWidth * columns;
    const double height = geometry.rowHeight * rows;
    geometry.area = QRectF(geometry.area.center().x() - width / 2,
                           geometry.area.center().y() - height / 2, width, height);
    geometry.nodeRadius = std::clamp(std::min(geometry.columnWidth, geometry.rowHeight) * 0.22, 2.5,
                                     fontPixels * 1.0);
    return geometry;
}

namespace drift {

namespace {

// What the nodes and the red marks mean, at the top right; left out where the title leaves no
// room for it.
void DrawLatticeLegend(QPainter& painter, const QRect& area, int fontPixels) {
    const QFontMetricsF metrics(painter.font());
    const QString key = QStringLiteral("Tonart");
    const QString tone = QStringLiteral("erster Ton des Akkords");
    const QString comma = QStringLiteral("um ein Komma versetzt");
    const double gap = fontPixels * 1.2;
    const double mark = fontPixels * 1.6;
    const double width = metrics.horizontalAdvance(key) + metrics.horizontalAdvance(tone) +
                         metrics.horizontalAdvance(comma) + 3 * mark + 3 * gap;
    const double titleWidth =
        QFontMetricsF(LabelFont(fontPixels, true)).horizontalAdvance(kLatticeTitle);
    if (width + titleWidth + fontPixels * 2 > area.width()) {
        return;
    }
    const double y = area.top() + fontPixels * 1.1;
    double x = area.right() - fontPixels * 0.6 - width;
    const double r = fontPixels * 0.4;
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(kDriftTonicColour);
    painter.drawEllipse(QPointF(x + mark / 2, y), r, r);
    x += mark;
    painter.setPen(Qt::black);
    DrawText(painter, QPointF(x, y), key, Qt::AlignLeft | Qt::AlignVCenter);
    x += metrics.horizontalAdvance(key) + gap;
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(kDriftToneColour);
    painter.drawEllipse(QPointF(x + mark / 2, y), r * 0.6, r * 0.6);
    x += mark;
    painter.setPen(Qt::black);
    DrawText(painter, QPointF(x, y), tone, Qt::AlignLeft | Qt::AlignVCenter);
    x += metrics.horizontalAdvance(tone) + gap;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kDriftCommaColour, 2));
    painter.drawEllipse(QPointF(x + mark / 2, y), r, r);
    x += mark;
    painter.setPen(Qt::black);
    DrawText(painter, QPointF(x, y), comma, Qt::AlignLeft | Qt::AlignVCenter);
}

} // namespace

QString StepNumbersText(const std::vector<int>& numbers) {
    QStringList texts;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (numbers.size() > kStepNumbersShown && i + 1 == kStepNumbersShown) {
            texts.append(QStringLiteral("…"));
            i = numbers.size() - 1;
        }
        texts.append(QString::number(numbers[i]));
    }
    return texts.join(QStringLiteral(", "));
}

void DrawLattice(QPainter& painter, const DriftData& data, const QRect& area, int fontPixels,
                 DriftDetail detail) {
    const bool thin = detail == DriftDetail::Thinned;
    const DriftLatticeGeometry g = DriftLatticeGeometryFor(data, area, fontPixels);
    const DriftLatticePaths paths = DriftLatticePathsOf(data);

    painter.setFont(LabelFont(fontPixels, true));
    painter.setPen(Qt::black);
    DrawText(painter, QPointF(area.left() + fontPixels * 0.6, area.top() + fontPixels * 0.4),
             kLatticeTitle, Qt::AlignLeft | Qt::AlignTop);
    painter.setFont(LabelFont(fontPixels));
    if (g.empty) {
        painter.setPen(QColor(90, 90, 90));
        DrawText(painter, QPointF(area.center()),
                 QStringLiteral("Keine reine Tonart: nichts auf dem Tongitter zu zeigen."),
                 Qt::AlignHCenter | Qt::AlignVCenter);
        return;
    }
    DrawText(painter, QPointF(area.right() - fontPixels * 0.6, area.bottom() - fontPixels * 0.3),
             kFifthsAxis, Qt::AlignRight | Qt::AlignBottom);
    DrawLatticeLegend(painter, area, fontPixels);
    DrawText(painter, QPointF(area.left() + fontPixels * 0.6, area.center().y()), kThirdsAxis,
             Qt::AlignLeft | Qt::AlignVCenter);

    // The lattice itself, faint.
    painter.setPen(QPen(QColor(225, 225, 225), 1));
    for (int f = g.minFifths; f <= g.maxFifths; ++f) {
        painter.drawLine(g.Centre({f, g.minThirds}), g.Centre({f, g.maxThirds}));
    }
    for (int t = g.minThirds; t <= g.maxThirds; ++t) {
        painter.drawLine(g.Centre({g.minFifths, t}), g.Centre({g.maxFifths, t}));
    }

    const double r = g.nodeRadius;
    const double small = std::max(2.0, r * 0.55);
    const double arrow = std::clamp(r * 0.85, 4.0, fontPixels * 0.8);

    // The way of the chords' first tones: thin, below the keys.
    painter.setPen(QPen(kDriftToneColour, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(kDriftToneColour);
    // Thinned, each step is drawn once, however often the chords take it.
    std::set<std::pair<std::pair<int, int>, std::pair<int, int>>> toneSteps;
    for (const auto& tonePath : paths.tonePaths) {
        for (std::size_t i = 1; i < tonePath.size(); ++i) {
            const LatticePoint& from = tonePath[i - 1];
            const LatticePoint& to = tonePath[i];
            if (thin &&
                !toneSteps.insert({{from.fifths, from.thirds}, {to.fifths, to.thirds}}).second) {
                continue;
            }
            const QPointF a = g.Centre(tonePath[i - 1]);
            const QPointF b = g.Centre(tonePath[i]);
            painter.drawLine(a, b);
            DrawArrowHead(painter, a, a + (b - a) * 0.6, arrow * 0.8);
        }
    }

    // The way of the keys: thick, with an arrow on each step. A step runs in a lane right of
    // its direction, so the way back along the same line stays beside the way there; the
    // number of the key it leads to stands beside its lane.
    const double lane = std::clamp(r * 0.6, 2.5, 7.0);
    std::map<std::pair<std::pair<int, int>, std::pair<int, int>>, std::vector<int>> stepNumbers;
    for (std::size_t i = 1; i < paths.keyPath.size(); ++i) {
        const LatticePoint& from = paths.keyPath[i - 1];
        const LatticePoint& to = paths.keyPath[i];
        stepNumbers[{{from.fifths, from.thirds}, {to.fifths, to.thirds}}].push_back(
            static_cast<int>(i + 1));
    }
    painter.setFont(LabelFont(fontPixels - 2));
    const QFontMetricsF smallMetrics(painter.font());
    for (const auto& [step, numbers] : stepNumbers) {
        const QPointF a = g.Centre({step.first.first, step.first.second});
        const QPointF b = g.Centre({step.second.first, step.second.second});
        const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
        if (length < 1e-6) {
            continue;
        }
        // Right of the direction of travel, on the screen.
        const QPointF side(-(b.y() - a.y()) / length, (b.x() - a.x()) / length);
        const QPointF shift = side * lane;
        painter.setPen(QPen(kDriftTonicColour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(kDriftTonicColour);
        painter.drawLine(a + shift, b + shift);
        DrawArrowHead(painter, a + shift, a + shift + (b - a) * 0.62, arrow);
        const QString text = StepNumbersText(numbers);
        const double half =
            std::max(smallMetrics.horizontalAdvance(text) / 2, smallMetrics.height() / 2);
        painter.setPen(kDriftTonicColour.darker(140));
        DrawHaloText(painter,
                     (a + b) / 2 + side * (lane + 2 + half * std::fabs(side.x()) +
                                           smallMetrics.height() / 2 * std::fabs(side.y())),
                     text, Qt::AlignHCenter | Qt::AlignVCenter);
    }

    // A return a comma away: a dashed red line back to the node it nearly meets, with the
    // distance in cents.
    painter.setFont(LabelFont(fontPixels));
    const auto commaCount = std::count_if(paths.nodes.begin(), paths.nodes.end(),
                                          [](const DriftNode& node) { return node.comma; });
    for (const DriftNode& node : paths.nodes) {
        if (!node.comma) {
            continue;
        }
        const QPointF a = g.Centre(node.commaFrom);
        const QPointF b = g.Centre(node.point);
        painter.setPen(QPen(kDriftCommaColour, 1.5, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        QPainterPath arc(a);
        // Bowed, so that it does not hide a path along the same line.
        const QPointF middle = (a + b) / 2;
        QPointF normal(-(b - a).y() * 0.18, (b - a).x() * 0.18);
        if (normal.y() > 0) {
            normal = -normal; // always bowed upwards, where the names are not
        }
        arc.quadTo(middle + normal * 2, b);
        painter.drawPath(arc);
        // A few returns carry their distance; many would bury the names, and the chart above
        // gives the cents anyway.
        if (commaCount <= 3) {
            painter.setPen(kDriftCommaColour);
            const QString sign = node.commaCents > 0 ? QStringLiteral("+") : QString();
            DrawHaloText(painter, middle + normal + QPointF(0, -2),
                         sign + DriftCentsText(node.commaCents) + QStringLiteral(" Cent"),
                         Qt::AlignHCenter | Qt::AlignBottom);
        }
    }

    // The nodes with their names; the first key is marked "1".
    for (const DriftNode& node : paths.nodes) {
        const QPointF c = g.Centre(node.point);
        const double radius = node.key ? r : small;
        if (node.comma) {
            painter.setPen(QPen(kDriftCommaColour, 2.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(c, radius + 4, radius + 4);
        }
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(node.key ? kDriftTonicColour : kDriftToneColour);
        painter.drawEllipse(c, radius, radius);
        painter.setPen(Qt::black);
        painter.setFont(LabelFont(node.key ? fontPixels : fontPixels - 2, node.key));
        DrawHaloText(painter, c + QPointF(0, -radius - (node.comma ? 5 : 1)), node.label,
                     Qt::AlignHCenter | Qt::AlignBottom);
        if (!node.steps.empty() && node.steps.front() == 1) {
            painter.setPen(kDriftTonicColour.darker(140));
            painter.setFont(LabelFont(fontPixels - 2));
            DrawHaloText(painter, c + QPointF(0, radius + (node.comma ? 5 : 2)),
                         QStringLiteral("1"), Qt::AlignHCenter | Qt::AlignTop);
        }
    }
    painter.setBrush(Qt::NoBrush);
}

} // namespace drift

} // namespace zk
