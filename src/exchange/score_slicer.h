// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/score_notes.h"

#include <optional>
#include <vector>

// A score's notes cut into the rows of a piece table: one row for every stretch of time between
// two neighbouring note boundaries (any note's start or end), holding every tone that sounds
// through it. Knows nothing of XML: it takes the notes a reader made.

namespace zk {

// One tone of a row, and the note it belongs to.
struct SlicedTone {
    SpelledPitch pitch;
    int part = 0;
    QString voice;
    qint64 line = 0; // where the note begins in its file, for a stable order of unisons
    qint64 column = 0;
    bool operator==(const SlicedTone&) const = default;
};

struct ScoreRow {
    Rational start;                  // quarters from the start of the score
    Rational length;                 // quarters, > 0
    std::vector<SlicedTone> tones;   // lowest first, at most the options' limit; empty: a rest
    std::vector<SlicedTone> dropped; // what the limit left out, lowest first
    std::optional<SpelledPitch> key; // the tonic of a key signature taking effect in this row
    bool operator==(const ScoreRow&) const = default;
};

struct SliceOptions {
    // Zirkelon reads eight tone slots per chord.
    int maxTones = 8;
};

// The rows of the whole score, from 0 to its end, with neighbouring rests merged. The first row
// always carries a key: the score's first signature when it comes no later than the first note,
// else C. Every later key signature whose tonic differs from the one in force is written into the
// first row that starts at or after it.
std::vector<ScoreRow> SliceScore(const Score& score, const SliceOptions& options = {});

} // namespace zk
