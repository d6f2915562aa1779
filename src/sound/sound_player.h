// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/chord_notation.h"
#include "sound/last_piece.h"
#include "sound/timbre.h"

#include <QByteArray>
#include <QString>

// The owner of the program's sound: the timbre controls, the last piece, the chord cache and the
// audio output. The computation pass and the frequency tools play through PlayChord.

namespace zk {

class AudioOutput;

// What the repeat loop of the whole-piece playback reads between repetitions. "Stop" sets
// OnlyCompute and clears "dauernd"; a sound already playing is not cut off.
class PlaybackControl {
public:
    virtual ~PlaybackControl() = default;
    virtual void ProcessPendingEvents() = 0;
    virtual bool OnlyCompute() const = 0;
    virtual bool Dauernd() const = 0;
};

// Plays the image once, then again while "dauernd" is checked and OnlyCompute is false; pending
// events run after every repetition. OnlyCompute is not cleared first: after "Rechne" or "Stop"
// the image plays once.
void RepeatPlayback(AudioOutput& output, const QByteArray& image, PlaybackControl& control);

class SoundPlayer {
public:
    // The amplitudes are computed once from the default edits, as the main window does when it
    // is created.
    explicit SoundPlayer(AudioOutput& output) : m_output(output) { m_timbre.Eoberton1Exit(); }

    Timbre& timbre() { return m_timbre; }
    const Timbre& timbre() const { return m_timbre; }
    const LastPiece& lastPiece() const { return m_lastPiece; }
    AudioOutput& output() { return m_output; }

    // "mit abspeichern" (CBspeichern): keep every synthesised chord in the cache and play it from
    // there the next time.
    bool CacheEnabled() const { return m_cacheEnabled; }
    void SetCacheEnabled(bool enabled) { m_cacheEnabled = enabled; }

    // Plays one chord to its end: re-reads the overtone edits, records the chord in the last
    // piece, takes its image from the cache or synthesises (and stores) it, and plays it. A chord
    // longer than one hour or with a frequency that cannot be synthesised is refused before
    // anything happens (RangeError). When the cache file cannot be written the chord is played
    // all the same and the FileError follows.
    void PlayChord(int dauer, const ChordFrequencies& frequencies);

    // Starts a new last piece. `pieceName` names what it is played from (a MIDI file's track
    // name); the frequency tools' chords come from no piece and leave it empty.
    void ClearLastPiece(const QString& pieceName = {}) {
        m_lastPiece.ClearLastPiece();
        m_lastPieceName = pieceName;
    }
    const QString& lastPieceName() const { return m_lastPieceName; }

    // The whole last piece as one WAV file, in the timbre of this moment.
    void WriteLastPieceWav(const QString& path) const;

    // "Spiele das letzte Stück zusammenhängend": writes "temp.wav" in the program folder and
    // plays it with the repeat loop.
    void PlayLastPiece(PlaybackControl& control);

    // "Spiele eine gespeicherte Datei": plays any WAV file with the repeat loop. Throws FileError
    // with a German message naming the file when it cannot be read or holds no playable sound.
    void PlaySavedFile(const QString& path, PlaybackControl& control);

private:
    AudioOutput& m_output;
    Timbre m_timbre;
    LastPiece m_lastPiece;
    QString m_lastPieceName;
    bool m_cacheEnabled = true;
};

// The settings file "zirkelon.in4" that remembers the WAV file last chosen.
QString WavIniPath();
// Start name of the save dialog: the remembered name, or "wav/wav1.wav" in the program folder
// when nothing usable is remembered.
QString SaveWavStartName();
// Start name of the open dialog: the remembered name, or the program folder.
QString OpenWavStartName();
void RememberWavFileName(const QString& path);

} // namespace zk
