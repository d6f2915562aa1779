// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/key_scale.h"
#include "engine/tone_names.h"

#include <QString>

#include <array>

// A row's chord written in the letter notation ("c1c2e2*g2"): up to eight tone slots, each snapped
// to the key in force, scaled by the concert pitch and raised by octaves so that a tone without an
// octave digit sounds above the tone before it.

namespace zk {

// The eight frequencies of one chord in Hz, first slot first; 0 marks an empty slot.
struct ChordFrequencies {
    static constexpr int kSlots = 8;
    std::array<long double, kSlots> f{};

    long double operator[](int i) const { return f.at(static_cast<std::size_t>(i)); }
    long double& operator[](int i) { return f.at(static_cast<std::size_t>(i)); }
    bool operator==(const ChordFrequencies&) const = default;
};

// `ParseTone` as the pass calls it: when the key text in force selects a temperament ("m" and at
// least one more character) the scale is first rebuilt from that temperament with a = 440 Hz, so
// that edits of the list take effect at once. Then one slot is read as by ParseTone(text, pos).
ParsedTone ParseTone(const QString& text, int& pos, const QString& keyText, TonartScale& scale);

// The sounding frequency of one slot as ParseTone read it: snapped to the key unless the key is
// equal temperament, scaled by the concert pitch, and, unless an octave digit was written, raised
// by octaves above `previous`, the slot before it (0 when that slot is empty or there is none).
// 0 for an empty slot. Throws MathError when the tone leaves the representable range.
long double SoundingFrequency(const ParsedTone& tone, long double previous, bool equalTempered,
                              long double kammertonFactor, const TonartScale& scale);

// Reads the eight slots of a row's chord one at a time, each snapped to the key, scaled by the
// concert pitch and raised by octaves, so that the tones read before a slot that fails are known.
class ChordReader {
public:
    // Throws MathError for a concert-pitch factor that is not a positive number.
    ChordReader(const QString& chord, const QString& keyText, long double kammertonFactor,
                TonartScale& scale);

    // The frequency of the next slot (0 for an empty slot), also kept in Frequencies(). Throws
    // MathError when the tone leaves the representable range; the slot then stays 0.
    long double NextSlot();

    // The slots read so far; the others are 0.
    const ChordFrequencies& Frequencies() const { return m_frequencies; }

private:
    const QString& m_chord;
    const QString& m_keyText;
    long double m_kammertonFactor;
    TonartScale& m_scale;
    bool m_equalTempered;
    int m_pos = 1;
    int m_slot = 0;
    ChordFrequencies m_frequencies;
};

// The frequencies of one row: eight slots read from the start of `chord`; text after the eighth
// slot is ignored. Under a key text starting with "~" nothing is snapped (equal temperament,
// modifiers without effect). `kammertonFactor` is the concert pitch divided by 440. Throws
// MathError when a tone leaves the representable range.
ChordFrequencies RowFrequencies(const QString& chord, const QString& keyText,
                                long double kammertonFactor, TonartScale& scale);

} // namespace zk
