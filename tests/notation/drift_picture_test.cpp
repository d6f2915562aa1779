// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/locale_guard.h"
#include "common/piece_rows.h"
#include "engine/key_scale.h"
#include "notation/drift_drawing.h"
#include "notation/drift_lattice.h"
#include "notation/drift_picture.h"
#include "piece/comma_drift.h"
#include "piece/compute_pass.h"
#include "piece/computed_drift.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zk {
namespace {

using test::Row;

DriftData DriftOf(const QString& rows) {
    return test::DriftOfRows(rows);
}

// Keys around the circle of fifths, from c to h#, then a chord.
QString CircleOfFifths() {
    QString rows;
    for (const char* key : {"c", "g", "d", "a", "e", "h", "f#", "c#", "g#", "d#", "a#", "e#"}) {
        rows += Row(key, "8", key);
    }
    return rows + Row("h#", "8", "h#");
}

// The cadence of the comma trap twice: each round ends a comma lower.
QString TwoCadences() {
    return Row("c", "4", "ce1gc") + Row("", "", "aeac") + Row("", "", "ffad-") +
           Row("", "", "g-d-g-h-") + Row("", "", "c-e1-g-c-") + Row("", "", "a-e-a-c-") +
           Row("", "", "f-f-a-d--") + Row("", "", "g--d--g--h--") + Row("", "", "c--e1--g--c--");
}

// A pixel that lies wholly inside a horizontal line of width 2 at y.
int RowInside(double y) {
    return static_cast<int>(std::floor(y));
}

bool Reddish(const QColor& colour) {
    return colour.red() > 150 && colour.green() < 110 && colour.blue() < 110;
}

TEST(DriftSize, IsBroughtWithinItsLimits) {
    const std::pair<QSize, QSize> cases[] = {
        {QSize(1200, 600), QSize(1200, 600)},   {QSize(0, 0), kDriftMinimumSize},
        {QSize(-10, 5), kDriftMinimumSize},     {QSize(100000, 300), QSize(6000, 300)},
        {QSize(500, 100000), QSize(500, 4000)},
    };
    for (const auto& [size, expected] : cases) {
        EXPECT_EQ(ClampedDriftSize(size), expected) << size.width() << "x" << size.height();
    }
}

TEST(DriftPicture, AnySizeIsDrawnWithoutFault) {
    const DriftData data = DriftOf(TwoCadences());
    const DriftData empty;
    const QSize sizes[] = {QSize(1, 1),     QSize(0, 0),      QSize(-3, -3),
                           QSize(241, 161), QSize(6001, 170), QSize(250, 3000)};
    for (const QSize& size : sizes) {
        for (const DriftData* d : {&data, &empty}) {
            const QImage image = DriftPicture(*d, size);
            EXPECT_EQ(image.size(), ClampedDriftSize(size));
        }
    }
}

TEST(DriftTexts, CentsAndNames) {
    test::LocaleGuard german(test::German());
    const std::pair<long double, const char*> cents[] = {
        {SyntonicCommaCents(), "21,5"},
        {PythagoreanCommaCents(), "23,5"},
        {-129.04L, "−129"},
        {-0.04L, "0"}, // never "-0"
        {0, "0"},
        {1.955L, "2"},
    };
    for (const auto& [value, text] : cents) {
        EXPECT_EQ(DriftCentsText(value), QString::fromUtf8(text)) << static_cast<double>(value);
    }
    {
        test::LocaleGuard english(test::English());
        EXPECT_EQ(DriftCentsText(-SyntonicCommaCents()), u"−21.5"_qs);
    }
    const std::pair<const char*, const char*> names[] = {
        {"G1", "g"}, {"e1--", "e--"}, {"c'", "c'"}, {"f#", "f#"}, {"H", "h"}, {"", ""},
    };
    for (const auto& [name, label] : names) {
        EXPECT_EQ(DriftToneLabel(QString::fromUtf8(name)), QString::fromUtf8(label)) << name;
    }
}

TEST(DriftChart, CommaLinesWithinOrNearTheDrift) {
    const QRect area(0, 0, 1200, 330);
    const double s = static_cast<double>(SyntonicCommaCents());
    const double p = static_cast<double>(PythagoreanCommaCents());
    const struct {
        QString rows;
        std::vector<double> lines;
    } cases[] = {
        // no drift: both commas either side, for scale
        {Row("c", "8", "ceg") + Row("", "8", "fac"), {p, s, -s, -p}},
        // two commas down: only the lines below 0
        {TwoCadences(), {-s, -p}},
        // around the circle of fifths: up to the Pythagorean comma
        {CircleOfFifths(), {p, s}},
        // three commas up
        {Row("c", "8", "c") + Row("", "8", "c+++"), {p, s}},
    };
    for (const auto& c : cases) {
        const DriftChartGeometry g = DriftChartGeometryFor(DriftOf(c.rows), area, 13);
        ASSERT_EQ(g.commaLines.size(), c.lines.size());
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_NEAR(g.commaLines[i], c.lines[i], 1e-9) << i;
        }
        // every line and the drift inside the graph
        EXPECT_LT(g.low, -0.0);
        EXPECT_GT(g.high, 0.0);
        for (const double line : g.commaLines) {
            EXPECT_GT(g.Y(line), g.plot.top());
            EXPECT_LT(g.Y(line), g.plot.bottom());
        }
    }
}

