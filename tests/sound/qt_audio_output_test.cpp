// The system's sound server: chords played through QtAudioOutput are recorded from the monitor of
// the server's null sink (scripts/start-sound-server.sh) and compared with the synthesised
// samples.
#include "sound/qt_audio_output.h"

#include "sound/synthesis.h"
#include "sound/wav_format.h"
#include "sound_test_helpers.h"

#include <QProcess>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <vector>

namespace zk {
namespace {

using test::kOrgan;

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

std::vector<std::int16_t> Samples(const QByteArray& bytes, qsizetype offset = 0) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>((bytes.size() - offset) / 2));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = qFromLittleEndian<std::int16_t>(bytes.constData() + offset + 2 * i);
    }
    return samples;
}

// Position (in samples) of `needle` within `haystack`, or −1.
qsizetype Find(const std::vector<std::int16_t>& haystack, const std::vector<std::int16_t>& needle) {
    const auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
    return it == haystack.end() ? -1 : it - haystack.begin();
}

// Everything the sink plays while `play` runs, as 16-bit samples (left, right, …).
std::vector<std::int16_t> Recorded(const std::function<void(QtAudioOutput&)>& play) {
    QProcess recorder;
    recorder.start(QStringLiteral("parec"),
                   {QStringLiteral("-d"), SinkName() + QStringLiteral(".monitor"),
                    QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                    QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=10")});
    EXPECT_TRUE(recorder.waitForStarted(5000));
    // The monitor delivers only while the sink plays; give the recorder time to connect.
    QThread::msleep(200);
    QString notice;
    {
        QtAudioOutput output([&](const QString& text) { notice = text; });
        play(output);
        output.Drain();
        EXPECT_TRUE(output.HasDevice()) << notice.toStdString();
    }
    QThread::msleep(200);
    recorder.terminate();
    EXPECT_TRUE(recorder.waitForFinished(5000));
    return Samples(recorder.readAllStandardOutput());
}

TEST(QtAudioOutput, ChordsReachTheSoundServerUnchangedAndWithoutAGap) {
    REQUIRE_SOUND_SERVER();
    const ChordFrequencies first{{264, 330, 396}};
    const ChordFrequencies second{{297, 371.25, 445.5}};
    const QByteArray image1 = ChordWavImage(30, first, kOrgan);
    const QByteArray image2 = ChordWavImage(30, second, kOrgan);
    const std::vector<std::int16_t> recorded = Recorded([&](QtAudioOutput& output) {
        output.PlayImage(image1);
        output.PlayImage(image2);
    });

    // Both chords are in the recording sample for sample (frame 0 is silent, so search from 1).
    const std::vector<std::int16_t> samples1 = Samples(image1, kWavHeaderSize);
    const std::vector<std::int16_t> samples2 = Samples(image2, kWavHeaderSize);
    const qsizetype at1 = Find(recorded, {samples1.begin() + 2, samples1.end()});
    const qsizetype at2 = Find(recorded, {samples2.begin() + 2, samples2.end()});
    ASSERT_GE(at1, 0) << "first chord not heard; " << recorded.size() << " samples recorded";
    ASSERT_GE(at2, 0) << "second chord not heard";
    // The second chord starts right where the first ends: the gap in frames.
    const qsizetype gapFrames =
        (at2 - 2) / 2 - ((at1 - 2) / 2 + static_cast<qsizetype>(samples1.size() / 2));
    EXPECT_GE(gapFrames, 0);
    EXPECT_LT(gapFrames, 882) << "more than 20 ms between the chords";
    RecordProperty("gap_frames", static_cast<int>(gapFrames));
    std::cout << "gap between the chords: " << gapFrames << " frames\n";
}

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

    const std::vector<std::int16_t> recorded =
        Recorded([&](QtAudioOutput& output) { output.PlayImage(image); });
    const auto loud = std::count(recorded.begin(), recorded.end(), std::int16_t{64 * 256});
    // Both channels for a quarter second at 44100 Hz, not an eighth of a second of noise.
    EXPECT_EQ(loud, 2 * 2 * (22050 / 4));
}

} // namespace
} // namespace zk
