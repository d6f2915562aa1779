// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace zk {

class UserDialogs;

// Every file below `folder`, recursively, sorted; folders whose names begin with "." are not
// entered. A missing folder gives an empty list.
QStringList CollectFiles(const QString& folder);

// The preview of a file list for the question before deleting: all names one per line, or for
// 25 names and more the first 20 followed by "...".
QString TempFilesPreview(const QStringList& files);

// Offers to delete the files the program wrote below `folder` (the chord cache); deletes them on
// "Ja". Folders stay; a file that cannot be deleted is skipped silently.
void DeleteTempFiles(const QString& folder, UserDialogs& dialogs);

// A program path as the Exec key of a desktop entry holds it: quoted, with its special characters
// escaped.
QString DesktopExecArgument(const QString& path);

// Whether the program may end now: an open main window is closed first, through its question
// about unsaved edits; when it stays open (the user saves instead), the program goes on.
bool MayQuit(QWidget& mainWindow);

// A text as the value of a desktop entry's string key holds it (backslash, line breaks escaped).
QString DesktopStringValue(const QString& text);

// On the first start of a portable copy: a launcher for the program in the user's desktop folder
// ("Zirkelon.desktop", executable) with the program's icon, written as "zirkelon.png" into
// `iconFolder`, and the message that says so. Nothing is written, and false returned, for an
// installed copy (it has its menu entry), for a desktop folder that does not exist (it is never
// made) and for one that is the home folder. Throws FileError when a file cannot be written.
bool CreateDesktopShortcut(const QString& desktopFolder, const QString& programPath,
                           const QString& iconFolder, UserDialogs& dialogs);

} // namespace zk
