// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/interval_analysis.h"

#include "support/fractions.h"
#include "support/number_text.h"
#include "support/text_helpers.h"

#include <cmath>
#include <cstdint>

namespace zk {

namespace {

struct NamedInterval {
    StepCounts steps;
    const char16_t* name;
};

// Names of the intervals by their step counts after octave removal. k/g small/large, T third,
// q fourth, Q fifth, s sixth, S seventh, v diminished, ü augmented, +/- a syntonic comma larger or
// smaller; "(~xy)" names two tones of c major/minor that form the interval.
constexpr NamedInterval kNames[] = {
    {{0, 0, 1}, u"H"},         {{0, 0, 2}, u"vT(~f#a*)"}, {{0, 1, 0}, u"G-"},
    {{0, 1, 1}, u"kT-"},       {{1, 0, 0}, u"G"},         {{1, 0, 1}, u"kT"},
    {{1, 0, 2}, u"vq(~he*)"},  {{1, 1, 0}, u"gT"},        {{1, 1, 1}, u"q"},
    {{1, 1, 2}, u"vQ(~hf)"},   {{1, 1, 3}, u"vs(~f#d*)"}, {{1, 2, 0}, u"üq-"},
    {{1, 2, 1}, u"Q-"},        {{1, 2, 2}, u"ks-"},       {{2, 0, 0}, u"gT+"},
    {{2, 0, 1}, u"q+"},        {{2, 0, 2}, u"vQ(~ae*)"},  {{2, 1, 0}, u"üq(~fh)"},
    {{2, 1, 1}, u"Q"},         {{2, 1, 2}, u"ks"},        {{2, 1, 3}, u"vS"},
    {{2, 2, 0}, u"üQ(~a*e)"},  {{2, 2, 1}, u"gs"},        {{2, 2, 2}, u"kS"},
    {{2, 2, 3}, u"gS(~f#f)"},  {{2, 3, 1}, u"gS(~ba)"},   {{2, 3, 3}, u"H-"},
    {{3, 1, 1}, u"gs+"},       {{3, 1, 2}, u"kS+"},       {{3, 1, 3}, u"gS(~aa*)"},
    {{3, 2, 0}, u"vS(d*h)"},   {{3, 2, 1}, u"gS"},        {{3, 3, 1}, u"H(~a*a)"},
    {{4, 1, 1}, u"gS(Ok-H-)"}, {{4, 1, 3}, u"H+"},        {{4, 2, 1}, u"H(~f*f#)"},
    {{4, 3, 1}, u"üG(~e*f#)"}, {{5, 3, 1}, u"üT(~d*f#)"},
};

constexpr long double kMaxInt32 = 2147483647.0L;

QString FractionText(long long num, long long den) {
    return QString::number(num) + u'/' + QString::number(den);
}

QString RightAligned2(long long n) {
    const QString text = QString::number(n);
    return text.size() < 2 ? QString(u' ') + text : text;
}

// Cents reduced into [0, 1200), an octave counting as 0.
long double ReduceBelowOctave(long double cents) {
    while (cents >= 1200 || cents < 0) {
        cents += cents < 0 ? 1200 : -1200;
    }
    return cents;
}

// Cents reduced into [0, 1200], an exact octave staying 1200.
long double ReduceToOctave(long double cents) {
    while (cents > 1200) {
        cents -= 1200;
    }
    while (cents < 0) {
        cents += 1200;
    }
    return cents;
}

// c / b as a fraction of two 32-bit whole numbers, or nothing.
std::optional<std::pair<long long, long long>> RatioFraction(long double b, long double c) {
    const FractionApproximation approximation = ApproximateFraction(1e-15L, c / b);
    if (!approximation.ok) {
        return std::nullopt;
    }
    const long double num = std::nearbyint(approximation.fraction.num);
    const long double den = std::nearbyint(approximation.fraction.den);
    if (!(std::fabs(num) <= kMaxInt32) || !(std::fabs(den) <= kMaxInt32)) {
        return std::nullopt;
    }
    return std::pair{static_cast<long long>(num), static_cast<long long>(den)};
}

} // namespace

bool MeasuresFromFirstTone(const QString& mode) {
    return mode == kModeIntervals || mode == kModeRatios;
}

long double Cents(long double b, long double c) {
    return 1200 * std::log2(c / b);
}

QString FrequencyText(const QString& mode, int decimals, long double firstKey, long double f) {
    if (mode != kModeCents) {
        return NumberToText(decimals, f);
    }
    const long double reference = firstKey == 0 ? 440.0L : firstKey;
    if (!(reference > 0) || !(f > 0)) {
        return QString();
    }
    return NumberToText(decimals, ReduceBelowOctave(Cents(reference, f)));
}

QString FrequencyHeader(const QString& mode, const QString& currentHeader) {
    if (mode == kModeCents) {
        return kCentHeader;
    }
    return currentHeader.contains(QStringLiteral("siehe")) ? currentHeader : kFrequencyHeader;
}

std::optional<StepCounts> StepCountsOf(long long num, long long den) {
    if (num <= 0 || den <= 0) {
        return std::nullopt;
    }
    long long n = num;
    long long d = den;
    while (n % 2 == 0) {
        n /= 2;
    }
    while (d % 2 == 0) {
        d /= 2;
    }
    StepCounts s;
    const auto add = [&s](int g, int gMinus, int h) {
        s.large += g;
        s.small += gMinus;
        s.half += h;
    };
    // 1/3 = 4/3 ÷ 4, 3 = 3/2 × 2, 5 = 5/4 × 4, 1/5 = 8/5 ÷ 8.
    while (d % 3 == 0) {
        d /= 3;
        add(1, 1, 1);
    }
    while (n % 3 == 0) {
        n /= 3;
        add(2, 1, 1);
    }
    while (n % 5 == 0) {
        n /= 5;
        add(1, 1, 0);
    }
    while (d % 5 == 0) {
        d /= 5;
        add(2, 1, 2);
    }
    // 3 G + 2 G- + 2 H make an octave, which the counts ignore.
    while (s.large > 2 && s.small >= 2 && s.half >= 2) {
        add(-3, -2, -2);
    }
    if (n != 1 || d != 1) {
        return std::nullopt;
    }
    return s;
}

OqtCoordinates OqtCoordinatesOf(long long num, long long den, const StepCounts& steps) {
    OqtCoordinates c;
    c.fifths = 2LL * steps.large - 2LL * steps.small - steps.half;
    c.thirds = static_cast<long long>(steps.small) - steps.half;
    const long double rest = std::log(static_cast<long double>(num) / den) -
                             c.fifths * std::log(1.5L) - c.thirds * std::log(1.25L);
    c.octaves = static_cast<long long>(std::nearbyint(rest / std::log(2.0L)));
    return c;
}

QString IntervalName(IntervalForm form, long long num, long long den) {
    if (num == 0 || den == 0) {
        return QString();
    }
    const QString fraction = u' ' + FractionText(num, den) + u' ';
    const std::optional<StepCounts> steps = StepCountsOf(num, den);
    if (!steps) {
        return fraction;
    }
    switch (form) {
    case IntervalForm::Steps:
        return u'(' + QString::number(steps->large) + QString::number(steps->small) +
               QString::number(steps->half) + u')';
    case IntervalForm::Oqt: {
        const OqtCoordinates c = OqtCoordinatesOf(num, den, *steps);
        return u'[' + RightAligned2(c.octaves) + RightAligned2(c.fifths) + RightAligned2(c.thirds) +
               u']';
    }
    case IntervalForm::Name:
        break;
    }
    QString name = fraction;
    if (*steps == StepCounts{}) {
        name = num == den ? QStringLiteral("P ") : QStringLiteral("Ok ");
    } else {
        for (const NamedInterval& entry : kNames) {
            if (entry.steps == *steps) {
                name = QString::fromUtf16(entry.name);
                break;
            }
        }
    }
    // One "Ok*" for every octave above the first.
    for (long long d = den; 2 * d < num; d *= 2) {
        name.prepend(QStringLiteral("Ok*"));
    }
    return name;
}

QString IntervalText(const QString& mode, int decimals, bool tempered, long double b,
                     long double c) {
    if (!(b > 0) || !(c > 0)) {
        return QString();
    }
    if (tempered || mode == kModeCents) {
        return NumberToText(decimals, ReduceToOctave(Cents(b, c)));
    }
    const auto ratio = RatioFraction(b, c);
    if (!ratio) {
        return QString();
    }
    const auto [num, den] = *ratio;
    if (mode == kModeAll) {
        return FractionText(num, den) + u' ' + NumberToText(decimals, Cents(b, c)) + u' ' +
               Trim(IntervalName(IntervalForm::Name, num, den)) + u' ' +
               IntervalName(IntervalForm::Steps, num, den) +
               IntervalName(IntervalForm::Oqt, num, den);
    }
    if (mode == kModeNeighbourIntervals || mode == kModeIntervals) {
        return IntervalName(IntervalForm::Name, num, den);
    }
    if (mode == kModeOqt) {
        return IntervalName(IntervalForm::Oqt, num, den);
    }
    if (mode == kModeSteps) {
        return IntervalName(IntervalForm::Steps, num, den);
    }
    return FractionText(num, den);
}

} // namespace zk
