// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/interval_analysis.h"

#include "common/locale_guard.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zk {
namespace {

using test::English;
using test::German;
using test::LocaleGuard;

TEST(IntervalName, Forms) {
    using F = IntervalForm;
    struct Case {
        F form;
        long long num;
        long long den;
        const char* expected;
    };
    const Case cases[] = {
        {F::Name, 1, 1, "P "},         {F::Name, 2, 1, "Ok "},  // prime, octave
        {F::Name, 4, 1, "Ok*Ok "},     {F::Name, 1, 2, "Ok "},  // two octaves, octave down
        {F::Name, 3, 1, "Ok*Q"},       {F::Name, 9, 4, "Ok*G"}, // twelfth, ninth
        {F::Name, 2, 3, "q"},          {F::Name, 4, 5, "ks"},   // below 1: octave complement
        {F::Name, 81, 80, " 81/80 "},  {F::Name, 81, 20, "Ok*Ok* 81/20 "}, // comma: no name
        {F::Name, 7, 4, " 7/4 "},      {F::Steps, 7, 4, " 7/4 "},          // prime 7 in every form
        {F::Oqt, 7, 4, " 7/4 "},       {F::Name, 0, 5, ""},                // and no interval at all
        {F::Steps, 5, 4, "(110)"},     {F::Steps, 3, 2, "(211)"},
        {F::Steps, 81, 80, "(412)"},   {F::Steps, 1, 1, "(000)"}, // octaves removed
        {F::Oqt, 3, 2, "[ 0 1 0]"},    {F::Oqt, 45, 32, "[-1 2 1]"},
        {F::Oqt, 9, 8, "[-1 2 0]"},    {F::Oqt, 16, 15, "[ 1-1-1]"},
        {F::Oqt, 6, 5, "[ 0 1-1]"},    {F::Oqt, 81, 80, "[-2 4-1]"},
        {F::Oqt, 1024, 1, "[10 0 0]"}, // two-digit numbers fill their field
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IntervalName(c.form, c.num, c.den), QString::fromUtf8(c.expected))
            << c.num << "/" << c.den;
    }
}

// Every ratio of the interval vocabulary gets its name, an octave higher with one "Ok*".
TEST(IntervalName, EveryNamedRatio) {
    const QString table = QStringLiteral(
        "16/15 H|256/225 vT(~f#a*)|10/9 G-|32/27 kT-|9/8 G|6/5 kT|32/25 vq(~he*)|5/4 gT|4/3 q|"
        "64/45 vQ(~hf)|1024/675 vs(~f#d*)|25/18 üq-|40/27 Q-|128/81 ks-|81/64 gT+|27/20 q+|"
        "36/25 vQ(~ae*)|45/32 üq(~fh)|3/2 Q|8/5 ks|128/75 vS|25/16 üQ(~a*e)|5/3 gs|16/9 kS|"
        "256/135 gS(~f#f)|50/27 gS(~ba)|256/243 H-|27/16 gs+|9/5 kS+|48/25 gS(~aa*)|"
        "225/128 vS(d*h)|15/8 gS|25/24 H(~a*a)|243/128 gS(Ok-H-)|27/25 H+|135/128 H(~f*f#)|"
        "75/64 üG(~e*f#)|675/512 üT(~d*f#)");
    for (const QString& entry : table.split(u'|')) {
        const QStringList ratio = entry.section(u' ', 0, 0).split(u'/');
        const QString name = entry.section(u' ', 1);
        const long long num = ratio[0].toLongLong();
        const long long den = ratio[1].toLongLong();
        EXPECT_EQ(IntervalName(IntervalForm::Name, num, den), name) << entry.toStdString();
        EXPECT_EQ(IntervalName(IntervalForm::Name, 2 * num, den), "Ok*" + name);
    }
}

long long IntPow(long long base, int exponent) {
    long long result = 1;
    for (int i = 0; i < exponent; ++i) {
        result *= base;
    }
    return result;
}

// For every 5-limit ratio, 2^O × (3/2)^Q × (5/4)^T rebuilds it, and the step counts never keep a
// whole octave.
TEST(IntervalName, CoordinatesRebuildTheRatio) {
    for (int a = -6; a <= 6; ++a) {
        for (int b = -5; b <= 5; ++b) {
            for (int c = -4; c <= 4; ++c) {
                const long long num = IntPow(2, std::max(a, 0)) * IntPow(3, std::max(b, 0)) *
                                      IntPow(5, std::max(c, 0));
                const long long den = IntPow(2, std::max(-a, 0)) * IntPow(3, std::max(-b, 0)) *
                                      IntPow(5, std::max(-c, 0));
                const std::optional<StepCounts> steps = StepCountsOf(num, den);
                ASSERT_TRUE(steps.has_value());
                EXPECT_FALSE(steps->large > 2 && steps->small >= 2 && steps->half >= 2);
                const OqtCoordinates o = OqtCoordinatesOf(num, den, *steps);
                const long double rebuilt = std::ldexp(1.0L, static_cast<int>(o.octaves)) *
                                            std::pow(1.5L, static_cast<int>(o.fifths)) *
                                            std::pow(1.25L, static_cast<int>(o.thirds));
                EXPECT_NEAR(static_cast<double>(rebuilt * den / num), 1.0, 1e-15)
                    << num << "/" << den;
            }
        }
    }
    EXPECT_FALSE(StepCountsOf(7, 4).has_value());
    EXPECT_FALSE(StepCountsOf(0, 1).has_value());
}

