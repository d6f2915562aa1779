// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The computation pass: walks the piece table row by row, follows the key entries, computes
// every chord's frequencies into column 3 and their intervals into column 4, and plays the rows.

namespace zk {

class PassHost;
class PieceTable;
class TonartScale;

// The program-wide settings the pass reads and changes.
struct PassSettings {
    // True: compute without playing. "Stop" sets it; a pass for one row sets it for the rows
    // above that row.
    bool onlyCompute = true;
    // Decimals of frequencies and cents, 1 to 4.
    int decimals = 1;
};

// Targets of ComputePass: 0 the whole piece; r (1 ≤ r < kKeyCheckTarget) compute rows 1 .. r and
// play row r only; kKeyCheckTarget + r the key check of row r.
inline constexpr int kKeyCheckTarget = 65536;

// Runs one pass. Throws the conversion or division error of a tempo that is not a number or 0,
// before the first row; errors within a row end only that row's processing.
void ComputePass(int target, PieceTable& table, TonartScale& scale, PassSettings& settings,
                 PassHost& host);

// The concert pitch the pass uses: the field's number when it lies within 40 .. 10000 Hz,
// otherwise 440 (and the field is reset to "440").
long double ReadKammerton(PassHost& host);

// Length of one 32nd note in hundredths of a second at `tempo` quarter notes per minute:
// round(1875 / tempo). Throws when the tempo text is not a number or is 0.
long long ThirtySecondLength(const QString& tempoText);

// "Mehr Dezimalstellen": each click moves the decimals 1 → 2 → 3 → 4 → 1 and explains the new
// setting; the menu item is checked from 2 on.
struct DecimalsChange {
    int decimals = 1;
    QString message; // line breaks as "\r"
    bool checked = false;
};
DecimalsChange NextDecimals(int decimals);

} // namespace zk
