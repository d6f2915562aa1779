// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/errors.h"
#include "support/program_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>

namespace zk {
namespace {

class ProgramFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_previousHome = qgetenv("ZIRKELON_HOME");
        qputenv("ZIRKELON_HOME", m_dir.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("ZIRKELON_HOME", m_previousHome); }

    QString Path(const QString& name) const { return m_dir.filePath(name); }

    QByteArray Bytes(const QString& name) const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void WriteBytes(const QString& name, const QByteArray& bytes) const {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir m_dir;
    QByteArray m_previousHome;
};

TEST_F(ProgramFiles, ProgramDirFollowsZirkelonHome) {
    EXPECT_EQ(ProgramDir(), QDir(m_dir.path()).absolutePath() + u'/');
    const QString nested = Path(QStringLiteral("neu/tiefer"));
    qputenv("ZIRKELON_HOME", nested.toLocal8Bit());
    EXPECT_EQ(ProgramDir(), nested + u'/');
    EXPECT_TRUE(QFileInfo(nested).isDir()); // created when missing
}

TEST_F(ProgramFiles, AnInstalledCopyKeepsItsFilesInTheUsersDataFolder) {
    // A portable copy (or the build folder) keeps its files beside the executable; a copy in the
    // "bin" folder of an installation, whose "share" folder holds the menu entry, in the user's
    // data folder, even where it could write beside the executable (as root it always can).
    const QString portable = Path(QStringLiteral("zirkelon-portabel"));
    const QString prefix = Path(QStringLiteral("usr"));
    QDir().mkpath(portable);
    QDir().mkpath(prefix + QStringLiteral("/bin"));
    QDir().mkpath(prefix + QStringLiteral("/share/applications"));
    QFile entry(prefix + QStringLiteral("/share/applications/de.zirkelon.Zirkelon.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.close();
    const QString userData =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u'/';
    const std::pair<QString, QString> cases[] = {
        {portable, portable + u'/'},
        {prefix + QStringLiteral("/bin"), userData},
        {Path(QStringLiteral("fehlt/bin")), userData}, // not writable (missing)
    };
    for (const auto& [exeDir, expected] : cases) {
        EXPECT_EQ(ProgramDirFor(QString(), exeDir), expected) << exeDir.toStdString();
        // $ZIRKELON_HOME wins over everything.
        EXPECT_EQ(ProgramDirFor(Path(QStringLiteral("heim")), exeDir),
                  Path(QStringLiteral("heim")) + u'/');
    }
    EXPECT_TRUE(IsInstalledCopy(prefix + QStringLiteral("/bin")));
    EXPECT_FALSE(IsInstalledCopy(portable));
}

// An installed copy follows the XDG base directories; a portable copy, a copy that cannot write
// beside itself and every run with $ZIRKELON_HOME keep everything in one folder.
TEST_F(ProgramFiles, TheFoldersOfEachKindOfCopy) {
    const QString prefix = Path(QStringLiteral("usr"));
    QDir().mkpath(prefix + QStringLiteral("/bin"));
    QDir().mkpath(prefix + QStringLiteral("/share/applications"));
    QFile entry(prefix + QStringLiteral("/share/applications/de.zirkelon.Zirkelon.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.close();
    const QString portable = Path(QStringLiteral("portabel"));
    QDir().mkpath(portable);
    const QString installed = prefix + QStringLiteral("/bin");
    const QString config = Path(QStringLiteral("konfig"));
    const QString cache = Path(QStringLiteral("zwischen"));
    const QString userData =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u'/';
    const QString home = Path(QStringLiteral("heim")) + u'/';
    struct Case {
        const char* what;
        QString zirkelonHome;
        QString executableDir;
        ProgramFolders folders;
    };
    const Case cases[] = {
        {"installed", {}, installed, {userData, config + "/zirkelon/", cache + "/zirkelon/"}},
        {"installed, with ZIRKELON_HOME", home, installed, {home, home, home}},
        {"portable", {}, portable, {portable + u'/', portable + u'/', portable + u'/'}},
        {"portable, with ZIRKELON_HOME", home, portable, {home, home, home}},
        {"not writable", {}, Path(QStringLiteral("fehlt")), {userData, userData, userData}},
    };
    for (const Case& c : cases) {
        const ProgramFolders folders =
            ProgramFoldersFor(c.zirkelonHome, c.executableDir, config, cache);
        EXPECT_EQ(folders.data, c.folders.data) << c.what;
        EXPECT_EQ(folders.config, c.folders.config) << c.what;
        EXPECT_EQ(folders.cache, c.folders.cache) << c.what;
    }
    // With ZIRKELON_HOME (as here) the folders of the running program are that one.
    EXPECT_EQ(ConfigDir(), ProgramDir());
    EXPECT_EQ(CacheDir(), ProgramDir());
}

// With ZIRKELON_HOME the libraries' own settings and caches stay below it too.
TEST_F(ProgramFiles, ZirkelonHomeHoldsTheXdgFoldersToo) {
    const char* variables[] = {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"};
    QList<QByteArray> before;
    for (const char* variable : variables) {
        before << qgetenv(variable);
    }
    qputenv("XDG_CONFIG_HOME", "/anderswo/.config");
    KeepUserFoldersInZirkelonHome();
    const QString root = QDir(m_dir.path()).absolutePath();
    EXPECT_EQ(qEnvironmentVariable("XDG_CONFIG_HOME"), root + QStringLiteral("/.config"));
    EXPECT_EQ(qEnvironmentVariable("XDG_CACHE_HOME"), root + QStringLiteral("/.cache"));
    EXPECT_EQ(qEnvironmentVariable("XDG_DATA_HOME"), root + QStringLiteral("/.local/share"));
    // Without it, nothing changes.
    qputenv("ZIRKELON_HOME", QByteArray());
    qputenv("XDG_CONFIG_HOME", "/anderswo/.config");
    KeepUserFoldersInZirkelonHome();
    EXPECT_EQ(qgetenv("XDG_CONFIG_HOME"), QByteArray("/anderswo/.config"));
    for (int i = 0; i < 3; ++i) {
        if (before[i].isNull()) {
            qunsetenv(variables[i]);
        } else {
            qputenv(variables[i], before[i]);
        }
    }
}

// What an older version left in the data folder goes to the config and cache folders once,
// without overwriting anything and without touching the user's own files.
TEST_F(ProgramFiles, OlderFilesMoveToTheirFoldersWithNothingLost) {
    const ProgramFolders folders{Path(QStringLiteral("daten/")), Path(QStringLiteral("konfig/")),
                                 Path(QStringLiteral("zwischen/"))};
    const auto put = [](const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(fehlt)");
    };
    put(folders.data + "zirkelon.ini", "/home/anna/kadenz.txt\r\n");
    put(folders.data + "zirkelon.in3", "alte Liste");
    put(folders.data + "zirkelon.in4", "alt");
    put(folders.config + "zirkelon.in4", "neu"); // already there: stays, and so does the old one
    put(folders.data + "temp.wav", "RIFF");
    put(folders.data + "wav/8o75o50/c264.wav", "Akkord");
    put(folders.data + "wav/wav1.wav", "meine Aufnahme");
    put(folders.data + "midi/midi1.mid", "MThd");
    put(folders.data + "kadenz.txt", "ein Stück");

    const QStringList moved = MoveOlderFiles(folders);
    EXPECT_EQ(moved, (QStringList{"zirkelon.in3", "zirkelon.ini", "temp.wav", "wav/8o75o50"}));
    EXPECT_EQ(read(folders.config + "zirkelon.ini"), "/home/anna/kadenz.txt\r\n");
    EXPECT_EQ(read(folders.config + "zirkelon.in3"), "alte Liste");
    EXPECT_EQ(read(folders.config + "zirkelon.in4"), "neu");
    EXPECT_EQ(read(folders.data + "zirkelon.in4"), "alt");
    EXPECT_EQ(read(folders.cache + "temp.wav"), "RIFF");
    EXPECT_EQ(read(folders.cache + "wav/8o75o50/c264.wav"), "Akkord");
    for (const char* stays : {"wav/wav1.wav", "midi/midi1.mid", "kadenz.txt"}) {
        EXPECT_TRUE(QFile::exists(folders.data + stays)) << stays;
    }
    for (const char* gone : {"zirkelon.ini", "zirkelon.in3", "temp.wav", "wav/8o75o50"}) {
        EXPECT_FALSE(QFileInfo::exists(folders.data + gone)) << gone;
    }
    // A second start finds nothing more to move; one folder for all moves nothing at all.
    EXPECT_EQ(MoveOlderFiles(folders), QStringList{});
    put(folders.data + "zirkelon.in1", "Verlauf");
    EXPECT_TRUE(MoveOlderFiles({folders.data, folders.data, folders.data}).isEmpty());
    EXPECT_TRUE(QFile::exists(folders.data + "zirkelon.in1"));
}

TEST_F(ProgramFiles, LinesEndWithCrLfAndAreReadAfterAnyLineEnd) {
    WriteTextLines(Path(QStringLiteral("a.txt")), {QStringLiteral("eins"), QStringLiteral("zwei")});
    EXPECT_EQ(Bytes(QStringLiteral("a.txt")), QByteArray("eins\r\nzwei\r\n"));

    const std::pair<const char*, QStringList> cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},     // CR LF, final break starts no line
        {"a\nb", {"a", "b"}},           // LF, no final break
        {"a\rb\r", {"a", "b"}},         // CR
        {"a\r\n\r\nb", {"a", "", "b"}}, // an empty line in between
        {"\r\n", {""}},                 // one empty line
        {"", {}},                       // no line at all
        {"a\n\rb", {"a", "", "b"}},     // LF then CR are two breaks
    };
    for (const auto& [bytes, lines] : cases) {
        WriteBytes(QStringLiteral("b.txt"), bytes);
        EXPECT_EQ(ReadTextLines(Path(QStringLiteral("b.txt"))), lines) << bytes;
    }
    EXPECT_FALSE(ReadTextLines(Path(QStringLiteral("fehlt.txt"))).has_value());
}

TEST_F(ProgramFiles, UmlautsSurviveInBothEncodings) {
    const QString line = QStringLiteral("Schöne Grüße, Kommafalle ä ö ü ß");
    WriteTextLines(Path(QStringLiteral("ansi.txt")), {line});
    EXPECT_EQ(Bytes(QStringLiteral("ansi.txt")).size(), line.size() + 2); // one byte each
    EXPECT_EQ(ReadTextLines(Path(QStringLiteral("ansi.txt")))->first(), line);

    WriteBytes(QStringLiteral("utf8.txt"), line.toUtf8() + "\n");
    EXPECT_EQ(ReadTextLines(Path(QStringLiteral("utf8.txt")))->first(), line);
}

TEST_F(ProgramFiles, LastFileName) {
    const QString ini = Path(QStringLiteral("zirkelon.ini"));
    // Missing file: the program folder and "file1".
    EXPECT_EQ(ReadLastFileName(ini), ProgramDir() + QStringLiteral("file1"));
    // Empty file: the program folder.
    WriteBytes(QStringLiteral("zirkelon.ini"), "");
    EXPECT_EQ(ReadLastFileName(ini), ProgramDir());
    // First line, trimmed.
    WriteBytes(QStringLiteral("zirkelon.ini"), "  /home/chor/kadenz.txt \t\r\nzweite\r\n");
    EXPECT_EQ(ReadLastFileName(ini), QStringLiteral("/home/chor/kadenz.txt"));
    // Written as one line ending with CR LF, replacing everything.
    WriteLastFileName(ini, QStringLiteral("/tmp/Stück.txt"));
    EXPECT_EQ(Bytes(QStringLiteral("zirkelon.ini")), QByteArray("/tmp/St\xFC"
                                                                "ck.txt\r\n"));
    EXPECT_EQ(ReadLastFileName(ini), QStringLiteral("/tmp/Stück.txt"));
}

TEST_F(ProgramFiles, AFailedWriteKeepsTheOldFile) {
    const QString ini = Path(QStringLiteral("zirkelon.ini"));
    WriteLastFileName(ini, QStringLiteral("alt"));
    // A path inside a missing folder cannot be written: a German message, nothing half-written.
    const QString impossible = Path(QStringLiteral("fehlt/zirkelon.ini"));
    try {
        WriteLastFileName(impossible, QStringLiteral("neu"));
        ADD_FAILURE();
    } catch (const FileError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("konnte nicht geschrieben werden")));
    }
    EXPECT_EQ(ReadLastFileName(ini), QStringLiteral("alt"));
}

TEST_F(ProgramFiles, NoFolderPipeOrDeviceIsReadOrWrittenOver) {
    // Reading a pipe waits for a writer and a device for its data; writing over one loses it.
    // Each is refused at once with a German message and stays what it was.
    const QString pipe = Path(QStringLiteral("pipe.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString folder = Path(QStringLiteral("ordner"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const struct {
        QString path;
        bool written; // /dev/null is only read: a faulty write would replace it
    } cases[] = {{pipe, true}, {folder, true}, {QStringLiteral("/dev/null"), false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        try {
            ReadFileBytes(c.path, 1 << 20);
            ADD_FAILURE() << "read";
        } catch (const FileError& error) {
            EXPECT_EQ(error.message(),
                      QStringLiteral("\"%1\" ist keine gewöhnliche Datei (ein Ordner, eine Pipe "
                                     "oder ein Gerät) und wird nicht gelesen.")
                          .arg(c.path));
        }
        EXPECT_FALSE(ReadTextFile(c.path).has_value());
        if (!c.written) {
            continue;
        }
        for (const auto& write :
             {std::function<void()>([&] { WriteFileBytes(c.path, "x"); }),
              std::function<void()>([&] { WriteLastFileName(c.path, QStringLiteral("neu")); })}) {
            try {
                write();
                ADD_FAILURE() << "written";
            } catch (const FileError& error) {
                EXPECT_TRUE(error.message().endsWith(u"und wird nicht überschrieben."))
                    << error.message().toStdString();
            }
        }
        const QFileInfo after(c.path);
        EXPECT_TRUE(after.exists());
        EXPECT_FALSE(after.isFile());
    }
}

TEST_F(ProgramFiles, AFileIsReadWholeAndOneTooLargeIsRefused) {
    // The reader takes a file in pieces; the limit counts every byte.
    const QByteArray bytes(200000, 'a');
    WriteBytes(QStringLiteral("gross.txt"), bytes);
    EXPECT_EQ(ReadFileBytes(Path(QStringLiteral("gross.txt")), 200000), bytes);
    EXPECT_THROW(ReadFileBytes(Path(QStringLiteral("gross.txt")), 199999), FileError);
    try {
        ReadFileBytes(Path(QStringLiteral("fehlt.txt")), 10);
        ADD_FAILURE();
    } catch (const FileError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: "
                                                  "Datei oder Ordner nicht gefunden")
                                       .arg(Path(QStringLiteral("fehlt.txt"))));
    }
}

} // namespace
} // namespace zk
