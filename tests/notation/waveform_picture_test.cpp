// SPDX-License-Identifier: GPL-3.0-or-later
#include "notation/waveform_picture.h"

#include "common/scripted_dialogs.h"
#include "notation/pixel_probe.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace zk {
namespace {

using test::Black;

// Chords given by a sample function of the frame within the chord. Counts the frames computed.
class FakeSource : public WaveformSource {
public:
    struct Chord {
        std::int64_t frames;
        std::function<int(std::int64_t)> sample;
    };
    explicit FakeSource(std::vector<Chord> chords) : m_chords(std::move(chords)) {}

    std::size_t ChordCount() const override { return m_chords.size(); }
    std::int64_t ChordFrames(std::size_t chord) const override { return m_chords.at(chord).frames; }
    void ChordSamples(std::size_t chord, std::int64_t first, std::int64_t count,
                      std::int16_t* samples) const override {
        const Chord& c = m_chords.at(chord);
        EXPECT_GE(first, 0);
        EXPECT_LE(first + count, c.frames);
        for (std::int64_t n = 0; n < count; ++n) {
            samples[n] = static_cast<std::int16_t>(c.sample(first + n));
        }
        computed += count;
    }

    mutable std::int64_t computed = 0;

private:
    std::vector<Chord> m_chords;
};

// One voice of a sine as the synthesis computes it: amplitude 4000.
int Sine(double frequency, std::int64_t n) {
    return static_cast<int>(std::nearbyint(
        std::sin(std::numbers::pi * frequency * static_cast<double>(n) / 22050) * 4000));
}

// The black rows of column x, inside the frame.
std::vector<int> BlackRows(const QImage& image, int x) {
    std::vector<int> rows;
    for (int y = 1; y < image.height() - 1; ++y) {
        if (Black(image, x, y)) {
            rows.push_back(y);
        }
    }
    return rows;
}

bool ColumnEmpty(const QImage& image, int x) {
    return BlackRows(image, x).empty();
}

struct Drawn {
    WaveformDrawing drawing;
    QImage image;
};

Drawn Draw(const WaveformSource& source, int scale, int width = 1600) {
    test::ScriptedDialogs dialogs;
    Drawn result;
    result.drawing = DrawWaveform(result.image, width, scale, source, dialogs);
    EXPECT_TRUE(dialogs.textDialogs.isEmpty());
    return result;
}

TEST(WaveformPictureTest, SineAtOneToOneSwingsFortyPixelsAroundTheZeroLine) {
    // One second of a 440 Hz sine, one voice.
    const FakeSource source({{44099, [](std::int64_t n) { return Sine(440, n); }}});
    const Drawn d = Draw(source, 1);
    ASSERT_TRUE(d.drawing.drawn);
    EXPECT_EQ(d.image.size(), QSize(1600, kWaveformHeight));
    int top = kWaveformHeight;
    int bottom = 0;
    std::vector<int> troughs; // columns that come within a pixel of the top, y = 110
    for (int x = 1; x <= kWaveformLastColumn; ++x) {
        const std::vector<int> rows = BlackRows(d.image, x);
        ASSERT_FALSE(rows.empty()) << x;
        top = std::min(top, rows.front());
        bottom = std::max(bottom, rows.back());
        if (rows.front() <= 111 && (troughs.empty() || x - troughs.back() > 10)) {
            troughs.push_back(x);
        }
        // Frame k of the piece (frame k − 1 of the chord) lies at x = k.
        EXPECT_TRUE(Black(d.image, x, 150 + Sine(440, x - 1) / 100)) << x;
    }
    EXPECT_EQ(top, 110);
    EXPECT_EQ(bottom, 190);
    // A period of 44100 / 440 = 100.2 frames, one column each.
    ASSERT_GE(troughs.size(), 10U);
    EXPECT_NEAR((troughs.back() - troughs.front()) / static_cast<double>(troughs.size() - 1), 100.2,
                1.0);
    EXPECT_TRUE(d.drawing.cut);
    EXPECT_EQ(d.drawing.framesDrawn, 1201);
}

TEST(WaveformPictureTest, ScalesSetTheVerticalFactor) {
    // A constant sample value lies at 150 + (w × v) div 10000, truncated toward zero.
    const struct {
        int scale;
        int sample;
        int y;
    } cases[] = {
        {1, 10000, 250},    {3, 10000, 240},   {10, 10000, 230},
        {30, 10000, 220},   {100, 10000, 210}, {300, 10000, 200},
        {1000, 10000, 200}, {7, 10000, 250}, // a scale not in the menu: factor 100
        {1, 199, 151},                       // 1.99 pixels down: one
        {1, -199, 149},                      // 1.99 pixels up: one, not two
        {100, -32768, -46},                  // beyond the picture's top: nothing drawn there
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scale);
        SCOPED_TRACE(c.sample);
        const FakeSource source({{60000, [&](std::int64_t) { return c.sample; }}});
        const Drawn d = Draw(source, c.scale);
        ASSERT_TRUE(d.drawing.drawn);
        const int x = 50;
        const std::vector<int> rows = BlackRows(d.image, x);
        if (c.y < 1) {
            EXPECT_TRUE(rows.empty());
        } else {
            EXPECT_EQ(rows, std::vector<int>{c.y});
        }
    }
}