TEST(DriftChart, ScalesAreLinear) {
    const DriftData data = DriftOf(TwoCadences());
    const DriftChartGeometry g = DriftChartGeometryFor(data, QRect(0, 0, 1200, 330), 13);
    // Cents up: the two commas below 0 in the ratio of their sizes.
    const double s = static_cast<double>(SyntonicCommaCents());
    const double p = static_cast<double>(PythagoreanCommaCents());
    EXPECT_GT(g.Y(-s), g.Y(0));
    EXPECT_GT(g.Y(-p), g.Y(-s));
    EXPECT_NEAR((g.Y(-s) - g.Y(0)) / (g.Y(-p) - g.Y(0)), s / p, 1e-9);
    // Rows across, each in a column of its own: half a column at either edge.
    EXPECT_EQ(g.firstRow, 1);
    EXPECT_EQ(g.lastRow, 9);
    const double column = g.plot.width() / 9;
    EXPECT_NEAR(g.X(1) - g.plot.left(), column / 2, 1e-9);
    EXPECT_NEAR(g.plot.right() - g.X(9), column / 2, 1e-9);
    EXPECT_NEAR(g.X(5) - g.X(4), column, 1e-9);
}

TEST(DriftChart, PixelsAtTheComputedPlaces) {
    test::LocaleGuard german(test::German());
    // Three rows in C, the middle one equal-tempered.
    const DriftData data = DriftOf(Row("c", "8", "g") + Row("~", "8", "g") + Row("c", "8", "g"));
    const QImage image = DriftPicture(data, QSize(1200, 600));
    const DriftLayout layout = DriftLayoutFor(image.size());
    const DriftChartGeometry g = DriftChartGeometryFor(data, layout.chart, layout.fontPixels);
    const double s = static_cast<double>(SyntonicCommaCents());
    const double p = static_cast<double>(PythagoreanCommaCents());
    // The drift reaches from 0 down to the tempered g: the lines of both commas below 0 and the
    // syntonic one above are in reach, the Pythagorean one above is not.
    ASSERT_EQ(g.commaLines, (std::vector<double>{s, -s, -p}));
    // Right of the last row's value, where no name and no data lie.
    const int x = static_cast<int>(g.plot.right()) - 3;
    for (const double cents : g.commaLines) {
        const QColor colour =
            std::fabs(cents) == s ? kDriftSyntonicColour : kDriftPythagoreanColour;
        EXPECT_EQ(image.pixelColor(x, RowInside(g.Y(cents))), colour) << cents;
        // and white a few pixels off the line, outside the names
        EXPECT_EQ(image.pixelColor(x, RowInside(g.Y(cents)) + (cents > 0 ? -6 : 6)),
                  QColor(Qt::white))
            << cents;
    }
    // The tempered row's column is shaded above the lines; the others are white there.
    const int y = RowInside(g.Y(-28));
    EXPECT_EQ(image.pixelColor(static_cast<int>(g.X(2)), y), kDriftTemperedShade);
    EXPECT_EQ(image.pixelColor(static_cast<int>((g.X(1) + g.X(2)) / 2) - 20, y), QColor(Qt::white));
    // The first row's chord tone: a filled dot on the 0 line, in the chord colour; the
    // tempered row's dot is hollow (white inside), the tempered g (196 Hz) 17.6 cents below the
    // just g of C (198 Hz).
    EXPECT_EQ(image.pixelColor(static_cast<int>(g.X(1)), RowInside(g.Y(0))), kDriftToneColour);
    const double temperedG = static_cast<double>(data.rows[1].tones[0].drift);
    EXPECT_NEAR(temperedG, 1200 * std::log2(440 * std::pow(2.0, -14.0 / 12) / 198), 1e-6);
    // The tonic's step covers the first row's column out to its edge; the tempered row has none.
    EXPECT_EQ(
        image.pixelColor(static_cast<int>(g.X(1) + (g.X(2) - g.X(1)) * 0.45), RowInside(g.Y(0))),
        kDriftTonicColour);
    EXPECT_EQ(image.pixelColor(static_cast<int>(std::lround(g.X(2))),
                               static_cast<int>(std::lround(g.Y(temperedG)))),
              QColor(Qt::white));
}

