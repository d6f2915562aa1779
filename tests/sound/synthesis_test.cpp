// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/synthesis.h"

#include "support/errors.h"

#include "sound_test_helpers.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace zk {
namespace {

using test::Chord;

SampleTimbre Organ() {
    return test::kOrgan;
}
const SampleTimbre kSine{TimbreMode::Sinus, {}};
const SampleTimbre kSquare{TimbreMode::Rechteck, {}};
const SampleTimbre kSawtooth{TimbreMode::Saegezahn, {}};
const SampleTimbre kFundamentalOnly{TimbreMode::Obertoene, {32000, 0, 0, 0, 0, 0, 0}};

std::vector<int> Rendered(const ChordFrequencies& chord, const SampleTimbre& timbre,
                          std::int64_t first, std::int64_t count) {
    std::vector<std::int16_t> stereo(static_cast<std::size_t>(2 * count));
    RenderChordFrames(chord, timbre, first, count, stereo.data());
    std::vector<int> mono;
    for (std::int64_t i = 0; i < count; ++i) {
        EXPECT_EQ(stereo[2 * i], stereo[2 * i + 1]) << "both channels carry the same value";
        mono.push_back(stereo[2 * i]);
    }
    return mono;
}

TEST(Synthesis, FrameZeroIsSilentInEveryMode) {
    for (const SampleTimbre& timbre : {Organ(), kSine, kSquare, kSawtooth}) {
        const ChordFrequencies chord = Chord({440, 550, 660});
        EXPECT_EQ(ChordSample(0, chord, timbre), 0);
        EXPECT_EQ(Rendered(chord, timbre, 0, 1).front(), 0);
    }
}

TEST(Synthesis, AllPercentagesZeroSoundAsTheSine) {
    const ChordFrequencies chord = Chord({261.63});
    int peak = 0;
    for (std::int64_t n = 0; n < 4000; ++n) {
        const int sine = ChordSample(n, chord, kSine);
        EXPECT_EQ(ChordSample(n, chord, kFundamentalOnly), sine) << n;
        peak = std::max(peak, std::abs(sine));
    }
    EXPECT_EQ(peak, 4000);
}

TEST(Synthesis, FirstZeroFrequencyEndsTheChord) {
    // 440, 0, 660: only 440 Hz sounds.
    for (std::int64_t n = 1; n < 1000; n += 7) {
        EXPECT_EQ(ChordSample(n, Chord({440, 0, 660}), Organ()),
                  ChordSample(n, Chord({440}), Organ()))
            << n;
    }
    // A chord whose first slot is empty is silence.
    EXPECT_EQ(Rendered(Chord({0, 440}), Organ(), 0, 100), std::vector<int>(100, 0));
}

TEST(Synthesis, ADoubledToneSoundsWithTwiceTheAmplitude) {
    int peak = 0;
    for (std::int64_t n = 0; n < 200; ++n) {
        const int doubled = ChordSample(n, Chord({440, 440}), kSine);
        EXPECT_EQ(doubled, 2 * ChordSample(n, Chord({440}), kSine));
        peak = std::max(peak, doubled);
    }
    EXPECT_EQ(peak, 8000); // 440 Hz reaches its crest at frame 25
}

TEST(Synthesis, SquareAt11025HzRoundsHalvesToEven) {
    // y = n / 2: the halves 0.5, 1.5, 2.5 … round to the even neighbour.
    const std::vector<int> expected = {-4000, 4000, -4000, -4000, -4000, 4000, -4000, -4000};
    std::vector<int> literal;
    for (std::int64_t n = 1; n <= 8; ++n) {
        literal.push_back(ChordSample(n, Chord({11025}), kSquare));
    }
    EXPECT_EQ(literal, expected);
    EXPECT_EQ(Rendered(Chord({11025}), kSquare, 1, 8), expected);
}

TEST(Synthesis, SawtoothFallsFromPlusToMinus4000EachPeriod) {
    // 441 Hz: a period of exactly 100 frames.
    const struct {
        std::int64_t n;
        int value;
    } cases[] = {{1, 3920}, {25, 2000}, {50, 0}, {75, -2000}, {99, -3920}, {101, 3920}};
    for (const auto& c : cases) {
        EXPECT_EQ(ChordSample(c.n, Chord({441}), kSawtooth), c.value) << c.n;
    }
}

TEST(Synthesis, NegativeFrequenciesStayWithinTheVoiceBand) {
    for (const SampleTimbre& timbre : {Organ(), kSine, kSquare, kSawtooth}) {
        for (std::int64_t n = 1; n < 2000; ++n) {
            EXPECT_LE(std::abs(ChordSample(n, Chord({-123.4}), timbre)), 4003);
        }
    }
    // The sawtooth of a negative frequency is the time mirror of the positive one.
    EXPECT_EQ(ChordSample(25, Chord({-441}), kSawtooth), -2000);
}

TEST(Synthesis, EightLoudVoicesNeverLeaveThe16BitRange) {
    // Eight equal tones of the organ spectrum: the largest possible sum.
    const ChordFrequencies chord = Chord({97, 97, 97, 97, 97, 97, 97, 97});
    int peak = 0;
    for (std::int64_t n = 0; n < 44100 / 97 + 1; ++n) {
        peak = std::max(peak, std::abs(ChordSample(n, chord, Organ())));
    }
    EXPECT_GT(peak, 20000);
    EXPECT_LE(peak, 32767);
}

TEST(Synthesis, UnplayableFrequenciesAreRefused) {
    const long double bad[] = {std::numeric_limits<long double>::infinity(),
                               std::numeric_limits<long double>::quiet_NaN(), 2e12L};
    for (const long double f : bad) {
        EXPECT_THROW(CheckChordFrequencies(Chord({440, f})), RangeError);
    }
    // Tones after the first zero do not sound and are not checked.
    EXPECT_NO_THROW(CheckChordFrequencies(Chord({440, 0, 2e12L})));
}

// The fast renderer against the literal definition, over chords of every mode, from the start
// and from deep inside a long chord.
struct RenderCase {
    const char* what;
    ChordFrequencies chord;
    SampleTimbre timbre;
    std::int64_t first;
};

void PrintTo(const RenderCase& c, std::ostream* out) {
    *out << c.what;
}

class RenderMatchesLiteral : public ::testing::TestWithParam<RenderCase> {};

TEST_P(RenderMatchesLiteral, FrameByFrame) {
    const RenderCase& c = GetParam();
    constexpr std::int64_t kCount = 3000;
    const std::vector<int> fast = Rendered(c.chord, c.timbre, c.first, kCount);
    int differing = 0;
    for (std::int64_t j = 0; j < kCount; ++j) {
        const int literal = ChordSample(c.first + j, c.chord, c.timbre);
        // A partial whose value lies right at a rounding boundary may round the other way: at
        // most one step per voice, and rarely.
        EXPECT_LE(std::abs(fast[static_cast<std::size_t>(j)] - literal), 8) << j;
        differing += fast[static_cast<std::size_t>(j)] != literal;
    }
    EXPECT_LE(differing, kCount / 100);
}

INSTANTIATE_TEST_SUITE_P(
    Chords, RenderMatchesLiteral,
    ::testing::Values(RenderCase{"organ triad", Chord({132, 165, 198}), Organ(), 0},
                      RenderCase{"organ, eight voices, an hour in",
                                 Chord({132, 165, 198, 264, 330, 396, 528, 660.000001}), Organ(),
                                 158'000'000},
                      RenderCase{"sine, doubled tone", Chord({440, 440, 554.365}), kSine, 12345},
                      RenderCase{"sparse spectrum", Chord({97.5, 1234.5}),
                                 SampleTimbre{TimbreMode::Obertoene, {16000, 0, 0, 0, 0, 16000, 0}},
                                 7},
                      RenderCase{"square", Chord({11025, 440, 37.7}), kSquare, 0},
                      RenderCase{"sawtooth", Chord({441, 293.3}), kSawtooth, 44100},
                      RenderCase{"negative and ultrasonic", Chord({-220, 30000}), Organ(), 99}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) {
                ch = '_';
            }
        }
        return name;
    });

TEST(Synthesis, RenderingInPiecesContinuesThePhase) {
    // Rendered at once or in two pieces cut at an odd frame: the same wave, up to partials that lie
    // right at a rounding boundary (a periodic wave meets the same boundary once per period).
    const ChordFrequencies chord = Chord({110, 137.5, 165, 220.1});
    const std::vector<int> whole = Rendered(chord, Organ(), 0, 70000);
    std::vector<int> pieces = Rendered(chord, Organ(), 0, 333);
    const std::vector<int> rest = Rendered(chord, Organ(), 333, 70000 - 333);
    pieces.insert(pieces.end(), rest.begin(), rest.end());
    int differing = 0;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        ASSERT_LE(std::abs(pieces[i] - whole[i]), 4) << i;
        differing += pieces[i] != whole[i];
    }
    EXPECT_LE(differing, 350); // half a percent
}

} // namespace
} // namespace zk
