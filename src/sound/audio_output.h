// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// Where the sound goes: the system's sound server, nowhere, or a list for the tests.

namespace zk {

class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // Plays a WAV image held in memory and returns when it has been played. The user's input
    // waits meanwhile (PulseAudioOutput lets a wait hook decide otherwise). Throws FileError when
    // the image is not playable audio.
    virtual void PlayImage(const QByteArray& wav) = 0;

    // Stops any sound at once.
    virtual void Stop() = 0;
};

// No sound at all: every image counts as played at once.
class SilentAudioOutput : public AudioOutput {
public:
    void PlayImage(const QByteArray&) override {}
    void Stop() override {}
};

// Keeps every image it is given, in order, and counts the stops; for the tests.
class RecordingAudioOutput : public AudioOutput {
public:
    void PlayImage(const QByteArray& wav) override {
        images.append(wav);
        if (onPlay) {
            onPlay(wav);
        }
    }
    void Stop() override { ++stops; }

    QList<QByteArray> images;
    int stops = 0;
    // Runs during each playback, e.g. a click on "Stop" while the sound plays.
    std::function<void(const QByteArray&)> onPlay;
};

} // namespace zk
