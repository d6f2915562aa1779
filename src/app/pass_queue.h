// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>

namespace zk {

// Runs the main window's passes (and the examples that run passes) one at a time. A pass that
// plays lets the window's events through between its chords, so a command may ask for another
// pass while one runs: the running one is then stopped (it computes its remaining rows silently
// and returns) and the new one runs as soon as it has returned. Of several such requests the
// latest wins. No request is dropped without a reason, so the table never stays half in one
// display mode and half in another.
class PassQueue {
public:
    struct Job {
        std::function<void()> run;
        bool plays = false; // the job sounds; "Stop" cancels it while it waits
    };

    // `stopRunning` ends the running pass early (it sets OnlyCompute).
    explicit PassQueue(std::function<void()> stopRunning) : m_stopRunning(std::move(stopRunning)) {}

    // Runs the job now; while another job runs, stops that one and runs this one afterwards.
    // An exception of a job ends the jobs that wait too and reaches the caller.
    void Run(Job job);

    bool Busy() const { return m_busy; }
    bool HasPending() const { return m_pending.has_value(); }

    // "Stop": a waiting job that would sound is not started any more.
    void DropPendingPlayback();

private:
    std::function<void()> m_stopRunning;
    std::optional<Job> m_pending;
    bool m_busy = false;
};

} // namespace zk
