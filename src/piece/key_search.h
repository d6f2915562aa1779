// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Keys found for a whole piece at once. Each row's key is a tonic that is a degree of the key
// before it, perhaps a syntonic comma higher or lower ("+", "-"), so every step is exact just
// intonation, as a hand-written key column is. Of all such key columns the search takes the one
// of least cost: impure chords, held tones that change their pitch, rows spent a comma away from
// the first key and key entries all cost, and by default the piece must end where it began.
// Where 5-limit just intonation cannot have pure chords, held tones and no drift at once, the
// result says at which row and why.

namespace zk {

class PieceTable;
class TemperamentList;

// What a key column costs; the smallest sum wins.
struct KeyWeights {
    // Each third, fourth, fifth or sixth between two tones of a row (3, 4, 5, 7, 8 or 9
    // semitones as written, octaves left out) more than 1 cent away from 6/5, 5/4, 4/3, 3/2, 8/5
    // or 5/3.
    double impureInterval = 10;
    // Each key of the keyboard that sounds in two neighbouring rows (held, tied or repeated, in
    // any voice) and changes its frequency, and per cent it moves: a comma costs 18.75, more than
    // one impure interval and less than two, so a held tone gives way only where that makes a
    // chord pure that would otherwise have two impure intervals.
    double movedTone = 8;
    double movedToneCent = 0.5;
    // And once more for a move larger than a syntonic comma (a diesis, two commas): a held tone
    // that slides by a quarter tone is heard as a wrong note.
    double largeMove = 20;
    // Each tone the key puts more than 45 cents from its written pitch, where it sounds like the
    // next key of the keyboard: far-off keys are for rows that need them.
    double strayTone = 20;
    // Per syntonic comma the last key's tonic lies off the tone of its name in the first key;
    // only when the end may drift.
    double finalDriftComma = 3;
    // Per sounding row and syntonic comma its key's tonic lies off the first key.
    double rowAwayComma = 0.05;
    // Per key change: fewer entries read better.
    double keyChange = 0.2;
};

struct KeySearchOptions {
    // "zum Ausgangston zurück": the last key's tonic and the last chord's lowest tone lie where the
    // first key has them. When kept keys make that impossible the end is left free.
    bool returnToStart = true;
    // Every key entry the table has stays; the search chooses only the blank cells. Entries of
    // equal temperament ("~") and of a temperament ("m…") always stay.
    bool keepKeys = false;
    KeyWeights weights;
};

// A row whose chord stays impure, with the reason in musical words.
struct ImpureRow {
    int row = 0;
    int impureIntervals = 0;
    QString chord;
    QString reason;
    bool operator==(const ImpureRow&) const = default;
};

// A tone held or repeated into the next row that changes its pitch there.
struct MovedTone {
    int row = 0;      // the row it arrives in
    QString tone;     // as the register names it, e.g. "e1", "G"
    double cents = 0; // upwards positive
    bool operator==(const MovedTone&) const = default;
};

struct KeySearchResult {
    // The new key column, one cell per table row; index 0 (the header) is unused.
    QStringList keys;
    int chordRows = 0; // rows of two or more tones in just intonation
    int pureRows = 0;  // of those, rows without an impure interval
    std::vector<ImpureRow> impureRows;
    std::vector<MovedTone> movedTones;
    // The last key's tonic against the tone of its name in the first key, in cents; when the piece
    // has a just key at all.
    bool hasFinalKey = false;
    double finalDrift = 0;
    // The end was asked to return but kept keys do not let it.
    bool returnImpossible = false;
    double cost = 0;
};

// Chooses the keys of `table` (rows 1 .. RowCount() - 1, columns "TA" and "Akkord"). The table is
// not changed. `temperaments` is the list the "m…" keys of the table use.
KeySearchResult FindKeys(const PieceTable& table, const KeySearchOptions& options = {},
                         TemperamentList* temperaments = nullptr);

// Writes the key column found into the table.
void WriteKeys(const KeySearchResult& result, PieceTable& table);

// Whether the table has a key entry the user may want to keep: any non-blank key cell.
bool HasKeyEntries(const PieceTable& table);

// The result in German lines: the pure rows, each impure row with its reason, each moved tone,
// the final drift.
QStringList KeyReport(const KeySearchResult& result);

} // namespace zk
