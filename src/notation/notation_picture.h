// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

// The staff notation of the piece and the state that goes with it: the bass-note setting, the
// mark whether the notation window may be shown, and the picture itself. One object of this kind
// belongs to the program (or to a test, or to a command-line run) and is handed to whoever draws
// or shows the notation.

namespace zk {

class PieceTable;

class NotationPicture : public QObject {
    Q_OBJECT

public:
    // The window's mark (`Tag`): drawn and may be shown, or put away and not shown again on its
    // own.
    static constexpr int kTagDrawn = 1;
    static constexpr int kTagPutAway = -1;

    // The picture grows with the piece, one column of 24 pixels per chord line. Beyond this width
    // the further chord lines are not drawn: 1362 columns, far more than any screen shows, in a
    // picture of about 26 MB.
    static constexpr int kMaxWidth = 32767;
    static constexpr int kHeight = 200;

    // `screenSize` places the window at the right edge of the screen.
    explicit NotationPicture(QSize screenSize = QSize(1920, 1080), QObject* parent = nullptr);

    // How many notes of each chord go to the bass staff: -1 (variable, the default) or 0..4.
    // Values outside that range are brought to the nearest allowed one.
    int BassNotes() const { return m_bassNotes; }
    void SetBassNotes(int bassNotes);

    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }

    QSize ScreenSize() const { return m_screenSize; }
    void SetScreenSize(QSize size) { m_screenSize = size; }

    // The picture as last drawn (white and empty before the first drawing). Other pictures, like
    // the waveform, may draw into it in place of the notation.
    const QImage& Image() const { return m_image; }
    QImage& Image() { return m_image; }

    // The frame of the notation window after the last drawing: 24 pixels per chord line plus 64
    // wide, 200 high, at the top of the screen, 10 pixels from its right edge.
    QRect WindowGeometry() const { return m_windowGeometry; }
    // How many chord lines the last drawing had, and how many of them fit into the picture.
    int ChordLineCount() const { return m_chordLineCount; }
    int DrawnChordLineCount() const { return m_drawnChordLineCount; }

    // Draws the chord and duration columns of the table's rows 1 to the last, skipping rows
    // whose both cells are blank, and marks the picture as drawn.
    void NotateTable(const PieceTable& table);

    // Draws chord lines with their durations, one line per chord, each ending with CR LF.
    void DrawNotation(const QString& chordText, const QString& durationText);
    void DrawNotation(const QStringList& chordLines, const QStringList& durationLines);

signals:
    // The picture is new and the window should take WindowGeometry() and be brought back.
    void notationDrawn();

private:
    int m_bassNotes = -1;
    int m_tag = kTagDrawn;
    QSize m_screenSize;
    QImage m_image;
    QRect m_windowGeometry;
    int m_chordLineCount = 0;
    int m_drawnChordLineCount = 0;
};

// What the program says when a long piece's picture shows only its first chord lines.
QString CutNotationMessage(int drawnLines, int allLines);

// The duration the notation reads from a duration cell: its whole number when that is positive,
// otherwise (blank, not a number, zero or negative) the previous duration.
int NotationDuration(const QString& cell, int previous);

} // namespace zk
