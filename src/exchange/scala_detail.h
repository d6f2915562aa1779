// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the parts of the Scala exchange share: the names and order of the twelve tones of a row,
// the keys and the octave, and the way messages name a line and quote the file's text.

#include "exchange/scala_file.h"

#include <QString>

#include <array>

namespace zk::scala_detail {

// Pitch classes from c, as the list's header names them.
inline constexpr std::array<const char16_t*, 12> kToneNames = {
    u"c", u"des", u"d", u"es", u"e", u"f", u"fis", u"g", u"as", u"a", u"b", u"h"};
// The list's order of the tones: a, b, h, c, des, ..., as as pitch classes from c.
inline constexpr std::array<int, 12> kRowPitchClasses = {9, 10, 11, 0, 1, 2, 3, 4, 5, 6, 7, 8};

inline constexpr int kMiddleC = 60; // MIDI key of c1
inline constexpr int kA1 = 69;      // MIDI key of a1 = 440 Hz
inline constexpr long double kOctaveCents = 1200;

QString ToneName(int pitchClass);

// "Zeile 5: text".
QString LineMessage(int line, const QString& text);

// The twelve values of a row's value text, as the tempered scale reads them. Throws ScalaError
// when the list has no such row or a value is missing.
TemperamentValues RowValues(const TemperamentList& list, const QString& code);

// The name of the row `code`: what stands between the code and the first value; empty when the
// list has no such row.
QString RowName(const TemperamentList& list, const QString& code);

} // namespace zk::scala_detail
