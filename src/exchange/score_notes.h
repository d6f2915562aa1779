// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/rational.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A score as the MusicXML reader hands it on: sounding notes with exact start and end, the key
// signatures, and what was left out. The slicer turns it into rows; it knows nothing of XML.

namespace zk {

// A pitch as notation spells it: a letter with its alteration and octave, in the convention of
// MusicXML and scientific pitch (C4 is middle C; the octave belongs to the letter, so B#3 sounds
// as C4 and Cb4 as B3).
struct SpelledPitch {
    int step = 0;   // 0..6 for C D E F G A B
    int alter = 0;  // semitones: -1 flat, +1 sharp, ±2 double
    int octave = 4; // of the letter

    // 60 for C4, 69 for A4; outside 0..127 for extreme transpositions.
    int MidiKey() const;
    // The same pitch moved by `steps` letters and `semitones`, spelled as a transposition does:
    // the letter moves by the steps, the alteration makes up the semitones.
    SpelledPitch Transposed(int steps, int semitones) const;
    // "C4", "Bb3", "F##2": the letter, a "#" per sharp or "b" per flat, the octave.
    QString ScientificName() const;

    bool operator==(const SpelledPitch&) const = default;
};

// Where a note stands in its file, so that every message can name the place.
struct SourcePlace {
    QString partId;       // "P1"
    QString partName;     // "Sopran", empty when the score names none
    QString measure;      // the measure's number attribute as written, "12" or "X1"
    int measureIndex = 0; // 0-based position of the measure in its part
    qint64 line = 0;
    qint64 column = 0;
    bool operator==(const SourcePlace&) const = default;
};

// One sounding note, ties already joined. Times in quarter notes from the start of the score.
struct ScoreNote {
    int part = 0;       // index in document order
    QString voice;      // the part's voice text, "1" when the file names none
    SpelledPitch pitch; // sounding
    Rational start;
    Rational end;
    SourcePlace place; // of the note that starts it
    bool operator==(const ScoreNote&) const = default;
};

// A key signature as it takes effect: its tonic, already at sounding pitch.
struct ScoreKey {
    Rational time;
    SpelledPitch tonic; // the octave carries no meaning
    bool operator==(const ScoreKey&) const = default;
};

// Everything the reader found, in the order of the score.
struct Score {
    QString title;                      // work title, else movement title; may be empty
    std::optional<double> quarterTempo; // quarter notes per minute, from the first tempo mark
    std::vector<ScoreNote> notes;       // sorted by start, then part, then document order
    std::vector<ScoreKey> keys;         // the key signature source part's changes, by time
    Rational end;                       // the score's length: every measure as long as its content
    int voiceCount = 0;                 // distinct part and voice pairs with sounding notes
    int graceNotes = 0;                 // left out
    int cueNotes = 0;                   // left out
    int unpitchedNotes = 0;             // percussion, left out
    bool hasRepeats = false;            // repeat bar lines or voltas, played once as written
    QStringList warnings;               // German sentences about what was read differently
};

} // namespace zk
