// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/piece_rows.h"
#include "common/qt_printers.h"
#include "piece/piece_file.h"
#include "piece/piece_table.h"
#include "support/errors.h"
#include "support/program_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zk {
namespace {

const TimbreTexts kDefaultTimbre = {"75", "50", "30", "15", "10", "5"};

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(PieceFile, TimbreLineThenEveryRowInWindows1252) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kadenz.txt"));
    PieceTable table;
    table.SetCell(0, 1, QStringLiteral("c"));
    table.SetCell(1, 1, QStringLiteral("8"));
    table.SetCell(2, 1, QStringLiteral("ceg"));
    table.SetCell(3, 2, QStringLiteral("Schluß"));
    SavePieceFile(path, table, kDefaultTimbre);
    const QByteArray bytes = Bytes(path);
    EXPECT_TRUE(bytes.startsWith("Klangfarbe 75 50 30 15 10 5\r\nc    8    ceg"));
    EXPECT_TRUE(bytes.contains("Schlu\xDF")); // one byte for the sharp s
    EXPECT_EQ(bytes.count("\r\n"), 1 + 4);    // timbre line and rows 1..4
}

TEST(PieceFile, SaveKeepsOneBackupGeneration) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stueck.txt"));
    PieceTable table;
    for (const char* chord : {"c", "d", "e"}) {
        table.SetCell(2, 1, QString::fromUtf8(chord));
        SavePieceFile(path, table, kDefaultTimbre);
    }
    EXPECT_TRUE(Bytes(path).contains("          e"));
    EXPECT_TRUE(Bytes(path + u'~').contains("          d")); // the previous save, not the first
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("~~")));
}

TEST(PieceFile, OpenRestoresTableAndTimbre) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stueck.txt"));
    PieceTable table;
    table.SetCell(0, 1, QStringLiteral("a"));
    table.SetCell(2, 1, QStringLiteral("ace1"));
    table.SetCell(4, 1, QStringLiteral("Grüße an den Chor"));
    SavePieceFile(path, table, {"100", "0", "0", "0", "0", "0"});

    PieceTable opened;
    const auto timbre = OpenPieceFile(path, opened);
    ASSERT_TRUE(timbre.has_value());
    EXPECT_EQ((*timbre)[0], QStringLiteral("100"));
    EXPECT_EQ(opened.Cell(2, 1), QStringLiteral("ace1"));
    EXPECT_EQ(opened.Cell(4, 1), QStringLiteral("Grüße an den Chor"));

    // A file written elsewhere in UTF-8 opens the same way.
    QFile utf8(dir.filePath(QStringLiteral("utf8.txt")));
    ASSERT_TRUE(utf8.open(QIODevice::WriteOnly));
    utf8.write(QStringLiteral("c    8    c         ").toUtf8() +
               QStringLiteral("      Übung").toUtf8() + "\n");
    utf8.close();
    OpenPieceFile(utf8.fileName(), opened);
    EXPECT_EQ(opened.Cell(3, 1), QStringLiteral("Übung"));
}

TEST(PieceFile, OpeningAndSavingAgainLeavesTheFileAsItWas) {
    // A piece file as the program writes it: the timbre line and eight rows of 51 characters
    // or more, the last two empty.
    const auto saved = [](const char* key, const char* duration, const char* chord) {
        return QString::fromUtf8(key).leftJustified(5) +
               QString::fromUtf8(duration).leftJustified(5) +
               QString::fromUtf8(chord).leftJustified(16) + QString(25, u' ') +
               QStringLiteral("\r\n");
    };
    const QString written = QStringLiteral("Klangfarbe 75 50 30 15 10 5\r\n") +
                            saved("c", "8", "ce1gc") + saved("f", "8", "fac1") + saved("", "", "") +
                            saved("g", "8", "ghd1") + saved("", "4", "") +
                            saved("c", "16", "ce1gc.") + saved("", "", "") + saved("", "", "");
    // The same piece typed elsewhere, without the empty rows at the end; and one with a comment
    // row at the end and a chord too long for its field.
    const QString typed = QStringLiteral("Klangfarbe 100 0 0 0 0 0\n") +
                          test::Row("c", "8", "ce1gc") + test::Row("g", "8", "ghd1");
    const QString commented = QStringLiteral("Klangfarbe 75 50 30 15 10 5\r\n") +
                              test::Row("d", "8", "c1c2e2*g2c3e3g3c4x") + QString(26, u' ') +
                              QStringLiteral("Ende\r\n");
    for (const QString& start : {written, typed, commented}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("stueck.txt"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(start.toLatin1());
        file.close();
        QList<QByteArray> files;
        for (int cycle = 0; cycle < 4; ++cycle) {
            PieceTable table;
            const auto timbre = OpenPieceFile(path, table);
            ASSERT_TRUE(timbre.has_value());
            SavePieceFile(path, table, *timbre);
            files.append(Bytes(path));
        }
        // The first save may add the two empty rows a piece ends with; after it nothing changes.
        for (int cycle = 1; cycle < files.size(); ++cycle) {
            EXPECT_EQ(files[cycle], files[0]) << cycle << "\n" << start.toStdString();
        }
        EXPECT_LE(files[0].count("\r\n"), start.count(u'\n') + 2);
        if (start == written) {
            EXPECT_EQ(files[0], start.toLatin1()); // already in the saved form: unchanged
        }
    }
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(PieceFile, ARowWhoseKeyBeginsWithACaretSurvivesSaveAndOpen) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stueck.txt"));
    WriteBytes(path, "Klangfarbe 75 50 30 15 10 5\r\n"
                     "c    8    ceg\r\n"
                     " ^   8    fac1\r\n"
                     "g    8    ghd1\r\n");
    for (int cycle = 0; cycle < 2; ++cycle) {
        PieceTable table;
        const auto timbre = OpenPieceFile(path, table);
        ASSERT_TRUE(timbre.has_value());
        EXPECT_EQ(table.Cell(2, 1), QStringLiteral("ceg")) << cycle;
        EXPECT_EQ(table.Cell(0, 2), QStringLiteral("^")) << cycle;
        EXPECT_EQ(table.Cell(2, 2), QStringLiteral("fac1")) << cycle;
        EXPECT_EQ(table.Cell(2, 3), QStringLiteral("ghd1")) << cycle;
        SavePieceFile(path, table, *timbre);
    }
}

// The bytes of a file that is no text: random bytes with NULs among them.
QByteArray RandomBytes(int count) {
    std::mt19937 random(7);
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        bytes += static_cast<char>(random() % 256);
    }
    return bytes;
}

