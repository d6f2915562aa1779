// SPDX-License-Identifier: GPL-3.0-or-later
#include "notation/drift_drawing.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <set>

// The drawing helpers shared by the drift chart and the drift lattice.

namespace zk::drift {

QFont LabelFont(int pixels, bool bold) {
    QFont font;
    font.setPixelSize(std::max(7, pixels));
    font.setBold(bold);
    return font;
}

QRectF Inset(const QRect& area, double left, double top, double right, double bottom) {
    return QRectF(area.left() + left, area.top() + top, std::max(1.0, area.width() - left - right),
                  std::max(1.0, area.height() - top - bottom));
}

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

namespace {

// The pixel column of an x.
double Column(double x) {
    return std::floor(x);
}

} // namespace

std::vector<QPointF> ThinnedPolyline(const std::vector<QPointF>& points) {
    std::vector<QPointF> thinned;
    std::size_t first = 0;
    while (first < points.size()) {
        const double column = Column(points[first].x());
        std::size_t highest = first;
        std::size_t lowest = first;
        std::size_t end = first;
        for (; end < points.size() && Column(points[end].x()) == column; ++end) {
            if (points[end].y() < points[highest].y()) {
                highest = end;
            }
            if (points[end].y() > points[lowest].y()) {
                lowest = end;
            }
        }
        std::size_t kept[] = {first, std::min(highest, lowest), std::max(highest, lowest), end - 1};
        std::size_t previous = points.size();
        for (const std::size_t i : kept) {
            if (i != previous) {
                thinned.push_back(points[i]);
                previous = i;
            }
        }
        first = end;
    }
    return thinned;
}

std::vector<DriftDot> ThinnedDots(const std::vector<DriftDot>& dots) {
    std::vector<DriftDot> thinned;
    // The dots of one column by height and fill, each with its place in the run.
    std::vector<std::pair<std::pair<long long, bool>, std::size_t>> run;
    std::size_t first = 0;
    while (first < dots.size()) {
        const double column = Column(dots[first].centre.x());
        run.clear();
        std::size_t end = first;
        for (; end < dots.size() && Column(dots[end].centre.x()) == column; ++end) {
            run.push_back({{std::llround(dots[end].centre.y() * 4), dots[end].hollow}, end});
        }
        // The last dot of each kind, then back into drawing order.
        std::stable_sort(run.begin(), run.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::size_t> kept;
        for (std::size_t i = 0; i < run.size(); ++i) {
            if (i + 1 == run.size() || run[i + 1].first != run[i].first) {
                kept.push_back(run[i].second);
            }
        }
        std::sort(kept.begin(), kept.end());
        for (const std::size_t i : kept) {
            thinned.push_back(dots[i]);
        }
        first = end;
    }
    return thinned;
}

void AddSteepSegmentBars(const QPointF& a, const QPointF& b, double width,
                         std::vector<DriftBar>& bars) {
    const QPointF& from = a.x() <= b.x() ? a : b;
    const QPointF& to = a.x() <= b.x() ? b : a;
    const double half = width / 2;
    const double dx = to.x() - from.x();
    // The middle line's height at x, within the segment.
    const auto yAt = [&](double x) {
        if (dx <= 0) {
            return from.y();
        }
        return from.y() + (to.y() - from.y()) * (std::clamp(x, from.x(), to.x()) - from.x()) / dx;
    };
    const double left = from.x() - half;
    const double right = to.x() + half;
    if (dx < 1) {
        bars.push_back({left, right, std::min(a.y(), b.y()), std::max(a.y(), b.y())});
        return;
    }
    // A column is covered wholly where the middle line runs within it, less half a pixel either
    // side of it for half a width of at least half a pixel, and about half where the line runs
    // farther off, but within half the width.
    for (double c = std::floor(left); c < right; ++c) {
        const double barLeft = std::max(c, left);
        const double wholeRight = std::min(c + 1, right);
        const double halfRight = std::min(c + 0.5, right);
        const struct {
            double from;
            double to;
            double right;
        } windows[] = {
            {c + 1 - half, c + half, wholeRight},
            {c - half, c + 1 + half, halfRight},
        };
        for (const auto& window : windows) {
            if (window.to < from.x() || window.from > to.x() || window.right <= barLeft) {
                continue;
            }
            const double y1 = yAt(window.from);
            const double y2 = yAt(window.to);
            bars.push_back({barLeft, window.right, std::min(y1, y2), std::max(y1, y2)});
        }
    }
}

void FillBars(QPainter& painter, const std::vector<DriftBar>& bars, const QColor& colour) {
    if (bars.empty()) {
        return;
    }
    double left = bars.front().left;
    double right = bars.front().right;
    for (const DriftBar& bar : bars) {
        left = std::min(left, bar.left);
        right = std::max(right, bar.right);
    }
    const int firstColumn = static_cast<int>(std::floor(left));
    const int columns = static_cast<int>(std::ceil(right)) - firstColumn + 1;
    // Per pixel column where each bar begins and ends covering it, and how much of its width
    // from which side: a bar at least a pixel wide covers a column wholly, or a part of it from
    // its left or its right edge. Of the parts from one side the widest counts; the two sides
    // together cover the column, at most wholly.
    struct Edge {
        double y;
        bool begins;
        bool fromLeft;
        double cover;
        bool operator<(const Edge& other) const {
            return y < other.y || (y == other.y && !begins && other.begins);
        }
    };
    std::vector<std::vector<Edge>> edges(static_cast<std::size_t>(columns));
    for (const DriftBar& bar : bars) {
        if (!(bar.bottom > bar.top) || !(bar.right > bar.left)) {
            continue;
        }
        for (int c = static_cast<int>(std::floor(bar.left)); c < bar.right; ++c) {
            const double cover =
                std::min(bar.right, c + 1.0) - std::max(bar.left, static_cast<double>(c));
            const bool fromLeft = bar.left <= c;
            auto& column = edges[static_cast<std::size_t>(c - firstColumn)];
            column.push_back({bar.top, true, fromLeft, std::min(1.0, cover)});
            column.push_back({bar.bottom, false, fromLeft, std::min(1.0, cover)});
        }
    }
    // The runs of one cover down a column, each drawn once: whole pixels plainly, which is
    // fast, the rest antialiased afterwards.
    struct Run {
        int column;
        double top;
        double bottom;
        double cover;
    };
    std::vector<Run> runs;
    std::multiset<double> fromLeft;
    std::multiset<double> fromRight;
    for (std::size_t i = 0; i < edges.size(); ++i) {
        auto& column = edges[i];
        std::sort(column.begin(), column.end());
        fromLeft.clear();
        fromRight.clear();
        double cover = 0;
        double runTop = 0;
        for (const Edge& edge : column) {
            auto& side = edge.fromLeft ? fromLeft : fromRight;
            if (edge.begins) {
                side.insert(edge.cover);
            } else {
                side.erase(side.find(edge.cover));
            }
            const double now = std::min(1.0, (fromLeft.empty() ? 0 : *fromLeft.rbegin()) +
                                                 (fromRight.empty() ? 0 : *fromRight.rbegin()));
            if (now == cover) {
                continue;
            }
            const int c = firstColumn + static_cast<int>(i);
            if (cover > 0 && edge.y > runTop) {
                if (!runs.empty() && runs.back().column == c && runs.back().bottom == runTop &&
                    runs.back().cover == cover) {
                    runs.back().bottom = edge.y;
                } else {
                    runs.push_back({c, runTop, edge.y, cover});
                }
            }
            cover = now;
            runTop = edge.y;
        }
    }
    // The whole pixels of a run plainly, which is fast, the partly covered pixels at its ends
    // antialiased afterwards.
    std::vector<std::pair<Run, QRectF>> ends;
    QColor faint = colour;
    const auto shade = [&](const Run& run) {
        faint.setAlphaF(static_cast<float>(run.cover * colour.alphaF()));
        return faint;
    };
    const bool antialiased = painter.testRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const Run& run : runs) {
        const double top = std::ceil(run.top);
        const double bottom = std::floor(run.bottom);
        if (bottom <= top) {
            ends.emplace_back(run, QRectF(run.column, run.top, 1, run.bottom - run.top));
            continue;
        }
        painter.fillRect(
            QRect(run.column, static_cast<int>(top), 1, static_cast<int>(bottom - top)),
            shade(run));
        if (top > run.top) {
            ends.emplace_back(run, QRectF(run.column, run.top, 1, top - run.top));
        }
        if (run.bottom > bottom) {
            ends.emplace_back(run, QRectF(run.column, bottom, 1, run.bottom - bottom));
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, antialiased);
    for (const auto& [run, rect] : ends) {
        painter.fillRect(rect, shade(run));
    }
}

} // namespace zk::drift
