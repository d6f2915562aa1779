// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sound/audio_output.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_operation;

// The sound server's output (PulseAudio, or PipeWire's PulseAudio service): one 44100 Hz stereo
// stream stays open while the program runs, so that the chords of a piece follow each other
// without a gap. Without a usable server it says so once through `notice` and stays silent.

namespace zk {

class PulseAudioOutput : public AudioOutput {
public:
    explicit PulseAudioOutput(std::function<void(const QString&)> notice = {});
    ~PulseAudioOutput() override;
    PulseAudioOutput(const PulseAudioOutput&) = delete;
    PulseAudioOutput& operator=(const PulseAudioOutput&) = delete;

    // Decodes the image (any PCM WAV; other rates and channel counts are converted), queues it
    // and returns once no more than the last 70 ms of it wait in the stream, so that the next
    // image is queued before this one ends. A stream that has run dry (at the start, after a
    // pause, after Stop) is started at once, however short the image. While it waits, the wait
    // hook runs (see SetWaitHook).
    void PlayImage(const QByteArray& wav) override;

    // Cuts the sound at once and drops everything queued; the next image opens the stream again.
    // Allowed at any time, also from the wait hook: the waiting PlayImage or Drain then returns
    // as soon as the hook returns, without touching the stream again.
    void Stop() override;

    // Waits until the server has played the last frame queued (drained the stream) and the
    // stream's clock says it has been heard; at most `timeoutMs`. The wait hook runs meanwhile.
    void Drain(int timeoutMs = 5000);

    // False once the output has fallen back to silence.
    bool HasDevice() const { return !m_silent; }

    // What PlayImage and Drain do every 2 ms while they wait for the sound server. Without a
    // hook (the default, or after setting an empty one) they let the application's pending
    // events run except the user's input, so that windows repaint but clicks and keys wait until
    // the sound has been queued. With a hook they call it instead and nothing else; the hook
    // decides which events run, e.g. a click on "Stop".
    //
    // The hook:
    // - may call Stop(): the waiting call returns right after the hook, the rest of the image is
    //   dropped;
    // - may call SetWaitHook(); the new hook serves from the next pause on;
    // - must return within a few milliseconds, or the stream runs dry and the chords no longer
    //   follow without a gap;
    // - must not destroy this output;
    // - may throw: the exception leaves PlayImage or Drain, and what was queued plays on (an
    //   image still being written is cut short there).
    // A PlayImage or Drain called while one of them waits (from the hook, or from an event the
    // default wait lets run) returns at once without any effect, so the sound already queued
    // keeps its order. The destructor drains without the hook, whose owner may be gone by then.
    void SetWaitHook(std::function<void()> hook);

private:
    enum class Wait { Go, Stopped, Stuck };
    class StreamWatch;

    bool Open();
    bool Connect();
    bool OpenStream();
    void CloseStream();
    void Disconnect();
    void FallBackToSilence(const QString& reason);
    bool StreamBroken() const;
    std::size_t QueuedBytes() const;
    qint64 UnheardUs() const;
    bool Write(const QByteArray& bytes);
    void StartStream();
    bool WaitForOperation(pa_operation* operation, int timeoutMs);
    bool Pause();
    Wait Step(StreamWatch& watch);

    std::function<void(const QString&)> m_notice;
    std::function<void()> m_waitHook;
    pa_threaded_mainloop* m_mainloop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    std::size_t m_targetBytes = 0; // the stream's buffer as the server granted it
    bool m_silent = false;
    bool m_undrained = false;  // sound queued since the last Drain
    bool m_waiting = false;    // PlayImage or Drain is under way (the hook may run)
    qint64 m_writtenBytes = 0; // since the stream was opened; its clock counts from there too
    quint64 m_stops = 0;       // counts the calls of Stop()
};

} // namespace zk
