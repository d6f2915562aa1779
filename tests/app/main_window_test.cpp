// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/drift_window.h"
#include "app/example_library.h"
#include "app/main_window.h"
#include "app/notation_window.h"
#include "app/piece_table_model.h"
#include "common/locale_guard.h"
#include "common/piece_rows.h"
#include "common/qt_printers.h"
#include "common/scripted_dialogs.h"
#include "common/warning_catcher.h"
#include "notation/notation_picture.h"
#include "piece/piece_text.h"
#include "sound/audio_output.h"
#include "sound/sound_player.h"
#include "support/program_files.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "window_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zk {
namespace {

using test::Row;

const QString kCadence =
    Row("c", "8", "ceg") + Row("", "8", "fac1") + Row("", "8", "ghd1") + Row("", "16", "ceg");

class MainWindowTest : public test::WindowTest {
protected:
    void Load(const QString& text) { LoadPieceText(window->Table(), text); }
    QString Cell(int column, int row) const { return window->Table().Cell(column, row); }
    QAction* ActionByText(const QString& text) const {
        for (QAction* action : window->findChildren<QAction*>()) {
            if (action->text() == text) {
                return action;
            }
        }
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return nullptr;
    }
    void Key(int key) { QTest::keyClick(window->Grid(), static_cast<Qt::Key>(key)); }
};

TEST_F(MainWindowTest, CreationDefaults) {
    EXPECT_EQ(window->objectName(), QStringLiteral("TForm1"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Zirkelon"));
    EXPECT_EQ(window->Table().RowCount(), 5);
    const std::pair<const char*, const char*> edits[] = {
        {"Eoberton1", "75"}, {"Eoberton2", "50"}, {"Eoberton3", "30"}, {"Eoberton4", "15"},
        {"Eoberton5", "10"}, {"Eoberton6", "5"},  {"Eviertel", "80"},  {"Ekammerton", "440"},
    };
    for (const auto& [name, text] : edits) {
        auto* edit = window->findChild<QLineEdit*>(QString::fromLatin1(name));
        ASSERT_NE(edit, nullptr) << name;
        EXPECT_EQ(edit->text(), QString::fromUtf8(text)) << name;
    }
    EXPECT_TRUE(window->findChild<QCheckBox*>(QStringLiteral("CBspeichern"))->isChecked());
    EXPECT_FALSE(window->findChild<QCheckBox*>(QStringLiteral("CBdauernd"))->isChecked());
    EXPECT_TRUE(Action("Ediermodus1")->isChecked());
    EXPECT_TRUE(QFile::exists(ProgramDir() + QStringLiteral("zirkelon.in3")));
}

TEST_F(MainWindowTest, RechneComputesAndSpielePlaysEveryRow) {
    Load(kCadence);
    Action("Rechne1")->trigger();
    EXPECT_EQ(Cell(3, 3), QStringLiteral("198 247,5 297 "));
    EXPECT_TRUE(audio.images.isEmpty());
    Action("Spiele1")->trigger();
    EXPECT_EQ(audio.images.size(), 4);
    EXPECT_EQ(sound.lastPiece().Records().size(), 4);
    QDir().mkpath(QStringLiteral(ZK_BINARY_DIR));
    window->resize(1100, 300);
    window->grab().save(QStringLiteral(ZK_BINARY_DIR "/main_window_cadence.png"));
    window->Table().SetDisplayMode(QStringLiteral("Frequenzv. Cent Bez. GG-H OQT"));
    Action("Rechne1")->trigger();
    EXPECT_TRUE(Cell(4, 1).startsWith(QStringLiteral("5/4 386,3 gT (110)[ 0 0 1]")));
    window->grab().save(QStringLiteral(ZK_BINARY_DIR "/main_window_cadence_all.png"));
}

TEST_F(MainWindowTest, KommadriftZeigenComputesSilentlyAndShowsTheDriftInItsOwnWindow) {
    // Three just fifths up from c: d is still c's whole tone 9/8, a lies a syntonic comma above
    // c's sixth 5/3 (27/16 against 5/3).
    Load(Row("c", "8", "ceg") + Row("g", "8", "gh1d1") + Row("d", "8", "df*a") +
         Row("a", "8", "ac*1e1"));
    Action("Kommadriftzeigen1")->trigger();
    EXPECT_EQ(Cell(3, 1), QStringLiteral("132 165 198 ")); // computed as "Rechne" computes
    EXPECT_TRUE(audio.images.isEmpty());
    DriftWindow* drift = window->DriftPictureWindow();
    ASSERT_NE(drift, nullptr);
    EXPECT_TRUE(drift->isVisible());
    EXPECT_TRUE(drift->isWindow());
    ASSERT_EQ(drift->Data().rows.size(), 4u);
    ASSERT_TRUE(drift->Data().rows[3].tonic.has_value());
    const double comma = 1200.0 * std::log2(81.0 / 80.0);
    EXPECT_NEAR(static_cast<double>(drift->Data().rows[2].tonic->drift), 0.0, 1e-9);
    EXPECT_NEAR(static_cast<double>(drift->Data().rows[3].tonic->drift), comma, 1e-9);
    // Again after a change: the same window shows the new drift.
    Load(Row("c", "8", "ceg"));
    Action("Kommadriftzeigen1")->trigger();
    EXPECT_EQ(window->DriftPictureWindow(), drift);
    EXPECT_EQ(drift->Data().rows.size(), 1u);
}

TEST_F(MainWindowTest, DoubleClickOnAChordPlaysThatRowOnly) {
    Load(kCadence);
    auto* model = window->Grid()->model();
    window->sgDblClick(model->index(PieceTableModel::GridRow(3), 2));
    EXPECT_EQ(audio.images.size(), 1);
    EXPECT_FALSE(Cell(3, 2).isEmpty());
    EXPECT_EQ(Cell(2, 3), QStringLiteral("ghd1")); // the mark is gone again
    // A double click on a key cell runs the key check instead.
    window->sgDblClick(model->index(PieceTableModel::GridRow(1), 0));
    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_TRUE(dialogs.messages.last().startsWith(QStringLiteral("Tragen Sie")));
    // Its scores are padded columns: shown in a fixed-width font.
    EXPECT_EQ(dialogs.columnMessages, QStringList{dialogs.messages.last()});
}

TEST_F(MainWindowTest, TheSoundingChordIsPaintedWhiteOnRed) {
    Load(kCadence);
    QImage during;
    audio.onPlay = [&](const QByteArray&) {
        if (during.isNull()) {
            window->resize(800, 300);
            during = window->Grid()->viewport()->grab().toImage();
            EXPECT_EQ(Cell(2, 1), QStringLiteral("ceg ->"));
        }
    };
    Action("Spiele1")->trigger();
    ASSERT_FALSE(during.isNull());
    // The chord cell of row 1: column 2 starts after 30 + 60 pixels; its first grid row.
    const QRect cell = window->Grid()->visualRect(window->Grid()->model()->index(0, 2));
    EXPECT_EQ(during.pixelColor(cell.right() - 2, cell.bottom() - 2), QColor(255, 0, 0));
}

TEST_F(MainWindowTest, GridKeysGrowTheTable) {
    QTableView* grid = window->Grid();
    auto* model = grid->model();
    window->show();
    grid->setFocus();
    // Down on a middle row adds nothing; on the last row exactly one row.
    grid->setCurrentIndex(model->index(1, 1));
    Key(Qt::Key_Down);
    EXPECT_EQ(window->Table().RowCount(), 5);
    grid->setCurrentIndex(model->index(3, 1));
    Key(Qt::Key_Down);
    EXPECT_EQ(window->Table().RowCount(), 6);
    // Enter moves right; on the last column of the last row it adds a row and goes to column 1.
    grid->setCurrentIndex(model->index(2, 2));
    Key(Qt::Key_Return);
    EXPECT_EQ(grid->currentIndex().column(), 3);
    grid->setCurrentIndex(model->index(model->rowCount() - 1, 4));
    Key(Qt::Key_Return);
    EXPECT_EQ(window->Table().RowCount(), 7);
    EXPECT_EQ(grid->currentIndex().row(), model->rowCount() - 1);
    EXPECT_EQ(grid->currentIndex().column(), 1);
    EXPECT_TRUE(window->PieceModified());
}

TEST_F(MainWindowTest, TypingAKeyRecomputesThePiece) {
    Load(kCadence);
    window->Grid()->model()->setData(window->Grid()->model()->index(0, 0), QStringLiteral("g"));
    // The piece is computed once the edit is over, from the event loop.
    QCoreApplication::processEvents();
    // In G major the f of "fac1" is the minor seventh of g (9/5), the a the large whole tone (9/8).
    EXPECT_EQ(Cell(3, 2), QStringLiteral("178,2 222,8 264 "));
    EXPECT_TRUE(audio.images.isEmpty());
}

using test::WarningCatcher;

TEST_F(MainWindowTest, KeysInAnOpenKeyCellEditorCommitCloseAndMove) {
    struct Case {
        Qt::Key key;
        int row;    // grid row the cursor lands on
        int column; // and its column
    };
    const Case cases[] = {
        {Qt::Key_Return, 0, 1}, // Enter: on to the duration column
        {Qt::Key_Down, 1, 0},   // Down: the key cell below
        {Qt::Key_Tab, 0, 1},    // Tab: the next cell
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        Load(kCadence);
        window->show();
        QTableView* grid = window->Grid();
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(0, 0));
        const WarningCatcher catcher;
        // The first letter opens the cell's editor; the second key reaches that editor.
        QTest::keyClick(grid, Qt::Key_D);
        QWidget* editor = grid->indexWidget(grid->model()->index(0, 0));
        ASSERT_NE(editor, nullptr);
        QTest::keyClick(editor, c.key);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(Cell(0, 1), QStringLiteral("d"));
        EXPECT_EQ(grid->currentIndex().row(), c.row);
        EXPECT_EQ(grid->currentIndex().column(), c.column);
        // Computed in D major, where "ceg" takes the c of d's scale.
        EXPECT_FALSE(Cell(3, 1).isEmpty());
        EXPECT_NE(Cell(3, 1), QStringLiteral("132 165 198 "));
        for (const QString& warning : WarningCatcher::Warnings()) {
            EXPECT_FALSE(warning.contains(QStringLiteral("editor"))) << warning.toStdString();
        }
        EXPECT_TRUE(audio.images.isEmpty());
    }
}

TEST_F(MainWindowTest, TheNotesComeUpWithoutTakingTheKeyboard) {
    Load(kCadence);
    window->show();
    notation.PutAwayAndHide();
    picture.SetTag(NotationPicture::kTagDrawn); // hidden, but allowed to come back
    QTableView* grid = window->Grid();
    grid->setCurrentIndex(grid->model()->index(0, 0));
    QTest::keyClick(grid, Qt::Key_D);
    QCoreApplication::processEvents();
    // The window manager honours these; the offscreen platform activates every window it shows,
    // so that typing goes on in the table is seen by hand under a window manager.
    EXPECT_TRUE(notation.isVisible());
    EXPECT_TRUE(notation.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(notation.windowFlags() & Qt::WindowDoesNotAcceptFocus);
}

TEST_F(MainWindowTest, AllesLoeschenLeavesTwoRows) {
    Load(kCadence);
    Action("Alleslschen1")->trigger();
    EXPECT_EQ(window->Table().RowCount(), 2);
    EXPECT_EQ(Cell(2, 1), QString());
}

TEST_F(MainWindowTest, EditingTheTableAsText) {
    Load(kCadence);
    // OK with a changed text that still begins with "TA": the table follows it.
    dialogs.textAnswers.append(
        {false, true, QStringLiteral("TA   D    Akkord\r\nd    4    dfa\r\n")});
    Action("Edieren1")->trigger();
    ASSERT_EQ(dialogs.textDialogs.size(), 1);
    EXPECT_EQ(dialogs.textDialogs[0].caption,
              QStringLiteral("In der ersten Zeile \"TA\" nicht verändern!"));
    EXPECT_TRUE(dialogs.textDialogs[0].text.startsWith(QStringLiteral("TA   D    Akkord")));
    EXPECT_EQ(dialogs.textDialogs[0].mode, TextDialogMode::OkPrint);
    EXPECT_EQ(Cell(2, 1), QStringLiteral("dfa"));
    // A text whose first line was changed is dropped; so is a cancelled dialog.
    dialogs.textAnswers.append({false, true, QStringLiteral("XX\r\nc    8    c\r\n")});
    dialogs.textAnswers.append({true, false, QStringLiteral("TA\r\nc    8    c\r\n")});
    Action("Edieren1")->trigger();
    Action("Edieren1")->trigger();
    EXPECT_EQ(Cell(2, 1), QStringLiteral("dfa"));
}

TEST_F(MainWindowTest, SaveAndOpenPieceFiles) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kadenz.txt"));
    Load(kCadence);
    // The first save proposes "Neues Stück" in the program folder.
    dialogs.fileAnswers.append(path);
    Action("Speichern1")->trigger();
    EXPECT_EQ(dialogs.fileDialogs.last(),
              QDir(ProgramDir()).absolutePath() + QStringLiteral("|Neues Stück"));
    EXPECT_FALSE(window->PieceModified());
    EXPECT_EQ(ReadLastFileName(ProgramDir() + QStringLiteral("zirkelon.ini")), path);
    // Cancelled dialogs say so.
    Action("Speichern1")->trigger();
    Action("ffnen1")->trigger();
    EXPECT_EQ(dialogs.messages.mid(dialogs.messages.size() - 2),
              (QStringList{"Nicht gespeichert", "Abbruch!"}));
    // Open brings back table and timbre.
    Action("Alleslschen1")->trigger();
    window->findChild<QLineEdit*>(QStringLiteral("Eoberton1"))->setText(QStringLiteral("1"));
    dialogs.fileAnswers.append(path);
    Action("ffnen1")->trigger();
    EXPECT_EQ(Cell(2, 2), QStringLiteral("fac1"));
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("Eoberton1"))->text(),
              QStringLiteral("75"));
}

