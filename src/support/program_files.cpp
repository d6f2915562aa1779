// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/program_files.h"

#include "support/ansi_codec.h"
#include "support/errors.h"
#include "support/system_reason.h"
#include "support/text_helpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zk {

namespace {

// A piece or settings file larger than this is no file of the program's.
constexpr qint64 kMaxTextFileBytes = qint64{256} << 20;

QString NotRegularMessage(const QString& path, const QString& action) {
    return QStringLiteral("\"%1\" ist keine gewöhnliche Datei (ein Ordner, eine Pipe oder ein "
                          "Gerät) und wird nicht %2.")
        .arg(path, action);
}

QString SystemReason(int error) {
    return GermanReason(QString::fromLocal8Bit(std::strerror(error)));
}

// Closes the descriptor on every way out.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

QString WithSlash(const QString& dir) {
    return dir.endsWith(u'/') ? dir : dir + u'/';
}

QString ExecutableDir() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath();
    }
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
}

} // namespace

bool IsInstalledCopy(const QString& executableDir) {
    const QDir bin(executableDir);
    return bin.dirName() == QStringLiteral("bin") &&
           QFileInfo::exists(bin.filePath(QStringLiteral("../share/applications/%1.desktop")
                                              .arg(QLatin1String(kDesktopEntryId))));
}

QString ProgramDir() {
    return ProgramDirFor(qEnvironmentVariable("ZIRKELON_HOME"), ExecutableDir());
}

QString ProgramDirFor(const QString& zirkelonHome, const QString& executableDir) {
    if (!zirkelonHome.isEmpty()) {
        QDir().mkpath(zirkelonHome);
        return WithSlash(QDir(zirkelonHome).absolutePath());
    }
    if (!executableDir.isEmpty() && QFileInfo(executableDir).isWritable() &&
        !IsInstalledCopy(executableDir)) {
        return WithSlash(executableDir);
    }
    QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (data.isEmpty()) {
        data = QDir::homePath() + QStringLiteral("/.local/share/zirkelon");
    }
    QDir().mkpath(data);
    return WithSlash(data);
}

ProgramFolders ProgramFoldersFor(const QString& zirkelonHome, const QString& executableDir,
                                 const QString& configHome, const QString& cacheHome) {
    const QString data = ProgramDirFor(zirkelonHome, executableDir);
    // Only an installed copy run without $ZIRKELON_HOME follows the XDG folders.
    if (!zirkelonHome.isEmpty() || !IsInstalledCopy(executableDir) || configHome.isEmpty() ||
        cacheHome.isEmpty()) {
        return {data, data, data};
    }
    const QString name = QStringLiteral("zirkelon/");
    return {data, WithSlash(configHome) + name, WithSlash(cacheHome) + name};
}

namespace {

ProgramFolders CurrentFolders() {
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return ProgramFoldersFor(qEnvironmentVariable("ZIRKELON_HOME"), ExecutableDir(), config, cache);
}

// The folders of this run, created, the older files moved once per run. Asked for once per chord
// played, so the folders are made only when they are new to this run (the environment that
// names them can change, in the tests).
ProgramFolders ReadyFolders() {
    static std::mutex mutex;
    static std::optional<ProgramFolders> made;
    static bool moved = false;
    const ProgramFolders folders = CurrentFolders();
    const std::lock_guard lock(mutex);
    if (made != folders) {
        QDir().mkpath(folders.config);
        QDir().mkpath(folders.cache);
        made = folders;
    }
    if (!moved && folders.config != folders.data) {
        moved = true;
        MoveOlderFiles(folders);
    }
    return folders;
}

// Moves one file or folder unless something is at `to` already.
bool MoveIfFree(const QString& from, const QString& to) {
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink()) {
        return false;
    }
    QDir().mkpath(QFileInfo(to).absolutePath());
    if (QDir().rename(from, to)) {
        return true;
    }
    // Another file system: a file is copied and then removed; a folder's files one by one.
    if (QFileInfo(from).isDir()) {
        bool all = true;
        QDir().mkpath(to);
        const QDir source(from);
        for (const QString& entry :
             source.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
            all = MoveIfFree(source.filePath(entry), QDir(to).filePath(entry)) && all;
        }
        return all && QDir().rmdir(from);
    }
    return QFile::copy(from, to) && QFile::remove(from);
}

} // namespace

void KeepUserFoldersInZirkelonHome() {
    const QString home = qEnvironmentVariable("ZIRKELON_HOME");
    if (home.isEmpty()) {
        return;
    }
    const QString root = QDir(home).absolutePath();
    const std::pair<const char*, const char*> folders[] = {
        {"XDG_CONFIG_HOME", "/.config"},
        {"XDG_CACHE_HOME", "/.cache"},
        {"XDG_DATA_HOME", "/.local/share"},
    };
    for (const auto& [variable, folder] : folders) {
        qputenv(variable, (root + QLatin1String(folder)).toLocal8Bit());
    }
}

QString ConfigDir() {
    return ReadyFolders().config;
}

