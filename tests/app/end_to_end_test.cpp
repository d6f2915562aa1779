// SPDX-License-Identifier: GPL-3.0-or-later
// The program as a user meets it: the main window with its menus, the examples and help texts,
// sound going to a recording output and every dialog answered by a script.
#include "app/example_library.h"
#include "app/main_window.h"
#include "app/notation_window.h"
#include "common/locale_guard.h"
#include "common/qt_printers.h"
#include "common/scripted_dialogs.h"
#include "notation/notation_picture.h"
#include "sound/audio_output.h"
#include "sound/sound_player.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "window_fixture.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

using EndToEnd = test::WindowTest;

TEST_F(EndToEnd, ErstesBeispielPlaysComputesAndDraws) {
    Item(QStringLiteral("Beispiele"), QStringLiteral("Erstes Beispiel"))->trigger();
    // The cadence sounded chord by chord, then once more as one continuous sound.
    ASSERT_GE(audio.images.size(), 2);
    const std::vector<ChordRecord>& played = sound.lastPiece().Records();
    ASSERT_FALSE(played.empty());
    EXPECT_EQ(played.front().frequencies[0], 132.0L); // c of the first key "c"
    EXPECT_EQ(played.front().frequencies[1], 330.0L); // e1
    // The whole piece came as the last image, longer than any single chord.
    EXPECT_GT(audio.images.last().size(), audio.images.first().size());
    // Two messages, in order, with the piece computed in between.
    ASSERT_GE(dialogs.messages.size(), 2);
    EXPECT_FALSE(dialogs.messages[0].isEmpty());
    // The notation was drawn from the cadence.
    EXPECT_GT(picture.ChordLineCount(), 0);
    // At the end the table holds the extended cadence, ready to be played.
    EXPECT_FALSE(window->Settings().onlyCompute);
    EXPECT_GT(window->Table().RowCount(), 10);
}

TEST_F(EndToEnd, EveryExampleLoadsAndComputesWithoutAnError) {
    const QStringList captions = ExampleCaptions();
    ASSERT_GE(captions.size(), 25);
    for (const QString& caption : captions) {
        dialogs.messages.clear();
        const ExampleEntry* entry = FindExample(caption);
        ASSERT_NE(entry, nullptr) << caption.toStdString();
        window->RunExampleEntry(*entry);
        window->Settings().onlyCompute = true;
        window->RunPass(0);
        bool anyFrequency = false;
        for (int row = 1; row < window->Table().RowCount(); ++row) {
            anyFrequency = anyFrequency || !window->Table().Cell(3, row).isEmpty();
        }
        EXPECT_TRUE(anyFrequency) << caption.toStdString();
        for (const QString& message : dialogs.messages) {
            EXPECT_FALSE(message.startsWith(QStringLiteral("Fehler")))
                << caption.toStdString() << ": " << message.toStdString();
        }
    }
}

TEST_F(EndToEnd, HelpTextsOpenInTheTextDialogAndLeaveTheTableAlone) {
    window->Table().SetCell(2, 1, QStringLiteral("ceg"));
    for (const char* caption :
         {"Über Zirkelon", "Was kann Zirkelon?", "Anleitung", "Tonbezeichnungen",
          "Intervallbezeichnungen", "Tonarten automatisch"}) {
        dialogs.textAnswers.append({false, true, QString()}); // OK with the text unchanged
        Item(QStringLiteral("Hilfe"), QString::fromUtf8(caption))->trigger();
        ASSERT_FALSE(dialogs.textDialogs.isEmpty()) << caption;
        EXPECT_EQ(dialogs.textDialogs.last().caption.isEmpty(), false) << caption;
        EXPECT_EQ(dialogs.textDialogs.last().mode, TextDialogMode::OkPrint);
        EXPECT_GT(dialogs.textDialogs.last().text.count(u'\r') +
                      dialogs.textDialogs.last().text.count(u'\n'),
                  5)
            << caption;
    }
    EXPECT_EQ(window->Table().Cell(2, 1), QStringLiteral("ceg"));
}

} // namespace
} // namespace zk
