// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"
#include "app/notation_window.h"
#include "common/locale_guard.h"
#include "common/scripted_dialogs.h"
#include "notation/notation_picture.h"
#include "sound/audio_output.h"
#include "sound/sound_player.h"
#include "support/program_files.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>

#include "window_fixture.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

// The menu "Frequenzeingabe" of the main window, run as a user would, with the window closed
// and opened again in between.
class FrequencyToolsMenu : public test::WindowTest {
protected:
    FrequencyToolsMenu() {
        window.reset();
        RemoveFiles();
        Open();
    }
    ~FrequencyToolsMenu() override {
        window.reset();
        RemoveFiles();
    }

    void Open() {
        window = std::make_unique<MainWindow>(sound, notation, dialogs);
        window->FrequencyInput().SetToolDauer(5);
    }
    static void RemoveFiles() {
        QFile::remove(ToneHistoryPath());
        QFile::remove(ChordHistoryPath());
        QDir(ProgramDir() + QStringLiteral("wav")).removeRecursively();
    }
    void Trigger(const char* name) {
        auto* action = window->findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    }
    QString Edit(const char* name) const {
        return window->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
    }
};

TEST_F(FrequencyToolsMenu, TonPlaysAndItsInputSurvivesARestart) {
    dialogs.promptAnswers = {QStringLiteral("528 (20)")};
    Trigger("Ton1");

    ASSERT_EQ(sound.lastPiece().size(), 1u);
    EXPECT_EQ(sound.lastPiece().Records()[0].frequencies[0], 528);
    EXPECT_EQ(audio.stops, 1);
    // The spectrum stays in the edits, for the piece's sounds as well.
    EXPECT_EQ(Edit("Eoberton1"), QStringLiteral("20"));
    EXPECT_EQ(Edit("Eoberton2"), QString());
    EXPECT_EQ(sound.timbre().overtoneTexts, (OvertoneTexts{"20", "", "", "", "", ""}));

    window.reset();
    EXPECT_TRUE(QFile::exists(ToneHistoryPath()));
    Open();
    EXPECT_EQ(window->ToneHistory(), QStringList{QStringLiteral("528 (20)")});
    // The next use offers the kept input.
    dialogs.prompts.clear();
    Trigger("Ton1");
    ASSERT_EQ(dialogs.prompts.size(), 1);
    EXPECT_EQ(dialogs.prompts[0].value, QStringLiteral("528 (20)"));
}

TEST_F(FrequencyToolsMenu, ChordToolsShareTheKeptChordHistory) {
    dialogs.promptAnswers = {QStringLiteral("440 550 660")};
    Trigger("Mehrklang1");
    dialogs.promptAnswers = {QStringLiteral("528 440 k")};
    Trigger("ZweiklangmitDifferenztnen1");
    EXPECT_EQ(sound.lastPiece().Records().back().frequencies[3], 352);

    window.reset();
    Open();
    EXPECT_EQ(window->ChordHistory(), (QStringList{"528 440 k", "440 550 660"}));
    EXPECT_TRUE(window->ToneHistory().isEmpty());
}

TEST_F(FrequencyToolsMenu, DauerAendernRefusesANegativeDurationInAMessage) {
    dialogs.promptAnswers = {QStringLiteral("-1")};
    Trigger("Dauerverlngeren1");
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(window->FrequencyInput().ToolDauer(), 5);

    dialogs.promptAnswers = {QStringLiteral("7")};
    Trigger("Dauerverlngeren1");
    dialogs.promptAnswers = {QStringLiteral("440")};
    Trigger("Ton1");
    ASSERT_EQ(sound.lastPiece().size(), 1u);
    EXPECT_EQ(sound.lastPiece().Records()[0].dauer, 7);
}

} // namespace
} // namespace zk
