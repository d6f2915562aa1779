// SPDX-License-Identifier: GPL-3.0-or-later
// The temperament list as the user edits it: its text shown and taken back keeps every line, and
// each row builds a scale whose degrees are real frequencies that a chord can be snapped to.
#include "fuzz_checks.h"

#include "engine/chord_notation.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "support/errors.h"

#include <cmath>

namespace zk::fuzz {

void CheckTemperamentList(const QByteArray& input) {
    TemperamentList list;
    list.SetText(InputText(input));
    // Shown in the editor and taken back, the list keeps every line; only an empty last line,
    // which the editor's text does not end with, goes.
    TemperamentList again;
    again.SetText(list.Text());
    QStringList expected = list.lines();
    if (!expected.isEmpty() && expected.last().isEmpty()) {
        expected.removeLast();
    }
    Require(again.lines() == expected, "the list's text taken back changes its lines");

    TonartScale scale(&list);
    int rows = 0;
    // A faulty row adds the error line to the list while it is read: the loop goes over a copy.
    const QStringList lines = list.lines();
    for (const QString& line : lines) {
        if (line.size() < 2 || line.at(0) != u'm' || ++rows > 64) {
            continue;
        }
        const QString code = line.left(2);
        scale.SetTemperament(list.FindTemperamentRow(code), 440);
        for (const long double degree : scale.degrees()) {
            Require(std::isfinite(degree) && degree > 0,
                    "a temperament row gives a degree that is no frequency");
        }
        Require(scale.degree(12) == 2 * scale.degree(0), "a temperament's octave is not pure");
        try {
            const ChordFrequencies chord =
                RowFrequencies(QStringLiteral("c1e1g1b1d2fis2"), code, 1, scale);
            for (const long double f : chord.f) {
                Require(std::isfinite(f) && f >= 0, "a tempered chord tone is no frequency");
            }
        } catch (const MathError&) {
        }
    }
}

} // namespace zk::fuzz
