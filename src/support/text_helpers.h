// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>

// Small text operations shared by every part of the program. Positions are 1-based, as the
// program's texts count them; a blank is the space character only; trimming removes every leading
// and trailing character of code 32 or below.

namespace zk {

QString Trim(const QString& text);
QChar CharAt(const QString& text, int pos);      // a blank outside 1..length
QChar LastChar(const QString& text);             // a blank for an empty text
QString CopyFrom(const QString& text, int from); // from position `from` (below 1 counts as 1)
QString RemoveBlanks(const QString& text);
QString Blanks(long long n);                      // empty for n <= 0
QString PadRight(const QString& text, int width); // never cuts
QString FitWidth(const QString& text, int width); // pads or cuts to exactly `width`
bool IsBlank(const QString& text);                // empty or blanks only
// What an error message quotes of the user's input: at most 40 characters, a longer text cut there
// and followed by "…", so that a pasted page of digits does not fill the message box.
QString QuotedInput(const QString& text);

// The n-th word of a blank-separated text. A text that begins with a blank has an empty first
// word; between later words, runs of blanks count as one separator.
QString WordAt(const QString& text, int n);

// The n-th token of a trimmed text separated by blanks, or by carriage returns when the text
// holds no blank at all.
QString TokenAt(const QString& text, int n);

// One blank after every character whose distance from the end is a positive multiple of three:
// "1234567" -> "1 234 567".
QString GroupDigits(const QString& text);

} // namespace zk
