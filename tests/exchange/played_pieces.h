// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sound/last_piece.h"

#include <QString>

// Pieces played as the command line plays them for a file: the pass without sound records every
// chord in the last piece, exactly those "zirkelon midi" writes.

namespace zk::test {

// The last piece of a piece text (fixed-width rows), at the given concert pitch and tempo.
LastPiece PlayedText(const QString& pieceText, const QString& pitch = QStringLiteral("440"),
                     const QString& tempo = QStringLiteral("80"));

// The last piece of a built-in example, loaded as the menu loads it.
LastPiece PlayedExample(const QString& caption);

} // namespace zk::test
