// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/score_slicer.h"

#include <algorithm>
#include <tuple>

namespace zk {

namespace {

bool SameTonic(const SpelledPitch& a, const SpelledPitch& b) {
    return a.step == b.step && a.alter == b.alter;
}

// Leaves at most `limit` tones, keeping the lowest and the highest. An inner tone goes: a doubled
// unison first, else a doubled pitch class, else any; among those the one nearest to its
// neighbour, so that what remains still spans the registers (the highest on a tie).
void Thin(ScoreRow& row, int limit) {
    auto& tones = row.tones;
    const auto key = [&](std::size_t i) { return tones[i].pitch.MidiKey(); };
    while (static_cast<int>(tones.size()) > std::max(limit, 2)) {
        const auto nearest = [&](auto&& shares) -> std::optional<std::size_t> {
            std::optional<std::size_t> best;
            int bestGap = 0;
            for (std::size_t i = 1; i + 1 < tones.size(); ++i) {
                bool doubled = false;
                for (std::size_t j = 0; j < tones.size() && !doubled; ++j) {
                    doubled = j != i && shares(key(i), key(j));
                }
                const int gap = std::min(key(i) - key(i - 1), key(i + 1) - key(i));
                if (doubled && (!best || gap <= bestGap)) {
                    best = i;
                    bestGap = gap;
                }
            }
            return best;
        };
        auto victim = nearest([](int a, int b) { return a == b; });
        if (!victim) {
            victim = nearest([](int a, int b) { return (a - b) % 12 == 0; });
        }
        if (!victim) {
            victim = nearest([](int, int) { return true; });
        }
        const std::size_t index = *victim;
        row.dropped.push_back(tones[index]);
        tones.erase(tones.begin() + static_cast<std::ptrdiff_t>(index));
    }
    std::stable_sort(row.dropped.begin(), row.dropped.end(),
                     [](const SlicedTone& a, const SlicedTone& b) {
                         return a.pitch.MidiKey() < b.pitch.MidiKey();
                     });
}

} // namespace

std::vector<ScoreRow> SliceScore(const Score& score, const SliceOptions& options) {
    const auto& notes = score.notes;
    std::vector<Rational> boundaries;
    boundaries.reserve(2 * notes.size() + 2);
    boundaries.push_back(0);
    boundaries.push_back(score.end);
    for (const ScoreNote& note : notes) {
        boundaries.push_back(note.start);
        boundaries.push_back(note.end);
    }
    std::sort(boundaries.begin(), boundaries.end());
    boundaries.erase(std::unique(boundaries.begin(), boundaries.end()), boundaries.end());

    std::vector<std::size_t> byStart(notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
        byStart[i] = i;
    }
    std::stable_sort(byStart.begin(), byStart.end(),
                     [&](std::size_t a, std::size_t b) { return notes[a].start < notes[b].start; });

    std::vector<ScoreRow> rows;
    std::vector<std::size_t> sounding; // indices into notes, in the order they began
    std::size_t next = 0;
    for (std::size_t i = 0; i + 1 < boundaries.size(); ++i) {
        const Rational& from = boundaries[i];
        const Rational& to = boundaries[i + 1];
        std::erase_if(sounding, [&](std::size_t n) { return notes[n].end <= from; });
        while (next < byStart.size() && notes[byStart[next]].start <= from) {
            if (notes[byStart[next]].end > from) {
                sounding.push_back(byStart[next]);
            }
            ++next;
        }
        if (sounding.empty() && !rows.empty() && rows.back().tones.empty()) {
            rows.back().length += to - from; // neighbouring rests are one rest
            continue;
        }
        ScoreRow row;
        row.start = from;
        row.length = to - from;
        row.tones.reserve(sounding.size());
        for (const std::size_t n : sounding) {
            const ScoreNote& note = notes[n];
            row.tones.push_back(
                {note.pitch, note.part, note.voice, note.place.line, note.place.column});
        }
        // Equal keys in the order of the parts and of the file, so that a unison keeps its voices
        // in the same order in every row.
        std::sort(row.tones.begin(), row.tones.end(), [](const SlicedTone& a, const SlicedTone& b) {
            return std::make_tuple(a.pitch.MidiKey(), a.part, a.line, a.column) <
                   std::make_tuple(b.pitch.MidiKey(), b.part, b.line, b.column);
        });
        Thin(row, options.maxTones);
        rows.push_back(std::move(row));
    }

    // Key signatures: the first row says the key the music begins in (the first signature, when
    // it comes no later than the first note, else C); a later signature with a new tonic goes into
    // the first row that starts with it or after it.
    if (rows.empty()) {
        return rows;
    }
    SpelledPitch inForce{0, 0, 4};
    std::size_t nextKey = 0;
    const Rational firstNote = notes.empty() ? Rational(0) : notes[byStart.front()].start;
    if (!score.keys.empty() && score.keys.front().time <= firstNote) {
        inForce = score.keys.front().tonic;
        nextKey = 1;
    }
    rows.front().key = inForce;
    for (; nextKey < score.keys.size(); ++nextKey) {
        const ScoreKey& key = score.keys[nextKey];
        if (SameTonic(key.tonic, inForce)) {
            continue;
        }
        inForce = key.tonic;
        const auto row = std::lower_bound(
            rows.begin(), rows.end(), key.time,
            [](const ScoreRow& r, const Rational& time) { return r.start < time; });
        if (row != rows.end()) {
            row->key = inForce;
        }
    }
    return rows;
}

} // namespace zk