TEST(PieceFile, ABinaryFileIsRefusedAndTheTableStays) {
    QTemporaryDir dir;
    PieceTable table;
    table.SetCell(2, 1, QStringLiteral("ceg"));
    const int rows = table.RowCount();
    const struct {
        const char* what;
        QByteArray bytes;
        int line; // where the first control character stands, 0 when not known
    } cases[] = {
        {"3000 random bytes", "x" + RandomBytes(3000), 0},
        {"a NUL in line 3", QByteArray("c    8    ceg\r\nf    8    fac1\nc  8 ce") + '\0' + "g\r\n",
         3},
        {"an escape in line 2", "c    8    ceg\r\n\x1B[0m\r\n", 2},
        {"a DEL after a form feed", "c    8    ceg\r\n\f\r\n\x7F\r\n", 3},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(QStringLiteral("binaer.txt"));
        WriteBytes(path, c.bytes);
        try {
            OpenPieceFile(path, table);
            ADD_FAILURE() << c.what << ": opened";
        } catch (const FileError& error) {
            EXPECT_TRUE(error.message().contains(QStringLiteral("Steuerzeichen")))
                << c.what << ": " << error.message().toStdString();
            EXPECT_TRUE(error.message().contains(QStringLiteral("keine Textdatei"))) << c.what;
            if (c.line > 0) {
                EXPECT_TRUE(error.message().startsWith(QStringLiteral("Zeile %1:").arg(c.line)))
                    << c.what << ": " << error.message().toStdString();
            }
        }
        EXPECT_EQ(table.Cell(2, 1), QStringLiteral("ceg")) << c.what;
        EXPECT_EQ(table.RowCount(), rows) << c.what;
    }
    ASSERT_TRUE(cases[0].bytes.contains('\0'));

    // Tabs, form feeds and every kind of line break are text.
    const QString path = dir.filePath(QStringLiteral("stueck.txt"));
    WriteBytes(path, "Klangfarbe 75 50 30 15 10 5\r\n"
                     "c\t   8    ceg\r"
                     "\f\n"
                     "g    8    ghd1\f\n");
    ASSERT_NO_THROW(OpenPieceFile(path, table));
    EXPECT_EQ(table.Cell(0, 1), QStringLiteral("c"));
    EXPECT_EQ(table.Cell(2, 1), QStringLiteral("ceg"));
    EXPECT_EQ(table.Cell(0, 2), QString()); // the form feed alone is trimmed away
    EXPECT_EQ(table.Cell(2, 3), QStringLiteral("ghd1"));
}

TEST(PieceFile, SavingOntoAPipeIsRefusedAtOnceWithoutABackup) {
    // A backup copies the old file; copying a pipe would wait for a writer and then keep what
    // came through as "pipe.txt~". Should the save wait after all, a writer comes after a while,
    // so that the test fails rather than hangs.
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("pipe.txt"));
    const QByteArray pipeName = QFile::encodeName(pipe);
    ASSERT_EQ(::mkfifo(pipeName.constData(), 0600), 0);
    PieceTable table;
    LoadPieceText(table, test::Row("c", "8", "ceg"));
    std::atomic<bool> done = false;
    std::thread writer([&] {
        for (int i = 0; i < 150 && !done; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            // Opens only while someone reads the pipe.
            if (const int fd = ::open(pipeName.constData(), O_WRONLY | O_NONBLOCK); fd >= 0) {
                ::close(fd);
            }
        }
    });
    try {
        SavePieceFile(pipe, table, kDefaultTimbre);
        ADD_FAILURE() << "saved into a pipe";
    } catch (const FileError& error) {
        EXPECT_TRUE(error.message().contains(u"keine gewöhnliche Datei"))
            << error.message().toStdString();
    }
    done = true;
    writer.join();
    EXPECT_FALSE(QFileInfo::exists(pipe + u'~'))
        << QDir(dir.path()).entryList().join(u' ').toStdString();
    EXPECT_FALSE(QFileInfo(pipe).isFile()) << "the pipe stays a pipe";
}

TEST(PieceFile, FailuresLeaveTableAndFileAsTheyWere) {
    QTemporaryDir dir;
    PieceTable table;
    table.SetCell(2, 1, QStringLiteral("ceg"));
    EXPECT_THROW(OpenPieceFile(dir.filePath(QStringLiteral("fehlt.txt")), table), FileError);
    EXPECT_EQ(table.Cell(2, 1), QStringLiteral("ceg"));
    EXPECT_THROW(
        SavePieceFile(dir.filePath(QStringLiteral("fehlt/neu.txt")), table, kDefaultTimbre),
        FileError);
}

} // namespace
} // namespace zk