QString CacheDir() {
    return ReadyFolders().cache;
}

QStringList MoveOlderFiles(const ProgramFolders& folders) {
    QStringList moved;
    const QDir data(folders.data);
    if (folders.config == folders.data && folders.cache == folders.data) {
        return moved;
    }
    const auto move = [&](const QString& name, const QString& toFolder) {
        const QString from = data.filePath(name);
        const QFileInfo info(from);
        if ((info.isFile() || info.isDir()) && !info.isSymLink() &&
            MoveIfFree(from, QDir(toFolder).filePath(name))) {
            moved << name;
        }
    };
    for (const QString& name :
         data.entryList({QStringLiteral("zirkelon.ini"), QStringLiteral("zirkelon.in?")},
                        QDir::Files, QDir::Name)) {
        move(name, folders.config);
    }
    move(QStringLiteral("temp.wav"), folders.cache);
    // The chord cache is the folders inside "wav/"; the WAV files there are the user's.
    const QDir wav(data.filePath(QStringLiteral("wav")));
    for (const QString& name : wav.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        move(QStringLiteral("wav/") + name, folders.cache);
    }
    return moved;
}

std::optional<QString> ReadTextFile(const QString& path) {
    try {
        return DecodeFileText(ReadFileBytes(path, kMaxTextFileBytes));
    } catch (const FileError&) {
        return std::nullopt;
    }
}

QByteArray ReadFileBytes(const QString& path, qint64 maxBytes) {
    QByteArray bytes = ReadFileHead(path, maxBytes);
    if (bytes.size() > maxBytes) {
        throw FileError(QStringLiteral("Die Datei \"%1\" ist größer als %2 MiB; so große "
                                       "Dateien liest Zirkelon nicht.")
                            .arg(path)
                            .arg(maxBytes >> 20));
    }
    return bytes;
}

QByteArray ReadFileHead(const QString& path, qint64 maxBytes) {
    const auto cannotRead = [&path](const QString& reason) {
        return FileError(
            QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2").arg(path, reason));
    };
    // Without blocking: opening a pipe would wait for a writer, reading a device for its data.
    Descriptor file{::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        throw cannotRead(SystemReason(errno));
    }
    struct stat status {};
    if (::fstat(file.fd, &status) != 0) {
        throw cannotRead(SystemReason(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        throw FileError(NotRegularMessage(path, QStringLiteral("gelesen")));
    }
    QByteArray bytes;
    char buffer[1 << 16];
    while (bytes.size() <= maxBytes) {
        const auto wanted =
            static_cast<std::size_t>(std::min<qint64>(sizeof buffer, maxBytes + 1 - bytes.size()));
        const ssize_t n = ::read(file.fd, buffer, wanted);
        if (n == 0) {
            return bytes;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            // A kernel file that says it is regular and waits for data says "try again".
            throw cannotRead(errno == EAGAIN ? QStringLiteral("Die Datei liefert keine Daten, "
                                                              "sie wartet auf etwas anderes")
                                             : SystemReason(errno));
        }
        bytes.append(buffer, n);
    }
    return bytes;
}

void CheckWritableFile(const QString& path) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        throw FileError(NotRegularMessage(path, QStringLiteral("überschrieben")));
    }
}

QStringList SplitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < size && text.at(i + 1) == u'\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < size) {
        lines.append(text.mid(start));
    }
    return lines;
}

std::optional<QStringList> ReadTextLines(const QString& path) {
    const auto text = ReadTextFile(path);
    if (!text) {
        return std::nullopt;
    }
    return SplitLines(*text);
}

void WriteFileBytes(const QString& path, const QByteArray& bytes) {
    CheckWritableFile(path);
    QSaveFile file(path);
    const auto fail = [&](const QString& reason) {
        throw FileError(QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden: %2")
                            .arg(path, GermanReason(reason)));
    };
    if (!file.open(QIODevice::WriteOnly)) {
        fail(file.errorString());
    }
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        fail(reason);
    }
    if (!file.commit()) {
        fail(file.errorString());
    }
}

void WriteTextFile(const QString& path, const QString& text) {
    WriteFileBytes(path, EncodeFileText(text));
}

void WriteTextLines(const QString& path, const QStringList& lines) {
    QString text;
    for (const QString& line : lines) {
        text += line;
        text += QStringLiteral("\r\n");
    }
    WriteTextFile(path, text);
}

QString ReadLastFileName(const QString& iniPath) {
    const auto lines = ReadTextLines(iniPath);
    if (!lines) {
        return ProgramDir() + QStringLiteral("file1");
    }
    if (lines->isEmpty()) {
        return ProgramDir();
    }
    return Trim(lines->first());
}

QString LastFileNameOr(const QString& iniPath, const QString& firstName) {
    const QString name = ReadLastFileName(iniPath);
    return name.contains(QStringLiteral("file1")) ? firstName : name;
}

void WriteLastFileName(const QString& iniPath, const QString& fileName) {
    WriteTextLines(iniPath, {fileName});
}

} // namespace zk
