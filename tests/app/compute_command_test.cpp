// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "common/locale_guard.h"
#include "common/qt_printers.h"
#include "engine/interval_analysis.h"
#include "piece/piece_table.h"
#include "support/program_files.h"

#include <QDir>
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
        {{"compute"}, kExitUsage, "Die Stückdatei fehlt (DATEI oder --example NAME)."},
        {{"compute", "--farbe", kCadence}, kExitUsage, "Unbekannte Option"},
        {{"compute", "--display", "bunt", kCadence}, kExitUsage, "Unbekannte Anzeige"},
        {{"compute", "--decimals", "7", kCadence}, kExitUsage, "--decimals"},
        {{"compute", "--tempo"}, kExitUsage, "fehlt der Wert"},
        {{"compute", "/gibt/es/nicht.txt"}, kExitUserError, "kann nicht gelesen werden"},
        {{"compute", "--tempo", "0", kCadence}, kExitUserError, "Division durch Null"},
        {{"keycheck", kCadence}, kExitUsage, "Aufruf"},
        {{"keycheck", kCadence, "99"}, kExitUserError, "keine Zeile 99"},
        // the piece comes from a file or from an example, never from both, and never from none
        {{"compute", "--example", "Kommafalle", kCadence}, kExitUsage, "schließen einander aus"},
        {{"compute", "--tsv", "--"}, kExitUsage, "Die Stückdatei fehlt"},
        {{"compute", "--example"}, kExitUsage, "Nach --example fehlt der Wert."},
        {{"compute", "--example", "Kadenz D-Dur"},
         kExitUserError,
         "Unbekanntes Beispiel \"Kadenz D-Dur\". \"zirkelon example\" zeigt alle Beispiele."},
        {{"compute", "--example", "Anleitung"}, kExitUserError, "Unbekanntes Beispiel"},
        {{"keycheck", "--example", "Kommafalle"}, kExitUsage, "Die Zeile fehlt."},
        {{"keycheck", "--example", "Kommafalle", kCadence, "1"}, kExitUsage, "einander aus"},
        {{"keycheck", "--example", "Kommafalle", "47"}, kExitUserError, "keine Zeile 47"},
        {{"keycheck", "--example", "Tanz", "1"}, kExitUserError, "Unbekanntes Beispiel \"Tanz\""},
        {{"keycheck", kCadence, "--", "-1"}, kExitUsage, "Zahl ab 1"},
    };
    for (const auto& [args, status, message] : cases) {
        const Result result = RunCli(args);
        EXPECT_EQ(result.status, status) << args.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains(QString::fromUtf8(message)))
            << args.join(u' ').toStdString() << ": " << result.err.toStdString();
    }
}

// Each row of the comma trap as "chord\tfrequencies" from the TSV table.
QString ChordAndFrequencies(const QString& tsv, int row) {
    return tsv.split(u'\n').at(row).section(u'\t', 2, 3);
}

TEST_F(ComputeCommandTest, ExampleGivesTheWholeTableAsTheMenuLoadsIt) {
    const Result result = RunCli({"compute", "--example", "Kommafalle", "--tsv"});
    ASSERT_EQ(result.status, kExitOk) << result.err.toStdString();
    EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();
    const std::pair<int, const char*> rows[] = {
        // the start of cycle 1: the cadence in C on 132 Hz
        {8, "ce1gc\t132 330 396 528 "},
        // cycle 3, the first cycle beyond the piece text, with its chord uncut
        {20, "c--e1--g--c--\t128,8 321,9 386,3 515 "},
        // the sixth comma: two sixteen-character fields would have cut it to "c------e1------g"
        {42, "c------e1------g------c------\t122,5 306,3 367,6 490,1 "},
        // and the start again, after the last pause
        {44, "ce1gc\t132 330 396 528 "},
    };
    for (const auto& [row, cells] : rows) {
        EXPECT_EQ(ChordAndFrequencies(result.out, row), QString::fromUtf8(cells)) << row;
    }
    EXPECT_EQ(result.out.count(u'\n'), 46);
}

TEST_F(ComputeCommandTest, ExampleDisplayModeAndTheDisplayOption) {
    const std::tuple<QStringList, QString> cases[] = {
        // the interval tables write the display mode that shows everything
        {{"compute", "--tsv", "--example", "Dur-Intervalle"}, kModeAll},
        // --display wins over the example's own mode
        {{"compute", "--tsv", "--display", "cents", "--example", "Dur-Intervalle"}, kModeCents},
        // an example that writes none keeps the table's start header
        {{"compute", "--tsv", "--example", "Kadenz C-Dur"}, kStartDisplayMode},
    };
    for (const auto& [args, header] : cases) {
        const Result result = RunCli(args);
        ASSERT_EQ(result.status, kExitOk) << result.err.toStdString();
        EXPECT_EQ(result.out.section(u'\n', 0, 0).section(u'\t', 4), header)
            << args.join(u' ').toStdString();
    }
}

