// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/example_library.h"
#include "common/locale_guard.h"
#include "common/piece_rows.h"
#include "engine/key_scale.h"
#include "notation/drift_picture.h"
#include "piece/comma_drift.h"
#include "piece/compute_pass.h"
#include "piece/computed_drift.h"
#include "piece/piece_table.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace zk {
namespace {

constexpr long double kExact = 1e-9L; // cents

const long double kSyntonic = 1200 * std::log2(81.0L / 80.0L);
const long double kPythagorean = 1200 * std::log2(531441.0L / 524288.0L);

// An example as the menu loads it, computed as "Rechne" does.
DriftData ExampleDrift(const char* caption) {
    const ExampleEntry* entry = FindExample(QString::fromUtf8(caption));
    EXPECT_NE(entry, nullptr) << caption;
    if (entry == nullptr) {
        return {};
    }
    PieceTable table;
    BuildExampleTable(*entry, table);
    return test::DriftOfTable(table);
}

const DriftRow* RowWithKey(const DriftData& data, const QString& key) {
    for (const DriftRow& row : data.rows) {
        if (row.keyEntered && row.keyText == key) {
            return &row;
        }
    }
    return nullptr;
}

const DriftRow* RowWithChord(const DriftData& data, const QString& chord) {
    for (const DriftRow& row : data.rows) {
        if (row.chord == chord) {
            return &row;
        }
    }
    return nullptr;
}

// The comma trap never changes its key: its chords carry the commas. Each of the six cycles
// ends a syntonic comma below the one before, and the last chord is the first again.
TEST(ExampleDrift, TheCommaTrapSinksSixCommasAndReturns) {
    const DriftData data = ExampleDrift("Kommafalle");
    EXPECT_EQ(data.firstKey, 132);
    ASSERT_FALSE(data.rows.empty());
    for (const DriftRow& row : data.rows) {
        ASSERT_TRUE(row.tonic) << row.row;
        EXPECT_EQ(row.tonic->drift, 0) << row.row;
        EXPECT_EQ(row.tonic->lattice, (LatticePoint{0, 0})) << row.row;
    }
    // The chord before each rest ends a cycle.
    std::vector<const DriftRow*> cycleEnds;
    for (std::size_t i = 1; i < data.rows.size(); ++i) {
        if (data.rows[i].computed && data.rows[i].tones.empty()) {
            cycleEnds.push_back(&data.rows[i - 1]);
        }
    }
    ASSERT_EQ(cycleEnds.size(), 6U);
    for (std::size_t k = 1; k <= 6; ++k) {
        const DriftRow& end = *cycleEnds[k - 1];
        const QString marks(static_cast<qsizetype>(k), u'-');
        EXPECT_EQ(end.chord, QStringLiteral("c%1e1%1g%1c%1").arg(marks));
        ASSERT_EQ(end.tones.size(), 4U) << k;
        for (const DriftTone& tone : end.tones) {
            EXPECT_NEAR(tone.drift, -static_cast<long double>(k) * kSyntonic, kExact) << k;
        }
        // its c lies k commas (four fifths down, a third up each) from the first c
        EXPECT_EQ(end.tones.front().lattice,
                  (LatticePoint{-4 * static_cast<int>(k), static_cast<int>(k)}))
            << k;
    }
    // Within a cycle the fourth chord is the first to sink: the third keeps its comma in the d.
    const DriftRow* third = RowWithChord(data, u"ffad-"_qs);
    ASSERT_NE(third, nullptr);
    EXPECT_NEAR(third->tones.front().drift, 0, kExact);
    EXPECT_NEAR(third->tones.back().drift, -kSyntonic, kExact);
    const DriftRow& last = data.rows.back();
    EXPECT_EQ(last.chord, u"ce1gc"_qs);
    EXPECT_NEAR(last.tones.front().drift, 0, kExact);
    EXPECT_EQ(last.tones.front().lattice, (LatticePoint{0, 0}));
    EXPECT_NEAR(data.LowestDrift(), -6 * kSyntonic, kExact);
    EXPECT_NEAR(data.LowestDrift(), -129.04, 0.01);
    EXPECT_EQ(data.HighestDrift(), 0);
}

// Twelve fifths up reach h#, a Pythagorean comma above c; twelve down reach d**, a comma
// below. The way back retraces every step and ends on the c it started from.
TEST(ExampleDrift, TheCircleOfFifthsMissesByThePythagoreanComma) {
    const DriftData data = ExampleDrift("Der Quintenzirkel");
    const struct {
        const char* key;
        long double drift;
        LatticePoint place;
    } keys[] = {
        {"g", 0, {1, 0}},
        {"a", kSyntonic, {3, 0}}, // a fifth-chain a is the a of C major and a comma
        {"h#", kPythagorean, {12, 0}},
        {"d**", -kPythagorean, {-12, 0}},
        {"b", -kSyntonic, {-2, 0}},
    };
    for (const auto& [key, drift, place] : keys) {
        const DriftRow* row = RowWithKey(data, QString::fromUtf8(key));
        ASSERT_NE(row, nullptr) << key;
        ASSERT_TRUE(row->tonic) << key;
        EXPECT_NEAR(row->tonic->drift, drift, kExact) << key;
        EXPECT_EQ(row->tonic->lattice, place) << key;
    }
    int cRows = 0;
    for (const DriftRow& row : data.rows) {
        if (row.keyEntered && row.keyText == u"c") {
            ++cRows;
            EXPECT_EQ(row.tonic->lattice, (LatticePoint{0, 0})) << row.row;
            EXPECT_NEAR(row.tonic->drift, 0, kExact) << row.row;
        }
    }
    EXPECT_GE(cRows, 4);
    // The comma itself, written into chords: c' a comma above c1, c1, one below.
    const DriftRow* up = RowWithChord(data, u"c1c'"_qs);
    ASSERT_NE(up, nullptr);
    ASSERT_EQ(up->tones.size(), 2U);
    EXPECT_NEAR(up->tones[0].drift, 0, kExact);
    EXPECT_NEAR(up->tones[1].drift, kPythagorean, kExact);
    const DriftRow* down = RowWithChord(data, u"c1,c1"_qs);
    ASSERT_NE(down, nullptr);
    EXPECT_NEAR(down->tones[0].drift, -kPythagorean, kExact);
    EXPECT_NEAR(data.HighestDrift(), kPythagorean, kExact);
    EXPECT_NEAR(data.LowestDrift(), -kPythagorean, kExact);
    // On the lattice h# is a separate place a comma from c, and so is d**.
    int commas = 0;
    for (const DriftNode& node : DriftLatticePathsOf(data).nodes) {
        if (node.comma) {
            ++commas;
            EXPECT_EQ(node.commaFrom, (LatticePoint{0, 0})) << node.label.toStdString();
            EXPECT_NEAR(std::fabs(node.commaCents), kPythagorean, kExact);
        }
    }
    EXPECT_EQ(commas, 2);
}

TEST(ExampleDrift, ACadenceInOneKeyIsFlat) {
    for (const char* caption : {"Kadenz C-Dur", "Dreiklang rein"}) {
        const DriftData data = ExampleDrift(caption);
        ASSERT_FALSE(data.rows.empty()) << caption;
        for (const DriftRow& row : data.rows) {
            EXPECT_EQ(row.tonic->drift, 0) << caption << " " << row.row;
            for (const DriftTone& tone : row.tones) {
                EXPECT_NEAR(tone.drift, 0, kExact) << caption << " " << row.row;
            }
        }
    }
}

class DriftCommandTest : public ::testing::Test {
protected:
    int Draw(const QStringList& args) {
        cli::Io io;
        const int status = cli::Run(QStringList{u"drift"_qs} + args, io);
        out = io.out;
        err = io.err;
        return status;
    }

