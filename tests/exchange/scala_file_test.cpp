// SPDX-License-Identifier: GPL-3.0-or-later
// Scala files: the reader's rules and refusals, the keyboard mapping, the conversion into rows of
// the temperament list and back, well-known temperaments against their published construction,
// and the pitches in force at a row of a computed piece.
#include "exchange/scala_file.h"

#include "common/locale_guard.h"
#include "common/piece_rows.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "support/program_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace zk {
namespace {

using test::Row;

constexpr long double kCentTolerance = 0.001L;

long double Cents(long double ratio) {
    return 1200 * std::log2(ratio);
}

QString DataFile(const char* name) {
    const auto text = ReadTextFile(QStringLiteral(ZK_TEST_DATA_DIR "/exchange/") + name);
    EXPECT_TRUE(text.has_value()) << name;
    return text.value_or(QString());
}

QList<long double> CentsOf(const ScalaScale& scale) {
    QList<long double> cents;
    for (const ScalaPitch& pitch : scale.pitches) {
        cents.append(pitch.cents);
    }
    return cents;
}

// The twelve values of a row line, as the tempered scale reads them.
TemperamentValues ValuesOfLine(const QString& code, const QString& line) {
    const QString values = TemperamentList(QStringList{line}).FindTemperamentRow(code);
    TemperamentValues result{};
    for (int i = 0; i < 12; ++i) {
        result[static_cast<std::size_t>(i)] =
            QLocale().toDouble(values.split(u' ', Qt::SkipEmptyParts).value(i));
    }
    return result;
}

TemperamentValues Filled(long double value) {
    TemperamentValues values;
    values.fill(value);
    return values;
}

// ---------------------------------------------------------------------------------------------
// The reader

TEST(SclReader, ReadsTheFormatsForms) {
    const struct {
        const char* what;
        QString text;
        QString description;
        QList<long double> cents;
    } cases[] = {
        // Comments anywhere, also between the pitch lines and before the count.
        {"comments",
         "! a.scl\n!\nZwei Töne\n! count follows\n 2\n! first\n 700.0\n!\n!x\n 2/1\n",
         "Zwei Töne",
         {700, 1200}},
        // A first line starting with "!" is a comment, not the description.
        {"comment before description", "!Beschreibung?\nEcht\n1\n2/1\n", "Echt", {1200}},
        // Text after the first field of a pitch line is ignored.
        {"trailing text", "x\n2\n701.955 reine Quinte\n2/1 Oktave 1200.0\n", "x", {701.955L, 1200}},
        // "1200." is cents, "2" the ratio 2/1.
        {"period as 1200.", "x\n1\n1200.\n", "x", {1200}},
        {"period as whole number", "x\n1\n2\n", "x", {1200}},
        // Line ends of every kind.
        {"CR LF", "x\r\n2\r\n100.0\r\n2/1\r\n", "x", {100, 1200}},
        {"CR only", "x\r2\r100.0\r2/1\r", "x", {100, 1200}},
        // A count of 0 is a scale of the unison alone.
        {"count 0", "Nur 1/1\n0\n", "Nur 1/1", {}},
        // An empty description line is a description.
        {"empty description", "\n1\n2/1\n", "", {1200}},
        // Cents with a sign, without integer part; blanks and tabs around the fields; blank
        // lines after the description.
        {"signs and blanks",
         "x\n\n\t3\n -10.5\n+.5\n\t 3/2\t!\n\n",
         "x",
         {-10.5L, 0.5L, Cents(1.5L)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ScalaScale scale = ReadScl(c.text);
        EXPECT_EQ(scale.description, c.description);
        const QList<long double> cents = CentsOf(scale);
        ASSERT_EQ(cents.size(), c.cents.size());
        for (qsizetype i = 0; i < cents.size(); ++i) {
            EXPECT_NEAR(cents.at(i), c.cents.at(i), 1e-9L) << i;
        }
    }
}

TEST(SclReader, KeepsRatiosAsWritten) {
    const ScalaScale scale = ReadScl(QStringLiteral("x\n3\n81/80\n100.0\n2\n"));
    ASSERT_EQ(scale.pitches.size(), 3);
    EXPECT_EQ(scale.pitches.at(0).numerator, QStringLiteral("81"));
    EXPECT_EQ(scale.pitches.at(0).denominator, QStringLiteral("80"));
    EXPECT_TRUE(scale.pitches.at(1).numerator.isEmpty());
    EXPECT_TRUE(scale.pitches.at(1).denominator.isEmpty());
    EXPECT_EQ(scale.pitches.at(2).numerator, QStringLiteral("2"));
    EXPECT_EQ(scale.pitches.at(2).denominator, QStringLiteral("1"));
}

TEST(SclReader, RefusesBadFilesNamingTheLine) {
    test::LocaleGuard german(test::German());
    const struct {
        const char* what;
        QString text;
        const char* message; // a part of the message
    } cases[] = {
        // More pitch lines than the count says.
        {"too many pitches", "x\n1\n100.0\n2/1\n", "Zeile 4: Die Datei hat mehr Töne als die 1"},
        // Fewer: the file ends early.
        {"missing pitch", "x\n3\n100.0\n2/1\n", "Es fehlen 1 der 3 Töne, die Zeile 2 angibt"},
        {"missing count", "! c\nnur Beschreibung\n", "Die Anzahl der Töne fehlt"},
        {"comments only", "! a\n! b\n", "nur Kommentare"},
        {"empty", "", "nur Kommentare"},
        {"count not a number", "x\nzwölf\n", "Zeile 2: \"zwölf\" ist keine Anzahl"},
        {"negative count", "x\n-2\n", "Zeile 2: \"-2\" ist keine Anzahl"},
        {"count too large", "x\n9999999\n", "Zeile 2: Die Anzahl der Töne \"9999999\" ist zu groß"},
        {"negative ratio", "x\n1\n-3/2\n", "Zeile 3: Das Verhältnis \"-3/2\" ist negativ"},
        {"zero ratio", "x\n1\n0/1\n", "Zeile 3: Das Verhältnis \"0/1\" ist null"},
        {"zero denominator", "x\n1\n3/0\n",
         "Zeile 3: Das Verhältnis \"3/0\" ist null oder hat den "
         "Nenner 0"},
        {"word", "x\n1\nOktave\n", "Zeile 3: \"Oktave\" ist weder ein Cent-Wert"},
        // The locale's comma is not the format's decimal point.
        {"decimal comma", "x\n1\n1200,0\n", "Zeile 3: \"1200,0\" ist weder"},
        {"exponent", "x\n1\n1.2e3\n", "Zeile 3: \"1.2e3\" ist weder"},
        {"two points", "x\n1\n1.2.3\n", "Zeile 3"},
        {"ratio of ratios", "x\n1\n3/2/1\n", "Zeile 3"},
        // Binary bytes read as text.
        {"NUL byte", QStringLiteral("x\n1\n2/1") + QChar(0) + QStringLiteral("\n"),
         "Zeile 3: Steuerzeichen (Code 0)"},
        {"escape", QStringLiteral("x\n") + QChar(0x1B) + QStringLiteral("1\n2/1\n"),
         "Zeile 2: Steuerzeichen"},
        {"huge text", QStringLiteral("x\n0\n") + QString(kMaxScalaFileBytes, u'!'), "zu groß"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            ReadScl(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const ScalaError& error) {
            EXPECT_TRUE(error.message().contains(QString::fromUtf8(c.message)))
                << error.message().toStdString();
        }
    }
}

// "p/q" of a pitch written as a ratio.
QString RatioText(const ScalaPitch& pitch) {
    return QStringLiteral("%1/%2").arg(pitch.numerator).arg(pitch.denominator);
}

// The Atom schisma scale of the public archive (atomschis.scl): twelve 5-limit ratios, some with
// terms beyond 64 bits, each within a hundredth of a cent of equal temperament.
const char* const kAtomSchisma = "! atomschis.scl\n"
                                 "Atom Schisma Scale\n"
                                 "12\n"
                                 "!\n"
                                 "156348578434374084375/147573952589676412928\n"
                                 "134217728/119574225\n"
                                 "1307544150375/1099511627776\n"
                                 "18014398509481984/14297995284350625\n"
                                 "10935/8192\n"
                                 "1709671705179880612640625/1208925819614629174706176\n"
                                 "16384/10935\n"
                                 "14297995284350625/9007199254740992\n"
                                 "2199023255552/1307544150375\n"
                                 "119574225/67108864\n"
                                 "295147905179352825856/156348578434374084375\n"
                                 "2/1\n";

TEST(SclReader, ReadsRatiosOfAnyLength) {
    const ScalaScale scale = ReadScl(QString::fromUtf8(kAtomSchisma));
    ASSERT_EQ(scale.pitches.size(), 12);
    // 156348578434374084375 = 3^35 * 5^5 and 147573952589676412928 = 2^67; the sixth degree is
    // 3^42 * 5^6 / 2^80, the eleventh 2^68 / (3^35 * 5^5).
    const long double three = std::log2(3.0L);
    const long double five = std::log2(5.0L);
    const struct {
        qsizetype index;
        long double cents;
        const char* ratio;
    } cases[] = {
        {0, 1200 * (35 * three + 5 * five - 67), "156348578434374084375/147573952589676412928"},
        {5, 1200 * (42 * three + 6 * five - 80),
         "1709671705179880612640625/1208925819614629174706176"},
        {10, 1200 * (68 - 35 * three - 5 * five), "295147905179352825856/156348578434374084375"},
        {4, 1200 * (7 * three + five - 13), "10935/8192"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        const ScalaPitch& pitch = scale.pitches.at(c.index);
        EXPECT_NEAR(pitch.cents, c.cents, 1e-9L);
        EXPECT_EQ(RatioText(pitch).toStdString(), c.ratio);
    }
    // The scale becomes a row: fis, the farthest from a's place, lies 0.0115 cents below it, with
    // three decimals at most 0.012.
    const QString line =
        ImportSclAsRow(QString::fromUtf8(kAtomSchisma), std::nullopt, QStringLiteral("mz"),
                       QStringLiteral("Atom"), TemperamentList());
    for (const long double value : ValuesOfLine(QStringLiteral("mz"), line)) {
        EXPECT_LE(std::fabs(value), 0.012L + 1e-9L);
    }
    // The same ratio with the terms multiplied by ten to the 45th: still 24/25, 70.7 cents below
    // degree 0, so des lies below c; the message quotes the ratio's first 40 characters only.
    const QString zeros(45, u'0');
    const QString longRatio = QStringLiteral("24") + zeros + QStringLiteral("/25") + zeros;
    try {
        ReadScl(QStringLiteral("x\n1\n") + longRatio + u'\n');
        TemperamentFromScale(
            ReadScl(QStringLiteral("x\n12\n") + longRatio +
                    QStringLiteral("\n9/8\n6/5\n5/4\n4/3\n45/32\n3/2\n8/5\n5/3\n9/5\n15/8\n2/1\n")),
            std::nullopt);
        ADD_FAILURE() << "accepted";
    } catch (const ScalaError& error) {
        EXPECT_TRUE(error.message().startsWith(QStringLiteral("Zeile 3: Der Ton des (Stufe 1: 24") +
                                               QString(38, u'0') + QChar(0x2026) + u')'))
            << error.message().toStdString();
    }
}

TEST(ScalaReader, QuotesAtMostFortyCharactersOfAToken) {
    test::LocaleGuard german(test::German());
    const auto times = [](char c, int n) { return QString(n, QChar::fromLatin1(c)); };
    const QString ellipsis(QChar(0x2026));
    const QString header = QStringLiteral("12\n0\n127\n60\n69\n440.0\n12\n");
    const struct {
        const char* what;
        bool kbm;
        QString text;
        QString message; // a part of the message
    } cases[] = {
        {"pitch word", false, "x\n1\n" + times('a', 200),
         "Zeile 3: \"" + times('a', 40) + ellipsis + "\" ist weder"},
        {"cents with two points", false, "x\n1\n1.2." + times('4', 200),
         "Zeile 3: \"1.2." + times('4', 36) + ellipsis + "\" ist weder"},
        {"count word", false, "x\n" + times('z', 200),
         "Zeile 2: \"" + times('z', 40) + ellipsis + "\" ist keine Anzahl"},
        {"count too large", false, "x\n" + times('9', 200),
         "Die Anzahl der Töne \"" + times('9', 40) + ellipsis + "\" ist zu groß"},
        {"negative ratio", false, "x\n1\n-" + times('3', 200) + "/2",
         "Das Verhältnis \"-" + times('3', 39) + ellipsis + "\" ist negativ"},
        {"zero ratio", false, "x\n1\n" + times('0', 200) + "/1",
         "Das Verhältnis \"" + times('0', 40) + ellipsis + "\" ist null"},
        {"key", true, "12\n" + times('9', 200),
         "Zeile 2: Die erste Taste \"" + times('9', 40) + ellipsis + "\" ist zu groß"},
        {"frequency", true, "12\n0\n127\n60\n69\n" + times('f', 200) + "\n12\n",
         "Zeile 6: \"" + times('f', 40) + ellipsis + "\" ist keine Frequenz"},
        {"entry", true, header + times('y', 200),
         "Zeile 8: \"" + times('y', 40) + ellipsis + "\" ist weder eine Stufe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.kbm ? static_cast<void>(ReadKbm(c.text)) : static_cast<void>(ReadScl(c.text));
            ADD_FAILURE() << "accepted";
        } catch (const ScalaError& error) {
            EXPECT_TRUE(error.message().contains(c.message)) << error.message().toStdString();
            // The 200 characters are not repeated.
            EXPECT_LT(error.message().size(), 200) << error.message().toStdString();
        }
    }
}

class ScalaFiles_ : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QTemporaryDir m_dir;
};

TEST_F(ScalaFiles_, AreReadByTheTextRule) {
    // Windows-1252 from an old program, UTF-8 from a new one: the same description.
    const QByteArray ansi = "Stimmung f\xfcr Orgel\r\n1\r\n2/1\r\n";
    const QByteArray utf8 = "Stimmung f\xc3\xbcr Orgel\n1\n2/1\n";
    for (const QByteArray& bytes : {ansi, utf8}) {
        const ScalaScale scale = ReadScl(ReadScalaFile(Write(QStringLiteral("a.scl"), bytes)));
        EXPECT_EQ(scale.description, QStringLiteral("Stimmung für Orgel"));
    }
    // A file over the limit is refused before it is read as a whole.
    const QString huge = Write(QStringLiteral("huge.scl"), QByteArray(kMaxScalaFileBytes + 1, '!'));
    EXPECT_THROW(ReadScalaFile(huge), ScalaError);
    EXPECT_NO_THROW(
        ReadScalaFile(Write(QStringLiteral("limit.scl"), QByteArray(kMaxScalaFileBytes, '!'))));
    EXPECT_THROW(ReadScalaFile(m_dir.filePath(QStringLiteral("missing.scl"))), FileError);
}

// ---------------------------------------------------------------------------------------------
// The keyboard mapping

TEST(KbmReader, ReadsHeaderAndEntries) {
    const QString text = QStringLiteral("! map\n12\n0\n127\n62\n69\n 415.3 Hz\n12\n! entries\n"
                                        "0\n1\nx\n3\n");
    const KeyboardMapping mapping = ReadKbm(text);
    EXPECT_EQ(mapping.size, 12);
    EXPECT_EQ(mapping.firstKey, 0);
    EXPECT_EQ(mapping.lastKey, 127);
    EXPECT_EQ(mapping.middleKey, 62);
    EXPECT_EQ(mapping.referenceKey, 69);
    EXPECT_NEAR(mapping.referenceFrequency, 415.3L, 1e-9L);
    EXPECT_EQ(mapping.octaveDegree, 12);
    // Entries left out at the end are free keys.
    EXPECT_EQ(mapping.entries, (QList<std::optional<int>>{0, 1, std::nullopt, 3}));
    // A linear mapping has no entries; the frequency may have an exponent.
    const KeyboardMapping linear = ReadKbm(QStringLiteral("0\n0\n127\n60\n69\n4.4e2\n0\n"));
    EXPECT_EQ(linear.size, 0);
    EXPECT_NEAR(linear.referenceFrequency, 440, 1e-9L);
}

TEST(KbmReader, RefusesBadMappings) {
    const struct {
        const char* what;
        const char* text;
        const char* message;
    } cases[] = {
        {"missing frequency", "0\n0\n127\n60\n69\n", "es fehlt die Frequenz der Bezugstaste"},
        {"key beyond MIDI", "0\n0\n128\n60\n69\n440.0\n0\n", "Zeile 3: Die letzte Taste \"128\""},
        {"keys reversed", "0\n100\n20\n60\n69\n440.0\n0\n", "Zeile 3: Die letzte Taste 20 liegt"},
        {"zero frequency", "0\n0\n127\n60\n69\n0.0\n0\n", "Zeile 6: \"0.0\" ist keine Frequenz"},
        {"comma frequency", "0\n0\n127\n60\n69\n440,0\n0\n", "Zeile 6"},
        {"too many entries", "1\n0\n127\n60\n69\n440.0\n1\n0\n0\n",
         "Zeile 9: Die Zuordnung hat "
         "mehr Einträge"},
        {"bad entry", "2\n0\n127\n60\n69\n440.0\n2\n0\ny\n", "Zeile 9: \"y\" ist weder"},
        {"binary", "0\n0\n127\n60\x01\n69\n440.0\n0\n", "Zeile 4: Steuerzeichen"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            ReadKbm(QString::fromUtf8(c.text));
            ADD_FAILURE() << "accepted";
        } catch (const ScalaError& error) {
            EXPECT_TRUE(error.message().contains(QString::fromUtf8(c.message), Qt::CaseInsensitive))
                << error.message().toStdString();
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Well-known temperaments, written from their published cents, against their construction.

// Cents above c of c, cis, d, ..., h for a closed circle of fifths whose fifths, from the one
// starting on c upwards (c-g, g-d, ..., f-c), are narrower than pure by the given cents.
std::array<long double, 12> CircleOfFifths(const std::array<long double, 12>& narrowing) {
    constexpr std::array<int, 12> circle = {0, 7, 2, 9, 4, 11, 6, 1, 8, 3, 10, 5};
    const long double pure = Cents(1.5L);
    std::array<long double, 12> cents{};
    long double x = 0;
    for (std::size_t i = 0; i + 1 < 12; ++i) {
        x = std::fmod(x + pure - narrowing[i], 1200.0L);
        cents[static_cast<std::size_t>(circle[i + 1])] = x;
    }
    return cents;
}

// Quarter-comma meantone: fifths of 5^(1/4), e flat to g sharp.
std::array<long double, 12> QuarterCommaMeantone() {
    const long double fifth = Cents(std::pow(5.0L, 0.25L));
    constexpr std::array<int, 12> position = {0, 7, 2, -3, 4, -1, 6, 1, 8, 3, -2, 5};
    std::array<long double, 12> cents{};
    for (std::size_t pc = 0; pc < 12; ++pc) {
        const long double x = std::fmod(position[pc] * fifth, 1200.0L);
        cents[pc] = x < 0 ? x + 1200 : x;
    }
    return cents;
}

std::array<long double, 12> FromRatios(const std::array<long double, 12>& ratios) {
    std::array<long double, 12> cents{};
    for (std::size_t pc = 0; pc < 12; ++pc) {
        cents[pc] = Cents(ratios[pc]);
    }
    return cents;
}

const long double kPythagoreanComma = Cents(531441.0L / 524288.0L);
const long double kSyntonicComma = Cents(81.0L / 80.0L);

struct KnownScale {
    const char* file;
    std::array<long double, 12> cents; // above c, by construction
};

std::vector<KnownScale> KnownScales() {
    const long double q = kPythagoreanComma / 4;
    const long double s = kPythagoreanComma / 6;
    const long double k = kSyntonicComma / 4;
    return {
        {"meantone_quarter_comma.scl", QuarterCommaMeantone()},
        // c-g, g-d, d-a and h-fis a quarter Pythagorean comma narrow.
        {"werckmeister_iii.scl", CircleOfFifths({q, q, q, 0, 0, q, 0, 0, 0, 0, 0, 0})},
        // c-g-d-a-e a quarter syntonic comma narrow (c-e pure), fis-cis the schisma.
        {"kirnberger_iii.scl",
         CircleOfFifths({k, k, k, k, 0, 0, kPythagoreanComma - kSyntonicComma, 0, 0, 0, 0, 0})},
        // f-c-g-d-a-e-h a sixth Pythagorean comma narrow.
        {"vallotti.scl", CircleOfFifths({s, s, s, s, s, 0, 0, 0, 0, 0, 0, s})},
        // c-g-d-a-e-h-fis a sixth Pythagorean comma narrow.
        {"young_ii.scl", CircleOfFifths({s, s, s, s, s, s, 0, 0, 0, 0, 0, 0})},
        {"equal_12.scl", {0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1100}},
        {"just_5_limit.scl",
         FromRatios({1, 16.0L / 15, 9.0L / 8, 6.0L / 5, 5.0L / 4, 4.0L / 3, 45.0L / 32, 3.0L / 2,
                     8.0L / 5, 5.0L / 3, 9.0L / 5, 15.0L / 8})},
    };
}

TEST(KnownScales, GiveThePublishedFrequencies) {
    for (const KnownScale& known : KnownScales()) {
        SCOPED_TRACE(known.file);
        const QString text = DataFile(known.file);
        // The file holds what the construction gives.
        const QList<long double> cents = CentsOf(ReadScl(text));
        ASSERT_EQ(cents.size(), 12);
        for (std::size_t pc = 1; pc < 12; ++pc) {
            EXPECT_NEAR(cents.at(static_cast<qsizetype>(pc - 1)), known.cents[pc], 1e-5L) << pc;
        }
        // Imported as a row and played: c1 .. h1 with a1 = 440 Hz.
        TemperamentList list;
        const QString line =
            ImportSclAsRow(text, std::nullopt, QStringLiteral("mz"), QStringLiteral("Test"), list);
        TemperamentList alone(QStringList{line});
        TonartScale scale(&alone);
        scale.SetTonart(QStringLiteral("mz"), 440);
        for (int pc = 0; pc < 12; ++pc) {
            const long double expected =
                440 *
                std::exp2((known.cents[static_cast<std::size_t>(pc)] - known.cents[9]) / 1200);
            const long double tempered = 440 * std::exp2((pc - 9) / 12.0L);
            const long double played = scale.SnapToTonart(tempered, {});
            EXPECT_NEAR(Cents(played / expected), 0, kCentTolerance)
                << pc << ": " << static_cast<double>(played) << " Hz";
        }
        EXPECT_TRUE(alone.lines() == QStringList{line}) << "no faulty value";
    }
}

TEST(KnownScales, MeetTheListsOwnRows) {
    test::LocaleGuard german(test::German());
    const TemperamentList list;
    const auto lineOf = [&](const char* code) {
        return TemperamentRowOf(list, QString::fromUtf8(code)).value_or(QString());
    };
    // Quarter-comma meantone from its published cents is exactly the row "ma", layout included.
    EXPECT_EQ(ImportSclAsRow(DataFile("meantone_quarter_comma.scl"), std::nullopt,
                             QStringLiteral("ma"), QStringLiteral("viertel mitteltönig"), list)
                  .toStdString(),
              lineOf("ma").toStdString());
    // Kirnberger III gives the values of "mf"; the 5-limit just scale those the list documents
    // for the program's own c major (c1 = 264 Hz).
    const struct {
        const char* file;
        QString row;
    } cases[] = {
        {"kirnberger_iii.scl", lineOf("mf")},
        {"just_5_limit.scl", list.lines().filter(QStringLiteral("Zirkelon c-Dur")).value(0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_FALSE(c.row.isEmpty());
        // The values begin in the column after the name's.
        const QString documented = QStringLiteral("mz x") + c.row.mid(25);
        const TemperamentValues expected = ValuesOfLine(QStringLiteral("mz"), documented);
        const TemperamentValues imported = ValuesOfLine(
            QStringLiteral("mz"), ImportSclAsRow(DataFile(c.file), std::nullopt,
                                                 QStringLiteral("mz"), QStringLiteral("x"), list));
        for (std::size_t i = 0; i < 12; ++i) {
            // The documenting row has es at 34,282, a slip of its own: 6/5 above c1 = 264 Hz is
            // 316,8 Hz, 31,283 cents above the tempered es.
            const bool slip = c.row.contains(QStringLiteral("c-Dur")) && i == 6;
            EXPECT_NEAR(imported[i],
                        slip ? Cents(316.8L / (440 * std::exp2(-6 / 12.0L))) : expected[i], 0.0011L)
                << i;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Import: what becomes of the mapping, and what is refused

TEST(SclImport, TheMappingPlacesDegreeZeroAndTheReference) {
    const QString equal = DataFile("equal_12.scl");
    const QString just = DataFile("just_5_limit.scl");
    const auto kbm = [](int middle, int reference, const char* frequency) {
        return QStringLiteral("0\n0\n127\n%1\n%2\n%3\n12\n")
            .arg(middle)
            .arg(reference)
            .arg(QString::fromUtf8(frequency));
    };
    const struct {
        const char* what;
        QString scl;
        std::optional<QString> kbm;
        TemperamentValues values; // a, b, h, c, des, d, es, e, f, fis, g, as
    } cases[] = {
        // Without a mapping a keeps 440 Hz; equal temperament deviates nowhere.
        {"equal", equal, std::nullopt, {}},
        // Nor with degree 0 on another key than c: c lies below the middle key then, and its
        // degree counts down from there.
        {"equal on d", equal, kbm(62, 69, "440.0"), {}},
        {"equal on f", equal, kbm(65, 69, "440.0"), {}},
        {"equal on a", equal, kbm(69, 69, "440.0"), {}},
        // A reference of 444 Hz on a raises every tone alike.
        {"equal at 444", equal, kbm(60, 69, "444.0"), Filled(Cents(444.0L / 440))},
        // The just scale with degree 0 on a (key 57) and a1 = 440 Hz: the program's a major.
        {"just on a",
         just,
         kbm(57, 69, "440.0"),
         {0, 11.731L, 3.91L, 15.641L, -13.686L, -1.955L, -9.776L, 1.955L, 13.686L, -15.641L,
          17.596L, -11.731L}},
        // The reference on c1 = 264 Hz gives the same as a1 = 440 Hz for the just scale on c.
        {"just, reference c1",
         just,
         kbm(60, 60, "264.0"),
         {0, 33.237L, 3.91L, 15.641L, 27.372L, 19.551L, 31.283L, 1.955L, 13.686L, 5.865L, 17.596L,
          29.327L}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TemperamentValues values = ValuesOfLine(
            QStringLiteral("mz"), ImportSclAsRow(c.scl, c.kbm, QStringLiteral("mz"),
                                                 QStringLiteral("x"), TemperamentList()));
        for (std::size_t i = 0; i < 12; ++i) {
            EXPECT_NEAR(values[i], c.values[i], 0.0011L) << i;
        }
    }
}

TEST(SclImport, RefusesWhatCannotBecomeARow) {
    test::LocaleGuard german(test::German());
    const QString equal = DataFile("equal_12.scl");
    QString shiftedC = equal;
    shiftedC.replace(QStringLiteral(" 100.0\n"), QStringLiteral(" 200.0\n")); // des = d
    // f 60 cents low, fis 95 cents low and so 5 cents above f's place.
    QString lowFis = equal;
    lowFis.replace(QStringLiteral(" 500.0\n"), QStringLiteral(" 440.0\n"))
        .replace(QStringLiteral(" 600.0\n"), QStringLiteral(" 505.0\n"));
    const struct {
        const char* what;
        QString scl;
        std::optional<QString> kbm;
        QString code;
        QString name;
        const char* message;
    } cases[] = {
        {"seven notes",
         "x\n7\n200.0\n400.0\n500.0\n700.0\n900.0\n1100.0\n2/1\n",
         {},
         "mz",
         "x",
         "hat 7 Töne"},
        {"tritave",
         DataFile("equal_12.scl").replace(QStringLiteral("1200.0"), QStringLiteral("3/1")),
         {},
         "mz",
         "x",
         "nach 1901,955 Cent statt nach einer Oktave"},
        // A tone a semitone up lies on its neighbour: the two do not rise, and des is the one
        // away from its place.
        {"des on d",
         shiftedC,
         {},
         "mz",
         "x",
         "Zeile 6: Der Ton des (Stufe 1: 200 Cent) liegt nicht unter dem Ton d danach (Stufe 2: "
         "200 Cent)"},
        // The tempered f goes to fis, which is farther from its place than f.
        {"fis on the place of f",
         lowFis,
         {},
         "mz",
         "x",
         "Der Ton fis weicht um -95 Cent vom gleichstufigen Ton ab; beim Spielen würde deshalb f "
         "zu fis gezogen. Eine"},
        // The mapping plays degree 2 on des and degree 1 on d: equally far off, the later is named.
        {"mapping against the order", equal,
         QStringLiteral("12\n0\n127\n60\n69\n440.0\n12\n0\n2\n1\n3\n4\n5\n6\n7\n8\n9\n10\n11\n"),
         "mz", "x",
         "Zeile 6: Der Ton d (Stufe 1: 100 Cent) liegt nicht über dem Ton des davor (Stufe 2: "
         "200 Cent)"},
        // h above the octave that ends the scale.
        {"h above the octave",
         "x\n12\n100.0\n200.0\n300.0\n400.0\n500.0\n600.0\n700.0\n800.0\n900.0\n1000.0\n"
         "1250.0\n1200.0\n",
         {},
         "mz",
         "x",
         "Zeile 13: Der Ton h (Stufe 11: 1250 Cent) liegt nicht unter dem c der nächsten Oktave "
         "(Stufe 12: 1200 Cent)"},
        // A whole tone lower: every tone a semitone and more off.
        {"reference far off", equal, QStringLiteral("0\n0\n127\n60\n69\n392.0\n0\n"), "mz", "x",
         "weicht um -200 Cent"},
        {"free key", equal,
         QStringLiteral("12\n0\n127\n60\n69\n440.0\n12\n0\n1\n2\nx\n4\n5\n6\n7\n8\n9\n10\n11\n"),
         "mz", "x", "lässt die Taste 63 (Ton es) frei"},
        {"map of seven", equal, QStringLiteral("7\n0\n127\n60\n69\n440.0\n12\n"), "mz", "x",
         "nach 7 Tasten"},
        {"octave degree", equal, QStringLiteral("12\n0\n127\n60\n69\n440.0\n7\n"), "mz", "x",
         "Stufe 7 als Oktave"},
        {"bad mapping", equal, QStringLiteral("12\n0\n127\n"), "mz", "x", "Tastenzuordnung: "},
        {"code without m", equal, {}, "xa", "x", "kein Kürzel"},
        {"code too long", equal, {}, "mab", "x", "kein Kürzel"},
        {"code with blank", equal, {}, "m ", "x", "kein Kürzel"},
        {"digit in name", equal, {}, "mz", "Werckmeister 3", "enthält \"3\""},
        {"sign in name", equal, {}, "mz", "Bach-Kellner", "enthält \"-\""},
        {"line break in name", equal, {}, "mz", "a\nb", "Zeilenumbruch"},
        {"empty name", equal, {}, "mz", "  ", "Name der Stimmung fehlt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            ImportSclAsRow(c.scl, c.kbm, c.code, c.name, TemperamentList());
            ADD_FAILURE() << "accepted";
        } catch (const ScalaError& error) {
            EXPECT_TRUE(error.message().contains(QString::fromUtf8(c.message)))
                << error.message().toStdString();
        }
    }
}

// The message with which a scale of the sample files is refused as a row (no .kbm, code "mz");
// a failure, and an empty message, when it is accepted.
QString ImportRefusal(const char* file) {
    const QString text = DataFile(file);
    EXPECT_FALSE(text.isEmpty()) << file;
    try {
        ImportSclAsRow(text, std::nullopt, QStringLiteral("mz"), QStringLiteral("x"),
                       TemperamentList());
        ADD_FAILURE() << "accepted";
    } catch (const ScalaError& error) {
        return error.message();
    }
    return {};
}

// Scales of the public archive whose tones do not rise: the tone named is the one of the pair
// out of order that lies farther from its equal-tempered place, at the line of its degree.
TEST(SclImport, RefusesTonesOutOfOrder) {
    test::LocaleGuard german(test::German());
    const struct {
        const char* file;
        const char* message;
    } cases[] = {
        // 24/25 lies 70.7 cents below degree 0.
        {"mmswap.scl",
         "Zeile 6: Der Ton des (Stufe 1: 24/25) liegt nicht über dem Ton c davor (Stufe 0: 1/1)"},
        // Degree 1 is 1/1 again.
        {"dudon_homayun.scl",
         "Zeile 6: Der Ton des (Stufe 1: 1/1) liegt nicht über dem Ton c davor (Stufe 0: 1/1)"},
        // f and fis both at 515 cents: fis is 85 cents below its place, f 15 above.
        {"kurzweil_slen.scl", "Zeile 11: Der Ton fis (Stufe 6: 515 Cent) liegt nicht über dem "
                              "Ton f davor (Stufe 5: 515 Cent)"},
        // 6805/3767 is 1023.8 cents, below b at 1035.7: h 76 cents low, b 36 high.
        {"temp7-5ebf.scl", "Zeile 16: Der Ton h (Stufe 11: 6805/3767) liegt nicht über dem Ton b "
                           "davor (Stufe 10: 1035,659 Cent)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const QString message = ImportRefusal(c.file);
        EXPECT_TRUE(message.startsWith(QString::fromUtf8(c.message))) << message.toStdString();
    }
}

// Scales of the public archive refused because tones would be played on a neighbour's degree.
// alves_12: with a1 = 440 Hz (12/7 above c) the deviations are c -33.13, des -97.43, d -29.22,
// es -66.26, e 1.96, f -62.35, fis -99.39, g -31.17, as -95.48, b -64.30, h 3.91. Played, the
// tempered c goes to des (2.6 cents above it, against 33.1 to c's own degree), des to d (70.8
// against 97.4), f to fis, fis to g and g to as; the others keep their own. Of each such pair
// the tone farther from its place is the one out of place: des, fis and as, not c.
// arch_ptol: c 86.31, des 49.27, f 84.36, fis 47.32, g 88.27, as 51.23 (the rest within 32).
// barton: d -48.09, es -94.82, e -131.85, f -81.22, fis -47.41 (the rest within 54).
// burt13: es -60.24, e -117.49, f -35.08, b -37.04, h -71.70 (the rest within 41).
TEST(SclImport, NamesTheToneReallyOutOfPlace) {
    test::LocaleGuard german(test::German());
    const struct {
        const char* file;
        const char* tones; // the farthest first
        const char* pulls; // by pitch class from c
    } cases[] = {
        {"alves_12.scl",
         "Der Ton fis weicht um -99,4 Cent vom gleichstufigen Ton ab, ebenso des um -97,4 Cent "
         "und as um -95,5 Cent;",
         "c zu des, des zu d, f zu fis, fis zu g und g zu as."},
        {"arch_ptol.scl",
         "Der Ton g weicht um 88,3 Cent vom gleichstufigen Ton ab, ebenso c um 86,3 Cent und f "
         "um 84,4 Cent;",
         "des zu c, fis zu f, g zu fis und as zu g."},
        {"barton.scl",
         "Der Ton e weicht um -131,9 Cent vom gleichstufigen Ton ab, ebenso es um -94,8 Cent und "
         "f um -81,2 Cent;",
         "d zu es, es zu e, e zu f und f zu fis."},
        {"burt13.scl",
         "Der Ton e weicht um -117,5 Cent vom gleichstufigen Ton ab, ebenso h um -71,7 Cent;",
         "es zu e, e zu f und b zu h."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const QString message = ImportRefusal(c.file);
        EXPECT_TRUE(message.startsWith(QString::fromUtf8(c.tones))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("zur Stufe eines Nachbarn gezogen: ") +
                                     QString::fromUtf8(c.pulls)))
            << message.toStdString();
    }
}

TEST(SclImport, NamesFromDescriptions) {
    const struct {
        const char* description;
        const char* name;
    } cases[] = {
        {"Werckmeister III", "Werckmeister III"},
        {"1/4-comma meantone", "comma meantone"},
        {"Young (1799, No. 2)", "Young (No.)"},
        // What stood beside the removed digits goes with them: no empty brackets, no comma left
        // doubled, before a bracket or at the end.
        {"Andreas Werckmeister's temperament III (the most famous one, 1681)",
         "Andreas Werckmeister's temperament III (the most famous one)"},
        {"Traité de l'orgue, 1766, p. 12", "Traité de l'orgue, p."},
        {"Vallotti (1779)", "Vallotti"},
        {"Kirnberger III, 1779", "Kirnberger III"},
        {"Rameau [1725] , from his Nouveau système", "Rameau, from his Nouveau système"},
        {"W. Burt's 23diatsub #13", "W. Burt's diatsub"},
        {"Archytas/Ptolemy Hybrid 1", "Archytas/Ptolemy Hybrid"},
        {"12-tone equal temperament", "tone equal temperament"},
        {"+-123", "Scala"},
        {"", "Scala"},
    };
    for (const auto& c : cases) {
        const QString name = TemperamentNameFromDescription(QString::fromUtf8(c.description));
        EXPECT_EQ(name.toStdString(), c.name);
        EXPECT_NO_THROW(CheckTemperamentName(name)) << c.description;
    }
}

// ---------------------------------------------------------------------------------------------
// The list: a new row in its layout, a taken code, the decimal separator

TEST(TemperamentRows, GoIntoTheListAfterItsLastRow) {
    TemperamentList list;
    const QStringList before = list.lines();
    const QString line = ImportSclAsRow(DataFile("werckmeister_iii.scl"), std::nullopt,
                                        QStringLiteral("mz"), QStringLiteral("Werckmeister"), list);
    InsertTemperamentRow(list, QStringLiteral("mz"), line, false);
    const qsizetype my = before.indexOf(TemperamentRowOf(TemperamentList(), "my").value());
    ASSERT_GT(my, 0);
    EXPECT_EQ(list.lines().size(), before.size() + 1);
    EXPECT_EQ(list.lines().at(my + 1), line);
    EXPECT_EQ(list.lines().mid(my + 2), before.mid(my + 1)); // the closing comments stay last
    // The line is laid out as the default rows are: the values in the same columns.
    const QString ma = TemperamentRowOf(list, QStringLiteral("ma")).value();
    EXPECT_EQ(line.size(), ma.size());
    EXPECT_EQ(line.indexOf(u'0', 3), ma.indexOf(u'0', 3)); // a's value, 0 in both
    // The pass finds it.
    TonartScale scale(&list);
    scale.SetTonart(QStringLiteral("mz"), 440);
    EXPECT_NEAR(Cents(scale.degree(3) / (440 * std::exp2(3 / 12.0L))), 11.730L, 0.001L); // c

    // A taken code is refused unless replacing: the list stays as it was.
    const QStringList withRow = list.lines();
    EXPECT_THROW(InsertTemperamentRow(list, QStringLiteral("mz"), line, false), ScalaError);
    EXPECT_THROW(InsertTemperamentRow(list, QStringLiteral("ma"), QStringLiteral("ma x 0"), false),
                 ScalaError);
    EXPECT_EQ(list.lines(), withRow);
    // Replacing keeps the row's place.
    const qsizetype maIndex = list.lines().indexOf(ma);
    const QString replacement = QStringLiteral("ma neu 0");
    InsertTemperamentRow(list, QStringLiteral("ma"), replacement, true);
    EXPECT_EQ(list.lines().at(maIndex), replacement);
    EXPECT_EQ(list.lines().size(), withRow.size());
    // A line of another code is refused.
    EXPECT_THROW(InsertTemperamentRow(list, QStringLiteral("mq"), line, true), ScalaError);
}

TEST(TemperamentRows, ListWithoutRowsGetsTheRowAtItsEnd) {
    TemperamentList list(QStringList{QStringLiteral("Kopf"), QStringLiteral("  Kommentar")});
    InsertTemperamentRow(list, QStringLiteral("mz"), QStringLiteral("mz x 0"), false);
    EXPECT_EQ(list.lines().last(), QStringLiteral("mz x 0"));
}

TEST(TemperamentRows, FollowTheListsDecimalSeparator) {
    const TemperamentValues values = {0, 7.5L, -4, 11.7304L, 0.0004L, 0, 0, 0, 0, 0, 0, -0.0004L};
    const struct {
        const char* what;
        QStringList lines;
        const char* values;
    } cases[] = {
        // The default list writes most of its decimals with a comma.
        {"default list", TemperamentList().lines(), "0 7,5 -4 11,73 0 0 0 0 0 0 0 0"},
        // A list edited to points keeps points; names with a point ("franz.") do not count.
        {"points", {"m1 franz. a 0.5 1.25", "m2 b,c 0.5"}, "0 7.5 -4 11.73 0 0 0 0 0 0 0 0"},
        {"no decimals", {"m1 a 0 1 2"}, "0 7,5 -4 11,73 0 0 0 0 0 0 0 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QChar separator = TemperamentListSeparator(TemperamentList(c.lines));
        const QString line =
            TemperamentRowLine(QStringLiteral("mz"), QStringLiteral("x"), values, separator);
        EXPECT_EQ(line.mid(2).simplified().mid(2).toStdString(), c.values);
    }
}

// ---------------------------------------------------------------------------------------------
// Export and the round trips

TEST(SclExport, WritesARowsPitchesAndReference) {
    const ScalaFiles files = ExportRowAsScl(TemperamentList(), QStringLiteral("ma"));
    EXPECT_EQ(files.description, QStringLiteral("viertel mitteltönig"));
    EXPECT_TRUE(files.scl.contains(QStringLiteral("\r\n 76.049\r\n"))); // des = c + 76.049
    EXPECT_TRUE(files.scl.endsWith(QStringLiteral(" 2/1\r\n")));
    const ScalaScale scale = ReadScl(files.scl);
    EXPECT_EQ(scale.description, files.description);
    const KeyboardMapping mapping = ReadKbm(files.kbm);
    EXPECT_EQ(mapping.middleKey, 60);
    EXPECT_EQ(mapping.referenceKey, 69);
    EXPECT_NEAR(mapping.referenceFrequency, 440, 1e-6L);
    EXPECT_EQ(mapping.size, 12);
    EXPECT_EQ(mapping.octaveDegree, 12);
    // m@: every tone 15.641 cents higher, so a1 is 444 Hz.
    const KeyboardMapping raised =
        ReadKbm(ExportRowAsScl(TemperamentList(), QStringLiteral("m@")).kbm);
    EXPECT_NEAR(raised.referenceFrequency, 440 * std::exp2(15.641L / 1200), 1e-6L);
    EXPECT_THROW(ExportRowAsScl(TemperamentList(), QStringLiteral("mZ")), ScalaError);
    EXPECT_THROW(
        ExportRowAsScl(TemperamentList(QStringList{"mz kaputt 0 1 zwei"}), QStringLiteral("mz")),
        ScalaError);
}

// A row keeps three decimals, so a degree (the difference of two values) is known to a
// thousandth of a cent: a degree that close to a simple ratio is written as that ratio.
TEST(SclExport, WritesTheRatiosARowKeepsWithinItsPrecision) {
    const QString just = DataFile("just_5_limit.scl");
    TemperamentList list;
    InsertTemperamentRow(
        list, QStringLiteral("mz"),
        ImportSclAsRow(just, std::nullopt, QStringLiteral("mz"), QStringLiteral("rein"), list),
        false);
    const ScalaScale original = ReadScl(just);
    const ScalaScale exported = ReadScl(ExportRowAsScl(list, QStringLiteral("mz")).scl);
    ASSERT_EQ(exported.pitches.size(), 12);
    for (qsizetype i = 0; i < 12; ++i) {
        EXPECT_EQ(RatioText(exported.pitches.at(i)), RatioText(original.pitches.at(i))) << i;
    }
    // Quarter-comma meantone: c 10,265 and e -3,422 make e 386.313 cents above c, within the
    // row's precision of the pure third 5/4 (386.3137); but 5/4 would come back as e -3,421, so
    // e stays in cents, as do g 696.578 and des 76.049, which lie near no simple ratio.
    const QString ma = ExportRowAsScl(TemperamentList(), QStringLiteral("ma")).scl;
    for (const char* cents : {"386.313", "696.578", "76.049"}) {
        EXPECT_TRUE(ma.contains(QStringLiteral("\r\n %1\r\n").arg(QLatin1String(cents))))
            << cents << ma.toStdString();
    }
}

TEST(ScalaRoundTrip, EveryDefaultRowComesBack) {
    for (const QLocale& locale : {test::German(), test::English()}) {
        test::LocaleGuard guard(locale);
        const TemperamentList list;
        int rows = 0;
        for (const QString& line : list.lines()) {
            if (line.size() < 2 || line.at(0) != u'm') {
                continue;
            }
            const QString code = line.left(2);
            SCOPED_TRACE(code.toStdString());
            const ScalaFiles files = ExportRowAsScl(list, code);
            const QString imported =
                ImportSclAsRow(files.scl, files.kbm, QStringLiteral("mz"), files.description, list);
            const TemperamentValues again = ValuesOfLine(QStringLiteral("mz"), imported);
            const TemperamentValues original =
                ValuesOfLine(QStringLiteral("mz"), QStringLiteral("mz") + line.mid(2));
            for (std::size_t i = 0; i < 12; ++i) {
                EXPECT_NEAR(again[i], original[i], kCentTolerance) << i;
            }
            ++rows;
        }
        EXPECT_EQ(rows, 28);
    }
}

TEST(ScalaRoundTrip, AnImportedScaleKeepsItsPitches) {
    for (const KnownScale& known : KnownScales()) {
        SCOPED_TRACE(known.file);
        const QString text = DataFile(known.file);
        TemperamentList list;
        InsertTemperamentRow(
            list, QStringLiteral("mz"),
            ImportSclAsRow(text, std::nullopt, QStringLiteral("mz"), QStringLiteral("x"), list),
            false);
        const ScalaFiles files = ExportRowAsScl(list, QStringLiteral("mz"));
        const ScalaScale original = ReadScl(text);
        const ScalaScale exported = ReadScl(files.scl);
        ASSERT_EQ(exported.pitches.size(), 12);
        for (qsizetype i = 0; i < 12; ++i) {
            EXPECT_NEAR(exported.pitches.at(i).cents, original.pitches.at(i).cents,
                        kCentTolerance + 1e-9L)
                << i;
        }
        EXPECT_NEAR(ReadKbm(files.kbm).referenceFrequency, 440, 1e-6L);
    }
}

// ---------------------------------------------------------------------------------------------
// The pitches in force at a row of a piece

class PieceRowExport : public ::testing::Test {
protected:
    ScalaFiles Export(const QString& text, int row, const QString& kammerton = "440") {
        LoadPieceText(m_table, text);
        return ExportPieceRowAsScl(m_table, row, TemperamentList(), kammerton,
                                   QStringLiteral("Stück"));
    }
    PieceTable m_table;
};

TEST_F(PieceRowExport, JustKeysCarryTheirDrift) {
    // c → a → d → g → c: the comma trap, back on a c one syntonic comma lower.
    const QString trap = Row("c", "8", "ceg") + Row("a", "8", "ace") + Row("d", "8", "dfa") +
                         Row("g", "8", "gh d") + Row("c", "8", "ceg") + Row("", "8", "ceg");
    const struct {
        const char* what;
        int row;
        QString kammerton;
        int key;           // the tonic's MIDI key
        long double tonic; // its frequency
    } cases[] = {
        {"first c", 1, "440", 48, 132},
        {"a", 2, "440", 57, 220},
        {"d, a comma low", 3, "440", 50, 132 * 10.0L / 9},
        {"c, a comma low", 5, "440", 48, 132 * 80.0L / 81},
        // A row without key keeps the key above it.
        {"row without key", 6, "440", 48, 132 * 80.0L / 81},
        // The concert pitch scales the reference.
        {"concert pitch", 5, "415", 48, 132 * 80.0L / 81 * 415 / 440},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ScalaFiles files = Export(trap, c.row, c.kammerton);
        const KeyboardMapping mapping = ReadKbm(files.kbm);
        EXPECT_EQ(mapping.middleKey, c.key);
        EXPECT_EQ(mapping.referenceKey, c.key);
        EXPECT_NEAR(Cents(mapping.referenceFrequency / c.tonic), 0, 1e-4L);
        // The degrees are the just ratios, written as ratios.
        const ScalaScale scale = ReadScl(files.scl);
        const QStringList ratios = {"16/15", "9/8", "6/5", "5/4", "4/3",  "45/32",
                                    "3/2",   "8/5", "5/3", "9/5", "15/8", "2/1"};
        ASSERT_EQ(scale.pitches.size(), 12);
        for (qsizetype i = 0; i < 12; ++i) {
            const ScalaPitch& pitch = scale.pitches.at(i);
            EXPECT_EQ(QStringLiteral("%1/%2").arg(pitch.numerator).arg(pitch.denominator),
                      ratios.at(i));
        }
    }
}

TEST_F(PieceRowExport, TemperedRowsGiveTheirTemperament) {
    const QString piece = Row("c", "8", "ceg") + Row("ma", "8", "ceg") + Row("~", "8", "ceg") +
                          Row("mQ", "8", "ceg") + Row("x", "8", "ceg") + Row("d", "", "");
    const ScalaFiles row = ExportRowAsScl(TemperamentList(), QStringLiteral("ma"));
    const ScalaFiles ma = Export(piece, 2);
    EXPECT_EQ(ReadScl(ma.scl).pitches, ReadScl(row.scl).pitches);
    EXPECT_EQ(ReadKbm(ma.kbm), ReadKbm(row.kbm));
    EXPECT_NEAR(ReadKbm(Export(piece, 2, "444").kbm).referenceFrequency, 444, 1e-6L);
    // "~": equal temperament on a1.
    const ScalaScale equal = ReadScl(Export(piece, 3).scl);
    for (qsizetype i = 0; i < 12; ++i) {
        EXPECT_NEAR(equal.pitches.at(i).cents, 100 * (i + 1), 1e-6L);
    }
    EXPECT_EQ(ReadKbm(Export(piece, 3).kbm).referenceKey, 69);
    // A code no row has: just intonation on a1 = 440 Hz, as the pass plays it; an entry that
    // names no tone keeps it.
    for (const int r : {4, 5}) {
        const KeyboardMapping mapping = ReadKbm(Export(piece, r).kbm);
        EXPECT_EQ(mapping.middleKey, 69) << r;
        EXPECT_NEAR(mapping.referenceFrequency, 440, 1e-6L) << r;
        EXPECT_EQ(ReadScl(Export(piece, r).scl).pitches.at(6).numerator, QStringLiteral("3"))
            << r; // 3/2
    }
    // A key entry in a row without chord counts as well: d in the key of a.
    const KeyboardMapping d = ReadKbm(Export(piece, 6).kbm);
    EXPECT_EQ(d.middleKey, 50);
    EXPECT_NEAR(d.referenceFrequency, 440 / 3.0L, 1e-6L); // the fourth of a = 110 Hz
    EXPECT_THROW(Export(piece, 99), ScalaError);
    EXPECT_THROW(Export(piece, 0), ScalaError);
}

// ---------------------------------------------------------------------------------------------
// Files

TEST_F(ScalaFiles_, AreWrittenInPairsOrNotAtAll) {
    const struct {
        const char* scl;
        const char* kbm;
    } names[] = {
        {"a.scl", "a.kbm"},
        {"B.SCL", "B.kbm"},
        {"ohne", "ohne.kbm"},
        {"x.scl.txt", "x.scl.txt.kbm"},
    };
    for (const auto& n : names) {
        EXPECT_EQ(KbmPathFor(QString::fromUtf8(n.scl)), QString::fromUtf8(n.kbm));
    }
    const ScalaFiles files = ExportRowAsScl(TemperamentList(), QStringLiteral("me"));
    const QString scl = m_dir.filePath(QStringLiteral("me.scl"));
    WriteScalaFiles(scl, files);
    EXPECT_EQ(ReadTextFile(scl).value_or(QString()), files.scl);
    EXPECT_EQ(ReadTextFile(KbmPathFor(scl)).value_or(QString()), files.kbm);
    // The mapping's name taken by a folder: neither file is replaced.
    const QString blocked = m_dir.filePath(QStringLiteral("blocked.scl"));
    Write(QStringLiteral("blocked.scl"), "alt");
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("blocked.kbm")));
    EXPECT_THROW(WriteScalaFiles(blocked, files), FileError);
    EXPECT_EQ(ReadTextFile(blocked).value_or(QString()), QStringLiteral("alt"));
    EXPECT_THROW(WriteScalaFiles(m_dir.filePath(QStringLiteral("no/such.scl")), files), FileError);
}

TEST_F(ScalaFiles_, AreWrittenAsUtf8AndReadBack) {
    TemperamentList list;
    InsertTemperamentRow(list, QStringLiteral("mz"),
                         QStringLiteral("mz Stimmung für Bässe 0 0 0 0 0 0 0 0 0 0 0 0"), false);
    const ScalaFiles files = ExportRowAsScl(list, QStringLiteral("mz"));
    ASSERT_EQ(files.description, QStringLiteral("Stimmung für Bässe"));
    const QString scl = m_dir.filePath(QStringLiteral("utf8.scl"));
    WriteScalaFiles(scl, files);
    QFile sclFile(scl);
    ASSERT_TRUE(sclFile.open(QIODevice::ReadOnly));
    const QByteArray sclBytes = sclFile.readAll();
    QFile kbmFile(KbmPathFor(scl));
    ASSERT_TRUE(kbmFile.open(QIODevice::ReadOnly));
    const QByteArray kbmBytes = kbmFile.readAll();
    // ü and ä as two bytes each, no byte order mark; the mapping's comments ("Größe") likewise.
    EXPECT_TRUE(sclBytes.contains("\r\nStimmung f\xc3\xbcr B\xc3\xa4sse\r\n"));
    EXPECT_FALSE(sclBytes.startsWith("\xef\xbb\xbf"));
    EXPECT_TRUE(kbmBytes.contains("Gr\xc3\xb6\xc3\x9f"
                                  "e der Zuordnung"));
    // The reader takes what the writer wrote.
    EXPECT_EQ(ReadScl(ReadScalaFile(scl)).description, QStringLiteral("Stimmung für Bässe"));
    EXPECT_EQ(ReadKbm(ReadScalaFile(KbmPathFor(scl))), ReadKbm(files.kbm));
}

} // namespace
} // namespace zk
