// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/pulse_audio_output.h"

#include "sound/synthesis.h"
#include "sound/wav_format.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace zk {

namespace {

constexpr pa_sample_spec kSampleSpec{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(kFrameRate), 2};

// Whole frames in `ms` milliseconds.
constexpr std::size_t BytesForMs(int ms) {
    return static_cast<std::size_t>(ms) * kFrameRate / 1000 * kBytesPerFrame;
}

// The latency asked of the server, its own buffer and the stream's together.
constexpr int kBufferMs = 250;
// How much of an image may still wait in the stream when PlayImage returns: the next chord is
// synthesised and queued within that time (a 10-second chord of eight voices takes about 12 ms),
// so the stream never runs dry between chords.
constexpr int kLeadMs = 70;
// A stream that has run dry (or is new) loses the first few milliseconds written to it while the
// server catches up with it: a short silence goes first then, so that even a chord of 10 ms is
// heard from its first frame.
constexpr int kRestartSilenceMs = 40;
constexpr int kPollMs = 2;
// A stream that holds sound but does not take any of it for this long is waiting for its
// pre-buffer to fill: it is started.
constexpr int kStallMs = 40;
constexpr int kRetryStartMs = 1000;
// A server that takes nothing for this long is given up.
constexpr int kStuckMs = 5000;
// The stream's clock may stop a hair short of the last frame.
constexpr qint64 kClockSlackUs = 1000;

// The threaded mainloop's lock for the lifetime of a scope: every call on the context, the
// stream or an operation is made under it, since the mainloop's thread runs meanwhile.
class MainloopLock {
public:
    explicit MainloopLock(pa_threaded_mainloop* mainloop) : m_mainloop(mainloop) {
        pa_threaded_mainloop_lock(m_mainloop);
    }
    ~MainloopLock() { pa_threaded_mainloop_unlock(m_mainloop); }
    MainloopLock(const MainloopLock&) = delete;
    MainloopLock& operator=(const MainloopLock&) = delete;

private:
    pa_threaded_mainloop* m_mainloop;
};

enum class Readiness { Pending, Ready, Failed };

// Polls the state of a context or stream, read under the mainloop's lock by `state`, until it is
// ready; false when it fails or the server has not answered within kStuckMs.
template <typename State> bool AwaitReady(pa_threaded_mainloop* mainloop, State state) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        Readiness readiness = Readiness::Pending;
        {
            const MainloopLock lock(mainloop);
            readiness = state();
        }
        if (readiness != Readiness::Pending) {
            return readiness == Readiness::Ready;
        }
        if (timer.elapsed() > kStuckMs) {
            return false;
        }
        QThread::msleep(kPollMs);
    }
}

// Sets a flag for the lifetime of a waiting call.
class WaitingScope {
public:
    explicit WaitingScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~WaitingScope() { m_flag = false; }
    WaitingScope(const WaitingScope&) = delete;
    WaitingScope& operator=(const WaitingScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

// Whether the stream moves: the server takes some of what waits in it. Writing makes the queue
// grow, which is no movement.
class PulseAudioOutput::StreamWatch {
public:
    StreamWatch() { m_since.start(); }

    // Milliseconds the stream has stood still up to this observation.
    qint64 Observe(std::size_t queued) {
        if (queued < m_queued) {
            m_since.restart();
            m_startAfterMs = kStallMs;
        }
        m_queued = queued;
        return m_since.elapsed();
    }

    // True once per kRetryStartMs of standing still, from kStallMs on.
    bool TimeToStart(qint64 stillMs) {
        if (stillMs < m_startAfterMs) {
            return false;
        }
        m_startAfterMs = stillMs + kRetryStartMs;
        return true;
    }

private:
    QElapsedTimer m_since;
    std::size_t m_queued = 0;
    qint64 m_startAfterMs = kStallMs;
};

PulseAudioOutput::PulseAudioOutput(std::function<void(const QString&)> notice)
    : m_notice(std::move(notice)) {}

PulseAudioOutput::~PulseAudioOutput() {
    m_waitHook = nullptr;
    Drain();
    Disconnect();
}

void PulseAudioOutput::SetWaitHook(std::function<void()> hook) {
    m_waitHook = std::move(hook);
}

void PulseAudioOutput::FallBackToSilence(const QString& reason) {
    m_silent = true;
    Disconnect();
    if (m_notice) {
        m_notice(QStringLiteral("Keine Tonausgabe verfügbar (%1): Die Akkorde sind nicht zu hören.")
                     .arg(reason));
    }
}

bool PulseAudioOutput::Open() {
    if (m_silent) {
        return false;
    }
    if (m_context == nullptr && !Connect()) {
        return false;
    }
    return m_stream != nullptr || OpenStream();
}

bool PulseAudioOutput::Connect() {
    m_mainloop = pa_threaded_mainloop_new();
    if (m_mainloop == nullptr) {
        FallBackToSilence(QStringLiteral("kein Tonserver erreichbar"));
        return false;
    }
    // What the sound server's mixer shows for the program.
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Zirkelon");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "zirkelon");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "zirkelon");
    m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_mainloop), "Zirkelon",
                                             properties);
    pa_proplist_free(properties);
    if (m_context == nullptr ||
        pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(m_mainloop) < 0) {
        FallBackToSilence(QStringLiteral("kein Tonserver erreichbar"));
        return false;
    }
    const bool ready = AwaitReady(m_mainloop, [this] {
        const pa_context_state_t state = pa_context_get_state(m_context);
        return state == PA_CONTEXT_READY   ? Readiness::Ready
               : PA_CONTEXT_IS_GOOD(state) ? Readiness::Pending
                                           : Readiness::Failed;
    });
    if (!ready) {
        FallBackToSilence(QStringLiteral("kein Tonserver erreichbar"));
    }
    return ready;
}

