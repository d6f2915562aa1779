#pragma once

#include "sound/audio_output.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QAudioSink;
class QIODevice;

// The sound server's output through QAudioSink: one 44100 Hz stereo stream stays open while the
// program runs, so that the chords of a piece follow each other without a gap. Without a usable
// device it says so once through `notice` and stays silent.

namespace zk {

class QtAudioOutput : public AudioOutput {
public:
    explicit QtAudioOutput(std::function<void(const QString&)> notice = {});
    ~QtAudioOutput() override;

    // Decodes the image (any PCM WAV; other rates and channel counts are converted), queues it
    // and returns once all but the last moments of it have reached the sound server, so that the
    // next image is queued before this one ends. Repaints may run meanwhile.
    void PlayImage(const QByteArray& wav) override;
    void Stop() override;

    // Waits until everything queued has been heard; at most `timeoutMs`.
    void Drain(int timeoutMs = 5000);

    // False once the output has fallen back to silence.
    bool HasDevice() const { return !m_silent; }

private:
    bool Open();
    void FallBackToSilence(const QString& reason);
    int QueuedBytes() const;
    void WaitBriefly();

    std::function<void(const QString&)> m_notice;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_device = nullptr;
    bool m_silent = false;
    bool m_undrained = false; // sound queued since the last Drain
};

} // namespace zk
