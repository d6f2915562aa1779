// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor_recording.h"

#include <QByteArray>
#include <QProcess>
#include <QThread>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

extern char** environ;

namespace zk::test {

namespace {

constexpr double kFrameRate = 44100.0;

SteadyClock::duration FramesToDuration(double frames) {
    return std::chrono::duration_cast<SteadyClock::duration>(
        std::chrono::duration<double>(frames / kFrameRate));
}

} // namespace

SteadyClock::time_point Recording::TimeOfFrame(double frame) const {
    return firstFrame + FramesToDuration(frame);
}

double MsBetween(SteadyClock::time_point from, SteadyClock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

MonitorRecorder* MonitorRecorder::Shared(const QString& sink, QString& error) {
    static std::unique_ptr<MonitorRecorder> recorder;
    static bool tried = false;
    static QString reason;
    if (!tried) {
        tried = true;
        recorder.reset(new MonitorRecorder);
        if (!recorder->Start(sink, reason)) {
            recorder.reset();
        }
    }
    error = reason;
    return recorder.get();
}

bool MonitorRecorder::Start(const QString& sink, QString& error) {
    int fds[2];
    if (pipe(fds) != 0) {
        error = QStringLiteral("no pipe for parec");
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    const QByteArray device = (sink + QStringLiteral(".monitor")).toLocal8Bit();
    // A short latency keeps the null sink rendering in small blocks, close to real time.
    std::vector<QByteArray> args{"parec",
                                 "-d",
                                 device,
                                 "--format=s16le",
                                 "--rate=44100",
                                 "--channels=2",
                                 "--latency-msec=10"};
    std::vector<char*> argv;
    for (QByteArray& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int spawned = posix_spawnp(&m_pid, "parec", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        m_pid = -1;
        error = QStringLiteral("parec cannot be started");
        return false;
    }
    m_fd = fds[0];
    m_reader = std::thread([this] { Read(); });

    // The null sink may sleep for up to two seconds before it notices the new listener.
    const auto deadline = SteadyClock::now() + std::chrono::seconds(5);
    while (SteadyClock::now() < deadline) {
        const std::size_t before = ReceivedFrames();
        QThread::msleep(300);
        const std::size_t delivered = ReceivedFrames() - before;
        if (before > 0 && delivered >= static_cast<std::size_t>(0.25 * kFrameRate)) {
            return true;
        }
    }
    error = QStringLiteral("the monitor of %1 delivers nothing continuous").arg(sink);
    return false;
}

MonitorRecorder::~MonitorRecorder() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_reader.joinable()) {
        m_reader.join();
    }
    if (m_fd >= 0) {
        close(m_fd);
    }
}

void MonitorRecorder::Read() {
    QByteArray pending;
    char buffer[16384];
    for (;;) {
        const ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n <= 0) {
            return;
        }
        const auto arrival = SteadyClock::now();
        pending.append(buffer, n);
        const qsizetype whole = pending.size() / 4 * 4;
        std::lock_guard lock(m_mutex);
        for (qsizetype i = 0; i < whole; i += 2) {
            const auto low = static_cast<unsigned char>(pending[i]);
            const auto high = static_cast<unsigned char>(pending[i + 1]);
            m_samples.push_back(static_cast<std::int16_t>(low | (high << 8)));
        }
        pending.remove(0, whole);
        m_blocks.push_back({arrival, m_samples.size() / 2});
    }
}

std::size_t MonitorRecorder::ReceivedFrames() const {
    std::lock_guard lock(m_mutex);
    return m_samples.size() / 2;
}

Recording MonitorRecorder::Between(SteadyClock::time_point from, SteadyClock::time_point to) {
    // The recorder lags the sink by about one block.
    const auto caughtUp = to + std::chrono::milliseconds(100);
    const auto giveUp = SteadyClock::now() + std::chrono::seconds(2);
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (!m_blocks.empty() && m_blocks.back().arrival >= caughtUp) {
                break;
            }
        }
        if (SteadyClock::now() > giveUp) {
            return {};
        }
        QThread::msleep(10);
    }
    std::lock_guard lock(m_mutex);
    // A block arrives at the earliest right after its last frame was played; the block that was
    // delayed least fixes when frame 0 was played.
    std::optional<SteadyClock::time_point> zero;
    for (const Block& block : m_blocks) {
        if (block.arrival < from || block.arrival > caughtUp) {
            continue;
        }
        const auto candidate =
            block.arrival - FramesToDuration(static_cast<double>(block.endFrame));
        if (!zero || candidate < *zero) {
            zero = candidate;
        }
    }
    if (!zero) {
        return {};
    }
    const auto total = static_cast<qsizetype>(m_samples.size() / 2);
    const auto frameAt = [&](SteadyClock::time_point t) {
        const double frames = std::chrono::duration<double>(t - *zero).count() * kFrameRate;
        return std::clamp<qsizetype>(static_cast<qsizetype>(std::floor(frames)), 0, total);
    };
    const qsizetype first = frameAt(from);
    const qsizetype last = frameAt(to);
    Recording recording;
    recording.samples.assign(m_samples.begin() + 2 * first, m_samples.begin() + 2 * last);
    recording.firstFrame = *zero + FramesToDuration(static_cast<double>(first));
    return recording;
}

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

} // namespace zk::test
