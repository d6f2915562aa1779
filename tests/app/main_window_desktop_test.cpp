// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as a desktop program: the standard keys, "Speichern unter…", the user guide
// and a file handed over on the command line.
#include "app/main_window.h"
#include "app/piece_grid.h"
#include "app/piece_table_model.h"
#include "app/shutdown.h"
#include "common/piece_rows.h"
#include "common/recording_printer.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "support/program_files.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include "window_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace zk {
namespace {

using test::Row;

class MainWindowDesktopTest : public test::WindowTest {
protected:
    QCheckBox* Dauernd() const {
        return window->findChild<QCheckBox*>(QStringLiteral("CBdauernd"));
    }
    PieceGrid* Grid() const { return window->findChild<PieceGrid*>(); }

    // The window shown and active, as the keys need it.
    void ShowActive() {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    QTemporaryDir dir;
};

// Each key does what its menu item does, shown beside it.
TEST_F(MainWindowDesktopTest, TheStandardKeysCarryOutTheirMenuItems) {
    test::RecordingPrinter printer;
    window->SetPrinter(&printer);
    QStringList shown;
    window->builtGuide = dir.filePath(QStringLiteral("benutzerhandbuch.html"));
    QFile(window->builtGuide).open(QIODevice::WriteOnly);
    window->showFile = [&shown](const QString& path, const std::function<void()>&) {
        shown << path;
    };
    struct Case {
        const char* keys;
        const char* item;
        std::function<bool()> done;
    };
    const Case cases[] = {
        {"Ctrl+O", "ffnen1", [&] { return dialogs.messages.endsWith(QStringLiteral("Abbruch!")); }},
        {"Ctrl+S", "Speichern1",
         [&] { return dialogs.messages.endsWith(QStringLiteral("Nicht gespeichert")); }},
        {"Ctrl+Shift+S", "SpeichernUnter1",
         [&] {
             return dialogs.fileDialogs.size() == 1 &&
                    dialogs.fileDialogs.last().endsWith(QStringLiteral("|Neues Stück"));
         }},
        {"Ctrl+P", "Seiteauswerfen1", [&] { return !printer.jobs.isEmpty(); }},
        {"F1", "Benutzerhandbuch1", [&] { return shown == QStringList{window->builtGuide}; }},
        {"F5", "Spiele1", [&] { return !audio.images.isEmpty(); }},
        {"Esc", "Stop1", [&] { return !Dauernd()->isChecked(); }},
        {"Ctrl+Q", "Beenden1", [&] { return !window->isVisible(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        dialogs.messages.clear();
        dialogs.fileDialogs.clear();
        LoadPieceText(window->Table(), Row("c", "8", "ceg"));
        window->SetPieceModified(false);
        Dauernd()->setChecked(c.keys == std::string("Esc"));
        ShowActive();
        QAction* item = Action(c.item);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->shortcut(), QKeySequence(QString::fromLatin1(c.keys)));
        EXPECT_FALSE(c.done());
        QTest::keySequence(window.get(), QKeySequence(QString::fromLatin1(c.keys)));
        EXPECT_TRUE(c.done());
    }
}

// Esc in a cell editor puts the cell back and is no "Stop"; with no editor open it stops.
TEST_F(MainWindowDesktopTest, EscEndsTheEditingOfACellBeforeItStops) {
    LoadPieceText(window->Table(), Row("c", "8", "ceg"));
    ShowActive();
    Dauernd()->setChecked(true);
    PieceGrid* grid = Grid();
    const QModelIndex chord =
        grid->model()->index(PieceTableModel::GridRow(1), PieceTable::kChordColumn);
    grid->setCurrentIndex(chord);
    grid->setFocus();
    static_cast<QAbstractItemView*>(grid)->edit(chord);
    ASSERT_TRUE(grid->IsEditing());
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    // Typed, so that every key reaches the table as it does by hand.
    QTest::keyClicks(editor, QStringLiteral("dfa"));
    EXPECT_EQ(window->Table().Cell(PieceTable::kChordColumn, 1), QStringLiteral("dfa"));
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_EQ(window->Table().Cell(PieceTable::kChordColumn, 1), QStringLiteral("ceg"));
    EXPECT_TRUE(Dauernd()->isChecked()) << "Esc in the editor was taken for Stop";
    QTest::keyClick(grid, Qt::Key_Escape);
    EXPECT_FALSE(Dauernd()->isChecked());
}

// While a sound plays, the input gate asks the window which input is "Stop".
TEST_F(MainWindowDesktopTest, EscIsStopForThePlaybackGateUnlessACellIsEdited) {
    LoadPieceText(window->Table(), Row("c", "8", "ceg"));
    ShowActive();
    const QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    const QKeyEvent shiftEsc(QEvent::KeyPress, Qt::Key_Escape, Qt::ShiftModifier);
    const QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QWidget elsewhere;
    EXPECT_TRUE(window->IsStopClick(window->windowHandle(), esc));
    EXPECT_TRUE(window->IsStopClick(Grid(), esc));
    EXPECT_FALSE(window->IsStopClick(&elsewhere, esc)) << "a key for another window";
    EXPECT_FALSE(window->IsStopClick(window->windowHandle(), shiftEsc));
    EXPECT_FALSE(window->IsStopClick(window->windowHandle(), other));
    const QModelIndex chord =
        Grid()->model()->index(PieceTableModel::GridRow(1), PieceTable::kChordColumn);
    Grid()->setCurrentIndex(chord);
    static_cast<QAbstractItemView*>(Grid())->edit(chord);
    ASSERT_TRUE(Grid()->IsEditing());
    EXPECT_FALSE(window->IsStopClick(window->windowHandle(), esc));
}

TEST_F(MainWindowDesktopTest, SaveAsProposesTheNameInTheFolderOfTheLastPiece) {
    QFile::remove(ConfigDir() + QStringLiteral("zirkelon.ini")); // no piece saved or opened yet
    LoadPieceText(window->Table(), Row("c", "8", "ceg"));
    const QString first = dir.filePath(QStringLiteral("kadenz.txt"));
    const QString copy = dir.filePath(QStringLiteral("kadenz zwei"));
    // A piece without a name: "Neues Stück" in the program's folder.
    dialogs.fileAnswers.append(first);
    Action("SpeichernUnter1")->trigger();
    EXPECT_EQ(dialogs.fileDialogs.last(),
              QDir(ProgramDir()).absolutePath() + QStringLiteral("|Neues Stück"));
    // Once saved, the piece's own name in the folder it was saved in.
    dialogs.fileAnswers.append(copy);
    Action("SpeichernUnter1")->trigger();
    EXPECT_EQ(dialogs.fileDialogs.last(), dir.path() + QStringLiteral("|kadenz"));
    EXPECT_TRUE(QFile::exists(first));
    EXPECT_TRUE(QFile::exists(copy));
    EXPECT_FALSE(window->PieceModified());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("kadenz zwei – Zirkelon"));
    // Cancelled: nothing saved, and it says so.
    Action("SpeichernUnter1")->trigger();
    EXPECT_EQ(dialogs.messages.last(), QStringLiteral("Nicht gespeichert"));
}

TEST_F(MainWindowDesktopTest, TheUserGuideIsShownOrItsAbsenceSaid) {
    const QString built = dir.filePath(QStringLiteral("gebaut.html"));
    const QString installed = dir.filePath(QStringLiteral("installiert.html"));
    window->builtGuide = built;
    window->installedGuide = installed;
    QStringList shown;
    bool viewerStarts = true;
    window->showFile = [&](const QString& path, const std::function<void()>& failed) {
        shown << path;
        if (!viewerStarts) {
            failed();
        }
    };
    // The build folder's copy is no installed one: the guide it made serves, else the installed.
    QFile(installed).open(QIODevice::WriteOnly);
    Action("Benutzerhandbuch1")->trigger();
    EXPECT_EQ(shown, QStringList{installed});
    QFile(built).open(QIODevice::WriteOnly);
    Action("Benutzerhandbuch1")->trigger();
    EXPECT_EQ(shown.last(), built);
    viewerStarts = false;
    Action("Benutzerhandbuch1")->trigger();
    EXPECT_TRUE(dialogs.messages.last().contains(QStringLiteral("ließ sich nicht anzeigen")));
    QFile::remove(built);
    QFile::remove(installed);
    const int asked = static_cast<int>(shown.size());
    Action("Benutzerhandbuch1")->trigger();
    EXPECT_EQ(shown.size(), asked) << "no viewer for a guide that is not there";
    EXPECT_EQ(dialogs.messages.last(),
              QStringLiteral("Das Benutzerhandbuch ist nicht zu finden (\"%1\").").arg(installed));
}

// "zirkelon DATEI": the file opens as with "Öffnen", a relative name from the current folder.
TEST_F(MainWindowDesktopTest, AFileFromTheCommandLineOpensInTheWindow) {
    const QString path = dir.filePath(QStringLiteral("lied"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("TA   D    Akkord\r\nf    8    fac1\r\n");
    file.close();
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    window->OpenFromCommandLine(QStringLiteral("lied"));
    QDir::setCurrent(before);
    EXPECT_EQ(window->Table().Cell(PieceTable::kChordColumn, 1), QStringLiteral("fac1"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("lied – Zirkelon"));
    EXPECT_EQ(ReadLastFileName(ConfigDir() + QStringLiteral("zirkelon.ini")), path);
    // A file that is not there: a German message, the table as it was.
    window->OpenFromCommandLine(dir.filePath(QStringLiteral("fehlt.txt")));
    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_TRUE(dialogs.messages.last().contains(QStringLiteral("fehlt.txt")));
    EXPECT_EQ(window->Table().Cell(PieceTable::kChordColumn, 1), QStringLiteral("fac1"));
}

} // namespace
} // namespace zk

namespace zk {
namespace {

// Unsaved edits are never lost by ending the program from the start window: the main window's
// question comes first, and while the main window stays open the start window stays away.
TEST_F(MainWindowDesktopTest, QuittingAsksAboutUnsavedEditsFirst) {
    int startShown = 0;
    window->showStartWindow = [&startShown] { ++startShown; };
    LoadPieceText(window->Table(), Row("c", "8", "ceg"));
    window->SetPieceModified(true);
    window->show();
    // "Abbrechen": save instead, and the save dialog is cancelled too.
    dialogs.textAnswers.append({true, false, QString()});
    EXPECT_FALSE(MayQuit(*window));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(startShown, 0);
    EXPECT_EQ(dialogs.messages.last(), QStringLiteral("Nicht gespeichert"));
    // "Ok": the edits are given up, the window closes, the program may end.
    dialogs.textAnswers.append({false, true, QString()});
    EXPECT_TRUE(MayQuit(*window));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(startShown, 1);
    // Nothing open: nothing to ask.
    const int asked = static_cast<int>(dialogs.textDialogs.size());
    EXPECT_TRUE(MayQuit(*window));
    EXPECT_EQ(dialogs.textDialogs.size(), asked);
}

} // namespace
} // namespace zk
