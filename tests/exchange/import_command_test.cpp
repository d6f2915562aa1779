// SPDX-License-Identifier: GPL-3.0-or-later
// "zirkelon import" and the piece commands reading a MusicXML score as their FILE.
#include "app/cli/cli.h"
#include "common/locale_guard.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "support/program_files.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace zk::cli {
namespace {

const QString kChorale =
    QStringLiteral(ZK_TEST_DATA_DIR "/exchange/musicxml/chorales/zwei-systeme.musicxml");
const QString kCompressed =
    QStringLiteral(ZK_TEST_DATA_DIR "/exchange/musicxml/chorales/zwei-systeme.mxl");
const QString kMicrotones =
    QStringLiteral(ZK_TEST_DATA_DIR "/exchange/musicxml/suite/01d-Pitches-Microtones.xml");
const QString kPieceFile = QStringLiteral(ZK_TEST_DATA_DIR "/piece/kadenz.txt");

struct Result {
    int status = -1;
    QString out;
    QString err;
};

Result RunCli(const QStringList& args, const QByteArray& stdinBytes = {}) {
    Io io;
    io.readStdin = [stdinBytes] { return stdinBytes; };
    Result result;
    result.status = Run(args, io);
    result.out = io.out;
    result.err = io.err;
    return result;
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A score of one whole-note chord, its tones given as (step letter, alter, octave).
QByteArray ChordScore(const std::vector<std::tuple<char, int, int>>& tones) {
    QByteArray notes;
    bool first = true;
    for (const auto& [step, alter, octave] : tones) {
        notes += QStringLiteral("<note>%1<pitch><step>%2</step><alter>%3</alter><octave>%4"
                                "</octave></pitch><duration>4</duration></note>")
                     .arg(first ? QString() : QStringLiteral("<chord/>"))
                     .arg(QChar(step))
                     .arg(alter)
                     .arg(octave)
                     .toUtf8();
        first = false;
    }
    return "<?xml version=\"1.0\"?><score-partwise version=\"4.0\"><part-list><score-part "
           "id=\"P1\"><part-name>Orgel</part-name></score-part></part-list><part id=\"P1\">"
           "<measure number=\"1\"><attributes><divisions>1</divisions></attributes>" +
           notes + "</measure></part></score-partwise>";
}

class ImportCommandTest : public ::testing::Test {
protected:
    test::LocaleGuard m_locale{test::German()};
    QTemporaryDir m_dir;
};

TEST_F(ImportCommandTest, WritesThePieceFileAndSaysWhatItDid) {
    const QString out = m_dir.filePath(QStringLiteral("choral.txt"));
    const Result result = RunCli({"import", "-o", out, kChorale});
    ASSERT_EQ(result.status, kExitOk) << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_TRUE(
        result.err.startsWith(QStringLiteral("zwei-systeme.musicxml: 4 Stimmen, 31 Zeilen\n")))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("Titel: Morgenchoral in G-Dur")));
    EXPECT_TRUE(result.err.contains(QStringLiteral("Viertel = 66; im Feld \"1/4 pro min\" steht "
                                                   "dafür 165")));

    const QStringList lines = ReadTextLines(out).value_or(QStringList());
    ASSERT_GE(lines.size(), 34);
    EXPECT_EQ(lines[0], QStringLiteral("Klangfarbe 75 50 30 15 10 5"));
    EXPECT_EQ(lines[1], QStringLiteral("^ Titel: Morgenchoral in G-Dur"));
    EXPECT_EQ(lines[2], QStringLiteral("^ Tempo: Viertel = 66, im Feld \"1/4 pro min\" 165"));
    // The pickup's G major chord: G3 B3 B4 D5 (the octave B4 needs no digit), the key first.
    EXPECT_EQ(lines[3].left(26), QStringLiteral("g    8    ghhd            "));

