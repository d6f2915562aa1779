// SPDX-License-Identifier: GPL-3.0-or-later
#include "piece/compute_pass.h"

#include "engine/chord_notation.h"
#include "engine/interval_analysis.h"
#include "engine/key_check.h"
#include "engine/key_scale.h"
#include "piece/pass_host.h"
#include "piece/piece_table.h"
#include "support/checked_math.h"
#include "support/errors.h"
#include "support/evaluator.h"
#include "support/number_text.h"
#include "support/text_helpers.h"

#include <cmath>
#include <limits>

namespace zk {

namespace {

constexpr int kNotationRowLimit = 50; // tables with fewer rows are drawn as notes
constexpr int kScrollStep = 10;       // while playing, every tenth row scrolls the table
const QString kPlayingMark = QStringLiteral(" ->");

// The state of one pass; "dauernd" repetitions carry it over.
struct RowState {
    QString keyText;          // the key entry in force
    bool tilde = false;       // it starts with "~": equal temperament, nothing snapped
    bool m = false;           // it starts with "m": a temperament of the list
    long double tonic = 0;    // u: tonic of the last key entry
    long double firstKey = 0; // K: the first key frequency of the pass
    long double previousDuration = 8;
};

// Columns 3 and 4 of one row, written after every slot: a row whose processing fails at a slot
// keeps the texts of the tones before it.
class RowTexts {
public:
    RowTexts(PieceTable& table, int row, const RowState& state, const PassSettings& settings)
        : m_table(table), m_row(row), m_state(state), m_settings(settings),
          m_mode(table.DisplayMode()), m_tempered(state.tilde || state.m),
          m_fromFirst(MeasuresFromFirstTone(m_mode)) {}

    // Slot i has been read; f holds the slots 0 .. i.
    void AfterSlot(int i, const ChordFrequencies& f) {
        if (f[i] > 0) {
            m_t3 += FrequencyText(m_mode, m_settings.decimals, m_state.firstKey, f[i]) + u' ';
            if (i > 0) {
                if (m_fromFirst) {
                    if (f[0] > 0) {
                        m_t4 += Interval(f[0], f[i]) + u' ';
                    }
                } else if (f[i - 1] > 0) {
                    m_t4 += Interval(f[i - 1], f[i]) + u' ';
                }
            }
        } else if (i == 1) {
            // A single tone: its interval from the key's tonic, without a trailing blank.
            m_t4 += Interval(m_state.tonic, f[0]);
        }
        Write();
    }

private:
    QString Interval(long double lower, long double upper) const {
        return IntervalText(m_mode, m_settings.decimals, m_tempered, lower, upper);
    }

    // A row without any tone keeps what columns 3 and 4 held (comments, earlier results); a
    // text is written again only when a slot has added to it.
    void Write() {
        if (!m_t3.isEmpty() && m_t3.size() != m_t3Written) {
            // Column 3's header follows the mode ("Cent bezogen auf 1.Tonart" in mode "In Cent").
            m_table.SetCell(PieceTable::kFrequencyColumn, 0,
                            FrequencyHeader(m_mode, m_table.Cell(PieceTable::kFrequencyColumn, 0)));
            m_table.SetCell(PieceTable::kFrequencyColumn, m_row, m_t3);
            m_t3Written = m_t3.size();
        }
        if (!m_t4.isEmpty() && m_t4.size() != m_t4Written) {
            m_table.SetCell(PieceTable::kIntervalColumn, m_row, m_t4);
            m_t4Written = m_t4.size();
        }
    }

