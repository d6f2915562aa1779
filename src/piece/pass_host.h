// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/chord_notation.h"

#include <QString>

namespace zk {

class PieceTable;

// One row as the pass has just computed it, for whoever follows the piece's way through its keys
// (the comma-drift picture). Reported for every row whose key cell is not blank and every row
// with a duration or a chord, in table order, before the row sounds.
struct ComputedRow {
    int row = 0;
    QString keyText;          // the key entry in force, trimmed
    bool keyEntered = false;  // this row's key cell was not blank
    bool tempered = false;    // the key in force starts with "~" or "m"
    long double tonic = 0;    // u: the tonic of the last key entry in Hz, 0 when there is none
    long double firstKey = 0; // K: the first key frequency so far, 0 before it
    long double kammertonFactor = 1; // concert pitch / 440; the chord's frequencies include it
    QString chord;                   // the chord text, trimmed
    bool computed = false;           // the row had a duration or a chord and was computed in full
    ChordFrequencies frequencies;    // the row's tones (all 0 when not computed)
};

// What the computation pass reads and does outside the piece table: the main window's fields,
// the notation window, scrolling, the event loop and the sound. The desktop program implements it
// with its widgets; the command line and the tests with plain values.
class PassHost {
public:
    virtual ~PassHost() = default;

    // The concert pitch field ("Ekammerton", Hz) and its reset to "440" when it holds no usable
    // value.
    virtual QString KammertonText() const = 0;
    virtual void SetKammertonText(const QString& text) = 0;

    // The tempo field ("1/4 pro min").
    virtual QString TempoText() const = 0;

    // "dauernd": start again at row 1 after the last row while playing.
    virtual bool Dauernd() const = 0;

    // Empties the record of the chords played (the last piece) at the start of every pass.
    virtual void ClearLastPiece() = 0;

    // Hands the table to the staff notation (tables of fewer than 50 rows) or, for larger
    // tables, keeps the notation window hidden after the pass.
    virtual void NotateTable(const PieceTable& table) = 0;
    virtual void HideNotation() = 0;

    // Makes `row` the top visible row; the host does so only when the table is taller than the
    // screen.
    virtual void ScrollToRow(int row) = 0;

    // Lets the user interface handle pending events (repaint, a click on "Stop").
    virtual void ProcessPendingEvents() = 0;

    // Plays one chord to its end: `dauer` in hundredths of a second, the eight frequencies in Hz
    // (0 for an empty slot).
    virtual void PlayChord(int dauer, const ChordFrequencies& frequencies) = 0;

    // Shows the result of the key check.
    virtual void ShowKeyCheck(const QString& message) = 0;

    // Hears of every row the pass has gone through; most hosts have no use for it.
    virtual void RowComputed(const ComputedRow& row) { Q_UNUSED(row); }
};

} // namespace zk
