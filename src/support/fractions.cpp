// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fractions.h"

#include "support/checked_math.h"

#include <cfenv>
#include <climits>
#include <cmath>

namespace zk {

namespace {

const QString kPowerMessage = QStringLiteral("Potenzieren");
const QString kArithmeticMessage = QStringLiteral("Rechenfehler");

long double FractionalPart(long double x) {
    return x - std::trunc(x);
}

} // namespace

long long RoundHalfEven(long double value, const QString& message) {
    // 2^63 is exactly representable; everything at or beyond it does not fit.
    // The range is checked after rounding: 2^63 - 0.5 rounds up to 2^63.
    constexpr long double kLimit = 9223372036854775808.0L;
    if (!std::isfinite(value)) {
        throw MathError(message);
    }
    // nearbyint honours the current rounding mode, which the program never changes from
    // round-to-nearest-even.
    const long double rounded = std::nearbyint(value);
    if (rounded >= kLimit || rounded < -kLimit) {
        throw MathError(message);
    }
    return static_cast<long long>(rounded);
}

int Gcd(int a, int b) {
    while (b != 0) {
        // INT_MIN % -1 overflows in C++; its mathematical remainder is 0.
        const int r = (b == -1) ? 0 : a % b;
        a = b;
        b = r;
    }
    return a;
}

long double RealGcd(long double p, long double q) {
    // Iterative form of Euclid's algorithm; exact integer arithmetic once both values fit.
    for (int guard = 0; guard < 100000; ++guard) {
        if (p < 2147483647.0L && q < 2147483647.0L && p > -2147483648.0L && q > -2147483648.0L) {
            return static_cast<long double>(
                Gcd(static_cast<int>(std::nearbyint(p)), static_cast<int>(std::nearbyint(q))));
        }
        if (std::fabs(q) < 0.5L) {
            return p;
        }
        if (!std::isfinite(p) || !std::isfinite(q)) {
            throw MathError(kArithmeticMessage);
        }
        const long double t = std::trunc(p / q);
        const long double next = p - q * t;
        p = q;
        q = next;
    }
    throw MathError(kArithmeticMessage);
}

void ReduceFraction(long double& num, long double& den) {
    const long double g = RealGcd(num, den);
    const long double newNum = CheckedDivide(num, g, kArithmeticMessage);
    const long double newDen = CheckedDivide(den, g, kArithmeticMessage);
    num = newNum;
    den = newDen;
}

FractionApproximation ApproximateFraction(long double eps, long double x) {
    const long double c = std::fabs(x);
    long double f = c;
    long double num = 1, den = 0;
    long double pnum = 0, pden = 1;
    const auto closeness = [&] {
        // A zero denominator (possible only after a failed reduction) is never close.
        return den == 0 ? INFINITY : std::fabs(c - num / den);
    };
    for (int i = 0; i < 50; ++i) {
        if (!std::isfinite(f)) {
            break;
        }
        const long double a = std::trunc(f + 2 * eps);
        const long double r = f - a;
        const long double ppnum = pnum, ppden = pden;
        pnum = num;
        pden = den;
        num = a * pnum + ppnum;
        den = a * pden + ppden;
        try {
            ReduceFraction(num, den);
        } catch (const Error&) {
            break;
        }
        if (r < eps) {
            break;
        }
        f = 1 / r;
        if (closeness() < eps) {
            break;
        }
    }
    FractionApproximation result;
    result.ok = closeness() < 2 * eps;
    result.fraction = Fraction{x < 0 ? -num : num, den};
    return result;
}

bool IsWhole(long double eps, long double x) {
    return FractionalPart(std::fabs(x) + eps) < 2 * eps;
}

bool IsWholeScaled(long double eps, long double x) {
    long double m = std::fabs(x);
    long double e = eps;
    while (m > 1) {
        m /= 2;
        e *= 2;
    }
    return FractionalPart(std::fabs(x) + e) < 2 * e;
}

long double IntPower(long double x, long long n) {
    if (n < 0) {
        // -n overflows only for LLONG_MIN; split off one factor first.
        const long double positive =
            (n == LLONG_MIN) ? IntPower(x, LLONG_MAX) * x : IntPower(x, -n);
        return CheckedDivide(1, CheckedResult(positive, kPowerMessage), kPowerMessage);
    }
    long double result = 1;
    while (n > 0) {
        while (n % 2 == 0) {
            n /= 2;
            x = CheckedResult(x * x, kPowerMessage);
        }
        result = CheckedResult(result * x, kPowerMessage);
        --n;
    }
    return result;
}

long double Power(long double base, long double exponent) {
    if (exponent == 0) {
        return 1;
    }
    if (base == 0 && exponent > 0) {
        return 0;
    }
    if (!std::isfinite(base) || !std::isfinite(exponent)) {
        throw MathError(kPowerMessage);
    }
    try {
        if (IsWholeScaled(1e-18L, exponent) && std::fabs(exponent) <= 2147483647.0L) {
            return IntPower(base, RoundHalfEven(exponent, kPowerMessage));
        }
        if (base < 0) {
            throw MathError(kPowerMessage);
        }
        return CheckedResult(std::exp(exponent * std::log(base)), kPowerMessage);
    } catch (const Error&) {
        throw MathError(kPowerMessage);
    }
}

} // namespace zk