bool PulseAudioOutput::OpenStream() {
    // Falling back to silence takes the mainloop down, which must not happen under its lock.
    bool connected = false;
    {
        const MainloopLock lock(m_mainloop);
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
        m_stream =
            pa_stream_new_with_proplist(m_context, "Akkorde", &kSampleSpec, nullptr, properties);
        pa_proplist_free(properties);
        // The server splits the latency between its own buffer and the stream's and keeps it
        // low; the stream's clock is interpolated between its updates.
        pa_buffer_attr attr;
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = static_cast<std::uint32_t>(BytesForMs(kBufferMs));
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
        connected = m_stream != nullptr && pa_stream_connect_playback(m_stream, nullptr, &attr,
                                                                      flags, nullptr, nullptr) >= 0;
        if (!connected && m_stream != nullptr) {
            pa_stream_unref(m_stream);
            m_stream = nullptr;
        }
    }
    if (!connected) {
        FallBackToSilence(QStringLiteral("das Ausgabegerät lässt sich nicht öffnen"));
        return false;
    }
    const bool ready = AwaitReady(m_mainloop, [this] {
        const pa_stream_state_t state = pa_stream_get_state(m_stream);
        if (state == PA_STREAM_READY) {
            const pa_buffer_attr* granted = pa_stream_get_buffer_attr(m_stream);
            m_targetBytes = granted != nullptr ? granted->tlength : BytesForMs(kBufferMs);
            return Readiness::Ready;
        }
        return PA_STREAM_IS_GOOD(state) ? Readiness::Pending : Readiness::Failed;
    });
    if (!ready) {
        FallBackToSilence(QStringLiteral("das Ausgabegerät lässt sich nicht öffnen"));
        return false;
    }
    m_writtenBytes = 0;
    return true;
}

void PulseAudioOutput::CloseStream() {
    if (m_stream == nullptr) {
        return;
    }
    // Taking the stream off the server drops what waits in it and cuts the sound at once.
    const MainloopLock lock(m_mainloop);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
}

