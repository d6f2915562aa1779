// SPDX-License-Identifier: GPL-3.0-or-later
#include "notation/notation_glyphs.h"

#include <QPainter>
#include <QString>

namespace zk {

namespace {

// A G clef whose spiral winds round the g1 line (y = 62 for the origin at y = 70).
constexpr std::array<const char*, 46> kTrebleClefRows = {"10-11",
                                                         "9-12",
                                                         "9-12",
                                                         "8-10, 12",
                                                         "8-9, 13",
                                                         "8-9, 13",
                                                         "7-8, 13",
                                                         "7-8, 13",
                                                         "7, 12-13",
                                                         "7-8, 12-13",
                                                         "7-8, 11-13",
                                                         "7-8, 11-13",
                                                         "8, 10-12",
                                                         "8-12",
                                                         "8-11",
                                                         "7-10",
                                                         "6-9",
                                                         "5-9",
                                                         "4-9",
                                                         "3-7, 9",
                                                         "3-5, 9",
                                                         "2-5, 10",
                                                         "2-3, 10-12",
                                                         "2-3, 8-12",
                                                         "1-3, 7-15",
                                                         "1-2, 7-10, 12-16",
                                                         "1-2, 6-8, 11, 14-16",
                                                         "1-2, 7, 11, 15-16",
                                                         "1-2, 7, 11, 16",
                                                         "2, 7, 11, 16",
                                                         "2, 7, 11, 16",
                                                         "2-3, 7-8, 12, 16",
                                                         "3-4, 9, 12, 15-16",
                                                         "4-5, 12, 14-15",
                                                         "6-7, 12-13",
                                                         "8-12",
                                                         "12",
                                                         "12-13",
                                                         "13",
                                                         "7, 13",
                                                         "5-9, 13",
                                                         "5-9, 13",
                                                         "5-9, 13",
                                                         "5-9, 13",
                                                         "5-7, 12-13",
                                                         "6-8, 10-12"};

// An F clef whose two dots lie either side of the f line (y = 116 for the origin at y = 140).
constexpr std::array<const char*, 22> kBassClefRows = {"5-8",
                                                       "3-4, 8-11",
                                                       "1-2, 10-12, 16-18",
                                                       "1, 3-4, 10-13, 16-18",
                                                       "1-5, 10-13",
                                                       "1-6, 11-13",
                                                       "1-6, 11-13",
                                                       "1-5, 11-13, 17",
                                                       "2-4, 10-13, 16-18",
                                                       "10-13, 16-18",
                                                       "10-13",
                                                       "10-13",
                                                       "10-12",
                                                       "9-12",
                                                       "9-11",
                                                       "8-10",
                                                       "7-9",
                                                       "6-8",
                                                       "5-6",
                                                       "4-5",
                                                       "3",
                                                       "1"};

// The flag hangs from the top of an upward stem, one pixel to its right, 14 rows down.
constexpr std::array<const char*, 14> kStemUpFlagRows = {
    "1", "1", "1-2", "2-3", "3-4", "4-5", "6-7", "7-8", "8-9", "8-9", "7-8", "7-8", "7-8", "6-7"};

// The flag rises from the lower end of a downward stem.
constexpr std::array<const char*, 12> kStemDownFlagRows = {"8",   "8",   "8-9", "8-9", "7-8", "6-7",
                                                           "4-5", "3-4", "2-3", "1-2", "1",   "1"};

} // namespace

const NotationGlyph& TrebleClefGlyph() {
    static const NotationGlyph glyph{kTrebleClefRows, 36};
    return glyph;
}

const NotationGlyph& BassClefGlyph() {
    static const NotationGlyph glyph{kBassClefRows, 30};
    return glyph;
}

const NotationGlyph& StemUpFlagGlyph() {
    static const NotationGlyph glyph{kStemUpFlagRows, 36};
    return glyph;
}

const NotationGlyph& StemDownFlagGlyph() {
    static const NotationGlyph glyph{kStemDownFlagRows, 36};
    return glyph;
}

void DrawGlyph(QPainter& painter, const NotationGlyph& glyph, QPoint origin) {
    for (int r = 0; r < static_cast<int>(glyph.rows.size()); ++r) {
        const int y = origin.y() + r - glyph.offset;
        const QString row = QString::fromLatin1(glyph.rows[static_cast<size_t>(r)]);
        for (const QString& range : row.split(u',')) {
            const QStringList ends = range.trimmed().split(u'-');
            const int first = ends.constFirst().toInt();
            const int last = ends.constLast().toInt();
            for (int c = first; c <= last; ++c) {
                painter.fillRect(origin.x() + c - 8, y, 1, 1, Qt::black);
            }
        }
    }
}

} // namespace zk
