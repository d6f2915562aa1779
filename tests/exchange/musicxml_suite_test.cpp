// SPDX-License-Identifier: GPL-3.0-or-later
// The public MusicXML test suite (tests/data/exchange/musicxml/suite, MIT licence): every file
// imports or is refused with a German message, and the files of the features Zirkelon plays give
// exactly the rows recorded in suite-rows/ (derived from the scores by hand and by an independent
// reader).
#include "exchange/score_rows.h"

#include "exchange/score_file.h"
#include "exchange/score_import.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <gtest/gtest.h>

namespace zk {
namespace {

const QString kSuite = QStringLiteral(ZK_TEST_DATA_DIR "/exchange/musicxml/suite");
const QString kSuiteRows = QStringLiteral(ZK_TEST_DATA_DIR "/exchange/musicxml/suite-rows");

QStringList SuiteFiles() {
    return QDir(kSuite).entryList({QStringLiteral("*.xml"), QStringLiteral("*.mxl")}, QDir::Files,
                                  QDir::Name);
}

// The files as test parameters: plain strings, which GoogleTest prints as text.
std::vector<std::string> Parameters(const QStringList& files) {
    std::vector<std::string> parameters;
    for (const QString& file : files) {
        parameters.push_back(file.toStdString());
    }
    return parameters;
}

QString Stem(const QString& file) {
    return file.section(u'.', 0, 0);
}

// A test name gtest accepts: letters and digits only.
std::string TestName(const QString& file) {
    QString name = Stem(file);
    for (QChar& c : name) {
        if (!c.isLetterOrNumber()) {
            c = u'_';
        }
    }
    return name.toStdString();
}

class SuiteFile : public ::testing::TestWithParam<std::string> {
protected:
    QString File() const { return QString::fromStdString(GetParam()); }
};

TEST_P(SuiteFile, ImportsOrIsRefusedWithAMessage) {
    const QString path = kSuite + u'/' + File();
    try {
        const ImportedScore imported = ImportScoreFile(path);
        EXPECT_FALSE(imported.rows.empty());
        Rational total;
        for (const ScoreRow& row : imported.rows) {
            EXPECT_GT(row.length, Rational(0));
            EXPECT_LE(row.tones.size(), 8U);
            total += row.length;
        }
        EXPECT_EQ(total, imported.score.end) << "the rows last as long as the score";
        EXPECT_TRUE(imported.rows.front().key.has_value()) << "the first row names its key";
    } catch (const ScoreError& error) {
        EXPECT_FALSE(error.message().isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(All, SuiteFile, ::testing::ValuesIn(Parameters(SuiteFiles())),
                         [](const auto& info) {
                             return TestName(QString::fromStdString(info.param));
                         });

// The files of pitches, rests, rhythm, chords, voices, staves, ties, grace notes, tuplets,
// transposition, percussion and compression that have recorded rows.
QStringList RecordedFiles() {
    QStringList files;
    for (const QString& file : SuiteFiles()) {
        if (QFile::exists(kSuiteRows + u'/' + Stem(file) + QStringLiteral(".rows"))) {
            files.append(file);
        }
    }
    return files;
}

class RecordedRows : public ::testing::TestWithParam<std::string> {
protected:
    QString File() const { return QString::fromStdString(GetParam()); }
};

TEST_P(RecordedRows, AreTheRowsTheScoreMeans) {
    const QStringList expected =
        test::ReadRowsFile(kSuiteRows + u'/' + Stem(File()) + QStringLiteral(".rows"));
    ASSERT_FALSE(expected.isEmpty());
    const ImportedScore imported = ImportScoreFile(kSuite + u'/' + File());
    const QStringList actual = test::NeutralRows(imported.rows);
    EXPECT_TRUE(actual == expected) << test::RowDifferences(expected, actual).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Suite, RecordedRows, ::testing::ValuesIn(Parameters(RecordedFiles())),
                         [](const auto& info) {
                             return TestName(QString::fromStdString(info.param));
                         });

TEST(RecordedRows, CoverEveryGroupOfPlayedFeatures) {
    // 85 files of these groups, less the two with microtones and the eight without a pitched note.
    int recorded = 0;
    for (const QString& file : SuiteFiles()) {
        static const QStringList groups = {
            QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03"), QStringLiteral("21"),
            QStringLiteral("22"), QStringLiteral("23"), QStringLiteral("24"), QStringLiteral("33"),
            QStringLiteral("41"), QStringLiteral("42"), QStringLiteral("43"), QStringLiteral("72"),
            QStringLiteral("73"), QStringLiteral("90")};
        if (groups.contains(file.left(2)) && RecordedFiles().contains(file)) {
            ++recorded;
        }
    }
    EXPECT_EQ(recorded, 75);
}

// The files the importer must refuse, and a word its message must hold.
TEST(SuiteRefusals, NameTheReason) {
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {
        {"01d-Pitches-Microtones.xml", "Mikroton"},
        {"01f-Pitches-ParenthesizedMicrotoneAccidentals.xml", "Mikroton"},
        {"02a-Rests-Durations.xml", "keinen Ton mit Tonhöhe"},
        {"02c-Rests-MultiMeasureRests.xml", "keinen Ton mit Tonhöhe"},
        {"41b-MultiParts-MoreThan10.xml", "keinen Ton mit Tonhöhe"},
        {"43g-MultiStaff-PartSymbol.xml", "keinen Ton mit Tonhöhe"},
    };
    for (const auto& c : cases) {
        try {
            ImportScoreFile(kSuite + u'/' + QString::fromUtf8(c.file));
            ADD_FAILURE() << c.file << " was imported";
        } catch (const ScoreError& error) {
            EXPECT_TRUE(error.message().contains(QString::fromUtf8(c.reason)))
                << c.file << ": " << error.message().toStdString();
        }
    }
}

TEST(SuiteRefusals, MicrotoneNamesMeasureAndPart) {
    try {
        ImportScoreFile(kSuite + QStringLiteral("/01d-Pitches-Microtones.xml"));
        FAIL() << "a microtone was imported";
    } catch (const ScoreError& error) {
        EXPECT_TRUE(error.message().startsWith(QStringLiteral("Takt 1, Stimme \"")))
            << error.message().toStdString();
    }
}

} // namespace
} // namespace zk