TEST_F(MainWindowTest, ErrorsAreReportedAndTheProgramGoesOn) {
    Load(kCadence);
    // A tempo of 0 ends the pass before the first row with a message.
    window->findChild<QLineEdit*>(QStringLiteral("Eviertel"))->setText(QStringLiteral("0"));
    Action("Spiele1")->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("Division durch Null")));
    EXPECT_TRUE(audio.images.isEmpty());
    // A disk that refuses the write: the message names the file, the table stays.
    dialogs.fileAnswers.append(QStringLiteral("/proc/zirkelon/stueck.txt"));
    Action("Speichern1")->trigger();
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[1].contains(QStringLiteral("/proc/zirkelon/stueck.txt")));
    EXPECT_EQ(Cell(2, 1), QStringLiteral("ceg"));
}

TEST_F(MainWindowTest, DisplayModesDecimalsAndClickModes) {
    Load(Row("c", "8", "ceg"));
    for (QAction* action : window->findChildren<QAction*>()) {
        if (action->text() == QStringLiteral("Intervalle")) {
            action->trigger();
        }
    }
    EXPECT_EQ(window->Table().DisplayMode(), QStringLiteral("Intervalle"));
    EXPECT_EQ(Cell(4, 1), QStringLiteral("gT Q "));
    Action("Genauer1")->trigger();
    EXPECT_EQ(window->Settings().decimals, 2);
    EXPECT_TRUE(Action("Genauer1")->isChecked());
    Action("KlickaufAkkordltihnertnen1")->trigger();
    EXPECT_FALSE(window->EditMode());
    EXPECT_FALSE(Action("Ediermodus1")->isChecked());
    // A single click now sounds the chord.
    window->sgClick(window->Grid()->model()->index(0, 2));
    EXPECT_EQ(audio.images.size(), 1);
    Action("Ediermodus1")->trigger();
    EXPECT_TRUE(window->EditMode());
    EXPECT_TRUE(dialogs.messages.last().startsWith(QStringLiteral("Im Ediermodus")));
}

