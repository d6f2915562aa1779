// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The program's texts are Windows-1252 on disk: one byte per character, every one of the 256 byte
// values included (the five bytes the code page leaves undefined map to the C1 control characters
// of the same number, so any file survives a read and a write unchanged).

namespace zk {

QString DecodeWindows1252(const QByteArray& bytes);

// The bytes of `text`, or empty when a character has no Windows-1252 byte.
std::optional<QByteArray> EncodeWindows1252(const QString& text);

// Reading a text file: valid UTF-8 holding non-ASCII bytes (a file written on Linux) is read as
// UTF-8, everything else as Windows-1252. A UTF-8 byte order mark is dropped.
QString DecodeFileText(const QByteArray& bytes);

// Writing a text file: Windows-1252 when every character fits and the bytes read back as the
// same text, otherwise UTF-8, so that no character is ever lost.
QByteArray EncodeFileText(const QString& text);

// CP850 (the DOS code page of printers), one byte per character. Windows-1252 characters without
// a CP850 counterpart become their nearest look-alike (quotation marks, dashes, letters with a
// caron) or "?" (the euro sign, the five undefined bytes); so does everything beyond.
QByteArray EncodeCp850(const QString& text);

} // namespace zk