TEST_F(ComputeCommandTest, PieceFileOfAnExampleWarnsOfCutChords) {
    const Result cut = RunCli({"compute", "--example", "Kommafalle"});
    ASSERT_EQ(cut.status, kExitOk);
    EXPECT_TRUE(cut.out.startsWith(QStringLiteral("Klangfarbe 75 50 30 15 10 5\r\n")));
    EXPECT_TRUE(cut.err.startsWith(QStringLiteral("Hinweis: 15 Einträge")))
        << cut.err.toStdString();
    EXPECT_TRUE(cut.err.contains(QStringLiteral("--tsv")));
    // A piece that fits its fields says nothing.
    EXPECT_TRUE(RunCli({"compute", "--example", "Kadenz C-Dur"}).err.isEmpty());
}

// Cells with tabs, line breaks or backslashes stay one field each.
TEST(TsvField, EscapesWhatWouldBreakTheFields) {
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("132 165 198 "), QStringLiteral("132 165 198 ")}, // nothing to escape
        {QStringLiteral("a\tb"), QStringLiteral("a\\tb")},                // a tab
        {QStringLiteral("a\nb"), QStringLiteral("a\\nb")},                // a line feed
        {QStringLiteral("a\r\nb"), QStringLiteral("a\\r\\nb")},           // CR LF
        {QStringLiteral("c:\\ton"), QStringLiteral("c:\\\\ton")},         // a backslash doubles
        {QStringLiteral("\\t"),
         QStringLiteral("\\\\t")}, // a written "\t" stays told apart from a tab
        {QString(), QString()},
    };
    for (const auto& [cell, field] : cases) {
        EXPECT_EQ(TsvField(cell), field) << cell.toStdString();
        EXPECT_FALSE(TsvField(cell).contains(u'\t') || TsvField(cell).contains(u'\n') ||
                     TsvField(cell).contains(u'\r'));
    }
}

TEST_F(ComputeCommandTest, TsvLinesKeepFiveFieldsWhateverTheCellsHold) {
    // A comment with a tab and a backslash inside its field (trimming takes only the ends).
    const QByteArray piece = QByteArray("c    8    ceg\r\n") + QByteArray(26, ' ') +
                             QByteArray("Takt\t1                   a\\b\r\n");
    const Result result = RunCli({"compute", "--tsv", "-"}, piece);
    ASSERT_EQ(result.status, kExitOk) << result.err.toStdString();
    const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    for (const QString& line : lines) {
        EXPECT_EQ(line.count(u'\t'), 4) << line.toStdString();
    }
    EXPECT_EQ(lines.at(2), QStringLiteral("\t\t\tTakt\\t1\ta\\\\b"));
}

TEST_F(ComputeCommandTest, DoubleDashEndsTheOptions) {
    QTemporaryDir dir;
    QFile::copy(kCadence, dir.filePath(QStringLiteral("-x")));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const Result named = RunCli({"compute", "--tsv", "--", "-x"});
    const Result option = RunCli({"compute", "--tsv", "-x"});
    QDir::setCurrent(previous);
    ASSERT_EQ(named.status, kExitOk) << named.err.toStdString();
    EXPECT_EQ(named.out.split(u'\n')[1], QStringLiteral("c\t8\tceg\t132 165 198 \t5/4 6/5 "));
    EXPECT_EQ(option.status, kExitUsage);
    EXPECT_TRUE(option.err.startsWith(QStringLiteral("Unbekannte Option \"-x\".")));
    // "-" after "--" is still standard input.
    QFile file(kCadence);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(RunCli({"compute", "--tsv", "--", "-"}, file.readAll()).out, named.out);
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

TEST_F(ComputeCommandTest, KeycheckOfAnExampleRow) {
    // The comma trap's chord "g-d-g-h-" (row 11): the same scores as from its piece file, where
    // the chord still fits its field.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("komma.txt"));
    Io io;
    ASSERT_EQ(cli::Run({"example", "Kommafalle"}, io), kExitOk);
    WriteTextFile(file, io.out);
    const Result fromFile = RunCli({"keycheck", file, "11"});
    const Result fromExample = RunCli({"keycheck", "--example", "Kommafalle", "11"});
    ASSERT_EQ(fromExample.status, kExitOk) << fromExample.err.toStdString();
    EXPECT_EQ(fromExample.out.count(u'\n'), 25);
    EXPECT_EQ(fromExample.out, fromFile.out);
}

} // namespace
} // namespace zk::cli
