// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulation/modulation_calculator.h"

#include "common/qt_printers.h"
#include "common/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zk {
namespace {

const QString kC = QString::fromUtf16(kInitialScale);

// A calculator with its own history and scripted dialogs, and the current scale text.
struct Session {
    test::ScriptedDialogs dialogs;
    ListHistory history;
    ModulationCalculator calculator{dialogs, history};
    QString scale;

    explicit Session(QString start = kC) : scale(std::move(start)) {}

    // Applies the operation letters in order, as the buttons would.
    const QString& Run(QStringView letters) {
        for (const QChar letter : letters) {
            const auto op = ModulationOpFromLetter(QStringView(&letter, 1));
            EXPECT_TRUE(op.has_value()) << QString(letter).toStdString();
            scale = calculator.Apply(*op, scale);
        }
        return scale;
    }
    QString Back() { return scale = calculator.StepBack(scale); }
};

struct Example {
    const char16_t* ops;
    const char16_t* expected;
};

void PrintTo(const Example& c, std::ostream* out) {
    *out << QString::fromUtf16(c.ops).toStdString();
}

class WorkedExampleTest : public ::testing::TestWithParam<Example> {};

TEST_P(WorkedExampleTest, FromCMajor) {
    Session session;
    EXPECT_EQ(session.Run(GetParam().ops), QString::fromUtf16(GetParam().expected));
    EXPECT_TRUE(session.dialogs.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, WorkedExampleTest,
    ::testing::Values(
        // a fifth up alters the second degree by a comma and the seventh chromatically
        Example{u"Q", u"g a+(d) h c d e fis(D) g  Dur"},
        Example{u"QQ", u"d e+(d) fis(D) g a+(d) h cis(D) d  Dur"},
        // a third up and down lead to minor keys; two thirds are a fifth
        Example{u"T", u"e fis(D) g a h c d e  moll"},
        Example{u"TT", u"g a+(d) h c d e fis(D) g  Dur"},
        Example{u"t", u"a h c d-(s) e f g a  moll"}, Example{u"q", u"f g a b(S) c d-(s) e f  Dur"},
        Example{u"tt", u"f g a b(S) c d-(s) e f  Dur"},
        // major and minor
        Example{u"m", u"c d es+(Sd) f g as+(Sd) b+(Sd) c  moll"},
        Example{u"mm", u"c d e f g a h c  Dur"},
        Example{u"Tm", u"e fis(D) gis-(Ds) a h cis-(Ds) dis-(Ds) e  Dur"},
        Example{u"mqt", u"des(S) es+(Sd) f ges(S) as+(Sd) b(S) c des(S)  Dur"},
        // the whole scale a comma up and back
        Example{u"+", u"c+(d) d+(d) e+(d) f+(d) g+(d) a+(d) h+(d) c+(d)  Dur"},
        Example{u"+-", u"c d e f g a h c  Dur"},
        // minor steps
        Example{u"mT", u"es+(Sd) f+(d) g as+(Sd) b+(Sd) c d es+(Sd)  Dur"},
        Example{u"mq", u"f g as+(Sd) b(S) c des(S) es+(Sd) f  moll"}));

TEST(ModulationCalculator, HistoryOfSteps) {
    Session session;
    session.Run(u"QTm");
    EXPECT_EQ(
        session.history.Lines(),
        (QStringList{
            // the starting scale, then each result with its label; major lines get a
            // capital, minor lines keep the small letter
            u"C d e f g a h c  Dur"_qs,
            u"G a+(d) h c d e fis(D) g  Dur  (eine Quinte höher)"_qs,
            u"h cis(D) d e fis(D) g a+(d) h  moll  (eine Terz höher)"_qs,
            u"H cis(D) dis-(Ds) e fis(D) gis-(Ds) ais(D) h  Dur  (Wechsel mo l l -> D u r)"_qs,
        }));
    session.Run(u"m-");
    EXPECT_EQ(session.history.Lines().value(4),
              u"h cis(D) d e fis(D) g a+(d) h  moll  (Wechsel D u r -> m o l l)"_qs);
    EXPECT_EQ(session.history.Lines().value(5),
              u"h-(s) cis-(Ds) d-(s) e-(s) fis-(Ds) g-(s) a h-(s)  moll  (ein Komma tiefer)"_qs);
}

const QStringList kAllKeys = QStringLiteral("C G D A H Fis Cis F B Es As Des Ges Ces "
                                            "a e h fis cis gis dis ais d g c f b es as")
                                 .split(u' ');

// Scales reached by steps, whose tones carry records.
QStringList AlteredScales() {
    QStringList scales;
    for (const char16_t* ops : {u"Q", u"Tm", u"mqt", u"+", u"--", u"QQQQ", u"mtT"}) {
        Session session;
        scales.append(session.Run(ops));
    }
    return scales;
}

// The record letters of each tone sorted, so that texts compare without the order in which
// the alterations happened: "dis-(sD)" reads as "dis-(Ds)".
QString WithSortedRecords(const QString& scale) {
    QStringList words = scale.split(u' ');
    for (QString& word : words) {
        const qsizetype open = word.indexOf(u'(');
        if (open >= 0 && word.endsWith(u')')) {
            QString record = word.mid(open + 1, word.size() - open - 2);
            std::sort(record.begin(), record.end());
            word = word.left(open + 1) + record + u')';
        }
    }
    return words.join(u' ');
}

const char16_t* const kInversePairs[] = {u"Qq", u"qQ", u"Tt", u"tT", u"+-", u"-+", u"mm"};

TEST(ModulationCalculator, StepAndInverseRestorePlainScaleExactly) {
    for (const QString& key : kAllKeys) {
        const QString start = ScaleForKey(key);
        for (const char16_t* pair : kInversePairs) {
            Session session(start);
            EXPECT_EQ(session.Run(pair), start) << QString::fromUtf16(pair).toStdString();
        }
    }
}

TEST(ModulationCalculator, StepAndInverseRestoreAlteredScale) {
    // The names come back exactly; a record may list its letters in another order.
    for (const QString& start : AlteredScales()) {
        for (const char16_t* pair : kInversePairs) {
            Session session(start);
            EXPECT_EQ(WithSortedRecords(session.Run(pair)), WithSortedRecords(start))
                << QString::fromUtf16(pair).toStdString();
        }
    }
}

TEST(ModulationCalculator, FifthIsTwoThirds) {
    QStringList starts = AlteredScales();
    for (const QString& key : kAllKeys) {
        starts.append(ScaleForKey(key));
    }
    for (const QString& start : starts) {
        for (const auto& [fifth, thirds] : {std::pair{u"Q", u"TT"}, std::pair{u"q", u"tt"}}) {
            Session one(start);
            Session two(start);
            EXPECT_EQ(one.Run(fifth), two.Run(thirds)) << start.toStdString();
        }
    }
}

TEST(ModulationCalculator, StepBack) {
    struct Case {
        const char16_t* ops;   // steps before stepping back
        qsizetype linesAfter;  // history lines after the step back
        const char16_t* scale; // scale text after the step back
    };
    const Case cases[] = {
        // no history: nothing happens
        {u"", 0, kInitialScale},
        // two lines: back to the starting line, with its capital
        {u"Q", 1, u"C d e f g a h c  Dur"},
        // three lines: back to the first step, label included
        {u"QQ", 2, u"G a+(d) h c d e fis(D) g  Dur  (eine Quinte höher)"},
    };
    for (const Case& c : cases) {
        Session session;
        session.Run(c.ops);
        session.Back();
        EXPECT_EQ(session.history.Lines().size(), c.linesAfter);
        EXPECT_EQ(session.scale, QString::fromUtf16(c.scale));
    }
    // One line left: stepping back again changes nothing.
    Session session;
    session.Run(u"Q");
    session.Back();
    const QString once = session.scale;
    EXPECT_EQ(session.Back(), once);
    EXPECT_EQ(session.history.Lines().size(), 1);
}

TEST(ModulationCalculator, HistoryLineReadBackAsScale) {
    Session session;
    session.Run(u"QQ");
    session.Back();
    // The label is ignored and gone from the result; the capital G stays a capital.
    EXPECT_EQ(session.Run(u"Q"), u"d e+(d) fis(D) G a+(d) h cis(D) d  Dur"_qs);
    EXPECT_EQ(session.Run(u"q"), u"G a+(d) h c d e fis(D) G  Dur"_qs);
    // A minor line with the switch label holds no other mode word.
    Session minor;
    minor.Run(u"mq");
    minor.Back();
    EXPECT_EQ(minor.scale,
              u"c d es+(Sd) f g as+(Sd) b+(Sd) c  moll  (Wechsel D u r -> m o l l)"_qs);
    EXPECT_EQ(minor.Run(u"m"), u"c d e f g a h c  Dur"_qs);
}

TEST(ModulationCalculator, AddHistoryLineCapitalRule) {
    struct Case {
        const char16_t* line;
        const char16_t* stored; // nullptr: not appended
    };
    const Case cases[] = {
        {u"c d e f g a h c  Dur", u"C d e f g a h c  Dur"},
        // minor, and the switch label that spells the word apart
        {u"a h c d e f g a  moll", u"a h c d e f g a  moll"},
        {u"e f g  moll  (Wechsel D u r -> m o l l)", u"e f g  moll  (Wechsel D u r -> m o l l)"},
        // the first "Dur" starts a "Dur-": no capital, even with a later "Dur"
        {u"c Dur-x Dur", u"c Dur-x Dur"},
        // only the letters a to z are raised
        {u"äDur", u"äDur"},
        {u" c Dur", u" c Dur"},
        // an empty line is not appended
        {u"", nullptr},
    };
    for (const Case& c : cases) {
        test::ScriptedDialogs dialogs;
        ListHistory history;
        ModulationCalculator(dialogs, history).AddHistoryLine(QString::fromUtf16(c.line));
        EXPECT_EQ(history.Lines(),
                  c.stored ? QStringList{QString::fromUtf16(c.stored)} : QStringList{});
    }
}

TEST(ModulationCalculator, MajorMinorWithShortHistory) {
    // With exactly one line the current scale is written again before the switch.
    Session session;
    session.Run(u"Q");
    session.Back();
    session.Run(u"m");
    EXPECT_EQ(session.history.Lines().size(), 3);
    EXPECT_EQ(session.history.Lines().value(1), u"C d e f g a h c  Dur"_qs);
    // With two lines or more nothing is added before the switch.
    Session longer;
    longer.Run(u"Qm");
    EXPECT_EQ(longer.history.Lines().size(), 3);
}

TEST(ModulationCalculator, TextsWithoutRightModeWord) {
    struct Case {
        const char16_t* scale;
        const char16_t* ops;
        const char16_t* message; // nullptr: nothing shown
        qsizetype historyLines;
    };
    const Case cases[] = {
        // thirds and fifths without a mode word do nothing, silently
        {u"c d e f g a h c", u"TtQq", nullptr, 0},
        // the switch may still write the text to a short history
        {u"c d e f g a h c", u"m", nullptr, 1},
        // comma steps read the missing mode word as minor and complain
        {u"c d e f g a h c", u"+", u"Am Ende der der Tonleiter muss \"Dur\" oder \"moll\" stehen!",
         0},
        // a lower-case "dur" is not found by the steps, but found by the parser
        {u"c d e f g a h c  dur", u"+", u"Tonleiter muss moll sein", 0},
        {u"c d e f g a h c  dur", u"T", nullptr, 0},
    };
    for (const Case& c : cases) {
        Session session(QString::fromUtf16(c.scale));
        EXPECT_EQ(session.Run(c.ops), QString::fromUtf16(c.scale));
        EXPECT_EQ(session.dialogs.messages,
                  c.message ? QStringList{QString::fromUtf16(c.message)} : QStringList{});
        EXPECT_EQ(session.history.Lines().size(), c.historyLines);
    }
}

TEST(ModulationCalculator, ResetToKey) {
    Session session;
    session.Run(u"QQ");
    const auto minor = session.calculator.ResetToKey(u"c"_qs);
    EXPECT_EQ(minor.key, u"c"_qs);
    EXPECT_EQ(minor.scale, u"c d es f g as b c  moll"_qs);
    EXPECT_TRUE(session.history.Lines().isEmpty());
    EXPECT_TRUE(session.dialogs.messages.isEmpty());

    session.Run(u"T");
    const auto unknown = session.calculator.ResetToKey(u"Dis"_qs);
    EXPECT_EQ(unknown.key, u"C"_qs);
    EXPECT_EQ(unknown.scale, kC);
    EXPECT_TRUE(session.history.Lines().isEmpty());
    EXPECT_EQ(session.dialogs.messages,
              QStringList{u"Richtige Tonart eintragen!\rZumBeispiel \"C\" oder \"Cis\" für Dur\r"
                          u"oder \"e\" oder \"es\" für Moll"_qs});
}

} // namespace
} // namespace zk
