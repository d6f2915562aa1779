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

// Rounds to the nearest whole number, halves to the even neighbour, refusing values outside the
// range of a 64-bit integer.
[[nodiscard]] long long RoundHalfEven(long double value, const QString& message);

} // namespace zk