TEST(DriftLattice, PathsNodesAndCommas) {
    const DriftLatticePaths circle = DriftLatticePathsOf(DriftOf(CircleOfFifths()));
    ASSERT_EQ(circle.keyPath.size(), 13U);
    EXPECT_EQ(circle.keyPath.back(), (LatticePoint{12, 0}));
    EXPECT_EQ(circle.nodes.size(), 13U);
    const DriftNode& last = circle.nodes.back();
    EXPECT_EQ(last.label, u"h#"_qs);
    EXPECT_EQ(last.steps, (std::vector<int>{13}));
    // h# lies a Pythagorean comma above the c it started from
    EXPECT_TRUE(last.comma);
    EXPECT_EQ(last.commaFrom, (LatticePoint{0, 0}));
    EXPECT_NEAR(last.commaCents, PythagoreanCommaCents(), 1e-9);
    for (std::size_t i = 0; i + 1 < circle.nodes.size(); ++i) {
        EXPECT_FALSE(circle.nodes[i].comma) << circle.nodes[i].label.toStdString();
    }

    // The comma trap stays in c: one key node; its chords walk away and come back to a c a
    // comma lower twice.
    const DriftLatticePaths trap = DriftLatticePathsOf(DriftOf(TwoCadences()));
    EXPECT_EQ(trap.keyPath, (std::vector<LatticePoint>{{0, 0}}));
    ASSERT_EQ(trap.tonePaths.size(), 1U);
    EXPECT_EQ(trap.tonePaths[0].back(), (LatticePoint{-8, 2}));
    std::vector<std::pair<QString, LatticePoint>> commas;
    for (const DriftNode& node : trap.nodes) {
        if (node.comma) {
            commas.emplace_back(node.label, node.commaFrom);
            EXPECT_NEAR(node.commaCents, -SyntonicCommaCents(), 1e-9);
        }
    }
    EXPECT_EQ(commas, (std::vector<std::pair<QString, LatticePoint>>{{u"c-"_qs, {0, 0}},
                                                                     {u"c--"_qs, {-4, 1}}}));
}

