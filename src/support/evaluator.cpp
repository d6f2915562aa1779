// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/evaluator.h"

#include "support/checked_math.h"
#include "support/errors.h"
#include "support/fractions.h"
#include "support/number_text.h"
#include "support/text_helpers.h"

#include <array>
#include <climits>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace zk {

namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;
constexpr long double kDegree = 0.017453292519943295769L; // π/180
// Up to this many factors "^" multiplies one by one, as written; beyond it binary
// exponentiation keeps huge exponents from hanging the program.
constexpr unsigned long long kMaxSequentialFactors = 65536;

QString ErrorMessage(const QString& text) {
    return QStringLiteral("Fehler:") + QStringLiteral("Fehler in ") + QuotedInput(text);
}

// Thrown wherever the evaluation fails; Whole() turns it into the message naming the expression.
struct LevelFailure {};

[[noreturn]] void Fail() {
    throw LevelFailure{};
}

long double Checked(long double value) {
    if (!std::isfinite(value)) {
        Fail();
    }
    return value;
}

// The operators in the order they are tried: the loosest-binding first. ":" divides only where
// a text holds no "/".
constexpr std::array<char16_t, 7> kOperators = {u'+', u'-', u'*', 0x00B7, u'/', u':', u'^'};

// The place of `c` in kOperators, or -1.
int OperatorIndex(char16_t c) {
    switch (c) {
    case u'+':
        return 0;
    case u'-':
        return 1;
    case u'*':
        return 2;
    case 0x00B7:
        return 3;
    case u'/':
        return 4;
    case u':':
        return 5;
    case u'^':
        return 6;
    default:
        return -1;
    }
}

constexpr std::size_t kDivide = 4;
constexpr std::size_t kRatio = 5;

// Where a text splits. A text splits at its loosest-binding operator outside parentheses, at the
// rightmost occurrence of it and never at its first character; its left side splits again by the
// same rule, and so on down to the first operand of the chain ("8-3+2" is (8-3)+2). The split point
// lies outside parentheses, so every character of the left side has the same depth in it as in the
// whole text, and the left side's parentheses balance exactly when the whole text's do. One scan of
// the text, from the last character back to the first, therefore serves the whole chain: it lists
// each operator's places outside parentheses, rightmost first. A ")" adds one to the depth of the
// characters left of it, a "(" takes one away.
class SplitPlaces {
public:
    explicit SplitPlaces(QStringView s) {
        int depth = 0;
        for (qsizetype i = s.size() - 1; i >= 0; --i) {
            const char16_t c = s[i].unicode();
            if (c == u')') {
                ++depth;
            } else if (c == u'(') {
                --depth;
            } else if (depth == 0 && i >= 1) {
                const int k = OperatorIndex(c);
                if (k >= 0) {
                    m_places[static_cast<std::size_t>(k)].push_back(i);
                }
            }
        }
        m_balanced = depth == 0;
    }

    // The split of the text's first `end` characters (a left side of an earlier split, or the whole
    // text): the operator's place in kOperators and the split point, or nothing when that part is a
    // single operand. ":" divides only where the part holds no "/"; the split is reported as "/"
    // then.
    struct Split {
        std::size_t op;
        qsizetype at;
    };
    std::optional<Split> Next(qsizetype end) {
        for (std::size_t k = 0; k < kOperators.size(); ++k) {
            if (k == kRatio) {
                continue; // tried together with "/"
            }
            std::optional<qsizetype> at = Rightmost(k, end);
            if (!at && k == kDivide) {
                at = Rightmost(kRatio, end);
            }
            if (at) {
                return Split{k, *at};
            }
            // Unbalanced parentheses are an error as soon as an operator is missing.
            if (!m_balanced) {
                Fail();
            }
        }
        return std::nullopt;
    }

private:
    std::optional<qsizetype> Rightmost(std::size_t k, qsizetype end) {
        const std::vector<qsizetype>& places = m_places[k];
        std::size_t& next = m_next[k];
        while (next < places.size() && places[next] >= end) {
            ++next;
        }
        if (next == places.size()) {
            return std::nullopt;
        }
        return places[next];
    }

    std::array<std::vector<qsizetype>, kOperators.size()> m_places;
    std::array<std::size_t, kOperators.size()> m_next{};
    bool m_balanced = true;
};

