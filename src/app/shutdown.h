#pragma once

#include <QString>
#include <QStringList>

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

// On the first start: a launcher for the program on the user's desktop ("Zirkelon.desktop",
// executable), and the message that says so. Throws FileError when it cannot be written.
void CreateDesktopShortcut(const QString& desktopFolder, const QString& programPath,
                           UserDialogs& dialogs);

} // namespace zk