    // Loaded again, the file gives the rows the import wrote; the comment lines are skipped.
    PieceTable table;
    LoadPieceText(table, ReadTextFile(out).value_or(QString()));
    EXPECT_EQ(table.Cell(PieceTable::kKeyColumn, 1), QStringLiteral("g"));
    EXPECT_EQ(table.Cell(PieceTable::kChordColumn, 1), QStringLiteral("ghhd"));
}

TEST_F(ImportCommandTest, ReadsCompressedScoresAndStandardInput) {
    const Result plain = RunCli({"import", kChorale});
    const Result compressed = RunCli({"import", kCompressed});
    const Result piped = RunCli({"import", "-"}, FileBytes(kCompressed));
    ASSERT_EQ(plain.status, kExitOk);
    EXPECT_EQ(compressed.status, kExitOk) << compressed.err.toStdString();
    EXPECT_EQ(piped.status, kExitOk) << piped.err.toStdString();
    EXPECT_EQ(compressed.out, plain.out);
    EXPECT_EQ(piped.out, plain.out);
    EXPECT_TRUE(piped.err.startsWith(QStringLiteral("Standardeingabe: 4 Stimmen")));
}

TEST_F(ImportCommandTest, KeysEqualPutsATildeIntoEveryRow) {
    const Result result = RunCli({"import", "--keys", "equal", kChorale});
    ASSERT_EQ(result.status, kExitOk);
    int rows = 0;
    for (const QString& line : result.out.split(QStringLiteral("\r\n"))) {
        if (line.isEmpty() || line.startsWith(u'^') || line.startsWith(QStringLiteral("Klang")) ||
            line.trimmed().isEmpty()) {
            continue;
        }
        EXPECT_TRUE(line.startsWith(QStringLiteral("~    "))) << line.toStdString();
        ++rows;
    }
    EXPECT_EQ(rows, 31);
}

TEST_F(ImportCommandTest, NamesTheRowsWhoseChordAPieceFileCuts) {
    const QString score = m_dir.filePath(QStringLiteral("weit.musicxml"));
    {
        QFile file(score);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        // Six tones more than an octave apart: each needs its digit and its sharp.
        file.write(ChordScore(
            {{'C', 1, 1}, {'F', 1, 1}, {'A', 1, 3}, {'D', 1, 5}, {'G', 1, 6}, {'C', 1, 8}}));
    }
    const QString out = m_dir.filePath(QStringLiteral("weit.txt"));
    const Result result = RunCli({"import", "-o", out, score});
    ASSERT_EQ(result.status, kExitOk) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("mehr als 16 Zeichen")));
    EXPECT_TRUE(result.err.contains(QStringLiteral("Zeile 1"))) << result.err.toStdString();
    // The file is written all the same, its chord cut to the field.
    PieceTable table;
    LoadPieceText(table, ReadTextFile(out).value_or(QString()));
    EXPECT_EQ(table.Cell(PieceTable::kChordColumn, 1).size(), 16);

    // A piece command reads the score itself and keeps every tone.
    const Result computed = RunCli({"compute", "--keys", "equal", "--tsv", score});
    ASSERT_EQ(computed.status, kExitOk) << computed.err.toStdString();
    const QStringList cells = computed.out.split(u'\n').value(1).split(u'\t');
    ASSERT_EQ(cells.size(), 5);
    EXPECT_EQ(cells[2], QStringLiteral("C1#F1#a#d2#g3#c5#"));
    EXPECT_EQ(cells[3].split(u' ', Qt::SkipEmptyParts).size(), 6);
}

TEST_F(ImportCommandTest, MoreThanEightTonesAreReportedWithTheirRow) {
    const QString score = m_dir.filePath(QStringLiteral("voll.musicxml"));
    {
        QFile file(score);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ChordScore({{'C', 0, 2},
                               {'C', 0, 3},
                               {'G', 0, 3},
                               {'C', 0, 4},
                               {'E', 0, 4},
                               {'G', 0, 4},
                               {'C', 0, 5},
                               {'E', 0, 5},
                               {'G', 0, 5},
                               {'C', 0, 6}}));
    }
    const Result result = RunCli({"import", score});
    ASSERT_EQ(result.status, kExitOk);
    EXPECT_TRUE(result.err.contains(QStringLiteral("Zeile 1: 10 Töne klingen zugleich, Zirkelon "
                                                   "spielt höchstens 8; ausgelassen:")))
        << result.err.toStdString();
}

