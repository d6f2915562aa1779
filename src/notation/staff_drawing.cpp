// SPDX-License-Identifier: GPL-3.0-or-later
#include "notation/staff_drawing.h"

#include "notation/notation_glyphs.h"

#include <QFont>
#include <QPaintDevice>
#include <QPainter>
#include <QPoint>

#include <algorithm>

namespace zk {

namespace {

// Steps are counted in long long: every note without an octave digit climbs above the one before,
// so a long line of notes can climb far; all of that lies outside the picture.
using Step = long long;

// Coordinates far outside the picture are all equally invisible; keeping them small keeps the
// painter's arithmetic safe.
int ClampCoordinate(long long value) {
    return static_cast<int>(std::clamp(value, -100000LL, 100000LL));
}

void SetPen(QPainter& painter, int width) {
    painter.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
}

// Both end points belong to the line.
void Line(QPainter& painter, int x1, int y1, int x2, int y2) {
    painter.drawLine(x1, y1, x2, y2);
}

// The face of the flat sign: a bold sans serif "b" about 13 pixels high (10 points on a 96 dpi
// screen), without smoothing so that the picture stays black and white.
QFont FlatFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif, QFont::NoAntialias);
    font.setPixelSize(13);
    font.setBold(true);
    return font;
}

enum class Staff { Treble, Bass };

// The placement of the notes of one chord line. Notes are read from left to right; a note
// without an octave digit is placed above the note before it, and with the variable bass-note
// setting a note moves to the staff its pitch suits.
class ChordColumn {
public:
    ChordColumn(QPainter& painter, const QString& line, int column, int d, int bassNotes)
        : m_painter(painter), m_line(line), m_x(ColumnX(column)), m_d(d), m_bassNotes(bassNotes) {}

    void Draw() {
        for (m_pos = 0; m_pos < m_line.size(); ++m_pos) {
            const QChar c = m_line.at(m_pos);
            if (c == u'.') {
                SetPen(m_painter, 1);
                Line(m_painter, m_x + 10, 40, m_x + 10, 140);
            } else if (const auto step = NoteStep(c)) {
                PlaceNote(*step);
            }
        }
        DrawFlags();
    }

private:
    QChar At(qsizetype pos) const { return pos < m_line.size() ? m_line.at(pos) : QChar(); }

    void PlaceNote(int step) {
        ++m_noteCount;
        Staff staff = Staff::Treble;
        if (m_bassNotes == kBassNotesVariable) {
            // The first note is the bass; a second note joins it unless the line already stands
            // at e1 or above.
            if (m_noteCount == 1 || (m_noteCount == 2 && m_lastNoteStep < 10)) {
                staff = Staff::Bass;
            }
        } else if (m_noteCount <= m_bassNotes) {
            staff = Staff::Bass;
        }
        Place(staff, step);
        DrawStaffLines(m_painter, m_x, kTrebleBase, 0);
        if (m_bassNotes != 0) {
            DrawStaffLines(m_painter, m_x, kBassBase, 0);
        }
    }

