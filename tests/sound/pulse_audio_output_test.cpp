// SPDX-License-Identifier: GPL-3.0-or-later
// The system's sound server: chords played through PulseAudioOutput are recorded from the monitor
// of the server's null sink (scripts/start-sound-server.sh) and compared with the synthesised
// samples, and the recording's clock tells when each chord was heard.
#include "sound/pulse_audio_output.h"

#include "monitor_recording.h"
#include "sound/synthesis.h"
#include "sound/wav_format.h"
#include "sound_test_helpers.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace zk {
namespace {

using test::kOrgan;
using test::MonitorRecorder;
using test::MsBetween;
using test::Recording;
using test::SinkName;
using test::SinkReachable;
using test::SteadyClock;

#define REQUIRE_SOUND_SERVER()                                                                     \
    do {                                                                                           \
        if (!SinkReachable()) {                                                                    \
            if (qEnvironmentVariable("CI") == u"true") {                                           \
                FAIL() << "No PulseAudio server with the sink " << SinkName().toStdString()        \
                       << " is reachable; scripts/start-sound-server.sh starts one.";              \
            }                                                                                      \
            GTEST_SKIP() << "No PulseAudio server with the sink " << SinkName().toStdString()      \
                         << "; run scripts/start-sound-server.sh to hear the tests.";              \
        }                                                                                          \
    } while (false)

// The recorder of the sink, started by the first test that needs it.
#define REQUIRE_RECORDER(recorder)                                                                 \
    QString recorderError;                                                                         \
    MonitorRecorder* recorder = MonitorRecorder::Shared(SinkName(), recorderError);                \
    ASSERT_NE(recorder, nullptr) << "cannot record the sink: " << recorderError.toStdString()

std::vector<std::int16_t> Samples(const QByteArray& bytes, qsizetype offset = 0) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>((bytes.size() - offset) / 2));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = qFromLittleEndian<std::int16_t>(bytes.constData() + offset + 2 * i);
    }
    return samples;
}

qsizetype ImageFrames(const QByteArray& image) {
    return (image.size() - kWavHeaderSize) / kBytesPerFrame;
}

// Frame of the recording at which each image starts, found sample for sample and in order (each
// after the end of the one before), or −1 from the first image that is missing. Frame 0 of a
// chord is silent, so each is found by its frames from 1 on.
std::vector<qsizetype> Locate(const std::vector<std::int16_t>& recorded,
                              const std::vector<QByteArray>& images) {
    std::vector<qsizetype> starts(images.size(), -1);
    auto from = recorded.begin();
    for (std::size_t i = 0; i < images.size(); ++i) {
        const std::vector<std::int16_t> samples = Samples(images[i], kWavHeaderSize + 4);
        auto it = from;
        for (;;) {
            it = std::search(it, recorded.end(), samples.begin(), samples.end());
            if (it == recorded.end() || (it - recorded.begin()) % 2 == 0) {
                break;
            }
            ++it; // a match between the two channels of a frame is no match
        }
        if (it == recorded.end()) {
            return starts;
        }
        starts[i] = (it - recorded.begin()) / 2 - 1;
        from = it + static_cast<qsizetype>(samples.size());
    }
    return starts;
}

// Plays with a fresh output and returns what the sink played meanwhile; the output is drained
// and destroyed before the recording ends.
Recording Record(MonitorRecorder& recorder, const std::function<void(PulseAudioOutput&)>& play) {
    const auto begin = SteadyClock::now();
    QString notice;
    {
        PulseAudioOutput output([&](const QString& text) { notice = text; });
        play(output);
        output.Drain();
        EXPECT_TRUE(output.HasDevice()) << notice.toStdString();
    }
    return recorder.Between(begin, SteadyClock::now() + std::chrono::milliseconds(50));
}

// A piece of equal chords, each a little higher than the one before, so that no two are alike.
std::vector<QByteArray> Piece(int dauer, int chords) {
    std::vector<QByteArray> images;
    for (int k = 0; k < chords; ++k) {
        const long double step = 1.0L + k / 64.0L;
        images.push_back(ChordWavImage(dauer, test::Chord({264 * step, 330 * step}), kOrgan));
    }
    return images;
}

struct PieceCase {
    const char* name;
    int dauer;  // hundredths of a second
    int chords; // how many, one after the other
    int idleMs; // 0: the piece opens the stream; else a chord first and this long a pause
};

std::ostream& operator<<(std::ostream& out, const PieceCase& c) {
    return out << c.name;
}

class ShortAndLongPieces : public ::testing::TestWithParam<PieceCase> {};

