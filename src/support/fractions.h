// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Fractions and powers on extended-precision reals: the bridge between computed frequency ratios
// and the small whole-number fractions (5/4, 81/80) that just intonation is written in.

namespace zk {

// A fraction as two whole-valued reals; the sign is carried by the numerator.
struct Fraction {
    long double num = 0;
    long double den = 1;
    bool operator==(const Fraction&) const = default;
};

// Continued-fraction approximation of x. Builds convergents (at most 50) until the remainder
// vanishes or a convergent lies within eps of |x|; `ok` says whether the result lies within 2·eps.
// Never throws.
struct FractionApproximation {
    Fraction fraction;
    bool ok = false;
};
FractionApproximation ApproximateFraction(long double eps, long double x);

// Greatest common divisor of two ints, Euclid with the remainder taking the dividend's sign.
int Gcd(int a, int b);

// Greatest common divisor of two whole-valued reals; exact integer Euclid below 2^31 - 1,
// Euclid on reals above.
long double RealGcd(long double p, long double q);

// Divides numerator and denominator by their greatest common divisor. Throws MathError when both
// are zero (the divisor would be zero).
void ReduceFraction(long double& num, long double& den);

// True when the fractional part of |x| + eps is below 2·eps.
bool IsWhole(long double eps, long double x);

// Like IsWhole, with a tolerance that doubles per binary order of magnitude of x above 1.
bool IsWholeScaled(long double eps, long double x);

// x to the whole power n by binary exponentiation. Throws MathError on overflow or for a zero base
// with a negative exponent.
long double IntPower(long double x, long long n);

// base to the power exponent; whole exponents go through IntPower (negative bases allowed), all
// others through exp(exponent·ln base). Every arithmetic failure throws MathError "Potenzieren".
long double Power(long double base, long double exponent);

} // namespace zk