void PulseAudioOutput::Disconnect() {
    CloseStream();
    if (m_mainloop == nullptr) {
        return;
    }
    if (m_context != nullptr) {
        const MainloopLock lock(m_mainloop);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    pa_threaded_mainloop_stop(m_mainloop);
    pa_threaded_mainloop_free(m_mainloop);
    m_mainloop = nullptr;
}

bool PulseAudioOutput::StreamBroken() const {
    const MainloopLock lock(m_mainloop);
    return pa_context_get_state(m_context) != PA_CONTEXT_READY ||
           pa_stream_get_state(m_stream) != PA_STREAM_READY;
}

std::size_t PulseAudioOutput::QueuedBytes() const {
    // What the server has asked for and not been given is the free part of the stream's buffer.
    const MainloopLock lock(m_mainloop);
    const std::size_t requested = pa_stream_writable_size(m_stream);
    if (requested == static_cast<std::size_t>(-1)) {
        return 0;
    }
    return m_targetBytes > requested ? m_targetBytes - requested : 0;
}

qint64 PulseAudioOutput::UnheardUs() const {
    // The stream's clock: the time of the frame being heard, the server's own latency included,
    // against everything written since the stream was opened.
    const qint64 writtenUs = m_writtenBytes / kBytesPerFrame * 1000000 / kFrameRate;
    const MainloopLock lock(m_mainloop);
    pa_usec_t heardUs = 0;
    if (pa_stream_get_time(m_stream, &heardUs) < 0) {
        return 0; // no clock yet: nothing to wait for beyond the drain
    }
    return writtenUs - static_cast<qint64>(heardUs);
}

void PulseAudioOutput::StartStream() {
    // A stream holding less than the server's pre-buffer waits for more; a chord shorter than
    // that, or the end of a piece, is to be heard now.
    const MainloopLock lock(m_mainloop);
    if (pa_operation* operation = pa_stream_trigger(m_stream, nullptr, nullptr)) {
        pa_operation_unref(operation);
    }
}

bool PulseAudioOutput::Pause() {
    const quint64 stops = m_stops;
    if (m_waitHook) {
        // A copy, so that the hook may replace itself.
        const std::function<void()> hook = m_waitHook;
        hook();
    } else {
        // Repaints may run; the user's input waits until the chord has been queued.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    if (m_stops != stops || m_stream == nullptr) {
        return false;
    }
    QThread::msleep(kPollMs);
    return true;
}

PulseAudioOutput::Wait PulseAudioOutput::Step(StreamWatch& watch) {
    if (!Pause()) {
        return Wait::Stopped;
    }
    const std::size_t queued = QueuedBytes();
    const qint64 stillMs = watch.Observe(queued);
    if (queued > 0 && watch.TimeToStart(stillMs)) {
        StartStream();
    }
    return stillMs < kStuckMs ? Wait::Go : Wait::Stuck;
}

bool PulseAudioOutput::Write(const QByteArray& bytes) {
    std::size_t done = 0;
    const auto size = static_cast<std::size_t>(bytes.size());
    StreamWatch watch;
    while (done < size) {
        if (StreamBroken()) {
            FallBackToSilence(QStringLiteral("die Verbindung zum Tonserver ist abgebrochen"));
            return false;
        }
        std::size_t n = 0;
        {
            const MainloopLock lock(m_mainloop);
            const std::size_t room = pa_stream_writable_size(m_stream);
            if (room != static_cast<std::size_t>(-1)) {
                // Whole frames only, so that the channels never swap.
                n = std::min(room, size - done) / kBytesPerFrame * kBytesPerFrame;
            }
            if (n > 0 && pa_stream_write(m_stream, bytes.constData() + done, n, nullptr, 0,
                                         PA_SEEK_RELATIVE) < 0) {
                n = static_cast<std::size_t>(-1);
            }
        }
        if (n == static_cast<std::size_t>(-1)) {
            FallBackToSilence(QStringLiteral("die Verbindung zum Tonserver ist abgebrochen"));
            return false;
        }
        if (n > 0) {
            done += n;
            m_writtenBytes += static_cast<qint64>(n);
            m_undrained = true;
            continue;
        }
        switch (Step(watch)) {
        case Wait::Go:
            break;
        case Wait::Stopped:
            return false;
        case Wait::Stuck:
            // The server takes nothing any more: better silence than a program that hangs.
            FallBackToSilence(QStringLiteral("der Tonserver nimmt keine Daten an"));
            return false;
        }
    }
    return true;
}

void PulseAudioOutput::PlayImage(const QByteArray& wav) {
    if (m_waiting) {
        return; // from the wait hook: the sound queued so far keeps its order
    }
    const QByteArray frames = ToOutputFrames(DecodeWav(wav));
    if (frames.isEmpty()) {
        return;
    }
    const WaitingScope waiting(m_waiting);
    if (!Open()) {
        return;
    }
    if (QueuedBytes() == 0 && !Write(QByteArray(BytesForMs(kRestartSilenceMs), '\0'))) {
        return;
    }
    if (!Write(frames)) {
        return;
    }
    // However short the image, it is heard now; a stream already playing is not disturbed.
    StartStream();
    const std::size_t lead = std::min(BytesForMs(kLeadMs), m_targetBytes / 2);
    StreamWatch watch;
    while (QueuedBytes() > lead) {
        if (Step(watch) != Wait::Go) {
            return;
        }
    }
}

bool PulseAudioOutput::WaitForOperation(pa_operation* operation, int timeoutMs) {
    if (operation == nullptr) {
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    bool done = false;
    for (;;) {
        {
            const MainloopLock lock(m_mainloop);
            done = pa_operation_get_state(operation) != PA_OPERATION_RUNNING;
        }
        if (done || timer.elapsed() >= timeoutMs || !Pause()) {
            break;
        }
    }
    const MainloopLock lock(m_mainloop);
    pa_operation_unref(operation);
    return done;
}

void PulseAudioOutput::Drain(int timeoutMs) {
    if (m_waiting || m_stream == nullptr || !m_undrained) {
        return;
    }
    const WaitingScope waiting(m_waiting);
    m_undrained = false;
    QElapsedTimer timer;
    timer.start();
    // The server confirms the drain once it has taken the last frame from the stream; the
    // stream's clock then tells when that frame has passed the server's own buffer and been
    // heard. Taking the stream off the server sooner would cut that last part.
    pa_operation* drain = nullptr;
    {
        const MainloopLock lock(m_mainloop);
        drain = pa_stream_drain(m_stream, nullptr, nullptr);
    }
    const bool drained = WaitForOperation(drain, timeoutMs);
    if (!drained || m_stream == nullptr) {
        return;
    }
    // The clock may never reach the last frame (it counts frames the server skipped when the
    // stream started), so the wait ends when the clock says the rest must have been heard.
    const qint64 deadlineMs = timer.elapsed() + UnheardUs() / 1000 + kClockSlackUs / 1000;
    while (UnheardUs() > kClockSlackUs &&
           timer.elapsed() < std::min<qint64>(timeoutMs, deadlineMs)) {
        if (!Pause()) {
            return;
        }
    }
}

void PulseAudioOutput::Stop() {
    ++m_stops;
    m_undrained = false;
    CloseStream(); // reopened by the next image
}

} // namespace zk
