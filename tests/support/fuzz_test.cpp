// SPDX-License-Identifier: GPL-3.0-or-later
// Random short texts built from the characters that matter to the parsers: no input may crash,
// hang, leak an exception of the wrong kind, or produce a value that is not finite.
#include "common/locale_guard.h"
#include "common/time_limit.h"
#include "support/errors.h"
#include "support/evaluator.h"
#include "support/fractions.h"
#include "support/number_text.h"
#include "support/text_helpers.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <variant>

namespace zk {
namespace {

// The sanitizer build checks the same paths for memory faults with fewer random texts: its fuzz
// targets search those readers far more thoroughly.
constexpr int kRounds = 8 / test::kSlowBuildFactor;

QString RandomText(std::mt19937& random) {
    static const QString alphabet =
        QStringLiteral("0123456789+-*/:^().,E e xPiabcdglnorstuw_|\r\t·ä");
    std::uniform_int_distribution<int> length(0, 14);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
    QString text;
    for (int n = length(random); n > 0; --n) {
        text.append(alphabet.at(pick(random)));
    }
    return text;
}

// The reading of a typed number written the plain recursive way, one call per decimal exponent:
// the number before the first "E" after a digit 1..9 times ten to the power of the text after it,
// that text read again by the same rule. Each level copies the rest of the text, so this is only
// for short texts; the program's reader must agree with it bit for bit.
long double ReferenceTextToNumber(const QString& original);

int ReferenceTextToInt(const QString& text) {
    const long double rounded = std::nearbyint(ReferenceTextToNumber(text));
    if (rounded > 2147483647.0L || rounded < -2147483648.0L) {
        throw RangeError(
            QStringLiteral("\"%1\" liegt außerhalb des Bereichs ganzer Zahlen.").arg(text));
    }
    return static_cast<int>(rounded);
}

long double ReferenceTextToNumber(const QString& original) {
    const QChar separator = DecimalSeparator();
    const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    QString text = original;
    while (!text.isEmpty() && text.at(0) != u'+' && text.at(0) != u'-' && !isDigit(text.at(0))) {
        text.remove(0, 1);
    }
    while (text.size() >= 2 && (text.at(0) == u'+' || text.at(0) == u'-') && text.at(1) == u' ') {
        text.remove(1, 1);
    }
    if (text.contains(QStringLiteral("  "))) {
        text.truncate(text.indexOf(QStringLiteral("  ")));
    }
    text.remove(u' ');
    const QChar other = separator == u'.' ? QChar(u',') : QChar(u'.');
    if (text.contains(other)) {
        text[text.indexOf(other)] = separator;
    }
    if (text.count(separator) >= 2) {
        text.truncate(text.indexOf(separator, text.indexOf(separator) + 1));
    }
    qsizetype end = text.isEmpty() ? 0 : 1;
    while (end < text.size() &&
           (isDigit(text.at(end)) || text.at(end) == u'E' || text.at(end) == separator)) {
        ++end;
    }
    text.truncate(end);
    if (text.isEmpty()) {
        text = QStringLiteral("0");
    }
    const qsizetype e = text.indexOf(u'E');
    if (e >= 1 && text.at(e - 1) >= u'1' && text.at(e - 1) <= u'9') {
        const long double mantissa = ReferenceTextToNumber(text.left(e));
        const long double product = mantissa * Power(10, ReferenceTextToInt(text.mid(e + 1)));
        if (!std::isfinite(product)) {
            throw MathError(QStringLiteral("Potenzieren"));
        }
        return product;
    }
    if (text == u"+" || text == u"-") {
        return 0;
    }
    const auto value = LocaleTextToNumber(text);
    if (!value) {
        throw ConversionError(QStringLiteral("\"%1\" ist keine gültige Zahl.").arg(original));
    }
    return *value;
}

// What a reading gave: a value, or the kind and message of its error.
struct Failure {
    char kind; // 'c' conversion, 'r' range, 'm' math
    QString message;
    bool operator==(const Failure&) const = default;
};
using Outcome = std::variant<long double, Failure>;

template <typename Read> Outcome OutcomeOf(Read read) {
    try {
        return static_cast<long double>(read());
    } catch (const ConversionError& error) {
        return Failure{'c', error.message()};
    } catch (const RangeError& error) {
        return Failure{'r', error.message()};
    } catch (const MathError& error) {
        return Failure{'m', error.message()};
    }
}

// Equal values with the same sign are the same bits: the readings never give a NaN.
bool SameOutcome(const Outcome& a, const Outcome& b) {
    if (a.index() != b.index()) {
        return false;
    }
    if (const auto* x = std::get_if<long double>(&a)) {
        const long double y = std::get<long double>(b);
        return *x == y && std::signbit(*x) == std::signbit(y);
    }
    return std::get<Failure>(a) == std::get<Failure>(b);
}

std::string Describe(const Outcome& outcome) {
    if (const auto* x = std::get_if<long double>(&outcome)) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.21Lg", *x);
        return buffer;
    }
    const Failure& failure = std::get<Failure>(outcome);
    return std::string(1, failure.kind) + ": " + failure.message.toStdString();
}

// Texts made mostly of what a number can hold, with many "E"s, so that exponents of exponents,
// empty exponents and exponents after a zero all come up often.
QString RandomNumberText(std::mt19937& random, int maxLength) {
    static const QString alphabet = QStringLiteral("0123456789112EEEE,.  +-ex");
    std::uniform_int_distribution<int> length(0, maxLength);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
    QString text;
    for (int n = length(random); n > 0; --n) {
        text.append(alphabet.at(pick(random)));
    }
    return text;
}

// Compares both readings of `text` and counts the outcomes by kind: 'v' for a value.
void ExpectSameReadings(const QString& text, std::map<char, int>& kinds) {
    const Outcome number = OutcomeOf([&] { return TextToNumber(text); });
    const Outcome reference = OutcomeOf([&] { return ReferenceTextToNumber(text); });
    ASSERT_TRUE(SameOutcome(number, reference))
        << text.toStdString() << ": " << Describe(number) << " vs " << Describe(reference);
    const Outcome whole = OutcomeOf([&] { return TextToInt(text); });
    const Outcome referenceWhole = OutcomeOf([&] { return ReferenceTextToInt(text); });
    ASSERT_TRUE(SameOutcome(whole, referenceWhole))
        << text.toStdString() << ": " << Describe(whole) << " vs " << Describe(referenceWhole);
    ++kinds[number.index() == 0 ? 'v' : std::get<Failure>(number).kind];
}

TEST(Fuzz, NumberReadingAgreesWithTheRecursiveRule) {
    std::mt19937 random(20261208);
    std::map<char, int> kinds;
    int powers = 0;
    for (const QLocale& locale : {test::German(), test::English()}) {
        test::LocaleGuard guard(locale);
        // Short texts, as typed into a field.
        for (int i = 0; i < 12500 * kRounds; ++i) {
            const QString text = RandomNumberText(random, 16);
            ExpectSameReadings(text, kinds);
            if (HasFatalFailure()) {
                return;
            }
            powers += text.contains(QRegularExpression(QStringLiteral("[1-9]E.*[1-9]E")));
        }
        // Longer texts with dozens of exponent levels; the reference is still quick on them.
        for (int i = 0; i < 300; ++i) {
            ExpectSameReadings(RandomNumberText(random, 600), kinds);
            if (HasFatalFailure()) {
                return;
            }
        }
    }
    // Every kind of outcome came up many times, and so did exponents of exponents.
    for (const char kind : {'v', 'c', 'r', 'm'}) {
        EXPECT_GT(kinds[kind], 60 * kRounds) << kind;
    }
    EXPECT_GT(powers, 625 * kRounds);
}

TEST(Fuzz, ParsersSurviveRandomTexts) {
    std::mt19937 random(20261207);
    int evaluated = 0;
    for (const QLocale& locale : {test::German(), test::English()}) {
        test::LocaleGuard guard(locale);
        for (int i = 0; i < 18750 * kRounds; ++i) {
            const QString text = RandomText(random);
            try {
                const long double value = Evaluate(text);
                ASSERT_TRUE(std::isfinite(value)) << text.toStdString();
                ++evaluated;
            } catch (const MathError& error) {
                ASSERT_TRUE(error.message().startsWith(QStringLiteral("Fehler:Fehler in ")));
            }
            try {
                ASSERT_TRUE(std::isfinite(TextToNumber(text))) << text.toStdString();
            } catch (const Error&) {
                // Conversion, range and power errors are the documented failures.
            }
            ASSERT_TRUE(std::isfinite(NumberField(text, 1 + i % 4))) << text.toStdString();
            const QString word = WordAt(text, 1 + i % 5);
            ASSERT_FALSE(word.contains(u' ')) << text.toStdString();
            const QString token = TokenAt(text, 1 + i % 5);
            ASSERT_LE(token.size(), text.size());
            ASSERT_FALSE(NumberToText(i % 19, static_cast<long double>(i) / 7).isEmpty());
        }
    }
    // The alphabet is rich enough that a good share of the texts are valid expressions.
    EXPECT_GT(evaluated, 1250 * kRounds);
}

} // namespace
} // namespace zk
