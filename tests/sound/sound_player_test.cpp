// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/sound_player.h"

#include "common/locale_guard.h"
#include "common/qt_printers.h"
#include "sound/audio_output.h"
#include "sound/chord_cache.h"
#include "sound/synthesis.h"
#include "sound/wav_format.h"
#include "support/errors.h"
#include "support/program_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "sound_test_helpers.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

using test::Chord;

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Every test starts with an empty cache in the test program's own folder.
class Player : public ::testing::Test {
protected:
    void SetUp() override { QDir(ProgramDir() + QStringLiteral("wav")).removeRecursively(); }
    void TearDown() override { QDir(ProgramDir() + QStringLiteral("wav")).removeRecursively(); }

    QByteArray Synthesised(int dauer, const ChordFrequencies& chord) {
        Timbre timbre = player.timbre();
        timbre.Eoberton1Exit();
        return ChordWavImage(dauer, chord, timbre.ForSamples());
    }

    test::LocaleGuard m_locale{test::German()};
    RecordingAudioOutput output;
    SoundPlayer player{output};
};

TEST_F(Player, PlaysTheSynthesisedChordAndKeepsItInTheCache) {
    const ChordFrequencies chord = Chord({264, 330, 396});
    player.PlayChord(92, chord);
    ASSERT_EQ(output.images.size(), 1);
    EXPECT_EQ(output.images[0], Synthesised(92, chord));
    const QString path = ProgramDir() + QStringLiteral("wav/92o75o50o30o15o10o5/264+330+396.wav");
    EXPECT_EQ(ChordCachePath(92, chord, player.timbre()), path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), output.images[0]);
    EXPECT_EQ(player.lastPiece().Records(), (std::vector<ChordRecord>{{92, chord}}));
}

TEST_F(Player, TheSecondPlayingComesFromTheCacheFile) {
    const ChordFrequencies chord = Chord({440});
    const QString path = ChordCachePath(10, chord, player.timbre());
    // A stored file with the right header and size is played as it is, without synthesis.
    QByteArray stored = WavHeader(ChordFrameCount(10));
    stored.append(QByteArray(ChordFrameCount(10) * 4, '\x11'));
    WriteBytes(path, stored);
    player.PlayChord(10, chord);
    ASSERT_EQ(output.images.size(), 1);
    EXPECT_EQ(output.images[0], stored);
}

TEST_F(Player, AnUnusableCacheFileIsReplacedByAFreshSynthesis) {
    const ChordFrequencies chord = Chord({330});
    const QString path = ChordCachePath(3, chord, player.timbre());
    const QByteArray unusable[] = {
        QByteArray("not a sound"),                               // foreign content
        Synthesised(3, chord).left(500),                         // cut short
        WavHeader(ChordFrameCount(4)) + QByteArray(1320 * 4, 0), // another chord's header
    };
    for (const QByteArray& bytes : unusable) {
        WriteBytes(path, bytes);
        output.images.clear();
        player.PlayChord(3, chord);
        ASSERT_EQ(output.images.size(), 1);
        EXPECT_EQ(output.images[0], Synthesised(3, chord));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), output.images[0]) << "the cache file is mended";
    }
}

TEST_F(Player, ACacheFileThatCannotBeReadOrWrittenStillPlaysThenReports) {
    const ChordFrequencies chord = Chord({550});
    const QString path = ChordCachePath(2, chord, player.timbre());
    QDir().mkpath(path); // a folder where the file should be
    EXPECT_THROW(player.PlayChord(2, chord), FileError);
    ASSERT_EQ(output.images.size(), 1);
    EXPECT_EQ(output.images[0], Synthesised(2, chord));
    EXPECT_EQ(player.lastPiece().size(), 1u);
}

TEST_F(Player, WithoutMitAbspeichernNoFileIsReadOrWritten) {
    player.SetCacheEnabled(false);
    const ChordFrequencies chord = Chord({440});
    const QString path = ChordCachePath(10, chord, player.timbre());
    WriteBytes(path, WavHeader(ChordFrameCount(10)) + QByteArray(ChordFrameCount(10) * 4, 'x'));
    player.PlayChord(10, chord);
    player.PlayChord(11, chord);
    ASSERT_EQ(output.images.size(), 2);
    EXPECT_EQ(output.images[0], Synthesised(10, chord)); // the stored file was not read
    EXPECT_FALSE(QFile::exists(ChordCachePath(11, chord, player.timbre())));
}

