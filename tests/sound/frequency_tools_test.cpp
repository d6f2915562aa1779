// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/frequency_tools.h"

#include "common/locale_guard.h"
#include "common/qt_printers.h"
#include "common/scripted_dialogs.h"
#include "sound/audio_output.h"
#include "sound/chord_cache.h"
#include "sound/sound_player.h"
#include "sound/wav_format.h"
#include "support/program_files.h"

#include <QDir>
#include <QFile>

#include "sound_test_helpers.h"

#include <gtest/gtest.h>

#include <optional>

namespace zk {
namespace {

using test::Chord;

// ---------------------------------------------------------------- the spectrum in parentheses

struct SplitCase {
    const char* input;
    const char* frequencyPart;
    OvertoneTexts overtones; // the edits afterwards
};

class SplitOvertoneSpecTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitOvertoneSpecTest, TakesTheSpectrumIntoTheEdits) {
    const SplitCase& c = GetParam();
    Timbre timbre;
    EXPECT_EQ(SplitOvertoneSpec(QString::fromUtf8(c.input), timbre),
              QString::fromUtf8(c.frequencyPart));
    EXPECT_EQ(timbre.overtoneTexts, c.overtones);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, SplitOvertoneSpecTest,
    ::testing::Values(
        // Without "(" the edits keep the organ spectrum.
        SplitCase{"440 550", "440 550", kOrgelTexts},
        // Missing percentages leave their edits empty.
        SplitCase{"440 (75 50)", "440 ", {"75", "50", "", "", "", ""}},
        SplitCase{"440 550 660 880 (75 50 25 12 6)",
                  "440 550 660 880 ",
                  {"75", "50", "25", "12", "6", ""}},
        // The closing parenthesis may be missing.
        SplitCase{"440 (75 50 0 0 0", "440 ", {"75", "50", "0", "0", "0", ""}},
        // Blanks inside the parentheses or after them do not move or spoil a percentage.
        SplitCase{"440 (  75  50 ) ", "440 ", {"75", "50", "", "", "", ""}},
        SplitCase{"440 (75 50) 30", "440 ", {"75", "50", "", "", "", ""}},
        // A seventh percentage has no edit.
        SplitCase{"440(1 2 3 4 5 6 7)", "440", {"1", "2", "3", "4", "5", "6"}},
        // Empty parentheses silence every overtone.
        SplitCase{"440 ()", "440 ", {"", "", "", "", "", ""}}));

// ---------------------------------------------------------------- difference tones

struct DifferenceCase {
    const char* input;
    DifferenceTones tones;
    ChordFrequencies played;
};

class DifferenceToneTest : public ::testing::TestWithParam<DifferenceCase> {};

TEST_P(DifferenceToneTest, OrdersTheTonesAndAddsTheAskedDifferenceTones) {
    const DifferenceCase& c = GetParam();
    const DifferenceTones tones = DifferenceTonesOf(QString::fromUtf8(c.input));
    EXPECT_EQ(tones, c.tones);
    EXPECT_EQ(DifferenceToneChord(tones), c.played);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, DifferenceToneTest,
    ::testing::Values(
        DifferenceCase{"440 528 qk", {440, 528, 88, 352}, Chord({440, 528, 88, 352})},
        // The higher tone first: swapped. Only the cubic tone, which fills both slots.
        DifferenceCase{"528 440 k", {440, 528, 0, 352}, Chord({440, 528, 352, 352})},
        // Neither letter: the quadratic tone all the same.
        DifferenceCase{"440 528", {440, 528, 88, 0}, Chord({440, 528, 88})},
        DifferenceCase{"440 528 q", {440, 528, 88, 0}, Chord({440, 528, 88})},
        // Equal tones have no difference tones: the two equal tones sound alone.
        DifferenceCase{"440 440 q", {440, 440, 0, 0}, Chord({440, 440})},
        // An octave has a cubic tone of 0; the quadratic one is added instead.
        DifferenceCase{"440 880 k", {440, 880, 440, 0}, Chord({440, 880, 440})},
        // A cubic tone below 0 sounds at its mirror frequency 700 − 2·300.
        DifferenceCase{"300 700 k", {300, 700, 0, -100}, Chord({300, 700, 100, 100})},
        DifferenceCase{"300 700 qk", {300, 700, 400, -100}, Chord({300, 700, 400, 100})},
        // One tone only: the other is 0 and becomes the lower one, which silences the chord.
        DifferenceCase{"440 q", {0, 440, 440, 0}, Chord({0, 440, 440})}));

// The report as it stands under the prompt, one string per line.
QStringList ReportLines(const char* input) {
    return DifferenceToneReport(DifferenceTonesOf(QString::fromUtf8(input))).split(u'\r');
}

TEST(DifferenceToneReport, WorkedExample) {
    test::LocaleGuard locale(test::German());
    EXPECT_EQ(ReportLines("440 528 qk"), (QStringList{
                                             "Tieferer Ton:               440",
                                             "Höherer  Ton:               528",
                                             "   Frequenzverhältnis = 6/5 = kT",
                                             "quadratischer Differenzton: 88",
                                             "   Frequenzverhältnis = 5/1 = Ok*Ok*gT",
                                             "   Frequenzverhältnis = 6/1 = Ok*Ok*Q",
                                             "kubischer     Differenzton: 352",
                                             "   Frequenzverhältnis = 5/4 = gT",
                                             "   Frequenzverhältnis = 3/2 = Q",
                                             "   Frequenzverhältnis = 1/4 = Ok ",
                                         }));
}

TEST(DifferenceToneReport, GroupsEndAtTheirOwnFailures) {
    test::LocaleGuard locale(test::German());
    // Only the cubic tone: no quadratic group, and the ratio to the missing quadratic tone ends
    // the cubic group after two lines.
    EXPECT_EQ(ReportLines("528 440 k"), (QStringList{
                                            "Tieferer Ton:               440",
                                            "Höherer  Ton:               528",
                                            "   Frequenzverhältnis = 6/5 = kT",
                                            "kubischer     Differenzton: 352",
                                            "   Frequenzverhältnis = 5/4 = gT",
                                            "   Frequenzverhältnis = 3/2 = Q",
                                        }));
    // Equal tones: the unison, no difference tones.
    EXPECT_EQ(ReportLines("440 440 q"), (QStringList{
                                            "Tieferer Ton:               440",
                                            "Höherer  Ton:               440",
                                            "   Frequenzverhältnis = 1/1 = P ",
                                        }));
    // A lower tone of 0 Hz: no ratio to it, but the quadratic tone is still reported.
    EXPECT_EQ(ReportLines("0 440 q"), (QStringList{
                                          "Tieferer Ton:               0",
                                          "Höherer  Ton:               440",
                                          "quadratischer Differenzton: 440",
                                      }));
    // A negative cubic tone is not reported; the quadratic group is complete.
    EXPECT_EQ(ReportLines("300 700 qk"), (QStringList{
                                             "Tieferer Ton:               300",
                                             "Höherer  Ton:               700",
                                             "   Frequenzverhältnis = 7/3 =  7/3 ",
                                             "quadratischer Differenzton: 400",
                                             "   Frequenzverhältnis = 3/4 = Q",
                                             "   Frequenzverhältnis = 7/4 =  7/4 ",
                                         }));
    // A negative tone gives no interval, but the group after it goes on.
    EXPECT_EQ(ReportLines("-100 300 q"), (QStringList{
                                             "Tieferer Ton:               -100",
                                             "Höherer  Ton:               300",
                                             "quadratischer Differenzton: 400",
                                         }));
}

TEST(DifferenceToneReport, AFractionTooLargeToNameEndsItsGroup) {
    test::LocaleGuard locale(test::German());
    // 1 Hz over 10^-20 Hz is 10^20/1, beyond every whole number the names are counted in; the
    // group ends there and its second line (1/1) is left out.
    EXPECT_EQ(ReportLines("1e-20 1 q"), (QStringList{
                                            "Tieferer Ton:               0",
                                            "Höherer  Ton:               1",
                                            "quadratischer Differenzton: 1",
                                        }));
}

TEST(DifferenceToneReport, FrequenciesUseTheLocalesSeparator) {
    for (const auto& [locale, input, expected] :
         {std::tuple{test::German(), "261,625 392,4375", "392,44"},
          std::tuple{test::English(), "261.625 392.4375", "392.44"}}) {
        test::LocaleGuard guard(locale);
        const QStringList lines = ReportLines(input);
        ASSERT_GE(lines.size(), 2);
        EXPECT_EQ(lines[1],
                  QStringLiteral("Höherer  Ton:               ") + QString::fromUtf8(expected));
    }
}

// ---------------------------------------------------------------- the tools

constexpr int kShort = 5; // a twentieth of a second keeps the synthesis quick

class Tools : public ::testing::Test {
protected:
    Tools() {
        QDir(ProgramDir() + QStringLiteral("wav")).removeRecursively();
        tools.SetToolDauer(kShort);
    }
    ~Tools() override { QDir(ProgramDir() + QStringLiteral("wav")).removeRecursively(); }

