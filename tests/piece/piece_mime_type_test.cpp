// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop knows a piece file by its content, whatever its name: the type Zirkelon installs
// for shared-mime-info (data/de.zirkelon.Zirkelon.xml), read by Qt's own mime database as the
// desktop's file managers read it.
#include "piece/piece_file.h"
#include "piece/piece_table.h"

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zk {
namespace {

TEST(PieceMimeType, SavedAndHandWrittenPiecesAreKnownByTheirContent) {
    // The type as the package installs it, in a data folder of this test's own. The database
    // reads the folders once, at its first use in the program: this test is its only user here.
    QTemporaryDir data;
    ASSERT_TRUE(QDir().mkpath(data.filePath(QStringLiteral("mime/packages"))));
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(ZK_TEST_DATA_DIR "/../../data/de.zirkelon.Zirkelon.xml"),
                    data.filePath(QStringLiteral("mime/packages/de.zirkelon.Zirkelon.xml"))));
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());

    QTemporaryDir dir;
    PieceTable table;
    table.SetCell(0, 1, QStringLiteral("c"));
    table.SetCell(1, 1, QStringLiteral("8"));
    table.SetCell(2, 1, QStringLiteral("ceg"));
    const QString piece = QStringLiteral("application/x-zirkelon-piece");
    const auto saved = [&](const QString& name) {
        SavePieceFile(dir.filePath(name), table, {"75", "50", "30", "15", "10", "5"});
        return dir.filePath(name);
    };
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return dir.filePath(name);
    };
    struct Case {
        const char* what;
        QString path;
        bool isPiece;
    };
    const Case cases[] = {
        {"saved without an extension", saved(QStringLiteral("kadenz")), true},
        {"saved as .dat", saved(QStringLiteral("kadenz.dat")), true},
        // A name that says what it is wins over the content, by the desktop's rules: "*.txt" is
        // plain text.
        {"saved as .txt", saved(QStringLiteral("kadenz.txt")), false},
        {"written by hand", write(QStringLiteral("lied"), "TA   D    Akkord\r\nc    1/4  c1\r\n"),
         true},
        {"by hand with LF and a blank line first",
         write(QStringLiteral("lied2"), "\nTA   D    Akkord\nc    8    ceg\n"), true},
        {"a text about timbre", write(QStringLiteral("notiz.txt"), "Klangfarbe ist Obertöne.\n"),
         false},
        {"any text", write(QStringLiteral("brief"), "Liebe Anna,\nbis morgen.\n"), false},
        {"after a byte order mark",
         write(QStringLiteral("bom"), "\xef\xbb\xbfTA   D    Akkord\r\nc    8    ceg\r\n"), true},
    };
    const QMimeDatabase types;
    for (const Case& c : cases) {
        const QMimeType type = types.mimeTypeForFile(c.path);
        EXPECT_EQ(type.name() == piece, c.isPiece) << c.what << ": " << type.name().toStdString();
        if (c.isPiece) {
            EXPECT_TRUE(type.inherits(QStringLiteral("text/plain"))) << c.what;
        }
    }
    // The scores the window imports, also where the system does not know them yet.
    const QString score = write(QStringLiteral("choral.musicxml"),
                                "<?xml version=\"1.0\"?>\n<score-partwise version=\"4.0\"/>\n");
    EXPECT_EQ(types.mimeTypeForFile(score).name(),
              QStringLiteral("application/vnd.recordare.musicxml+xml"));
    const QString packed = write(QStringLiteral("choral.mxl"), QByteArray("PK\x03\x04", 4));
    EXPECT_EQ(types.mimeTypeForFile(packed).name(),
              QStringLiteral("application/vnd.recordare.musicxml"));
}

} // namespace
} // namespace zk
