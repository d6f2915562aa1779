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

namespace zk {

namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;
constexpr long double kDegree = 0.017453292519943295769L; // π/180
// Up to this many factors "^" multiplies one by one, as written; beyond it binary
// exponentiation keeps huge exponents from hanging the program.
constexpr unsigned long long kMaxSequentialFactors = 65536;

QString ErrorMessage(const QString& text) {
    return QStringLiteral("Fehler:") + QStringLiteral("Fehler in ") + text;
}

// Thrown inside one level; the level's own catch turns it into the message naming its text.
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

// Where a text would split at each operator: the rightmost occurrence outside parentheses, never
// the first character (-1 when there is none), and whether the parentheses balance over the
// whole text. One scan from the last character back to the first serves every operator; a ")"
// adds one to the depth of the characters left of it, a "(" takes one away. The scan ends at the
// first "+" it meets: the text splits there whatever else it holds, so the other positions and
// the balance are not needed (and not known) then.
struct SplitPoints {
    std::array<int, kOperators.size()> at;
    bool balanced = true;
};

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

SplitPoints FindSplitPoints(const QString& s) {
    SplitPoints points;
    points.at.fill(-1);
    int depth = 0;
    const QChar* const text = s.constData();
    for (qsizetype i = s.size() - 1; i >= 0; --i) {
        const char16_t c = text[i].unicode();
        if (c == u')') {
            ++depth;
        } else if (c == u'(') {
            --depth;
        } else if (depth == 0 && i >= 1) {
            const int k = OperatorIndex(c);
            if (k >= 0 && points.at[static_cast<std::size_t>(k)] < 0) {
                points.at[static_cast<std::size_t>(k)] = static_cast<int>(i);
                if (k == 0) {
                    return points;
                }
            }
        }
    }
    points.balanced = depth == 0;
    return points;
}

long double ApplyFunction(const QString& name, long double a) {
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

bool IsTwoLetterFunction(const QString& s) {
    return s.startsWith(u"lg") || s.startsWith(u"ln") || s.startsWith(u"lb");
}

bool IsThreeLetterFunction(const QString& s) {
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

    long double Value(const QString& rawText, int depth) {
        QString s = RemoveBlanks(rawText);
        if (s.isEmpty()) {
            return 0;
        }
        if (s.startsWith(u'-')) {
            s.prepend(u'0');
        }
        try {
            if (depth > kMaxExpressionDepth || s.size() > kMaxExpressionLength) {
                Fail();
            }
            return Checked(Compute(s, depth));
        } catch (const LevelFailure&) {
            throw MathError(ErrorMessage(s));
        } catch (const Error&) {
            // An error of the level below: this level names its own, larger text instead.
            throw MathError(ErrorMessage(s));
        }
    }

private:
    long double Compute(const QString& s, int depth) {
        const SplitPoints points = FindSplitPoints(s);
        for (std::size_t k = 0; k < kOperators.size(); ++k) {
            const char16_t op = kOperators[k];
            if (op == u':') {
                continue; // tried together with "/"
            }
            int p = points.at[k];
            if (p < 0 && op == u'/') {
                p = points.at[k + 1];
            }
            if (p < 0) {
                // Unbalanced parentheses are an error as soon as an operator is missing.
                if (!points.balanced) {
                    Fail();
                }
                continue;
            }
            const long double left = Value(s.left(p), depth + 1);
            const long double right = Value(s.mid(p + 1), depth + 1);
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
        if (IsTwoLetterFunction(s)) {
            return ApplyFunction(s.left(2), Value(s.mid(2), depth + 1));
        }
        if (IsThreeLetterFunction(s)) {
            return ApplyFunction(s.left(3), Value(s.mid(3), depth + 1));
        }
        if (s.startsWith(u'(')) {
            QString t = s;
            while (t.size() >= 2 && !t.endsWith(u')')) {
                t.chop(1);
            }
            if (t.size() < 2) {
                Fail();
            }
            return Value(t.mid(1, t.size() - 2), depth + 1);
        }
        if (s == u"Pi") {
            return kPi;
        }
        if (s == u"x") {
            return m_x;
        }
        const auto number = LocaleTextToNumber(s);
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
    return Evaluator(x).Value(text, 0);
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