long double ApplyFunction(QStringView name, long double a) {
    if (name == u"lg" || name == u"ln" || name == u"lb") {
        if (a <= 0) {
            Fail();
        }
        return Checked(name == u"lg" ? std::log10(a) : name == u"ln" ? std::log(a) : std::log2(a));
    }
    const auto arcSine = [](long double v) -> long double {
        if (std::fabs(v - 1) < 1e-15L) {
            return kPi / 2;
        }
        if (std::fabs(v + 1) < 1e-15L) {
            return -kPi / 2;
        }
        if (v * v >= 1) {
            Fail();
        }
        return std::asin(v);
    };
    const auto arcCosine = [](long double v) -> long double {
        if (std::fabs(v - 1) < 1e-15L) {
            return 0;
        }
        if (std::fabs(v + 1) < 1e-15L) {
            return kPi;
        }
        if (v * v >= 1) {
            Fail();
        }
        return std::acos(v);
    };
    const auto tangent = [](long double v) -> long double {
        const long double c = std::cos(v);
        if (c == 0) {
            Fail();
        }
        return Checked(std::sin(v) / c);
    };
    const long double toDegrees = 180 / kPi;
    if (name == u"sin")
        return Checked(std::sin(a));
    if (name == u"cos")
        return Checked(std::cos(a));
    if (name == u"tan")
        return tangent(a);
    if (name == u"si_")
        return Checked(std::sin(a * kDegree));
    if (name == u"co_")
        return Checked(std::cos(a * kDegree));
    if (name == u"ta_")
        return tangent(a * kDegree);
    if (name == u"atn")
        return std::atan(a);
    if (name == u"asn")
        return arcSine(a);
    if (name == u"acs")
        return arcCosine(a);
    if (name == u"at_")
        return std::atan(a) * toDegrees;
    if (name == u"as_")
        return arcSine(a) * toDegrees;
    if (name == u"ac_")
        return arcCosine(a) * toDegrees;
    if (name == u"abs")
        return std::fabs(a);
    if (name == u"exp")
        return Checked(std::exp(a));
    if (name == u"wur") {
        if (a < 0) {
            Fail();
        }
        return std::sqrt(a);
    }
    if (name == u"int")
        return std::trunc(a);
    if (name == u"rou")
        return std::trunc(Checked(a + 0.5L));
    Fail();
}

bool IsTwoLetterFunction(QStringView s) {
    return s.startsWith(u"lg") || s.startsWith(u"ln") || s.startsWith(u"lb");
}

bool IsThreeLetterFunction(QStringView s) {
    static const char16_t* const kNames[] = {u"sin", u"cos", u"tan", u"si_", u"co_", u"ta_",
                                             u"atn", u"asn", u"acs", u"at_", u"as_", u"ac_",
                                             u"abs", u"exp", u"wur", u"int", u"rou"};
    for (const char16_t* name : kNames) {
        if (s.startsWith(QStringView(name))) {
            return true;
        }
    }
    return false;
}

class Evaluator {
public:
    explicit Evaluator(long double x) : m_x(x) {}

