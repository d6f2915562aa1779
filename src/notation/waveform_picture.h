// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>

// The waveform picture ("Schwingungsbild"): the sample values of the last piece as a line graph
// in a wide strip, at one of seven horizontal scales. It borrows the notation window and draws
// into its picture until the notation is drawn again.

namespace zk {

class UserDialogs;

// The horizontal scales of the menu, in frames per pixel column.
inline constexpr std::array<int, 7> kWaveformScales = {1, 3, 10, 30, 100, 300, 1000};

// The picture's geometry in pixels. The zero line lies at y = 150; the graph covers the columns
// x = 0 .. 1200 and stops after the first point beyond them.
inline constexpr int kWaveformZeroLine = 150;
inline constexpr int kWaveformLastColumn = 1200;
inline constexpr int kWaveformHeight = 400;
// A picture that holds every column the graph can reach (0 .. 1201) and the frame right of them.
inline constexpr int kWaveformFullWidth = kWaveformLastColumn + 3;

// The vertical factor of a scale, in ten-thousandths of a pixel per sample unit: 100 at 1:1, so
// that one voice (±4000) swings ±40 pixels, falling to 50 at 1:300 and 1:1000 where more of the
// piece shares a column. Any other scale gets 100.
int WaveformVerticalFactor(int scale);

// Whether `scale` is one of the seven of the menu.
bool IsWaveformScale(int scale);

// The window's caption: "Schwingungsbild 1:" and the scale.
QString WaveformCaption(int scale);

// Where the notation window goes for the waveform: a strip over the whole screen width, 400
// pixels high, 400 pixels below the top.
QRect WaveformWindowGeometry(int screenWidth);

// The sound the picture draws: the chords of the piece in order, each with its frames, computed
// on demand in the timbre in force.
class WaveformSource {
public:
    virtual ~WaveformSource() = default;
    virtual std::size_t ChordCount() const = 0;
    // The frames of a chord (none for a chord of no duration).
    virtual std::int64_t ChordFrames(std::size_t chord) const = 0;
    // The sample values of frames first .. first + count − 1 of the chord, counted from the
    // chord's start, one channel.
    virtual void ChordSamples(std::size_t chord, std::int64_t first, std::int64_t count,
                              std::int16_t* samples) const = 0;
};

struct WaveformDrawing {
    bool drawn = false;
    std::int64_t framesDrawn = 0; // frames of the piece that went into the graph
    bool cut = false;             // the piece goes on beyond the last column
};

// Draws the waveform of `source` at 1:scale into `image`, which becomes a white, framed picture
// `width` pixels wide and kWaveformHeight high. Frame k of the piece (counted from 1 across all
// chords, each chord starting its phase at 0) lies at x = k div scale, y = 150 + (w × v) div
// 10000 for its sample value w, and the frames are joined by lines from (0, 150) on. Only the
// frames up to the first beyond column 1200 are computed, so a piece of hours costs no more than
// a short one.
//
// A piece without chords is reported through `dialogs` ("Bitte zuerst Stück spielen!") and a
// piece of no duration draws nothing; in both cases `image` stays as it was.
WaveformDrawing DrawWaveform(QImage& image, int width, int scale, const WaveformSource& source,
                             UserDialogs& dialogs);

// Writes the caption into the picture's bottom left corner, for a picture that is shown without
// its window (a PNG file).
void DrawWaveformCaption(QImage& image, int scale);

} // namespace zk