TEST(DriftLattice, PixelsAtTheNodes) {
    const DriftData data = DriftOf(TwoCadences());
    const QImage image = DriftPicture(data, QSize(1200, 600));
    const DriftLayout layout = DriftLayoutFor(image.size());
    const DriftLatticeGeometry g = DriftLatticeGeometryFor(data, layout.lattice, layout.fontPixels);
    ASSERT_FALSE(g.empty);
    EXPECT_EQ(g.minFifths, -8);
    EXPECT_EQ(g.maxFifths, 0);
    EXPECT_EQ(g.minThirds, 0);
    EXPECT_EQ(g.maxThirds, 2);
    const auto at = [&](const LatticePoint& point) {
        const QPointF c = g.Centre(point);
        return image.pixelColor(static_cast<int>(std::lround(c.x())),
                                static_cast<int>(std::lround(c.y())));
    };
    // The pixel wholly inside a ring's stroke (2.5 wide) on the right of a node.
    const auto ring = [&](const LatticePoint& point, double radius) {
        const QPointF c = g.Centre(point);
        return image.pixelColor(static_cast<int>(std::floor(c.x() + radius - 0.25)),
                                static_cast<int>(std::lround(c.y())));
    };
    EXPECT_EQ(at({0, 0}), kDriftTonicColour); // the key c
    EXPECT_EQ(at({-1, 1}), kDriftToneColour); // the chord on a
    EXPECT_EQ(at({-4, 1}), kDriftToneColour); // c-, a comma below c
    const double small = std::max(2.0, g.nodeRadius * 0.55);
    EXPECT_TRUE(Reddish(ring({-4, 1}, small + 4)));  // its ring
    EXPECT_FALSE(Reddish(ring({-1, 1}, small + 4))); // a has none
    // a place nobody visits has no node
    EXPECT_NE(at({-2, 2}), kDriftToneColour);
    EXPECT_NE(at({-2, 2}), kDriftTonicColour);
    // Fifths across, thirds up.
    EXPECT_LT(g.Centre({-1, 0}).x(), g.Centre({0, 0}).x());
    EXPECT_LT(g.Centre({0, 1}).y(), g.Centre({0, 0}).y());
}

TEST(DriftLattice, TemperedPiecesHaveNoNodes) {
    const DriftData data = DriftOf(Row("~", "8", "ceg") + Row("", "8", "fac"));
    EXPECT_TRUE(DriftLatticePathsOf(data).nodes.empty());
    const DriftLayout layout = DriftLayoutFor(QSize(1200, 600));
    EXPECT_TRUE(DriftLatticeGeometryFor(data, layout.lattice, layout.fontPixels).empty);
    EXPECT_EQ(DriftPicture(data).size(), QSize(1200, 600));
}

// `repeats` times the six rows that modulate from c to g and d, a comma higher each round, then
// an equal-tempered row and a rest.
QString ModulatingRounds(int repeats) {
    QString rows;
    for (int i = 0; i < repeats; ++i) {
        rows += Row("c", "8", "ceg") + Row("", "8", "fac1") + Row("", "8", "ghd1") +
                Row("g", "8", "ceg") + Row("d", "8", "f#ad1") + Row("", "8", "ceg") +
                Row("~", "8", "ceg") + Row("", "8", "");
    }
    return rows;
}

int ChannelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// The largest difference, in any channel, of the mean colours of the 3 × 3 blocks of two pictures
// of one size: how far they differ to an eye that does not tell single pixels apart.
int BlockDistance(const QImage& a, const QImage& b) {
    int worst = 0;
    for (int y = 1; y + 1 < a.height(); ++y) {
        for (int x = 1; x + 1 < a.width(); ++x) {
            int sums[2][3] = {};
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    for (int i = 0; i < 2; ++i) {
                        const QRgb p = (i == 0 ? a : b).pixel(x + dx, y + dy);
                        sums[i][0] += qRed(p);
                        sums[i][1] += qGreen(p);
                        sums[i][2] += qBlue(p);
                    }
                }
            }
            for (int c = 0; c < 3; ++c) {
                worst = std::max(worst, std::abs(sums[0][c] - sums[1][c]) / 9);
            }
        }
    }
    return worst;
}

