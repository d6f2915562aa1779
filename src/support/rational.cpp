// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/rational.h"

#include "support/errors.h"

#include <cstdint>
#include <numeric>

namespace zk {

namespace {

__extension__ typedef __int128 Int128; // g++ and clang on 64-bit machines

const QString kOverflowMessage =
    QStringLiteral("Zeitwert zu groß: der Bruch passt nicht in 64 Bit");

std::int64_t CheckedMul(std::int64_t a, std::int64_t b) {
    std::int64_t result = 0;
    if (__builtin_mul_overflow(a, b, &result)) {
        throw RangeError(kOverflowMessage);
    }
    return result;
}

std::int64_t CheckedAdd(std::int64_t a, std::int64_t b) {
    std::int64_t result = 0;
    if (__builtin_add_overflow(a, b, &result)) {
        throw RangeError(kOverflowMessage);
    }
    return result;
}

std::int64_t CheckedNegate(std::int64_t a) {
    return CheckedMul(a, -1);
}

} // namespace

Rational::Rational(std::int64_t num, std::int64_t den) {
    // The most negative value has no positive counterpart to reduce or negate with.
    if (num == INT64_MIN || den == INT64_MIN) {
        throw RangeError(kOverflowMessage);
    }
    if (den == 0) {
        throw MathError(QStringLiteral("Bruch mit dem Nenner 0"));
    }
    if (den < 0) {
        num = CheckedNegate(num);
        den = CheckedNegate(den);
    }
    const std::int64_t divisor = std::gcd(num, den); // non-negative; den > 0 so never 0
    m_num = num / divisor;
    m_den = den / divisor;
}

QString Rational::ToText() const {
    if (m_den == 1) {
        return QString::number(m_num);
    }
    return QStringLiteral("%1/%2").arg(m_num).arg(m_den);
}

Rational Rational::operator+(const Rational& other) const {
    // Over the least common multiple, so that sums of many small durations stay small.
    const std::int64_t divisor = std::gcd(m_den, other.m_den);
    const std::int64_t left = other.m_den / divisor;
    const std::int64_t right = m_den / divisor;
    return {CheckedAdd(CheckedMul(m_num, left), CheckedMul(other.m_num, right)),
            CheckedMul(m_den, left)};
}

Rational Rational::operator-(const Rational& other) const {
    return *this + (-other);
}

Rational Rational::operator*(const Rational& other) const {
    // Cross-reduced first, so that the products overflow only when the result does.
    const std::int64_t a = std::gcd(m_num, other.m_den);
    const std::int64_t b = std::gcd(other.m_num, m_den);
    const std::int64_t da = a == 0 ? 1 : a;
    const std::int64_t db = b == 0 ? 1 : b;
    return {CheckedMul(m_num / da, other.m_num / db), CheckedMul(m_den / db, other.m_den / da)};
}

Rational Rational::operator/(const Rational& other) const {
    if (other.m_num == 0) {
        throw MathError(QStringLiteral("Division durch 0"));
    }
    return *this * Rational(other.m_den, other.m_num);
}

Rational Rational::operator-() const {
    Rational result;
    result.m_num = CheckedNegate(m_num);
    result.m_den = m_den;
    return result;
}

std::strong_ordering Rational::operator<=>(const Rational& other) const {
    if (m_den == other.m_den) {
        return m_num <=> other.m_num;
    }
    // 128-bit products cannot overflow for 64-bit factors.
    const Int128 left = static_cast<Int128>(m_num) * other.m_den;
    const Int128 right = static_cast<Int128>(other.m_num) * m_den;
    return left < right   ? std::strong_ordering::less
           : left > right ? std::strong_ordering::greater
                          : std::strong_ordering::equal;
}

} // namespace zk