// Every chord is heard sample for sample, in order and without a gap; the first one starts
// within 100 ms of the first call and Drain returns within 100 ms of the last one's end, whatever
// the state of the stream before.
TEST_P(ShortAndLongPieces, AreHeardWholeInOrderAndOnTime) {
    REQUIRE_SOUND_SERVER();
    REQUIRE_RECORDER(recorder);
    const PieceCase& c = GetParam();
    const std::vector<QByteArray> images = Piece(c.dauer, c.chords);
    const QByteArray first = ChordWavImage(30, test::Chord({396, 495}), kOrgan);
    SteadyClock::time_point start;
    std::vector<SteadyClock::time_point> returned;
    SteadyClock::time_point drained;
    const Recording recording = Record(*recorder, [&](PulseAudioOutput& output) {
        if (c.idleMs > 0) {
            output.PlayImage(first);
            output.Drain();
            QThread::msleep(static_cast<unsigned long>(c.idleMs));
        }
        start = SteadyClock::now();
        for (const QByteArray& image : images) {
            output.PlayImage(image);
            returned.push_back(SteadyClock::now());
        }
        output.Drain();
        drained = SteadyClock::now();
    });
    ASSERT_GT(recording.Frames(), 0) << "nothing recorded";
    std::vector<QByteArray> expected = images;
    if (c.idleMs > 0) {
        expected.insert(expected.begin(), first);
    }
    std::vector<qsizetype> starts = Locate(recording.samples, expected);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        ASSERT_GE(starts[i], 0) << "chord " << i << " of " << starts.size()
                                << " not heard sample for sample; " << recording.Frames()
                                << " frames recorded";
    }
    if (c.idleMs > 0) {
        starts.erase(starts.begin());
    }

    const auto endOf = [&](std::size_t i) {
        return recording.TimeOfFrame(static_cast<double>(starts[i] + ImageFrames(images[i])));
    };
    const double onsetMs = MsBetween(start, recording.TimeOfFrame(static_cast<double>(starts[0])));
    qsizetype widestGap = 0;
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
        const qsizetype gap = starts[i + 1] - (starts[i] + ImageFrames(images[i]));
        EXPECT_EQ(gap, 0) << "frames between chord " << i << " and " << i + 1;
        widestGap = std::max(widestGap, gap);
    }
    double earliest = 0;
    double latest = -1e9;
    for (std::size_t i = 0; i < images.size(); ++i) {
        const double ms = MsBetween(endOf(i), returned[i]);
        earliest = std::min(earliest, ms);
        latest = std::max(latest, ms);
    }
    const double drainMs = MsBetween(endOf(images.size() - 1), drained);

    std::ostringstream report;
    report << std::fixed << std::setprecision(1) << c.name << ": onset " << onsetMs
           << " ms, widest gap " << widestGap << " frames, PlayImage returns " << earliest << " .. "
           << latest << " ms from its chord's end, Drain " << drainMs << " ms after the last end";
    std::cout << report.str() << "\n";
    RecordProperty("onset_ms", static_cast<int>(onsetMs));
    RecordProperty("widest_gap_frames", static_cast<int>(widestGap));
    RecordProperty("drain_ms", static_cast<int>(drainMs));

    EXPECT_GE(onsetMs, -5.0) << "heard before it was played: the recording's clock is off";
    EXPECT_LE(onsetMs, 100.0);
    EXPECT_GE(earliest, -100.0) << "a chord returned long before its end";
    // Drain returns once the last frame has been heard (a few ms of clock error allowed).
    EXPECT_GE(drainMs, -10.0);
    EXPECT_LE(drainMs, 100.0);
}

INSTANTIATE_TEST_SUITE_P(
    PulseAudioOutput, ShortAndLongPieces,
    ::testing::Values(
        // The shortest chord: 440 frames each, far less than the server's pre-buffer.
        PieceCase{"Dauer1x60", 1, 60, 0}, PieceCase{"Dauer3x20", 3, 20, 0},
        PieceCase{"Dauer5x8", 5, 8, 0}, PieceCase{"Dauer8x8", 8, 8, 0},
        // One short chord as the whole piece, e.g. "Ton" in the frequency tools.
        PieceCase{"Dauer5Alone", 5, 1, 0}, PieceCase{"Dauer8Alone", 8, 1, 0},
        // Long enough to start the server's stream by itself.
        PieceCase{"Dauer30x2", 30, 2, 0},
        // After two seconds of silence the stream has run dry and starts again.
        PieceCase{"Dauer5AfterIdle", 5, 1, 2000}, PieceCase{"Dauer1x10AfterIdle", 1, 10, 2000}),
    [](const ::testing::TestParamInfo<PieceCase>& info) { return std::string(info.param.name); });

