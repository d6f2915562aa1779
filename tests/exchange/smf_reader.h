// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// A strict reader of Standard MIDI Files for the tests, written from the file format alone: it
// checks the chunk structure and plays the events back as a synthesiser would, giving every note
// its frequency from its key, its channel's pitch bend and bend range, and the tuning its
// channel has selected (MIDI Tuning Standard single note changes). Anything it does not expect
// is reported as a problem instead of being guessed at.

namespace zk::test {

struct SmfEvent {
    long long tick = 0;
    QByteArray bytes; // channel message with its status; FF type data; F0 and the SysEx body
};

struct SmfFile {
    int format = -1;
    int tracks = 0;
    int division = 0;
    std::vector<SmfEvent> events; // of the one track
    long long endTick = 0;        // the end-of-track event's tick
    QStringList problems;         // empty for a sound file
};

// Reads the bytes: the header chunk of length 6, exactly one track chunk whose length is the rest
// of the file, events each with its own status byte (running status is reported), meta and SysEx
// lengths within the chunk, one end-of-track event as the last event.
SmfFile ReadSmf(const QByteArray& bytes);

struct DecodedNote {
    long long start = 0;
    long long end = -1; // -1 while sounding
    int channel = 0;
    int key = 0;
    int velocity = 0;
    long double frequency = 0; // Hz, at the note's start
};

struct ChannelRecord {
    int program = -1;           // last program change, -1 none
    int programChanges = 0;     //
    int bendRangeSettings = 0;  // how often RPN 0 was set
    long double bendRange = -1; // semitones; -1 until RPN 0 is set
    int bend = 8192;            //
    int bendChangesWhileSounding = 0;
    // Ticks at which the channel's bend changed although a note of it ended at that very tick
    // (that note's release would bend along).
    std::vector<long long> bendChangesAtRelease;
    int tuningBank = -1;    // selected by RPN 4
    int tuningProgram = -1; // selected by RPN 3
    long long tuningSelectedAt = -1;
};

struct DecodedPiece {
    std::vector<DecodedNote> notes; // in the order of their note-on events
    std::array<ChannelRecord, 16> channels;
    long long tempo = -1;         // microseconds per quarter note
    QByteArray trackName;         // the raw bytes of the track name event
    int trackNames = 0;           //
    int tuningMessages = 0;       // single note tuning changes
    int realTimeTuning = 0;       // of them in the real-time form
    long long firstTuningAt = -1; // tick of the first tuning message
    long long firstNoteAt = -1;
    QStringList problems;
};

// Plays the events of `file` back.
DecodedPiece DecodeSmf(const SmfFile& file);

// Both in one: the file's problems come first.
DecodedPiece DecodeSmfBytes(const QByteArray& bytes);

// Cents from `reference` to `frequency`.
long double Cents(long double frequency, long double reference);

} // namespace zk::test
