// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/last_piece_waveform.h"

#include "sound/synthesis.h"

#include <vector>

namespace zk {

std::int64_t LastPieceWaveform::ChordFrames(std::size_t chord) const {
    return ChordFrameCount(m_piece.Records().at(chord).dauer);
}

void LastPieceWaveform::ChordSamples(std::size_t chord, std::int64_t first, std::int64_t count,
                                     std::int16_t* samples) const {
    // Both channels carry the same value; the picture takes the left one.
    std::vector<std::int16_t> stereo(static_cast<std::size_t>(2 * count));
    RenderChordFrames(m_piece.Records().at(chord).frequencies, m_timbre, first, count,
                      stereo.data());
    for (std::int64_t n = 0; n < count; ++n) {
        samples[n] = stereo[static_cast<std::size_t>(2 * n)];
    }
}

} // namespace zk
