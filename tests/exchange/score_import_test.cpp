// SPDX-License-Identifier: GPL-3.0-or-later
// Whole scores through the import: chorales written for these tests, MusicXML that MuseScore made
// of Zirkelon's own MIDI files, and every test-suite score computed by the pass in equal
// temperament and in its key signatures; the report of an import, the tempo field's value, and
// which bytes are taken for a score.
#include "exchange/score_rows.h"

#include "app/cli/cli.h"
#include "common/qt_printers.h"
#include "exchange/score_file.h"
#include "exchange/score_import.h"
#include "exchange/score_table.h"
#include "piece/compute_pass.h"
#include "piece/piece_table.h"
#include "piece/recording_pass_host.h"
#include "support/program_files.h"

#include "engine/key_scale.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace zk {
namespace {

const QString kData = QStringLiteral(ZK_TEST_DATA_DIR "/exchange/musicxml");

ImportedScore Import(const QString& relativePath) {
    return ImportScoreFile(kData + u'/' + relativePath);
}

// The frequencies the pass gives each row of `rows` written with `keys`, one list a row, in the
// order of the row's tones; rests give an empty list.
std::vector<std::vector<long double>> PlayedFrequencies(const std::vector<ScoreRow>& rows,
                                                        ScoreKeyColumn keys) {
    PieceTable table;
    WriteScoreRows(rows, keys, table);
    TonartScale scale;
    PassSettings settings;
    settings.onlyCompute = false;
    test::RecordingPassHost host;
    ComputePass(0, table, scale, settings, host);
    std::vector<std::vector<long double>> played;
    for (const auto& chord : host.played) {
        std::vector<long double> frequencies;
        for (int i = 0; i < ChordFrequencies::kSlots && chord.frequencies[i] > 0; ++i) {
            frequencies.push_back(chord.frequencies[i]);
        }
        played.push_back(frequencies);
    }
    return played;
}

// ---------------------------------------------------------------- chorales of our own

TEST(Chorales, GiveTheRowsDerivedByHand) {
    const struct {
        const char* score;
        const char* rows;
    } cases[] = {
        {"chorales/zwei-systeme.musicxml", "chorales/zwei-systeme.rows"},
        {"chorales/zwei-systeme-timewise.musicxml", "chorales/zwei-systeme.rows"}, // same music
        {"chorales/zwei-systeme.mxl", "chorales/zwei-systeme.rows"},               // compressed
        {"chorales/vier-stimmen.musicxml", "chorales/vier-stimmen.rows"},
    };
    for (const auto& c : cases) {
        const QStringList expected = test::ReadRowsFile(kData + u'/' + QString::fromUtf8(c.rows));
        ASSERT_FALSE(expected.isEmpty()) << c.rows;
        const QStringList actual = test::NeutralRows(Import(QString::fromUtf8(c.score)).rows);
        EXPECT_TRUE(actual == expected) << c.score << "\n"
                                        << test::RowDifferences(expected, actual).toStdString();
    }
}

TEST(Chorales, BringTitleTempoAndVoices) {
    const struct {
        const char* score;
        const char* title;
        double tempo;
        int voices;
    } cases[] = {
        // Title from <work-title>, tempo from a direction with a metronome mark and a sound.
        {"chorales/zwei-systeme.musicxml", "Morgenchoral in G-Dur", 66, 4},
        // Title from <movement-title> alone, tempo from a bare <sound> in a measure.
        {"chorales/vier-stimmen.musicxml", "Abendchoral für vier Stimmen", 80, 4},
    };
    for (const auto& c : cases) {
        const Score score = Import(QString::fromUtf8(c.score)).score;
        EXPECT_EQ(score.title, QString::fromUtf8(c.title));
        ASSERT_TRUE(score.quarterTempo.has_value()) << c.score;
        EXPECT_DOUBLE_EQ(*score.quarterTempo, c.tempo);
        EXPECT_EQ(score.voiceCount, c.voices);
    }
}

// ---------------------------------------------------------------- MuseScore as producer

struct ManifestEntry {
    QString file;
    QString caption;
    std::vector<std::vector<int>> chords;
};

std::vector<ManifestEntry> ReadManifest() {
    std::vector<ManifestEntry> entries;
    const auto lines = ReadTextLines(kData + QStringLiteral("/musescore/manifest.txt"));
    for (const QString& line : lines.value_or(QStringList())) {
        if (line.startsWith(u'#') || line.trimmed().isEmpty()) {
            continue;
        }
        const QStringList fields = line.split(u'|');
        if (fields.size() != 3) {
            continue;
        }
        ManifestEntry entry{fields[0].trimmed(), fields[1].trimmed(), {}};
        for (const QString& chord : fields[2].split(u';', Qt::SkipEmptyParts)) {
            std::vector<int> keys;
            for (const QString& key : chord.split(u',', Qt::SkipEmptyParts)) {
                keys.push_back(key.trimmed().toInt());
            }
            entry.chords.push_back(keys);
        }
        entries.push_back(entry);
    }
    return entries;
}

TEST(MuseScoreRoundTrip, EveryChordOfTheMidiFileStartsInTheScore) {
    const auto entries = ReadManifest();
    ASSERT_GE(entries.size(), 9U);
    for (const ManifestEntry& entry : entries) {
        const Score score = Import(QStringLiteral("musescore/") + entry.file).score;
        // The notes that begin together are the chord the MIDI file struck at that moment.
        std::vector<std::vector<int>> chords;
        std::optional<Rational> onset;
        for (const ScoreNote& note : score.notes) {
            if (!onset || note.start != *onset) {
                chords.emplace_back();
                onset = note.start;
            }
            chords.back().push_back(note.pitch.MidiKey());
        }
        for (auto& chord : chords) {
            std::sort(chord.begin(), chord.end());
        }
        EXPECT_EQ(chords, entry.chords) << entry.file.toStdString();
    }
}

TEST(MuseScoreRoundTrip, InEqualTemperamentEveryToneSoundsAtItsMidiKey) {
    for (const ManifestEntry& entry : ReadManifest()) {
        const ImportedScore imported = Import(QStringLiteral("musescore/") + entry.file);
        const auto played = PlayedFrequencies(imported.rows, ScoreKeyColumn::Equal);
        ASSERT_EQ(played.size(), imported.rows.size()) << entry.file.toStdString();
        for (std::size_t r = 0; r < played.size(); ++r) {
            const auto& tones = imported.rows[r].tones;
            ASSERT_EQ(played[r].size(), tones.size())
                << entry.file.toStdString() << " row " << r + 1;
            for (std::size_t i = 0; i < tones.size(); ++i) {
                const long double expected = test::EqualTemperedFrequency(tones[i].pitch.MidiKey());
                EXPECT_NEAR(played[r][i] / expected, 1.0L, test::kLetterPrecision)
                    << entry.file.toStdString() << " row " << r + 1 << " tone " << i + 1;
            }
        }
    }
}

// ---------------------------------------------------------------- every suite score, computed

QStringList ImportableSuiteFiles() {
    QStringList files;
    const QDir suite(kData + QStringLiteral("/suite"));
    for (const QString& file :
         suite.entryList({QStringLiteral("*.xml"), QStringLiteral("*.mxl")}, QDir::Files)) {
        try {
            ImportScoreFile(suite.filePath(file));
            files.append(file);
        } catch (const ScoreError&) {
        }
    }
    return files;
}

// In key "~" the chord cells must give exactly the written pitches: the proof that letters,
// octave registers, accidentals and the omitted octave digits are right.
TEST(SuiteComputed, InEqualTemperamentEveryToneIsItsMidiKey) {
    const QStringList files = ImportableSuiteFiles();
    ASSERT_GE(files.size(), 140); // 166 less microtones and scores without a pitched note
    for (const QString& file : files) {
        const ImportedScore imported = Import(QStringLiteral("suite/") + file);
        const auto played = PlayedFrequencies(imported.rows, ScoreKeyColumn::Equal);
        ASSERT_EQ(played.size(), imported.rows.size()) << file.toStdString();
        for (std::size_t r = 0; r < played.size(); ++r) {
            const auto& tones = imported.rows[r].tones;
            ASSERT_EQ(played[r].size(), tones.size()) << file.toStdString() << " row " << r + 1;
            for (std::size_t i = 0; i < tones.size(); ++i) {
                EXPECT_NEAR(played[r][i] / test::EqualTemperedFrequency(tones[i].pitch.MidiKey()),
                            1.0L, test::kLetterPrecision)
                    << file.toStdString() << " row " << r + 1 << " tone " << i + 1;
            }
        }
    }
}

// In the key signatures' just keys every tone is snapped to a degree, but stays in its octave
// and beside its tempered pitch (half the just scale's widest step, 5/3 to 9/5, is 67 cents): no
// omitted digit may throw a tone into another octave.
TEST(SuiteComputed, InTheSignaturesKeysEveryToneStaysBesideItsTemperedPitch) {
    for (const QString& file : ImportableSuiteFiles()) {
        const ImportedScore imported = Import(QStringLiteral("suite/") + file);
        const auto played = PlayedFrequencies(imported.rows, ScoreKeyColumn::Signature);
        ASSERT_EQ(played.size(), imported.rows.size()) << file.toStdString();
        for (std::size_t r = 0; r < played.size(); ++r) {
            const auto& tones = imported.rows[r].tones;
            ASSERT_EQ(played[r].size(), tones.size()) << file.toStdString() << " row " << r + 1;
            for (std::size_t i = 0; i < tones.size(); ++i) {
                const long double cents =
                    1200 * std::log2(played[r][i] /
                                     test::EqualTemperedFrequency(tones[i].pitch.MidiKey()));
                EXPECT_LT(std::fabs(cents), 70)
                    << file.toStdString() << " row " << r + 1 << " tone " << i + 1;
            }
        }
    }
}

// ---------------------------------------------------------------- the report

constexpr int C = 0, D = 1, E = 2, F = 3, G = 4, A = 5;

SpelledPitch P(int step, int alter, int octave) {
    return {step, alter, octave};
}

ScoreRow ReportRow(const Rational& length, const std::vector<SpelledPitch>& tones,
                   const std::vector<SpelledPitch>& dropped = {}) {
    ScoreRow row;
    row.length = length;
    for (const SpelledPitch& pitch : tones) {
        row.tones.push_back({pitch, 0, QStringLiteral("1"), 0, 0});
    }
    for (const SpelledPitch& pitch : dropped) {
        row.dropped.push_back({pitch, 0, QStringLiteral("1"), 0, 0});
    }
    return row;
}

QStringList Report(const std::vector<ScoreRow>& rows) {
    ImportedScore imported;
    imported.score.voiceCount = 4;
    imported.rows = rows;
    return ImportReport(imported, QStringLiteral("/noten/choral.musicxml"));
}

// A C major chord over three octaves with the doubled c1 left out: nine tones, eight played.
ScoreRow CrowdedRow() {
    return ReportRow(1,
                     {P(C, 0, 3), P(E, 0, 3), P(G, 0, 3), P(C, 0, 4), P(E, 0, 4), P(G, 0, 4),
                      P(C, 0, 5), P(E, 0, 5)},
                     {P(C, 0, 4)});
}

// C#1 F#1 a#3 d#5 g#6 c#8: every tone needs its digit and its sharp, 17 letters in all.
ScoreRow WideRow() {
    return ReportRow(1, {P(C, 1, 1), P(F, 1, 1), P(A, 1, 3), P(D, 1, 5), P(G, 1, 6), P(C, 1, 8)});
}

TEST(ImportReport, NamesTwelveCrowdedRowsAndCountsTheOthers) {
    const QString left = QStringLiteral(": 9 Töne klingen zugleich, Zirkelon spielt höchstens 8; "
                                        "ausgelassen: c1");
    for (const int crowded : {12, 13, 20}) {
        SCOPED_TRACE(crowded);
        const QStringList lines = Report(std::vector<ScoreRow>(crowded, CrowdedRow()));
        EXPECT_EQ(lines.value(0),
                  QStringLiteral("choral.musicxml: 4 Stimmen, %1 Zeilen").arg(crowded));
        for (int row = 1; row <= crowded; ++row) {
            EXPECT_EQ(lines.contains(QStringLiteral("Zeile %1").arg(row) + left), row <= 12) << row;
        }
        const QString more =
            QStringLiteral("… und %1 weitere Zeilen mit mehr als acht Tönen.").arg(crowded - 12);
        EXPECT_EQ(lines.contains(more), crowded > 12);
        EXPECT_LE(lines.filter(QStringLiteral("… und")).size(), 1);
    }
}

TEST(ImportReport, NamesTheCellsAPieceFileCuts) {
    // C1 F1# a# d2# g3# c5# is 16 letters, exactly the chord field; eight fifteenths of a
    // quarter are "64/15" 32nds, five letters, exactly the duration field. Neither is cut.
    const ScoreRow fits = ReportRow(
        Rational(8, 15), {P(C, 0, 1), P(F, 1, 1), P(A, 1, 3), P(D, 1, 5), P(G, 1, 6), P(C, 1, 8)});
    ASSERT_EQ(ChordText(fits.tones), QStringLiteral("C1F1#a#d2#g3#c5#"));
    ASSERT_EQ(DurationText(fits.length), QStringLiteral("64/15"));
    const QStringList nothing = Report({fits, fits});
    EXPECT_TRUE(nothing.filter(QStringLiteral("Zeichen")).isEmpty())
        << nothing.join(u'\n').toStdString();

    // A chord of 17 letters and a duration of six ("128/15") are named by their rows.
    ScoreRow longer = fits;
    longer.length = Rational(16, 15);
    const QStringList named = Report({fits, WideRow(), longer});
    EXPECT_TRUE(named.contains(QStringLiteral(
        "Akkorde mit mehr als 16 Zeichen (eine Stückdatei kürzt sie, die Tabelle und die Befehle "
        "nicht): Zeile 2")))
        << named.join(u'\n').toStdString();
    EXPECT_TRUE(named.contains(QStringLiteral(
        "Dauern mit mehr als 5 Zeichen (eine Stückdatei kürzt sie, die Tabelle und die Befehle "
        "nicht): Zeile 3")))
        << named.join(u'\n').toStdString();
}

TEST(ImportReport, ListsTwelveRowsByNumberAndCountsTheOthers) {
    const QString head = QStringLiteral("Akkorde mit mehr als 16 Zeichen (eine Stückdatei kürzt "
                                        "sie, die Tabelle und die Befehle nicht): ");
    const QString twelve = QStringLiteral("Zeilen 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12");
    const struct {
        int rows;
        QString line;
    } cases[] = {
        {12, head + twelve},
        {13, head + twelve + QStringLiteral(" und 1 weitere")},
        {15, head + twelve + QStringLiteral(" und 3 weitere")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        const QStringList lines = Report(std::vector<ScoreRow>(c.rows, WideRow()));
        EXPECT_TRUE(lines.contains(c.line)) << lines.join(u'\n').toStdString();
    }
}

TEST(TempoFieldValue, IsTheNearestValueOfTheField) {
    // Two and a half times the quarters a minute, to the nearest whole value.
    const struct {
        double quarterTempo;
        int value;
    } cases[] = {
        {72, 180}, {66, 165}, {80, 200}, {100.3, 251}, {100.1, 250}, {50.3, 126}, {50.9, 127},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TempoFieldValue(c.quarterTempo), c.value) << c.quarterTempo;
    }
}

// ---------------------------------------------------------------- files that are no piece

TEST(IsScoreFileBytes, AnXmlDocumentOrAnArchiveIsAScore) {
    const QByteArray score = "<?xml version=\"1.0\"?>\n<score-partwise/>\n";
    const QString utf16 = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
    QByteArray littleEndian = "\xFF\xFE";
    QByteArray bigEndian = "\xFE\xFF";
    for (const QChar c : utf16) {
        littleEndian.append(static_cast<char>(c.unicode() & 0xFF)).append('\0');
        bigEndian.append('\0').append(static_cast<char>(c.unicode() & 0xFF));
    }
    const struct {
        const char* what;
        QByteArray bytes;
        bool score;
    } cases[] = {
        {"declaration", score, true},
        {"bare root", "<score-partwise version=\"4.0\"/>", true},
        // Blank lines and blanks before the document, as some editors leave them.
        {"line breaks first", "\r\n\r\n" + score, true},
        {"unix line breaks and blanks first", "\n\t \n" + score, true},
        {"UTF-8 byte order mark", "\xEF\xBB\xBF" + score, true},
        {"UTF-16 little-endian", littleEndian, true},
        {"UTF-16 big-endian", bigEndian, true},
        {"zip archive", QByteArray("PK\x03\x04\x14\0\0\0", 8), true},
        // Piece texts begin with their timbre line or a row.
        {"piece text", "Klangfarbe 75 50 30 15 10 5\r\nc    8    ceg\r\n", false},
        {"row first", "\r\nc    8    ceg\r\n", false},
        {"blanks only", " \r\n\t", false},
        {"empty", "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsScoreFileBytes(c.bytes), c.score) << c.what;
    }
}

TEST(LoadPieceOrScore, BinaryBytesAreNoPieceButACompressedScoreIsAScore) {
    std::mt19937 random(3000);
    QByteArray bytes = "x";
    for (int i = 0; i < 3000; ++i) {
        bytes += static_cast<char>(random() % 256);
    }
    ASSERT_FALSE(IsScoreFileBytes(bytes));
    ASSERT_TRUE(bytes.contains('\0'));

    PieceTable table;
    table.SetCell(0, 1, QStringLiteral("c"));
    table.SetCell(2, 1, QStringLiteral("ceg"));
    const int rows = table.RowCount();
    try {
        LoadPieceOrScore(bytes, ScoreKeyColumn::Signature, table);
        ADD_FAILURE() << "random bytes loaded as a piece";
    } catch (const Error& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("Steuerzeichen")))
            << error.message().toStdString();
        EXPECT_TRUE(error.message().contains(QStringLiteral("keine Textdatei")));
    }
    EXPECT_EQ(table.Cell(0, 1), QStringLiteral("c"));
    EXPECT_EQ(table.Cell(2, 1), QStringLiteral("ceg"));
    EXPECT_EQ(table.RowCount(), rows);

    // The command line says so and fails.
    cli::Io io;
    io.readStdin = [bytes] { return bytes; };
    EXPECT_EQ(cli::Run({QStringLiteral("compute"), QStringLiteral("-")}, io), cli::kExitUserError);
    EXPECT_TRUE(io.err.contains(QStringLiteral("keine Textdatei"))) << io.err.toStdString();
    EXPECT_TRUE(io.out.isEmpty()) << io.out.toStdString();

    // A .mxl archive is binary too, and a score.
    const QByteArray archive =
        ReadScoreFileBytes(kData + QStringLiteral("/chorales/zwei-systeme.mxl"));
    ASSERT_TRUE(archive.contains('\0'));
    const OpenedPiece opened = LoadPieceOrScore(archive, ScoreKeyColumn::Signature, table);
    ASSERT_TRUE(opened.score.has_value());
    EXPECT_FALSE(opened.score->rows.empty());
}

} // namespace
} // namespace zk
