// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/locale_guard.h"
#include "common/time_limit.h"
#include "support/errors.h"
#include "support/number_text.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace zk {
namespace {

struct ReadCase {
    const char* text;
    long double expected;
};

void ExpectReadings(const ReadCase* begin, const ReadCase* end) {
    for (const ReadCase* c = begin; c != end; ++c) {
        try {
            EXPECT_EQ(TextToNumber(QString::fromUtf8(c->text)), c->expected) << c->text;
        } catch (const Error& error) {
            ADD_FAILURE() << c->text << ": " << error.what();
        }
    }
}

// Readings that are the same under every locale.
const ReadCase kAnyLocale[] = {
    {"", 0},          // empty
    {"abc", 0},       // no sign or digit at all
    {"-", 0},         // a lone sign
    {"440 Hz", 440},  // trailing text is dropped
    {"- 12", -12},    // blanks after a sign are removed
    {"-   12", -12},  //
    {"12  34", 12},   // two blanks end the number
    {"1 234", 1234},  // a single blank groups digits
    {"3E2", 300},     // decimal exponent after a digit 1..9
    {"2E-3", 2},      // the exponent has no sign: "2E" is read
    {"10E2", 1000},   // after a zero the locale conversion reads the exponent
    {"1e5", 1},       // a lower-case e ends the number
    {"x=+7", 7},      //
    {"f 264", 264},   //
    {"1E2E1", 1e20L}, // only the first "E" at each level: 1 * 10^(2E1)
};

TEST(TextToNumber, LenientReadingOfTypedNumbers) {
    for (const QLocale& locale : {test::German(), test::English()}) {
        test::LocaleGuard guard(locale);
        ExpectReadings(std::begin(kAnyLocale), std::end(kAnyLocale));
    }
}

TEST(TextToNumber, EitherSeparatorUnderEitherLocale) {
    {
        test::LocaleGuard german(test::German());
        const ReadCase cases[] = {
            {"ca. 3,5", 3.5L},   // leading text skipped
            {"3.5", 3.5L},       // the other separator counts as decimal separator
            {"1.234,5", 1.234L}, // the point becomes the separator, cut before the second
            {",5", 5},           // a leading separator is dropped like any other text
            {"-0,25", -0.25L},   //
        };
        ExpectReadings(std::begin(cases), std::end(cases));
    }
    {
        test::LocaleGuard english(test::English());
        const ReadCase cases[] = {
            {"ca. 3.5", 3.5L}, {"3,5", 3.5L}, {"1,234.5", 1.234L}, {".5", 5}, {"-0.25", -0.25L},
        };
        ExpectReadings(std::begin(cases), std::end(cases));
    }
}

TEST(TextToNumber, UnreadableTextsRaiseAConversionErrorNamingTheText) {
    test::LocaleGuard german(test::German());
    for (const char* text : {"+E", "-E5", "10E", "0E"}) {
        try {
            TextToNumber(QString::fromUtf8(text));
            ADD_FAILURE() << text;
        } catch (const ConversionError& error) {
            EXPECT_TRUE(error.message().contains(QString::fromUtf8(text))) << error.what();
        }
    }
    EXPECT_THROW(TextToNumber(QStringLiteral("9E9999")), MathError); // decimal exponent overflow
}

// `unit` repeated after `head` until the text has `length` characters, then `tail`.
QString Repeated(const QString& head, const QString& unit, int length, const QString& tail = {}) {
    QString text = head;
    while (text.size() + tail.size() < length) {
        text += unit;
    }
    text.truncate(length - tail.size());
    return text + tail;
}

// A text of the given length, what it reads as at 100 000 characters, or the error it raises
// there and the text that error quotes.
struct LongText {
    const char* what;
    std::function<QString(int)> make;
    std::optional<long double> value;
    std::function<QString(const QString&)> quoted;
};

const LongText kLongTexts[] = {
    {"a chain of decimal exponents: 1·10^(1·10^(…))",
     [](int n) { return Repeated(u"1"_qs, u"E1"_qs, n, u"E11"_qs); }, std::nullopt,
     [](const QString&) { return u"1E11"_qs; }}, // the exponent 1E11 is no 32-bit number
    {"exponents that begin with further E's", [](int n) { return Repeated(u"5"_qs, u"EE1"_qs, n); },
     std::nullopt, [](const QString&) { return u"E1EE1EE1"_qs; }},
    {"a negative mantissa before the chain",
     [](int n) { return Repeated(u"-71"_qs, u"E1"_qs, n, u"E11"_qs); }, std::nullopt,
     [](const QString&) { return u"1E11"_qs; }},
    {"a mantissa beyond the extended range before the chain: reported first",
     [](int n) { return Repeated(QString(4999, u'9'), u"E1"_qs, n, u"E11"_qs); }, std::nullopt,
     [](const QString&) { return QString(4999, u'9'); }},
    {"blanks between the sign and the digits",
     [](int n) { return Repeated(u"-"_qs, u" "_qs, n, u"5"_qs); }, -5, nullptr},
    {"only E's after the first digit: the exponent reads as 0",
     [](int n) { return Repeated(u"9"_qs, u"E"_qs, n); }, 9, nullptr},
    {"E's, then the exponent", [](int n) { return Repeated(u"1"_qs, u"E"_qs, n, u"2"_qs); }, 100,
     nullptr},
    {"an exponent of zeros", [](int n) { return Repeated(u"1E"_qs, u"0"_qs, n); }, 1, nullptr},
    {"a fraction with a long tail of zeros", [](int n) { return Repeated(u"0,5"_qs, u"0"_qs, n); },
     0.5L, nullptr},
    {"digits beyond the extended range", [](int n) { return Repeated(u"3"_qs, u"0"_qs, n); },
     std::nullopt, [](const QString& text) { return text; }},
    {"a zero before each later E: the exponent text is no number",
     [](int n) { return Repeated(u"1"_qs, u"E0"_qs, n); }, std::nullopt,
     [](const QString& text) { return text.mid(2); }},
    {"digits grouped by single blanks", [](int n) { return Repeated({}, u"1 "_qs, n); },
     std::nullopt, [](const QString& text) { return text; }},
    {"two blanks end the number before a long tail",
     [](int n) { return Repeated(u"7E1E1  "_qs, u"1E1"_qs, n); }, 7e10L, nullptr},
};

// The fastest of five readings, in milliseconds; the reading itself may raise.
double ReadingTime(const QString& text) {
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        try {
            TextToNumber(text);
        } catch (const Error&) {
        }
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

TEST(TextToNumber, LongTextsReadInLinearTimeWithTheirValues) {
    test::LocaleGuard german(test::German());
    for (const LongText& c : kLongTexts) {
        const QString text = c.make(100000);
        ASSERT_EQ(text.size(), 100000) << c.what;
        try {
            const long double value = TextToNumber(text);
            ASSERT_TRUE(c.value.has_value()) << c.what << " gave " << static_cast<double>(value);
            EXPECT_EQ(value, *c.value) << c.what;
        } catch (const Error& error) {
            ASSERT_FALSE(c.value.has_value()) << c.what << ": " << error.what();
            const QString quoted = QStringLiteral("\"%1\"").arg(c.quoted(text));
            EXPECT_TRUE(error.message().startsWith(quoted)) << c.what << ": " << error.what();
        }
        // Generous bounds for a loaded machine and the sanitizer build: a reader that works
        // once per character takes well under a millisecond per 10 000; one that copies the
        // rest of the text per exponent or per blank takes seconds, or runs out of stack.
        const double quarter = ReadingTime(c.make(25000));
        const double full = ReadingTime(text);
        EXPECT_LT(full, test::TimeLimitMs(250)) << c.what;
        EXPECT_LT(full, 8 * quarter + test::TimeLimitMs(30))
            << c.what << ": " << quarter << " ms for a quarter";
    }
}

TEST(TextToInt, RoundsHalvesToEvenAndChecksTheRange) {
    test::LocaleGuard german(test::German());
    const std::pair<const char*, int> cases[] = {
        {"2,5", 2},
        {"3,5", 4},
        {"-2,5", -2},
        {"-3,5", -4},
        {"2,51", 3},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(TextToInt(QString::fromUtf8(text)), expected) << text;
    }
    try {
        TextToInt(QStringLiteral("2147483648"));
        ADD_FAILURE();
    } catch (const RangeError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("2147483648")));
    }
    EXPECT_THROW(TextToInt(QStringLiteral("-3E12")), RangeError);
}