TEST(WaveformPictureTest, LongPiecesAreCutAfterTheFirstPointBeyondColumn1200) {
    for (const int scale : kWaveformScales) {
        SCOPED_TRACE(scale);
        // A piece of an hour in chords of ten minutes, alternating ±4000 frame by frame.
        std::vector<FakeSource::Chord> chords(
            6, {26460000, [](std::int64_t n) { return n % 2 == 0 ? 4000 : -4000; }});
        const FakeSource source(std::move(chords));
        const Drawn d = Draw(source, scale);
        ASSERT_TRUE(d.drawing.drawn);
        EXPECT_TRUE(d.drawing.cut);
        EXPECT_EQ(d.drawing.framesDrawn, 1201LL * scale);
        EXPECT_FALSE(ColumnEmpty(d.image, 1200));
        EXPECT_FALSE(ColumnEmpty(d.image, 1201));
        for (int x = 1202; x < d.image.width() - 1; ++x) {
            ASSERT_TRUE(ColumnEmpty(d.image, x)) << x;
        }
        // Only what is drawn is computed, in blocks of a few thousand frames.
        EXPECT_LT(source.computed, 1201LL * scale + 5000);
    }
}

TEST(WaveformPictureTest, FramesCountOnAcrossChordsAndEachChordStartsAtItsFrameZero) {
    // Two chords of 100 frames: the first at +4000 (y 190), the second at −4000 (y 110). Each
    // sees its frames from 0, so the value at its own frame 0 is 0 (y 150).
    const auto chord = [](int value) {
        return FakeSource::Chord{100, [value](std::int64_t n) { return n == 0 ? 0 : value; }};
    };
    const FakeSource source({chord(4000), chord(-4000)});
    const Drawn d = Draw(source, 1);
    ASSERT_TRUE(d.drawing.drawn);
    EXPECT_FALSE(d.drawing.cut);
    EXPECT_EQ(d.drawing.framesDrawn, 200);
    EXPECT_EQ(BlackRows(d.image, 50), std::vector<int>{190});
    EXPECT_EQ(BlackRows(d.image, 150), std::vector<int>{110});
    // Frame 0 of the second chord is frame 101 of the piece.
    EXPECT_TRUE(Black(d.image, 101, 150));
    EXPECT_TRUE(ColumnEmpty(d.image, 201));
}