    // The value of a whole expression; every failure inside it becomes the one message that names
    // the expression.
    long double Whole(const QString& rawText) {
        QString s = RemoveBlanks(rawText);
        if (s.startsWith(u'-')) {
            s.prepend(u'0');
        }
        try {
            if (s.size() > kMaxExpressionLength) {
                Fail();
            }
            return Value(s, 0);
        } catch (const LevelFailure&) {
            throw MathError(ErrorMessage(s));
        } catch (const Error&) {
            throw MathError(ErrorMessage(s));
        }
    }

private:
    // The value of a (sub-)text at the given nesting depth. A chain of operators "a+b-c+d" is one
    // level: its operands are found by one scan and combined from left to right, each right operand
    // one level deeper. Parentheses and function arguments are the other levels, so the recursion,
    // and the stack, stay within kMaxExpressionDepth levels whatever the length.
    long double Value(QStringView text, int depth) {
        if (text.isEmpty()) {
            return 0; // a missing operand counts as zero
        }
        if (depth > kMaxExpressionDepth) {
            Fail();
        }
        QString withZero;
        if (text.startsWith(u'-')) {
            withZero.reserve(text.size() + 1);
            withZero.append(u'0');
            withZero.append(text);
            text = withZero;
        }
        struct Step {
            std::size_t op;
            QStringView right;
        };
        std::vector<Step> steps;
        SplitPlaces places(text);
        qsizetype end = text.size();
        while (const auto split = places.Next(end)) {
            steps.push_back({split->op, text.sliced(split->at + 1, end - split->at - 1)});
            end = split->at;
        }
        long double value = Checked(Operand(text.first(end), depth));
        for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
            const long double right = Value(step->right, depth + 1);
            value = Combine(kOperators[step->op], value, right);
        }
        return value;
    }

    long double Combine(char16_t op, long double left, long double right) {
        switch (op) {
        case u'+':
            return Checked(left + right);
        case u'-':
            return Checked(left - right);
        case u'*':
        case 0x00B7:
            return Checked(left * right);
        case u'/':
            if (right == 0) {
                Fail();
            }
            return Checked(left / right);
        default:
            return RaisedTo(left, right);
        }
    }

    // A text without an operator outside parentheses: a function, parentheses, "Pi", "x" or a
    // number.
    long double Operand(QStringView s, int depth) {
        if (IsTwoLetterFunction(s)) {
            return ApplyFunction(s.first(2), Value(s.sliced(2), depth + 1));
        }
        if (IsThreeLetterFunction(s)) {
            return ApplyFunction(s.first(3), Value(s.sliced(3), depth + 1));
        }
        if (s.startsWith(u'(')) {
            QStringView t = s;
            while (t.size() >= 2 && !t.endsWith(u')')) {
                t.chop(1);
            }
            if (t.size() < 2) {
                Fail();
            }
            return Value(t.sliced(1, t.size() - 2), depth + 1);
        }
        if (s == QStringView(u"Pi")) {
            return kPi;
        }
        if (s == QStringView(u"x")) {
            return m_x;
        }
        const auto number = LocaleTextToNumber(s.toString());
        if (!number) {
            Fail();
        }
        return *number;
    }

    // "^": the base multiplied by itself as many times as the exponent rounds to (halves to
    // even), the reciprocal for a negative count, 1 for none.
    long double RaisedTo(long double base, long double exponentValue) {
        const long long n = [&] {
            try {
                return RoundHalfEven(exponentValue, QString());
            } catch (const Error&) {
                Fail();
            }
        }();
        if (n == 0) {
            return 1;
        }
        const unsigned long long count =
            n < 0 ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
        long double product = 1;
        if (count <= kMaxSequentialFactors) {
            product = SequentialProduct(base, count);
        } else {
            try {
                // |n| = 2^63 does not fit a long long: split off one factor.
                product = (n == LLONG_MIN) ? Checked(IntPower(base, LLONG_MAX) * base)
                                           : IntPower(base, n < 0 ? -n : n);
            } catch (const Error&) {
                Fail();
            }
        }
        if (n < 0) {
            if (product == 0) {
                Fail();
            }
            product = Checked(1 / product);
        }
        return product;
    }

    // 1 multiplied by `base` `count` times, one factor after the other and each product rounded,
    // so that the value is that of the written-out product. Every multiplication is taken from
    // the expression's budget. Once the product no longer changes (a base of 1, or a subnormal so
    // small that a base below 1 rounds it back to itself), only changes its sign (a base of -1)
    // or has become zero, the remaining factors are counted instead of multiplied: the same
    // multiplication always gives the same result.
    long double SequentialProduct(long double base, unsigned long long count) {
        long double product = 1;
        for (unsigned long long i = 0; i < count; ++i) {
            if (m_factorsLeft == 0) {
                Fail();
            }
            --m_factorsLeft;
            const long double next = Checked(product * base);
            const unsigned long long remaining = count - i - 1;
            if (next == 0) {
                // Each further factor keeps the zero and flips its sign when it is negative.
                const bool flips = std::signbit(base) && remaining % 2 == 1;
                return std::signbit(next) != flips ? -0.0L : 0.0L;
            }
            if (next == product) {
                return next;
            }
            if (next == -product) {
                return remaining % 2 == 0 ? next : product;
            }
            product = next;
        }
        return product;
    }

    long double m_x;
    long long m_factorsLeft = kMaxPowerFactors;
};

} // namespace

long double EvaluateWithX(const QString& text, long double x) {
    return Evaluator(x).Whole(text);
}

long double Evaluate(const QString& text) {
    return EvaluateWithX(text, 0);
}

long double EvaluateOrZero(const QString& text) {
    try {
        return Evaluate(text);
    } catch (const Error&) {
        return 0;
    }
}

} // namespace zk
