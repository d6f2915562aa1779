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

} // namespace

QChar DecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.at(0);
}

std::optional<long double> LocaleTextToNumber(const QString& text) {
    const QChar separator = DecimalSeparator();
    QByteArray ascii;
    ascii.reserve(text.size());
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

long double TextToNumber(const QString& original) {
    const QChar separator = DecimalSeparator();
    QString text = original;
    // 1. Skip everything before the first sign or digit.
    qsizetype start = 0;
    while (start < text.size() && text.at(start) != u'+' && text.at(start) != u'-' &&
           !IsDigit(text.at(start))) {
        ++start;
    }
    text = text.mid(start);
    // 2. "- 12" and "-   12" read as -12.
    while (text.size() >= 2 && (text.at(0) == u'+' || text.at(0) == u'-') && text.at(1) == u' ') {
        text.remove(1, 1);
    }
    // 3. Two blanks in a row end the number.
    const qsizetype pair = text.indexOf(QStringLiteral("  "));
    if (pair >= 0) {
        text.truncate(pair);
    }
    // 4. Single blanks group digits: "1 234".
    text.remove(u' ');
    // 5. The first occurrence of the other separator counts as the decimal separator.
    const QChar other = separator == u'.' ? QChar(u',') : QChar(u'.');
    const qsizetype otherPos = text.indexOf(other);
    if (otherPos >= 0) {
        text[otherPos] = separator;
    }
    // 6. A second decimal separator ends the number.
    const qsizetype firstSep = text.indexOf(separator);
    if (firstSep >= 0) {
        const qsizetype secondSep = text.indexOf(separator, firstSep + 1);
        if (secondSep >= 0) {
            text.truncate(secondSep);
        }
    }
    // 7. The first character and the run of digits, "E" and separators after it.
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
    // 8. A decimal exponent after a digit 1..9; the exponent has lost any sign in step 7.
    const qsizetype e = text.indexOf(u'E');
    if (e >= 1 && text.at(e - 1) >= u'1' && text.at(e - 1) <= u'9') {
        const long double mantissa = TextToNumber(text.left(e));
        const long double scale = Power(10, TextToInt(text.mid(e + 1)));
        return CheckedResult(mantissa * scale, QStringLiteral("Potenzieren"));
    }
    // 9. The locale's conversion.
    if (text == u"+" || text == u"-") {
        return 0;
    }
    const auto value = LocaleTextToNumber(text);
    if (!value) {
        throw ConversionError(ConversionMessage(original));
    }
    return *value;
}

int TextToInt(const QString& text) {
    const long double value = TextToNumber(text);
    const long double rounded = std::nearbyint(value);
    if (rounded > 2147483647.0L || rounded < -2147483648.0L) {
        throw RangeError(
            QStringLiteral("\"%1\" liegt außerhalb des Bereichs ganzer Zahlen.").arg(text));
    }
    return static_cast<int>(rounded);
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