TEST(DriftThinning, PolylineKeepsFirstExtremesAndLastOfEachColumn) {
    const struct {
        const char* what;
        std::vector<QPointF> points;
        std::vector<QPointF> thinned;
    } cases[] = {
        {"nothing", {}, {}},
        {"one per column stays", {{0.5, 1}, {1.5, 2}, {2.5, 0}}, {{0.5, 1}, {1.5, 2}, {2.5, 0}}},
        {"one column: first, highest, lowest, last",
         {{0.1, 5}, {0.3, 1}, {0.5, 9}, {0.6, 7}, {0.7, 4}, {0.9, 6}},
         {{0.1, 5}, {0.3, 1}, {0.5, 9}, {0.9, 6}}},
        {"the lowest before the highest keeps its place",
         {{2.0, 3}, {2.1, 4}, {2.2, 8}, {2.4, 0}, {2.6, 5}},
         {{2.0, 3}, {2.2, 8}, {2.4, 0}, {2.6, 5}}},
        {"a first that is the highest is kept once",
         {{0.0, 0}, {0.2, 2}, {0.5, 3}, {0.9, 1}},
         {{0.0, 0}, {0.5, 3}, {0.9, 1}}},
        {"left of 0 the column is that of -1",
         {{-0.5, 1}, {-0.4, 3}, {-0.2, 2}, {0.1, 2}},
         {{-0.5, 1}, {-0.4, 3}, {-0.2, 2}, {0.1, 2}}},
        {"two columns thinned apart",
         {{3.1, 1}, {3.2, 9}, {3.3, 2}, {3.4, 1}, {4.0, 5}, {4.5, 5}, {4.6, 0}, {4.9, 5}},
         {{3.1, 1}, {3.2, 9}, {3.4, 1}, {4.0, 5}, {4.6, 0}, {4.9, 5}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(drift::ThinnedPolyline(c.points), c.thinned) << c.what;
    }
    // 60 000 points over 100 columns, going up and down from 0 to 6: at most four a column, and
    // the extremes kept.
    std::vector<QPointF> many;
    for (int i = 0; i < 60000; ++i) {
        many.emplace_back(i / 600.0, i % 7);
    }
    const std::vector<QPointF> thinned = drift::ThinnedPolyline(many);
    EXPECT_LE(thinned.size(), 400U);
    EXPECT_GE(thinned.size(), 200U);
    const auto [top, bottom] =
        std::minmax_element(thinned.begin(), thinned.end(),
                            [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
    EXPECT_EQ(top->y(), 0);
    EXPECT_EQ(bottom->y(), 6);
    EXPECT_EQ(thinned.front(), many.front());
    EXPECT_EQ(thinned.back(), many.back());
}

TEST(DriftThinning, DotsOncePerHeightAndFillInAColumn) {
    using drift::DriftDot;
    const struct {
        const char* what;
        std::vector<DriftDot> dots;
        std::vector<DriftDot> thinned;
    } cases[] = {
        {"nothing", {}, {}},
        {"apart", {{{0.5, 1}, false}, {{1.5, 1}, false}}, {{{0.5, 1}, false}, {{1.5, 1}, false}}},
        {"the same height in one column: the last",
         {{{0.1, 4}, false}, {{0.5, 4}, false}, {{0.8, 4.1}, false}},
         {{{0.8, 4.1}, false}}},
        {"other heights and fills stay, in their order",
         {{{2.1, 4}, false}, {{2.2, 9}, false}, {{2.3, 4}, true}, {{2.4, 4}, false}},
         {{{2.2, 9}, false}, {{2.3, 4}, true}, {{2.4, 4}, false}}},
        {"a quarter pixel apart is another height",
         {{{5.0, 3}, false}, {{5.5, 3.25}, false}},
         {{{5.0, 3}, false}, {{5.5, 3.25}, false}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(drift::ThinnedDots(c.dots), c.thinned) << c.what;
    }
}

TEST(DriftThinning, BarsFillEachPixelOnce) {
    const QColor blue(0, 0, 255);
    // A bar over whole pixels, and a hundred bars on one another a pixel and a half wide, from
    // x 10.5 to 12: column 10 is covered half, column 11 wholly. Stacked strokes would fill
    // column 10 ever darker; the union covers it half, 255 + (0 - 255) / 2 in red and green.
    std::vector<drift::DriftBar> bars = {{2, 6, 3, 10}};
    for (int i = 0; i < 100; ++i) {
        bars.push_back({10.5, 12, 4, 8});
    }
    QImage image(16, 14, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        drift::FillBars(painter, bars, blue);
    }
    const struct {
        int x;
        int y;
        int red; // and green; blue is always 255
    } pixels[] = {
        {2, 3, 0},    {5, 9, 0},    {1, 5, 255},  {6, 5, 255},  {3, 2, 255},
        {3, 10, 255}, {11, 4, 0},   {11, 7, 0},   {12, 5, 255}, {11, 8, 255},
        {10, 5, 128}, {10, 7, 128}, {10, 3, 255}, {9, 5, 255},
    };
    for (const auto& p : pixels) {
        const QColor colour = image.pixelColor(p.x, p.y);
        EXPECT_NEAR(colour.red(), p.red, 2) << p.x << "," << p.y;
        EXPECT_NEAR(colour.green(), p.red, 2) << p.x << "," << p.y;
        EXPECT_EQ(colour.blue(), 255) << p.x << "," << p.y;
    }
}

TEST(DriftThinning, SteepSegmentAsBarsDownItsColumns) {
    // A line 2 wide from (10.5, 0) to (11.5, 40): its middle runs through columns 10 and 11,
    // rising 40 pixels a pixel across; half the width takes its stroke from 9.5 to 12.5.
    std::vector<drift::DriftBar> bars;
    drift::AddSteepSegmentBars({11.5, 40}, {10.5, 0}, 2, bars);
    const struct {
        double left, right, top, bottom;
    } expected[] = {
        // column 10: wholly where the middle line runs within it (x 10 to 11: y 0 to 20),
        // half as far as it runs within one pixel of it (x 9 to 12: all of it)
        {10, 11, 0, 20},
        {10, 10.5, 0, 40},
        // column 11 likewise (x 11 to 12: y 20 to 40)
        {11, 12, 20, 40},
        {11, 11.5, 0, 40},
        // column 12 only within a pixel of the line (x 11 to 11.5), and only to 12.5
        {12, 12.5, 20, 40},
    };
    ASSERT_EQ(bars.size(), std::size(expected));
    for (std::size_t i = 0; i < bars.size(); ++i) {
        EXPECT_DOUBLE_EQ(bars[i].left, expected[i].left) << i;
        EXPECT_DOUBLE_EQ(bars[i].right, expected[i].right) << i;
        EXPECT_DOUBLE_EQ(bars[i].top, expected[i].top) << i;
        EXPECT_DOUBLE_EQ(bars[i].bottom, expected[i].bottom) << i;
    }
}

TEST(DriftLattice, StepNumbersStayShort) {
    const std::pair<std::vector<int>, const char*> cases[] = {
        {{}, ""},
        {{2}, "2"},
        {{2, 5, 8, 11}, "2, 5, 8, 11"},
        {{2, 5, 8, 11, 14}, "2, 5, 8, …, 14"},
        {{2, 5, 8, 11, 14, 17, 20, 29999}, "2, 5, 8, …, 29999"},
    };
    for (const auto& [numbers, text] : cases) {
        EXPECT_EQ(drift::StepNumbersText(numbers), QString::fromUtf8(text)) << text;
    }
}

TEST(DriftPicture, ThinnedLooksLikeEveryRowDrawn) {
    test::LocaleGuard german(test::German());
    // 1200 rows, three to six to a pixel column, or a little more than a pixel to a row at the
    // widest, drifting up and down from row to row.
    const DriftData data = DriftOf(ModulatingRounds(150));
    for (const QSize size : {QSize(240, 160), QSize(420, 260), QSize(1700, 500)}) {
        const QImage thinned = DriftPicture(data, size);
        const QImage full = DriftPicture(data, size, DriftDetail::EveryRow);
        ASSERT_EQ(thinned.size(), full.size());
        // Seen a few pixels at a time, the two are alike: a line moved by a whole pixel, or one
        // left out, would change a block by at least a third of its contrast (78 of 255 for the
        // chords' line on white); where the thinned picture only blends the fringe of a line
        // otherwise, the blocks differ by less.
        EXPECT_LT(BlockDistance(thinned, full), 78) << size.width();
        // and a pixel changes its colour altogether (more than half the scale) in fewer than one
        // place in a hundred
        int differing = 0;
        for (int y = 0; y < full.height(); ++y) {
            for (int x = 0; x < full.width(); ++x) {
                differing += ChannelDistance(thinned.pixel(x, y), full.pixel(x, y)) > 128;
            }
        }
        EXPECT_LT(differing, full.width() * full.height() / 100) << size.width();
    }
}

TEST(DriftPicture, LongPieceShowsItsExtremes) {
    // 20 000 rows in c, about seventeen to a pixel column; one chord three commas up, one three
    // commas down, each alone in its column.
    constexpr int kRows = 20000;
    constexpr int kHighRow = 7777;
    constexpr int kLowRow = 13001;
    QString rows = Row("c", "8", "c");
    for (int r = 2; r <= kRows; ++r) {
        rows += Row("", "8", r == kHighRow ? "c+++" : r == kLowRow ? "c---" : "c");
    }
    const DriftData data = DriftOf(rows);
    ASSERT_EQ(data.rows.size(), static_cast<std::size_t>(kRows));
    const double threeCommas = 3 * 1200 * std::log2(81.0 / 80.0);
    EXPECT_NEAR(static_cast<double>(data.HighestDrift()), threeCommas, 1e-6);
    EXPECT_NEAR(static_cast<double>(data.LowestDrift()), -threeCommas, 1e-6);
    const QImage image = DriftPicture(data, QSize(1200, 600));
    const DriftLayout layout = DriftLayoutFor(image.size());
    const DriftChartGeometry g = DriftChartGeometryFor(data, layout.chart, layout.fontPixels);
    for (const auto& [row, cents] : {std::pair(kHighRow, threeCommas), {kLowRow, -threeCommas}}) {
        const int x = static_cast<int>(std::floor(g.X(row)));
        const int y = static_cast<int>(std::floor(g.Y(cents)));
        // The dot (radius 2 and its 1.5 wide rim) on its pixel row, and nothing of the
        // chords' colour beyond it.
        EXPECT_EQ(image.pixelColor(x, y), kDriftToneColour) << row;
        const int beyond = cents > 0 ? y - 5 : y + 5;
        for (int dx = -3; dx <= 3; ++dx) {
            EXPECT_NE(image.pixelColor(x + dx, beyond), kDriftToneColour) << row << " " << dx;
        }
        // Halfway to 0 the line of the chords runs up and back in that column.
        EXPECT_EQ(image.pixelColor(x, static_cast<int>(std::floor(g.Y(cents / 2)))),
                  kDriftToneColour)
            << row;
    }
}

} // namespace
} // namespace zk
