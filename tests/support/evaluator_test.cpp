// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/locale_guard.h"
#include "common/time_limit.h"
#include "support/errors.h"
#include "support/evaluator.h"
#include "support/fractions.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace zk {
namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

struct ValueCase {
    const char* text; // UTF-8
    long double expected;
};

void ExpectValues(const ValueCase* begin, const ValueCase* end) {
    for (const ValueCase* c = begin; c != end; ++c) {
        try {
            const long double value = Evaluate(QString::fromUtf8(c->text));
            EXPECT_NEAR(static_cast<double>(value), static_cast<double>(c->expected), 1e-15)
                << c->text;
        } catch (const Error& error) {
            ADD_FAILURE() << c->text << ": " << error.what();
        }
    }
}

// Values that do not depend on the decimal separator.
const ValueCase kValues[] = {
    {"1+2*3", 7},                   // "*" binds tighter
    {"(1+2)*3", 9},                 //
    {"2^10", 1024},                 //
    {"2^-1", 0},                    // the minus splits first: (2^0) - 1
    {"8/4/2", 1},                   // chains read left to right
    {"2^3^2", 64},                  // so does "^": (2^3)^2
    {"8-3-2", 3},                   //
    {"2*3/4", 1.5L},                //
    {"3:4", 0.75L},                 // ":" divides when there is no "/"
    {"8/4:2", 4},                   // "/" splits first: 8 / (4:2)
    {"6\u00b77", 42},               // the middle dot multiplies
    {"-3", -3},                     //
    {"+3", 3},                      // the first character is never a split point
    {"", 0},                        // empty is zero
    {"  4 2 ", 42},                 // blanks vanish before anything else
    {"3+", 3},                      // a missing operand counts as zero
    {"2*", 0},                      //
    {"2*-3", -3},                   // (2*0) - 3
    {"-2^2", -4},                   // 0 - 2^2
    {"(2)3", 2},                    // characters after the last ")" are dropped
    {"()", 0},                      //
    {"Pi", kPi},                    //
    {"x", 0},                       // Evaluate binds x to 0
    {"lg1000", 3},                  //
    {"ln1", 0},                     //
    {"lb8", 3},                     //
    {"lg(100)", 2},                 //
    {"sin0", 0},                    //
    {"cos0", 1},                    //
    {"si_30", 0.5L},                // degrees
    {"co_60", 0.5L},                //
    {"ta_45", 1},                   //
    {"as_1", 90},                   // exactly 90
    {"acs(-1)", kPi},               //
    {"acs-1", kPi / 2 - 1},         // arccos(0) - 1: the minus splits first
    {"asn1", kPi / 2},              //
    {"at_1", 45},                   //
    {"abs(-5)", 5},                 //
    {"exp0", 1},                    //
    {"wur16", 4},                   //
    {"wur-4", -4},                  // root of 0, minus 4
    {"int(-2.7)", -2},              // toward zero (these cases run under a point locale)
    {"sin2*3", std::sin(2.0L) * 3}, // a function binds tighter than every operator
    {"2^(7/12)*440", 880},          // "^" rounds its exponent: 7/12 counts as 1
    {"440*3/2", 660},               //
    {"1E5", 100000},                // an unsigned exponent
};

TEST(Evaluate, OperatorsFunctionsAndConstants) {
    test::LocaleGuard english(test::English());
    ExpectValues(std::begin(kValues), std::end(kValues));
    EXPECT_EQ(Evaluate(QStringLiteral("as_1")), 90.0L);
    EXPECT_EQ(Evaluate(QStringLiteral("acs(-1)")), kPi);
    EXPECT_EQ(Evaluate(QStringLiteral("2^10")), 1024.0L);
}

TEST(Evaluate, LocaleNumbers) {
    {
        test::LocaleGuard german(test::German());
        const ValueCase cases[] = {
            {"1,5*2", 3},      //
            {"2^0,5", 1},      // the exponent rounds to 0 (half to even)
            {"2^1,5", 4},      // and 1.5 rounds to 2
            {"rou2,5", 3},     // rou: integer part of x + 0.5
            {"rou(-2,7)", -2}, //
            {",5", 0.5L},      //
        };
        ExpectValues(std::begin(cases), std::end(cases));
        EXPECT_THROW(Evaluate(QStringLiteral("3,5.2")), MathError);
        EXPECT_THROW(Evaluate(QStringLiteral("1.5")), MathError);
    }
    {
        test::LocaleGuard english(test::English());
        const ValueCase cases[] = {{"1.5*2", 3}, {"2^0.5", 1}, {"rou2.5", 3}};
        ExpectValues(std::begin(cases), std::end(cases));
        EXPECT_THROW(Evaluate(QStringLiteral("1,5")), MathError);
    }
}