TEST(NumberField, FieldsOfExpressions) {
    test::LocaleGuard german(test::German());
    const std::tuple<const char*, int, long double> cases[] = {
        {"440 | 550 660", 2, 550}, // blanks and bars separate
        {"440 | 550 660", 3, 660}, //
        {"440 | 550 660", 4, 0},   // beyond the last field
        {"440*3/2", 1, 660},       // each field is an expression
        {"440", 2, 0},             //
        {"abc", 1, 0},             // nothing readable
        {"1|2|3", 3, 3},           //
        {"sin(1)", 1, 1},          // leading letters are skipped, "(1)" remains
        {"f: 264", 1, 264},        //
        {"1/0 5", 1, 0},           // a faulty field is 0, never an error
        {"1/0 5", 2, 5},           //
        {"||  7", 1, 7},           // leading bars and blanks skipped
        {"", 1, 0},                //
    };
    for (const auto& [text, n, expected] : cases) {
        EXPECT_EQ(NumberField(QString::fromUtf8(text), n), expected) << text << " " << n;
    }
}

struct WriteCase {
    int decimals;
    long double x;
    const char* german;
};

TEST(NumberToText, DecimalsRoundingAndSigns) {
    const WriteCase cases[] = {
        {2, 440, "440"},                                    // whole numbers have no separator
        {2, 1.5L, "1,5"},                                   // trailing zeros dropped
        {2, 2.999L, "3"},                                   // a fraction rounding up to one
        {2, -0.25L, "-0,25"},                               //
        {2, 0.001L, "0"},                                   // all places round to zero
        {2, -0.001L, "-0"},                                 // the sign stays
        {2, 0.125L, "0,13"},                                // halves away from zero
        {2, -0.125L, "-0,13"},                              //
        {1, 263.99999999999999L, "264"},                    // a computed c1
        {1, 329.6275569128699L, "329,6"},                   //
        {4, 1.00005L, "1,0001"},                            //
        {0, 2.5L, "3"},                                     // no decimals: halves away from zero
        {0, 2.4L, "2"},                                     //
        {18, 0.5L, "0,5"},                                  //
        {40, 0.5L, "0,5"},                                  // more than 18 decimals show 18
        {15, 1.0L / 3.0L, "0,333333333333333"},             //
        {1, 9223372036854775807.0L, "9223372036854775807"}, // largest 64-bit integer part
    };
    for (const QLocale& locale : {test::German(), test::English()}) {
        test::LocaleGuard guard(locale);
        for (const auto& c : cases) {
            QString expected = QString::fromUtf8(c.german);
            if (locale.language() == QLocale::English) {
                expected.replace(u',', u'.');
            }
            EXPECT_EQ(NumberToText(c.decimals, c.x), expected)
                << static_cast<double>(c.x) << " with " << c.decimals;
        }
    }
}

