// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notation/waveform_picture.h"
#include "sound/last_piece.h"
#include "sound/timbre.h"

// The last piece as the waveform picture reads it: its chords, rendered in the timbre in force
// when the picture is drawn, with the same samples the whole-piece WAV file holds.

namespace zk {

class LastPieceWaveform : public WaveformSource {
public:
    LastPieceWaveform(const LastPiece& piece, const SampleTimbre& timbre)
        : m_piece(piece), m_timbre(timbre) {}

    std::size_t ChordCount() const override { return m_piece.size(); }
    std::int64_t ChordFrames(std::size_t chord) const override;
    void ChordSamples(std::size_t chord, std::int64_t first, std::int64_t count,
                      std::int16_t* samples) const override;

private:
    const LastPiece& m_piece;
    SampleTimbre m_timbre;
};

} // namespace zk
