// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The expression evaluator: numeric fields accept small arithmetic expressions ("3/4",
// "440*3/2", "2^(7/12)", "si_30"). It is a recursive splitter: a text splits at the
// loosest-binding operator outside parentheses (the rightmost one, so chains read left to
// right) and both sides are evaluated; texts without an operator are functions, parentheses,
// "Pi", "x" or numbers in the locale's notation.

namespace zk {

// Longest text (after blank removal) and deepest nesting the evaluator accepts; beyond them it
// reports a MathError instead of exhausting time or the stack. Parentheses, function arguments
// and the right-hand operand of an operator each nest one level deeper; the operands of a chain
// of operators ("1+1+1…", "2^3^2") do not add up, so a flat chain of any allowed length is fine.
inline constexpr int kMaxExpressionLength = 4000;
inline constexpr int kMaxExpressionDepth = 400;

// The most multiplications the powers ("^") of one expression may carry out factor by factor:
// eight powers of 65 536 factors, a few milliseconds of work. An expression that needs more
// reports a MathError instead of keeping the program busy. A power whose product settles (a base
// of 0, 1 or -1) stops counting once it has; one of more than 65 536 factors is computed by
// repeated squaring and costs nothing from this budget.
inline constexpr long long kMaxPowerFactors = 8 * 65536;

// Value of `text` with the variable "x" bound to `x`. Throws MathError "Fehler:Fehler in <text>"
// naming the whole expression (blanks removed, "0" put before a leading minus); an expression of
// more than 40 characters is named by its first 40 and "…".
long double EvaluateWithX(const QString& text, long double x);

// EvaluateWithX(text, 0).
long double Evaluate(const QString& text);

// Evaluate(text), or 0 when the text cannot be evaluated. Never throws.
long double EvaluateOrZero(const QString& text);

} // namespace zk
