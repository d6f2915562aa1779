// SPDX-License-Identifier: GPL-3.0-or-later
// "zirkelon keys" and "--keys auto": the keys of a whole piece found on the command line, checked
// through the frequencies "compute" gives for the piece written.
#include "app/cli/cli.h"
#include "app/example_library.h"
#include "common/piece_rows.h"
#include "support/program_files.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace zk::cli {
namespace {

using test::Row;

const QString kChorale =
    QStringLiteral(ZK_TEST_DATA_DIR "/exchange/musicxml/chorales/zwei-systeme.musicxml");

struct Result {
    int status = -1;
    QString out;
    QString err;
};

Result RunCli(const QStringList& args) {
    Io io;
    Result result;
    result.status = Run(args, io);
    result.out = io.out;
    result.err = io.err;
    return result;
}

double Cents(double from, double to) {
    return 1200 * std::log2(to / from);
}

// The syntonic comma from its ratio.
const double kComma = 1200 * std::log2(81.0 / 80.0);

class KeysCommandTest : public ::testing::Test {
protected:
    QString Write(const QString& name, const QString& text) {
        const QString path = m_dir.filePath(name);
        WriteTextFile(path, text);
        return path;
    }

    // The sounding frequencies of every row of a piece file, as "compute --tsv" gives them.
    std::vector<std::vector<double>> Frequencies(const QString& path) {
        const Result computed = RunCli({"compute", "--tsv", "--decimals", "4", path});
        EXPECT_EQ(computed.status, kExitOk) << computed.err.toStdString();
        std::vector<std::vector<double>> rows;
        const QStringList lines = computed.out.split(u'\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QStringList fields = lines[i].split(u'\t');
            if (fields.size() < 4 || fields[2].trimmed().isEmpty()) {
                continue;
            }
            std::vector<double> row;
            for (const QString& value : fields[3].split(u' ', Qt::SkipEmptyParts)) {
                row.push_back(value.toDouble());
            }
            rows.push_back(row);
        }
        return rows;
    }

    // The comma trap C - a - d - G - C in four voices, every common tone held in its voice.
    QString CommaTrap() {
        return Write(QStringLiteral("kommafalle.txt"),
                     Row("c", "8", "C e1g1c2") + Row("", "8", "A e1a1c2") +
                         Row("", "8", "D d1a1f2") + Row("", "8", "G d1g1h1") +
                         Row("", "8", "C e1g1c2"));
    }

    QTemporaryDir m_dir;
};

TEST_F(KeysCommandTest, TheCommaTrapReturnsHomeAndSaysWhichToneMoved) {
    const QString found = m_dir.filePath(QStringLiteral("gefunden.txt"));
    const Result result = RunCli({"keys", "-o", found, CommaTrap()});
    ASSERT_EQ(result.status, kExitOk) << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_TRUE(result.err.contains(QStringLiteral("Reine Zeilen: 5 von 5")))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("wandert um ein Komma")))
        << result.err.toStdString();
    const auto rows = Frequencies(found);
    ASSERT_EQ(rows.size(), 5U);
    // The last chord is the first one, to the hundredth of a cent.
    for (std::size_t tone = 0; tone < rows.front().size(); ++tone) {
        EXPECT_NEAR(Cents(rows.front()[tone], rows.back()[tone]), 0, 0.01) << tone;
    }
    // Exactly one tone held into the next row moved, by one comma.
    int moved = 0;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        for (const double now : rows[r]) {
            for (const double before : rows[r - 1]) {
                const double cents = Cents(before, now);
                if (std::abs(cents) < 50 && std::abs(cents) > 0.5) {
                    EXPECT_NEAR(std::abs(cents), kComma, 0.01);
                    ++moved;
                }
            }
        }
    }
    EXPECT_EQ(moved, 1);
}

TEST_F(KeysCommandTest, FreeLetsTheEndDriftInsteadOfMovingATone) {
    const QString found = m_dir.filePath(QStringLiteral("frei.txt"));
    const Result result = RunCli({"keys", "--free", "-o", found, CommaTrap()});
    ASSERT_EQ(result.status, kExitOk) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("Schluss: ein Komma tiefer")))
        << result.err.toStdString();
    const auto rows = Frequencies(found);
    ASSERT_EQ(rows.size(), 5U);
    EXPECT_NEAR(Cents(rows.front()[0], rows.back()[0]), -kComma, 0.01);
}

TEST_F(KeysCommandTest, KeepHoldsTheKeysTheTableHas) {
    // A cadence in C with a key "g" typed into its third row: kept, it stays; otherwise the
    // search finds that the piece needs no key change at all.
    const QString piece =
        Write(QStringLiteral("kadenz.txt"), Row("c", "8", "c1e1g1") + Row("", "8", "c1f1a1") +
                                                Row("g", "8", "h d1g1") + Row("", "8", "c1e1g1"));
    const Result kept = RunCli({"keys", "--keep", piece});
    ASSERT_EQ(kept.status, kExitOk) << kept.err.toStdString();
    const Result free = RunCli({"keys", piece});
    ASSERT_EQ(free.status, kExitOk) << free.err.toStdString();
    const auto keyOf = [](const QString& pieceFile, int row) {
        return pieceFile.split(QStringLiteral("\r\n")).value(row).left(5).trimmed();
    };
    EXPECT_EQ(keyOf(kept.out, 3), QStringLiteral("g"));
    EXPECT_EQ(keyOf(free.out, 1), QStringLiteral("c"));
    for (int row = 2; row <= 4; ++row) {
        EXPECT_EQ(keyOf(free.out, row), QString()) << row;
    }
}