TEST_F(MainWindowTest, StopEndsPlayingBetweenRows) {
    Load(kCadence);
    window->findChild<QCheckBox*>(QStringLiteral("CBdauernd"))->setChecked(true);
    audio.onPlay = [&](const QByteArray&) {
        if (audio.images.size() == 2) {
            Action("Stop1")->trigger();
        }
    };
    Action("Spiele1")->trigger();
    EXPECT_EQ(audio.images.size(), 2);
    EXPECT_FALSE(window->findChild<QCheckBox*>(QStringLiteral("CBdauernd"))->isChecked());
}

TEST_F(MainWindowTest, ADisplayModeChosenWhilePlayingStopsAndRecomputesEveryRow) {
    Load(kCadence);
    audio.onPlay = [&](const QByteArray&) {
        if (audio.images.size() == 1) {
            ActionByText(QStringLiteral("Intervalle"))->trigger();
        }
    };
    Action("Spiele1")->trigger();
    // The chord that sounded was the last; every row shows the new mode, none the old one.
    EXPECT_EQ(audio.images.size(), 1);
    EXPECT_EQ(window->Table().DisplayMode(), QStringLiteral("Intervalle"));
    for (int row = 1; row <= 4; ++row) {
        EXPECT_EQ(Cell(4, row), QStringLiteral("gT Q ")) << row;
    }
}

