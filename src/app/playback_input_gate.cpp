// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/playback_input_gate.h"

#include <QCoreApplication>
#include <QEvent>

namespace zk {

PlaybackInputGate::~PlaybackInputGate() {
    if (m_waiting) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool PlaybackInputGate::IsUserInput(const QEvent& event) {
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Close:
    case QEvent::ContextMenu:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

void PlaybackInputGate::ProcessEvents() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || m_waiting) {
        return;
    }
    m_waiting = true;
    app->installEventFilter(this);
    QCoreApplication::processEvents();
    app->removeEventFilter(this);
    m_waiting = false;
}

void PlaybackInputGate::ReleaseHeldInput() {
    std::vector<Held> held = std::move(m_held);
    m_held.clear();
    m_swallowRelease = false;
    for (Held& entry : held) {
        if (entry.target) {
            QCoreApplication::postEvent(entry.target, entry.event.release());
        }
    }
}

bool PlaybackInputGate::eventFilter(QObject* watched, QEvent* event) {
    // A widget gets its input through its window, where it is held back already; input sent to
    // a widget directly is held back too. A close sent to a widget is the program's own doing.
    if (!IsUserInput(*event) || (event->type() == QEvent::Close && !watched->isWindowType())) {
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress && isStopClick && isStopClick(watched, *event)) {
        m_swallowRelease = true;
        if (stop) {
            stop();
        }
        return true;
    }
    if (event->type() == QEvent::Close && isMainWindow && isMainWindow(watched) && silence) {
        silence(); // the close itself is held and handed on once the wait has ended
    }
    if (event->type() == QEvent::MouseButtonRelease && m_swallowRelease) {
        m_swallowRelease = false;
        return true;
    }
    m_held.push_back({watched, std::unique_ptr<QEvent>(event->clone())});
    return true;
}

void GatedAudioOutput::PlayImage(const QByteArray& wav) {
    struct Release {
        PlaybackInputGate& gate;
        ~Release() { gate.ReleaseHeldInput(); }
    } release{m_gate};
    m_output.PlayImage(wav);
}

} // namespace zk
