// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/tone_names.h"

#include <QString>

#include <array>
#include <optional>

// The current key (`TonartScale`): twelve degrees and the octave, either the just scale on a tonic
// or a temperament from the temperament list, and the snapping of any tone to its nearest degree.

namespace zk {

class TemperamentList;

class TonartScale {
public:
    // Thirteen frequencies in Hz, S[12] = 2 × S[0].
    using Degrees = std::array<long double, 13>;

    // The just scale on a1 = 440 Hz, as at the start of every pass. Tempered codes are looked up
    // in `temperaments`; without a list every code gives just intonation.
    explicit TonartScale(TemperamentList* temperaments = nullptr);

    // Builds the scale for a key code on frequency x. A code of at least two characters whose
    // first is "m" selects a temperament row (x is then the frequency of the tone a); every other
    // code, and a code that no row begins with, gives the just scale on tonic x. Throws MathError
    // when x is not a positive frequency whose scale can be represented (the scale is then left
    // as it was).
    void SetTonart(const QString& code, long double x);

    // The just scale: 1, 16/15, 9/8, 6/5, 5/4, 4/3, 45/32, 3/2, 8/5, 5/3, 9/5, 15/8, 2 times x.
    void SetJust(long double x);

    // The tempered scale of a row's value text (twelve deviations in cents from equal temperament
    // for a, b, h, c, des, d, es, e, f, fis, g, as) with x the frequency of a. A missing,
    // unreadable or too large value counts as 0 cents and adds the error line to the temperament
    // list once.
    void SetTemperament(const QString& values, long double x);

    // Moves p (Hz) to the nearest degree of the scale in p's own octave, then applies the
    // modifiers. A tone exactly between two degrees goes to the upper one. 0 stays 0 (an empty
    // slot). Throws MathError when a modifier chain leaves the representable range.
    long double SnapToTonart(long double p, const ModifierText& modifiers) const;

    // A key entry of the piece table (trimmed or not): the entry is read as a tone, snapped with
    // its own modifiers to this scale and made the new just tonic. Returns the new tonic, 0 when
    // the entry names no tone (the key then does not change), and nothing for an entry starting
    // with "~" (equal temperament: key and tonic stay as they were).
    std::optional<long double> EnterKey(const QString& entry);

    const Degrees& degrees() const { return m_degrees; }
    long double degree(int k) const { return m_degrees.at(static_cast<std::size_t>(k)); }
    TemperamentList* temperaments() const { return m_temperaments; }

    bool operator==(const TonartScale& other) const { return m_degrees == other.m_degrees; }

private:
    void Assign(const Degrees& degrees);

    // The temperament built last. A tempered key rebuilds its scale for every tone it reads, so
    // the same value text and reference are met again and again; any edit of the row changes the
    // text and misses the cache.
    struct BuiltTemperament {
        QString values;
        long double x = 0;
        Degrees degrees{};
        bool faulty = false;
    };

    Degrees m_degrees{};
    TemperamentList* m_temperaments = nullptr;
    std::optional<BuiltTemperament> m_lastTemperament;
};

} // namespace zk