TEST(Evaluate, ErrorsNameTheWholeExpression) {
    test::LocaleGuard german(test::German());
    const std::pair<const char*, const char*> cases[] = {
        {"1+(2*", "1+(2*"},                       // unbalanced, reported for the whole text
        {"wur(-4)", "wur(-4)"},                   //
        {"lg0", "lg0"},                           //
        {"1/0", "1/0"},                           //
        {"(1", "(1"},                             //
        {"1)", "1)"},                             //
        {"3,5.2", "3,5.2"},                       //
        {"pi", "pi"},                             // names are case-sensitive
        {"lgx", "lgx"},                           // log of 0
        {"- 1 / 0", "0-1/0"},                     // blanks removed, "0" before the leading minus
        {"1E-5", "1E-5"},                         // splits into "1E" and "5"; "1E" is no number
        {"exp100000", "exp100000"},               // overflow
        {"2^100000", "2^100000"},                 // overflow of a long product
        {"0^-1", "0^-1"},                         // reciprocal of zero... "0^" - 1 = 1 - 1 is fine
        {"tan(Pi/2)*0+asn2", "tan(Pi/2)*0+asn2"}, // arcsine outside its domain
        {"acs1,5", "acs1,5"},                     //
        {"1E99999", "1E99999"},                   // beyond the extended range
        // An operator with nothing on its left is refused ("+3" alone is the number +3).
        {"*3", "*3"},   //
        {"/2", "/2"},   //
        {":4", ":4"},   //
        {"^2", "^2"},   //
        {"+-3", "+-3"}, // "+" and "3" around the minus: "+" is no number
    };
    for (const auto& [text, named] : cases) {
        if (QString::fromUtf8(text) == u"0^-1") {
            // "0^-1" is (0^0) - 1 = 0: not an error. "0^(-1)" is.
            EXPECT_EQ(Evaluate(QStringLiteral("0^-1")), 0.0L);
            EXPECT_THROW(Evaluate(QStringLiteral("0^(-1)")), MathError);
            continue;
        }
        try {
            const long double value = Evaluate(QString::fromUtf8(text));
            ADD_FAILURE() << text << " gave " << static_cast<double>(value);
        } catch (const MathError& error) {
            EXPECT_EQ(error.message(),
                      QStringLiteral("Fehler:Fehler in ") + QString::fromUtf8(named));
        }
        EXPECT_EQ(EvaluateOrZero(QString::fromUtf8(text)), 0.0L) << text;
    }
}

TEST(Evaluate, VariableX) {
    test::LocaleGuard english(test::English());
    EXPECT_EQ(EvaluateWithX(QStringLiteral("x*2+1"), 3), 7.0L);
    EXPECT_EQ(EvaluateWithX(QStringLiteral("lgx"), 100), 2.0L);
    EXPECT_THROW(Evaluate(QStringLiteral("X")), MathError);
}

// The product of `count` factors written out: each multiplication rounded in turn.
long double WrittenOutProduct(long double base, int count) {
    long double product = 1;
    for (int i = 0; i < count; ++i) {
        product *= base;
    }
    return product;
}

bool SameBits(long double a, long double b) {
    return a == b && std::signbit(a) == std::signbit(b);
}

struct PowerCase {
    const char* text;
    long double base;
    int count;
};

// Powers up to 65 536 factors keep the value of the product written out, rounding and all;
// repeated squaring would round differently for most inexact bases.
const PowerCase kPowers[] = {
    {"1.1^1000", 1.1L, 1000},         // inexact base, growing product
    {"1.0001^65536", 1.0001L, 65536}, // the longest product multiplied factor by factor
    {"0.7^3000", 0.7L, 3000},         // shrinking product
    {"(0-1.01)^777", -1.01L, 777},    // negative base, odd count
    {"0.5^20000", 0.5L, 20000},       // sinks below the subnormals to zero
    {"(0-0.5)^16447", -0.5L, 16447},  // and to a negative zero
    {"0.8^60000", 0.8L, 60000},       // settles on a subnormal that 0.8 rounds back to
    {"1^65536", 1, 65536},            //
    {"(0-1)^65535", -1, 65535},       //
    {"((0-0)*(0-1))^3", -0.0L, 3},    // a negative zero stays one for an odd count
    {"3^40", 3, 40},                  // exact: 3^40 fits the 64-bit mantissa
    {"(10/9)^100*(9/10)^100", 0, 0},  // checked below as a product of two powers
};

