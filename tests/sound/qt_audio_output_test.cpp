// The system's sound server: chords played through QtAudioOutput are recorded from the monitor of
// the server's null sink (scripts/start-sound-server.sh) and compared with the synthesised
// samples, and the recording's clock tells when each chord was heard.
#include "sound/qt_audio_output.h"

#include "monitor_recording.h"
#include "sound/synthesis.h"
#include "sound/wav_format.h"
#include "sound_test_helpers.h"

#include <QProcess>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <vector>

namespace zk {
namespace {

using test::kOrgan;
using test::MonitorRecorder;
using test::MsBetween;
using test::Recording;
using test::SteadyClock;

// The null sink the sound server script loads.
QString SinkName() {
    const QString name = qEnvironmentVariable("ZIRKELON_TEST_SINK");
    return name.isEmpty() ? QStringLiteral("zirkelon_null") : name;
}

bool SinkReachable() {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"),
                {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sinks")});
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0) {
        return false;
    }
    return QString::fromUtf8(pactl.readAllStandardOutput()).contains(SinkName());
}

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
Recording Record(MonitorRecorder& recorder, const std::function<void(QtAudioOutput&)>& play) {
    const auto begin = SteadyClock::now();
    QString notice;
    {
        QtAudioOutput output([&](const QString& text) { notice = text; });
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
    const Recording recording = Record(*recorder, [&](QtAudioOutput& output) {
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
    QtAudioOutput, ShortAndLongPieces,
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

TEST(QtAudioOutput, OtherWavFormatsArePlayedAtTheirOwnRateAndChannels) {
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
        Record(*recorder, [&](QtAudioOutput& output) { output.PlayImage(image); });
    const auto loud =
        std::count(recording.samples.begin(), recording.samples.end(), std::int16_t{64 * 256});
    // Both channels for a quarter second at 44100 Hz, not an eighth of a second of noise.
    EXPECT_EQ(loud, 2 * 2 * (22050 / 4));
}

} // namespace
} // namespace zk
