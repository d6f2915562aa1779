// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/number_text.h"

#include "support/checked_math.h"
#include "support/errors.h"
#include "support/evaluator.h"
#include "support/fractions.h"
#include "support/text_helpers.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <vector>

namespace zk {

namespace {

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Decimal digits of a finite, non-zero magnitude to `significant` digits, with the decimal
// exponent of the first digit: 0.0125 -> ("125…", -2). Independent of the C library's locale.
struct DecimalDigits {
    QString digits;
    int exponent = 0;
};

DecimalDigits SignificantDigits(long double magnitude, int significant) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%.*Le", significant - 1, magnitude);
    DecimalDigits result;
    const char* p = buffer;
    for (; *p != '\0' && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') {
            result.digits.append(QLatin1Char(*p));
        }
    }
    if (*p == 'e') {
        result.exponent = std::atoi(p + 1);
    }
    return result;
}

// Digits of a whole magnitude below 2^63, or empty when it does not fit.
std::optional<QString> WholeDigits(long double wholeMagnitude) {
    if (!(wholeMagnitude < 9223372036854775808.0L)) {
        return std::nullopt;
    }
    return QString::number(static_cast<unsigned long long>(wholeMagnitude));
}

// The fraction 0 < f < 1 written with at most n decimals, rounded at the last place with halves
// away from zero, trailing zeros dropped: "" when it rounds to zero, "1" when it rounds up to a
// whole one, otherwise the decimal digits (without the separator).
QString FractionDigits(long double f, int n, bool* roundsToOne) {
    *roundsToOne = false;
    const DecimalDigits d = SignificantDigits(f, 18);
    // Place k (1-based after the separator) holds digit index k - 1 + exponent.
    QString places(n, u'0');
    const int firstPlace = -d.exponent; // place of the first significant digit
    for (int k = 1; k <= n; ++k) {
        const int index = k - firstPlace;
        if (index >= 0 && index < d.digits.size()) {
            places[k - 1] = d.digits.at(index);
        }
    }
    const int nextIndex = n + 1 - firstPlace;
    const bool roundUp =
        nextIndex >= 0 && nextIndex < d.digits.size() && d.digits.at(nextIndex) >= u'5';
    if (roundUp) {
        int k = n - 1;
        for (; k >= 0; --k) {
            if (places.at(k) == u'9') {
                places[k] = u'0';
            } else {
                places[k] = QChar(places.at(k).unicode() + 1);
                break;
            }
        }
        if (k < 0) {
            *roundsToOne = true;
            return QString();
        }
    }
    while (places.endsWith(u'0')) {
        places.chop(1);
    }
    return places;
}

QString GroupFractionDigits(const QString& digits) {
    QString result;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && i % 3 == 0) {
            result.append(u' ');
        }
        result.append(digits.at(i));
    }
    return result;
}

QString FormatNumber(int n, long double x, bool grouped) {
    if (!std::isfinite(x)) {
        return FloatToGeneralText(x);
    }
    n = std::clamp(n, 0, 18);
    const long double magnitude = std::fabs(x);
    std::optional<QString> integerDigits;
    QString fraction;
    if (IsWhole(1e-18L, x)) {
        integerDigits = WholeDigits(std::nearbyint(magnitude));
    } else {
        const long double integerPart = std::trunc(magnitude);
        bool roundsToOne = false;
        const QString digits = FractionDigits(magnitude - integerPart, n, &roundsToOne);
        integerDigits = WholeDigits(roundsToOne ? integerPart + 1 : integerPart);
        if (!digits.isEmpty()) {
            fraction = DecimalSeparator() + (grouped ? GroupFractionDigits(digits) : digits);
        }
    }
    if (!integerDigits) {
        return FloatToGeneralText(x);
    }
    QString text = (grouped ? GroupDigits(*integerDigits) : *integerDigits) + fraction;
    if (x < 0) {
        text.prepend(u'-');
    }
    return text;
}

locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

QString ConversionMessage(const QString& text) {
    return QStringLiteral("\"%1\" ist keine gültige Zahl.").arg(text);
}

