// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/chord_notation.h"
#include "sound/timbre.h"

#include <cstdint>

// Sample synthesis: 44100 frames per second, 16-bit signed, two equal channels. A chord's Dauer
// counts hundredths of a second, 441 frames each.

namespace zk {

inline constexpr int kFrameRate = 44100;
inline constexpr int kFramesPerDauer = 441;
inline constexpr int kBytesPerFrame = 4;

// The longest chord that is synthesised: one hour.
inline constexpr int kMaxDauer = 360000;

// Frames of a chord of Dauer d: d × 441 − 1 (one short of the full length), none for d ≤ 0.
std::int64_t ChordFrameCount(std::int64_t dauer);

// The value of one tone at x = frequency × frame index, in the given timbre. This is the
// reference definition, one sine per partial; RenderChordFrames computes the same values fast.
int VoiceSample(double x, const SampleTimbre& timbre);

// The chord's value at frame n (0 at the chord's start). The first zero frequency ends the chord;
// a tone equal to the one before it is not recomputed but counted twice.
int ChordSample(std::int64_t n, const ChordFrequencies& frequencies, const SampleTimbre& timbre);

// Throws RangeError with a German message for a Dauer beyond one hour: its samples would fill
// gigabytes.
void CheckChordDauer(std::int64_t dauer);

// Throws RangeError with a German message for a frequency that cannot be synthesised (not a
// number, infinite or beyond 10^12 Hz) among the tones that sound.
void CheckChordFrequencies(const ChordFrequencies& frequencies);

// Writes the frames first .. first + count − 1 of the chord as interleaved stereo samples
// (2 × count values) to `stereo`. Equal to ChordSample frame by frame up to the last bits of the
// sines: a partial whose value lies right at a rounding boundary may round the other way (rare,
// and at most one step per voice).
void RenderChordFrames(const ChordFrequencies& frequencies, const SampleTimbre& timbre,
                       std::int64_t first, std::int64_t count, std::int16_t* stereo);

} // namespace zk
