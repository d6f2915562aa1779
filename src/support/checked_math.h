// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/errors.h"

#include <cmath>

namespace zk {

// Extended-precision arithmetic that refuses to produce an infinity or a NaN: the program treats
// overflow and invalid operations as errors, never as values. Underflow passes silently.
[[nodiscard]] inline long double CheckedResult(long double value, const QString& message) {
    if (!std::isfinite(value)) {
        throw MathError(message);
    }
    return value;
}

[[nodiscard]] inline long double CheckedDivide(long double a, long double b,
                                               const QString& message) {
    if (b == 0) {
        throw MathError(message);
    }
    return CheckedResult(a / b, message);
}

// The remainder of a / n with the sign of n > 0 (so -1 mod 12 is 11), and the quotient that goes
// with it (rounded towards minus infinity): pitch classes and octaves of negative keys and steps.
[[nodiscard]] constexpr int FloorMod(int a, int n) {
    const int r = a % n;
    return r < 0 ? r + n : r;
}
[[nodiscard]] constexpr int FloorDiv(int a, int n) {
    return (a - FloorMod(a, n)) / n;
}

// Rounds to the nearest whole number, halves to the even neighbour, refusing values outside the
// range of a 64-bit integer.
[[nodiscard]] long long RoundHalfEven(long double value, const QString& message);

} // namespace zk
