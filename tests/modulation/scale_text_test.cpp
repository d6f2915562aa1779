// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulation/scale_text.h"

#include "common/qt_printers.h"
#include "common/scripted_dialogs.h"
#include "common/time_limit.h"

#include <QElapsedTimer>
#include <QStringList>

#include <gtest/gtest.h>

namespace zk {
namespace {

struct AlterCase {
    const char16_t* tone;
    char16_t letter;
    const char16_t* expected;
};

void PrintTo(const AlterCase& c, std::ostream* out) {
    *out << QString::fromUtf16(c.tone).toStdString() << " "
         << QString(QChar(c.letter)).toStdString();
}

class AlterToneTest : public ::testing::TestWithParam<AlterCase> {};

TEST_P(AlterToneTest, RespellsNameAndKeepsRecord) {
    const AlterCase& c = GetParam();
    EXPECT_EQ(AlterTone(QString::fromUtf16(c.tone), QChar(c.letter)),
              QString::fromUtf16(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Tones, AlterToneTest,
    ::testing::Values(
        // sharpening and flattening plain names
        AlterCase{u"f", u'D', u"fis(D)"}, AlterCase{u"e", u'S', u"es(S)"},
        AlterCase{u"a", u'S', u"as(S)"}, AlterCase{u"h", u'S', u"b(S)"},
        AlterCase{u"h", u'D', u"his(D)"}, AlterCase{u"fis", u'D', u"fisis(D)"},
        // removing a flat, including the contracted ones
        AlterCase{u"b", u'D', u"h(D)"}, AlterCase{u"as", u'D', u"a(D)"},
        AlterCase{u"es", u'D', u"e(D)"}, AlterCase{u"des", u'D', u"d(D)"},
        AlterCase{u"eses", u'D', u"es(D)"}, AlterCase{u"bes", u'D', u"b(D)"},
        AlterCase{u"ases", u'D', u"as(D)"},
        // an alteration and its opposite cancel in the record
        AlterCase{u"fis(D)", u'S', u"f"}, AlterCase{u"b(S)", u'D', u"h"},
        AlterCase{u"a+(d)", u's', u"a"}, AlterCase{u"es+(Sd)", u'D', u"e+(d)"},
        // commas
        AlterCase{u"a", u'd', u"a+(d)"}, AlterCase{u"es(S)", u'd', u"es+(Sd)"},
        AlterCase{u"c-(s)", u's', u"c--(ss)"}, AlterCase{u"c-", u'd', u"c(d)"},
        // marks move behind the letters: a+ lowered is as+, b+ raised is h+
        AlterCase{u"a+", u'S', u"as+(S)"}, AlterCase{u"b+(Sd)", u'D', u"h+(d)"},
        AlterCase{u"fis-(Ds)", u'S', u"f-(s)"},
        // an unclosed record reads to the end; text after ")" is dropped
        AlterCase{u"gis(D", u'S', u"g"}, AlterCase{u"gis(D)x", u'S', u"g"},
        // an unknown letter is marked, not lost
        AlterCase{u"c", u'x', u"c?(x)"},
        // a capital from a history line stays and is respelled like the small letter
        AlterCase{u"G", u'D', u"Gis(D)"}, AlterCase{u"As", u'D', u"A(D)"},
        AlterCase{u"H", u'S', u"B(S)"}, AlterCase{u"B(S)", u'D', u"H"}));

struct ParseCase {
    Mode required;
    const char16_t* text;
    const char16_t* message; // nullptr: parses
};

void PrintTo(const ParseCase& c, std::ostream* out) {
    *out << ModeWord(c.required).toStdString() << ": " << QString::fromUtf16(c.text).toStdString();
}

class ParseScaleTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseScaleTest, ChecksModeWord) {
    const ParseCase& c = GetParam();
    test::ScriptedDialogs dialogs;
    const auto tones = ParseScale(c.required, QString::fromUtf16(c.text), dialogs);
    if (c.message == nullptr) {
        EXPECT_TRUE(tones.has_value());
        EXPECT_TRUE(dialogs.messages.isEmpty());
    } else {
        EXPECT_FALSE(tones.has_value());
        EXPECT_EQ(dialogs.messages, QStringList{QString::fromUtf16(c.message)});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ParseScaleTest,
    ::testing::Values(
        // the right mode word
        ParseCase{Mode::Major, u"c d e f g a h c  Dur", nullptr},
        ParseCase{Mode::Minor, u"a h c d e f g a  moll", nullptr},
        // the test ignores case
        ParseCase{Mode::Major, u"c d e f g a h c  dUR", nullptr},
        ParseCase{Mode::Minor, u"a h c d e f g a  MOLL", nullptr},
        // no mode word at all
        ParseCase{Mode::Major, u"c d e f g a h c",
                  u"Am Ende der der Tonleiter muss \"Dur\" oder \"moll\" stehen!"},
        ParseCase{Mode::Minor, u"",
                  u"Am Ende der der Tonleiter muss \"Dur\" oder \"moll\" stehen!"},
        // the other mode word
        ParseCase{Mode::Major, u"a h c d e f g a  moll", u"Tonleiter muss Dur sein"},
        ParseCase{Mode::Minor, u"c d e f g a h c  Dur", u"Tonleiter muss moll sein"}));

TEST(ParseScale, TakesFirstSevenTokensOnly) {
    test::ScriptedDialogs dialogs;
    const auto tones = ParseScale(
        Mode::Major, u"  G a+(d) h c d e fis(D) g  Dur  (eine Quinte höher)"_qs, dialogs);
    ASSERT_TRUE(tones.has_value());
    EXPECT_EQ(*tones,
              (ScaleTones{u"G"_qs, u"a+(d)"_qs, u"h"_qs, u"c"_qs, u"d"_qs, u"e"_qs, u"fis(D)"_qs}));
}

TEST(ParseScale, ShortTextGivesEmptyTones) {
    test::ScriptedDialogs dialogs;
    const auto tones = ParseScale(Mode::Major, u"c d Dur"_qs, dialogs);
    ASSERT_TRUE(tones.has_value());
    EXPECT_EQ(*tones, (ScaleTones{u"c"_qs, u"d"_qs, u"Dur"_qs, {}, {}, {}, {}}));
}

// Scale texts pasted or typed at any length are read in one pass: the seven tones, however far
// apart or however long, and their alterations.
TEST(ParseScale, LongTexts) {
    const QString longTone(100000, u'c');
    struct Case {
        const char* what;
        QString text;
        ScaleTones tones;
    };
    const Case cases[] = {
        {"tones far apart",
         u'c' + QString(100000, u' ') + QStringLiteral("d e f g a h c  Dur"),
         {u"c"_qs, u"d"_qs, u"e"_qs, u"f"_qs, u"g"_qs, u"a"_qs, u"h"_qs}},
        {"one very long tone",
         longTone + QStringLiteral(" d e f g a h c  Dur"),
         {longTone, u"d"_qs, u"e"_qs, u"f"_qs, u"g"_qs, u"a"_qs, u"h"_qs}},
        {"many tones",
         QStringLiteral("c d ").repeated(25000) + QStringLiteral("Dur"),
         {u"c"_qs, u"d"_qs, u"c"_qs, u"d"_qs, u"c"_qs, u"d"_qs, u"c"_qs}},
    };
    for (const Case& c : cases) {
        test::ScriptedDialogs dialogs;
        QElapsedTimer timer;
        timer.start();
        const auto tones = ParseScale(Mode::Major, c.text, dialogs);
        ASSERT_TRUE(tones.has_value()) << c.what;
        QString altered;
        for (const QString& tone : *tones) {
            altered += AlterTone(AlterTone(tone, kSharpen), kCommaUp);
        }
        // A millisecond or two on an idle machine; generous for a loaded one and the sanitizer.
        EXPECT_LT(timer.elapsed(), test::TimeLimitMs(250)) << c.what;
        EXPECT_EQ(*tones, c.tones) << c.what;
        EXPECT_TRUE(altered.startsWith(c.tones[0] + QStringLiteral("is+(Dd)"))) << c.what;
    }
}

// Semitones above c of a German note name: "fis" 6, "es" 3, "b" 10, "ces" 11 (mod 12).
int PitchClass(const QString& name) {
    static const QString letters = QStringLiteral("c d e f g a h");
    static constexpr int steps[] = {0, 2, 4, 5, 7, 9, 11};
    if (name == u"b") {
        return 10;
    }
    int pitch = steps[letters.indexOf(name.at(0)) / 2];
    QString rest = name.mid(1);
    if ((name.startsWith(u'a') || name.startsWith(u'e')) && rest.startsWith(u's')) {
        pitch -= 1; // the contracted flats "as" and "es"
        rest.remove(0, 1);
    }
    pitch += static_cast<int>(rest.count(QStringLiteral("is")) - rest.count(QStringLiteral("es")));
    return (pitch % 12 + 12) % 12;
}

TEST(ScaleForKey, EveryKeyIsItsMajorOrNaturalMinorScale) {
    const QStringList keys = QStringLiteral("C G D A H Fis Cis F B Es As Des Ges Ces "
                                            "a e h fis cis gis dis ais d g c f b es as")
                                 .split(u' ');
    const QString letterOrder = QStringLiteral("cdefgahcdefgah");
    for (const QString& key : keys) {
        SCOPED_TRACE(key.toStdString());
        const QString scale = ScaleForKey(key);
        const QStringList words = scale.split(u' ');
        ASSERT_EQ(words.size(), 10); // seven tones, the first again, an empty word, the mode
        const bool major = key.at(0).isUpper();
        EXPECT_EQ(words.at(9), major ? u"Dur" : u"moll");
        EXPECT_EQ(words.at(0), key.toLower());
        EXPECT_EQ(words.at(7), words.at(0));
        // Each letter name once, in order, and the whole and half steps of the mode.
        const int expectedSteps[2][7] = {{2, 2, 1, 2, 2, 2, 1}, {2, 1, 2, 2, 1, 2, 2}};
        // "b" is the flat of the letter h.
        auto letter = [](const QString& name) { return name == u"b" ? QChar(u'h') : name.at(0); };
        const qsizetype firstLetter = letterOrder.indexOf(letter(words.at(0)));
        for (int k = 0; k < 7; ++k) {
            EXPECT_EQ(letter(words.at(k)), letterOrder.at(firstLetter + k)) << k;
            const int step = (PitchClass(words.at(k + 1)) - PitchClass(words.at(k)) + 12) % 12;
            EXPECT_EQ(step, expectedSteps[major ? 0 : 1][k]) << words.at(k).toStdString();
        }
    }
}

TEST(ScaleForKey, UnknownKeysGiveQuestionMark) {
    // not in the table, wrong case, blanks around, empty
    for (const char16_t* key : {u"Dis", u"ges", u"CIS", u"cIS", u" C", u"C ", u"", u"?"}) {
        EXPECT_EQ(ScaleForKey(QString::fromUtf16(key)), u"?"_qs)
            << QString::fromUtf16(key).toStdString();
    }
}

} // namespace
} // namespace zk
