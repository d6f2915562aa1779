// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"
#include "engine/chord_notation.h"
#include "sound/last_piece.h"
#include "sound/timbre.h"

#include <QString>

#include <functional>
#include <optional>

// What the commands "render", "play" and "waveform" share: their options and the playing pass.

namespace zk::cli {

struct SoundCommandOptions {
    std::optional<OvertoneTexts> overtones; // --timbre
    bool sine = false;                      // --sine
    bool square = false;                    // --square
    bool sawtooth = false;                  // --sawtooth
    QString pitch = QStringLiteral("440");
    std::optional<QString> tempo; // --tempo; else a score's own, else 80
    QString output;               // -o (render, waveform)
    bool loop = false;            // --loop (play)
    QString scale;                // --scale (waveform)
    PieceArguments piece;
};

// Reads the options of `command` ("render", "play" or "waveform"). Returns the exit status of a
// usage error (with its message in io.err), or nothing when the options are complete.
std::optional<int> ParseSoundOptions(const QString& command, const QStringList& args,
                                     SoundCommandOptions& options, Io& io);

// Where a playing pass sends its chords: the last piece is cleared at its start, and every row
// that sounds is handed over as PlayChord hands it to the sound.
struct ChordSink {
    std::function<void()> clearLastPiece;
    std::function<void(int dauer, const ChordFrequencies& frequencies)> playChord;
};

// Loads the piece, sets `timbre` from the options (else the piece's "Klangfarbe", else the organ
// spectrum) and plays the whole piece into the sink: a pass that plays every row, repeated while
// `loop` is set. The sink may end the pass by throwing. Returns the exit status.
// `tempoUsed` receives the tempo the pass played at.
int PlayPiece(const SoundCommandOptions& options, Timbre& timbre, const ChordSink& sink, Io& io,
              QString* tempoUsed = nullptr);

// The chords of a pass that nobody hears (render, waveform): each is checked and recorded in the
// last piece exactly as PlayChord does it, but not synthesised, because the file or the picture
// computes the samples from the record afterwards.
class SilentPiece {
public:
    // The amplitudes come from the default edits, as for a player.
    SilentPiece() { m_timbre.Eoberton1Exit(); }

    Timbre& timbre() { return m_timbre; }
    const LastPiece& lastPiece() const { return m_lastPiece; }
    // The rows played since the last clearing: chords that sound, and rests (a duration without
    // a tone). The short rest the last piece puts before a re-struck top tone is neither.
    int chords() const { return m_chords; }
    int rests() const { return m_rests; }
    // The rows as a file's summary tells them: "31 Akkorde, 6 Pausen", or "1 Akkord" without
    // rests.
    QString RowCounts() const;

    // A sink into this piece; `afterChord` runs after every recorded chord and may throw.
    ChordSink Sink(const std::function<void()>& afterChord = {});

private:
    void Record(int dauer, const ChordFrequencies& frequencies);

    Timbre m_timbre;
    LastPiece m_lastPiece;
    int m_chords = 0;
    int m_rests = 0;
};

} // namespace zk::cli
