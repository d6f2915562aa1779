// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace zk::test {

// One line of piece text in the fixed-width layout: key (5 characters), duration (5), chord.
inline QString Row(const char* key, const char* duration, const char* chord) {
    return QString::fromUtf8(key).leftJustified(5) + QString::fromUtf8(duration).leftJustified(5) +
           QString::fromUtf8(chord) + QStringLiteral("\r\n");
}

// A piece of 1000 rows: a key entry every seventh row (just, meantone, equal), chords of one to
// eight voices, durations of one to eight 32nd notes, a rest every fiftieth row.
inline QString ThousandRowPiece() {
    const char* const keys[] = {"c", "g", "d", "a", "e", "f", "b", "ma", "~c", "es"};
    const char* const chords[] = {"c",         "ce",          "ceg",  "cegc1", "Ccegc1", "CGcegc1",
                                  "CGcegc1e1", "CGcegc1e1g1", "d-fa", "e*gh",  "a1c#e1", "fac1f1"};
    QString text;
    for (int r = 0; r < 1000; ++r) {
        const QByteArray duration = QByteArray::number(1 + r % 8);
        text += Row(r % 7 == 0 ? keys[(r / 7) % 10] : "", duration.constData(),
                    r % 50 == 49 ? "" : chords[r % 12]);
    }
    return text;
}

} // namespace zk::test
