#include "common/locale_guard.h"
#include "common/piece_rows.h"
#include "engine/key_scale.h"
#include "notation/drift_picture.h"
#include "piece/comma_drift.h"
#include "piece/compute_pass.h"
#include "piece/computed_drift.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"

#include <gtest/gtest.h>

#include <cmath>

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

} // namespace
} // namespace zk
