// SPDX-License-Identifier: GPL-3.0-or-later
// The automatic keys on chorale settings, judged from the frequencies "compute --tsv" gives for
// the piece "import --keys auto" writes: pure chords wherever one just key can make them pure,
// no held tone sliding by more than a comma, and the end on the pitch it began with.
#include "app/cli/cli.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

namespace zk::cli {
namespace {

const QString kFolder = QStringLiteral(ZK_TEST_DATA_DIR "/exchange/musicxml/chorales-keys");
const double kComma = 1200 * std::log2(81.0 / 80.0);

struct Output {
    int status = -1;
    QString out;
    QString err;
};

Output RunCli(const QStringList& args) {
    Io io;
    Output result;
    result.status = Run(args, io);
    result.out = io.out;
    result.err = io.err;
    return result;
}

// The figures of a piece from its frequencies: rows of two or more tones, those with an impure
// third, fourth, fifth or sixth (sizes named by the nearest semitone), held tones that move (a
// key of the keyboard in two neighbouring rows more than half a cent apart), and the last bass
// against the first frequency of its pitch class, octaves left out.
struct Figures {
    int chordRows = 0;
    int impureRows = 0;
    int moves = 0;
    double largestMove = 0;
    double finalDrift = 0;
};

Figures Measure(const QString& tsv) {
    static const std::map<int, double> pure = {{3, 6.0 / 5}, {4, 5.0 / 4}, {5, 4.0 / 3},
                                               {7, 3.0 / 2}, {8, 8.0 / 5}, {9, 5.0 / 3}};
    Figures figures;
    std::map<int, double> previous; // key -> cents of the row before
    std::map<int, double> first;    // pitch class -> cents of its first sounding
    double lastBass = 0;
    const QStringList lines = tsv.split(u'\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split(u'\t');
        if (fields.size() < 4 || (fields[1].isEmpty() && fields[2].isEmpty())) {
            continue;
        }
        std::vector<double> cents;
        for (const QString& value : fields[3].split(u' ', Qt::SkipEmptyParts)) {
            cents.push_back(1200 * std::log2(value.toDouble() / 440));
        }
        std::map<int, double> keys;
        for (const double c : cents) {
            const int key = static_cast<int>(std::lround(c / 100));
            keys.try_emplace(key, c);
            first.try_emplace(((key % 12) + 12) % 12, c);
        }
        if (cents.size() >= 2) {
            ++figures.chordRows;
            bool impure = false;
            for (std::size_t a = 0; a < cents.size(); ++a) {
                for (std::size_t b = a + 1; b < cents.size(); ++b) {
                    const double size = std::abs(cents[b] - cents[a]);
                    const auto found = pure.find(static_cast<int>(std::lround(size / 100)) % 12);
                    if (found != pure.end() &&
                        std::abs(std::fmod(size, 1200) - 1200 * std::log2(found->second)) > 1) {
                        impure = true;
                    }
                }
            }
            figures.impureRows += impure ? 1 : 0;
        }
        for (const auto& [key, c] : keys) {
            if (const auto held = previous.find(key);
                held != previous.end() && std::abs(c - held->second) > 0.5) {
                ++figures.moves;
                figures.largestMove = std::max(figures.largestMove, std::abs(c - held->second));
            }
        }
        previous = keys;
        if (!cents.empty()) {
            lastBass = *std::min_element(cents.begin(), cents.end());
        }
    }
    const int bassClass = ((static_cast<int>(std::lround(lastBass / 100)) % 12) + 12) % 12;
    const double drift = std::fmod(lastBass - first[bassClass] + 1200 * 20, 1200);
    figures.finalDrift = drift > 600 ? drift - 1200 : drift;
    return figures;
}

class ChoraleKeys : public ::testing::TestWithParam<std::string> {};

TEST_P(ChoraleKeys, PureWhereOneKeyCanBeHeldTonesStayAndTheEndReturns) {
    const QString score = QDir(kFolder).filePath(QString::fromStdString(GetParam()));
    QTemporaryDir dir;
    const QString signature = dir.filePath(QStringLiteral("vorzeichen.txt"));
    const QString found = dir.filePath(QStringLiteral("gefunden.txt"));
    ASSERT_EQ(RunCli({"import", "-o", signature, score}).status, kExitOk);
    const Output imported = RunCli({"import", "--keys", "auto", "-o", found, score});
    ASSERT_EQ(imported.status, kExitOk) << imported.err.toStdString();

    const Figures before = Measure(RunCli({"compute", "--tsv", "--decimals", "4", signature}).out);
    const Figures after = Measure(RunCli({"compute", "--tsv", "--decimals", "4", found}).out);
    ASSERT_GT(after.chordRows, 15);
    EXPECT_EQ(after.chordRows, before.chordRows);
    // One key for the whole setting leaves chords impure that keys found make pure.
    EXPECT_LT(after.impureRows, before.impureRows);
    EXPECT_LE(after.impureRows * 10, after.chordRows);
    // The report names each impure row with a reason that no key could help.
    const QStringList impureLines =
        imported.err.split(u'\n').filter(QRegularExpression(QStringLiteral("^Zeile \\d+ \\(")));
    EXPECT_EQ(impureLines.size(), after.impureRows) << imported.err.toStdString();
    for (const QString& line : impureLines) {
        EXPECT_TRUE(line.contains(QStringLiteral("verminderter Septakkord")) ||
                    line.contains(QStringLiteral("übermäßiger Dreiklang")) ||
                    line.contains(QStringLiteral("übermäßige Sekunde")) ||
                    line.contains(QStringLiteral("Kommapumpe")))
            << line.toStdString();
    }
    EXPECT_LE(after.moves, 1);
    EXPECT_LE(after.largestMove, kComma + 0.01);
    EXPECT_NEAR(after.finalDrift, 0, 0.01);
}

std::vector<std::string> Scores() {
    std::vector<std::string> names;
    for (const QString& name :
         QDir(kFolder).entryList({QStringLiteral("*.musicxml")}, QDir::Files, QDir::Name)) {
        names.push_back(name.toStdString());
    }
    return names;
}

INSTANTIATE_TEST_SUITE_P(Settings, ChoraleKeys, ::testing::ValuesIn(Scores()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(0, info.param.find('.'));
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

} // namespace
} // namespace zk::cli
