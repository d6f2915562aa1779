// SPDX-License-Identifier: GPL-3.0-or-later
#include "piece/comma_drift.h"

#include "engine/interval_analysis.h"
#include "engine/key_scale.h"
#include "engine/tone_names.h"
#include "piece/compute_pass.h"
#include "support/errors.h"
#include "support/text_helpers.h"

#include <algorithm>
#include <cmath>

namespace zk {

namespace {

// The lattice search reaches this far from the first key; a piece that modulates further has no
// lattice place there (its cents are still drawn).
constexpr int kMaxFifths = 60;
constexpr int kMaxThirds = 30;
// A ratio lies on a lattice place when its remainder after the fifths and thirds is a whole number
// of octaves to within this many octaves (about a millionth of a cent). Two places of the search
// range never come that close, and the rounding of a long chain of just steps stays far below it.
constexpr long double kOctaveTolerance = 1e-9L;

// The tone of the same name in the first key: the tempered pitch as written, snapped to the just
// scale of the first key without its commas and other modifiers.
long double NominalTone(const TonartScale& firstScale, long double tempered) {
    return firstScale.SnapToTonart(tempered, ModifierText{});
}

// Nothing when the written tone has no place in the first key's scale (a pitch at the edge of the
// representable range, which only an equal-tempered row leaves unsnapped).
std::optional<DriftTone> Measure(long double sounding, long double tempered, long double reference,
                                 long double kammertonFactor, const TonartScale& firstScale,
                                 bool just, const QString& name) {
    DriftTone tone;
    tone.frequency = sounding;
    tone.name = name;
    // The tone without the concert pitch, in the world of the key tonics.
    const long double plain = sounding / kammertonFactor;
    tone.cents = Cents(reference, plain);
    try {
        tone.drift = CentsWithinHalfOctave(Cents(NominalTone(firstScale, tempered), plain));
    } catch (const Error&) {
        return std::nullopt;
    }
    if (just) {
        tone.lattice = LatticePointOf(plain / reference);
    }
    return tone;
}

} // namespace

long double CentsWithinHalfOctave(long double cents) {
    cents = std::fmod(cents, 1200.0L);
    if (cents > 600) {
        cents -= 1200;
    } else if (cents <= -600) {
        cents += 1200;
    }
    return cents;
}

long double SyntonicCommaCents() {
    return 1200 * std::log2(81.0L / 80.0L);
}

long double PythagoreanCommaCents() {
    return 1200 * std::log2(531441.0L / 524288.0L);
}

std::optional<LatticePoint> LatticePointOf(long double ratio) {
    if (!(ratio > 0) || !std::isfinite(ratio)) {
        return std::nullopt;
    }
    // Every place of the search range by the fraction of an octave its fifths and thirds make,
    // sorted, so that a ratio is looked up by its own fraction of an octave.
    struct Place {
        long double fraction; // in [0, 1)
        LatticePoint point;
    };
    static const std::vector<Place> places = [] {
        std::vector<Place> all;
        const long double fifth = std::log2(1.5L);
        const long double third = std::log2(1.25L);
        for (int thirds = -kMaxThirds; thirds <= kMaxThirds; ++thirds) {
            for (int fifths = -kMaxFifths; fifths <= kMaxFifths; ++fifths) {
                const long double octaves = fifths * fifth + thirds * third;
                all.push_back({octaves - std::floor(octaves), {fifths, thirds}});
            }
        }
        std::sort(all.begin(), all.end(),
                  [](const Place& a, const Place& b) { return a.fraction < b.fraction; });
        return all;
    }();
    const long double octaves = std::log2(ratio);
    const long double fraction = octaves - std::floor(octaves);
    // Near 0 the place may sit just below 1, and the other way round.
    for (const long double wanted : {fraction, fraction + 1, fraction - 1}) {
        const auto found = std::lower_bound(
            places.begin(), places.end(), wanted - kOctaveTolerance,
            [](const Place& place, long double value) { return place.fraction < value; });
        if (found != places.end() && std::fabs(found->fraction - wanted) < kOctaveTolerance) {
            return found->point;
        }
    }
    return std::nullopt;
}

namespace {

// The drifts the picture draws: every row's tonic and first chord tone.
template <typename Visit> void ForEachDrawnDrift(const std::vector<DriftRow>& rows, Visit visit) {
    for (const DriftRow& row : rows) {
        if (row.tonic) {
            visit(row.tonic->drift);
        }
        if (!row.tones.empty()) {
            visit(row.tones.front().drift);
        }
    }
}

} // namespace

long double DriftData::LowestDrift() const {
    long double lowest = 0;
    ForEachDrawnDrift(rows, [&](long double drift) { lowest = std::min(lowest, drift); });
    return lowest;
}

long double DriftData::HighestDrift() const {
    long double highest = 0;
    ForEachDrawnDrift(rows, [&](long double drift) { highest = std::max(highest, drift); });
    return highest;
}

DriftData CommaDrift(const std::vector<ComputedRow>& rows) {
    DriftData data;
    for (const ComputedRow& row : rows) {
        if (row.firstKey > 0) {
            data.firstKey = row.firstKey;
            break;
        }
    }
    // The first key's text: the entry of the first row that knows K.
    for (const ComputedRow& row : rows) {
        if (row.keyEntered && row.firstKey > 0) {
            data.firstKeyText = row.keyText;
            break;
        }
    }
    // Without any just key the pass measures from a1 = 440 Hz, and so does the drift.
    const long double reference = data.firstKey > 0 ? data.firstKey : 440.0L;
    TonartScale firstScale;
    firstScale.SetJust(reference);

    for (const ComputedRow& row : rows) {
        if (!row.keyEntered && !row.computed) {
            continue;
        }
        DriftRow out;
        out.row = row.row;
        out.keyText = row.keyText;
        out.keyEntered = row.keyEntered;
        out.tempered = row.tempered;
        out.chord = row.chord;
        out.computed = row.computed;
        const bool just = !row.tempered && data.firstKey > 0;
        if (!row.tempered && row.tonic > 0) {
            int pos = 1;
            const ParsedTone written = ParseTone(row.keyText, pos);
            // The tonic sounds without the concert pitch: it is measured as it is.
            out.tonic =
                Measure(row.tonic, written.frequency, reference, 1, firstScale, just, row.keyText);
        }
        if (row.computed) {
            // The slots as the pass read them: the same tone names in the same order.
            int pos = 1;
            for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
                const int start = pos;
                const ParsedTone written = ParseTone(row.chord, pos);
                const long double sounding = row.frequencies[i];
                if (sounding > 0 && written.frequency > 0) {
                    const QString name = Trim(row.chord.mid(start - 1, pos - start));
                    if (auto tone = Measure(sounding, written.frequency, reference,
                                            row.kammertonFactor, firstScale, just, name)) {
                        out.tones.push_back(std::move(*tone));
                    }
                }
            }
        }
        data.rows.push_back(std::move(out));
    }
    return data;
}

void DriftRecorder::ClearLastPiece() {
    // A new pass begins: what an earlier one reported is no longer the piece.
    m_rows.clear();
    m_host.ClearLastPiece();
}

void DriftRecorder::RowComputed(const ComputedRow& row) {
    m_rows.push_back(row);
    m_host.RowComputed(row);
}

DriftData ComputeCommaDrift(PieceTable& table, TonartScale& scale, PassSettings& settings,
                            PassHost& host) {
    settings.onlyCompute = true;
    DriftRecorder recorder(host);
    ComputePass(0, table, scale, settings, recorder);
    return recorder.Drift();
}

} // namespace zk