TEST_F(Player, AChordOfNoDurationPlaysTheHeaderAloneAndStoresNothing) {
    player.PlayChord(0, Chord({440}));
    ASSERT_EQ(output.images.size(), 1);
    EXPECT_EQ(output.images[0], WavHeader(0));
    EXPECT_FALSE(QDir(ProgramDir() + QStringLiteral("wav")).exists());
}

TEST_F(Player, ChordsThatSoundDifferentNeverShareACacheFile) {
    const struct {
        const char* what;
        ChordFrequencies first;
        ChordFrequencies second;
    } cases[] = {
        {"c.e (only c sounds) and ce", Chord({132, 0, 165}), Chord({132, 165})},
        {"a beat of 0.05 Hz", Chord({440, 440}), Chord({440, 440.05L})},
        {"a beat below a thousandth of a hertz", Chord({440, 440.0001L}), Chord({440, 440})},
        {"digits that would run together", Chord({264, 330}), Chord({2643, 30})},
        {"decimals that would run together", Chord({440.05L, 660}), Chord({440.0566L})},
    };
    for (const auto& c : cases) {
        output.images.clear();
        player.PlayChord(50, c.first);
        player.PlayChord(50, c.second);
        ASSERT_EQ(output.images.size(), 2) << c.what;
        EXPECT_EQ(output.images[1], Synthesised(50, c.second)) << c.what;
        EXPECT_NE(ChordCachePath(50, c.first, player.timbre()),
                  ChordCachePath(50, c.second, player.timbre()))
            << c.what;
    }
}

TEST_F(Player, ChordsThatSoundTheSameShareTheirFile) {
    // Tones after the first gap are not heard: "c.e" sounds as "c".
    EXPECT_EQ(ChordCacheName(Chord({132, 0, 165})), ChordCacheName(Chord({132})));
    EXPECT_EQ(ChordCacheName(Chord({264, 330, 396})), QStringLiteral("264+330+396"));
    EXPECT_EQ(ChordCacheName(Chord({412.5L})), QStringLiteral("412_5"));
    EXPECT_EQ(ChordCacheName(Chord({440.05L})), QStringLiteral("440_05"));
    test::LocaleGuard english(test::English());
    EXPECT_EQ(ChordCacheName(Chord({412.5L})), QStringLiteral("412.5"));
}

TEST_F(Player, TheFolderCarriesDurationAndTimbre) {
    Timbre timbre;
    const struct {
        const char* what;
        void (*change)(Timbre&);
        const char* folder;
    } cases[] = {
        {"the organ", [](Timbre&) {}, "wav/92o75o50o30o15o10o5"},
        {"sine: all percentages 0", [](Timbre& t) { t.CBSinusClick(); }, "wav/92o0o0o0o0o0o0"},
        {"square", [](Timbre& t) { t.CBRechteckClick(); }, "wav/R92"},
        {"sawtooth",
         [](Timbre& t) {
             t.CBRechteckClick();
             t.CBRechteckClick();
         },
         "wav/S92"},
        {"texts as they sound, nothing that leads out of the folder",
         [](Timbre& t) { t.overtoneTexts = {"../..", " 75", "-3", "x", "050", "5"}; },
         "wav/92o0o75o0o0o50o5"},
    };
    for (const auto& c : cases) {
        Timbre t;
        c.change(t);
        EXPECT_EQ(ChordCacheFolder(92, t), QString::fromUtf8(c.folder)) << c.what;
    }
}

