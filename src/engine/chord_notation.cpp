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

ChordFrequencies RowFrequencies(const QString& chord, const QString& keyText,
                                long double kammertonFactor, TonartScale& scale) {
    if (!(kammertonFactor > 0) || !std::isfinite(kammertonFactor)) {
        throw MathError(kFrequencyRangeMessage);
    }
    ChordFrequencies result;
    const bool equalTempered = keyText.startsWith(u'~');
    int pos = 1;
    for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
        const ParsedTone tone = ParseTone(chord, pos, keyText, scale);
        long double f = tone.frequency;
        if (f <= 0) {
            result[i] = 0;
            continue;
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
        if (i > 0 && !tone.digitGiven) {
            while (f <= result[i - 1]) {
                f = CheckedResult(f * 2, kFrequencyRangeMessage);
            }
        }
        result[i] = f;
    }
    return result;
}

} // namespace zk
