// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/drift_window.h"
#include "common/piece_rows.h"
#include "common/scripted_dialogs.h"
#include "engine/key_scale.h"
#include "notation/drift_picture.h"
#include "piece/compute_pass.h"
#include "piece/computed_drift.h"
#include "piece/piece_file.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "support/program_files.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace zk {
namespace {

using test::Row;

DriftData DriftOf(const QString& rows) {
    return test::DriftOfRows(rows);
}

// c, g, d, a: a key node at every fifth.
const QString kFifths =
    Row("c", "8", "c") + Row("g", "8", "g") + Row("d", "8", "d") + Row("a", "8", "a");
// Only c: one key node.
const QString kOneKey = Row("c", "8", "ceg") + Row("", "8", "c");

class DriftWindowTest : public ::testing::Test {
protected:
    DriftWindowTest() : window(dialogs, DriftOf(kFifths)) {
        window.resize(900, 500);
        window.show();
        QApplication::processEvents();
    }

    QWidget* View() const { return window.findChild<QWidget*>(QStringLiteral("DriftView")); }

    // The colour at the centre of a lattice place in the picture as shown.
    QColor NodeColour(const LatticePoint& point) const {
        const QImage& picture = window.Picture();
        const DriftLayout layout = DriftLayoutFor(picture.size());
        const DriftLatticeGeometry g =
            DriftLatticeGeometryFor(window.Data(), layout.lattice, layout.fontPixels);
        const QPointF c = g.Centre(point);
        return picture.pixelColor(static_cast<int>(std::lround(c.x())),
                                  static_cast<int>(std::lround(c.y())));
    }

    test::ScriptedDialogs dialogs;
    DriftWindow window;
    QTemporaryDir dir;
};

TEST_F(DriftWindowTest, ShowsThePictureAtItsSizeAndFollowsAResize) {
    EXPECT_TRUE(window.isWindow());
    EXPECT_EQ(window.windowTitle(), u"Kommadrift"_qs);
    ASSERT_NE(View(), nullptr);
    const QSize sizes[] = {QSize(900, 500), QSize(640, 420), QSize(1300, 700)};
    for (const QSize& size : sizes) {
        window.resize(size);
        QApplication::processEvents();
        EXPECT_EQ(window.Picture().size(), View()->size()) << size.width();
        EXPECT_LE(View()->width(), size.width());
        // the keys' nodes where the geometry of this size puts them
        EXPECT_EQ(NodeColour({0, 0}), kDriftTonicColour) << size.width();
        EXPECT_EQ(NodeColour({3, 0}), kDriftTonicColour) << size.width();
    }
    // The picture the window grabs is the picture drawn.
    const QImage grabbed = View()->grab().toImage();
    EXPECT_EQ(grabbed.pixelColor(grabbed.width() / 2, 2),
              window.Picture().pixelColor(window.Picture().width() / 2, 2));
}

TEST_F(DriftWindowTest, NewDataIsDrawnAtOnce) {
    // where the node of a stands before
    const DriftLayout layout = DriftLayoutFor(window.Picture().size());
    const QPointF a =
        DriftLatticeGeometryFor(window.Data(), layout.lattice, layout.fontPixels).Centre({3, 0});
    const QPoint at(static_cast<int>(std::lround(a.x())), static_cast<int>(std::lround(a.y())));
    ASSERT_EQ(window.Picture().pixelColor(at), kDriftTonicColour);
    window.SetData(DriftOf(kOneKey));
    EXPECT_NE(window.Picture().pixelColor(at), kDriftTonicColour);
    EXPECT_EQ(window.Data().rows.size(), 2U);
    // one key, in the middle of the lattice; the place of a, three fifths away, is gone
    EXPECT_EQ(NodeColour({0, 0}), kDriftTonicColour);
    const DriftLatticePaths paths = DriftLatticePathsOf(window.Data());
    EXPECT_EQ(paths.keyPath.size(), 1U);
    EXPECT_EQ(window.Picture().size(), View()->size());
}

TEST_F(DriftWindowTest, SavesThePictureAsShown) {
    const QString path = dir.filePath(u"drift.png"_qs);
    dialogs.fileAnswers = {path};
    window.SaveAction()->trigger();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    EXPECT_TRUE(dialogs.fileDialogs[0].endsWith(u"|kommadrift.png"_qs))
        << dialogs.fileDialogs[0].toStdString();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    const QImage saved(path);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), window.Picture().size());
    EXPECT_EQ(saved.pixelColor(10, 10), window.Picture().pixelColor(10, 10));
    // The next time the dialog proposes the file saved last, in its folder.
    dialogs.fileAnswers = {std::nullopt};
    window.SaveAction()->trigger();
    EXPECT_EQ(dialogs.fileDialogs.at(1), dir.path() + u"|drift.png"_qs);
    EXPECT_EQ(window.SaveAction()->text(), u"Als Bild speichern…"_qs);
}

