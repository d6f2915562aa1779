#include "piece/piece_file.h"
#include "piece/piece_table.h"
#include "support/errors.h"
#include "support/program_files.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