    PieceTable& m_table;
    int m_row;
    const RowState& m_state;
    const PassSettings& m_settings;
    const QString m_mode;
    const bool m_tempered;
    const bool m_fromFirst;
    QString m_t3;
    QString m_t4;
    qsizetype m_t3Written = 0;
    qsizetype m_t4Written = 0;
};

void EnterKey(const QString& cell, RowState& state, TonartScale& scale) {
    state.keyText = Trim(cell);
    state.tilde = state.keyText.startsWith(u'~');
    state.m = state.keyText.startsWith(u'm');
    if (state.tilde) {
        return; // equal temperament: tonic, first key and scale stay
    }
    const auto tonic = scale.EnterKey(state.keyText);
    state.tonic = tonic.value_or(0);
    if (state.tonic > 0 && state.firstKey == 0) {
        state.firstKey = state.tonic;
    }
}

} // namespace

long double ReadKammerton(PassHost& host) {
    long double pitch = 0;
    try {
        pitch = TextToNumber(host.KammertonText());
    } catch (const Error&) {
        pitch = 0;
    }
    if (pitch < 40 || pitch > 10000) {
        host.SetKammertonText(QStringLiteral("440"));
        pitch = 440;
    }
    return pitch;
}

long long ThirtySecondLength(const QString& tempoText) {
    const long double tempo = TextToNumber(tempoText);
    if (tempo == 0) {
        throw MathError(
            QStringLiteral("Division durch Null: das Tempo \"%1\" ist 0.").arg(tempoText));
    }
    return RoundHalfEven(1875 / tempo, QStringLiteral("Ungültiges Tempo \"%1\".").arg(tempoText));
}

DecimalsChange NextDecimals(int decimals) {
    switch (decimals) {
    case 1:
        return {2,
                QStringLiteral("Die Frequenzen werden nun mit 2 Dezimalen angegeben,\rbeim den "
                               "nächsten Klicks auf 3 und 4 und dann wieder auf 1 Dezimale."),
                true};
    case 2:
        return {3,
                QStringLiteral("Die Frequenzen werden nun mit 3 Dezimalen angegeben,\rbeim den "
                               "nächsten Klicks auf 4 und dann wieder auf 1 Dezimale."),
                true};
    case 3:
        return {4,
                QStringLiteral("Die Frequenzen werden nun mit 4 Dezimalen angegeben,\rbeim "
                               "nächsten Klick auf 1 Dezimale."),
                true};
    default:
        return {1, QStringLiteral("Die Frequenzen werden nun wieder mit 1 Dezimalen angegeben."),
                false};
    }
}

void ComputePass(int target, PieceTable& table, TonartScale& scale, PassSettings& settings,
                 PassHost& host) {
    host.ClearLastPiece();
    if (table.RowCount() < kNotationRowLimit) {
        host.NotateTable(table);
    } else {
        host.HideNotation();
    }
    const long double kammertonFactor = ReadKammerton(host) / 440;
    scale.SetTonart(QString(), 440);
    const long long unit = ThirtySecondLength(host.TempoText());

    RowState state;
    host.ScrollToRow(1);
    const int keyCheckRow = target >= kKeyCheckTarget ? target - kKeyCheckTarget : -1;
    bool playedThisRound = false;
    for (int r = 1;; ++r) {
        if (r >= table.RowCount()) {
            host.ScrollToRow(1);
            // "dauernd" starts again with everything carried over; a round that played nothing
            // would spin without ever letting "Stop" through, so it ends the pass.
            if (host.Dauernd() && !settings.onlyCompute && playedThisRound) {
                r = 0;
                playedThisRound = false;
                continue;
            }
            return;
        }
        const QString chord = Trim(table.Cell(PieceTable::kChordColumn, r));
        if (r == keyCheckRow) {
            host.ShowKeyCheck(TonartCheck(chord, scale));
            return;
        }
        // Everything up to the sound: an error here ends only this row's processing, which
        // keeps what it wrote so far.
        long double duration = 0;
        ChordFrequencies f;
        const bool keyEntered = !IsBlank(table.Cell(PieceTable::kKeyColumn, r));
        const auto report = [&](bool computed) {
            if (keyEntered || computed) {
                host.RowComputed({r, state.keyText, keyEntered, state.tilde || state.m, state.tonic,
                                  state.firstKey, kammertonFactor, chord, computed,
                                  computed ? f : ChordFrequencies{}});
            }
        };
        try {
            if (keyEntered) {
                EnterKey(table.Cell(PieceTable::kKeyColumn, r), state, scale);
            }
            if (IsBlank(table.Cell(PieceTable::kDurationColumn, r)) && chord.isEmpty()) {
                report(false);
                continue;
            }
            duration = Evaluate(table.Cell(PieceTable::kDurationColumn, r));
            if (duration == 0) {
                duration = state.previousDuration;
            }
            ChordReader reader(chord, state.keyText, kammertonFactor, scale);
            RowTexts texts(table, r, state, settings);
            for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
                reader.NextSlot();
                texts.AfterSlot(i, reader.Frequencies());
            }
            f = reader.Frequencies();
        } catch (const Error&) {
            report(false);
            continue;
        }
        report(true);
        if (target > 0) {
            settings.onlyCompute = true;
        }
        if (!settings.onlyCompute || r == target) {
            // The length is needed only for the sound; one that does not fit ends the row.
            long long dauer = 0;
            try {
                dauer = RoundHalfEven(static_cast<long double>(unit) * duration, QString());
            } catch (const Error&) {
                continue;
            }
            if (dauer < 0 || dauer > std::numeric_limits<int>::max()) {
                continue;
            }
            // The sound's own errors (a device, a file) are not the row's: they end the pass and
            // reach the user.
            const QString chordCell = table.Cell(PieceTable::kChordColumn, r);
            table.SetCell(PieceTable::kChordColumn, r, chordCell + kPlayingMark);
            if (r == target || r % kScrollStep == 0) {
                host.ScrollToRow(r - kScrollStep);
            }
            host.ProcessPendingEvents();
            // A "Stop" that came in meanwhile ends the playing before this row sounds.
            const bool stopped = settings.onlyCompute && r != target;
            if (!stopped) {
                try {
                    host.PlayChord(static_cast<int>(dauer), f);
                } catch (...) {
                    table.SetCell(PieceTable::kChordColumn, r, chordCell);
                    throw;
                }
            }
            table.SetCell(PieceTable::kChordColumn, r, chordCell);
            if (!stopped) {
                playedThisRound = true;
            }
            if (r == target) {
                return;
            }
        }
        state.previousDuration = duration;
    }
}

} // namespace zk
