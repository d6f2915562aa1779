// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/chord_notation.h"
#include "sound/timbre.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// WAV images: the 44-byte header the program writes (PCM, 2 channels, 44100 Hz, 16 bit), the
// image of one chord, the whole last piece as one file, and the reading of any PCM WAV file for
// playback.

namespace zk {

class LastPiece;

inline constexpr int kWavHeaderSize = 44;

// The most frames one WAV file can hold: the RIFF size (data size + 36) must fit 32 bits.
inline constexpr std::int64_t kMaxWavFrames = (0xFFFFFFFFLL - 36) / 4;

// The header for `frames` frames of 16-bit stereo at 44100 Hz. Throws RangeError beyond
// kMaxWavFrames.
QByteArray WavHeader(std::int64_t frames);

// The complete image of a chord of Dauer `dauer`: header and ChordFrameCount(dauer) frames.
// Throws RangeError for a Dauer beyond one hour or a frequency that cannot be synthesised.
QByteArray ChordWavImage(int dauer, const ChordFrequencies& frequencies,
                         const SampleTimbre& timbre);

// Writes every record of the piece as one WAV file at `path`, each chord from its own frame 0,
// in the given timbre. Writes record by record; the file is replaced only when it is complete.
// Throws RangeError (piece too long for a WAV file, nothing written) or FileError.
void WriteLastPieceWav(const QString& path, const LastPiece& piece, const SampleTimbre& timbre);

// Linear PCM as read from a WAV file, converted to 16-bit samples, channels interleaved.
struct PcmSound {
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;
};

// Reads a RIFF/WAVE image: PCM of 8, 16, 24 or 32 bits, 32- or 64-bit float, plain or
// "extensible", any number of channels and any rate. A data chunk that claims more than the
// file holds is read as far as it goes. Throws FileError with a German message for anything
// else.
PcmSound DecodeWav(const QByteArray& image);

// The sound as 44100 Hz stereo 16-bit frames (little-endian bytes, no header): mono doubled,
// more than two channels reduced to the first two, other rates resampled linearly.
QByteArray ToOutputFrames(const PcmSound& sound);

} // namespace zk
