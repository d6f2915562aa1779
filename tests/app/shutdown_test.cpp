// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shutdown.h"
#include "app/start_window.h"
#include "app/window_metrics.h"
#include "common/qt_printers.h"
#include "common/scripted_dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace zk {
namespace {

// A cache folder with `count` chord files spread over two subfolders and a hidden one.
QString MakeCache(const QTemporaryDir& dir, int count) {
    const QString root = dir.filePath(QStringLiteral("wav"));
    for (int i = 0; i < count; ++i) {
        const QString folder = root + (i % 2 == 0 ? QStringLiteral("/r") : QStringLiteral("/s"));
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/%1.wav").arg(i, 3, 10, QLatin1Char('0')));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QDir().mkpath(root + QStringLiteral("/.versteckt"));
    QFile hidden(root + QStringLiteral("/.versteckt/nicht.wav"));
    EXPECT_TRUE(hidden.open(QIODevice::WriteOnly));
    return root;
}

TEST(DeleteTempFiles, PreviewListsAllOrTheFirstTwenty) {
    const std::tuple<int, int, bool> cases[] = {
        {24, 24, false}, // all names listed
        {25, 20, true},  // the first 20 and "..."
        {0, 0, false},   // nothing to ask
    };
    for (const auto& [count, listed, ellipsis] : cases) {
        QTemporaryDir dir;
        const QString root = MakeCache(dir, count);
        const QStringList files = CollectFiles(root);
        ASSERT_EQ(files.size(), count); // the hidden folder is not entered
        const QString preview = TempFilesPreview(files);
        EXPECT_EQ(preview.isEmpty() ? 0 : preview.count(u'\r') + (ellipsis ? 0 : 1), listed);
        EXPECT_EQ(preview.endsWith(QStringLiteral("...")), ellipsis);
    }
}

TEST(DeleteTempFiles, DeletesOnlyAfterYes) {
    QTemporaryDir dir;
    const QString root = MakeCache(dir, 3);
    test::ScriptedDialogs dialogs;
    dialogs.answers = {false};
    DeleteTempFiles(root, dialogs);
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].startsWith(QStringLiteral("Gelöscht werden ...\r")));
    EXPECT_EQ(dialogs.questionTitles[0],
              QStringLiteral("Alle temporäte Dateien, die vom Programm angelegt wurden, löschen?"));
    EXPECT_EQ(CollectFiles(root).size(), 3);
    dialogs.answers = {true};
    DeleteTempFiles(root, dialogs);
    EXPECT_TRUE(CollectFiles(root).isEmpty());
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/r")).isDir()); // folders stay
    EXPECT_TRUE(QFile::exists(root + QStringLiteral("/.versteckt/nicht.wav")));
    // A missing folder: no question at all.
    DeleteTempFiles(dir.filePath(QStringLiteral("fehlt")), dialogs);
    EXPECT_EQ(dialogs.questions.size(), 2);
}

TEST(CreateDesktopShortcut, WritesAnExecutableLauncherWithItsIconAndSaysSo) {
    QTemporaryDir dir;
    test::ScriptedDialogs dialogs;
    const QString desktop = dir.filePath(QStringLiteral("Schreibtisch"));
    const QString own = dir.filePath(QStringLiteral("zirkelon-portabel"));
    QDir().mkpath(desktop);
    QDir().mkpath(own);
    EXPECT_TRUE(
        CreateDesktopShortcut(desktop, QStringLiteral("/opt/zirkelon/zirkelon"), own, dialogs));
    QFile entry(desktop + QStringLiteral("/Zirkelon.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("Exec=\"/opt/zirkelon/zirkelon\"\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("Icon=%1/zirkelon.png\n").arg(own)));
    EXPECT_EQ(QImage(own + QStringLiteral("/zirkelon.png")).size(), QSize(256, 256));
    EXPECT_TRUE(entry.permissions() & QFileDevice::ExeOwner);
    EXPECT_EQ(dialogs.messages,
              QStringList{"Es wurde eine Verknüpfung auf dem Desktop erstellt.\rDiese können Sie "
                          "mit Klick auf die rechte Maustaste löschen."});
}

// No launcher, no message and no folder made: where the desktop folder is missing or is the
// home folder, and for an installed copy, which has its menu entry.
TEST(CreateDesktopShortcut, WritesNothingWhereNoLauncherBelongs) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("usr/bin")));
    QDir().mkpath(dir.filePath(QStringLiteral("usr/share/applications")));
    QFile menuEntry(
        dir.filePath(QStringLiteral("usr/share/applications/de.zirkelon.Zirkelon.desktop")));
    ASSERT_TRUE(menuEntry.open(QIODevice::WriteOnly));
    menuEntry.close();
    const QString desktop = dir.filePath(QStringLiteral("Schreibtisch"));
    QDir().mkpath(desktop);
    const QString portable = dir.filePath(QStringLiteral("portabel/zirkelon"));
    struct Case {
        const char* what;
        QString desktop;
        QString program;
    };
    const Case cases[] = {
        {"an installed copy", desktop, dir.filePath(QStringLiteral("usr/bin/zirkelon"))},
        {"no desktop folder", dir.filePath(QStringLiteral("kein Schreibtisch")), portable},
        {"no desktop folder known", QString(), portable},
        {"the home folder", QDir::homePath(), portable},
    };
    for (const Case& c : cases) {
        test::ScriptedDialogs dialogs;
        const QString icons = dir.filePath(QStringLiteral("bild"));
        const QString launcher = c.desktop + QStringLiteral("/Zirkelon.desktop");
        const bool there = QFileInfo::exists(launcher);
        EXPECT_FALSE(CreateDesktopShortcut(c.desktop, c.program, icons, dialogs)) << c.what;
        EXPECT_TRUE(dialogs.messages.isEmpty()) << c.what;
        EXPECT_EQ(QFileInfo::exists(launcher), there) << c.what;
        EXPECT_FALSE(QFileInfo::exists(icons)) << c.what;
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("kein Schreibtisch"))));
    EXPECT_FALSE(QFileInfo::exists(desktop + QStringLiteral("/Zirkelon.desktop")));
}

