// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/key_scale.h"

#include "engine/temperaments.h"
#include "support/checked_math.h"
#include "support/fractions.h"
#include "support/number_text.h"
#include "support/text_helpers.h"

#include <cmath>

namespace zk {

namespace {

const QString kScaleMessage = QStringLiteral("Tonart außerhalb des darstellbaren Bereichs");

// Degrees below the smallest normal number would make the octave search halve or double without
// end (0 × 2 stays 0), so only positive, finite, normal degrees form a scale.
bool IsUsableFrequency(long double f) {
    return std::isnormal(f) && f > 0;
}

} // namespace

TonartScale::TonartScale(TemperamentList* temperaments) : m_temperaments(temperaments) {
    SetJust(440);
}

void TonartScale::Assign(const Degrees& degrees) {
    for (long double d : degrees) {
        if (!IsUsableFrequency(d)) {
            throw MathError(kScaleMessage);
        }
    }
    m_degrees = degrees;
}

void TonartScale::SetJust(long double x) {
    const long double fifth = 3.0L / 2.0L;
    // 45/32 and 9/5 are built from the fifth, as the scale has always been computed.
    const Degrees ratios = {1.0L,
                            16.0L / 15.0L,
                            9.0L / 8.0L,
                            6.0L / 5.0L,
                            5.0L / 4.0L,
                            4.0L / 3.0L,
                            fifth * (15.0L / 16.0L),
                            fifth,
                            8.0L / 5.0L,
                            5.0L / 3.0L,
                            fifth * (6.0L / 5.0L),
                            15.0L / 8.0L,
                            2.0L};
    Degrees degrees;
    for (std::size_t k = 0; k < degrees.size(); ++k) {
        degrees[k] = x * ratios[k];
    }
    Assign(degrees);
}

void TonartScale::SetTemperament(const QString& values, long double x) {
    if (m_lastTemperament && m_lastTemperament->values == values && m_lastTemperament->x == x) {
        if (m_lastTemperament->faulty && m_temperaments != nullptr) {
            m_temperaments->ReportFaultyRow();
        }
        Assign(m_lastTemperament->degrees);
        return;
    }
    Degrees degrees;
    std::array<long double, 12> used{}; // the deviation each degree got, 0 for a faulty value
    bool faulty = false;
    for (int i = 0; i < 12; ++i) {
        const long double tempered = x * Power(2, i / 12.0L);
        long double degree = tempered;
        const std::optional<long double> cents = LocaleTextToNumber(TokenAt(values, i + 1));
        if (cents) {
            try {
                degree = tempered * Power(2, *cents / 1200.0L);
            } catch (const MathError&) {
                degree = 0; // reported below
            }
        }
        if (!cents || !IsUsableFrequency(degree)) {
            faulty = true;
            degree = tempered;
        } else {
            used[static_cast<std::size_t>(i)] = *cents;
        }
        degrees[static_cast<std::size_t>(i)] = degree;
    }
    // The nearest-degree search walks up the scale, so the degrees must rise from a to as and
    // stay below the next a. Of two neighbours out of order (a deviation of a semitone or more
    // against the other's), the one farther from its equal-tempered place is the faulty value:
    // it counts as 0 cents, as an unusable value does, until the scale rises. Each step puts one
    // deviation to 0, so this ends after at most twelve.
    for (bool ordered = false; !ordered;) {
        ordered = true;
        for (std::size_t i = 0; i < 12 && ordered; ++i) {
            const std::size_t next = (i + 1) % 12;
            if (used[next] + 100 > used[i]) {
                continue;
            }
            const std::size_t off = std::fabs(used[next]) >= std::fabs(used[i]) ? next : i;
            used[off] = 0;
            degrees[off] = x * Power(2, static_cast<long double>(off) / 12.0L);
            faulty = true;
            ordered = false;
        }
    }
    degrees[12] = 2 * degrees[0];
    if (faulty && m_temperaments != nullptr) {
        m_temperaments->ReportFaultyRow();
    }
    Assign(degrees);
    m_lastTemperament = BuiltTemperament{values, x, degrees, faulty};
}

void TonartScale::SetTonart(const QString& code, long double x) {
    if (code.size() >= 2 && code.at(0) == u'm' && m_temperaments != nullptr) {
        const QString values = m_temperaments->FindTemperamentRow(code.left(2));
        if (!values.isEmpty()) {
            SetTemperament(values, x);
            return;
        }
    }
    SetJust(x);
}

long double TonartScale::SnapToTonart(long double p, const ModifierText& modifiers) const {
    if (p == 0) {
        return p;
    }
    if (!std::isfinite(p) || p < 0) {
        throw MathError(kScaleMessage);
    }
    // Halving and doubling are exact in binary floating point, so counting octaves loses nothing.
    int n = 0;
    while (p >= m_degrees[12]) {
        p /= 2;
        --n;
    }
    while (p < m_degrees[0]) {
        p *= 2;
        ++n;
    }
    std::size_t k = 1;
    while (k < 12 && m_degrees[k] < p) {
        ++k;
    }
    p = (std::fabs(p - m_degrees[k - 1]) >= std::fabs(p - m_degrees[k])) ? m_degrees[k]
                                                                         : m_degrees[k - 1];
    p = std::ldexp(p, -n);
    if (!IsUsableFrequency(p)) {
        // Only a tone at the very edge of the representable range can get here.
        throw MathError(kScaleMessage);
    }
    return modifiers.Apply(p);
}

std::optional<long double> TonartScale::EnterKey(const QString& entry) {
    const QString key = Trim(entry);
    if (key.startsWith(u'~')) {
        return std::nullopt;
    }
    int pos = 1;
    const ParsedTone tone = ParseTone(key, pos);
    if (tone.frequency <= 0) {
        return 0.0L;
    }
    const long double tonic = SnapToTonart(tone.frequency, tone.modifiers);
    SetTonart(QString(), tonic);
    return tonic;
}

} // namespace zk
