// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sound/audio_output.h"

#include <QEvent>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

namespace zk {

// While a sound plays, the program waits for it and lets only repaints and the sound server's
// notifications run; the user's input waits until the sound has ended. One click is let through
// at once: the click on "Stop", so that "Stop" is seen while a long sound plays (it takes effect
// when that sound has ended: after the chord in a pass, after the repetition of a loop). Closing
// the main window silences the sound at once.
//
// `ProcessEvents` is what the audio output runs while it waits. Input events arriving meanwhile
// are held back in order and handed on again by `ReleaseHeldInput` once the sound is over.
class PlaybackInputGate : public QObject {
    Q_OBJECT
public:
    PlaybackInputGate() = default;
    ~PlaybackInputGate() override;

    // Tells whether an input event is the click on "Stop" (a press on its menu item), and what
    // "Stop" does.
    std::function<bool(QObject* target, const QEvent& event)> isStopClick;
    std::function<void()> stop;
    // Tells whether closing a window ends the work with the program (the main window), and what
    // silences the sound at once. Such a close does not wait for the end of a long chord or for
    // the next repetition: the sound stops, and the close comes as soon as the wait has ended.
    std::function<bool(QObject* window)> isMainWindow;
    std::function<void()> silence;

    // One round of waiting: pending events run, the user's input is held back.
    void ProcessEvents();

    // Hands the held input on to where it was going, in the order it came.
    void ReleaseHeldInput();

    int HeldInputCount() const { return static_cast<int>(m_held.size()); }

    // Whether an event is the user's input (keys, mouse buttons, the wheel, closing a window).
    static bool IsUserInput(const QEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Held {
        QPointer<QObject> target;
        std::unique_ptr<QEvent> event;
    };
    std::vector<Held> m_held;
    bool m_swallowRelease = false; // the release that belongs to the "Stop" click
    bool m_waiting = false;
};

// An audio output whose sounds are waited for behind the gate: the input held back while a sound
// played is handed on once it has ended.
class GatedAudioOutput : public AudioOutput {
public:
    GatedAudioOutput(AudioOutput& output, PlaybackInputGate& gate)
        : m_output(output), m_gate(gate) {}

    void PlayImage(const QByteArray& wav) override;
    void Stop() override { m_output.Stop(); }

private:
    AudioOutput& m_output;
    PlaybackInputGate& m_gate;
};

} // namespace zk