TEST_F(Player, PlayChordReReadsTheSpectrumAndRecordsTheChord) {
    player.timbre().overtoneTexts.fill(QStringLiteral("0"));
    player.timbre().orgel = true;
    player.PlayChord(4, Chord({440}));
    EXPECT_EQ(player.timbre().amplitudes, (OvertoneAmplitudes{32000, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(player.timbre().orgel);
    player.PlayChord(4, Chord({220, 440})); // same top tone
    EXPECT_EQ(player.lastPiece().size(), 3u);
    player.ClearLastPiece();
    EXPECT_TRUE(player.lastPiece().empty());
}

TEST_F(Player, RefusesAChordLongerThanAnHourBeforeRecordingIt) {
    try {
        player.PlayChord(kMaxDauer + 1, Chord({440}));
        FAIL() << "no error";
    } catch (const RangeError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("Stunde")));
    }
    EXPECT_THROW(player.PlayChord(10, Chord({440, 1e13L})), RangeError);
    EXPECT_TRUE(player.lastPiece().empty());
    EXPECT_TRUE(output.images.isEmpty());
}

TEST_F(Player, TheWholePieceIsWrittenInTheTimbreOfTheMomentOfWriting) {
    player.PlayChord(3, Chord({264}));
    player.PlayChord(3, Chord({330}));
    player.timbre().CBRechteckClick(); // square from now on
    const QString path = ProgramDir() + QStringLiteral("piece.wav");
    player.WriteLastPieceWav(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const SampleTimbre square{TimbreMode::Rechteck, player.timbre().amplitudes};
    // Each chord from its own frame 0, after one header for both.
    const QByteArray expected = WavHeader(2 * 1322) +
                                ChordWavImage(3, Chord({264}), square).mid(kWavHeaderSize) +
                                ChordWavImage(3, Chord({330}), square).mid(kWavHeaderSize);
    EXPECT_EQ(file.readAll(), expected);
}

// The repeat loop as the main window drives it: flags and a "Stop" that comes while the sound
// plays.
class ScriptedControl : public PlaybackControl {
public:
    void ProcessPendingEvents() override { ++events; }
    bool OnlyCompute() const override { return onlyCompute; }
    bool Dauernd() const override { return dauernd; }
    // "Stop": OnlyCompute on, "dauernd" off.
    void Stop() {
        onlyCompute = true;
        dauernd = false;
    }
    bool onlyCompute = false;
    bool dauernd = false;
    int events = 0;
};

TEST_F(Player, TheRepeatLoopPlaysOnceOrUntilStop) {
    const struct {
        const char* what;
        bool onlyCompute;
        bool dauernd;
        int stopDuringPlay; // 0: never
        int plays;
    } cases[] = {
        {"without dauernd: once", false, false, 0, 1},
        {"after Rechne or Stop: once, even with dauernd", true, true, 0, 1},
        {"dauernd: until Stop, the playing sound not cut off", false, true, 4, 4},
    };
    for (const auto& c : cases) {
        ScriptedControl control;
        control.onlyCompute = c.onlyCompute;
        control.dauernd = c.dauernd;
        RecordingAudioOutput loopOutput;
        loopOutput.onPlay = [&](const QByteArray&) {
            if (loopOutput.images.size() == c.stopDuringPlay) {
                control.Stop();
            }
        };
        RepeatPlayback(loopOutput, WavHeader(0), control);
        EXPECT_EQ(loopOutput.images.size(), c.plays) << c.what;
        EXPECT_EQ(control.events, c.plays) << c.what;
        EXPECT_EQ(loopOutput.stops, 0) << c.what;
    }
}

TEST_F(Player, TheLastPieceIsPlayedFromTempWav) {
    player.PlayChord(2, Chord({264, 330}));
    player.PlayChord(2, Chord({297}));
    output.images.clear();
    ScriptedControl control;
    player.PlayLastPiece(control);
    QFile file(ProgramDir() + QStringLiteral("temp.wav"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray temp = file.readAll();
    EXPECT_EQ(temp.size(), kWavHeaderSize + 2 * 881 * 4);
    EXPECT_EQ(output.images, QList<QByteArray>{temp});
}

TEST_F(Player, ASavedFileIsPlayedAsItIsOrRefusedWithItsName) {
    ScriptedControl control;
    const QString sound = ProgramDir() + QStringLiteral("saved.wav");
    WriteBytes(sound, Synthesised(1, Chord({440})));
    player.PlaySavedFile(sound, control);
    ASSERT_EQ(output.images.size(), 1);
    EXPECT_EQ(output.images[0], Synthesised(1, Chord({440})));

    const QString text = ProgramDir() + QStringLiteral("piece.txt");
    WriteBytes(text, "TA   D    Akkord\r\n");
    for (const QString& path : {text, ProgramDir() + QStringLiteral("missing.wav")}) {
        try {
            player.PlaySavedFile(path, control);
            ADD_FAILURE() << "accepted " << path.toStdString();
        } catch (const FileError& error) {
            EXPECT_TRUE(error.message().contains(path)) << error.message().toStdString();
        }
    }
    EXPECT_EQ(output.images.size(), 1);
}

TEST_F(Player, TheRememberedWavNameStartsTheDialogs) {
    QFile::remove(WavIniPath());
    // Nothing remembered: a new name in the cache folder, and the program folder to open from.
    EXPECT_EQ(SaveWavStartName(), ProgramDir() + QStringLiteral("wav/wav1.wav"));
    EXPECT_EQ(OpenWavStartName(), ProgramDir());
    RememberWavFileName(QStringLiteral("/tmp/stück.wav"));
    EXPECT_EQ(SaveWavStartName(), QStringLiteral("/tmp/stück.wav"));
    EXPECT_EQ(OpenWavStartName(), QStringLiteral("/tmp/stück.wav"));
}

} // namespace
} // namespace zk
