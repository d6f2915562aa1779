// SPDX-License-Identifier: GPL-3.0-or-later
// The text of files: any bytes read as Windows-1252 are written back byte for byte, and any text
// the program reads from a file is read the same after the program has written it.
#include "fuzz_checks.h"

#include "support/ansi_codec.h"

namespace zk::fuzz {

void CheckTextCodec(const QByteArray& input) {
    const QString ansi = DecodeWindows1252(input);
    Require(ansi.size() == input.size(), "Windows-1252 is not one character a byte");
    Require(EncodeWindows1252(ansi) == input, "Windows-1252 bytes do not come back");

    const QString text = DecodeFileText(input);
    const QByteArray written = EncodeFileText(text);
    Require(DecodeFileText(written) == text,
            "a text read from a file reads as another once written: \"" + text.toStdString() +
                "\"");
    Require(EncodeCp850(text).size() == text.size(), "CP850 is not one byte a character");
}

} // namespace zk::fuzz
