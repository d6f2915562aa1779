// SPDX-License-Identifier: GPL-3.0-or-later
#include "notation/notation_picture.h"
#include "notation/staff_drawing.h"

#include "notation/pixel_probe.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace zk {
namespace {

using test::Black;
using test::HeadAt;
using test::White;

// The notes of the first chord line stand at x = 52.
constexpr int kX = 52;

QImage Draw(const QStringList& chords, int bassNotes, const QStringList& durations = {}) {
    NotationPicture picture;
    picture.SetBassNotes(bassNotes);
    picture.DrawNotation(chords, durations);
    return picture.Image();
}

QImage DrawOne(const QString& chord, int bassNotes, int d = 4) {
    return Draw({chord}, bassNotes, {QString::number(d)});
}

struct ChordCase {
    QString chord;
    int bassNotes;
    std::vector<int> ys; // heads, or ledger lines
};

void PrintTo(const ChordCase& c, std::ostream* out) {
    *out << '"' << c.chord.toStdString() << "\" bass " << c.bassNotes;
}

class NotationPlacementTest : public ::testing::TestWithParam<ChordCase> {};

TEST_P(NotationPlacementTest, HeadsStandWhereTheStepsPutThem) {
    const QImage image = DrawOne(GetParam().chord, GetParam().bassNotes);
    for (int y : GetParam().ys) {
        EXPECT_TRUE(HeadAt(image, kX, y, true)) << "no head at y = " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Chords, NotationPlacementTest,
    ::testing::Values(
        // c in the bass; e1 goes to the bass, which hands it to the treble's bottom line; g and c
        // are raised above the note before them
        ChordCase{u"ce1gc"_qs, -1, {128, 70, 62, 50}},
        // no bass staff: c below four ledger lines of the treble
        ChordCase{u"ce1gc"_qs, 0, {106, 70, 62, 50}},
        // two bass notes by count: e1 stays in the bass, high above its staff
        ChordCase{u"ce1gc"_qs, 2, {128, 92, 62, 50}},
        // c1 alone stays in the bass, on a ledger line
        ChordCase{u"c1"_qs, -1, {100}}, ChordCase{u"c1"_qs, 0, {78}},
        // upper-case octave digits go down; a second note at e1 or above goes to the treble
        ChordCase{u"C1c"_qs, -1, {184, 128}}, ChordCase{u"Hh1h2"_qs, -1, {132, 54, 26}},
        // a written octave is kept even below the note before, "0" included, and on the way to
        // the other staff: c0 e g stand in the bass below e1 g1, d1 twice is a unison
        ChordCase{u"h1c1"_qs, -1, {54, 78}}, ChordCase{u"gc0"_qs, -1, {112, 128}},
        ChordCase{u"c1egc0eg"_qs, -1, {100, 70, 62, 128, 120, 112}},
        ChordCase{u"d1d1"_qs, -1, {74}}, ChordCase{u"H3c5e1"_qs, -1, {70}},
        // an overtone keeps its letter's octave in the treble; in the bass ":" is no octave mark
        ChordCase{u"cegG:7"_qs, -1, {128, 120, 112, 140}}, ChordCase{u"G:7c"_qs, -1, {140, 128}},
        // characters without meaning are skipped
        ChordCase{u"c x+e1-,g'"_qs, -1, {128, 70, 62}}));

TEST(NotationDurationsTest, DurationsChooseHeadStemFlagsAndDot) {
    // G on the bass staff's bottom line (stem down), g1 on the treble's g line (stem up).
    struct Case {
        int d;
        bool filled;
        bool stem;
        int flags;
        bool dot;
    };
    const Case cases[] = {
        {1, true, true, 2, false},   {2, true, true, 1, false},    {3, true, true, 1, true},
        {4, true, true, 0, false},   {5, true, true, 0, false},    {6, true, true, 0, true},
        {8, false, true, 0, false},  {12, false, true, 0, true},   {16, false, false, 0, false},
        {24, false, false, 0, true}, {32, false, false, 0, false},
    };
    const int up = 62;
    const int down = 140;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.d);
        const QImage image = DrawOne(u"Gg1"_qs, -1, c.d);
        EXPECT_TRUE(HeadAt(image, kX, up, c.filled) && HeadAt(image, kX, down, c.filled));
        // stems of 24 pixels: up from x + 4, down from x - 6
        EXPECT_EQ(Black(image, kX + 4, up - 10) && Black(image, kX + 4, up - 23), c.stem);
        EXPECT_EQ(Black(image, kX - 6, down + 10) && Black(image, kX - 6, down + 23), c.stem);
        EXPECT_TRUE(White(image, kX + 4, up - 26) && White(image, kX - 6, down + 26));
        // an upward flag hangs 14 rows from the stem's top, a second one 3 rows lower
        EXPECT_EQ(Black(image, kX + 12, up - 15) && Black(image, kX + 10, up - 11), c.flags >= 1);
        EXPECT_TRUE(White(image, kX + 10, up - 10));
        EXPECT_EQ(Black(image, kX + 5, up - 21) && Black(image, kX + 11, up - 9), c.flags >= 2);
        // a downward flag rises 3 to 14 rows above the stem's end, a second one 3 rows higher
        EXPECT_EQ(Black(image, kX + 2, down + 10) && Black(image, kX - 5, down + 21), c.flags >= 1);
        EXPECT_TRUE(White(image, kX - 5, down + 22));
        EXPECT_EQ(Black(image, kX + 2, down + 7) && Black(image, kX - 5, down + 18), c.flags >= 2);
        EXPECT_EQ(Black(image, kX + 8, up - 1) && Black(image, kX + 8, down - 1), c.dot);
    }
}

