// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/chord_notation.h"
#include "sound/timbre.h"

#include <initializer_list>

namespace zk::test {

// A chord from its first tones; the remaining slots stay 0.
inline ChordFrequencies Chord(std::initializer_list<long double> tones) {
    ChordFrequencies chord;
    int i = 0;
    for (const long double f : tones) {
        chord[i++] = f;
    }
    return chord;
}

// The organ spectrum 75 50 30 15 10 5 as the samples see it.
inline const SampleTimbre kOrgan{TimbreMode::Obertoene, {11228, 8421, 5614, 3368, 1684, 1122, 561}};

} // namespace zk::test