// Number texts under the comma locale and under the point locale.
TEST(IntervalText, Column4) {
    struct Case {
        const char* mode;
        bool tempered;
        long double b;
        long double c;
        int decimals;
        const char* german;
        const char* english;
    };
    const Case cases[] = {
        {"Frequenzverhälnisse", false, 132, 165, 1, "5/4", "5/4"},
        {"Frequenzverhältnisse (bei gelichschwebend/mitteltönig: Cent)", false, 148.5, 132, 1,
         "8/9", "8/9"}, // the start-up header, like any unknown mode, shows fractions
        {"Frequenzverhälnisse", false, 132, 132 * 531441.0L / 524288, 1, "531441/524288",
         "531441/524288"}, // the Pythagorean comma
        {"benachbarte Intervalle", false, 132, 396, 1, "Ok*Q", "Ok*Q"},
        {"[Oktav Quint Terz]", false, 132, 158.4, 1, "[ 0 1-1]", "[ 0 1-1]"},
        {"(G G- H)", false, 132, 165, 1, "(110)", "(110)"},
        {"Frequenzv. Cent Bez. GG-H OQT", false, 132, 198, 1, "3/2 702 Q (211)[ 0 1 0]",
         "3/2 702 Q (211)[ 0 1 0]"},
        {"Frequenzv. Cent Bez. GG-H OQT", false, 198, 132, 2, "2/3 -701,96 q (111)[ 0-1 0]",
         "2/3 -701.96 q (111)[ 0-1 0]"}, // cents unreduced
        {"Frequenzv. Cent Bez. GG-H OQT", false, 132, 231, 1, "7/4 968,8 7/4  7/4  7/4 ",
         "7/4 968.8 7/4  7/4  7/4 "},
        {"In Cent", false, 132, 198, 3, "701,955", "701.955"},
        {"In Cent", false, 132, 528, 1, "1200", "1200"},                   // an octave stays 1200
        {"In Cent", false, 264, 198, 1, "702", "702"},                     // a falling fourth
        {"In Cent", false, 264, 132, 1, "0", "0"},                         // a falling octave
        {"Intervalle", true, 261.6255653L, 329.6275569L, 2, "400", "400"}, // tempered: cents
        {"Intervalle", false, 0, 198, 1, "", ""},                          // nothing to compare
        {"In Cent", true, 132, 0, 1, "", ""},
        {"Frequenzverhälnisse", false, 2, 6000000001, 1, "", ""}, // beyond 32-bit numbers
    };
    for (const Case& c : cases) {
        for (const bool german : {true, false}) {
            LocaleGuard guard(german ? German() : English());
            EXPECT_EQ(IntervalText(QString::fromUtf8(c.mode), c.decimals, c.tempered, c.b, c.c),
                      QString::fromUtf8(german ? c.german : c.english))
                << c.mode;
        }
    }
}

TEST(FrequencyText, Column3) {
    struct Case {
        const char* mode;
        long double firstKey;
        long double f;
        int decimals;
        const char* german;
        const char* english;
    };
    const Case cases[] = {
        {"Intervalle", 132, 148.5, 1, "148,5", "148.5"},
        {"Intervalle", 132, 150.35625L, 3, "150,356", "150.356"},
        {"In Cent", 132, 198, 1, "702", "702"}, // cents above the first key
        {"In Cent", 132, 264, 1, "0", "0"},     // an octave counts as 0
        {"In Cent", 132, 99, 1, "702", "702"},  // below the key
        {"In Cent", 0, 660, 1, "702", "702"},   // no key yet: above 440 Hz
    };
    for (const Case& c : cases) {
        for (const bool german : {true, false}) {
            LocaleGuard guard(german ? German() : English());
            EXPECT_EQ(FrequencyText(QString::fromUtf8(c.mode), c.decimals, c.firstKey, c.f),
                      QString::fromUtf8(german ? c.german : c.english))
                << c.mode;
        }
    }
    EXPECT_EQ(FrequencyHeader(kModeCents, kFrequencyHeader), kCentHeader);
    EXPECT_EQ(FrequencyHeader(kModeIntervals, kCentHeader), kFrequencyHeader);
    EXPECT_EQ(FrequencyHeader(kModeAll, "siehe unten"), QStringLiteral("siehe unten"));
}

} // namespace
} // namespace zk
