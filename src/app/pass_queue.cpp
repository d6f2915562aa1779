// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pass_queue.h"

namespace zk {

void PassQueue::Run(Job job) {
    if (m_busy) {
        m_pending = std::move(job);
        if (m_stopRunning) {
            m_stopRunning();
        }
        return;
    }
    m_busy = true;
    struct Idle {
        PassQueue& queue;
        ~Idle() {
            queue.m_busy = false;
            queue.m_pending.reset();
        }
    } idle{*this};
    std::optional<Job> next = std::move(job);
    while (next) {
        next->run();
        next = std::move(m_pending);
        m_pending.reset();
    }
}

void PassQueue::DropPendingPlayback() {
    if (m_pending && m_pending->plays) {
        m_pending.reset();
    }
}

} // namespace zk
