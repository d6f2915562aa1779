// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>

#include <array>
#include <optional>

// The modulation calculator works on scales written as text, never on frequencies. A scale text
// is seven German note names, the first one repeated, and the mode word:
// "c d e f g a h c  Dur". A tone text is a name ("fis", "es", "b"), comma marks ("+" one syntonic
// comma higher, "-" one lower) and, in parentheses, the letters of the alterations still in
// force since the tone was plain: "es+(Sd)".

namespace zk {

class UserDialogs;

enum class Mode { Major, Minor };

// "Dur" or "moll", exactly as the scale texts write them.
QString ModeWord(Mode mode);

// The scale the calculator starts with and falls back to: C major.
inline constexpr char16_t kInitialScale[] = u"c d e f g a h c  Dur";

using ScaleTones = std::array<QString, 7>;

// The seven tones of `text`, its first seven blank-separated tokens (missing ones empty).
// Fails with a message through `dialogs` when the text holds no mode word at all, or not the
// `required` one; the test ignores case, so "dur" counts as a major text here.
std::optional<ScaleTones> ParseScale(Mode required, const QString& text, UserDialogs& dialogs);

// The alteration letters a step applies to a tone.
inline constexpr QChar kSharpen = u'D';   // a chromatic semitone higher
inline constexpr QChar kFlatten = u'S';   // a chromatic semitone lower
inline constexpr QChar kCommaUp = u'd';   // a syntonic comma higher
inline constexpr QChar kCommaDown = u's'; // a syntonic comma lower

// `tone` altered by one of the four letters: the name is respelled ("as" raised is "a", "h"
// lowered is "b", "a" raised by a comma is "a+"), and the letter is recorded in parentheses, or
// cancels its opposite there, so that a step and its inverse give back the plain tone.
// An unknown letter marks the name with "?".
QString AlterTone(const QString& tone, QChar letter);

// 't1 t2 t3 t4 t5 t6 t7 t1  mode'.
QString AssembleScale(const ScaleTones& tones, Mode mode);

// The starting scale for a key typed by the user: upper case major, lower case minor, compared
// exactly ("C", "Fis", "es", …). "?" for any other text.
QString ScaleForKey(const QString& key);

} // namespace zk