TEST(Evaluate, PowersKeepTheWrittenOutProduct) {
    test::LocaleGuard english(test::English());
    int differsFromSquaring = 0;
    for (const PowerCase& c : kPowers) {
        const long double value = Evaluate(QString::fromUtf8(c.text));
        if (c.count == 0) {
            const long double expected =
                WrittenOutProduct(10.0L / 9, 100) * WrittenOutProduct(9.0L / 10, 100);
            EXPECT_TRUE(SameBits(value, expected)) << c.text;
            continue;
        }
        const long double expected = WrittenOutProduct(c.base, c.count);
        EXPECT_TRUE(SameBits(value, expected)) << c.text << ": " << static_cast<double>(value)
                                               << " vs " << static_cast<double>(expected);
        differsFromSquaring += IntPower(c.base, c.count) != expected;
    }
    // The table holds products that repeated squaring would change.
    EXPECT_GE(differsFromSquaring, 3);
}

// "+"-separated powers, in groups of sixteen so that the split depth stays small.
QString PowerTerms(const QString& term, int count) {
    QString text;
    for (int i = 0; i < count; ++i) {
        text += (i == 0        ? QString()
                 : i % 16 == 0 ? QStringLiteral(")+(")
                               : QStringLiteral("+")) +
                term;
    }
    return u'(' + text + u')';
}

TEST(Evaluate, PowersShareABudgetOfMultiplicationsPerExpression) {
    test::LocaleGuard english(test::English());
    const int fullPowers = static_cast<int>(kMaxPowerFactors / 65536);
    // As many powers of 65 536 inexact factors as the budget holds: the exact written-out sum.
    const QString within = PowerTerms(QStringLiteral("1.0001^65536"), fullPowers);
    long double sum = 0;
    for (int i = 0; i < fullPowers; ++i) {
        sum += WrittenOutProduct(1.0001L, 65536);
    }
    EXPECT_TRUE(SameBits(Evaluate(within), sum));
    // One more factor is refused, and the message names the whole expression.
    const QString beyond = within + QStringLiteral("+1.0001^1");
    try {
        Evaluate(beyond);
        ADD_FAILURE() << "no error for " << beyond.size() << " characters";
    } catch (const MathError& error) {
        EXPECT_EQ(error.message(),
                  QStringLiteral("Fehler:Fehler in ") + beyond.left(40) + QChar(0x2026));
    }
    EXPECT_EQ(EvaluateOrZero(beyond), 0.0L);
    // Every expression has its own budget.
    EXPECT_TRUE(SameBits(Evaluate(within), sum));
    // Products that settle stop counting: a hundred powers of 1, -1 and 0 cost next to nothing,
    // and so do powers beyond 65 536 factors, which are computed by repeated squaring.
    EXPECT_EQ(Evaluate(PowerTerms(QStringLiteral("1^65536"), 100)), 100.0L);
    EXPECT_EQ(Evaluate(PowerTerms(QStringLiteral("(0-1)^65535"), 100)), -100.0L);
    EXPECT_EQ(Evaluate(PowerTerms(QStringLiteral("0^65536"), 100)), 0.0L);
    EXPECT_NEAR(static_cast<double>(Evaluate(PowerTerms(QStringLiteral("1.0000001^70000"), 100))),
                static_cast<double>(100 * IntPower(1.0000001L, 70000)), 1e-12);
}