    test::LocaleGuard m_locale{test::German()};
    QTemporaryDir dir;
    const QString png = dir.filePath(u"drift.png"_qs);
    QString out;
    QString err;
};

TEST_F(DriftCommandTest, WritesThePictureAndSaysWhatItShows) {
    ASSERT_EQ(Draw({u"-o"_qs, png, u"--example"_qs, u"Kommafalle"_qs}), cli::kExitOk)
        << err.toStdString();
    EXPECT_EQ(QImage(png).size(), QSize(1200, 600));
    EXPECT_EQ(out, png + u": 37 Zeilen, Abweichung von −129 bis 0 Cent\n"_qs);
    EXPECT_TRUE(err.isEmpty());
    // Another size, from a piece file, after "--".
    const QString piece = dir.filePath(u"-stueck.txt"_qs);
    QFile file(piece);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write((test::Row("c", "8", "ceg") + test::Row("g", "8", "gh")).toLatin1());
    file.close();
    ASSERT_EQ(
        Draw({u"--width"_qs, u"800"_qs, u"--height"_qs, u"240"_qs, u"-o"_qs, png, u"--"_qs, piece}),
        cli::kExitOk)
        << err.toStdString();
    EXPECT_EQ(QImage(png).size(), QSize(800, 240));
    EXPECT_EQ(out, png + u": 2 Zeilen, Abweichung von 0 bis 0 Cent\n"_qs);
}

TEST_F(DriftCommandTest, WrongUsageWritesNothing) {
    const QString example = u"Kommafalle"_qs;
    const std::pair<QStringList, QString> cases[] = {
        {{u"--example"_qs, example}, u"Die Ausgabedatei fehlt (-o AUSGABE.png)."_qs},
        {{u"-o"_qs, png}, u"Die Stückdatei fehlt (DATEI oder --example NAME)."_qs},
        {{u"--width"_qs, u"239"_qs, u"-o"_qs, png, u"--example"_qs, example},
         u"Ungültige Breite \"239\": möglich sind 240 bis 6000 Bildpunkte."_qs},
        {{u"--width"_qs, u"breit"_qs, u"-o"_qs, png, u"--example"_qs, example},
         u"Ungültige Breite \"breit\": möglich sind 240 bis 6000 Bildpunkte."_qs},
        {{u"--height"_qs, u"4001"_qs, u"-o"_qs, png, u"--example"_qs, example},
         u"Ungültige Höhe \"4001\": möglich sind 160 bis 4000 Bildpunkte."_qs},
        {{u"--height"_qs, u"-5"_qs, u"-o"_qs, png, u"--example"_qs, example},
         u"Ungültige Höhe \"-5\": möglich sind 160 bis 4000 Bildpunkte."_qs},
        {{u"--width"_qs}, u"Nach --width fehlt der Wert."_qs},
        {{u"--scale"_qs, u"1"_qs, u"-o"_qs, png, u"--example"_qs, example},
         u"Unbekannte Option \"--scale\"."_qs},
        {{u"-o"_qs, png, u"--example"_qs, example, u"x.txt"_qs},
         u"DATEI und --example schließen einander aus: das Stück kommt aus einer Datei oder aus "
         u"einem Beispiel."_qs},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(Draw(args), cli::kExitUsage) << args.join(u' ').toStdString();
        EXPECT_TRUE(
            err.startsWith(message + u"\nAufruf: zirkelon drift [--width B] [--height H]"_qs))
            << err.toStdString();
        EXPECT_FALSE(QFile::exists(png));
    }
}

TEST_F(DriftCommandTest, BadInputLeavesAnEarlierPictureAlone) {
    QFile earlier(png);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier");
    earlier.close();
    const struct {
        QStringList args;
        QString message;
    } cases[] = {
        {{u"-o"_qs, png, u"--example"_qs, u"Tanz"_qs},
         u"Unbekanntes Beispiel \"Tanz\". \"zirkelon example\" zeigt alle Beispiele.\n"_qs},
        {{u"-o"_qs, png, dir.filePath(u"fehlt.txt"_qs)},
         u"Die Datei \"%1\" kann nicht gelesen werden.\n"_qs.arg(dir.filePath(u"fehlt.txt"_qs))},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Draw(c.args), cli::kExitUserError);
        EXPECT_EQ(err, c.message);
        QFile file(png);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("earlier"));
    }
    // A folder that does not exist: nothing is written, and the program says so.
    const QString nowhere = dir.filePath(u"fehlt/drift.png"_qs);
    EXPECT_EQ(Draw({u"-o"_qs, nowhere, u"--example"_qs, u"Kommafalle"_qs}), cli::kExitUserError);
    EXPECT_EQ(
        err, u"Das Bild der Kommadrift kann nicht in die Datei \"%1\" geschrieben werden.\n"_qs.arg(
                 nowhere));
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST_F(DriftCommandTest, EveryExampleIsDrawn) {
    const QStringList captions = ExampleCaptions();
    ASSERT_GT(captions.size(), 20);
    for (const QString& caption : captions) {
        QFile::remove(png);
        EXPECT_EQ(Draw({u"--width"_qs, u"480"_qs, u"--height"_qs, u"240"_qs, u"-o"_qs, png,
                        u"--example"_qs, caption}),
                  cli::kExitOk)
            << caption.toStdString() << ": " << err.toStdString();
        EXPECT_EQ(QImage(png).size(), QSize(480, 240)) << caption.toStdString();
        EXPECT_TRUE(err.isEmpty()) << caption.toStdString() << ": " << err.toStdString();
    }
}

} // namespace
} // namespace zk