    void Answer(std::initializer_list<std::optional<QString>> answers) {
        dialogs.promptAnswers = answers;
    }
    std::vector<ChordRecord> Played() const { return sound.lastPiece().Records(); }

    test::LocaleGuard m_locale{test::German()};
    RecordingAudioOutput audio;
    SoundPlayer sound{audio};
    test::ScriptedDialogs dialogs;
    QStringList toneHistory;
    QStringList chordHistory;
    FrequencyTools tools{sound, dialogs, toneHistory, chordHistory};
};

const QString kToneExplanation =
    QStringLiteral("Sie können für die Klangfarbe, d.h. die  Obertöne\r"
                   "im Hauptprogramm einstellen oder\r"
                   "in Klammer hinter die Frequenz z.B.\r"
                   "%1\r"
                   "\r"
                   "Dauer kann verkürzt oder verlängert werden.\r"
                   "Sie können den Ton als Wav-Datei speichern\r"
                   "(Menü \"Spielen|Speichere ...\")");

TEST_F(Tools, TonPlaysOneVoiceAndCachesIt) {
    Answer({QStringLiteral("440"), std::nullopt});
    tools.Ton();

    ASSERT_EQ(dialogs.prompts.size(), 2);
    EXPECT_EQ(dialogs.prompts[0].caption, QStringLiteral("Ein Ton"));
    EXPECT_EQ(dialogs.prompts[0].prompt, QStringLiteral("Geben Sie die Frequenz ein"));
    EXPECT_EQ(dialogs.prompts[0].explanation, kToneExplanation.arg("440 (75 50 0 0 0)"));
    EXPECT_EQ(dialogs.prompts[0].value, QStringLiteral("440"));
    // The dialog comes back with the same input.
    EXPECT_EQ(dialogs.prompts[1].value, QStringLiteral("440"));

    // The tone in slots 1 and 5; only one voice sounds.
    ChordFrequencies chord = Chord({440});
    chord[4] = 440;
    EXPECT_EQ(Played(), (std::vector<ChordRecord>{{kShort, chord}}));
    ASSERT_EQ(audio.images.size(), 1);
    EXPECT_EQ(audio.images[0], ChordWavImage(kShort, Chord({440}), test::kOrgan));
    // The cache names the tones that sound: "440" (the name once held the frequency twice).
    const QString cached = ProgramDir() + QStringLiteral("wav/5o75o50o30o15o10o5/440.wav");
    EXPECT_EQ(ChordCachePath(kShort, chord, sound.timbre()), cached);
    QFile file(cached);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), audio.images[0]);
    // Cancelling stops the sound.
    EXPECT_EQ(audio.stops, 1);
}

