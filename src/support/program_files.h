// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The program's own folder and its plain text files (settings, histories, temperament list,
// piece files). Texts are Windows-1252 on disk unless a character does not fit (then UTF-8);
// lines end with CR LF when written, and CR LF, CR or LF when read.

namespace zk {

// Folder of the program's files, ending with "/": $ZIRKELON_HOME when set; otherwise the folder of
// the executable when it is writable and the program is not installed into the system (a portable
// copy, the build folder); otherwise the per-user application data folder
// (~/.local/share/zirkelon/). Created when missing.
QString ProgramDir();

// The same for a given $ZIRKELON_HOME (empty: unset) and executable folder.
QString ProgramDirFor(const QString& zirkelonHome, const QString& executableDir);

// Where the program keeps which of its files, each folder ending with "/". A portable copy and
// every run with $ZIRKELON_HOME keep all of them in ProgramDir(); an installed copy follows the
// XDG base directories: its lists, histories and remembered file names in
// $XDG_CONFIG_HOME/zirkelon/, the chord cache and "temp.wav" in $XDG_CACHE_HOME/zirkelon/, and
// the files the user saves by default (wav/, midi/) in ProgramDir() ($XDG_DATA_HOME/zirkelon/).
struct ProgramFolders {
    QString data;
    QString config;
    QString cache;
    bool operator==(const ProgramFolders&) const = default;
};

// The folders for a given $ZIRKELON_HOME, executable folder and the user's XDG config and cache
// folders (e.g. ~/.config, ~/.cache). Only the data folder is created, as by ProgramDirFor.
ProgramFolders ProgramFoldersFor(const QString& zirkelonHome, const QString& executableDir,
                                 const QString& configHome, const QString& cacheHome);

// The folder of the lists, histories and remembered file names ("zirkelon.ini", "zirkelon.in1"
// to "zirkelon.in5"). Created when missing; on an installed copy's first use, the files an older
// version kept in ProgramDir() are moved there (see MoveOlderFiles).
QString ConfigDir();

// The folder of the chord cache ("wav/…/") and "temp.wav". Created when missing; older files
// are moved there as for ConfigDir().
QString CacheDir();

// A run with $ZIRKELON_HOME writes nothing outside that folder: this process's XDG folders (where
// Qt keeps the file dialog's history and the libraries their caches, fontconfig's for one) are
// pointed below it, to ".config", ".cache" and ".local/share". Without $ZIRKELON_HOME nothing
// changes. Called first thing in main.
void KeepUserFoldersInZirkelonHome();

// Moves what an older version kept in `folders.data` to where it belongs now: the settings files
// into `folders.config`, "temp.wav" and the chord cache's folders (the folders inside "wav/")
// into `folders.cache`. The user's own files in "wav/" and everything else stay. A file that is
// already at its new place is not overwritten: the older one stays where it was, so nothing is
// lost. Returns the files moved. Nothing happens when the three folders are the same.
QStringList MoveOlderFiles(const ProgramFolders& folders);

// Whether the executable folder is the "bin" folder of an installation (its "share" folder holds
// the program's menu entry): such a copy never keeps its files beside the executable, also where
// it could write there (as root).
bool IsInstalledCopy(const QString& executableDir);

// The name of the program's menu entry (and of its icon) in an installation.
inline constexpr const char* kDesktopEntryId = "de.zirkelon.Zirkelon";

// The whole text of a file, or empty when it cannot be read or is no regular file (a pipe or a
// device would block the program or never end).
std::optional<QString> ReadTextFile(const QString& path);

// The bytes of a regular file of at most `maxBytes`. Throws FileError with a German message when it
// cannot be read, is no regular file or is larger. Nothing here ever waits: the file is opened
// without blocking, so a pipe, a device or a kernel file that waits for data (/proc/kmsg) is
// refused at once.
QByteArray ReadFileBytes(const QString& path, qint64 maxBytes);

// The same without the size message: at most `maxBytes` + 1 bytes, so that more than `maxBytes`
// tells the caller the file is too large (without reading all of it).
QByteArray ReadFileHead(const QString& path, qint64 maxBytes);

// Throws FileError unless `path` names a regular file or nothing: a folder, a pipe or a device is
// never written over (writing into a pipe waits for a reader; replacing it loses what it is).
void CheckWritableFile(const QString& path);

// The lines of a file; a line break at the very end does not start another line.
std::optional<QStringList> ReadTextLines(const QString& path);

// Splits a text into lines at CR LF, CR or LF.
QStringList SplitLines(const QString& text);

// Replaces the file by `bytes`, all or nothing. Throws FileError with a German message.
void WriteFileBytes(const QString& path, const QByteArray& bytes);

// Replaces the file by `text` in the program's encoding, all or nothing. Throws FileError.
void WriteTextFile(const QString& path, const QString& text);

// Replaces the file by the lines, each ended by CR LF, all or nothing. Throws FileError.
void WriteTextLines(const QString& path, const QStringList& lines);

// The remembered file name of a one-line settings file: its first line trimmed; ProgramDir() for an
// empty file; ProgramDir() + "file1" when the file cannot be read.
QString ReadLastFileName(const QString& iniPath);

// The name a file dialog starts with: the remembered one, or `firstName` while the settings file
// cannot be read (ReadLastFileName's "file1").
QString LastFileNameOr(const QString& iniPath, const QString& firstName);

// Replaces the settings file by one line holding `fileName`. Throws FileError.
void WriteLastFileName(const QString& iniPath, const QString& fileName);

} // namespace zk