TEST_F(MainWindowTest, StopEverythingEndsARepeatingPassAndCutsTheSound) {
    Load(kCadence);
    window->findChild<QCheckBox*>(QStringLiteral("CBdauernd"))->setChecked(true);
    audio.onPlay = [&](const QByteArray&) {
        if (audio.images.size() == 6) {
            window->StopEverything();
        }
    };
    Action("Spiele1")->trigger(); // returns: the repetition has ended
    EXPECT_EQ(audio.images.size(), 6);
    EXPECT_GE(audio.stops, 1);
    EXPECT_TRUE(window->Settings().onlyCompute);
    EXPECT_FALSE(window->findChild<QCheckBox*>(QStringLiteral("CBdauernd"))->isChecked());
    // The same for the whole piece played as one sound, over and over.
    window->findChild<QCheckBox*>(QStringLiteral("CBdauernd"))->setChecked(true);
    window->Settings().onlyCompute = false;
    const int before = static_cast<int>(audio.images.size());
    audio.onPlay = [&](const QByteArray&) {
        if (audio.images.size() == before + 3) {
            window->StopEverything();
        }
    };
    Action("SpieledasletzteStcklzusammenhngend1")->trigger();
    EXPECT_EQ(audio.images.size(), before + 3);
}

TEST_F(MainWindowTest, ARequestWhilePlayingWaitsForTheRunningPass) {
    Load(kCadence);
    int passes = 0;
    audio.onPlay = [&](const QByteArray&) {
        ++passes;
        if (passes == 1) {
            // "Spiele" again while the first chord sounds: the running pass stops, then the
            // piece plays once more from the start.
            Action("Spiele1")->trigger();
        }
    };
    Action("Spiele1")->trigger();
    EXPECT_EQ(audio.images.size(), 1 + 4);
    // "Stop" cancels a waiting pass that would sound.
    audio.images.clear();
    passes = 0;
    audio.onPlay = [&](const QByteArray&) {
        if (++passes == 1) {
            Action("Spiele1")->trigger();
            Action("Stop1")->trigger();
        }
    };
    Action("Spiele1")->trigger();
    EXPECT_EQ(audio.images.size(), 1);
}

