// SPDX-License-Identifier: GPL-3.0-or-later
// "Rechnen|Tonarten automatisch setzen": the key column found for the whole piece, the question
// before keys the user typed are replaced, the drift window and the report.
#include "app/drift_window.h"
#include "app/main_window.h"
#include "common/piece_rows.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"

#include <QAction>

#include "window_fixture.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

using test::Row;

class MainWindowKeysTest : public test::WindowTest {
protected:
    QString Key(int row) const { return window->Table().Cell(PieceTable::kKeyColumn, row); }

    // The comma trap C - a - d - G - C with its common tones held; the user has typed "a" as the
    // key of the second row.
    void LoadCommaTrap() {
        LoadPieceText(window->Table(), Row("c", "8", "C e1g1c2") + Row("a", "8", "A e1a1c2") +
                                           Row("", "8", "D d1a1f2") + Row("", "8", "G d1g1h1") +
                                           Row("", "8", "C e1g1c2"));
    }
};

TEST_F(MainWindowKeysTest, AsksBeforeTypedKeysAreReplacedAndReportsTheResult) {
    LoadCommaTrap();
    dialogs.answers.append(false); // "Nein": every key is set anew
    Action("TonartenAutomatisch1")->trigger();
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(
        dialogs.questions.first().startsWith(QStringLiteral("Vorhandene Tonarten behalten?")));
    EXPECT_EQ(Key(1), QStringLiteral("c"));
    EXPECT_TRUE(Key(2).isEmpty()) << "a minor is pure in C: no key entry is needed";
    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_TRUE(dialogs.messages.last().startsWith(QStringLiteral("Reine Zeilen: 5 von 5\r")))
        << dialogs.messages.last().toStdString();
    EXPECT_TRUE(dialogs.messages.last().contains(QStringLiteral("wandert um ein Komma")));
    // The table was computed silently and its drift is shown.
    EXPECT_FALSE(window->Table().Cell(PieceTable::kFrequencyColumn, 5).isEmpty());
    ASSERT_NE(window->DriftPictureWindow(), nullptr);
    EXPECT_TRUE(window->DriftPictureWindow()->isVisible());
    EXPECT_TRUE(window->PieceModified());
}

TEST_F(MainWindowKeysTest, KeepingTheTypedKeysChoosesOnlyTheBlankCells) {
    LoadCommaTrap();
    dialogs.answers.append(true); // "Ja": the typed keys stay
    Action("TonartenAutomatisch1")->trigger();
    EXPECT_EQ(Key(1), QStringLiteral("c"));
    EXPECT_EQ(Key(2), QStringLiteral("a"));
}

TEST_F(MainWindowKeysTest, WithoutTypedKeysNothingIsAskedAndTheEndMayDriftWhenAllowed) {
    LoadPieceText(window->Table(), Row("", "8", "C e1g1c2") + Row("", "8", "A e1a1c2") +
                                       Row("", "8", "D d1a1f2") + Row("", "8", "G d1g1h1") +
                                       Row("", "8", "C e1g1c2"));
    QAction* home = Action("ZumAusgangston1");
    ASSERT_NE(home, nullptr);
    EXPECT_TRUE(home->isChecked());
    home->trigger(); // unchecked: the end may drift
    Action("TonartenAutomatisch1")->trigger();
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(Key(1), QStringLiteral("c"));
    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_TRUE(dialogs.messages.last().contains(QStringLiteral("Schluss: ein Komma tiefer")))
        << dialogs.messages.last().toStdString();
}

} // namespace
} // namespace zk
