// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "support/program_files.h"

#include "common/locale_guard.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cmath>

namespace zk {
namespace {

using test::English;
using test::German;
using test::LocaleGuard;

// The degree i semitones above a = 440 Hz, moved by `cents`.
long double Tempered(int i, long double cents) {
    return 440 * std::pow(2.0L, i / 12.0L) * std::pow(2.0L, cents / 1200);
}

void RemoveListFile() {
    QFile::remove(TemperamentList::FilePath());
    QDir(TemperamentList::FilePath()).removeRecursively();
}

// The default values are written partly with a decimal comma, partly with a point; every row
// must read without fault under both locales.
TEST(TemperamentList, DefaultRowsInBothLocales) {
    struct Case {
        const char* code;
        int degree; // semitones above a: 3 = c, 11 = as
        long double cents;
    };
    const Case cases[] = {
        {"m~", 3, 0},      {"m@", 0, 15.641},   {"m@", 3, 15.641},   // c1 = 264 Hz
        {"ma", 3, 10.265}, {"ma", 11, -17.108}, {"mA", 1, 10.5},     // comma values
        {"me", 1, 7.5},    {"mf", 4, 0.49},     {"my", 6, -11.7302}, // point values
        {"mn", 11, -4.6},                                            // the last value
    };
    for (const QLocale& locale : {German(), English()}) {
        LocaleGuard guard(locale);
        TemperamentList list;
        TonartScale scale(&list);
        for (const Case& c : cases) {
            scale.SetTonart(QString::fromUtf8(c.code), 440);
            EXPECT_NEAR(static_cast<double>(scale.degree(c.degree)),
                        static_cast<double>(Tempered(c.degree, c.cents)), 1e-9)
                << c.code << " " << locale.name().toStdString();
        }
        for (const QString& line : TemperamentList::DefaultLines()) {
            if (line.startsWith(u'm')) {
                scale.SetTonart(line.left(2), 440);
            }
        }
        EXPECT_EQ(list, TemperamentList()) << "an error line was added";
    }
    EXPECT_TRUE(TemperamentList::DefaultLines().at(3).startsWith("m@ gleichschwebend"));
    EXPECT_TRUE(TemperamentList::DefaultLines().at(3).endsWith(" 15,641")); // kept as written
}

TEST(TemperamentList, FindTemperamentRow) {
    struct Case {
        const char* line;
        const char* code;
        const char* german;  // value part under the comma locale
        const char* english; // and under the point locale
    };
    const Case cases[] = {
        {"mz Name 0 7.5 -3,25", "mz", "0 7,5 -3,25", "0 7.5 -3.25"}, // both separators
        {"mz Name +2 1", "mz", "+2 1", "+2 1"},                      // a sign starts the values
        {"mz Nur ein Name", "mz", "", ""},                           // no value part
        {"m5 Name 3", "m5", "3", "3"},               // a digit in the code is no value
        {"mz Name2 0 10", "mz", "2 0 10", "2 0 10"}, // a digit in the name is
        {"mA Name 1", "ma", "", ""},                 // codes are case-sensitive
    };
    for (const Case& c : cases) {
        const TemperamentList list({QString::fromUtf8(c.line)});
        for (const bool german : {true, false}) {
            LocaleGuard guard(german ? German() : English());
            EXPECT_EQ(list.FindTemperamentRow(QString::fromUtf8(c.code)),
                      QString::fromUtf8(german ? c.german : c.english))
                << c.line;
        }
    }
}

TEST(SetTemperament, FaultyValuesCountAsZeroAndAreNotedOnce) {
    struct Case {
        const char* line;
        std::array<long double, 12> cents;
        bool faulty;
    };
    const Case cases[] = {
        {"mz Fünf 5", {5}, true}, // one value: a only
        {"mz Voll 1 2 3 4 5 6 7 8 9 10 11 12 99", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, false},
        {"mz Name2 1 2 3 4 5 6 7 8 9 10 11 12", {2, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, false},
        {"mz Komma 1,5 0 0 0 0 0 0 0 0 0 0 0", {1.5}, false},                // a decimal comma
        {"mz Zwei 1,5.5 0 0 0 0 0 0 0 0 0 0 0", {}, true},                   // two separators
        {"mz Text 0 x 0 0 0 0 0 0 0 0 0 0", {}, true},                       // not a number
        {"mz Groß 1e9999 100000000 -100000000 0 0 0 0 0 0 0 0 0", {}, true}, // out of range
        // Degrees out of order: of two neighbours the one farther from its place counts as 0.
        {"mz Hoch 0 0 0 150 0 0 0 0 0 0 0 0", {}, true},                    // c above des
        {"mz Rest 10 -5 0 130 20 0 0 0 0 0 0 0", {10, -5, 0, 0, 20}, true}, // the others stay
        {"mz Tausch 0 0 0 0 100 -100 0 0 0 0 0 0", {}, true}, // des and d swapped: both
        {"mz Gleich 0 -100 0 0 0 0 0 0 0 0 0 0", {}, true},   // b on a
        {"mz Oben 0 0 0 0 0 0 0 0 0 0 0 120", {}, true},      // as above the next a
        {"mz Unten -120 0 0 0 0 0 0 0 0 0 0 0", {}, true},    // a below the as under it
        // Far from equal temperament, but in order.
        {"mz Weit 0 60 -30 0 0 0 0 0 0 0 0 99", {0, 60, -30, 0, 0, 0, 0, 0, 0, 0, 0, 99}, false},
    };
    for (const Case& c : cases) {
        LocaleGuard guard(English());
        TemperamentList list({QString::fromUtf8(c.line)});
        TonartScale scale(&list);
        for (int use = 0; use < 3; ++use) {
            scale.SetTonart(QStringLiteral("mz"), 440);
        }
        for (int i = 0; i < 12; ++i) {
            EXPECT_NEAR(static_cast<double>(scale.degree(i)),
                        static_cast<double>(Tempered(i, c.cents.at(static_cast<std::size_t>(i)))),
                        1e-9)
                << c.line << " degree " << i;
        }
        const QString line = QString::fromUtf8(c.line);
        const QStringList noted = {line, kTemperamentErrorLine};
        EXPECT_EQ(list.lines(), c.faulty ? noted : QStringList{line});
        // The user deletes the error line without mending the row: the next use notes it again.
        list.SetLines({QString::fromUtf8(c.line)});
        scale.SetTonart(QStringLiteral("mz"), 440);
        EXPECT_EQ(list.lines().size(), c.faulty ? 2 : 1);
    }
    // Without a list, or without a matching row, a code gives just intonation on a.
    TonartScale tempered;
    tempered.SetTonart(QStringLiteral("ma"), 330);
    TonartScale just;
    just.SetJust(330);
    EXPECT_EQ(tempered, just);
}

TEST(TemperamentFile, CreatedOnFirstStartThenRead) {
    RemoveListFile();
    TemperamentList list({"mz alt"});
    EXPECT_TRUE(list.LoadOrCreate());
    EXPECT_EQ(list.lines(), TemperamentList::DefaultLines());
    EXPECT_EQ(ReadTextLines(TemperamentList::FilePath()), TemperamentList::DefaultLines());
    WriteTextLines(TemperamentList::FilePath(), {"ma eigene 1 2 3"});
    EXPECT_FALSE(list.LoadOrCreate());
    EXPECT_EQ(list.lines(), QStringList{"ma eigene 1 2 3"});
    // Something unreadable in its place is neither lost nor overwritten.
    RemoveListFile();
    ASSERT_TRUE(QDir().mkpath(TemperamentList::FilePath()));
    EXPECT_FALSE(list.LoadOrCreate());
    EXPECT_EQ(list.lines(), TemperamentList::DefaultLines());
    EXPECT_TRUE(QFileInfo(TemperamentList::FilePath()).isDir());
    RemoveListFile();
}

} // namespace
} // namespace zk