TEST(PulseAudioOutput, OtherWavFormatsArePlayedAtTheirOwnRateAndChannels) {
    REQUIRE_SOUND_SERVER();
    // A quarter second of mono, 8 bit, 22050 Hz: one sample value 0xC0 (+64 × 256).
    QByteArray image("RIFF\0\0\0\0WAVEfmt ", 16);
    QByteArray fmt(20, '\0');
    qToLittleEndian<std::uint32_t>(16, fmt.data());
    qToLittleEndian<std::uint16_t>(1, fmt.data() + 4);     // PCM
    qToLittleEndian<std::uint16_t>(1, fmt.data() + 6);     // mono
    qToLittleEndian<std::uint32_t>(22050, fmt.data() + 8); // frames per second
    qToLittleEndian<std::uint32_t>(22050, fmt.data() + 12);
    qToLittleEndian<std::uint16_t>(1, fmt.data() + 16);
    qToLittleEndian<std::uint16_t>(8, fmt.data() + 18);
    const QByteArray data(22050 / 4, '\xC0');
    QByteArray size(4, '\0');
    qToLittleEndian<std::uint32_t>(data.size(), size.data());
    image += fmt + "data" + size + data;
    qToLittleEndian<std::uint32_t>(image.size() - 8, image.data() + 4);

    REQUIRE_RECORDER(recorder);
    const Recording recording =
        Record(*recorder, [&](PulseAudioOutput& output) { output.PlayImage(image); });
    const auto loud =
        std::count(recording.samples.begin(), recording.samples.end(), std::int16_t{64 * 256});
    // Both channels for a quarter second at 44100 Hz, not an eighth of a second of noise.
    EXPECT_EQ(loud, 2 * 2 * (22050 / 4));
}

// Where the wait hook calls Stop(): while the image is still being written, while the last part
// of it waits in the stream, or while Drain waits for its end.
enum class StopPhase { Writing, Lead, Drain };

struct StopCase {
    const char* name;
    int dauer;
    StopPhase phase;
    int afterMs; // how long the sound plays before the hook stops it
};

std::ostream& operator<<(std::ostream& out, const StopCase& c) {
    return out << c.name;
}

class StopFromTheWaitHook : public ::testing::TestWithParam<StopCase> {};

// The waiting call returns right after the hook, the sound ends at once, nothing touches the
// stopped stream, and the next chord opens the stream again and is heard whole.
TEST_P(StopFromTheWaitHook, CutsTheSoundAndReturnsAtOnce) {
    REQUIRE_SOUND_SERVER();
    REQUIRE_RECORDER(recorder);
    const StopCase& c = GetParam();
    const QByteArray image = ChordWavImage(c.dauer, test::Chord({264, 330, 396}), kOrgan);
    const QByteArray after = ChordWavImage(8, test::Chord({297, 371.25}), kOrgan);
    SteadyClock::time_point stopped;
    SteadyClock::time_point hookDone; // Stop() has flushed the stream on the server
    SteadyClock::time_point returned;
    int callsAfterStop = 0;
    const Recording recording = Record(*recorder, [&](PulseAudioOutput& output) {
        const auto start = SteadyClock::now();
        const auto hook = [&] {
            if (stopped != SteadyClock::time_point{}) {
                ++callsAfterStop;
            } else if (MsBetween(start, SteadyClock::now()) >= c.afterMs) {
                stopped = SteadyClock::now();
                output.Stop();
                hookDone = SteadyClock::now();
            }
        };
        if (c.phase != StopPhase::Drain) {
            output.SetWaitHook(hook);
        }
        output.PlayImage(image);
        if (c.phase == StopPhase::Drain) {
            output.SetWaitHook(hook);
            output.Drain();
        }
        returned = SteadyClock::now();
        output.SetWaitHook({});
        QThread::msleep(300);
        output.PlayImage(after);
    });
    ASSERT_NE(stopped, SteadyClock::time_point{}) << "the hook never ran";
    // The flush is a round trip to the sound server, whose time depends on the machine's load;
    // the waiting call itself must not go on once the hook is back.
    const double stopMs = MsBetween(stopped, hookDone);
    const double returnMs = MsBetween(hookDone, returned);
    EXPECT_LT(stopMs, 50.0) << "Stop took long to flush the stream";
    EXPECT_LT(returnMs, 10.0) << "the waiting call went on after Stop";
    EXPECT_EQ(callsAfterStop, 0);

    // The last frame of the first sound, looked for up to the pause before the second.
    const auto pauseEnd = stopped + std::chrono::milliseconds(250);
    qsizetype last = -1;
    for (qsizetype f = 0; f < recording.Frames() && recording.TimeOfFrame(f) < pauseEnd; ++f) {
        if (recording.samples[2 * f] != 0) {
            last = f;
        }
    }
    ASSERT_GE(last, 0) << "nothing heard before the stop";
    const double endMs = MsBetween(stopped, recording.TimeOfFrame(static_cast<double>(last)));
    std::cout << std::fixed << std::setprecision(1) << c.name << ": Stop took " << stopMs
              << " ms, the call returned " << returnMs << " ms after it, and the sound ended "
              << endMs << " ms after Stop\n";
    EXPECT_LT(endMs, 50.0) << "the sound went on after Stop";
    EXPECT_GT(endMs, -50.0) << "the sound ended well before Stop";
    const std::vector<qsizetype> heard = Locate(recording.samples, {after});
    EXPECT_GE(heard[0], 0) << "the chord after the stop is not heard whole";
}

