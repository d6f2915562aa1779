// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>

#include <optional>

// Numbers as the user types them and as the program writes them. The decimal separator is the
// one of the user's locale (QLocale()), read at every call and never set by the program.

namespace zk {

// The locale's decimal separator, read now.
QChar DecimalSeparator();

// The locale's strict conversion: optional sign, digits with at most one decimal separator (at
// least one digit in all), an optional exponent "E"/"e" with optional sign and digits. Nothing
// else, no blanks. Empty when the text is not such a number or its value overflows.
std::optional<long double> LocaleTextToNumber(const QString& text);

// Lenient reading of a number typed by a user: skips leading text ("ca. 3,5" -> 3.5), accepts
// either separator, stops at the first character that cannot belong to the number. Throws
// ConversionError naming the text when what remains cannot be read ("+E"), MathError when a
// decimal exponent overflows.
long double TextToNumber(const QString& text);

// TextToNumber rounded to the nearest int, halves to the even neighbour. Throws RangeError beyond
// the signed 32-bit range.
int TextToInt(const QString& text);

// Value of the n-th field of a line of expressions separated by blanks or "|" ("440 | 550 660").
// An empty or faulty field is 0; never throws.
long double NumberField(const QString& text, int n);

// x with at most n decimals (n clamped to 0..18), halves away from zero, trailing zeros dropped;
// "-" before every negative value (also "-0"). Falls back to FloatToGeneralText when the integer
// part exceeds 64 bits.
QString NumberToText(int n, long double x);

// As NumberToText with the integer digits in groups of three ("1 234 567") and the decimals
// grouped in threes from the separator ("0,123 456 7").
QString NumberToGroupedText(int n, long double x);

// The general conversion: 15 significant digits, exponent form ("1E30", "1,5E-7") for very large
// and very small magnitudes.
QString FloatToGeneralText(long double x);

} // namespace zk
