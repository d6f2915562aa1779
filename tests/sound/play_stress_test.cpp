// SPDX-License-Identifier: GPL-3.0-or-later
// `zirkelon play` of a one-chord piece, many times in a row, through the sound server's null
// sink: every run ends normally. Meanwhile the sink's volume keeps changing, so that the server
// sends a change notice to every connected client at any moment, also while a program ends and
// lets go of its connection — the moment at which a connection torn down without the lock of its
// mainloop makes PulseAudio abort the program.
#include "common/time_limit.h"
#include "monitor_recording.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zk {
namespace {

using test::SinkName;
using test::SinkReachable;

// A sanitizer build runs the program about three times slower: fewer rounds there.
constexpr int kRounds = test::kSlowBuildFactor > 1 ? 3 : 8;
// Plays running at the same time in each round.
constexpr int kAtOnce = 8;

// Sets the sink's volume to 100 % and 99 % in turn, as fast as the server takes it, until
// destroyed; then leaves it at 100 %. Every change is a notice to every client of the server.
class VolumeChanger {
public:
    VolumeChanger() : m_thread([this] { Run(); }) {}
    ~VolumeChanger() {
        m_done = true;
        m_thread.join();
    }
    VolumeChanger(const VolumeChanger&) = delete;
    VolumeChanger& operator=(const VolumeChanger&) = delete;

    // Changes the server has confirmed.
    int Changes() const { return m_changes; }

private:
    void Run() {
        pa_mainloop* loop = pa_mainloop_new();
        pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "zirkelon-volume-test");
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0) {
            while (!m_done && PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) &&
                   pa_context_get_state(context) != PA_CONTEXT_READY) {
                pa_mainloop_iterate(loop, 1, nullptr);
            }
            const QByteArray sink = SinkName().toUtf8();
            int step = 0;
            while (!m_done && pa_context_get_state(context) == PA_CONTEXT_READY) {
                if (m_pending < 8) {
                    pa_cvolume volume;
                    pa_cvolume_set(&volume, 2,
                                   step++ % 2 == 0 ? PA_VOLUME_NORM * 99 / 100 : PA_VOLUME_NORM);
                    SetVolume(context, sink, volume);
                }
                pa_mainloop_iterate(loop, m_pending >= 8 ? 1 : 0, nullptr);
            }
            pa_cvolume full;
            pa_cvolume_set(&full, 2, PA_VOLUME_NORM);
            SetVolume(context, sink, full);
            while (m_pending > 0 && pa_context_get_state(context) == PA_CONTEXT_READY) {
                pa_mainloop_iterate(loop, 1, nullptr);
            }
            pa_context_disconnect(context);
        }
        pa_context_unref(context);
        pa_mainloop_free(loop);
    }

    void SetVolume(pa_context* context, const QByteArray& sink, const pa_cvolume& volume) {
        ++m_pending;
        pa_operation_unref(pa_context_set_sink_volume_by_name(context, sink.constData(), &volume,
                                                              &Confirmed, this));
    }

    static void Confirmed(pa_context*, int, void* self) {
        auto* changer = static_cast<VolumeChanger*>(self);
        --changer->m_pending;
        ++changer->m_changes;
    }

    std::atomic<bool> m_done{false};
    std::atomic<int> m_changes{0};
    int m_pending = 0; // only the changer's thread
    std::thread m_thread;
};

TEST(PlayCommand, OneChordPlayedManyTimesInARowEndsNormallyEveryTime) {
    if (!SinkReachable()) {
        if (qEnvironmentVariable("CI") == u"true") {
            FAIL() << "No PulseAudio server with the sink " << SinkName().toStdString()
                   << " is reachable; scripts/start-sound-server.sh starts one.";
        }
        GTEST_SKIP() << "No PulseAudio server with the sink " << SinkName().toStdString();
    }
    const QString piece = QDir(qEnvironmentVariable("ZIRKELON_HOME")).filePath("ein_akkord.txt");
    {
        QFile file(piece);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("TA   D    Akkord\r\nc    1/4  c1\r\n");
    }

    const VolumeChanger volume;
    int crashed = 0;
    int failed = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::unique_ptr<QProcess>> plays;
        for (int k = 0; k < kAtOnce; ++k) {
            plays.push_back(std::make_unique<QProcess>());
            plays.back()->setStandardInputFile(QProcess::nullDevice());
            plays.back()->start(QStringLiteral(ZK_PROGRAM), {QStringLiteral("play"), piece});
        }
        for (std::size_t k = 0; k < plays.size(); ++k) {
            QProcess& play = *plays[k];
            SCOPED_TRACE("round " + std::to_string(round) + ", play " + std::to_string(k));
            ASSERT_TRUE(play.waitForFinished(20000))
                << "the play did not end: " << play.errorString().toStdString();
            const QString err = QString::fromUtf8(play.readAllStandardError());
            if (play.exitStatus() != QProcess::NormalExit) {
                ++crashed;
                ADD_FAILURE() << "the program died: " << err.toStdString();
            } else if (play.exitCode() != 0) {
                ++failed;
                ADD_FAILURE() << "exit code " << play.exitCode() << ": " << err.toStdString();
            } else {
                EXPECT_FALSE(err.contains(QStringLiteral("Assertion"))) << err.toStdString();
            }
        }
    }
    // The notices did come while the programs ended.
    EXPECT_GT(volume.Changes(), 100);
    EXPECT_EQ(crashed, 0) << "of " << kRounds * kAtOnce << " plays";
    EXPECT_EQ(failed, 0) << "of " << kRounds * kAtOnce << " plays";
}

} // namespace
} // namespace zk