INSTANTIATE_TEST_SUITE_P(
    PulseAudioOutput, StopFromTheWaitHook,
    ::testing::Values(
        // Three seconds: most of it is still to be written when the hook stops it.
        StopCase{"WhileWriting", 300, StopPhase::Writing, 400},
        // 150 ms fit into the stream at once; PlayImage waits until 70 ms are left.
        StopCase{"WhileWaitingForTheLead", 15, StopPhase::Lead, 60},
        StopCase{"WhileDraining", 30, StopPhase::Drain, 20}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// With a hook, the waiting calls run it instead of the pending events; without one (or after an
// empty one is set) the events run while the sound is queued.
TEST(PulseAudioOutput, TheWaitHookTakesThePlaceOfTheEventLoop) {
    REQUIRE_SOUND_SERVER();
    const QByteArray image = ChordWavImage(30, test::Chord({264, 330}), kOrgan);
    struct Row {
        const char* name;
        bool setHook;
        bool clearHook;
        bool eventsRun; // a timer due at once fires while PlayImage waits
    };
    const Row rows[] = {
        {"no hook", false, false, true},
        {"a hook", true, false, false},
        // An empty hook brings back the default.
        {"a hook, then none", true, true, true},
    };
    PulseAudioOutput output;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int hookCalls = 0;
        if (row.setHook) {
            output.SetWaitHook([&] { ++hookCalls; });
        }
        if (row.clearHook) {
            output.SetWaitHook({});
        }
        bool fired = false;
        QTimer::singleShot(0, [&] { fired = true; });
        output.PlayImage(image);
        EXPECT_EQ(fired, row.eventsRun);
        EXPECT_EQ(hookCalls > 0, row.setHook && !row.clearHook);
        output.Drain();
        QCoreApplication::processEvents();
        EXPECT_TRUE(fired);
        output.SetWaitHook({});
    }
    EXPECT_TRUE(output.HasDevice());
}

// PlayImage and Drain called from the hook do nothing, a hook may replace itself, and an
// exception from the hook leaves PlayImage; the chords queued by the outer calls are heard
// whole, in order and without a gap.
TEST(PulseAudioOutput, CallsFromTheWaitHookLeaveTheQueuedSoundAlone) {
    REQUIRE_SOUND_SERVER();
    REQUIRE_RECORDER(recorder);
    // The second chord fits into the stream at once, so the hook first runs (and throws) once
    // it is queued whole.
    const std::vector<QByteArray> piece{
        ChordWavImage(20, test::Chord({264, 330}), kOrgan),
        ChordWavImage(5, test::Chord({297, 371.25}), kOrgan),
        ChordWavImage(20, test::Chord({330, 412.5}), kOrgan),
    };
    const QByteArray nested = ChordWavImage(20, test::Chord({440, 550}), kOrgan);
    int nestedCalls = 0;
    int replacementCalls = 0;
    bool thrown = false;
    const Recording recording = Record(*recorder, [&](PulseAudioOutput& output) {
        output.SetWaitHook([&] {
            ++nestedCalls;
            output.PlayImage(nested);
            output.Drain();
            output.SetWaitHook([&] { ++replacementCalls; });
        });
        output.PlayImage(piece[0]);
        output.SetWaitHook([] { throw std::runtime_error("hook"); });
        try {
            output.PlayImage(piece[1]);
        } catch (const std::runtime_error&) {
            thrown = true;
        }
        output.SetWaitHook({});
        output.PlayImage(piece[2]);
    });
    EXPECT_EQ(nestedCalls, 1);
    EXPECT_GT(replacementCalls, 0);
    EXPECT_TRUE(thrown);
    const std::vector<qsizetype> starts = Locate(recording.samples, piece);
    ASSERT_GE(starts[2], 0) << "the piece is not heard whole and in order";
    EXPECT_EQ(starts[1], starts[0] + ImageFrames(piece[0]));
    EXPECT_EQ(starts[2], starts[1] + ImageFrames(piece[1]));
    EXPECT_LT(Locate(recording.samples, {nested})[0], 0) << "the nested chord was played";
}

} // namespace
} // namespace zk
