// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/text_helpers.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

TEST(TextHelpers, CharactersOutsideTheTextAreBlanks) {
    EXPECT_EQ(CharAt(QStringLiteral("abc"), 0), u' ');
    EXPECT_EQ(CharAt(QStringLiteral("abc"), 1), u'a');
    EXPECT_EQ(CharAt(QStringLiteral("abc"), 3), u'c');
    EXPECT_EQ(CharAt(QStringLiteral("abc"), 4), u' ');
    EXPECT_EQ(CharAt(QStringLiteral("abc"), -5), u' ');
    EXPECT_EQ(LastChar(QString()), u' ');
    EXPECT_EQ(LastChar(QStringLiteral("c1e")), u'e');
    EXPECT_EQ(CopyFrom(QStringLiteral("abcdef"), 3), QStringLiteral("cdef"));
    EXPECT_EQ(CopyFrom(QStringLiteral("abc"), 0), QStringLiteral("abc"));
    EXPECT_EQ(CopyFrom(QStringLiteral("abc"), 9), QString());
}

struct WidthCase {
    const char* text;
    int width;
    const char* padded; // PadRight
    const char* fitted; // FitWidth
};

TEST(TextHelpers, PaddingNeverCutsFittingAlwaysDoes) {
    const WidthCase cases[] = {
        {"abcdef", 4, "abcdef", "abcd"}, // too long
        {"ab", 4, "ab  ", "ab  "},       // too short
        {"abcd", 4, "abcd", "abcd"},     // exact
        {"", 3, "   ", "   "},           // empty
        {"abc", 0, "abc", ""},           // zero width
        {"abc", -2, "abc", ""},          // negative width
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PadRight(QString::fromUtf8(c.text), c.width), QString::fromUtf8(c.padded));
        EXPECT_EQ(FitWidth(QString::fromUtf8(c.text), c.width), QString::fromUtf8(c.fitted));
    }
    EXPECT_EQ(Blanks(3), QStringLiteral("   "));
    EXPECT_EQ(Blanks(0), QString());
    EXPECT_EQ(Blanks(-4), QString());
    EXPECT_EQ(Blanks(100000).size(), 100000);
}

TEST(TextHelpers, BlanksTrimmingAndRemoval) {
    EXPECT_TRUE(IsBlank(QString()));
    EXPECT_TRUE(IsBlank(QStringLiteral("   ")));
    EXPECT_FALSE(IsBlank(QStringLiteral(" \t ")));
    EXPECT_FALSE(IsBlank(QStringLiteral("\r\n")));
    EXPECT_EQ(Trim(QStringLiteral("\t c e \r\n")), QStringLiteral("c e"));
    EXPECT_EQ(Trim(QString(QChar(0x1F)) + u'x' + QChar(0x21)), QStringLiteral("x!"));
    EXPECT_EQ(RemoveBlanks(QStringLiteral(" 4 2 ")), QStringLiteral("42"));
    EXPECT_EQ(RemoveBlanks(QStringLiteral("a\tb")), QStringLiteral("a\tb"));
}

struct WordCase {
    const char* text;
    int n;
    const char* expected;
};

TEST(TextHelpers, WordAt) {
    const WordCase cases[] = {
        {"  a b", 1, ""},        // a leading blank makes the first word empty
        {"  a b", 2, "a"},       // and the rest is trimmed before the next word
        {"a   b", 2, "b"},       // runs of blanks between later words count once
        {"a b", 3, ""},          // beyond the last word
        {"a b", 0, "a"},         // n below 1 counts as 1
        {"word", 1, "word"},     // no blank
        {" word ", 1, ""},       //
        {"\tword\t", 1, "word"}, // no blank: the whole text, trimmed
        {"\tword\t", 2, ""},     //
        {"c d e", 3, "e"},       //
        {"", 1, ""},             //
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WordAt(QString::fromUtf8(c.text), c.n), QString::fromUtf8(c.expected))
            << '"' << c.text << "\" " << c.n;
    }
}

TEST(TextHelpers, TokenAt) {
    const WordCase cases[] = {
        {"c d e", 2, "d"},               //
        {"  c   d  ", 2, "d"},           // trimmed first, runs of blanks count once
        {"eins\rzwei\rdrei", 1, "eins"}, // lines without blanks: carriage returns separate
        {"eins\rzwei\rdrei", 2, "zwei"}, //
        {"eins\rzwei\rdrei", 3, "drei"}, //
        {"eins\rzwei\rdrei", 4, ""},     //
        {"a b\rc", 2, "b"},              // each level chooses its separator anew
        {"single", 2, ""},               //
        {"", 1, ""},                     //
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TokenAt(QString::fromUtf8(c.text), c.n), QString::fromUtf8(c.expected))
            << '"' << c.text << "\" " << c.n;
    }
}

TEST(TextHelpers, GroupDigitsCountsFromTheRight) {
    const std::pair<const char*, const char*> cases[] = {
        {"1234567", "1 234 567"}, {"123456", "123 456"}, {"12", "12"}, {"1234", "1 234"}, {"", ""},
        {"123", "123"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(GroupDigits(QString::fromUtf8(text)), QString::fromUtf8(expected));
    }
}

} // namespace
} // namespace zk