TEST_F(MainWindowTest, TheLastPieceIsSavedAsAMidiFileAndItsNameRemembered) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kadenz.mid"));
    // Nothing played yet: the program says so before it asks for a name, and writes nothing.
    Action("SpeicheredasletzteStckalsMidiDatei1")->trigger();
    EXPECT_TRUE(dialogs.fileDialogs.isEmpty());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_FALSE(QFile::exists(path));
    // After playing, the chords are written; the dialog then proposes that file.
    Load(kCadence);
    Action("Spiele1")->trigger();
    dialogs.fileAnswers.append(path);
    Action("SpeicheredasletzteStckalsMidiDatei1")->trigger();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    EXPECT_EQ(dialogs.fileDialogs.last(),
              QDir(ProgramDir()).absoluteFilePath(QStringLiteral("midi")) +
                  QStringLiteral("|midi1.mid"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("MThd"));
    EXPECT_EQ(ReadLastFileName(ProgramDir() + QStringLiteral("zirkelon.in5")), path);
    Action("SpeicheredasletzteStckalsMidiDatei1")->trigger(); // cancelled: nothing changes
    EXPECT_EQ(dialogs.fileDialogs.last(), dir.path() + QStringLiteral("|kadenz.mid"));
    EXPECT_EQ(dialogs.messages.size(), 1);
}