TEST(NotationDurationsTest, FlagsBelongToTheLastUpwardAndTheFirstDownwardStem) {
    // C (y = 156) and E (y = 148) in the bass, c1 (y = 78) and g1 (y = 62) in the treble.
    const QImage image = DrawOne(u"CEc1g1"_qs, -1, 2);
    EXPECT_TRUE(Black(image, kX + 2, 156 + 11) && White(image, kX + 2, 148 + 11));
    EXPECT_TRUE(Black(image, kX + 12, 62 - 15) && White(image, kX + 12, 78 - 15));
}

TEST(NotationDurationsTest, BlankAndFaultyCellsKeepThePreviousDuration) {
    const QImage image = Draw(QStringList(5, u"g1"_qs), 0, {u"16"_qs, u""_qs, u"x"_qs, u"2"_qs});
    const bool filled[] = {false, false, false, true, true};
    for (int column = 0; column < 5; ++column) {
        EXPECT_TRUE(HeadAt(image, ColumnX(column), 62, filled[column])) << column;
    }
    EXPECT_TRUE(HeadAt(Draw({u"g1"_qs}, 0), kX, 62, false)); // no duration at all: 8
}

struct AccidentalCase {
    QString chord;
    QString plain; // the same notes without the sign
    int y;         // of the note with the sign
    bool sharp;
};

void PrintTo(const AccidentalCase& c, std::ostream* out) {
    *out << '"' << c.chord.toStdString() << '"';
}

class NotationAccidentalTest : public ::testing::TestWithParam<AccidentalCase> {};

TEST_P(NotationAccidentalTest, SignStandsLeftOfItsNote) {
    const AccidentalCase& c = GetParam();
    const QImage image = DrawOne(c.chord, -1);
    const QRect sign = test::DifferenceBounds(image, DrawOne(c.plain, -1));
    ASSERT_FALSE(sign.isEmpty());
    EXPECT_TRUE(QRect(kX - 16, c.y - 12, 13, 24).contains(sign));
    EXPECT_TRUE(HeadAt(image, kX, c.y, true));
    // a sharp: upright strokes at x - 12 and x - 8, 20 pixels long, and two slanted bars
    const bool strokes = Black(image, kX - 12, c.y - 9) && Black(image, kX - 8, c.y + 9) &&
                         White(image, kX - 12, c.y - 11) && White(image, kX - 8, c.y + 11);
    const bool bars = Black(image, kX - 10, c.y - 2) && Black(image, kX - 10, c.y + 2);
    EXPECT_EQ(strokes && bars, c.sharp);
}

INSTANTIATE_TEST_SUITE_P(
    Chords, NotationAccidentalTest,
    ::testing::Values(AccidentalCase{u"f#"_qs, u"f"_qs, 116, true},
                      AccidentalCase{u"e*"_qs, u"e"_qs, 120, false},
                      AccidentalCase{u"ce1#"_qs, u"ce1"_qs, 70, true},
                      // b is h with a flat, B1 is H1 with a flat, and B2 H2 with its octave kept
                      AccidentalCase{u"b"_qs, u"h"_qs, 104, false},
                      AccidentalCase{u"B1"_qs, u"H1"_qs, 160, false},
                      AccidentalCase{u"B2"_qs, u"H2"_qs, 188, false}));

