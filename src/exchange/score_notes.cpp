// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/score_notes.h"

#include "support/checked_math.h"

#include <array>
#include <cstdlib>

namespace zk {

namespace {

constexpr std::array<int, 7> kStepSemitones = {0, 2, 4, 5, 7, 9, 11}; // C D E F G A B

} // namespace

int SpelledPitch::MidiKey() const {
    return 12 * (octave + 1) + kStepSemitones[static_cast<std::size_t>(step)] + alter;
}

SpelledPitch SpelledPitch::Transposed(int steps, int semitones) const {
    const int letters = octave * 7 + step + steps;
    SpelledPitch result;
    result.step = FloorMod(letters, 7);
    result.octave = FloorDiv(letters, 7);
    const int natural =
        12 * (result.octave + 1) + kStepSemitones[static_cast<std::size_t>(result.step)];
    result.alter = MidiKey() + semitones - natural;
    return result;
}

QString SpelledPitch::ScientificName() const {
    QString name(QChar(u"CDEFGAB"[step]));
    name += QString(std::abs(alter), alter > 0 ? u'#' : u'b');
    return name + QString::number(octave);
}

} // namespace zk