// The MIDI track and the proposed Scala file carry the name of the piece in the table: the file
// it was opened from or saved to, or the example loaded last.
TEST_F(MainWindowTest, ExportedFilesAreNamedAfterThePieceTheyHold) {
    QTemporaryDir dir;
    const QString midiPath = dir.filePath(QStringLiteral("x.mid"));
    // The MIDI file holds the piece played last, the Scala file a row of the table.
    const auto exportedNames = [&](bool playFirst = true) {
        if (playFirst) {
            window->Settings().onlyCompute = false;
            Action("Spiele1")->trigger();
        }
        dialogs.fileAnswers.append(midiPath);
        Action("SpeicheredasletzteStckalsMidiDatei1")->trigger();
        QFile file(midiPath);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        // The track name event: FF 03, its length, the name.
        const qsizetype at = bytes.indexOf(QByteArray("\xff\x03", 2));
        const QString track =
            at < 0
                ? QString()
                : QString::fromLatin1(bytes.mid(at + 3, static_cast<unsigned char>(bytes[at + 2])));
        dialogs.fileAnswers.append(std::nullopt); // the Scala file's dialog, cancelled
        window->SavePieceRowAsScala(1);
        return std::pair(track, dialogs.fileDialogs.last().section(u'|', 1));
    };

    const QString bach = dir.filePath(QStringLiteral("bach.txt"));
    Load(kCadence);
    dialogs.fileAnswers.append(bach);
    Action("Speichern1")->trigger();
    EXPECT_EQ(exportedNames(), std::pair(u"bach"_qs, u"bach-zeile1.scl"_qs));

    // An example that only loads its piece: the last piece played is still bach's.
    window->RunExampleEntry(*FindExample(QStringLiteral("Kadenz c-moll")));
    EXPECT_EQ(exportedNames(false), std::pair(u"bach"_qs, u"Kadenz c-moll-zeile1.scl"_qs));

    window->RunExampleEntry(*FindExample(QStringLiteral("Kadenz C-Dur")));
    EXPECT_EQ(exportedNames(), std::pair(u"Kadenz C-Dur"_qs, u"Kadenz C-Dur-zeile1.scl"_qs));

    dialogs.fileAnswers.append(bach);
    Action("ffnen1")->trigger();
    EXPECT_EQ(exportedNames(), std::pair(u"bach"_qs, u"bach-zeile1.scl"_qs));

    // A help item loads no piece and leaves the name alone; "Alles löschen" forgets it.
    dialogs.textAnswers.append({false, true, QString()});
    ActionByText(QStringLiteral("Anleitung"))->trigger();
    EXPECT_EQ(exportedNames().first, u"bach"_qs);
    // A tone of the frequency tools comes from no piece.
    dialogs.promptAnswers = {QStringLiteral("528")};
    Action("Ton1")->trigger();
    EXPECT_EQ(exportedNames(false), std::pair(u"Zirkelon"_qs, u"bach-zeile1.scl"_qs));
    Action("Alleslschen1")->trigger();
    Load(kCadence);
    EXPECT_EQ(exportedNames(), std::pair(u"Zirkelon"_qs, u"Zirkelon-zeile1.scl"_qs));
}

TEST_F(MainWindowTest, TemperamentListIsEditedAfterAQuestion) {
    dialogs.textAnswers.append({false, true, QStringLiteral("mz Test 5\r\n")});
    dialogs.answers.append(true);
    ActionByText(QStringLiteral("mitteltönig"))->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1);
    // 14 lines; the tenth ends with CR CR LF before the line break.
    EXPECT_EQ(dialogs.messages[0].split(u'\r').size(), 16);
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("rückgängig.\r\r\n\rZirkelon")));
    EXPECT_EQ(dialogs.textDialogs[0].caption, QStringLiteral("Mitteltönige Stimmungen"));
    EXPECT_EQ(
        dialogs.questions[0],
        QStringLiteral("Änderungen übernehmen\r(wird in Datei \"zirkelon.in3\" gespeichert)"));
    EXPECT_EQ(window->Temperaments().FindTemperamentRow(QStringLiteral("mz")), QStringLiteral("5"));
    EXPECT_EQ(ReadTextLines(ProgramDir() + QStringLiteral("zirkelon.in3"))->first(),
              QStringLiteral("mz Test 5"));
}

