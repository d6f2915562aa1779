// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/score_slicer.h"

#include <QString>
#include <QStringList>

#include <cmath>
#include <vector>

// The rows a score must give, in the neutral text of the test data (".rows" files): one line a row,
// "D KEY TONE…" with D in 32nd notes, KEY the German tonic or "-", the tones as scientific pitch
// names ("C4", "Bb3", "F##2") or the single word "rest". Tests compare the slicer's rows in this
// form, so that the expectations do not depend on how the chord cells are written.

namespace zk::test {

// The frequency of a MIDI key in equal temperament, a1 (key 69) = 440 Hz.
inline long double EqualTemperedFrequency(int midiKey) {
    return 440.0L * std::pow(2.0L, (midiKey - 69) / 12.0L);
}

// The letters' base frequencies are stored with ten significant digits (c = 130.81278265 Hz), so
// a tone "exactly" at its key lies within a few parts in 10^10 of it, a millionth of a cent.
inline constexpr long double kLetterPrecision = 1e-9L;

// The MIDI key of a scientific pitch name; -1000 for a text that is none.
int MidiKeyOfName(const QString& name);

// One row as a line, its tones sorted by key and then by name.
QString NeutralRow(const ScoreRow& row);
QStringList NeutralRows(const std::vector<ScoreRow>& rows);

// The row lines of a ".rows" file (comments and blank lines left out), their tones sorted the same
// way; empty when the file cannot be read.
QStringList ReadRowsFile(const QString& path);

// The lines where two row lists differ, "row 3: expected … / got …", at most `limit` of them.
QString RowDifferences(const QStringList& expected, const QStringList& actual, int limit = 8);

} // namespace zk::test
