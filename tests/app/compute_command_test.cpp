#include "app/cli/cli.h"
#include "common/locale_guard.h"
#include "common/qt_printers.h"
#include "support/program_files.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zk::cli {
namespace {

const QString kCadence = QStringLiteral(ZK_TEST_DATA_DIR "/piece/kadenz.txt");

struct Result {
    int status;
    QString out;
    QString err;
};

Result RunCli(const QStringList& args, const QByteArray& stdinBytes = {}) {
    Io io;
    io.readStdin = [stdinBytes] { return stdinBytes; };
    const int status = Run(args, io);
    return {status, io.out, io.err};
}

class ComputeCommandTest : public ::testing::Test {
protected:
    test::LocaleGuard m_locale{test::German()};
};

TEST_F(ComputeCommandTest, WritesThePieceFileWithTheComputedColumns) {
    const Result result = RunCli({"compute", kCadence});
    ASSERT_EQ(result.status, kExitOk) << result.err.toStdString();
    const QStringList lines = result.out.split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines[0], QStringLiteral("Klangfarbe 100 0 0 0 0 0"));
    // The comment of row 1 is overwritten because the row has tones.
    EXPECT_EQ(lines[1],
              QStringLiteral("c    8    ceg             132 165 198              5/4 6/5 "));
    EXPECT_TRUE(lines[3].contains(QStringLiteral("198 247,5 297 ")));
}

TEST_F(ComputeCommandTest, TsvHoldsTheCellsExactly) {
    const Result result = RunCli({"compute", "--tsv", "--display", "intervals", kCadence});
    ASSERT_EQ(result.status, kExitOk) << result.err.toStdString();
    const QStringList lines = result.out.split(u'\n');
    EXPECT_EQ(lines[0], QStringLiteral("TA\tD\tAkkord\tFrequenzen\tIntervalle"));
    EXPECT_EQ(lines[1], QStringLiteral("c\t8\tceg\t132 165 198 \tgT Q "));
    EXPECT_EQ(lines[4], QStringLiteral("\t16\tceg\t132 165 198 \tgT Q "));
}

TEST_F(ComputeCommandTest, OptionsAndStandardInput) {
    QFile file(kCadence);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray piece = file.readAll();
    const std::tuple<QStringList, const char*> cases[] = {
        {{"compute", "--tsv", "--decimals", "2", "--pitch", "441", "-"}, "132,3 165,38 198,45 "},
        {{"compute", "--tsv", "--display", "cents", "-"}, "0 386,3 702 "},
        {{"compute", "--tsv", "--pitch", "5", "-"}, "132 165 198 "}, // out of range: 440
    };
    for (const auto& [args, row1] : cases) {
        const Result result = RunCli(args, piece);
        ASSERT_EQ(result.status, kExitOk) << result.err.toStdString();
        EXPECT_EQ(result.out.split(u'\n')[1].section(u'\t', 3, 3), QString::fromUtf8(row1))
            << args.join(u' ').toStdString();
    }
}

TEST_F(ComputeCommandTest, OutputFileFollowsTheFileRules) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("ergebnis.txt"));
    ASSERT_EQ(RunCli({"compute", "-o", out, kCadence}).status, kExitOk);
    const auto lines = ReadTextLines(out);
    ASSERT_TRUE(lines.has_value());
    EXPECT_TRUE(lines->at(1).startsWith(QStringLiteral("c    8    ceg")));
}

TEST_F(ComputeCommandTest, ErrorsAndWrongUsage) {
    const std::tuple<QStringList, int, const char*> cases[] = {
        {{"compute"}, kExitUsage, "Die Stückdatei fehlt."},
        {{"compute", "--farbe", kCadence}, kExitUsage, "Unbekannte Option"},
        {{"compute", "--display", "bunt", kCadence}, kExitUsage, "Unbekannte Anzeige"},
        {{"compute", "--decimals", "7", kCadence}, kExitUsage, "--decimals"},
        {{"compute", "--tempo"}, kExitUsage, "fehlt der Wert"},
        {{"compute", "/gibt/es/nicht.txt"}, kExitUserError, "kann nicht gelesen werden"},
        {{"compute", "--tempo", "0", kCadence}, kExitUserError, "Division durch Null"},
        {{"keycheck", kCadence}, kExitUsage, "Aufruf"},
        {{"keycheck", kCadence, "99"}, kExitUserError, "keine Zeile 99"},
    };
    for (const auto& [args, status, message] : cases) {
        const Result result = RunCli(args);
        EXPECT_EQ(result.status, status) << args.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains(QString::fromUtf8(message)))
            << args.join(u' ').toStdString() << ": " << result.err.toStdString();
    }
}

TEST_F(ComputeCommandTest, KeycheckPrintsTheTwentyFiveScores) {
    const Result result = RunCli({"keycheck", kCadence, "1"});
    ASSERT_EQ(result.status, kExitOk) << result.err.toStdString();
    const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 25);
    EXPECT_EQ(lines[0], QStringLiteral("6           c"));
    EXPECT_EQ(lines[4], QStringLiteral("11          d"));
    EXPECT_TRUE(lines[24].endsWith(QStringLiteral("h#")));
}

} // namespace
} // namespace zk::cli
