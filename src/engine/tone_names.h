// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <vector>

// The pitch model of a single tone name: a German letter ("h" is B natural, "b" is B flat), an
// optional octave digit, accidentals and the comma, leading-tone and overtone modifiers that are
// applied after the tone has been snapped to the key.

namespace zk {

// The error of a tone whose pitch leaves the range of representable numbers.
inline const QString kFrequencyRangeMessage =
    QStringLiteral("Frequenz außerhalb des darstellbaren Bereichs");

// Frequency in Hz of a letter in the small octave (a = 220 Hz, equal temperament), compared
// case-insensitively; 0 for anything that is not a tone letter.
long double LetterFrequency(QChar letter);

// One modifier item of a tone. `symbol` is one of + - ' , ( ) or ':' for an overtone, whose
// number (0..99) is in `overtone`.
struct Modifier {
    QChar symbol;
    int overtone = 0;
    bool operator==(const Modifier&) const = default;
};

// The ordered modifiers of one tone (`ModifierText`).
struct ModifierText {
    std::vector<Modifier> items;

    // The items written back as tone text, e.g. "+:3".
    QString ToText() const;

    // f multiplied by the factors of the items from left to right. Throws MathError when the
    // product leaves the range of representable numbers.
    long double Apply(long double f) const;

    bool operator==(const ModifierText&) const = default;
};

// The multiplier of one modifier item: 81/80 for "+", 15/16 for "(", n for overtone n >= 1, and so
// on; 1 for an overtone 0.
long double ModifierFactor(const Modifier& item);

// One slot of a chord text as read by `ParseTone`.
struct ParsedTone {
    long double frequency = 0; // equal-tempered pitch in Hz before snapping; 0 = empty slot
    ModifierText modifiers;
    bool digitGiven = false; // an octave digit was written ("c0" is never raised automatically)
    bool operator==(const ParsedTone&) const = default;
};

// Reads one tone slot of `text` starting at the 1-based position `pos` and advances `pos` past it.
// Leading blanks are skipped; any character that is not a tone letter gives an empty slot but is
// consumed. Past the end of the text the result is an empty slot. Never stalls: every call with a
// position inside the text advances it. Throws MathError when so many accidentals are written that
// the pitch cannot be represented.
ParsedTone ParseTone(const QString& text, int& pos);

} // namespace zk
