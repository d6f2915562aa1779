// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/score_table.h"

#include "piece/piece_table.h"

namespace zk {

namespace {

constexpr int kStepB = 6;

// The letter as the notation spells it, and the alteration still to write after it: B flat has a
// letter of its own ("b"), B natural is "h".
std::pair<QChar, int> LetterAndRest(const SpelledPitch& pitch) {
    static const QString letters = QStringLiteral("cdefgah");
    if (pitch.step == kStepB && pitch.alter < 0) {
        return {u'b', pitch.alter + 1};
    }
    return {letters.at(pitch.step), pitch.alter};
}

QString Accidentals(int alter) {
    return QString(std::abs(alter), alter > 0 ? u'#' : u'*');
}

} // namespace

QString GermanPitchName(const SpelledPitch& pitch) {
    const auto [letter, rest] = LetterAndRest(pitch);
    return QString(letter) + Accidentals(rest);
}

QString ChordToneText(const SpelledPitch& pitch, bool digit) {
    const auto [letter, rest] = LetterAndRest(pitch);
    const bool upper = pitch.octave <= 2;
    const int register_ = upper ? 2 - pitch.octave : pitch.octave - 3;
    if (register_ > 9) {
        return {};
    }
    QString text(upper ? letter.toUpper() : letter);
    if (digit) {
        text += QChar(u'0' + register_);
    }
    return text + Accidentals(rest);
}

QString ChordText(const std::vector<SlicedTone>& lowestFirst) {
    QString chord;
    for (std::size_t i = 0; i < lowestFirst.size(); ++i) {
        const SpelledPitch& pitch = lowestFirst[i].pitch;
        const int octave = pitch.octave;
        // Without a digit a lower-case letter starts in the small octave (3), an upper-case one in
        // the great octave (2); a later tone is then doubled while it is not above the one before.
        const int start = octave >= 3 ? 3 : 2;
        bool omit = false;
        if (i == 0) {
            omit = octave == 3 || octave == 2;
        } else if (octave >= 2) {
            // Two semitones keep their order after any snapping; one might fall on one degree.
            // An octave is safe only as the same spelling: "h#" and "c1" are the same key, but
            // their equal-tempered frequencies differ in the last digits, so doubling one could
            // stop just below the other.
            const SpelledPitch& previous = lowestFirst[i - 1].pitch;
            const int gap = pitch.MidiKey() - previous.MidiKey();
            const bool sameSpelling = pitch.step == previous.step && pitch.alter == previous.alter;
            omit = gap >= 2 && (octave == start || gap < 12 || (gap == 12 && sameSpelling));
        }
        chord += ChordToneText(pitch, !omit);
    }
    return chord;
}

QString DurationText(const Rational& quarters) {
    return (quarters * 8).ToText();
}

void WriteScoreRows(const std::vector<ScoreRow>& rows, ScoreKeyColumn keys, PieceTable& table) {
    table.ClearRows(1);
    table.SetRowCount(static_cast<int>(rows.size()) + 2);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ScoreRow& row = rows[i];
        const int r = static_cast<int>(i) + 1;
        if (keys == ScoreKeyColumn::Equal) {
            table.SetCell(PieceTable::kKeyColumn, r, QStringLiteral("~"));
        } else if (row.key) {
            table.SetCell(PieceTable::kKeyColumn, r, GermanPitchName(*row.key));
        }
        table.SetCell(PieceTable::kDurationColumn, r, DurationText(row.length));
        table.SetCell(PieceTable::kChordColumn, r, ChordText(row.tones));
    }
}

} // namespace zk
