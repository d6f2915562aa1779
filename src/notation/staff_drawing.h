// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>

#include <optional>

class QPainter;

// The staff notation of one chord line: where each note of a chord text lands on the treble or
// bass staff, and how heads, stems, flags, dots, ledger lines, accidentals and bar lines are
// drawn. Coordinates are pixels of the picture, origin top left, y downwards; the staves have
// lines 8 pixels apart, so one diatonic step is 4 pixels.

namespace zk {

// The bottom lines of the two staves: e1 lies on y = 70, G on y = 140.
inline constexpr int kTrebleBase = 70;
inline constexpr int kBassBase = 140;

// The bass-note setting: how many of each chord's first notes go to the bass staff. Variable
// lets the pitch decide; 0 draws no bass staff at all.
inline constexpr int kBassNotesVariable = -1;
inline constexpr int kBassNotesMax = 4;

// The x of the notes of chord line `column` (0-based): one column every 24 pixels.
constexpr int ColumnX(int column) {
    return 24 * column + 52;
}

// The y of staff position p (3 = the bottom line, each step 4 pixels) on the staff `base`.
constexpr long long PositionY(int base, long long p) {
    return base - 4 * (p - 3);
}

// The diatonic step of a note letter: C = -6 … H = 0, c = 1 … h = 7 (an octave is 7 steps).
// Empty for every other character, "b" and "B" included (they are spelled as flat h first).
std::optional<int> NoteStep(QChar letter);

// Spells every B flat as h with a flat sign ("b1" -> "h1*", "B" -> "H*"), so that the staff only
// meets the seven letters of the white keys.
QString SpellFlatsAsH(const QString& chord);

// Five staff lines from x - 12 to x + 16 on the staff `base`; then |k| ledger lines from x - 8 to
// x + 10, above the staff for k > 0 and below it for k < 0.
void DrawStaffLines(QPainter& painter, int x, int base, int k);

// Both clefs with the short staff at the start of the picture; no bass clef for `withBass` false.
void DrawClefs(QPainter& painter, bool withBass);

// Draws chord line `line` (already spelled with SpellFlatsAsH) in column `column` with duration
// `d` (1 sixteenth … 16 whole, the notation's reading of the duration column) and the bass-note
// setting `bassNotes` (-1 or 0..4).
void DrawChordColumn(QPainter& painter, const QString& line, int column, int d, int bassNotes);

} // namespace zk
