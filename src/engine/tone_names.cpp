// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/tone_names.h"

#include "support/checked_math.h"

#include <cmath>

namespace zk {

namespace {

// The equal-tempered semitone as the program has always used it (not the exact 2^(1/12)).
constexpr long double kSemitone = 1.059463094359295L;

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

int DigitValue(QChar c) {
    return c.unicode() - u'0';
}

bool IsModifierSymbol(QChar c) {
    return c == u'+' || c == u'-' || c == u'\'' || c == u',' || c == u'(' || c == u')';
}

} // namespace

long double LetterFrequency(QChar letter) {
    switch (letter.toLower().unicode()) {
    case u'c':
        return 130.81278265L;
    case u'd':
        return 146.832383959L;
    case u'e':
        return 164.813778456L;
    case u'f':
        return 174.614115717L;
    case u'g':
        return 195.997717901L;
    case u'a':
        return 220.0L;
    case u'b':
        return 233.081880759L;
    case u'h':
        return 246.941650628L;
    default:
        return 0;
    }
}

namespace {

// The multiplier of one modifier item, written as comparisons rather than a jump table so that
// it inlines into the loop of ModifierText::Apply: a chord text may hold thousands of modifiers,
// and the key check applies them once for each of its 25 trial keys.
inline long double Factor(const Modifier& item) {
    const char16_t symbol = item.symbol.unicode();
    if (symbol == u'+') {
        return 81.0L / 80.0L; // syntonic comma up
    }
    if (symbol == u'-') {
        return 80.0L / 81.0L;
    }
    if (symbol == u'\'') {
        return 531441.0L / 524288.0L; // Pythagorean comma up
    }
    if (symbol == u',') {
        return 524288.0L / 531441.0L;
    }
    if (symbol == u'(') {
        return 15.0L / 16.0L; // leading tone below
    }
    if (symbol == u')') {
        return 16.0L / 15.0L; // leading tone above
    }
    if (symbol == u':') {
        return item.overtone >= 1 ? static_cast<long double>(item.overtone) : 1.0L;
    }
    return 1.0L;
}

} // namespace

long double ModifierFactor(const Modifier& item) {
    return Factor(item);
}

QString ModifierText::ToText() const {
    QString text;
    for (const Modifier& item : items) {
        text += item.symbol;
        if (item.symbol == u':') {
            text += QString::number(item.overtone);
        }
    }
    return text;
}

long double ModifierText::Apply(long double f) const {
    for (const Modifier& item : items) {
        f = CheckedResult(f * Factor(item), kFrequencyRangeMessage);
    }
    return f;
}

ParsedTone ParseTone(const QString& text, int& pos) {
    ParsedTone tone;
    const int length = static_cast<int>(text.size());
    if (pos < 1) {
        pos = 1;
    }
    if (pos > length) {
        return tone;
    }
    // The letter: the first character that is not a blank.
    QChar letter;
    while (pos <= length) {
        letter = text.at(pos - 1);
        ++pos;
        if (letter != u' ') {
            break;
        }
    }
    if (letter == u' ' || letter.isNull()) {
        return tone; // only blanks up to the end
    }
    long double f = LetterFrequency(letter);

    int octave = 0;
    if (pos <= length && IsAsciiDigit(text.at(pos - 1))) {
        octave = DigitValue(text.at(pos - 1));
        tone.digitGiven = true;
        ++pos;
    }
    // Upper case counts down from the great octave: "A" = 110, "A1" = 55; lower case counts up.
    if (letter.isUpper()) {
        f = std::ldexp(f, -(octave + 1));
    } else {
        f = std::ldexp(f, octave);
    }

    while (pos <= length) {
        const QChar c = text.at(pos - 1);
        if (c == u'#') {
            f = CheckedResult(f * kSemitone, kFrequencyRangeMessage);
            ++pos;
        } else if (c == u'*') {
            f /= kSemitone;
            ++pos;
        } else if (IsModifierSymbol(c)) {
            tone.modifiers.items.push_back(Modifier{c, 0});
            ++pos;
        } else if (c == u':') {
            const bool first = pos + 1 <= length && IsAsciiDigit(text.at(pos));
            const bool second = first && pos + 2 <= length && IsAsciiDigit(text.at(pos + 1));
            if (second) {
                const int n = DigitValue(text.at(pos)) * 10 + DigitValue(text.at(pos + 1));
                tone.modifiers.items.push_back(Modifier{u':', n});
                pos += 3;
            } else if (first) {
                tone.modifiers.items.push_back(Modifier{u':', DigitValue(text.at(pos))});
                pos += 2;
            } else {
                // A colon without a number ends the tone; it is skipped so that the next slot
                // starts with the following character instead of wasting a slot on the colon.
                ++pos;
                break;
            }
        } else {
            break;
        }
    }
    tone.frequency = f;
    return tone;
}

} // namespace zk