TEST_F(Tools, TonStartsFromTheNewestHistoryLine) {
    toneHistory = QStringList{QStringLiteral("528"), QStringLiteral("440")};
    Answer({QStringLiteral("660")});
    tools.Ton();
    ASSERT_EQ(dialogs.prompts.size(), 2);
    EXPECT_EQ(dialogs.prompts[0].value, QStringLiteral("528"));
    EXPECT_EQ(toneHistory, (QStringList{"660", "528", "440"}));
    ASSERT_EQ(Played().size(), 1u);
    EXPECT_EQ(Played()[0].frequencies[0], 660);
}

TEST_F(Tools, TheSpectrumInParenthesesSoundsAndStaysInTheEdits) {
    int shown = 0;
    tools.timbreTyped = [&] { ++shown; };
    Answer({QStringLiteral("440 (75 50)"), QStringLiteral("440")});
    tools.Ton();

    EXPECT_EQ(shown, 1);
    EXPECT_EQ(sound.timbre().overtoneTexts, (OvertoneTexts{"75", "50", "", "", "", ""}));
    Timbre typed;
    typed.overtoneTexts = {"75", "50", "", "", "", ""};
    typed.Eoberton1Exit();
    ASSERT_EQ(audio.images.size(), 2);
    EXPECT_EQ(audio.images[0], ChordWavImage(kShort, Chord({440}), typed.ForSamples()));
    // The next input without parentheses keeps the spectrum.
    EXPECT_EQ(audio.images[1], audio.images[0]);
}

