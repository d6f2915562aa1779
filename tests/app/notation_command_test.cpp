// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zk::cli {
namespace {

const QString kCadence = QStringLiteral(ZK_TEST_DATA_DIR "/notation/kadenz.txt");

class NotationCommandTest : public ::testing::Test {
protected:
    int Notate(const QStringList& args) {
        Io io;
        io.readStdin = [this] { return stdinBytes; };
        const int status = zk::cli::Run(QStringList{u"notation"_qs} + args, io);
        err = io.err;
        EXPECT_TRUE(io.out.isEmpty());
        return status;
    }

    QTemporaryDir dir;
    const QString out = dir.filePath(u"noten.png"_qs);
    QByteArray stdinBytes;
    QString err;
};

TEST_F(NotationCommandTest, WrongUsageWritesNothing) {
    const std::pair<QStringList, QString> cases[] = {
        {{kCadence}, u"Die Ausgabedatei fehlt (-o AUSGABE.png)."_qs},
        {{u"-o"_qs, out}, u"Die Stückdatei fehlt (DATEI oder --example NAME)."_qs},
        {{kCadence, u"-o"_qs}, u"Nach -o fehlt der Wert."_qs},
        {{u"--bass"_qs, u"5"_qs, u"-o"_qs, out, kCadence},
         u"Unbekannte Angabe \"5\" für --bass."_qs},
        {{u"--bass"_qs, u"-1"_qs, u"-o"_qs, out, kCadence},
         u"Unbekannte Angabe \"-1\" für --bass."_qs},
        {{u"-x"_qs, u"-o"_qs, out, kCadence}, u"Unbekannte Option \"-x\"."_qs},
        {{u"-o"_qs, out, u"--example"_qs, u"Laudate"_qs, kCadence},
         u"DATEI und --example schließen einander aus: das Stück kommt aus einer Datei oder aus "
         u"einem Beispiel."_qs},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(Notate(args), kExitUsage);
        EXPECT_TRUE(err.startsWith(message + u"\nAufruf: zirkelon notation"_qs))
            << err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}

TEST_F(NotationCommandTest, DrawsThePieceAsTheWindowShowsIt) {
    const std::pair<QString, int> cases[] = {{u"v"_qs, 128}, {u"0"_qs, 106}, {u"4"_qs, 128}};
    for (const auto& [bass, y] : cases) {
        ASSERT_EQ(Notate({u"--bass"_qs, bass, u"-o"_qs, out, kCadence}), kExitOk);
        const QImage image(out);
        // four chord lines: the comment row has neither duration nor chord
        EXPECT_EQ(image.size(), QSize(24 * 4 + 64, 200));
        // the first chord's c, in the bass or low in the treble
        EXPECT_EQ(image.pixelColor(52, y), QColor(Qt::black)) << bass.toStdString();
        EXPECT_EQ(image.pixelColor(64, 140), QColor(bass == u"0" ? Qt::white : Qt::black));
    }
    // from standard input
    QFile file(kCadence);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    stdinBytes = file.readAll();
    QFile::remove(out);
    EXPECT_EQ(Notate({u"-o"_qs, out, u"-"_qs}), kExitOk);
    EXPECT_EQ(QImage(out).size(), QSize(24 * 4 + 64, 200));
}

TEST_F(NotationCommandTest, ExampleBringsItsBassNotes) {
    const auto draw = [this](const QStringList& args) {
        QFile::remove(out);
        EXPECT_EQ(Notate(args), kExitOk) << err.toStdString();
        return QImage(out);
    };
    // "Mitteltönig F-Dur As-Dur" puts one note of each chord in the bass, as --bass 1 does.
    const QStringList example = {u"--example"_qs, u"Mitteltönig F-Dur As-Dur"_qs};
    const QImage own = draw(QStringList{u"-o"_qs, out} + example);
    EXPECT_EQ(own, draw(QStringList{u"--bass"_qs, u"1"_qs, u"-o"_qs, out} + example));
    // --bass wins over the example's setting.
    EXPECT_NE(own, draw(QStringList{u"--bass"_qs, u"v"_qs, u"-o"_qs, out} + example));
    // An example that sets nothing is drawn as its piece file would be: "Laudate" fits its
    // fields.
    Io io;
    ASSERT_EQ(zk::cli::Run({u"example"_qs, u"Laudate"_qs}, io), kExitOk);
    stdinBytes = io.out.toUtf8();
    EXPECT_EQ(draw({u"-o"_qs, out, u"--example"_qs, u"Laudate"_qs}),
              draw({u"-o"_qs, out, u"-"_qs}));
    // An unknown example is the user's error.
    EXPECT_EQ(Notate({u"-o"_qs, out, u"--example"_qs, u"Tanz"_qs}), kExitUserError);
    EXPECT_TRUE(err.startsWith(u"Unbekanntes Beispiel \"Tanz\"."_qs));
}

TEST_F(NotationCommandTest, FileProblemsAreUserErrors) {
    const QString missing = dir.filePath(u"fehlt.txt"_qs);
    EXPECT_EQ(Notate({u"-o"_qs, out, missing}), kExitUserError);
    EXPECT_EQ(err, u"Die Datei \"%1\" kann nicht gelesen werden.\n"_qs.arg(missing));

    const QString unwritable = dir.filePath(u"kein/ordner.png"_qs);
    EXPECT_EQ(Notate({u"-o"_qs, unwritable, kCadence}), kExitUserError);
    EXPECT_EQ(err, u"Das Notenbild kann nicht in die Datei \"%1\" geschrieben werden.\n"_qs.arg(
                       unwritable));
    EXPECT_FALSE(QFile::exists(unwritable));
}

TEST_F(NotationCommandTest, VeryLongPieceIsCutWithANote) {
    stdinBytes = QByteArray("     4    c1\r\n").repeated(1500);
    EXPECT_EQ(Notate({u"-o"_qs, out, u"-"_qs}), kExitOk);
    EXPECT_GT(QImage(out).width(), 30000);
    EXPECT_TRUE(err.startsWith(u"Das Notenbild zeigt nur die ersten "_qs));
    EXPECT_TRUE(err.endsWith(u" von 1500 Akkordzeilen.\n"_qs));
}

} // namespace
} // namespace zk::cli
