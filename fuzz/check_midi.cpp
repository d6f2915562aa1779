// SPDX-License-Identifier: GPL-3.0-or-later
// A piece (text or score, read as from standard input) played without sound and written as a
// MIDI file with either tuning: the file reads back by the format's rules alone, with one track
// as long as the chunk says, every event with its own status, SysEx messages closed by F7, the
// end of the track at the piece's end, and every note that starts also released.
#include "fuzz_checks.h"

#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"
#include "app/cli/sound_command.h"
#include "exchange/midi_file.h"
#include "exchange/smf_reader.h"
#include "sound/last_piece.h"
#include "support/errors.h"

namespace zk::fuzz {

namespace {

void CheckFile(const MidiExport& written, MidiTuning tuning) {
    const std::string method = tuning == MidiTuning::Bend ? "bend: " : "mts: ";
    const test::SmfFile file = test::ReadSmf(written.bytes);
    Require(file.problems.isEmpty(), method + file.problems.join(u"; ").toStdString());
    Require(file.format == 0 && file.tracks == 1, method + "not one track of format 0");
    for (const test::SmfEvent& event : file.events) {
        if (!event.bytes.isEmpty() && static_cast<unsigned char>(event.bytes.at(0)) == 0xF0) {
            Require(static_cast<unsigned char>(event.bytes.back()) == 0xF7,
                    method + "a SysEx message not closed by F7");
        }
    }
    Require(file.endTick == written.dauer, method + "the track does not end with the piece");
    const test::DecodedPiece decoded = test::DecodeSmf(file);
    Require(decoded.problems.isEmpty(), method + decoded.problems.join(u"; ").toStdString());
    Require(static_cast<int>(decoded.notes.size()) == written.notes,
            method + "other notes than were written");
    for (const test::DecodedNote& note : decoded.notes) {
        Require(note.end >= note.start, method + "a stuck note");
    }
}

} // namespace

void CheckMidi(const QByteArray& input) {
    cli::SoundCommandOptions options;
    options.piece.file = QStringLiteral("-");
    cli::Io io;
    io.readStdin = [&input] { return input; };
    cli::SilentPiece played;
    try {
        if (cli::PlayPiece(options, played.timbre(), played.Sink(), io) != cli::kExitOk) {
            return;
        }
    } catch (const Error&) {
        return; // a score that cannot be read, a piece too long to play
    }
    for (const MidiTuning tuning : {MidiTuning::Bend, MidiTuning::Mts}) {
        MidiOptions midi;
        midi.tuning = tuning;
        midi.trackName = QStringLiteral("Stück");
        MidiExport written;
        try {
            written = ExportMidi(played.lastPiece(), midi);
        } catch (const Error&) {
            continue; // nothing to play, or too long for a MIDI file
        }
        CheckFile(written, tuning);
    }
}

} // namespace zk::fuzz
