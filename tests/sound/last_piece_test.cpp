// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/last_piece.h"

#include "sound_test_helpers.h"

#include <gtest/gtest.h>

#include <ostream>

#include <vector>

namespace zk {
namespace {

using test::Chord;

TEST(TopFrequency, IsTheLastNonZeroToneElseTheFirst) {
    const struct {
        ChordFrequencies chord;
        long double top;
    } cases[] = {
        {Chord({132, 165, 198}), 198},        // the last tone of a triad
        {Chord({132, 0, 198}), 198},          // a tone after a gap still counts as the top
        {Chord({440}), 440},                  // a single tone
        {Chord({}), 0},                       // a rest
        {Chord({1, 2, 3, 4, 5, 6, 7, 8}), 8}, // all eight slots
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TopFrequency(ChordRecord{10, c.chord}), c.top);
    }
}

struct AppendCase {
    const char* what;
    std::vector<ChordRecord> appended;
    std::vector<ChordRecord> expected;
};

void PrintTo(const AppendCase& c, std::ostream* out) {
    *out << c.what;
}

class AppendToLastPieceTest : public ::testing::TestWithParam<AppendCase> {};

TEST_P(AppendToLastPieceTest, InsertsARestBeforeARepeatedTopTone) {
    LastPiece piece;
    for (const ChordRecord& record : GetParam().appended) {
        piece.AppendToLastPiece(record.dauer, record.frequencies);
    }
    EXPECT_EQ(piece.Records(), GetParam().expected);
}

const ChordRecord kRest1{1, {}};

INSTANTIATE_TEST_SUITE_P(
    Pieces, AppendToLastPieceTest,
    ::testing::Values(
        AppendCase{"same top tone: chord, rest of 1, chord",
                   {{184, Chord({132, 198})}, {92, Chord({165, 198})}},
                   {{184, Chord({132, 198})}, kRest1, {92, Chord({165, 198})}}},
        AppendCase{"different top tone: no rest",
                   {{184, Chord({132, 198})}, {92, Chord({132, 264})}},
                   {{184, Chord({132, 198})}, {92, Chord({132, 264})}}},
        AppendCase{"two rests in a row get a rest between them",
                   {{50, Chord({})}, {50, Chord({})}},
                   {{50, Chord({})}, kRest1, {50, Chord({})}}},
        AppendCase{"the first chord never gets a rest", {{7, Chord({440})}}, {{7, Chord({440})}}},
        AppendCase{"compared with the record before, which may be an inserted rest",
                   {{10, Chord({440})}, {10, Chord({440})}, {10, Chord({440})}},
                   {{10, Chord({440})}, kRest1, {10, Chord({440})}, kRest1, {10, Chord({440})}}}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

} // namespace
} // namespace zk
