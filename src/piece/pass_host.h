#pragma once

#include "engine/chord_notation.h"

#include <QString>

namespace zk {

class PieceTable;

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
};

} // namespace zk
