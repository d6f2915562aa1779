// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/checked_math.h"
#include "support/errors.h"
#include "support/fractions.h"

#include <gtest/gtest.h>

#include <limits>

#include <cmath>

namespace zk {
namespace {

struct ApproximationCase {
    long double x;
    long double num;
    long double den;
    bool ok;
};

TEST(ApproximateFraction, FindsTheSmallFractionsOfJustIntonation) {
    const ApproximationCase cases[] = {
        {0.0L, 0, 1, true},                            // zero is 0/1
        {1.5L, 3, 2, true},                            // the fifth
        {1.25L, 5, 4, true},                           // the major third
        {-0.75L, -3, 4, true},                         // the sign stays with the numerator
        {1.2L, 6, 5, true},                            // 6/5 computed in binary, not exact
        {3.0L, 3, 1, true},                            // a whole number after one step
        {81.0L / 80.0L, 81, 80, true},                 // the syntonic comma
        {531441.0L / 524288.0L, 531441, 524288, true}, // the Pythagorean comma
        {405.0L / 256.0L, 405, 256, true},             // a ratio from a comma chain
        {264.0L / 440.0L, 3, 5, true},                 // c1 over a1
    };
    for (const auto& c : cases) {
        const auto result = ApproximateFraction(1e-15L, c.x);
        EXPECT_EQ(result.fraction.num, c.num) << static_cast<double>(c.x);
        EXPECT_EQ(result.fraction.den, c.den) << static_cast<double>(c.x);
        EXPECT_EQ(result.ok, c.ok) << static_cast<double>(c.x);
    }
}

TEST(ApproximateFraction, IrrationalRatiosAreApproximatedOrRejected) {
    // The equal-tempered fifth needs long convergents; within 2·eps it is accepted as a (large)
    // fraction only when the convergent really is that close.
    const long double tempered = std::pow(2.0L, 7.0L / 12.0L);
    const auto result = ApproximateFraction(1e-15L, tempered);
    const long double error = std::fabs(tempered - result.fraction.num / result.fraction.den);
    EXPECT_EQ(result.ok, error < 2e-15L);
    EXPECT_GT(result.fraction.den, 1000);
    // With a coarse tolerance the same value gives a usable fraction.
    const auto coarse = ApproximateFraction(1e-3L, tempered);
    EXPECT_TRUE(coarse.ok);
    EXPECT_LT(std::fabs(tempered - coarse.fraction.num / coarse.fraction.den), 2e-3L);
}

TEST(ApproximateFraction, RecoversEverySmallFractionInLowestTerms) {
    for (int q = 1; q <= 200; ++q) {
        for (int p = 0; p <= 3 * q; ++p) {
            const int g = Gcd(p, q);
            const auto result = ApproximateFraction(1e-15L, static_cast<long double>(p) / q);
            ASSERT_TRUE(result.ok) << p << "/" << q;
            ASSERT_EQ(result.fraction.num, p / g) << p << "/" << q;
            ASSERT_EQ(result.fraction.den, q / g) << p << "/" << q;
        }
    }
}

// The one quotient that overflows in C++, INT_MIN / -1, never traps: either order ends with a
// remainder of 0 and the divisor -1.
TEST(GcdAndReduce, TheMostNegativeIntAndMinusOne) {
    constexpr int kMin = std::numeric_limits<int>::min();
    EXPECT_EQ(Gcd(kMin, -1), -1);
    EXPECT_EQ(Gcd(-1, kMin), -1);
    EXPECT_EQ(Gcd(kMin, kMin), kMin);
    EXPECT_EQ(Gcd(kMin, 2), 2);
}

// Rounding to the nearest whole number sends exact halves to the even neighbour, on both sides
// of zero; what does not fit a 64-bit integer is refused with the caller's message.
TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    const std::pair<long double, long long> cases[] = {
        {0.5L, 0},
        {1.5L, 2},
        {2.5L, 2},
        {3.5L, 4},
        {-0.5L, 0},
        {-1.5L, -2},
        {-2.5L, -2},
        {2.4999L, 2},
        {2.5001L, 3},
        {-2.5001L, -3},
        {7, 7},
        {-7, -7},
        {4503599627370497.5L, 4503599627370498},
        // The largest whole numbers that fit, and the halves below them.
        {9223372036854775807.0L, 9223372036854775807},
        {9223372036854775806.5L, 9223372036854775806},
        {-9223372036854775808.5L, std::numeric_limits<long long>::min()},
    };
    for (const auto& [value, rounded] : cases) {
        EXPECT_EQ(RoundHalfEven(value, QStringLiteral("zu groß")), rounded)
            << static_cast<double>(value);
    }
    // 2^63 - 0.5 rounds to 2^63, which does not fit.
    for (const long double value :
         {9223372036854775808.0L, 9223372036854775807.5L, -9223372036854777856.0L,
          std::numeric_limits<long double>::infinity(),
          std::numeric_limits<long double>::quiet_NaN()}) {
        try {
            (void)RoundHalfEven(value, QStringLiteral("zu groß"));
            ADD_FAILURE() << static_cast<double>(value) << " was rounded";
        } catch (const MathError& error) {
            EXPECT_EQ(error.message(), QStringLiteral("zu groß"));
        }
    }
    EXPECT_EQ(RoundHalfEven(-9223372036854775808.0L, QString()),
              std::numeric_limits<long long>::min());
}

TEST(GcdAndReduce, WholeNumbersAndRealEuclid) {
    EXPECT_EQ(Gcd(12, 18), 6);
    EXPECT_EQ(Gcd(7, 0), 7);
    EXPECT_EQ(Gcd(0, 0), 0);
    EXPECT_EQ(Gcd(-12, 18), 6);  // the remainder keeps the dividend's sign,
    EXPECT_EQ(Gcd(12, -18), -6); // so the result's sign follows the last divisor
    EXPECT_EQ(RealGcd(12, 18), 6);
    EXPECT_EQ(RealGcd(3486784401.0L, 1162261467.0L),
              1162261467.0L); // 3^20 and 3^19, beyond 32 bits
    long double num = 531441.0L * 4, den = 524288.0L * 4;
    ReduceFraction(num, den);
    EXPECT_EQ(num, 531441);
    EXPECT_EQ(den, 524288);
    long double zero = 0, alsoZero = 0;
    EXPECT_THROW(ReduceFraction(zero, alsoZero), MathError);
}

TEST(WholeTests, ToleranceAndItsScaling) {
    EXPECT_TRUE(IsWhole(1e-18L, 2.0L));
    EXPECT_FALSE(IsWhole(1e-18L, 2.5L));
    EXPECT_TRUE(IsWhole(1e-18L, -7.0L));
    EXPECT_TRUE(IsWhole(1e-6L, 2.9999999L)); // just below a whole number
    EXPECT_FALSE(IsWhole(1e-9L, 2.9999999L));
    // The scaled test widens with magnitude: 1e6 + 1e-7 is whole at eps 1e-12 only when scaled.
    EXPECT_FALSE(IsWhole(1e-12L, 1000000.0000001L));
    EXPECT_TRUE(IsWholeScaled(1e-12L, 1000000.0000001L));
    EXPECT_FALSE(IsWholeScaled(1e-12L, 0.5L));
}

struct PowerCase {
    long double base;
    long double exponent;
    long double expected;
};

TEST(Power, WholeAndRealExponents) {
    const PowerCase cases[] = {
        {10, 3, 1000},                              // the whole-exponent path is exact
        {0, 0, 1},                                  // 0^0
        {0, 5, 0},                                  //
        {-2, 3, -8},                                // negative base with a whole exponent
        {2, -2, 0.25L},                             //
        {2, 0.5L, std::sqrt(2.0L)},                 // the real path
        {2, 7.0L / 12.0L, std::exp2(7.0L / 12.0L)}, // an equal-tempered fifth
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(static_cast<double>(Power(c.base, c.exponent)), static_cast<double>(c.expected),
                    1e-15)
            << static_cast<double>(c.base) << "^" << static_cast<double>(c.exponent);
    }
    EXPECT_EQ(Power(10, 3), 1000.0L);
    EXPECT_EQ(Power(3, 12), 531441.0L);
}

TEST(Power, FailuresRaisePotenzieren) {
    const PowerCase failures[] = {
        {-8, 1.0L / 3.0L, 0}, // root of a negative base
        {0, -1, 0},           // division by zero
        {10, 5000, 0},        // overflow of the extended range
        {2, 1e7L, 0},         // overflow through the real path
    };
    for (const auto& c : failures) {
        try {
            Power(c.base, c.exponent);
            ADD_FAILURE() << "no error for " << static_cast<double>(c.base) << "^"
                          << static_cast<double>(c.exponent);
        } catch (const MathError& error) {
            EXPECT_EQ(error.message(), QStringLiteral("Potenzieren"));
        }
    }
}

TEST(IntPower, BinaryExponentiationMatchesRepeatedMultiplication) {
    for (int n = -20; n <= 40; ++n) {
        long double expected = 1;
        for (int i = 0; i < std::abs(n); ++i) {
            expected *= 1.5L;
        }
        if (n < 0) {
            expected = 1 / expected;
        }
        EXPECT_NEAR(static_cast<double>(IntPower(1.5L, n) / expected), 1.0, 1e-17) << n;
    }
    EXPECT_THROW(IntPower(0, -1), MathError);
}

} // namespace
} // namespace zk
