// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/sound_player.h"

#include "sound/audio_output.h"
#include "sound/chord_cache.h"
#include "sound/synthesis.h"
#include "sound/wav_format.h"
#include "support/errors.h"
#include "support/program_files.h"
#include "support/system_reason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace zk {

namespace {

// The cached image when the file holds exactly what this chord's image must look like in size
// and header; anything else (unreadable, cut short, foreign) counts as no file.
std::optional<QByteArray> LoadCachedImage(const QString& path, int dauer) {
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const std::int64_t frames = ChordFrameCount(dauer);
    if (file.size() != kWavHeaderSize + frames * kBytesPerFrame) {
        return std::nullopt;
    }
    QByteArray image = file.readAll();
    if (image.size() != file.size() || !image.startsWith(WavHeader(frames))) {
        return std::nullopt;
    }
    return image;
}

// A WAV file as the program writes it is never larger than its header and the most frames a
// header can count.
QByteArray ReadWholeFile(const QString& path) {
    return ReadFileBytes(path, kWavHeaderSize + kMaxWavFrames * kBytesPerFrame);
}

} // namespace

void RepeatPlayback(AudioOutput& output, const QByteArray& image, PlaybackControl& control) {
    do {
        output.PlayImage(image);
        control.ProcessPendingEvents();
        if (control.OnlyCompute()) {
            break;
        }
    } while (control.Dauernd());
}

void SoundPlayer::PlayChord(int dauer, const ChordFrequencies& frequencies) {
    m_timbre.Eoberton1Exit();
    // Refused before the chord enters the last piece.
    CheckChordDauer(dauer);
    CheckChordFrequencies(frequencies);
    m_lastPiece.AppendToLastPiece(dauer, frequencies);

    QString path;
    if (m_cacheEnabled && dauer > 0) {
        path = ChordCachePath(dauer, frequencies, m_timbre);
    }
    std::optional<QByteArray> image;
    if (!path.isEmpty()) {
        image = LoadCachedImage(path, dauer);
    }
    std::optional<FileError> storeError;
    if (!image) {
        image = ChordWavImage(dauer, frequencies, m_timbre.ForSamples());
        if (!path.isEmpty()) {
            try {
                if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
                    throw FileError(QStringLiteral("Der Ordner \"%1\" kann nicht angelegt werden.")
                                        .arg(QFileInfo(path).absolutePath()));
                }
                WriteFileBytes(path, *image);
            } catch (const FileError& error) {
                storeError = error;
            }
        }
    }
    m_output.PlayImage(*image);
    if (storeError) {
        throw *storeError;
    }
}

void SoundPlayer::WriteLastPieceWav(const QString& path) const {
    zk::WriteLastPieceWav(path, m_lastPiece, m_timbre.ForSamples());
}

void SoundPlayer::PlayLastPiece(PlaybackControl& control) {
    const QString path = CacheDir() + QStringLiteral("temp.wav");
    WriteLastPieceWav(path);
    RepeatPlayback(m_output, ReadWholeFile(path), control);
}

void SoundPlayer::PlaySavedFile(const QString& path, PlaybackControl& control) {
    const QByteArray image = ReadWholeFile(path);
    try {
        DecodeWav(image);
    } catch (const FileError& error) {
        throw FileError(QStringLiteral("\"%1\": %2").arg(path, error.message()));
    }
    RepeatPlayback(m_output, image, control);
}

QString WavIniPath() {
    return ConfigDir() + QStringLiteral("zirkelon.in4");
}

QString SaveWavStartName() {
    return LastFileNameOr(WavIniPath(), ProgramDir() + QStringLiteral("wav/wav1.wav"));
}

QString OpenWavStartName() {
    return LastFileNameOr(WavIniPath(), ProgramDir());
}

void RememberWavFileName(const QString& path) {
    WriteLastFileName(WavIniPath(), path);
}

} // namespace zk