    // Places the note whose letter stands at the current position and consumes what belongs to
    // it: the octave digit (or an overtone number in the treble), then one accidental.
    void Place(Staff staff, Step s) {
        // A note handed to the other staff can come back only after the position has moved on
        // (an octave digit read again), so this bound is never reached by a real chord.
        int handOvers = 0;
        // A note written with its octave keeps it on the other staff too: "c1egc0eg" draws c0
        // in the bass below g, where it sounds.
        bool explicitOctave = false;
        for (;;) {
            const QChar next = At(m_pos + 1);
            const bool lowerCase = At(m_pos) >= u'a' && At(m_pos) <= u'z';
            if (explicitOctave) {
                // The octave is read once; a second digit is no part of the note.
            } else if (next >= u'0' && next <= u'9') {
                // Lower-case letters count octaves up from the small octave, upper-case ones down
                // from the great octave; "c0" and "C0" are written with a digit but not moved.
                const int octaves = next.unicode() - u'0';
                s += lowerCase ? 7 * octaves : -7 * octaves;
                explicitOctave = true;
                ++m_pos;
            } else if (staff == Staff::Treble && next == u':') {
                // An overtone ("G:7") keeps the letter's own octave.
                m_pos = std::min(m_pos + 2, m_line.size());
                explicitOctave = true;
            }
            if (!explicitOctave && s <= m_lastNoteStep) {
                s += 7 * ((m_lastNoteStep - s) / 7 + 1);
            }
            if (m_bassNotes == kBassNotesVariable && handOvers < 8) {
                if (staff == Staff::Treble && s < 7) {
                    staff = Staff::Bass;
                    ++handOvers;
                    continue;
                }
                if (staff == Staff::Bass && s > 8) {
                    staff = Staff::Treble;
                    ++handOvers;
                    continue;
                }
            }
            break;
        }
        m_lastNoteStep = s;

        const int base = staff == Staff::Treble ? kTrebleBase : kBassBase;
        const Step p = staff == Staff::Treble ? s - 7 : s + 5;
        const QChar sign = At(m_pos + 1);
        if (sign == u'#') {
            DrawSharp(base, p);
            ++m_pos;
        } else if (sign == u'*') {
            DrawFlat(base, p);
            ++m_pos;
        }
        DrawNote(base, p, staff == Staff::Treble);
    }

    void DrawNote(int base, Step p, bool stemUp) {
        const int x = m_x;
        const int y = ClampCoordinate(PositionY(base, p));
        SetPen(m_painter, 1);
        // Notes of half length and more have open heads.
        m_painter.setBrush(m_d < 8 ? Qt::black : Qt::white);
        if (m_d < 16) {
            if (stemUp) {
                Line(m_painter, x + 4, y, x + 4, y - 24);
            } else {
                Line(m_painter, x - 6, y, x - 6, y + 24);
            }
        }
        if (m_d < 4) {
            // The flags of the line hang from the last upward stem and the first downward one.
            if (stemUp) {
                m_upFlag = QPoint(x + 4, y - 24);
                m_upSecondFlag = m_d <= 1 ? std::optional(QPoint(x + 4, y - 21)) : std::nullopt;
            } else if (!m_downFlag) {
                m_downFlag = QPoint(x - 6, y + 24);
                if (m_d <= 1) {
                    m_downSecondFlag = QPoint(x - 6, y + 21);
                }
            }
        }
        // The head fills the box (x - 5, y - 3)-(x + 5, y + 4) with its 2-pixel outline: 11 pixels
        // from the downward stem (x - 6) to the upward one (x + 4), 7 rows centred on y, so a
        // note on a line has the line through its middle.
        SetPen(m_painter, 2);
        m_painter.drawEllipse(QRectF(x - 5, y - 2, 9, 5));
        if (m_d == 3 || m_d == 6 || m_d == 12 || m_d == 24) {
            // The dot, in the box (x + 7, y - 1)-(x + 9, y + 2).
            m_painter.drawEllipse(QRectF(x + 7.5, y, 1, 1));
        }
        SetPen(m_painter, 1);
        // Ledger lines reach out to the note: one for c1 (p = 1) and a1 above the treble (p = 13).
        Step k = 0;
        if (p < 2) {
            k = (p - 3) / 2;
        } else if (p > 12) {
            k = (p - 11) / 2;
        }
        DrawStaffLines(m_painter, x, base, static_cast<int>(std::clamp(k, -100000LL, 100000LL)));
    }

    void DrawSharp(int base, Step p) {
        const int x = m_x;
        const int y = ClampCoordinate(PositionY(base, p));
        SetPen(m_painter, 2);
        Line(m_painter, x - 14, y, x - 6, y - 4);
        Line(m_painter, x - 14, y + 4, x - 6, y);
        SetPen(m_painter, 1);
        Line(m_painter, x - 8, y - 10, x - 8, y + 10);
        Line(m_painter, x - 12, y - 10, x - 12, y + 10);
    }

    void DrawFlat(int base, Step p) {
        const int y = ClampCoordinate(PositionY(base, p));
        SetPen(m_painter, 1);
        m_painter.setFont(FlatFont());
        m_painter.drawText(QRect(m_x - 14, y - 9, 40, 40), Qt::AlignLeft | Qt::AlignTop,
                           QStringLiteral("b"));
    }