TEST(NumberToText, FallsBackToTheGeneralFormBeyondSixtyFourBits) {
    test::LocaleGuard german(test::German());
    EXPECT_EQ(NumberToText(2, 1e30L), QStringLiteral("1E30"));
    EXPECT_EQ(NumberToText(2, -2.5e25L), QStringLiteral("-2,5E25"));
    EXPECT_EQ(NumberToText(2, 1e19L + 0.5L), QStringLiteral("1E19"));
    EXPECT_EQ(FloatToGeneralText(1.5e-7L), QStringLiteral("1,5E-7"));
    EXPECT_EQ(FloatToGeneralText(0.0001L), QStringLiteral("0,0001"));
    EXPECT_EQ(FloatToGeneralText(123456.789L), QStringLiteral("123456,789"));
    EXPECT_EQ(FloatToGeneralText(1.0L / 3.0L), QStringLiteral("0,333333333333333"));
}

TEST(NumberToGroupedText, GroupsOfThree) {
    test::LocaleGuard german(test::German());
    EXPECT_EQ(NumberToGroupedText(0, 1234567), QStringLiteral("1 234 567"));
    EXPECT_EQ(NumberToGroupedText(0, 123), QStringLiteral("123"));
    EXPECT_EQ(NumberToGroupedText(7, 0.1234567L), QStringLiteral("0,123 456 7"));
    EXPECT_EQ(NumberToGroupedText(2, -1234.5L), QStringLiteral("-1 234,5"));
    EXPECT_EQ(NumberToGroupedText(2, 999999.999L), QStringLiteral("1 000 000"));
}

TEST(NumberText, WrittenNumbersReadBack) {
    // What the program writes, it reads again to within the decimals written.
    for (const QLocale& locale : {test::German(), test::English()}) {
        test::LocaleGuard guard(locale);
        for (long double x : {0.0L, 1.5L, -264.125L, 440.0L, 1234.5678L, -0.0625L}) {
            for (int n = 0; n <= 6; ++n) {
                const long double back = TextToNumber(NumberToText(n, x));
                EXPECT_LE(std::fabs(back - x), 0.5L * std::pow(10.0L, -n) + 1e-12L)
                    << static_cast<double>(x) << " " << n;
            }
        }
    }
}

} // namespace
} // namespace zk
