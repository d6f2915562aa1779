// SPDX-License-Identifier: GPL-3.0-or-later
#include "notation/notation_picture.h"

#include "notation/staff_drawing.h"
#include "piece/piece_table.h"
#include "support/errors.h"
#include "support/number_text.h"
#include "support/text_helpers.h"

#include <QPainter>

#include <algorithm>

namespace zk {

namespace {

QStringList SplitLines(const QString& text) {
    QStringList lines = text.split(QStringLiteral("\r\n"));
    // The line break after the last line ends that line; it does not begin another one.
    if (text.isEmpty() || text.endsWith(QStringLiteral("\r\n"))) {
        lines.removeLast();
    }
    return lines;
}

QImage WhiteImage(int width) {
    QImage image(width, NotationPicture::kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

} // namespace

NotationPicture::NotationPicture(QSize screenSize, QObject* parent)
    : QObject(parent), m_screenSize(screenSize), m_image(WhiteImage(64)) {}

void NotationPicture::SetBassNotes(int bassNotes) {
    m_bassNotes = std::clamp(bassNotes, kBassNotesVariable, kBassNotesMax);
}

QString CutNotationMessage(int drawnLines, int allLines) {
    return QStringLiteral("Das Notenbild zeigt nur die ersten %1 von %2 Akkordzeilen.")
        .arg(drawnLines)
        .arg(allLines);
}

int NotationDuration(const QString& cell, int previous) {
    if (IsBlank(cell)) {
        return previous;
    }
    try {
        const int value = TextToInt(cell);
        return value > 0 ? value : previous;
    } catch (const Error&) {
        return previous;
    }
}

void NotationPicture::NotateTable(const PieceTable& table) {
    m_tag = kTagDrawn;
    QStringList chords;
    QStringList durations;
    for (int row = 1; row < table.RowCount(); ++row) {
        const QString duration = table.Cell(PieceTable::kDurationColumn, row);
        const QString chord = table.Cell(PieceTable::kChordColumn, row);
        if (IsBlank(duration) && IsBlank(chord)) {
            continue;
        }
        chords.append(chord);
        durations.append(duration);
    }
    DrawNotation(chords, durations);
}

void NotationPicture::DrawNotation(const QString& chordText, const QString& durationText) {
    DrawNotation(SplitLines(chordText), SplitLines(durationText));
}

void NotationPicture::DrawNotation(const QStringList& chordLines,
                                   const QStringList& durationLines) {
    const qsizetype n = chordLines.size();
    const long long windowWidth = 24LL * n + 64;
    m_image = WhiteImage(static_cast<int>(std::min<long long>(windowWidth, kMaxWidth)));
    m_chordLineCount = static_cast<int>(std::min<qsizetype>(n, INT_MAX));
    m_drawnChordLineCount = 0;
    {
        QPainter painter(&m_image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        DrawClefs(painter, m_bassNotes != 0);
        int d = 8;
        for (qsizetype i = 0; i < n; ++i) {
            // Only whole columns are drawn: the staff reaches 16 pixels right of the notes.
            if (ColumnX(static_cast<int>(i)) + 16 >= m_image.width()) {
                break;
            }
            if (i < durationLines.size()) {
                d = NotationDuration(durationLines.at(i), d);
            }
            DrawChordColumn(painter, SpellFlatsAsH(chordLines.at(i)), static_cast<int>(i), d,
                            m_bassNotes);
            ++m_drawnChordLineCount;
        }
    }
    const int width = static_cast<int>(std::min<long long>(windowWidth, INT_MAX / 2));
    m_windowGeometry = QRect(m_screenSize.width() - width - 10, 0, width, kHeight);
    emit notationDrawn();
}

} // namespace zk
