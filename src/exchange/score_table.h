// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/score_slicer.h"

#include <QString>

#include <vector>

// Score rows written as piece-table cells: the duration in 32nd notes, the chord in the letter
// notation (German letters, octave registers, "#" and "*"), and the key column.

namespace zk {

class PieceTable;

// What the key column of an imported score holds.
enum class ScoreKeyColumn {
    Signature, // the tonic of each key signature, where it takes effect
    Equal,     // "~" in every row: equal temperament, every tone at its MIDI key's frequency
};

// The letters of a pitch as the key column and the chord notation write them, without an octave:
// "c", "f#", "e*", "h" (B natural), "b" (B flat), "b*" (B double flat), "h#" (B sharp).
QString GermanPitchName(const SpelledPitch& pitch);

// One tone of a chord with its octave register: lower case from the small octave (MusicXML
// octave 3) up, with the digit octave − 3 ("c1" is middle C, "a1" 440 Hz); upper case below, with
// the digit 2 − octave ("H", "C1"). Without the digit when `digit` is false. The accidentals
// follow the digit ("f1#", "e2*"). Empty for a register the notation cannot write (a digit
// beyond 9).
QString ChordToneText(const SpelledPitch& pitch, bool digit);

// The tones of a chord, lowest first, each with its octave digit only where the chord notation's
// automatic raising (a tone without a digit sounds above the tone before it) would not already put
// it there. The rule looks at whole semitones, not at a key: it holds whatever key the row is
// given, since snapping to a just or tempered key keeps tones two semitones apart in order and a
// tone and its octave an octave apart.
QString ChordText(const std::vector<SlicedTone>& lowestFirst);

// A duration of `quarters` in the table's 32nd notes: "8" for a quarter, "8/3" for a triplet
// eighth.
QString DurationText(const Rational& quarters);

// Replaces the table's rows by the score's rows: key, duration and chord cells, the frequency
// and interval cells empty, one empty row after the last, as a loaded piece has.
void WriteScoreRows(const std::vector<ScoreRow>& rows, ScoreKeyColumn keys, PieceTable& table);

} // namespace zk