TEST(NotationAccidentalTest, OnlyOneSignIsRead) {
    EXPECT_TRUE(test::DifferenceBounds(DrawOne(u"e**"_qs, -1), DrawOne(u"e*"_qs, -1)).isEmpty());
    EXPECT_TRUE(test::DifferenceBounds(DrawOne(u"f#*"_qs, -1), DrawOne(u"f#"_qs, -1)).isEmpty());
}

class NotationLedgerTest : public ::testing::TestWithParam<ChordCase> {};

TEST_P(NotationLedgerTest, LedgerLinesReachTheNoteAndNoFurther) {
    const QImage image = DrawOne(GetParam().chord, GetParam().bassNotes);
    const std::vector<int>& ys = GetParam().ys;
    for (size_t i = 0; i + 1 < ys.size(); ++i) {
        SCOPED_TRACE(ys[i]);
        // from x - 8 to x + 10, shorter than the staff lines
        EXPECT_TRUE(Black(image, kX - 8, ys[i]) && Black(image, kX + 10, ys[i]));
        EXPECT_TRUE(White(image, kX - 9, ys[i]) && White(image, kX + 11, ys[i]));
    }
    EXPECT_TRUE(White(image, kX - 8, ys.back())); // where the next one would be
}

INSTANTIATE_TEST_SUITE_P(Chords, NotationLedgerTest,
                         ::testing::Values(ChordCase{u"c1"_qs, -1, {100, 92}},
                                           ChordCase{u"ce1gc"_qs, 0, {78, 86, 94, 102, 110}},
                                           ChordCase{u"c3"_qs, 0, {30, 22, 14}},
                                           ChordCase{u"C"_qs, -1, {148, 156, 164}},
                                           ChordCase{u"ce1g2"_qs, -1, {30}}));

TEST(NotationStaffTest, StaffSegmentsBarLinesAndClefs) {
    // Column 0 holds only a bar line, column 1 a note and a bar line.
    const QImage image = Draw({u"."_qs, u"c."_qs}, -1);
    for (int column : {0, 1}) {
        const int x = ColumnX(column) + 10;
        EXPECT_TRUE(Black(image, x, 40) && Black(image, x, 140));
        EXPECT_TRUE(White(image, x, 39) && White(image, x, 141));
    }
    EXPECT_TRUE(White(image, kX, 70) && White(image, kX, 140)); // a gap in the staff
    const int x = ColumnX(1);
    for (int y : {70, 62, 54, 46, 38, 140, 132, 124, 116, 108}) {
        EXPECT_TRUE(Black(image, x - 12, y) && Black(image, x + 16, y)) << y;
        EXPECT_TRUE(White(image, x - 13, y) && White(image, x + 17, y)) << y;
    }
    // the clefs with their short staff up to x = 44: cells of the first and last rows
    EXPECT_TRUE(Black(image, 14, 34) && Black(image, 15, 34) && White(image, 13, 34));
    EXPECT_TRUE(Black(image, 10, 79) && Black(image, 12, 79) && White(image, 13, 79));
    EXPECT_TRUE(Black(image, 9, 110) && Black(image, 22, 119) && Black(image, 5, 131));
    EXPECT_TRUE(Black(image, 44, 70) && White(image, 45, 70));

    const QImage trebleOnly = DrawOne(u"ce1gc"_qs, 0);
    EXPECT_TRUE(White(trebleOnly, 9, 110) && White(trebleOnly, 12, 140));
    EXPECT_TRUE(White(trebleOnly, kX + 12, 140) && Black(trebleOnly, kX + 12, 70));
}

TEST(NotationRobustnessTest, AnyTextIsDrawnInBlackAndWhite) {
    QStringList lines = {
        QString(u"cdefgah"_qs).repeated(2000),  // each note climbs far out of the picture
        QString(u"c9C9h9H9"_qs).repeated(2000), // written octaves far out of range
        u"#*:.0123456789:"_qs,
        u"c:"_qs,
        u"G:"_qs,
        u"e#"_qs,
        u"b"_qs,
        u"B"_qs,
    };
    QRandomGenerator random(4711);
    const QString alphabet = u"cdefgahCDEFGAHbB0123456789#*:.+-',() \t"_qs;
    for (int i = 0; i < 300; ++i) {
        QString line;
        for (int j = random.bounded(30); j > 0; --j) {
            line += alphabet.at(random.bounded(alphabet.size()));
        }
        lines.append(line);
    }
    for (int bassNotes = -1; bassNotes <= 4; ++bassNotes) {
        EXPECT_TRUE(test::OnlyBlackAndWhite(Draw(lines, bassNotes, {u"1"_qs}))) << bassNotes;
    }
}

} // namespace
} // namespace zk