// The costliest expressions within the length limit: every one is answered quickly.
TEST(Evaluate, TheLengthLimitBoundsTheWorkOfEveryExpression) {
    test::LocaleGuard english(test::English());
    const int depth = kMaxExpressionDepth - 1;
    const QString longNumber = u'1' + QString(kMaxExpressionLength - 2 * depth - 1, u'0');
    const QString powers = PowerTerms(QStringLiteral("1.1^65536"), 384);
    const QString somePowers = PowerTerms(QStringLiteral("1.1^65536"), 9);
    const std::pair<const char*, QString> cases[] = {
        {"powers beyond the budget", powers},
        {"powers inside deep parentheses",
         QString(380, u'(') + somePowers + u'+' +
             QString(kMaxExpressionLength - 2 * 380 - somePowers.size() - 1, u'1') +
             QString(380, u')')},
        {"parentheses nested to the depth limit",
         QString(depth, u'(') + longNumber + QString(depth, u')')},
        {"an error at the bottom of deep parentheses",
         QString(depth, u'(') + longNumber.chopped(2) + QStringLiteral("/0") +
             QString(depth, u')')},
        {"a chain of functions", QString(depth, u'a').replace(u"a"_qs, u"abs"_qs) + u'2'},
        {"a chain of powers after a long number",
         longNumber + QString(depth, u'^').replace(u"^"_qs, u"^1"_qs)},
        {"a sum of 2 000 terms", QStringLiteral("1+").repeated(1999) + u'1'},
        {"a product of 2 000 factors", QStringLiteral("1*").repeated(1999) + u'1'},
        {"a chain of powers", QStringLiteral("1^").repeated(1999) + u'1'},
        {"chains inside deep parentheses",
         QString(depth, u'(') + QStringLiteral("1*").repeated(700) + u'1' + QString(depth, u')')},
    };
    for (const auto& [what, text] : cases) {
        ASSERT_LE(text.size(), kMaxExpressionLength) << what;
        qint64 fastest = std::numeric_limits<qint64>::max();
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer timer;
            timer.start();
            EvaluateOrZero(text);
            fastest = std::min(fastest, timer.elapsed());
        }
        // At most 8 ms on an idle machine and 50 ms in the sanitizer build; the bound leaves room
        // for a loaded machine. The powers took 150 ms when they were not bounded.
        EXPECT_LT(fastest, test::TimeLimitMs(200)) << what;
    }
    EXPECT_THROW(Evaluate(powers), MathError);
}

TEST(Evaluate, HugeExponentsDoNotHang) {
    test::LocaleGuard english(test::English());
    EXPECT_EQ(Evaluate(QStringLiteral("1^1000000000000")), 1.0L);
    EXPECT_EQ(Evaluate(QStringLiteral("(-1)^1000000000001")), -1.0L);
    EXPECT_EQ(Evaluate(QStringLiteral("0.5^100000000")), 0.0L); // underflow passes silently
}

// A chain of one operator is split again and again at its rightmost operator, but it is not
// nesting: chains of any length within the length limit evaluate, left to right.
TEST(Evaluate, FlatChainsOfAnyAllowedLengthEvaluate) {
    test::LocaleGuard english(test::English());
    const QString ones402 = QStringLiteral("1+").repeated(401) + u'1';
    ASSERT_EQ(ones402.size(), 803);
    EXPECT_EQ(Evaluate(ones402), 402.0L);
    EXPECT_EQ(Evaluate(QStringLiteral("1+").repeated(1999) + u'1'), 2000.0L);
    // 4000 - 1998 * 1, exactly 4000 characters.
    const QString differences = QStringLiteral("4000") + QStringLiteral("-1").repeated(1998);
    ASSERT_EQ(differences.size(), kMaxExpressionLength);
    EXPECT_EQ(Evaluate(differences), 2002.0L);
    // Products and quotients of powers of two are exact.
    EXPECT_EQ(Evaluate(u'2' + QStringLiteral("*2").repeated(999)), std::ldexp(1.0L, 1000));
    EXPECT_EQ(Evaluate(u'2' + QStringLiteral(u"\u00b72").repeated(999)), std::ldexp(1.0L, 1000));
    EXPECT_EQ(Evaluate(u'1' + QStringLiteral("/2").repeated(1000)), std::ldexp(1.0L, -1000));
    EXPECT_EQ(Evaluate(u'1' + QStringLiteral(":2").repeated(1000)), std::ldexp(1.0L, -1000));
    // "/" splits before ":": 1/2:2:...:2 is 1 / (2:2:...:2) = 1 / 2^-998 = 2^998.
    EXPECT_EQ(Evaluate(QStringLiteral("1/2") + QStringLiteral(":2").repeated(999)),
              std::ldexp(1.0L, 998));
    // (((1.5^1)^1)...)^1 and ((2^2)^2)^2.
    EXPECT_EQ(Evaluate(QStringLiteral("1.5") + QStringLiteral("^1").repeated(1998)), 1.5L);
    EXPECT_EQ(Evaluate(QStringLiteral("2^2^2^2")), 256.0L);
    // Every minus after the first is a binary minus with an empty (zero) left side:
    // 0 - 0 - ... - 0 - 5.
    EXPECT_EQ(Evaluate(QString(3000, u'-') + u'5'), -5.0L);
    // A sum of differences 1 + (1-1) + (1-1) + ...
    EXPECT_EQ(Evaluate(u'1' + QStringLiteral("+1-1").repeated(999)), 1.0L);
    // A long chain inside parentheses that are deep but within the limit.
    const QString inner = QStringLiteral("1+").repeated(1000) + u'1';
    EXPECT_EQ(Evaluate(QString(300, u'(') + inner + QString(300, u')')), 1001.0L);
    EXPECT_EQ(Evaluate(QStringLiteral("(1+").repeated(100) + inner + QString(100, u')')), 1101.0L);
    // A flat chain that fails anywhere still names the whole expression.
    EXPECT_THROW(Evaluate(QStringLiteral("1+").repeated(1000) + QStringLiteral("1/0")), MathError);
    EXPECT_THROW(Evaluate(QStringLiteral("1/0+") + QStringLiteral("1+").repeated(1000) + u'1'),
                 MathError);

    // Real nesting is still bounded: parentheses and function arguments beyond the depth limit
    // are refused, within the length limit, at the limit they evaluate.
    const int limit = kMaxExpressionDepth;
    EXPECT_EQ(Evaluate(QString(limit, u'(') + u'7' + QString(limit, u')')), 7.0L);
    EXPECT_THROW(Evaluate(QString(limit + 1, u'(') + u'7' + QString(limit + 1, u')')), MathError);
    // 398 functions, the parentheses and the right side of the minus: 400 levels.
    EXPECT_EQ(Evaluate(QStringLiteral("abs").repeated(limit - 2) + QStringLiteral("(0-7)")), 7.0L);
    EXPECT_THROW(Evaluate(QStringLiteral("abs").repeated(limit - 1) + QStringLiteral("(0-7)")),
                 MathError);
    EXPECT_THROW(Evaluate(QStringLiteral("abs").repeated(limit + 1) + u'7'), MathError);
    const int deepest = (kMaxExpressionLength - 1) / 2;
    EXPECT_THROW(Evaluate(QString(deepest, u'(') + u'1' + QString(deepest, u')')), MathError);
    EXPECT_THROW(Evaluate(QStringLiteral("(1+").repeated(900) + u'1' + QString(900, u')')),
                 MathError);
}

