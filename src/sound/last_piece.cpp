// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/last_piece.h"

#include "sound/synthesis.h"

namespace zk {

long double TopFrequency(const ChordRecord& record) {
    for (int i = ChordFrequencies::kSlots - 1; i >= 1; --i) {
        if (record.frequencies[i] != 0) {
            return record.frequencies[i];
        }
    }
    return record.frequencies[0];
}

void LastPiece::AppendToLastPiece(int dauer, const ChordFrequencies& frequencies) {
    m_records.push_back({dauer, frequencies});
    const std::size_t j = m_records.size() - 1;
    if (j >= 1 && TopFrequency(j) == TopFrequency(j - 1)) {
        m_records.insert(m_records.begin() + static_cast<std::ptrdiff_t>(j),
                         ChordRecord{1, ChordFrequencies{}});
    }
}

long double LastPiece::TopFrequency(std::size_t index) const {
    return zk::TopFrequency(m_records.at(index));
}

std::int64_t LastPiece::FrameCount() const {
    std::int64_t frames = 0;
    for (const ChordRecord& record : m_records) {
        frames += ChordFrameCount(record.dauer);
    }
    return frames;
}

} // namespace zk