// The locale's strict conversion of `text` (see LocaleTextToNumber), with the separator given
// and a buffer that a caller reading many numbers can reuse.
std::optional<long double> ReadLocaleNumber(QStringView text, QChar separator, QByteArray& ascii) {
    ascii.resize(0); // keeps its capacity for the next number
    ascii.reserve(text.size() + 1);
    qsizetype i = 0;
    const qsizetype size = text.size();
    if (i < size && (text.at(i) == u'+' || text.at(i) == u'-')) {
        ascii.append(static_cast<char>(text.at(i).unicode()));
        ++i;
    }
    int mantissaDigits = 0;
    bool seenSeparator = false;
    for (; i < size; ++i) {
        const QChar c = text.at(i);
        if (IsDigit(c)) {
            ascii.append(static_cast<char>(c.unicode()));
            ++mantissaDigits;
        } else if (c == separator && !seenSeparator) {
            ascii.append('.');
            seenSeparator = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) {
        return std::nullopt;
    }
    if (i < size && (text.at(i) == u'E' || text.at(i) == u'e')) {
        ascii.append('e');
        ++i;
        if (i < size && (text.at(i) == u'+' || text.at(i) == u'-')) {
            ascii.append(static_cast<char>(text.at(i).unicode()));
            ++i;
        }
        int exponentDigits = 0;
        for (; i < size && IsDigit(text.at(i)); ++i) {
            ascii.append(static_cast<char>(text.at(i).unicode()));
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return std::nullopt;
        }
    }
    if (i != size) {
        return std::nullopt;
    }
    const long double value = strtold_l(ascii.constData(), nullptr, CLocale());
    if (!std::isfinite(value)) {
        return std::nullopt; // overflow
    }
    return value;
}

// The lenient cleaning of a typed number: what is left is a sign or a digit followed by digits,
// "E"s and at most one decimal separator, or "0" when nothing is left.
QString CleanNumberText(const QString& original, QChar separator) {
    // Skip everything before the first sign or digit.
    qsizetype start = 0;
    while (start < original.size() && original.at(start) != u'+' && original.at(start) != u'-' &&
           !IsDigit(original.at(start))) {
        ++start;
    }
    QString text = original.mid(start);
    // "- 12" and "-   12" read as -12: the blanks right after a sign go, all at once.
    if (!text.isEmpty() && (text.at(0) == u'+' || text.at(0) == u'-')) {
        qsizetype blanks = 0;
        while (1 + blanks < text.size() && text.at(1 + blanks) == u' ') {
            ++blanks;
        }
        text.remove(1, blanks);
    }
    // Two blanks in a row end the number.
    const qsizetype pair = text.indexOf(QStringLiteral("  "));
    if (pair >= 0) {
        text.truncate(pair);
    }
    // Single blanks group digits: "1 234".
    text.remove(u' ');
    // The first occurrence of the other separator counts as the decimal separator.
    const QChar other = separator == u'.' ? QChar(u',') : QChar(u'.');
    const qsizetype otherPos = text.indexOf(other);
    if (otherPos >= 0) {
        text[otherPos] = separator;
    }
    // A second decimal separator ends the number.
    const qsizetype firstSep = text.indexOf(separator);
    if (firstSep >= 0) {
        const qsizetype secondSep = text.indexOf(separator, firstSep + 1);
        if (secondSep >= 0) {
            text.truncate(secondSep);
        }
    }
    // The first character and the run of digits, "E" and separators after it.
    if (!text.isEmpty()) {
        qsizetype end = 1;
        while (end < text.size() &&
               (IsDigit(text.at(end)) || text.at(end) == u'E' || text.at(end) == separator)) {
            ++end;
        }
        text.truncate(end);
    }
    if (text.isEmpty()) {
        text = QStringLiteral("0");
    }
    return text;
}

// `value` rounded to the nearest int, halves to the even neighbour; nothing beyond the signed
// 32-bit range.
std::optional<int> RoundedInt(long double value) {
    const long double rounded = std::nearbyint(value);
    if (rounded > 2147483647.0L || rounded < -2147483648.0L) {
        return std::nullopt;
    }
    return static_cast<int>(rounded);
}

RangeError OutOfIntRange(const QString& text) {
    return RangeError(
        QStringLiteral("\"%1\" liegt außerhalb des Bereichs ganzer Zahlen.").arg(text));
}

// The value of a cleaned number text. A capital "E" after a digit 1..9 ("3E2") multiplies the
// number before it by ten to the power of the number after it, and that exponent is read by the
// same rules: the "E"s and separators it begins with are skipped, and its own first "E" after a
// digit 1..9 gives it a decimal exponent in turn, so "1E2E1" is 1·10^(2·10^1). The exponent never
// has a sign, since cleaning stops at one. Any other text, "10E2" among them, goes to the locale's
// conversion whole.
//
// Every level's exponent text is a tail of the cleaned text, so the levels are found in one pass
// from left to right and their values combined from right to left: linear in the length of the
// text, however many levels it holds. Errors come in the order the levels meet them: an
// unreadable number before the text after it, the exponents from the innermost outwards.
long double ReadCleanNumber(const QString& original, const QString& text, QChar separator) {
    struct Level {
        long double mantissa = 0;
        qsizetype exponentStart = 0; // the exponent's text, as written after the "E"
    };
    std::vector<Level> levels;
    QByteArray ascii;
    const qsizetype size = text.size();
    qsizetype begin = 0; // this level's number is text[begin, size)
    bool emptyExponent = false;
    for (;;) {
        const qsizetype e = text.indexOf(u'E', begin);
        if (e <= begin || text.at(e - 1) < u'1' || text.at(e - 1) > u'9') {
            break;
        }
        const QStringView mantissa = QStringView(text).sliced(begin, e - begin);
        const std::optional<long double> value = ReadLocaleNumber(mantissa, separator, ascii);
        if (!value) {
            throw ConversionError(ConversionMessage(mantissa.toString()));
        }
        levels.push_back(Level{*value, e + 1});
        begin = e + 1;
        while (begin < size && (text.at(begin) == u'E' || text.at(begin) == separator)) {
            ++begin;
        }
        if (begin == size) {
            emptyExponent = true; // nothing left of the exponent: it reads as 0
            break;
        }
    }
    long double value = 0;
    if (!emptyExponent) {
        const QStringView last = QStringView(text).sliced(begin);
        if (last != u"+" && last != u"-") {
            const std::optional<long double> read = ReadLocaleNumber(last, separator, ascii);
            if (!read) {
                throw ConversionError(ConversionMessage(
                    levels.empty() ? original : text.mid(levels.back().exponentStart)));
            }
            value = *read;
        }
    }
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
        const std::optional<int> exponent = RoundedInt(value);
        if (!exponent) {
            throw OutOfIntRange(text.mid(level->exponentStart));
        }
        const long double scale = Power(10, *exponent);
        value = CheckedResult(level->mantissa * scale, QStringLiteral("Potenzieren"));
    }
    return value;
}

} // namespace