TEST_F(Tools, TheWindowTakesItsEditsBeforeEverySound) {
    // The window copies its overtone edits into the timbre before each sound.
    tools.beforeSound = [&] { sound.timbre().overtoneTexts = {"", "", "", "", "", ""}; };
    Answer({QStringLiteral("440")});
    tools.Ton();
    Timbre plain;
    plain.overtoneTexts = {"", "", "", "", "", ""};
    plain.Eoberton1Exit();
    ASSERT_EQ(audio.images.size(), 1);
    EXPECT_EQ(audio.images[0], ChordWavImage(kShort, Chord({440}), plain.ForSamples()));
}

TEST_F(Tools, MehrklangPlaysUpToEightTones) {
    Answer({QStringLiteral("440 550 660 880"),
            QStringLiteral("100|200 300 400 500 600 700 800 900 (10)")});
    tools.Mehrklang();

    ASSERT_EQ(dialogs.prompts.size(), 3);
    EXPECT_EQ(dialogs.prompts[0].caption, QStringLiteral("maximal acht Frequenzen"));
    EXPECT_EQ(dialogs.prompts[0].prompt, QStringLiteral("Geben Sie die Frequenzen ein"));
    EXPECT_EQ(dialogs.prompts[0].explanation,
              kToneExplanation.arg("440 550 660 880 (75 50 25 12 6)"));
    EXPECT_EQ(dialogs.prompts[0].value, QStringLiteral("440 550 660 880"));
    EXPECT_EQ(Played(), (std::vector<ChordRecord>{
                            {kShort, Chord({440, 550, 660, 880})},
                            // The ninth tone is ignored.
                            {kShort, Chord({100, 200, 300, 400, 500, 600, 700, 800})},
                        }));
    EXPECT_EQ(sound.timbre().overtoneTexts, (OvertoneTexts{"10", "", "", "", "", ""}));
    EXPECT_EQ(chordHistory.first(), QStringLiteral("100|200 300 400 500 600 700 800 900 (10)"));
    EXPECT_EQ(audio.stops, 1);
}

TEST_F(Tools, ZweiklangOffersTheExampleAndShowsTheLastReport) {
    chordHistory = QStringList{QStringLiteral("300 400")};
    Answer({QStringLiteral("440 528 qk"), QStringLiteral("528 440 k")});
    tools.Zweiklang();

    ASSERT_EQ(dialogs.prompts.size(), 3);
    EXPECT_EQ(dialogs.prompts[0].caption, QStringLiteral("maximal acht Frequenzen"));
    EXPECT_EQ(dialogs.prompts[0].prompt, QStringLiteral("Geben Sie zwei Frequenzen ein"));
    // The example, whatever the history holds.
    EXPECT_EQ(dialogs.prompts[0].value, QStringLiteral("440 528 qk"));
    const QString fixed =
        QStringLiteral("Geben Sie zwei Frequenzen und \"q\", \"k\" oder \"qk\" ein!\r"
                       "Es erklingen dann die quadratischen oder kubischen\r"
                       "Diffenztöne mit.\r"
                       "\r"
                       "Erläuterung: Im Innenohr entsteht bei einem Zweiklang mit\r"
                       "den Frequenzen f1 und f2 der (quadratische) Differenzton\r"
                       "f3 = f1 - f2 (f2 > f1).\r"
                       "Dieser Ton, der als akustisches Signal normalerweise nicht \r"
                       "vorhanden ist, wird hier zusätzlich erzeugt.\r"
                       "Ein weiterer (kubischer) Differenzton ist  f4 = 2*f1 - f2.\r"
                       "Diese Töne werden miterzeugt, wenn Sie den betreffenden\r"
                       "Buchstaben mit angeben.\r"
                       "\r"
                       "\r");
    EXPECT_EQ(dialogs.prompts[0].explanation, fixed);
    // Each prompt shows the report of the input before it.
    EXPECT_EQ(dialogs.prompts[1].explanation, fixed + DifferenceToneReport({440, 528, 88, 352}));
    EXPECT_EQ(dialogs.prompts[2].explanation, fixed + DifferenceToneReport({440, 528, 0, 352}));
    EXPECT_EQ(tools.ZweiklangReport(), DifferenceToneReport({440, 528, 0, 352}));

    // The repeated top tone 352 is struck again after a rest of Dauer 1.
    EXPECT_EQ(Played(), (std::vector<ChordRecord>{
                            {kShort, Chord({440, 528, 88, 352})},
                            {1, {}},
                            {kShort, Chord({440, 528, 352, 352})},
                        }));
    // The unchanged example does not enter the history.
    EXPECT_EQ(chordHistory, (QStringList{"528 440 k", "300 400"}));
    EXPECT_EQ(audio.stops, 1);
}