TEST_F(ImportCommandTest, RefusesWhatIsNoPlayableScore) {
    const QString out = m_dir.filePath(QStringLiteral("nichts.txt"));
    const struct {
        QStringList args;
        int status;
        const char* message;
    } cases[] = {
        {{"import", "-o", out, kMicrotones}, kExitUserError, "Mikroton"},
        {{"import", "-o", out, kPieceFile}, kExitUserError, "keine MusicXML-Partitur"},
        {{"import", "-o", out, "/gibt/es/nicht.mxl"}, kExitUserError, "kann nicht gelesen werden"},
        {{"import", "--keys", "automatisch", kChorale}, kExitUsage, "Unbekannte Tonartenspalte"},
        {{"midi", "--keys", "x", "-o", out, kChorale}, kExitUsage, "Unbekannte Tonartenspalte"},
        {{"import"}, kExitUsage, "Die Partitur fehlt."},
        {{"import", kChorale, kChorale}, kExitUsage, "Nur eine Partitur"},
        // A piece brings its own keys.
        {{"compute", "--keys", "equal", kPieceFile}, kExitUserError, "--keys signature und equal"},
        {{"compute", "--keys", "signature", "--example", "Kommafalle"},
         kExitUserError,
         "--keys signature und equal"},
    };
    for (const auto& c : cases) {
        const Result result = RunCli(c.args);
        EXPECT_EQ(result.status, c.status) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains(QString::fromUtf8(c.message)))
            << c.args.join(u' ').toStdString() << ": " << result.err.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << "nothing is written for a refused score";
    }
}

// The seconds "render" reports: "choral.wav: 31 Akkorde, 29,1 Sekunden".
double ReportedSeconds(const QString& out) {
    const QString number = out.section(QStringLiteral(", "), -1).section(u' ', 0, 0);
    return QLocale().toDouble(number); // the test runs in German: "29,1"
}

TEST_F(ImportCommandTest, PieceCommandsPlayTheScoreAtItsTempo) {
    const QString wav = m_dir.filePath(QStringLiteral("choral.wav"));
    const Result atScoreTempo = RunCli({"render", "-o", wav, kCompressed});
    ASSERT_EQ(atScoreTempo.status, kExitOk) << atScoreTempo.err.toStdString();
    EXPECT_TRUE(atScoreTempo.err.contains(QStringLiteral("zwei-systeme.mxl: 4 Stimmen, 31 Zeilen")))
        << atScoreTempo.err.toStdString();
    const Result atFieldTempo = RunCli({"render", "--tempo", "80", "-o", wav, kCompressed});
    ASSERT_EQ(atFieldTempo.status, kExitOk);
    // The chorale lasts 33 quarters, 264 32nds. Quarter = 66 is the field's 165, where a 32nd
    // lasts round(1875 / 165) = 11 hundredths; at the field's 80 it lasts 23. The short rests
    // before re-struck top tones add a little to both.
    const double scoreTempo = ReportedSeconds(atScoreTempo.out);
    const double fieldTempo = ReportedSeconds(atFieldTempo.out);
    EXPECT_GE(scoreTempo, 29.04) << atScoreTempo.out.toStdString();
    EXPECT_LT(scoreTempo, 29.5) << atScoreTempo.out.toStdString();
    EXPECT_GE(fieldTempo, 60.72) << atFieldTempo.out.toStdString();
    EXPECT_LT(fieldTempo, 61.2) << atFieldTempo.out.toStdString();
}

} // namespace
} // namespace zk::cli
