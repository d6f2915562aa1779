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

constexpr int kBytesPerMs = kFrameRate * kBytesPerFrame / 1000; // 176.4, rounded down
// The server's buffer, and how much of an image may still be queued when PlayImage returns: the
// next chord is synthesised and queued within that time, so the stream never runs dry between
// chords.
constexpr int kBufferMs = 250;
constexpr int kLeadMs = 120;
// When the stream has run dry (at the start, or after a pause longer than the lead) the server
// skips the first few milliseconds written after it: a short silence goes first so that the
// chord is heard from its first frame.
constexpr int kRestartSilenceMs = 40;

QAudioFormat StreamFormat() {
    QAudioFormat format;
    format.setSampleRate(kFrameRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

} // namespace

QtAudioOutput::QtAudioOutput(std::function<void(const QString&)> notice)
    : m_notice(std::move(notice)) {}

QtAudioOutput::~QtAudioOutput() {
    if (m_sink) {
        Drain();
        m_sink->stop();
    }
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
        m_sink->setBufferSize(kBufferMs * kBytesPerMs / kBytesPerFrame * kBytesPerFrame);
    }
    m_device = m_sink->start();
    if (!m_device || m_sink->error() == QAudio::OpenError) {
        FallBackToSilence(QStringLiteral("das Ausgabegerät lässt sich nicht öffnen"));
        return false;
    }
    return true;
}

int QtAudioOutput::QueuedBytes() const {
    return std::max<int>(0, static_cast<int>(m_sink->bufferSize() - m_sink->bytesFree()));
}

void QtAudioOutput::WaitBriefly() {
    // Repaints and the sound server's notifications may run; the user's input waits until the
    // chord has been played.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QThread::msleep(2);
}

void QtAudioOutput::PlayImage(const QByteArray& wav) {
    QByteArray frames = ToOutputFrames(DecodeWav(wav));
    if (frames.isEmpty() || !Open()) {
        return;
    }
    if (QueuedBytes() == 0) {
        frames.prepend(
            QByteArray(kRestartSilenceMs * kBytesPerMs / kBytesPerFrame * kBytesPerFrame, '\0'));
    }
    qsizetype written = 0;
    QElapsedTimer stalled;
    stalled.start();
    while (written < frames.size()) {
        const qsizetype free = std::min<qsizetype>(m_sink->bytesFree(), frames.size() - written);
        const qsizetype n = free > 0 ? m_device->write(frames.constData() + written, free) : 0;
        if (n < 0 || m_sink->error() == QAudio::FatalError) {
            FallBackToSilence(QStringLiteral("die Verbindung zum Tonserver ist abgebrochen"));
            return;
        }
        if (n > 0) {
            written += n;
            stalled.restart();
        } else if (stalled.elapsed() > 5000) {
            // The server takes nothing any more: better silence than a program that hangs.
            FallBackToSilence(QStringLiteral("der Tonserver nimmt keine Daten an"));
            return;
        } else {
            WaitBriefly();
        }
    }
    m_undrained = true;
    const int lead =
        static_cast<int>(std::min<qsizetype>(kLeadMs * kBytesPerMs, m_sink->bufferSize() / 2));
    stalled.restart();
    while (QueuedBytes() > lead && stalled.elapsed() < 5000) {
        WaitBriefly();
    }
}

void QtAudioOutput::Drain(int timeoutMs) {
    if (!m_sink || !m_device || !m_undrained) {
        return;
    }
    m_undrained = false;
    QElapsedTimer timer;
    timer.start();
    while (QueuedBytes() > 0 && timer.elapsed() < timeoutMs) {
        WaitBriefly();
    }
    // What the server has taken still passes its own latency before it is heard.
    const qint64 until = timer.elapsed() + kLeadMs;
    while (timer.elapsed() < std::min<qint64>(until, timeoutMs)) {
        WaitBriefly();
    }
}

void QtAudioOutput::Stop() {
    if (m_sink && m_device) {
        m_sink->reset();
        m_device = nullptr; // reopened by the next image
    }
}

} // namespace zk
