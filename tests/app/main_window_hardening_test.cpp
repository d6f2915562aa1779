// What a user met in the window: saving an empty last piece asks for a file name first, and an
// example replaces unsaved edits without a question.
#include "app/main_window.h"
#include "common/piece_rows.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "window_fixture.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

class MainWindowHardening : public test::WindowTest {
protected:
    QAction* Action(const char* name) const {
        return window->findChild<QAction*>(QString::fromLatin1(name));
    }
    // The menu item with this caption in the menu with this title.
    QAction* Item(const QString& menuTitle, const QString& caption) const {
        for (QAction* top : window->menuBar()->actions()) {
            if (top->menu() == nullptr || top->menu()->title() != menuTitle) {
                continue;
            }
            for (QAction* action : top->menu()->actions()) {
                if (action->text() == caption) {
                    return action;
                }
            }
        }
        ADD_FAILURE() << "no item " << caption.toStdString() << " in " << menuTitle.toStdString();
        return nullptr;
    }
    QString Chord(int row) const { return window->Table().Cell(PieceTable::kChordColumn, row); }
};

TEST_F(MainWindowHardening, AnEmptyLastPieceIsReportedBeforeAnyFileNameIsAsked) {
    // "Rechne" computes without sound, and a pass empties the last piece first.
    LoadPieceText(window->Table(), test::Row("c", "8", "ceg"));
    Action("Rechne1")->trigger();
    for (const char* save :
         {"SpeicheredasletzteStckalsMidiDatei1", "SpeicheredasletzteStckalsWavDatei1"}) {
        dialogs.messages.clear();
        Action(save)->trigger();
        EXPECT_TRUE(dialogs.fileDialogs.isEmpty()) << save;
        ASSERT_EQ(dialogs.messages.size(), 1) << save;
        EXPECT_TRUE(
            dialogs.messages.first().startsWith(QStringLiteral("Das letzte Stück ist leer")))
            << dialogs.messages.first().toStdString();
    }
}

TEST_F(MainWindowHardening, AnExampleAsksBeforeUnsavedEditsAreReplaced) {
    LoadPieceText(window->Table(), test::Row("c", "8", "ceg"));
    window->SetPieceModified(true);
    dialogs.answers.append(false); // "Abbrechen": the edits stay
    Item(QStringLiteral("Beispiele"), QStringLiteral("Kadenz c-moll"))->trigger();
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(
        dialogs.questions.first().startsWith(QStringLiteral("Eingabe noch nicht gespeichert!")));
    EXPECT_EQ(Chord(1), QStringLiteral("ceg"));

    dialogs.answers.append(true); // "OK": the edits go
    Item(QStringLiteral("Beispiele"), QStringLiteral("Kadenz c-moll"))->trigger();
    EXPECT_EQ(dialogs.questions.size(), 2);
    EXPECT_NE(Chord(1), QStringLiteral("ceg"));

    // A help text replaces nothing and asks nothing.
    window->SetPieceModified(true);
    dialogs.textAnswers.append({false, true, QString()});
    Item(QStringLiteral("Hilfe"), QStringLiteral("Anleitung"))->trigger();
    EXPECT_EQ(dialogs.questions.size(), 2);
}

} // namespace
} // namespace zk
