#include "sound/qt_audio_output.h"

#include "sound/synthesis.h"
#include "sound/wav_format.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QThread>

#include <algorithm>

namespace zk {

namespace {

// Whole frames in `ms` milliseconds.
constexpr qsizetype BytesForMs(int ms) {
    return static_cast<qsizetype>(ms) * kFrameRate / 1000 * kBytesPerFrame;
}

// The latency asked of the server. PulseAudio splits it between the sink's own buffer and the
// stream's (with 250 ms: about 105 ms and 145 ms).
constexpr int kBufferMs = 250;
// How much of an image may still wait in the stream when PlayImage returns: the next chord is
// synthesised and queued within that time (a 10-second chord of eight voices takes about 12 ms),
// so the stream never runs dry between chords.
constexpr int kLeadMs = 70;
// A stream that has run dry stays silent until the server's pre-buffer is full (most of the
// stream's buffer; 125 ms here, more than a chord of Dauer 8 and the silence before it), and
// then skips the first few milliseconds written to it: a short silence goes first and the stream
// is started at once, so that even a chord of 10 ms is heard from its first frame.
constexpr int kRestartSilenceMs = 40;
constexpr int kPollMs = 2;
// A stream that holds sound but neither plays it nor moves its clock for this long is waiting for
// its pre-buffer: it is started.
constexpr int kStallMs = 40;
constexpr int kRetryStartMs = 1000;
// A server that takes nothing and plays nothing for this long is given up.
constexpr int kStuckMs = 5000;
// The stream's clock may stop a hair short of the last frame.
constexpr qint64 kClockSlackUs = 1000;
// What Drain waits beyond the clock (stopping the stream sooner may cut the last 5 ms).
constexpr int kDrainMarginMs = 20;

QAudioFormat StreamFormat() {
    QAudioFormat format;
    format.setSampleRate(kFrameRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
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

// Whether the stream moves: its clock (the time of the frame being heard) advances or its queue
// shrinks. Writing makes the queue grow, which is no movement.
class QtAudioOutput::StreamWatch {
public:
    StreamWatch() { m_since.start(); }

    // Milliseconds the stream has stood still up to this observation.
    qint64 Observe(qint64 clockUs, qsizetype queued) {
        if (clockUs != m_clockUs || queued < m_queued) {
            m_since.restart();
            m_startAfterMs = kStallMs;
        }
        m_clockUs = clockUs;
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
    qint64 m_clockUs = -1;
    qsizetype m_queued = 0;
    qint64 m_startAfterMs = kStallMs;
};

QtAudioOutput::QtAudioOutput(std::function<void(const QString&)> notice)
    : m_notice(std::move(notice)) {}

QtAudioOutput::~QtAudioOutput() {
    m_waitHook = nullptr;
    if (m_sink) {
        Drain();
        m_sink->stop();
    }
}

void QtAudioOutput::SetWaitHook(std::function<void()> hook) {
    m_waitHook = std::move(hook);
}

void QtAudioOutput::FallBackToSilence(const QString& reason) {
    m_silent = true;
    m_device = nullptr;
    m_sink.reset();
    if (m_notice) {
        m_notice(QStringLiteral("Keine Tonausgabe verfügbar (%1): Die Akkorde sind nicht zu hören.")
                     .arg(reason));
    }
}

bool QtAudioOutput::Open() {
    if (m_silent) {
        return false;
    }
    if (m_sink && m_device) {
        return true;
    }
    if (!m_sink) {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) {
            FallBackToSilence(QStringLiteral("kein Ausgabegerät gefunden"));
            return false;
        }
        if (!device.isFormatSupported(StreamFormat())) {
            FallBackToSilence(QStringLiteral("das Gerät \"%1\" kann 44100 Hz Stereo nicht "
                                             "abspielen")
                                  .arg(device.description()));
            return false;
        }
        m_sink = std::make_unique<QAudioSink>(device, StreamFormat());
        m_sink->setBufferSize(BytesForMs(kBufferMs));
    }
    m_device = m_sink->start();
    if (!m_device || m_sink->error() == QAudio::OpenError) {
        FallBackToSilence(QStringLiteral("das Ausgabegerät lässt sich nicht öffnen"));
        return false;
    }
    m_writtenBytes = 0;
    return true;
}

qsizetype QtAudioOutput::QueuedBytes() const {
    return std::max<qsizetype>(0, m_sink->bufferSize() - m_sink->bytesFree());
}

qint64 QtAudioOutput::UnheardUs() const {
    // The sink's clock (processedUSecs on PulseAudio: the stream time of the frame being heard,
    // the server's own latency included) against everything written since the stream started.
    const qint64 writtenUs = m_writtenBytes / kBytesPerFrame * 1000000 / kFrameRate;
    return writtenUs - m_sink->processedUSecs();
}

void QtAudioOutput::StartStream() {
    // QAudioSink has no call that starts a stream holding less than the server's pre-buffer, but
    // its resume() on PulseAudio uncorks the stream and asks the server to start it at once
    // (pa_stream_trigger). The suspend() before it corks a stream that is not playing yet, which
    // loses nothing.
    m_sink->suspend();
    m_sink->resume();
}

bool QtAudioOutput::Pause() {
    const quint64 stops = m_stops;
    if (m_waitHook) {
        // A copy, so that the hook may replace itself.
        const std::function<void()> hook = m_waitHook;
        hook();
    } else {
        // Repaints and the sound server's notifications may run; the user's input waits until
        // the chord has been queued.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    if (m_stops != stops || !m_device) {
        return false;
    }
    QThread::msleep(kPollMs);
    return true;
}

QtAudioOutput::Wait QtAudioOutput::Step(StreamWatch& watch) {
    if (!Pause()) {
        return Wait::Stopped;
    }
    const qsizetype queued = QueuedBytes();
    const qint64 stillMs = watch.Observe(m_sink->processedUSecs(), queued);
    if (queued > 0 && watch.TimeToStart(stillMs)) {
        StartStream();
    }
    return stillMs < kStuckMs ? Wait::Go : Wait::Stuck;
}

bool QtAudioOutput::Write(const QByteArray& bytes) {
    qsizetype done = 0;
    StreamWatch watch;
    while (done < bytes.size()) {
        const qsizetype room = std::min<qsizetype>(m_sink->bytesFree(), bytes.size() - done);
        const qint64 n = room > 0 ? m_device->write(bytes.constData() + done, room) : 0;
        if (n < 0 || m_sink->error() == QAudio::FatalError) {
            FallBackToSilence(QStringLiteral("die Verbindung zum Tonserver ist abgebrochen"));
            return false;
        }
        if (n > 0) {
            done += n;
            m_writtenBytes += n;
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

void QtAudioOutput::PlayImage(const QByteArray& wav) {
    if (m_waiting) {
        return; // from the wait hook: the sound queued so far keeps its order
    }
    const QByteArray frames = ToOutputFrames(DecodeWav(wav));
    if (frames.isEmpty() || !Open()) {
        return;
    }
    const WaitingScope waiting(m_waiting);
    if (QueuedBytes() == 0) {
        if (!Write(QByteArray(BytesForMs(kRestartSilenceMs), '\0'))) {
            return;
        }
        StartStream();
    }
    if (!Write(frames)) {
        return;
    }
    const qsizetype lead = std::min<qsizetype>(BytesForMs(kLeadMs), m_sink->bufferSize() / 2);
    StreamWatch watch;
    while (QueuedBytes() > lead) {
        if (Step(watch) != Wait::Go) {
            return;
        }
    }
}

void QtAudioOutput::Drain(int timeoutMs) {
    if (m_waiting || !m_sink || !m_device || !m_undrained) {
        return;
    }
    const WaitingScope waiting(m_waiting);
    m_undrained = false;
    QElapsedTimer timer;
    timer.start();
    // Once the stream's queue is empty, the last frames still pass the server's own buffer; the
    // stream's clock tells when the last one has been heard, and the sink turns idle when the
    // server has found the stream empty. The latter matters on its own: Qt's PulseAudio sink
    // reports it from the server's thread and crashes when the sink is stopped or destroyed
    // while the report is under way, so after Drain both are safe. The latency asked of the
    // server bounds the wait, should neither come.
    QElapsedTimer emptyFor;
    StreamWatch watch;
    while ((UnheardUs() > kClockSlackUs || m_sink->state() == QAudio::ActiveState) &&
           timer.elapsed() < timeoutMs) {
        if (QueuedBytes() > 0) {
            emptyFor.invalidate();
        } else if (!emptyFor.isValid()) {
            emptyFor.start();
        } else if (emptyFor.elapsed() > kBufferMs) {
            return;
        }
        if (Step(watch) != Wait::Go) {
            return;
        }
    }
    // The clock is the client's estimate of the server's: a little more time, so that stopping
    // or destroying the output right after Drain cuts nothing off.
    QElapsedTimer tail;
    tail.start();
    while (tail.elapsed() < kDrainMarginMs && timer.elapsed() < timeoutMs) {
        if (!Pause()) {
            return;
        }
    }
}

void QtAudioOutput::Stop() {
    ++m_stops;
    m_undrained = false;
    if (m_sink && m_device) {
        m_sink->reset();
        m_device = nullptr; // reopened by the next image
    }
}

} // namespace zk