QChar DecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.at(0);
}

std::optional<long double> LocaleTextToNumber(const QString& text) {
    QByteArray ascii;
    return ReadLocaleNumber(text, DecimalSeparator(), ascii);
}

long double TextToNumber(const QString& original) {
    const QChar separator = DecimalSeparator();
    const QString text = CleanNumberText(original, separator);
    return ReadCleanNumber(original, text, separator);
}

int TextToInt(const QString& text) {
    const std::optional<int> value = RoundedInt(TextToNumber(text));
    if (!value) {
        throw OutOfIntRange(text);
    }
    return *value;
}

long double NumberField(const QString& text, int n) {
    const auto isFieldStart = [](QChar c) {
        return c == u'(' || c == u')' || c == u'+' || c == u',' || c == u'-' || c == u'.' ||
               IsDigit(c);
    };
    QString rest = text;
    for (;;) {
        qsizetype start = 0;
        while (start < rest.size() && !isFieldStart(rest.at(start))) {
            ++start;
        }
        rest = rest.mid(start);
        qsizetype end = 0;
        while (end < rest.size() && rest.at(end) != u'|' && rest.at(end) != u' ') {
            ++end;
        }
        const bool hasSeparator = end < rest.size();
        if (n <= 1) {
            return EvaluateOrZero(rest.left(end));
        }
        if (!hasSeparator) {
            return 0;
        }
        rest = rest.mid(end + 1);
        --n;
    }
}

QString NumberToText(int n, long double x) {
    return FormatNumber(n, x, false);
}

QString NumberToGroupedText(int n, long double x) {
    return FormatNumber(n, x, true);
}

QString FloatToGeneralText(long double x) {
    if (std::isnan(x)) {
        return QStringLiteral("NAN");
    }
    if (std::isinf(x)) {
        return x < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    }
    if (x == 0) {
        return QStringLiteral("0");
    }
    const DecimalDigits d = SignificantDigits(std::fabs(x), 15);
    QString digits = d.digits;
    while (digits.size() > 1 && digits.endsWith(u'0')) {
        digits.chop(1);
    }
    const QChar separator = DecimalSeparator();
    QString text;
    if (d.exponent < -4 || d.exponent >= 15) {
        text = digits.left(1);
        if (digits.size() > 1) {
            text += separator + digits.mid(1);
        }
        text += u'E' + QString::number(d.exponent);
    } else if (d.exponent < 0) {
        text = QStringLiteral("0") + separator + QString(-d.exponent - 1, u'0') + digits;
    } else {
        const qsizetype integerCount = d.exponent + 1;
        QString padded = digits;
        if (padded.size() < integerCount) {
            padded += QString(integerCount - padded.size(), u'0');
        }
        text = padded.left(integerCount);
        if (padded.size() > integerCount) {
            text += separator + padded.mid(integerCount);
        }
    }
    if (x < 0) {
        text.prepend(u'-');
    }
    return text;
}

} // namespace zk
