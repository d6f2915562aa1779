// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>

#include <array>
#include <span>

class QPainter;

// The four small black-and-white pictures of the staff notation: the two clefs and the flags of
// stems pointing up and down. They are set pixel by pixel, so they look the same on every machine
// whatever fonts it has.

namespace zk {

struct NotationGlyph {
    // Rows from the top; each row lists its black cells as 1-based columns and column ranges,
    // "1-2, 7, 11".
    std::span<const char* const> rows;
    // How far the glyph's origin lies below its top row.
    int offset = 0;
};

const NotationGlyph& TrebleClefGlyph();
const NotationGlyph& BassClefGlyph();
const NotationGlyph& StemUpFlagGlyph();
const NotationGlyph& StemDownFlagGlyph();

// Sets one black pixel at (origin x + c - 8, origin y + r - offset) for every black cell of row r
// (0-based) and column c (1-based).
void DrawGlyph(QPainter& painter, const NotationGlyph& glyph, QPoint origin);

} // namespace zk
