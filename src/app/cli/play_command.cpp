// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/cli/sound_command.h"
#include "sound/pulse_audio_output.h"
#include "sound/sound_player.h"
#include "support/errors.h"

namespace zk::cli {

int PlayCommand(const QStringList& args, Io& io) {
    SoundCommandOptions options;
    if (const auto usage = ParseSoundOptions(QStringLiteral("play"), args, options, io)) {
        return *usage;
    }
    QString notice;
    PulseAudioOutput output([&](const QString& text) { notice = text; });
    SoundPlayer player(output);
    // Without a sound device there is nothing to hear: the first chord ends the command with the
    // reason, instead of a silent (and with --loop endless) pass.
    const ChordSink sink{[&] { player.ClearLastPiece(); },
                         [&](int dauer, const ChordFrequencies& frequencies) {
                             player.PlayChord(dauer, frequencies);
                             if (!output.HasDevice()) {
                                 throw Error(notice);
                             }
                         }};
    const int status = PlayPiece(options, player.timbre(), sink, io);
    output.Drain();
    return status;
}

} // namespace zk::cli