TEST_F(DriftWindowTest, TheFirstPictureIsProposedWhereThePiecesAre) {
    // As "Speichern" begins in the folder of the last piece file, so does the first picture.
    WriteLastFileName(LastPieceFileIni(), dir.filePath(u"choral.txt"_qs));
    dialogs.fileAnswers = {std::nullopt};
    window.SaveAction()->trigger();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    EXPECT_EQ(dialogs.fileDialogs[0], dir.path() + u"|kommadrift.png"_qs);
}

TEST_F(DriftWindowTest, ANameWithoutSuffixIsSavedAsPng) {
    // The file is a PNG picture; a name typed without ".png" gets it, one with a suffix keeps it.
    dialogs.fileAnswers = {dir.filePath(u"drift"_qs), dir.filePath(u"drift.bild"_qs)};
    window.SaveAsPicture();
    EXPECT_FALSE(QImage(dir.filePath(u"drift.png"_qs)).isNull());
    EXPECT_FALSE(QFile::exists(dir.filePath(u"drift"_qs)));
    window.SaveAsPicture();
    EXPECT_TRUE(QFile::exists(dir.filePath(u"drift.bild"_qs)));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(DriftWindowTest, CancelOrAFileThatCannotBeWrittenLeavesEverythingAlone) {
    const QString path = dir.filePath(u"drift.png"_qs);
    QFile earlier(path);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier");
    earlier.close();
    // cancelled: no file, no message
    window.SaveAsPicture();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    // a folder that does not exist
    const QString nowhere = dir.filePath(u"fehlt/drift.png"_qs);
    dialogs.fileAnswers = {nowhere};
    window.SaveAsPicture();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0],
              u"Das Bild kann nicht in die Datei \"%1\" geschrieben werden."_qs.arg(nowhere));
    EXPECT_FALSE(QFile::exists(nowhere));
    // the earlier file is untouched by all of it
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("earlier"));
}

// The save dialog belongs to the main window: when it closes, the window manager brings the main
// window forward. The picture the user was saving must come back in front of it.
TEST_F(DriftWindowTest, ThePictureComesBackInFrontAfterTheSaveDialog) {
    QWidget mainWindow;
    mainWindow.resize(1000, 700);
    struct Dialogs : test::ScriptedDialogs {
        QWidget* owner = nullptr;
        std::optional<QString> AskSaveFileName(const QString& folder, const QString& name,
                                               const QString& filter) override {
            owner->show();
            owner->raise();
            owner->activateWindow();
            QApplication::processEvents();
            return ScriptedDialogs::AskSaveFileName(folder, name, filter);
        }
    } ownDialogs;
    ownDialogs.owner = &mainWindow;
    DriftWindow drift(ownDialogs, DriftOf(kFifths));
    drift.show();
    QApplication::processEvents();
    const QString path = dir.filePath(u"vorn.png"_qs);
    const struct {
        std::optional<QString> answer;
    } cases[] = {{path}, {std::nullopt}, {dir.filePath(u"fehlt/x.png"_qs)}};
    for (const auto& c : cases) {
        ownDialogs.fileAnswers = {c.answer};
        drift.SaveAsPicture();
        QApplication::processEvents();
        EXPECT_EQ(QApplication::activeWindow(), &drift) << c.answer.value_or(u"-"_qs).toStdString();
    }
}

TEST(DriftWindow, EmptyDataAndATinyWindowDrawWithoutFault) {
    test::ScriptedDialogs dialogs;
    DriftWindow window(dialogs, DriftData{});
    window.resize(10, 10);
    window.show();
    QApplication::processEvents();
    EXPECT_GE(window.Picture().width(), kDriftMinimumSize.width());
    EXPECT_GE(window.Picture().height(), kDriftMinimumSize.height());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

} // namespace
} // namespace zk
