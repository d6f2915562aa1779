// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/chord_notation.h"

#include <cstdint>
#include <vector>

// The record of the chords played since the last clearing, from which the whole piece is written
// as one WAV file or drawn as a waveform.

namespace zk {

// One chord: its Dauer in hundredths of a second and its eight frequencies in Hz (0 = no tone;
// the first zero ends what is heard, later tones stay in the record).
struct ChordRecord {
    int dauer = 0;
    ChordFrequencies frequencies;
    bool operator==(const ChordRecord&) const = default;
};

// The last non-zero frequency of f8, f7, …, f2, else f1 (which may be 0).
long double TopFrequency(const ChordRecord& record);

class LastPiece {
public:
    void ClearLastPiece() { m_records.clear(); }

    // Appends the chord. When its top tone equals the previous record's exactly, a rest of Dauer 1
    // goes before it, so that the repeated tone is struck again in the rendered piece.
    void AppendToLastPiece(int dauer, const ChordFrequencies& frequencies);

    long double TopFrequency(std::size_t index) const;

    const std::vector<ChordRecord>& Records() const { return m_records; }
    std::size_t size() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }

    // Frames of the whole piece: the sum of every record's frames.
    std::int64_t FrameCount() const;

private:
    std::vector<ChordRecord> m_records;
};

} // namespace zk
