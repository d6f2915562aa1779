// `zirkelon play` of a one-chord piece, many times in a row, through the sound server's null
// sink: every run ends normally. Meanwhile the sink's volume keeps changing, so that the server
// sends a change notice to every connected client at any moment, also while a program ends and
// lets go of its connection — the moment at which a connection torn down without the lock of its
// mainloop makes PulseAudio abort the program.
#include "common/time_limit.h"
#include "monitor_recording.h"
#include "sound/pulse_context_lock.h"
#include "sound/qt_audio_output.h"
#include "sound/synthesis.h"
#include "sound/wav_format.h"
#include "sound_test_helpers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern "C" {
struct pa_mainloop;
struct pa_mainloop_api;
struct pa_context;
struct pa_operation;
}

namespace zk {
namespace {

using test::SinkName;
using test::SinkReachable;

// A sanitizer build runs the program about three times slower: fewer rounds there.
constexpr int kRounds = test::kSlowBuildFactor > 1 ? 3 : 8;
// Plays running at the same time in each round.
constexpr int kAtOnce = 8;

// libpulse, already loaded with QtMultimedia: the few calls of a client that changes a sink's
// volume, looked up at run time (the program has no PulseAudio headers; the types are
// libpulse's own, declared at global scope as the program's definitions of pa_context_new and
// its kin declare them, so that a call through a pointer has the callee's type).
struct Cvolume {
    std::uint8_t channels;
    std::uint32_t values[32];
};
using ContextSuccess = void (*)(pa_context*, int, void*);

struct Libpulse {
    template <typename Function> static Function* Find(const char* name) {
        return std::bit_cast<Function*>(dlsym(RTLD_DEFAULT, name));
    }
    pa_mainloop* (*mainloopNew)() = Find<pa_mainloop*()>("pa_mainloop_new");
    pa_mainloop_api* (*api)(pa_mainloop*) =
        Find<pa_mainloop_api*(pa_mainloop*)>("pa_mainloop_get_api");
    int (*iterate)(pa_mainloop*, int,
                   int*) = Find<int(pa_mainloop*, int, int*)>("pa_mainloop_iterate");
    void (*mainloopFree)(pa_mainloop*) = Find<void(pa_mainloop*)>("pa_mainloop_free");
    pa_context* (*contextNew)(pa_mainloop_api*, const char*) =
        Find<pa_context*(pa_mainloop_api*, const char*)>("pa_context_new");
    int (*connect)(pa_context*, const char*, int, const void*) =
        Find<int(pa_context*, const char*, int, const void*)>("pa_context_connect");
    int (*state)(pa_context*) = Find<int(pa_context*)>("pa_context_get_state");
    void (*disconnect)(pa_context*) = Find<void(pa_context*)>("pa_context_disconnect");
    void (*unref)(pa_context*) = Find<void(pa_context*)>("pa_context_unref");
    pa_operation* (*setVolume)(pa_context*, const char*, const Cvolume*, ContextSuccess, void*) =
        Find<pa_operation*(pa_context*, const char*, const Cvolume*, ContextSuccess, void*)>(
            "pa_context_set_sink_volume_by_name");
    void (*operationUnref)(pa_operation*) = Find<void(pa_operation*)>("pa_operation_unref");

    bool Complete() const {
        return mainloopNew && api && iterate && mainloopFree && contextNew && connect && state &&
               disconnect && unref && setVolume && operationUnref;
    }
};

constexpr int kContextReady = 4; // PA_CONTEXT_READY; FAILED and TERMINATED follow
constexpr std::uint32_t kVolumeNorm = 0x10000;

// Sets the sink's volume to 100 % and 99 % in turn, as fast as the server takes it, until
// destroyed; then leaves it at 100 %. Every change is a notice to every client of the server.
class VolumeChanger {
public:
    VolumeChanger() {
        if (!m_pulse.Complete()) {
            return;
        }
        m_thread = std::thread([this] { Run(); });
    }
    ~VolumeChanger() {
        m_done = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    VolumeChanger(const VolumeChanger&) = delete;
    VolumeChanger& operator=(const VolumeChanger&) = delete;

    bool Running() const { return m_thread.joinable(); }
    // Changes the server has confirmed.
    int Changes() const { return m_changes; }

private:
    void Run() {
        pa_mainloop* loop = m_pulse.mainloopNew();
        pa_context* context = m_pulse.contextNew(m_pulse.api(loop), "zirkelon-volume-test");
        if (m_pulse.connect(context, nullptr, 0, nullptr) >= 0) {
            while (!m_done && m_pulse.state(context) < kContextReady) {
                m_pulse.iterate(loop, 1, nullptr);
            }
            const QByteArray sink = SinkName().toUtf8();
            int step = 0;
            while (!m_done && m_pulse.state(context) == kContextReady) {
                if (m_pending < 8) {
                    Cvolume volume{};
                    volume.channels = 2;
                    volume.values[0] = volume.values[1] =
                        step++ % 2 == 0 ? kVolumeNorm * 99 / 100 : kVolumeNorm;
                    ++m_pending;
                    m_pulse.operationUnref(
                        m_pulse.setVolume(context, sink.constData(), &volume, &Confirmed, this));
                }
                m_pulse.iterate(loop, m_pending >= 8 ? 1 : 0, nullptr);
            }
            Cvolume full{};
            full.channels = 2;
            full.values[0] = full.values[1] = kVolumeNorm;
            ++m_pending;
            m_pulse.operationUnref(
                m_pulse.setVolume(context, sink.constData(), &full, &Confirmed, this));
            while (m_pending > 0 && m_pulse.state(context) == kContextReady) {
                m_pulse.iterate(loop, 1, nullptr);
            }
            m_pulse.disconnect(context);
        }
        m_pulse.unref(context);
        m_pulse.mainloopFree(loop);
    }

    static void Confirmed(pa_context*, int, void* self) {
        auto* changer = static_cast<VolumeChanger*>(self);
        --changer->m_pending;
        ++changer->m_changes;
    }

    const Libpulse m_pulse;
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
    ASSERT_TRUE(volume.Running()) << "libpulse's client calls are not to be found";
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

// The program's connections to the sound server go through the lock that makes their teardown
// safe: once the output has played, its connection is known there.
TEST(PulseConnections, TheAudioOutputsConnectionIsTornDownUnderItsMainloopsLock) {
    if (!SinkReachable()) {
        GTEST_SKIP() << "No PulseAudio server with the sink " << SinkName().toStdString();
    }
    QtAudioOutput output;
    output.PlayImage(ChordWavImage(5, test::Chord({264, 330}), test::kOrgan));
    output.Drain();
    ASSERT_TRUE(output.HasDevice());
    EXPECT_TRUE(PulseConnectionsGuarded());
}

} // namespace
} // namespace zk