TEST_F(MainWindowTest, TimbreBoxesFollowTheirStateMachine) {
    window->show();
    auto* rechteck = window->findChild<QCheckBox*>(QStringLiteral("CBRechteck"));
    auto* edit = window->findChild<QLineEdit*>(QStringLiteral("Eoberton1"));
    const std::tuple<bool, const char*, bool> cycle[] = {
        {true, "Rechteck", false}, // square: the overtone edits go away
        {true, "Sägezahn", false}, // sawtooth
        {false, "Sägezahn", true}, // off again, the edits come back; the caption stays
    };
    for (const auto& [checked, caption, editsVisible] : cycle) {
        QTest::mouseClick(rechteck, Qt::LeftButton, {}, QPoint(5, rechteck->height() / 2));
        EXPECT_EQ(rechteck->isChecked(), checked) << caption;
        EXPECT_EQ(rechteck->text(), QString::fromUtf8(caption));
        EXPECT_EQ(edit->isVisible(), editsVisible) << caption;
    }
    EXPECT_EQ(sound.timbre().Mode(), TimbreMode::Obertoene);
    QTest::mouseClick(window->findChild<QCheckBox*>(QStringLiteral("CBSinus")), Qt::LeftButton, {},
                      QPoint(5, 5));
    EXPECT_EQ(sound.timbre().Mode(), TimbreMode::Sinus);
    // A second click on "Sinus" takes the sine away again.
    QTest::mouseClick(window->findChild<QCheckBox*>(QStringLiteral("CBSinus")), Qt::LeftButton, {},
                      QPoint(5, 5));
    EXPECT_FALSE(window->findChild<QCheckBox*>(QStringLiteral("CBSinus"))->isChecked());
    QTest::mouseClick(window->findChild<QCheckBox*>(QStringLiteral("CBSinus")), Qt::LeftButton, {},
                      QPoint(5, 5));
    EXPECT_EQ(sound.timbre().Mode(), TimbreMode::Sinus);
    // Leaving an overtone edit re-reads all six and ends the sine.
    edit->setText(QStringLiteral("100"));
    emit edit->editingFinished();
    EXPECT_EQ(sound.timbre().Mode(), TimbreMode::Obertoene);
    EXPECT_EQ(sound.timbre().overtoneTexts[0], QStringLiteral("100"));
}

TEST_F(MainWindowTest, TheTimbreBoxesShowWhatSounds) {
    Load(Row("c", "8", "a"));
    window->show();
    auto* sinus = window->findChild<QCheckBox*>(QStringLiteral("CBSinus"));
    QTest::mouseClick(sinus, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(sinus->isChecked());
    Action("Spiele1")->trigger();
    // Playing read the spectrum (all zero: a sine) and ended the sine setting, in the timbre and
    // on the screen alike.
    EXPECT_FALSE(sinus->isChecked());
    EXPECT_EQ(sound.timbre().Mode(), TimbreMode::Obertoene);
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("Eoberton1"))->text(),
              QStringLiteral("0"));
    // One click brings the sine back.
    QTest::mouseClick(sinus, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(sinus->isChecked());
    EXPECT_EQ(sound.timbre().Mode(), TimbreMode::Sinus);
    auto* orgel = window->findChild<QCheckBox*>(QStringLiteral("CBorgel"));
    QTest::mouseClick(orgel, Qt::LeftButton, {}, QPoint(5, 5));
    Action("Spiele1")->trigger();
    EXPECT_FALSE(orgel->isChecked());
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("Eoberton1"))->text(),
              QStringLiteral("75"));
}