TEST_F(Tools, EveryToolStartsANewLastPieceAndStopsTheSoundOnCancel) {
    const std::pair<const char*, void (FrequencyTools::*)()> cases[] = {
        {"Ton", &FrequencyTools::Ton},
        {"Mehrklang", &FrequencyTools::Mehrklang},
        {"Zweiklang", &FrequencyTools::Zweiklang},
    };
    for (const auto& [name, tool] : cases) {
        sound.PlayChord(kShort, Chord({264, 330}));
        const int stops = audio.stops;
        Answer({std::nullopt});
        (tools.*tool)();
        EXPECT_TRUE(sound.lastPiece().empty()) << name;
        EXPECT_EQ(audio.stops, stops + 1) << name;
    }
}

TEST_F(Tools, ASoundThatCannotBePlayedIsReportedAndTheDialogReturns) {
    Answer({QStringLiteral("1e13"), QStringLiteral("440")});
    tools.Ton();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("kann nicht gespielt werden")))
        << dialogs.messages[0].toStdString();
    EXPECT_EQ(dialogs.prompts.size(), 3);
    ASSERT_EQ(Played().size(), 1u);
    EXPECT_EQ(Played()[0].frequencies[0], 440);
}

// ---------------------------------------------------------------- "Dauer ändern"

struct DauerCase {
    std::optional<QString> answer; // nothing: cancelled
    int dauer;                     // ToolDauer afterwards, from 1000
    bool refused;                  // a message was shown
};

class DauerAendernTest : public Tools, public ::testing::WithParamInterface<DauerCase> {};

TEST_P(DauerAendernTest, AcceptsWholeDurationsUpToAnHour) {
    const DauerCase& c = GetParam();
    tools.SetToolDauer(1000);
    Answer({c.answer});
    tools.DauerAendern();

    ASSERT_EQ(dialogs.prompts.size(), 1);
    EXPECT_EQ(dialogs.prompts[0].caption, QStringLiteral("Dauer ändern"));
    EXPECT_EQ(dialogs.prompts[0].prompt, QStringLiteral("Geben Sie die Dauer ein"));
    EXPECT_EQ(dialogs.prompts[0].value, QStringLiteral("1000"));
    // The explanation names the unit.
    EXPECT_TRUE(dialogs.prompts[0].explanation.contains(QStringLiteral("Hundertstelsekunden")));
    EXPECT_EQ(tools.ToolDauer(), c.dauer);
    EXPECT_EQ(dialogs.messages.size(), c.refused ? 1 : 0);
    if (c.refused) {
        EXPECT_TRUE(dialogs.messages[0].endsWith(
            QStringLiteral("Die Dauer bleibt 1000 Hundertstelsekunden.")))
            << dialogs.messages[0].toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DauerAendernTest,
    ::testing::Values(
        DauerCase{QStringLiteral("250"), 250, false}, DauerCase{QStringLiteral(" 42 "), 42, false},
        DauerCase{QStringLiteral("0"), 0, false},
        DauerCase{QStringLiteral("360000"), 360000, false}, DauerCase{std::nullopt, 1000, false},
        DauerCase{QStringLiteral("-5"), 1000, true}, DauerCase{QStringLiteral("abc"), 1000, true},
        DauerCase{QStringLiteral(""), 1000, true}, DauerCase{QStringLiteral("12,5"), 1000, true},
        DauerCase{QStringLiteral("360001"), 1000, true},
        DauerCase{QStringLiteral("99999999999999999999"), 1000, true},
        DauerCase{QStringLiteral("-99999999999999999999"), 1000, true}));

TEST_F(Tools, TheToolsSoundForTheNewDuration) {
    Answer({QStringLiteral("3")});
    tools.DauerAendern();
    Answer({QStringLiteral("440 550")});
    tools.Mehrklang();
    EXPECT_EQ(Played(), (std::vector<ChordRecord>{{3, Chord({440, 550})}}));
}

TEST(FrequencyToolsDefaults, TenSecondsAndNoReport) {
    RecordingAudioOutput audio;
    SoundPlayer sound(audio);
    test::ScriptedDialogs dialogs;
    QStringList tone;
    QStringList chord;
    const FrequencyTools tools(sound, dialogs, tone, chord);
    EXPECT_EQ(tools.ToolDauer(), 1000);
    EXPECT_TRUE(tools.ZweiklangReport().isEmpty());
}

} // namespace
} // namespace zk