// Messages quote the expression, but a long one only by its first 40 characters and "…".
TEST(Evaluate, ErrorMessagesQuoteAtMostFortyCharacters) {
    test::LocaleGuard english(test::English());
    const QString prefix = QStringLiteral("Fehler:Fehler in ");
    const QChar ellipsis(0x2026);
    const auto messageOf = [](const QString& text) -> QString {
        try {
            Evaluate(text);
        } catch (const MathError& error) {
            return error.message();
        }
        ADD_FAILURE() << "no error for " << text.toStdString();
        return QString();
    };
    // 40 characters are quoted in full, 41 are cut to 40.
    const QString forty = QStringLiteral("11/0") + QStringLiteral("+1").repeated(18);
    ASSERT_EQ(forty.size(), 40);
    EXPECT_EQ(messageOf(forty), prefix + forty);
    EXPECT_EQ(messageOf(forty + u'+'), prefix + forty + ellipsis);
    // Far beyond the length limit.
    const QString huge = QStringLiteral("1+").repeated(50000);
    EXPECT_EQ(messageOf(huge), prefix + QStringLiteral("1+").repeated(20) + ellipsis);
    // The count is taken after blanks are removed and "0" is put before a leading minus.
    EXPECT_EQ(messageOf(QStringLiteral(" - ") + QString(60, u'1') + QStringLiteral(" / 0")),
              prefix + QStringLiteral("0-") + QString(38, u'1') + ellipsis);
    EXPECT_EQ(messageOf(QStringLiteral(" 1 / 0 ")), prefix + QStringLiteral("1/0"));
    EXPECT_EQ(EvaluateOrZero(huge), 0.0L);
}

TEST(Evaluate, DeepNestingAndLongTextsFailCleanly) {
    test::LocaleGuard english(test::English());
    QElapsedTimer timer;
    timer.start();
    const QString opens(100000, u'(');
    EXPECT_THROW(Evaluate(opens), MathError);
    const QString nested = QString(100000, u'(') + u'1' + QString(100000, u')');
    EXPECT_THROW(Evaluate(nested), MathError);
    QString sum = QStringLiteral("1");
    for (int i = 0; i < 20000; ++i) {
        sum += QStringLiteral("+1");
    }
    EXPECT_THROW(Evaluate(sum), MathError);
    // Generous bound: only a runaway (quadratic scan of 100 000 levels) would come near it.
    EXPECT_LT(timer.elapsed(), test::TimeLimitMs(5000));
    // Moderate nesting is still an ordinary expression.
    const QString fine = QString(100, u'(') + u'2' + QString(100, u')') + QStringLiteral("*3");
    EXPECT_EQ(Evaluate(fine), 6.0L);
}

} // namespace
} // namespace zk
