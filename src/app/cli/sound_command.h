#pragma once

#include "app/cli/cli.h"
#include "sound/timbre.h"

#include <QString>

#include <functional>
#include <optional>

// What the commands "render", "play" and "waveform" share: their options and the playing pass.

namespace zk {
class SoundPlayer;
}

namespace zk::cli {

struct SoundCommandOptions {
    std::optional<OvertoneTexts> overtones; // --timbre
    bool sine = false;                      // --sine
    bool square = false;                    // --square
    bool sawtooth = false;                  // --sawtooth
    QString pitch = QStringLiteral("440");
    QString tempo = QStringLiteral("80");
    QString output;    // -o (render, waveform)
    bool loop = false; // --loop (play)
    QString scale;     // --scale (waveform)
    QString file;
};

// Reads the options of `command` ("render", "play" or "waveform"). Returns the exit status of a
// usage error (with its message in io.err), or nothing when the options are complete.
std::optional<int> ParseSoundOptions(const QString& command, const QStringList& args,
                                     SoundCommandOptions& options, Io& io);

// Loads the piece, sets the player's timbre from the options (else the piece's "Klangfarbe",
// else the organ spectrum) and plays the whole piece through the player: a pass that plays every
// row, repeated while `loop` is set; `afterChord` runs after every chord and may end the pass by
// throwing. Returns the exit status.
int PlayPiece(const SoundCommandOptions& options, SoundPlayer& player, Io& io,
              const std::function<void()>& afterChord = {});

} // namespace zk::cli
