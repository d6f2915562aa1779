// SPDX-License-Identifier: GPL-3.0-or-later
// "zirkelon scala import" and "zirkelon scala export": the list they change, the files they write,
// and the refusals that leave everything as it was.
#include "exchange/scala_file.h"

#include "app/cli/cli.h"
#include "common/locale_guard.h"
#include "common/piece_rows.h"
#include "engine/temperaments.h"
#include "support/program_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zk::cli {
namespace {

using test::Row;

const QString kData = QStringLiteral(ZK_TEST_DATA_DIR "/exchange/");

struct Result {
    int status = -1;
    Io io;
};

Result Scala(const QStringList& args, const QByteArray& input = {}) {
    Result result;
    result.io.readStdin = [input] { return input; };
    result.status = Run(QStringList{QStringLiteral("scala")} + args, result.io);
    return result;
}

QByteArray DataFile(const char* name) {
    QFile file(kData + QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

QString ListText() {
    return ReadTextFile(TemperamentList::FilePath()).value_or(QString());
}

class ScalaCommand : public ::testing::Test {
protected:
    // Every test starts without a list file: the default list, as before the first start.
    void SetUp() override {
        QFile::remove(TemperamentList::FilePath());
        QDir(TemperamentList::FilePath()).removeRecursively();
        ASSERT_TRUE(m_dir.isValid());
    }
    void TearDown() override { SetUp(); }

    QString Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    QString Write(const char* name, const QString& text) const {
        WriteTextFile(Path(name), text);
        return Path(name);
    }

    QTemporaryDir m_dir;
};

TEST_F(ScalaCommand, ImportsARowIntoTheList) {
    const Result result =
        Scala({"import", "--code", "mz", "--name", "Werckmeister", kData + "werckmeister_iii.scl"});
    ASSERT_EQ(result.status, kExitOk) << result.io.err.toStdString();
    const TemperamentList list(SplitLines(ListText()));
    const auto row = TemperamentRowOf(list, QStringLiteral("mz"));
    ASSERT_TRUE(row.has_value());
    EXPECT_TRUE(row->startsWith(QStringLiteral("mz Werckmeister ")));
    EXPECT_TRUE(result.io.out.contains(*row));
    // Everything else is the default list, with the new row after "my".
    QStringList expected = TemperamentList().lines();
    expected.insert(expected.indexOf(TemperamentRowOf(TemperamentList(), "my").value()) + 1, *row);
    EXPECT_EQ(list.lines(), expected);
    // Without a name the description gives it, without its digits and signs.
    ASSERT_EQ(Scala({"import", "--code", "mY", kData + "kirnberger_iii.scl"}).status, kExitOk);
    EXPECT_TRUE(ListText().contains(QStringLiteral("mY Kirnberger III: CGDAE a quarter")));
}

TEST_F(ScalaCommand, RefusesAndLeavesTheListAlone) {
    const QString equal = kData + "equal_12.scl";
    const QString bad = Write("bad.scl", QStringLiteral("x\n2\n-3/2\n2/1\n"));
    const QString seven = Write("seven.scl", QStringLiteral("x\n7\n1\n1\n1\n1\n1\n1\n2\n"));
    ASSERT_EQ(Scala({"import", "--code", "mz", equal}).status, kExitOk);
    const QString before = ListText();
    const struct {
        const char* what;
        QStringList args;
        int status;
        const char* message;
    } cases[] = {
        {"taken code",
         {"import", "--code", "ma", equal},
         kExitUserError,
         "\"ma\" ist schon vergeben: ma viertel mitteltönig"},
        {"own row taken", {"import", "--code", "mz", equal}, kExitUserError, "Mit --replace"},
        {"code of three characters", {"import", "--code", "mw2", bad}, kExitUsage, "kein Kürzel"},
        {"negative ratio",
         {"import", "--code", "mW", bad},
         kExitUserError,
         "bad.scl: Zeile 3: Das Verhältnis \"-3/2\" ist negativ"},
        {"seven notes", {"import", "--code", "mW", seven}, kExitUserError, "hat 7 Töne"},
        {"missing file",
         {"import", "--code", "mW", "/no/such.scl"},
         kExitUserError,
         "kann nicht gelesen werden"},
        {"bad mapping file",
         {"import", "--code", "mW", "--kbm", bad, equal},
         kExitUserError,
         "Tastenzuordnung: "},
        {"digit in name",
         {"import", "--code", "mW", "--name", "Bach 2", equal},
         kExitUsage,
         "enthält \"2\""},
        {"no code", {"import", equal}, kExitUsage, "--code"},
        {"no file", {"import", "--code", "mW"}, kExitUsage, "Die Scala-Datei fehlt"},
        {"two files", {"import", "--code", "mW", equal, equal}, kExitUsage, "Nur eine"},
        {"unknown option", {"import", "--fast", equal}, kExitUsage, "Unbekannte Option"},
        {"no sub-command", {}, kExitUsage, "Nach \"scala\" folgt import oder export"},
        {"unknown sub-command", {"merge"}, kExitUsage, "folgt import oder export"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Result result = Scala(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(result.io.err.contains(QString::fromUtf8(c.message)))
            << result.io.err.toStdString();
        EXPECT_EQ(ListText(), before);
    }
}

TEST_F(ScalaCommand, ReplacesOnlyWhenAsked) {
    const QString list = TemperamentList().Text();
    const Result result = Scala({"import", "--code", "ma", "--replace", "--name", "neu", "-"},
                                DataFile("vallotti.scl"));
    ASSERT_EQ(result.status, kExitOk) << result.io.err.toStdString();
    EXPECT_TRUE(result.io.out.contains(QStringLiteral("ersetzt")));
    const QStringList lines = SplitLines(ListText());
    const qsizetype ma = TemperamentList().lines().indexOf(
        TemperamentRowOf(TemperamentList(), QStringLiteral("ma")).value());
    EXPECT_TRUE(lines.at(ma).startsWith(QStringLiteral("ma neu ")));
    EXPECT_EQ(lines.size(), SplitLines(list).size());
}

TEST_F(ScalaCommand, KeepsAListItCannotRead) {
    ASSERT_TRUE(QDir().mkpath(TemperamentList::FilePath()));
    const Result result = Scala({"import", "--code", "mz", kData + "equal_12.scl"});
    EXPECT_EQ(result.status, kExitUserError);
    EXPECT_TRUE(result.io.err.contains(QStringLiteral("bleibt unverändert")));
    EXPECT_TRUE(QFileInfo(TemperamentList::FilePath()).isDir());
}

TEST_F(ScalaCommand, ExportsARowAndAPiecesRow) {
    const QString piece =
        Write("stueck.txt", Row("c", "8", "ceg") + Row("a", "8", "ace") + Row("d", "8", "dfa"));
    const struct {
        const char* what;
        QStringList args;
        int key;           // middle and reference key of the mapping
        long double hertz; // the reference frequency
    } cases[] = {
        {"list row", {"--code", "ma"}, 60, 440},
        {"list row at 444 Hz", {"--pitch", "444", "--code", "me"}, 60, 444},
        {"piece row", {"--row", "3", piece}, 50, 132 * 10.0L / 9},
        {"after --", {"--row", "3", "--", piece}, 50, 132 * 10.0L / 9},
        {"example", {"--row", "9", "--example", "Kommafalle"}, 48, 132},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString out = Path("aus.scl");
        const Result result = Scala(QStringList{"export", "-o", out} + c.args);
        ASSERT_EQ(result.status, kExitOk) << result.io.err.toStdString();
        const KeyboardMapping mapping = ReadKbm(ReadTextFile(Path("aus.kbm")).value_or(QString()));
        EXPECT_EQ(mapping.middleKey, c.key);
        EXPECT_NEAR(mapping.referenceFrequency, c.hertz, 1e-6L);
        EXPECT_EQ(ReadScl(ReadTextFile(out).value_or(QString())).pitches.size(), 12);
        EXPECT_TRUE(result.io.out.contains(Path("aus.kbm")));
    }
    // The list row's files are those the window writes.
    const ScalaFiles files = ExportRowAsScl(TemperamentList(), QStringLiteral("ma"));
    ASSERT_EQ(Scala({"export", "--code", "ma", "-o", Path("ma.scl")}).status, kExitOk);
    EXPECT_EQ(ReadTextFile(Path("ma.scl")).value_or(QString()), files.scl);
    EXPECT_EQ(ReadTextFile(Path("ma.kbm")).value_or(QString()), files.kbm);
}

TEST_F(ScalaCommand, ExportRefusalsWriteNothing) {
    const QString piece = Write("stueck.txt", Row("c", "8", "ceg"));
    const struct {
        const char* what;
        QStringList args;
        int status;
        const char* message;
    } cases[] = {
        {"both", {"--code", "ma", "--row", "1", piece}, kExitUsage, "nicht beide"},
        {"neither", {piece}, kExitUsage, "Entweder --code"},
        {"code and piece", {"--code", "ma", piece}, kExitUsage, "kein Stück"},
        {"code and example", {"--code", "ma", "--example", "Kommafalle"}, kExitUsage, "kein Stück"},
        {"bad code", {"--code", "a"}, kExitUsage, "kein Kürzel"},
        {"unknown code", {"--code", "mZ"}, kExitUserError, "keine Zeile \"mZ\""},
        {"row 0", {"--row", "0", piece}, kExitUsage, "Zahl ab 1"},
        {"row not a number", {"--row", "x", piece}, kExitUsage, "Zahl ab 1"},
        {"row beyond", {"--row", "50", piece}, kExitUserError, "keine Zeile 50"},
        {"no piece", {"--row", "1"}, kExitUsage, "Die Stückdatei fehlt"},
        {"unknown example",
         {"--row", "1", "--example", "Gibt es nicht"},
         kExitUserError,
         "Unbekanntes Beispiel"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Result result = Scala(QStringList{"export", "-o", Path("x.scl")} + c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(result.io.err.contains(QString::fromUtf8(c.message)))
            << result.io.err.toStdString();
        EXPECT_FALSE(QFile::exists(Path("x.scl")));
        EXPECT_FALSE(QFile::exists(Path("x.kbm")));
    }
    const Result noOutput = Scala({"export", "--code", "ma"});
    EXPECT_EQ(noOutput.status, kExitUsage);
    EXPECT_TRUE(noOutput.io.err.contains(QStringLiteral("-o")));
}

// Out and in again on the command line: a row with its own a1 comes back through the mapping.
TEST_F(ScalaCommand, RoundTripThroughTheFiles) {
    test::LocaleGuard german(test::German());
    ASSERT_EQ(Scala({"export", "--code", "m@", "-o", Path("hoch.scl")}).status, kExitOk);
    const Result result =
        Scala({"import", "--code", "mz", "--kbm", Path("hoch.kbm"), Path("hoch.scl")});
    ASSERT_EQ(result.status, kExitOk) << result.io.err.toStdString();
    const TemperamentList list(SplitLines(ListText()));
    EXPECT_EQ(list.FindTemperamentRow(QStringLiteral("mz")),
              list.FindTemperamentRow(QStringLiteral("m@")));
}

} // namespace
} // namespace zk::cli
