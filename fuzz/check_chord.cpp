// SPDX-License-Identifier: GPL-3.0-or-later
// A key entry and a chord in the letter notation (first line the key, the rest the chord): every
// slot is a frequency or empty, the tone reader moves on with every call, and a tone without an
// octave digit sounds above the tone before it.
#include "fuzz_checks.h"

#include "engine/chord_notation.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "engine/tone_names.h"
#include "support/errors.h"

#include <cmath>

namespace zk::fuzz {

void CheckChord(const QByteArray& input) {
    const QStringList parts = InputParts(input, 2);
    const QString& key = parts[0];
    const QString& chord = parts[1];

    // The tone names one by one, as far as the text goes.
    std::array<bool, ChordFrequencies::kSlots> digitGiven{};
    int pos = 1;
    for (int slot = 0; pos <= chord.size(); ++slot) {
        const int before = pos;
        try {
            const ParsedTone tone = ParseTone(chord, pos);
            if (slot < ChordFrequencies::kSlots) {
                digitGiven[static_cast<std::size_t>(slot)] = tone.digitGiven;
            }
            Require(std::isfinite(tone.frequency) && tone.frequency >= 0,
                    "a tone name gives no frequency");
        } catch (const MathError&) {
            break;
        }
        Require(pos > before, "the tone reader stalls at position " + std::to_string(before));
    }

    TemperamentList temperaments;
    TonartScale scale(&temperaments);
    try {
        if (!key.trimmed().isEmpty()) {
            scale.EnterKey(key);
        }
        const ChordFrequencies frequencies = RowFrequencies(chord, key.trimmed(), 1, scale);
        for (int slot = 0; slot < ChordFrequencies::kSlots; ++slot) {
            const long double f = frequencies[slot];
            Require(std::isfinite(f) && f >= 0, "a slot is no frequency");
            const long double previous = slot > 0 ? frequencies[slot - 1] : 0;
            if (f > 0 && previous > 0 && !digitGiven[static_cast<std::size_t>(slot)]) {
                Require(f > previous, "a tone without octave digit does not sound above the tone "
                                      "before it in slot " +
                                          std::to_string(slot + 1));
            }
        }
    } catch (const MathError&) {
    }
}

} // namespace zk::fuzz