TEST_F(KeysCommandTest, AutoKeysWorkForScoresPiecesAndExamples) {
    const struct {
        QStringList args;
        const char* report;
    } cases[] = {
        {{"import", "--keys", "auto", kChorale}, "Reine Zeilen: "},
        {{"compute", "--keys", "auto", kChorale}, "Reine Zeilen: "},
        {{"compute", "--keys", "auto", "--example", "Kommafalle"}, "Reine Zeilen: "},
        {{"keycheck", "--keys", "auto", "--example", "Kadenz C-Dur", "2"}, "Reine Zeilen: "},
    };
    for (const auto& c : cases) {
        const Result result = RunCli(c.args);
        EXPECT_EQ(result.status, kExitOk)
            << c.args.join(u' ').toStdString() << ": " << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(QString::fromUtf8(c.report)))
            << c.args.join(u' ').toStdString() << ": " << result.err.toStdString();
    }
    // The imported chorale with its keys found sounds pure in every row.
    const QString imported = m_dir.filePath(QStringLiteral("choral.txt"));
    ASSERT_EQ(RunCli({"import", "--keys", "auto", "-o", imported, kChorale}).status, kExitOk);
    const auto rows = Frequencies(imported);
    ASSERT_FALSE(rows.empty());
    const Result again = RunCli({"keys", imported});
    EXPECT_TRUE(again.err.contains(QStringLiteral("Reine Zeilen: %1 von %1").arg(rows.size())))
        << again.err.toStdString();
}

// Pure chord rows (two or more tones, no impure third, fourth, fifth or sixth) of a table's
// frequencies, as "compute --tsv" writes them.
int PureChordRows(const QString& tsv) {
    const double pure[12] = {0, 0, 0, 6.0 / 5, 5.0 / 4, 4.0 / 3, 0, 3.0 / 2, 8.0 / 5, 5.0 / 3};
    int rows = 0;
    const QStringList lines = tsv.split(u'\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split(u'\t');
        if (fields.size() < 4 || fields[2].isEmpty()) {
            continue; // comment lines of an example stand in the frequency column
        }
        std::vector<double> cents;
        for (const QString& value : fields[3].split(u' ', Qt::SkipEmptyParts)) {
            cents.push_back(1200 * std::log2(value.toDouble() / 440));
        }
        bool impure = cents.size() < 2;
        for (std::size_t a = 0; a < cents.size(); ++a) {
            for (std::size_t b = a + 1; b < cents.size(); ++b) {
                const double size = std::abs(cents[b] - cents[a]);
                const double ratio = pure[std::lround(size / 100) % 12];
                impure = impure || (ratio > 0 &&
                                    std::abs(std::fmod(size, 1200) - 1200 * std::log2(ratio)) > 1);
            }
        }
        rows += impure ? 0 : 1;
    }
    return rows;
}

TEST_F(KeysCommandTest, NoExampleSoundsLessPureWithTheKeysFound) {
    // The examples' own keys were written by hand; the search never does worse, and it does
    // better where a hand-written key left a chord impure.
    int better = 0;
    for (const QString& caption : ExampleCaptions()) {
        const QStringList compute = {"compute",   "--tsv",  "--decimals", "4",
                                     "--display", "ratios", "--example",  caption};
        const Result own = RunCli(compute);
        const Result found = RunCli(compute + QStringList{"--keys", "auto"});
        ASSERT_EQ(found.status, kExitOk)
            << caption.toStdString() << ": " << found.err.toStdString();
        const int ownPure = PureChordRows(own.out);
        const int foundPure = PureChordRows(found.out);
        EXPECT_GE(foundPure, ownPure) << caption.toStdString();
        better += foundPure > ownPure ? 1 : 0;
    }
    EXPECT_GT(better, 0);
}

TEST_F(KeysCommandTest, RefusesWhatItCannotDo) {
    const struct {
        QStringList args;
        int status;
        const char* message;
    } cases[] = {
        {{"keys"}, kExitUsage, "Die Stückdatei fehlt"},
        {{"keys", "--keys", "auto", kChorale}, kExitUsage, "--keys passt nicht"},
        {{"keys", "--schnell", kChorale}, kExitUsage, "--schnell"},
        {{"keys", "/gibt/es/nicht.txt"}, kExitUserError, "nicht"},
        {{"keys", "--example", "Gibt es nicht"}, kExitUserError, "Unbekanntes Beispiel"},
    };
    for (const auto& c : cases) {
        const Result result = RunCli(c.args);
        EXPECT_EQ(result.status, c.status) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains(QString::fromUtf8(c.message)))
            << c.args.join(u' ').toStdString() << ": " << result.err.toStdString();
    }
}

} // namespace
} // namespace zk::cli