    void DrawFlags() {
        for (const auto& anchor : {m_upFlag, m_upSecondFlag}) {
            if (anchor) {
                DrawGlyph(m_painter, StemUpFlagGlyph(), *anchor + QPoint(8, 36));
            }
        }
        for (const auto& anchor : {m_downFlag, m_downSecondFlag}) {
            if (anchor) {
                DrawGlyph(m_painter, StemDownFlagGlyph(), *anchor + QPoint(8, 22));
            }
        }
    }

    QPainter& m_painter;
    const QString& m_line;
    const int m_x;
    const int m_d;
    const int m_bassNotes;
    qsizetype m_pos = 0; // index of the character being read
    Step m_lastNoteStep = -100;
    int m_noteCount = 0;
    std::optional<QPoint> m_upFlag;
    std::optional<QPoint> m_upSecondFlag;
    std::optional<QPoint> m_downFlag;
    std::optional<QPoint> m_downSecondFlag;
};

} // namespace

std::optional<int> NoteStep(QChar letter) {
    switch (letter.unicode()) {
    case u'C':
        return -6;
    case u'D':
        return -5;
    case u'E':
        return -4;
    case u'F':
        return -3;
    case u'G':
        return -2;
    case u'A':
        return -1;
    case u'H':
        return 0;
    case u'c':
        return 1;
    case u'd':
        return 2;
    case u'e':
        return 3;
    case u'f':
        return 4;
    case u'g':
        return 5;
    case u'a':
        return 6;
    case u'h':
        return 7;
    default:
        return std::nullopt;
    }
}

QString SpellFlatsAsH(const QString& chord) {
    // An octave digit stays with its letter, before the sign, as the chord notation has it.
    QString spelled;
    spelled.reserve(chord.size() + chord.size() / 2);
    for (qsizetype i = 0; i < chord.size(); ++i) {
        const QChar c = chord.at(i);
        if (c != u'b' && c != u'B') {
            spelled += c;
            continue;
        }
        spelled += c == u'b' ? u'h' : u'H';
        if (i + 1 < chord.size() && chord.at(i + 1) >= u'0' && chord.at(i + 1) <= u'9') {
            spelled += chord.at(++i);
        }
        spelled += u'*';
    }
    return spelled;
}

void DrawStaffLines(QPainter& painter, int x, int base, int k) {
    SetPen(painter, 1);
    painter.setBackgroundMode(Qt::TransparentMode);
    for (int j = 0; j <= 4; ++j) {
        Line(painter, x - 12, base - 8 * j, x + 16, base - 8 * j);
    }
    // Ledger lines beyond the picture's edge are not drawn: a note far out of range would
    // otherwise ask for thousands of them.
    const int height = painter.device() ? painter.device()->height() : 0;
    for (int j = 0; j < k; ++j) {
        const int y = base - 40 - 8 * j;
        if (y < 0) {
            break;
        }
        Line(painter, x - 8, y, x + 10, y);
    }
    for (int j = 0; j < -k; ++j) {
        const int y = base + 8 + 8 * j;
        if (y >= height) {
            break;
        }
        Line(painter, x - 8, y, x + 10, y);
    }
}

void DrawClefs(QPainter& painter, bool withBass) {
    DrawGlyph(painter, TrebleClefGlyph(), QPoint(12, kTrebleBase));
    DrawStaffLines(painter, 12, kTrebleBase, 0);
    DrawStaffLines(painter, 28, kTrebleBase, 0);
    if (withBass) {
        DrawGlyph(painter, BassClefGlyph(), QPoint(12, kBassBase));
        DrawStaffLines(painter, 12, kBassBase, 0);
        DrawStaffLines(painter, 28, kBassBase, 0);
    }
}

void DrawChordColumn(QPainter& painter, const QString& line, int column, int d, int bassNotes) {
    ChordColumn(painter, line, column, d, bassNotes).Draw();
}

} // namespace zk
