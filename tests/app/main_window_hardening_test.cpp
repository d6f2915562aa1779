// SPDX-License-Identifier: GPL-3.0-or-later
// What a user met in the window: saving an empty last piece asked for a file name first, an
// example replaced unsaved edits without a question, and a long piece left another piece's notes
// on screen.
#include "app/main_window.h"
#include "app/notation_window.h"
#include "common/piece_rows.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"

#include <QCoreApplication>
#include <QImage>

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "window_fixture.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

class MainWindowHardening : public test::WindowTest {
protected:
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

TEST_F(MainWindowHardening, APieceTooLongToNotateLeavesNoOtherPiecesNotesOnScreen) {
    // "Rechne" notates a table of fewer than 50 rows; a longer one is not notated, and the
    // window must not go on showing the notes of the piece before.
    const auto piece = [](int rows) {
        QString text;
        for (int r = 0; r < rows; ++r) {
            text += test::Row(r == 0 ? "c" : "", "8", r % 2 == 0 ? "ceg" : "fac1");
        }
        return text;
    };
    for (const int rows : {50, 100, 1300}) {
        SCOPED_TRACE(rows);
        LoadPieceText(window->Table(), piece(30));
        Action("Rechne1")->trigger();
        ASSERT_TRUE(notation.isVisible()) << "30 rows are notated and shown";
        LoadPieceText(window->Table(), piece(rows));
        Action("Rechne1")->trigger();
        EXPECT_FALSE(notation.isVisible());
    }
    // Below 50 rows an edited chord is drawn anew.
    LoadPieceText(window->Table(), piece(30));
    Action("Rechne1")->trigger();
    const QImage first = picture.Image().copy();
    window->Table().SetCell(PieceTable::kChordColumn, 2, QStringLiteral("C1c2e2g2"));
    Action("Rechne1")->trigger();
    EXPECT_TRUE(notation.isVisible());
    EXPECT_NE(picture.Image(), first);
}

// The main window's menu bar on the screen, and its "Stop" item.
QRect MenuBarOnScreen(const MainWindow& window) {
    const QMenuBar* bar = window.menuBar();
    return QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size());
}

TEST_F(MainWindowHardening, TheNotationAndWaveformWindowsLeaveTheMenuBarFree) {
    // Both windows stay on top of the others; where the program puts them, the main window's
    // title bar and its menu bar with "Stop" stay free. A place the user chose is kept.
    picture.SetScreenSize(QSize(800, 600)); // the offscreen screen
    QString rows;
    for (int r = 0; r < 30; ++r) {
        rows += test::Row(r == 0 ? "c" : "", "8", r % 2 == 0 ? "ceg" : "fac1");
    }
    window->showMaximized();
    QCoreApplication::processEvents();
    LoadPieceText(window->Table(), rows);
    Action("Rechne1")->trigger();
    ASSERT_TRUE(notation.isVisible());
    const QRect bar = MenuBarOnScreen(*window);
    ASSERT_FALSE(bar.isEmpty());
    EXPECT_FALSE(notation.frameGeometry().intersects(bar))
        << notation.frameGeometry().y() << " " << bar.bottom();
    EXPECT_FALSE(notation.frameGeometry().intersects(window->frameGeometry().adjusted(
        0, 0, 0, window->frameGeometry().top() - window->frameGeometry().bottom())))
        << "the title bar";

    // Moved by the user onto the menu bar: it stays there after the next drawing.
    notation.move(40, 0);
    Action("Rechne1")->trigger();
    EXPECT_EQ(notation.pos(), QPoint(40, 0));

    // The waveform strip, with the main window lower on the screen, where the strip would lie.
    window->showNormal();
    window->setGeometry(0, 390, 800, 200);
    QCoreApplication::processEvents();
    LoadPieceText(window->Table(), test::Row("a", "8", "a1"));
    window->Spiele1Click();
    window->findChild<QAction*>(QStringLiteral("MZeichnen1"))->trigger();
    ASSERT_TRUE(notation.isVisible());
    const QRect lowBar = MenuBarOnScreen(*window);
    EXPECT_GE(lowBar.bottom(), 400) << "the strip's place is at y 400";
    EXPECT_FALSE(notation.frameGeometry().intersects(lowBar))
        << notation.frameGeometry().y() << " " << lowBar.bottom();
}

} // namespace
} // namespace zk
