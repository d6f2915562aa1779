// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <compare>
#include <cstdint>

// An exact fraction of two 64-bit integers, always reduced and with a positive denominator: the
// time of a score in quarter notes (a triplet eighth is 1/3, a quintuplet sixteenth 1/5), where a
// floating value would let boundaries of different voices miss each other by a rounding error.
// Every operation checks for overflow and throws RangeError instead of wrapping around.

namespace zk {

class Rational {
public:
    constexpr Rational() = default;
    // A whole number.
    constexpr Rational(std::int64_t whole) : m_num(whole) {} // NOLINT: a whole number is a fraction
    // num/den, reduced. Throws MathError for a zero denominator, RangeError when it does not fit.
    Rational(std::int64_t num, std::int64_t den);

    std::int64_t Numerator() const { return m_num; }
    std::int64_t Denominator() const { return m_den; }
    bool IsWhole() const { return m_den == 1; }
    bool IsZero() const { return m_num == 0; }
    bool IsNegative() const { return m_num < 0; }

    // The nearest long double, for sound lengths and benchmarks; never for comparisons.
    long double ToReal() const { return static_cast<long double>(m_num) / m_den; }

    // "7", "-3", "8/3".
    QString ToText() const;

    Rational operator+(const Rational& other) const;
    Rational operator-(const Rational& other) const;
    Rational operator*(const Rational& other) const;
    // Throws MathError for a zero divisor.
    Rational operator/(const Rational& other) const;
    Rational operator-() const;
    Rational& operator+=(const Rational& other) { return *this = *this + other; }
    Rational& operator-=(const Rational& other) { return *this = *this - other; }

    bool operator==(const Rational&) const = default;
    std::strong_ordering operator<=>(const Rational& other) const;

private:
    std::int64_t m_num = 0;
    std::int64_t m_den = 1;
};

inline Rational Max(const Rational& a, const Rational& b) {
    return a < b ? b : a;
}

} // namespace zk