TEST_F(MainWindowTest, HidingTheOvertoneEditsLeavesTheOtherControlsInPlace) {
    window->show();
    auto* rechteck = window->findChild<QCheckBox*>(QStringLiteral("CBRechteck"));
    auto* sinus = window->findChild<QCheckBox*>(QStringLiteral("CBSinus"));
    const QPoint rechteckAt = rechteck->pos();
    const QPoint sinusAt = sinus->pos();
    QTest::mouseClick(rechteck, Qt::LeftButton, {}, QPoint(5, rechteck->height() / 2));
    QCoreApplication::processEvents();
    ASSERT_FALSE(window->findChild<QLineEdit*>(QStringLiteral("Eoberton1"))->isVisible());
    EXPECT_EQ(rechteck->pos(), rechteckAt);
    EXPECT_EQ(sinus->pos(), sinusAt);
    // A second click on the same spot still hits "Rechteck" (now "Sägezahn").
    QTest::mouseClick(rechteck, Qt::LeftButton, {}, QPoint(5, rechteck->height() / 2));
    EXPECT_EQ(rechteck->text(), QStringLiteral("Sägezahn"));
}

TEST_F(MainWindowTest, TheIntervalColumnFitsTheViewSoTheKeyColumnStaysInSight) {
    Load(kCadence);
    window->show();
    QCoreApplication::processEvents();
    QTableView* grid = window->Grid();
    grid->setCurrentIndex(grid->model()->index(0, 4));
    QCoreApplication::processEvents();
    const QRect key = grid->visualRect(grid->model()->index(0, 0));
    EXPECT_EQ(key.left(), 0);
    const QRect intervals = grid->visualRect(grid->model()->index(0, 4));
    EXPECT_LE(intervals.right(), grid->viewport()->width());
}

TEST_F(MainWindowTest, CloseQueryGuardsUnsavedEdits) {
    int startShown = 0;
    bool modulationVisible = false;
    window->showStartWindow = [&] { ++startShown; };
    window->modulationWindowVisible = [&] { return modulationVisible; };
    // No edits: no question, the start window comes back.
    window->show();
    EXPECT_TRUE(window->close());
    EXPECT_EQ(startShown, 1);
    EXPECT_TRUE(dialogs.textDialogs.isEmpty());
    // Edits and "Abbrechen": the window stays and the save dialog opens instead.
    window->show();
    window->SetPieceModified(true);
    dialogs.textAnswers.append({true, false, QString()});
    EXPECT_FALSE(window->close());
    ASSERT_EQ(dialogs.textDialogs.size(), 1);
    EXPECT_EQ(dialogs.textDialogs[0].caption, QStringLiteral("Beenden"));
    EXPECT_EQ(dialogs.fileDialogs.size(), 1);
    EXPECT_EQ(startShown, 1) << "the start window came back while the main window stays";
    // Edits and OK: closed without saving. With the modulation window open the start window
    // stays away.
    modulationVisible = true;
    dialogs.textAnswers.append({false, true, QString()});
    EXPECT_TRUE(window->close());
    EXPECT_EQ(startShown, 1);
    // Without it, the start window comes back.
    modulationVisible = false;
    window->show();
    dialogs.textAnswers.append({false, true, QString()});
    EXPECT_TRUE(window->close());
    EXPECT_EQ(startShown, 2);
}

TEST_F(MainWindowTest, BeendenOffersToDeleteTheCacheAndCloses) {
    Load(kCadence);
    Action("Spiele1")->trigger(); // fills the chord cache
    dialogs.answers = {false};
    window->show();
    Action("Beenden1")->trigger();
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].startsWith(QStringLiteral("Gelöscht werden ...")));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->Settings().onlyCompute);
}

TEST_F(MainWindowTest, FirstStartCreatesTheShortcutOnce) {
    int shortcuts = 0;
    QFile::remove(ProgramDir() + QStringLiteral("zirkelon.in3"));
    MainWindow first(sound, notation, dialogs, [&] { ++shortcuts; });
    MainWindow second(sound, notation, dialogs, [&] { ++shortcuts; });
    EXPECT_EQ(shortcuts, 1);
    EXPECT_TRUE(first.FirstStart());
    EXPECT_FALSE(second.FirstStart());
}

TEST_F(MainWindowTest, HistoriesAreKeptAcrossRestarts) {
    window->ToneHistory() = {QStringLiteral("440"), QStringLiteral("528")};
    window.reset();
    window = std::make_unique<MainWindow>(sound, notation, dialogs);
    EXPECT_EQ(window->ToneHistory(), (QStringList{"440", "528"}));
}

} // namespace
} // namespace zk
