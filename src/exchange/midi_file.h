// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The last piece as a Standard MIDI File (format 0, one track) that a General MIDI synthesiser
// plays at the program's own frequencies: the just intonation, the comma drift, the temperaments.
//
// Timing. One tick is exactly one hundredth of a second, the unit of a chord's Dauer: the file's
// division is Q ticks per quarter note and its tempo Q × 10 000 µs per quarter note. Q is free
// (50 by default); the command line makes it the length of a quarter (D = 8) at the piece's tempo,
// so that a notation program shows D = 8 as a quarter note.
//
// Tuning, two methods:
//
// Bend. Every sounding voice gets a channel of its own (the drum channel 10 is never used), whose
// pitch-bend range is set once to ±2 semitones (RPN 0) and whose bend moves the nearest key to
// the voice's frequency: 14 bits over ±200 cents, 0.0244 cent a step, at most 0.0122 cent off.
// The 15 channels are handed out so that a note that has just been released keeps its bend while
// it fades: a channel whose bend already fits is taken first, otherwise the one released longest
// ago, which for changing bends is a rotation through all 15.
//
// MTS. The MIDI Tuning Standard's single note tuning change with bank, non-real-time form
// (F0 7E 7F 08 07 bank program count [key xx yy zz]… F7) before each chord retunes just the keys
// the chord plays, to xx semitones plus yyzz/16384 of a semitone above key 0 (0.0061 cent a step,
// at most 0.0031 cent off). Chosen over the alternatives because
// - single note changes tune each key on its own: scale/octave tuning offers only one deviation
//   per pitch class, so c and c* (a comma higher) could not sound in one chord, nor could an
//   octave doubling drift apart from its lower tone;
// - the non-real-time form leaves sounding notes alone (FluidSynth, for one, applies the
//   real-time form to notes already sounding and the non-real-time form only to notes struck
//   afterwards): a released note keeps its pitch while the next chord retunes the same key, so
//   every voice can stay on its nearest key and the keys show the right note names;
// - a tuning only takes effect on a channel that selects it: the one channel used (channel 1)
//   selects tuning bank 0 (RPN 4) and tuning program 0 (RPN 3) after the first tuning message.
//   Without that selection FluidSynth leaves the notes equal-tempered.
// When two voices of one chord fall on the same nearest key (a tone and its comma neighbour, or
// a tone given twice), the later voice takes the closest free key, tuned to its own frequency:
// two notes on one key and channel would cut each other off.
//
// Both methods play every chord with velocity 90, from its start to its end; a rest is time
// without notes, so the short rest before a re-struck top tone stays. A chord of Dauer 0 is not
// heard in the program and is left out. Tones are read as the sound reads them: the first
// frequency 0 ends the chord. A tone whose frequency is negative or lies outside the keys of MIDI
// (below key 0, 8.18 Hz, or half a semitone and more above key 127, 12 911 Hz) is left out with
// one warning that counts them. No running status is used.

namespace zk {

class LastPiece;

enum class MidiTuning {
    Bend, // nearest key plus pitch bend, one channel per voice
    Mts,  // single note tuning change before each chord, one channel
};

// The method of a command line name ("bend", "mts"), or nothing.
std::optional<MidiTuning> MidiTuningFromName(const QString& name);

// General MIDI program 19 (counted from 0): the church organ, whose steady partials suit listening
// for beats.
inline constexpr int kChurchOrganProgram = 19;

// The default ticks per quarter note: a quarter of half a second (120 quarters a minute).
inline constexpr int kDefaultQuarterDauer = 50;

// The largest number of ticks per quarter note: its tempo, Q × 10 000 µs, must fit the 24 bits of
// the tempo event.
inline constexpr int kMaxQuarterDauer = 1677;

struct MidiOptions {
    MidiTuning tuning = MidiTuning::Bend;
    int program = kChurchOrganProgram;       // 0 .. 127
    QString trackName;                       // the piece's name; empty: no name
    int quarterDauer = kDefaultQuarterDauer; // hundredths of a second per quarter note, 1 .. 1677
};

// The frequency range a tone must lie in to be written: from MIDI key 0 up to (not including)
// half a semitone above key 127.
inline constexpr long double kMidiLowestFrequency = 8.17579891564370733368L;
inline constexpr long double kMidiFrequencyLimit = 12911.4169283217709429L;

struct MidiExport {
    QByteArray bytes;
    QString warning;     // German, one sentence; empty when every tone was written
    int notes = 0;       // notes written
    int leftOut = 0;     // tones left out (negative or outside MIDI's range)
    long long dauer = 0; // the piece's length in hundredths of a second (ticks)
};

// The file's bytes for the piece. Throws Error with a German message for an empty piece (no
// record with a Dauer) and for a piece too long for a MIDI file, RangeError for options outside
// their ranges.
MidiExport ExportMidi(const LastPiece& piece, const MidiOptions& options);

// As ExportMidi, and writes the bytes to `path`, all or nothing. Nothing is written when the
// piece is refused. Throws FileError with a German message when the file cannot be written.
MidiExport WriteMidiFile(const QString& path, const LastPiece& piece, const MidiOptions& options);

// Ticks per quarter note for a piece whose 32nd note lasts `thirtySecondLength` hundredths of a
// second: the length of a quarter (8 of them) where that fits a MIDI file, else the default.
int MidiQuarterDauer(long long thirtySecondLength);

} // namespace zk
