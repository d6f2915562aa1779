// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/chord_notation.h"

#include "support/checked_math.h"

#include <cmath>

namespace zk {

ParsedTone ParseTone(const QString& text, int& pos, const QString& keyText, TonartScale& scale) {
    if (keyText.size() > 1 && keyText.at(0) == u'm') {
        scale.SetTonart(keyText, 440);
    }
    return ParseTone(text, pos);
}

ChordReader::ChordReader(const QString& chord, const QString& keyText, long double kammertonFactor,
                         TonartScale& scale)
    : m_chord(chord), m_keyText(keyText), m_kammertonFactor(kammertonFactor), m_scale(scale),
      m_equalTempered(keyText.startsWith(u'~')) {
    if (!(kammertonFactor > 0) || !std::isfinite(kammertonFactor)) {
        throw MathError(kFrequencyRangeMessage);
    }
}

long double SoundingFrequency(const ParsedTone& tone, long double previous, bool equalTempered,
                              long double kammertonFactor, const TonartScale& scale) {
    long double f = tone.frequency;
    if (f <= 0) {
        return 0;
    }
    if (!equalTempered) {
        f = scale.SnapToTonart(f, tone.modifiers);
    }
    if (kammertonFactor != 1) {
        f = CheckedResult(f * kammertonFactor, kFrequencyRangeMessage);
        if (f <= 0) {
            // The tone vanished below the smallest representable number.
            throw MathError(kFrequencyRangeMessage);
        }
    }
    // A tone without an octave digit always sounds above the tone before it; after an empty
    // slot there is nothing to compare with.
    if (!tone.digitGiven) {
        while (f <= previous) {
            f = CheckedResult(f * 2, kFrequencyRangeMessage);
        }
    }
    return f;
}

long double ChordReader::NextSlot() {
    const int i = m_slot++;
    if (i >= ChordFrequencies::kSlots) {
        return 0;
    }
    const ParsedTone tone = ParseTone(m_chord, m_pos, m_keyText, m_scale);
    // Zero the slot first: a tone that throws leaves it empty.
    m_frequencies[i] = 0;
    const long double previous = i > 0 ? m_frequencies[i - 1] : 0;
    return m_frequencies[i] =
               SoundingFrequency(tone, previous, m_equalTempered, m_kammertonFactor, m_scale);
}

ChordFrequencies RowFrequencies(const QString& chord, const QString& keyText,
                                long double kammertonFactor, TonartScale& scale) {
    ChordReader reader(chord, keyText, kammertonFactor, scale);
    for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
        reader.NextSlot();
    }
    return reader.Frequencies();
}

} // namespace zk