TEST(WaveformPictureTest, PictureIsWhiteAndFramed) {
    const FakeSource source({{10, [](std::int64_t) { return 0; }}});
    const Drawn d = Draw(source, 1, 900);
    ASSERT_EQ(d.image.size(), QSize(900, 400));
    for (const auto& [x, y] : {std::pair{0, 0},
                               {899, 0},
                               {0, 399},
                               {899, 399},
                               {450, 0},
                               {450, 399},
                               {0, 200},
                               {899, 200}}) {
        EXPECT_TRUE(Black(d.image, x, y)) << x << "," << y;
    }
    EXPECT_TRUE(test::White(d.image, 898, 1));
    EXPECT_TRUE(test::White(d.image, 450, 200));
    EXPECT_TRUE(test::OnlyBlackAndWhite(d.image));
}

// Each frame drawn as its own line from the point before, as the sound's graph is defined.
QImage ReferenceDrawing(const std::vector<int>& samples, int scale, int width) {
    QImage image(width, kWaveformHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(0, 0, width - 1, kWaveformHeight - 1);
    QPoint pen(0, kWaveformZeroLine);
    const int v = WaveformVerticalFactor(scale);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto k = static_cast<int>(i + 1);
        const QPoint next(k / scale, kWaveformZeroLine + samples[i] * v / 10000);
        painter.drawLine(pen, next);
        pen = next;
        if (next.x() > kWaveformLastColumn) {
            break;
        }
    }
    return image;
}

TEST(WaveformPictureTest, EqualsOneLinePerFrame) {
    // A rough signal with jumps, so that columns hold both long strokes and single points.
    std::vector<int> samples(40000);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        state = state * 1664525U + 1013904223U;
        const int noise = static_cast<int>(state >> 20) - 2048;
        samples[i] = (i / 700) % 2 == 0 ? noise * 4 : Sine(97, static_cast<std::int64_t>(i));
    }
    for (const int scale : {1, 3, 10, 30}) {
        SCOPED_TRACE(scale);
        const FakeSource source({{static_cast<std::int64_t>(samples.size()), [&](std::int64_t n) {
                                      return samples[static_cast<std::size_t>(n)];
                                  }}});
        const Drawn d = Draw(source, scale, 1300);
        const QImage reference = ReferenceDrawing(samples, scale, 1300);
        EXPECT_EQ(test::DifferenceBounds(d.image, reference), QRect());
    }
}

TEST(WaveformPictureTest, EmptyPieceIsReportedAndNothingIsDrawn) {
    QImage image(64, 200, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QImage before = image;

    test::ScriptedDialogs dialogs;
    const FakeSource empty({});
    EXPECT_FALSE(DrawWaveform(image, 1600, 100, empty, dialogs).drawn);
    ASSERT_EQ(dialogs.textDialogs.size(), 1);
    EXPECT_EQ(dialogs.textDialogs[0].caption, u"Frequenzbild kann noch nicht gezeigt werden."_qs);
    EXPECT_EQ(dialogs.textDialogs[0].text, u"Bitte zuerst Stück spielen!"_qs);
    EXPECT_EQ(dialogs.textDialogs[0].mode, TextDialogMode::OkPrint);
    EXPECT_EQ(image, before);

    // Chords without duration: nothing to draw and nothing to say.
    const FakeSource silent(
        {{0, [](std::int64_t) { return 0; }}, {0, [](std::int64_t) { return 0; }}});
    EXPECT_FALSE(DrawWaveform(image, 1600, 100, silent, dialogs).drawn);
    EXPECT_EQ(dialogs.textDialogs.size(), 1);
    EXPECT_EQ(image, before);
}

TEST(WaveformPictureTest, CaptionNamesTheScale) {
    EXPECT_EQ(WaveformCaption(30), u"Schwingungsbild 1:30"_qs);
    // In a picture without its window the caption stands in the bottom left corner.
    const FakeSource source({{10, [](std::int64_t) { return 0; }}});
    Drawn d = Draw(source, 30);
    const QImage before = d.image;
    DrawWaveformCaption(d.image, 30);
    const QRect changed = test::DifferenceBounds(before, d.image);
    ASSERT_FALSE(changed.isEmpty());
    EXPECT_GT(changed.top(), kWaveformZeroLine + 160);
    EXPECT_LT(changed.right(), 400);
}

} // namespace
} // namespace zk
