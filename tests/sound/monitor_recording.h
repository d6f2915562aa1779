// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Everything the sound server's null sink plays, recorded from its monitor by `parec` for the
// whole test program, with the moment each block of frames arrived. The null sink renders ahead
// of time only while a listener asks for a short latency; once the recorder listens, the monitor
// delivers without a break and a frame's position tells when it was played.

namespace zk::test {

using SteadyClock = std::chrono::steady_clock;

// What was played during a stretch of time: 16-bit samples (left, right, …) and when each frame
// was played.
struct Recording {
    std::vector<std::int16_t> samples;
    SteadyClock::time_point firstFrame; // when samples[0] and samples[1] were played

    qsizetype Frames() const { return static_cast<qsizetype>(samples.size() / 2); }
    SteadyClock::time_point TimeOfFrame(double frame) const;
};

// Milliseconds from `from` to `to` (negative when `to` comes first).
double MsBetween(SteadyClock::time_point from, SteadyClock::time_point to);

// The null sink the sound server script loads (ZIRKELON_TEST_SINK names another), and whether
// the server is running and has it.
QString SinkName();
bool SinkReachable();

class MonitorRecorder {
public:
    // The recorder of the sink `sink` (its monitor is "<sink>.monitor"), started on first use.
    // Null, with the reason in `error`, when parec cannot be started or delivers nothing
    // continuous within five seconds.
    static MonitorRecorder* Shared(const QString& sink, QString& error);

    ~MonitorRecorder();
    MonitorRecorder(const MonitorRecorder&) = delete;
    MonitorRecorder& operator=(const MonitorRecorder&) = delete;

    // Everything played from `from` to `to`; waits until the recorder has caught up with `to`.
    Recording Between(SteadyClock::time_point from, SteadyClock::time_point to);

private:
    MonitorRecorder() = default;
    bool Start(const QString& sink, QString& error);
    void Read();
    // Frames received up to now, and when the last block arrived.
    std::size_t ReceivedFrames() const;

    struct Block {
        SteadyClock::time_point arrival;
        std::size_t endFrame; // frames received in total, this block included
    };

    pid_t m_pid = -1;
    int m_fd = -1;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::vector<std::int16_t> m_samples;
    std::vector<Block> m_blocks;
};

} // namespace zk::test
