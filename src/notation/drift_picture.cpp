#include "notation/drift_picture.h"

#include "support/number_text.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <map>

namespace zk {

namespace {

const QString kChartTitle = QStringLiteral("Abweichung in Cent gegenüber der ersten Tonart");
const QString kLatticeTitle = QStringLiteral("Der Weg der Tonarten und Akkorde auf dem Tongitter");
const QString kFifthsAxis = QStringLiteral("Quinten →");
const QString kThirdsAxis = QStringLiteral("Terzen ↑");
const QString kRowAxis = QStringLiteral("Zeile");

// The chart shows at least this many cents either side of 0, so that both commas are in view
// even for a piece that never drifts.
constexpr double kMinimumHalfRange = 26;
// A comma line is drawn when it lies within the drift's range or this many cents beyond it.
constexpr double kCommaLineReach = 6;
// Two places of the lattice whose tones lie closer than this (in cents, octaves aside) count as
// one tone a comma apart.
constexpr long double kCommaNearness = 30;

QFont LabelFont(int pixels, bool bold = false) {
    QFont font;
    font.setPixelSize(std::max(7, pixels));
    font.setBold(bold);
    return font;
}

// The value of `cents` at the chart's scale; a range of no height maps everything to its middle.
double Fraction(double value, double low, double high) {
    return high > low ? (value - low) / (high - low) : 0.5;
}

// `area` without margins on its four sides; never less than a pixel either way, however small the
// picture.
QRectF Inset(const QRect& area, double left, double top, double right, double bottom) {
    return QRectF(area.left() + left, area.top() + top, std::max(1.0, area.width() - left - right),
                  std::max(1.0, area.height() - top - bottom));
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

// A text placed with its reference point: the alignment flags say which side of `at` it lies.
void DrawText(QPainter& painter, const QPointF& at, const QString& text, Qt::Alignment alignment) {
    const QFontMetricsF metrics(painter.font());
    const QSizeF size(metrics.horizontalAdvance(text) + 1, metrics.height());
    QPointF topLeft = at;
    if (alignment & Qt::AlignRight) {
        topLeft.rx() -= size.width();
    } else if (alignment & Qt::AlignHCenter) {
        topLeft.rx() -= size.width() / 2;
    }
    if (alignment & Qt::AlignBottom) {
        topLeft.ry() -= size.height();
    } else if (alignment & Qt::AlignVCenter) {
        topLeft.ry() -= size.height() / 2;
    }
    painter.drawText(QRectF(topLeft, size), Qt::AlignLeft | Qt::AlignVCenter, text);
}

// A text with a white outline, readable over the lines of the lattice.
void DrawHaloText(QPainter& painter, const QPointF& at, const QString& text,
                  Qt::Alignment alignment) {
    const QPen pen = painter.pen();
    painter.setPen(Qt::white);
    for (const QPointF& offset : {QPointF(-1, 0), QPointF(1, 0), QPointF(0, -1), QPointF(0, 1)}) {
        DrawText(painter, at + offset, text, alignment);
    }
    painter.setPen(pen);
    DrawText(painter, at, text, alignment);
}

// An arrow head at `tip` pointing from `from`.
void DrawArrowHead(QPainter& painter, const QPointF& from, const QPointF& tip, double size) {
    const double dx = tip.x() - from.x();
    const double dy = tip.y() - from.y();
    const double length = std::hypot(dx, dy);
    if (length < 1e-6) {
        return;
    }
    const double ux = dx / length;
    const double uy = dy / length;
    const QPointF back(tip.x() - ux * size, tip.y() - uy * size);
    const QPointF side(-uy * size * 0.5, ux * size * 0.5);
    painter.drawPolygon(QPolygonF({tip, back + side, back - side}));
}

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

QSize ClampedDriftSize(QSize size) {
    return QSize(std::clamp(size.width(), kDriftMinimumSize.width(), kDriftMaximumSize.width()),
                 std::clamp(size.height(), kDriftMinimumSize.height(), kDriftMaximumSize.height()));
}

DriftLayout DriftLayoutFor(QSize size) {
    size = ClampedDriftSize(size);
    DriftLayout layout;
    // 13 pixels at 1200 × 600, smaller in a small window, never unreadably small or huge.
    layout.fontPixels = std::clamp(std::min(size.width() / 90, size.height() / 45), 8, 22);
    const int chartHeight = size.height() * 11 / 20;
    layout.chart = QRect(0, 0, size.width(), chartHeight);
    layout.lattice = QRect(0, chartHeight, size.width(), size.height() - chartHeight);
    return layout;
}

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

QPointF DriftLatticeGeometry::Centre(const LatticePoint& point) const {
    const double x = area.left() + (point.fifths - minFifths + 0.5) * columnWidth;
    const double y = area.bottom() - (point.thirds - minThirds + 0.5) * rowHeight;
    return {x, y};
}

QString DriftToneLabel(const QString& name) {
    QString label;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (i == 0) {
            label += c.toLower();
        } else if (!c.isDigit()) {
            label += c;
        }
    }
    return label;
}

QString DriftCentsText(long double cents) {
    // A value that rounds to 0 is written "0", never "-0".
    QString text = std::fabs(cents) < 0.05L ? QStringLiteral("0") : NumberToText(1, cents);
    if (text.startsWith(u'-')) {
        text.replace(0, 1, QChar(0x2212));
    }
    return text;
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

namespace {

void DrawChart(QPainter& painter, const DriftData& data, const QRect& area, int fontPixels) {
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

    // Tempered rows, behind everything.
    for (const DriftRow& row : data.rows) {
        if (row.tempered) {
            const double w = std::max(3.0, rowWidth);
            painter.fillRect(QRectF(g.X(row.row) - w / 2, plot.top(), w, plot.height()),
                             kDriftTemperedShade);
        }
    }

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
    for (const DriftRow& row : data.rows) {
        const double xr = g.X(row.row);
        painter.drawLine(QPointF(xr, plot.bottom()), QPointF(xr, plot.bottom() + 3));
        if (row.row % std::max(1, rowStep) == 0 || data.rows.size() == 1) {
            DrawText(painter, QPointF(xr, plot.bottom() + 4), QString::number(row.row),
                     Qt::AlignHCenter | Qt::AlignTop);
        }
    }
    DrawText(painter, QPointF(plot.right(), plot.bottom() + fontPixels * 1.2), kRowAxis,
             Qt::AlignRight | Qt::AlignTop);

    // The two series: the tonic as a thick line, the first tones on top of it with dots. A row
    // without a value breaks the line.
    const double dot = std::clamp(rowWidth * 0.18, 2.0, fontPixels * 0.35);
    for (const bool tonic : {true, false}) {
        const QColor colour = tonic ? kDriftTonicColour : kDriftToneColour;
        painter.setPen(QPen(colour, tonic ? 4 : 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath path;
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
            const QPointF point(g.X(row.row), g.Y(static_cast<double>(*value)));
            if (tonic) {
                // A key holds over its whole row: a step across the row's column.
                const QPointF start(point.x() - rowWidth / 2, point.y());
                if (open) {
                    path.lineTo(start);
                } else {
                    path.moveTo(start);
                    open = true;
                }
                path.lineTo(point.x() + rowWidth / 2, point.y());
            } else if (open) {
                path.lineTo(point);
            } else {
                path.moveTo(point);
                open = true;
            }
        }
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        if (!tonic) {
            for (const DriftRow& row : data.rows) {
                if (row.tones.empty()) {
                    continue;
                }
                const QPointF point(g.X(row.row),
                                    g.Y(static_cast<double>(row.tones.front().drift)));
                painter.setPen(QPen(colour, 1.5));
                painter.setBrush(row.tempered ? QBrush(Qt::white) : QBrush(colour));
                painter.drawEllipse(point, dot, dot);
            }
        }
    }
    painter.setBrush(Qt::NoBrush);
}

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

void DrawLattice(QPainter& painter, const DriftData& data, const QRect& area, int fontPixels) {
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
    for (const auto& tonePath : paths.tonePaths) {
        for (std::size_t i = 1; i < tonePath.size(); ++i) {
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
    std::map<std::pair<std::pair<int, int>, std::pair<int, int>>, QStringList> stepNumbers;
    for (std::size_t i = 1; i < paths.keyPath.size(); ++i) {
        const LatticePoint& from = paths.keyPath[i - 1];
        const LatticePoint& to = paths.keyPath[i];
        stepNumbers[{{from.fifths, from.thirds}, {to.fifths, to.thirds}}].append(
            QString::number(i + 1));
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
        const QString text = numbers.join(QStringLiteral(", "));
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

} // namespace

QImage DriftPicture(const DriftData& data, QSize size) {
    size = ClampedDriftSize(size);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    const DriftLayout layout = DriftLayoutFor(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    DrawChart(painter, data, layout.chart, layout.fontPixels);
    // A thin rule between the two parts.
    painter.setPen(QPen(QColor(200, 200, 200), 1));
    painter.drawLine(QPointF(layout.lattice.left() + 8, layout.lattice.top() + 0.5),
                     QPointF(layout.lattice.right() - 8, layout.lattice.top() + 0.5));
    DrawLattice(painter, data, layout.lattice, layout.fontPixels);
    return image;
}

} // namespace zk