TEST(CreateDesktopShortcut, TheLauncherPassesTheDesktopsOwnCheck) {
    const QString validate =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validate.isEmpty())
        << "desktop-file-validate is missing: scripts/setup-debian.sh installs desktop-file-utils";
    // Paths with blanks and with the characters the launcher's command line treats specially.
    for (const char* program : {"/opt/zirkelon/zirkelon", "/home/anna/Meine Programme/zirkelon",
                                "/tmp/a$b`c\"d\\e%f/zirkelon"}) {
        QTemporaryDir dir;
        test::ScriptedDialogs dialogs;
        const QString icons = dir.filePath(QStringLiteral("a\\b c"));
        QDir().mkpath(icons);
        ASSERT_TRUE(CreateDesktopShortcut(dir.path(), QString::fromUtf8(program), icons, dialogs));
        QProcess check;
        check.start(validate, {dir.filePath(QStringLiteral("Zirkelon.desktop"))});
        ASSERT_TRUE(check.waitForFinished(10000));
        const QString report = QString::fromUtf8(check.readAllStandardOutput());
        EXPECT_EQ(check.exitCode(), 0) << program << ": " << report.toStdString();
        // Not even a hint (one main category).
        EXPECT_TRUE(report.trimmed().isEmpty()) << report.toStdString();
    }
}

TEST(ProgramIcon, EverySizeIsCompiledInAndMatchesTheInstalledFile) {
    EXPECT_FALSE(ProgramIcon().isNull());
    for (const int size : {48, 128, 256}) {
        const QImage own(QStringLiteral(":/icons/zirkelon-%1.png").arg(size));
        EXPECT_EQ(own.size(), QSize(size, size)) << size;
        // The window's own icon is the same picture the installation puts into the icon theme.
        const QImage installed(
            QStringLiteral(ZK_TEST_DATA_DIR "/../../data/icons/de.zirkelon.Zirkelon-%1.png")
                .arg(size));
        EXPECT_TRUE(own == installed) << size;
    }
}

TEST(DesktopExecArgument, QuotesAndEscapesThePath) {
    const std::pair<const char*, const char*> cases[] = {
        {"/opt/zirkelon", "\"/opt/zirkelon\""},
        {"/a b/c", "\"/a b/c\""},
        {"/a$b", "\"/a\\\\$b\""},     // $ escaped, the backslash doubled for the entry
        {"/a\"b", "\"/a\\\\\"b\""},   // a quote
        {"/a\\b", "\"/a\\\\\\\\b\""}, // a backslash: escaped, then doubled
        {"/50%", "\"/50%%\""},        // a percent sign is no field code
    };
    for (const auto& [path, argument] : cases) {
        EXPECT_EQ(DesktopExecArgument(QString::fromUtf8(path)), QString::fromUtf8(argument))
            << path;
    }
}

TEST(StartWindow, AboutTextUnfoldsInTwoSteps) {
    StartWindow start;
    EXPECT_EQ(start.objectName(), QStringLiteral("TFormstart"));
    // Heights are the window's, title bar included; the widget has the rest.
    const auto windowHeight = [&] { return start.height() + StartWindow::kFrameHeight; };
    EXPECT_EQ(windowHeight(), 124);
    auto* button = start.findChild<QPushButton*>(QStringLiteral("Button2"));
    const std::pair<int, const char*> steps[] = {
        {226, "letzte Änderung"}, {300, "zurück"}, {124, "über"}, {226, "letzte Änderung"}};
    for (const auto& [height, caption] : steps) {
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(windowHeight(), height);
        EXPECT_EQ(button->text(), QString::fromUtf8(caption));
    }
    EXPECT_TRUE(AboutText().contains(QStringLiteral("\nÄnderungen:\n")));
    QTest::mouseClick(button, Qt::LeftButton);
    start.grab().save(QStringLiteral(ZK_BINARY_DIR "/start_window.png"));
}

TEST(StartWindow, ButtonsSwitchWindowsAndEndTheProgram) {
    StartWindow start;
    int mains = 0, modulations = 0, quits = 0;
    start.showMainWindow = [&] { ++mains; };
    start.showModulationWindow = [&] { ++modulations; };
    start.quit = [&] { ++quits; };
    start.show();
    start.SpeedButton1Click();
    EXPECT_EQ(mains, 1);
    EXPECT_FALSE(start.isVisible());
    start.show();
    start.SpeedButton2Click();
    EXPECT_EQ(modulations, 1);
    start.show();
    QTest::mouseClick(start.findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
    EXPECT_EQ(quits, 1);
}

} // namespace
} // namespace zk
