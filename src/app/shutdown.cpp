// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shutdown.h"

#include "app/window_metrics.h"
#include "support/errors.h"
#include "support/program_files.h"
#include "support/user_dialogs.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

namespace zk {

namespace {

void CollectInto(const QString& folder, QStringList& files) {
    const QDir dir(folder);
    const QFileInfoList entries = dir.entryInfoList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink()) {
            if (!entry.fileName().startsWith(u'.')) {
                CollectInto(entry.filePath(), files);
            }
        } else {
            files.append(entry.filePath());
        }
    }
}

} // namespace

QStringList CollectFiles(const QString& folder) {
    QStringList files;
    CollectInto(folder, files);
    files.sort();
    return files;
}

QString TempFilesPreview(const QStringList& files) {
    if (files.size() >= 25) {
        QString preview;
        for (qsizetype i = 0; i < 20; ++i) {
            preview += files.at(i) + u'\r';
        }
        return preview + QStringLiteral("...");
    }
    return files.join(u'\r');
}

void DeleteTempFiles(const QString& folder, UserDialogs& dialogs) {
    const QStringList files = CollectFiles(folder.trimmed());
    const QString preview = TempFilesPreview(files);
    if (preview.isEmpty()) {
        return;
    }
    if (!dialogs.AskYesNoTitled(
            QStringLiteral("Alle temporäte Dateien, die vom Programm angelegt wurden, löschen?"),
            QStringLiteral("Gelöscht werden ...\r") + preview)) {
        return;
    }
    for (const QString& file : files) {
        if (!file.trimmed().isEmpty() && QFile::exists(file)) {
            QFile::remove(file);
        }
    }
}

bool MayQuit(QWidget& mainWindow) {
    return !mainWindow.isVisible() || mainWindow.close();
}

QString DesktopStringValue(const QString& text) {
    // A desktop-entry string escapes the backslash and the line breaks.
    QString value = text;
    value.replace(u'\\', QStringLiteral("\\\\"));
    value.replace(u'\n', QStringLiteral("\\n"));
    value.replace(u'\r', QStringLiteral("\\r"));
    value.replace(u'\t', QStringLiteral("\\t"));
    return value;
}

QString DesktopExecArgument(const QString& path) {
    // Quoted for the launcher's command line ("\"", "`", "$" and "\\" escaped inside the quotes),
    // then written as a desktop-entry string, where a backslash is doubled once more and a
    // percent sign is a field code unless doubled.
    QString quoted;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += u'\\';
        }
        quoted += c;
    }
    quoted = u'"' + quoted + u'"';
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'%', QStringLiteral("%%"));
    return quoted;
}

bool CreateDesktopShortcut(const QString& desktopFolder, const QString& programPath,
                           const QString& iconFolder, UserDialogs& dialogs) {
    // An installed copy has its menu entry. A desktop folder that is missing is not made, and
    // one that is the home folder itself (where the desktop shows no files) gets nothing.
    if (IsInstalledCopy(QFileInfo(programPath).absolutePath()) || desktopFolder.isEmpty() ||
        !QFileInfo(desktopFolder).isDir() ||
        QFileInfo(desktopFolder).canonicalFilePath() ==
            QFileInfo(QDir::homePath()).canonicalFilePath()) {
        return false;
    }
    // The launcher shows the program's icon, kept beside the program's own files.
    const QString icon = QDir(iconFolder).filePath(QStringLiteral("zirkelon.png"));
    WriteFileBytes(icon, ProgramIconPng());
    const QString path = QDir(desktopFolder).filePath(QStringLiteral("Zirkelon.desktop"));
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Zirkelon\n"
                                         "Comment=Reine Stimmung hören und berechnen\n"
                                         "Exec=%1\n"
                                         "Icon=%2\n"
                                         "Path=/\n"
                                         "Terminal=false\n"
                                         "Categories=AudioVideo;Audio;Music;\n")
                              .arg(DesktopExecArgument(programPath), DesktopStringValue(icon));
    WriteFileBytes(path, entry.toUtf8());
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner |
                                    QFileDevice::ExeUser | QFileDevice::ExeGroup |
                                    QFileDevice::ExeOther);
    dialogs.ShowMessage(QStringLiteral("Es wurde eine Verknüpfung auf dem Desktop erstellt.\rDiese "
                                       "können Sie mit Klick auf die rechte Maustaste löschen."));
    return true;
}

} // namespace zk
