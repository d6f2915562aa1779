// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ansi_codec.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

TEST(Windows1252, AllByteValuesSurviveARoundTrip) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all.append(static_cast<char>(b));
    }
    const QString text = DecodeWindows1252(all);
    ASSERT_EQ(text.size(), 256);
    const auto back = EncodeWindows1252(text);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all);
}

TEST(Windows1252, TheCharactersOfGermanTexts) {
    const std::pair<unsigned char, char16_t> cases[] = {
        {0xE4, u'ä'}, {0xF6, u'ö'}, {0xFC, u'ü'}, {0xDF, u'ß'}, {0xC4, u'Ä'},   {0x80, u'€'},
        {0x84, u'„'}, {0x93, u'“'}, {0x96, u'–'}, {0xB7, u'·'}, {0x81, 0x0081}, // an undefined byte
                                                                                // keeps its number
    };
    for (const auto& [byte, character] : cases) {
        const QString text = DecodeWindows1252(QByteArray(1, static_cast<char>(byte)));
        EXPECT_EQ(text, QString(QChar(character))) << int(byte);
    }
    EXPECT_FALSE(EncodeWindows1252(QStringLiteral("♪")).has_value());
    EXPECT_FALSE(EncodeWindows1252(QString(QChar(0x0080))).has_value());
}

TEST(FileText, Utf8IsSniffedAndWindows1252IsTheDefault) {
    const QString umlauts = QStringLiteral("Übung für Chöre");
    // Written on Linux as UTF-8.
    EXPECT_EQ(DecodeFileText(umlauts.toUtf8()), umlauts);
    // With a byte order mark.
    EXPECT_EQ(DecodeFileText(QByteArray("\xEF\xBB\xBF") + umlauts.toUtf8()), umlauts);
    // Written by the program as Windows-1252: the same text, one byte per character.
    const QByteArray ansi = EncodeFileText(umlauts);
    EXPECT_EQ(ansi.size(), umlauts.size());
    EXPECT_EQ(DecodeFileText(ansi), umlauts);
    // Plain ASCII is the same either way.
    EXPECT_EQ(DecodeFileText("TA D Akkord"), QStringLiteral("TA D Akkord"));
    // A character beyond the code page makes the whole file UTF-8, nothing is lost.
    const QString wide = QStringLiteral("Ton ♪ Ä");
    EXPECT_EQ(EncodeFileText(wide), wide.toUtf8());
    EXPECT_EQ(DecodeFileText(EncodeFileText(wide)), wide);
}

// Texts whose Windows-1252 bytes would be read as another text are written as UTF-8; every text
// read from a file reads the same once the program has written it.
TEST(FileText, WhatIsWrittenReadsBackAsTheSameText) {
    const QChar mark(0xFEFF);
    const struct {
        QString text;
        QByteArray bytes;
    } cases[] = {
        // One byte per character, as always.
        {QStringLiteral("Grüße"), QByteArray("Gr\xFC\xDF"
                                             "e")},
        // "Ã¤" in Windows-1252 is the UTF-8 of "ä".
        {QStringLiteral("Ã¤"), QByteArray("\xC3\x83\xC2\xA4")},
        // "ï»¿" in Windows-1252 is a byte order mark.
        {QStringLiteral("ï»¿Anfang"), QByteArray("\xC3\xAF\xC2\xBB\xC2\xBF"
                                                 "Anfang")},
        // A text beginning with a byte order mark of its own keeps it behind the one dropped.
        {mark + QStringLiteral("Anfang"), QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF"
                                                     "Anfang")},
        {mark + QStringLiteral("ä"), QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\xC3\xA4")},
    };
    for (const auto& c : cases) {
        const QByteArray written = EncodeFileText(c.text);
        EXPECT_EQ(written.toHex(' '), c.bytes.toHex(' ')) << c.text.toStdString();
        EXPECT_EQ(DecodeFileText(written), c.text) << c.text.toStdString();
    }
}

TEST(Cp850, UmlautsForThePrinter) {
    EXPECT_EQ(EncodeCp850(QStringLiteral("äöüßÄÖÜ")), QByteArray("\x84\x94\x81\xE1\x8E\x99\x9A"));
    EXPECT_EQ(EncodeCp850(QStringLiteral("a\f")), QByteArray("a\f"));
    EXPECT_EQ(EncodeCp850(QStringLiteral("€")), QByteArray("?"));
}

} // namespace
} // namespace zk
