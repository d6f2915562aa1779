// SPDX-License-Identifier: GPL-3.0-or-later
// "Datei|Öffnen" with MusicXML scores: the table, tempo and title they bring, the report, and
// the question before unsaved edits are replaced.
#include "app/main_window.h"
#include "common/piece_rows.h"
#include "piece/piece_file.h"
#include "piece/piece_text.h"
#include "support/program_files.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include "window_fixture.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

const QString kChorale =
    QStringLiteral(ZK_TEST_DATA_DIR "/exchange/musicxml/chorales/zwei-systeme.mxl");
const QString kMicrotones =
    QStringLiteral(ZK_TEST_DATA_DIR "/exchange/musicxml/suite/01d-Pitches-Microtones.xml");

class MainWindowScoreTest : public test::WindowTest {
protected:
    // The program folder is shared by the tests of one process: the file opened last is not
    // left for the next test's dialogs.
    void TearDown() override { QFile::remove(LastPieceFileIni()); }

    QString Cell(int column, int row) const { return window->Table().Cell(column, row); }
    QString Tempo() const {
        return window->findChild<QLineEdit*>(QStringLiteral("Eviertel"))->text();
    }
    void Open(const QString& path) {
        dialogs.fileAnswers.append(path);
        Action("ffnen1")->trigger();
    }
};

TEST_F(MainWindowScoreTest, OpeningAScoreSetsTableTempoAndTitle) {
    Open(kChorale);
    EXPECT_EQ(window->Table().RowCount(), 33); // 31 rows, the header and one empty row
    EXPECT_EQ(Cell(PieceTable::kKeyColumn, 1), QStringLiteral("g"));
    EXPECT_EQ(Cell(PieceTable::kDurationColumn, 1), QStringLiteral("8"));
    EXPECT_EQ(Cell(PieceTable::kChordColumn, 1), QStringLiteral("ghhd"));
    EXPECT_TRUE(Cell(PieceTable::kKeyColumn, 2).isEmpty());
    // Quarter = 66 as the field counts it.
    EXPECT_EQ(Tempo(), QStringLiteral("165"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Morgenchoral in G-Dur – Zirkelon"));
    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_TRUE(dialogs.messages.last().startsWith(
        QStringLiteral("zwei-systeme.mxl: 4 Stimmen, 31 Zeilen\rTitel: Morgenchoral in G-Dur")))
        << dialogs.messages.last().toStdString();
    // The table is not saved anywhere yet; saving proposes a piece file beside the score.
    EXPECT_TRUE(window->PieceModified());
    EXPECT_EQ(ReadLastFileName(LastPieceFileIni()),
              QFileInfo(kChorale).dir().filePath(QStringLiteral("zwei-systeme.txt")));

    // The imported table computes like any other.
    Action("Rechne1")->trigger();
    EXPECT_EQ(Cell(PieceTable::kFrequencyColumn, 1), QStringLiteral("198 247,5 495 594 "));
}

TEST_F(MainWindowScoreTest, UnsavedEditsAreOnlyReplacedWhenTheUserLetsThemGo) {
    LoadPieceText(window->Table(), test::Row("c", "8", "ceg"));
    window->SetPieceModified(true);
    dialogs.answers.append(false); // "Abbrechen": keep the edits
    Open(kChorale);
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(
        dialogs.questions.last().startsWith(QStringLiteral("Eingabe noch nicht gespeichert!")));
    EXPECT_TRUE(dialogs.fileDialogs.isEmpty()) << "no file dialog after Abbrechen";
    EXPECT_EQ(Cell(PieceTable::kChordColumn, 1), QStringLiteral("ceg"));
    dialogs.fileAnswers.clear();

    dialogs.answers.append(true); // "OK": let them go
    Open(kChorale);
    EXPECT_EQ(Cell(PieceTable::kChordColumn, 1), QStringLiteral("ghhd"));
}

TEST_F(MainWindowScoreTest, AScoreThatCannotBeReadLeavesEverythingAsItWas) {
    LoadPieceText(window->Table(), test::Row("c", "8", "ceg"));
    Open(kMicrotones);
    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_TRUE(dialogs.messages.last().contains(QStringLiteral("Mikroton")))
        << dialogs.messages.last().toStdString();
    EXPECT_EQ(Cell(PieceTable::kChordColumn, 1), QStringLiteral("ceg"));
    EXPECT_EQ(Tempo(), QStringLiteral("80"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Zirkelon"));
}

TEST_F(MainWindowScoreTest, APieceFileOpenedAfterwardsIsTheSavedState) {
    QTemporaryDir dir;
    const QString piece = dir.filePath(QStringLiteral("kadenz.txt"));
    WriteTextFile(piece,
                  TimbreLine({QStringLiteral("75"), QStringLiteral("50"), QStringLiteral("30"),
                              QStringLiteral("15"), QStringLiteral("10"), QStringLiteral("5")}) +
                      QStringLiteral("\r\n") + test::Row("c", "8", "ceg"));
    Open(kChorale);
    dialogs.answers.append(true); // the imported table is let go
    Open(piece);
    EXPECT_EQ(Cell(PieceTable::kChordColumn, 1), QStringLiteral("ceg"));
    EXPECT_FALSE(window->PieceModified());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("kadenz – Zirkelon"));
}

} // namespace
} // namespace zk
