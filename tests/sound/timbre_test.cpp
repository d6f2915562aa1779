// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/timbre.h"

#include "common/qt_printers.h"

#include <gtest/gtest.h>

#include <ostream>

namespace zk {
namespace {

struct AmplitudeCase {
    OvertoneTexts texts;
    OvertoneAmplitudes expected;
};

void PrintTo(const AmplitudeCase& c, std::ostream* out) {
    for (const QString& text : c.texts) {
        *out << '"' << text.toStdString() << "\" ";
    }
}

class OvertoneAmplitudesTest : public ::testing::TestWithParam<AmplitudeCase> {};

TEST_P(OvertoneAmplitudesTest, FollowFromThePercentages) {
    Timbre timbre;
    timbre.overtoneTexts = GetParam().texts;
    timbre.Eoberton1Exit();
    EXPECT_EQ(timbre.amplitudes, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Spectra, OvertoneAmplitudesTest,
    ::testing::Values(
        // the organ spectrum: T = 285, the amplitudes come to 31998
        AmplitudeCase{kOrgelTexts, {11228, 8421, 5614, 3368, 1684, 1122, 561}},
        // all zero: the fundamental alone, a sine of amplitude 4000
        AmplitudeCase{{"0", "0", "0", "0", "0", "0"}, {32000, 0, 0, 0, 0, 0, 0}},
        // letters, an empty edit and a decimal count as 0; blanks around a number do not matter
        AmplitudeCase{{"abc", "", "12,5", " 100 ", "0", "0"}, {16000, 0, 0, 0, 16000, 0, 0}},
        // a negative percentage counts as 0 and cannot bring the total to zero
        AmplitudeCase{{"-100", "-50", "0", "0", "0", "0"}, {32000, 0, 0, 0, 0, 0, 0}},
        // huge percentages: the total is computed in 64 bits, the fundamental all but vanishes
        AmplitudeCase{{"2147483647", "2147483647", "0", "0", "0", "0"},
                      {0, 15999, 15999, 0, 0, 0, 0}}),
    [](const auto& info) { return "spectrum" + std::to_string(info.index); });

TEST(Timbre, RechteckClicksCycleThroughSquareSawtoothAndOff) {
    Timbre timbre;
    timbre.sinus = true;
    timbre.orgel = true;
    struct Step {
        bool checked;
        const char* caption;
        bool editsVisible;
        TimbreMode mode;
    };
    const Step steps[] = {
        {true, "Rechteck", false, TimbreMode::Rechteck},  // on: square, edits hidden
        {true, "Sägezahn", false, TimbreMode::Saegezahn}, // still on: sawtooth
        {false, "Sägezahn", true, TimbreMode::Obertoene}, // off; the caption stays
        {true, "Rechteck", false, TimbreMode::Rechteck},  // and round again
    };
    for (const Step& step : steps) {
        timbre.CBRechteckClick();
        EXPECT_EQ(timbre.rechteck, step.checked) << step.caption;
        EXPECT_EQ(timbre.rechteckCaption, QString::fromUtf8(step.caption));
        EXPECT_EQ(timbre.overtoneEditsVisible, step.editsVisible) << step.caption;
        EXPECT_EQ(timbre.Mode(), step.mode) << step.caption;
        EXPECT_FALSE(timbre.sinus);
        EXPECT_FALSE(timbre.orgel);
    }
}

TEST(Timbre, SinusAndOrgelSwitchTheSawtoothOffWhateverItsCaption) {
    for (const bool viaSinus : {true, false}) {
        Timbre timbre;
        timbre.CBRechteckClick();
        timbre.CBRechteckClick(); // sawtooth
        if (viaSinus) {
            timbre.CBSinusClick();
            EXPECT_EQ(timbre.overtoneTexts, (OvertoneTexts{"0", "0", "0", "0", "0", "0"}));
            EXPECT_TRUE(timbre.sinus);
        } else {
            timbre.overtoneTexts = {"1", "2", "3", "4", "5", "6"};
            timbre.CBorgelClick();
            EXPECT_EQ(timbre.overtoneTexts, kOrgelTexts);
            EXPECT_TRUE(timbre.orgel);
        }
        EXPECT_FALSE(timbre.rechteck);
        EXPECT_TRUE(timbre.overtoneEditsVisible);
        // The next click on Rechteck starts the cycle from the square again.
        timbre.CBRechteckClick();
        EXPECT_EQ(timbre.Mode(), TimbreMode::Rechteck);
        EXPECT_FALSE(timbre.sinus || timbre.orgel);
    }
}

TEST(Timbre, UncheckingSinusOrOrgelChangesNothingElse) {
    Timbre timbre;
    timbre.CBSinusClick();
    timbre.overtoneTexts[0] = QStringLiteral("20");
    Timbre before = timbre;
    timbre.CBSinusClick();
    before.sinus = false;
    EXPECT_EQ(timbre, before);

    timbre.CBorgelClick();
    timbre.overtoneTexts[0] = QStringLiteral("20");
    before = timbre;
    timbre.CBorgelClick();
    before.orgel = false;
    EXPECT_EQ(timbre, before);
}

TEST(Timbre, LeavingAnEditClearsThePresetMarksButNotTheEdits) {
    Timbre timbre;
    timbre.CBSinusClick();
    EXPECT_EQ(timbre.amplitudes, OvertoneAmplitudes{}); // setting texts computes nothing
    timbre.Eoberton1Exit();
    EXPECT_FALSE(timbre.sinus);
    EXPECT_EQ(timbre.Mode(), TimbreMode::Obertoene);
    EXPECT_EQ(timbre.amplitudes, (OvertoneAmplitudes{32000, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(timbre.overtoneTexts[5], QStringLiteral("0"));
}

} // namespace
} // namespace zk
