// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/piece_notes.h"

#include "sound/last_piece.h"

#include <algorithm>
#include <cmath>

namespace zk::test {

namespace {

struct ExpectedNote {
    long long start = 0;
    long long end = 0;
    long double frequency = 0;
};

bool InMidiRange(long double f) {
    if (!std::isfinite(f) || f <= 0) {
        return false;
    }
    const long double semitones = 69 + 12 * std::log2(f / 440);
    return semitones >= 0 && semitones < 127.5L;
}

// The piece's tones as notes; `unwritable` counts the others.
std::vector<ExpectedNote> ExpectedNotes(const LastPiece& piece, int& unwritable) {
    std::vector<ExpectedNote> notes;
    long long tick = 0;
    unwritable = 0;
    for (const ChordRecord& record : piece.Records()) {
        if (record.dauer <= 0) {
            continue;
        }
        for (int i = 0; i < ChordFrequencies::kSlots && record.frequencies[i] != 0; ++i) {
            if (InMidiRange(record.frequencies[i])) {
                notes.push_back({tick, tick + record.dauer, record.frequencies[i]});
            } else {
                ++unwritable;
            }
        }
        tick += record.dauer;
    }
    return notes;
}

} // namespace

int UnwritableTones(const LastPiece& piece) {
    int unwritable = 0;
    ExpectedNotes(piece, unwritable);
    return unwritable;
}

NoteCheck CheckNotes(const DecodedPiece& decoded, const LastPiece& piece,
                     long double toleranceCents) {
    NoteCheck check;
    check.problems = decoded.problems;
    int unwritable = 0;
    std::vector<ExpectedNote> expected = ExpectedNotes(piece, unwritable);
    std::vector<DecodedNote> found = decoded.notes;
    const auto byStart = [](const auto& a, const auto& b) {
        return a.start != b.start ? a.start < b.start : a.frequency < b.frequency;
    };
    std::sort(expected.begin(), expected.end(), byStart);
    std::sort(found.begin(), found.end(), byStart);
    if (expected.size() != found.size()) {
        check.problems
            << QStringLiteral("%1 notes instead of %2").arg(found.size()).arg(expected.size());
    }
    const std::size_t count = std::min(expected.size(), found.size());
    for (std::size_t i = 0; i < count && check.problems.size() < 10; ++i) {
        const ExpectedNote& e = expected[i];
        const DecodedNote& f = found[i];
        const long double cents = std::fabs(Cents(f.frequency, e.frequency));
        check.maxCents = std::max(check.maxCents, cents);
        if (f.start != e.start || f.end != e.end || cents > toleranceCents || f.velocity != 90) {
            check.problems << QStringLiteral("note %1: ticks %2..%3 at %4 Hz (velocity %5), "
                                             "expected ticks %6..%7 at %8 Hz")
                                  .arg(i)
                                  .arg(f.start)
                                  .arg(f.end)
                                  .arg(static_cast<double>(f.frequency), 0, 'f', 6)
                                  .arg(f.velocity)
                                  .arg(e.start)
                                  .arg(e.end)
                                  .arg(static_cast<double>(e.frequency), 0, 'f', 6);
        }
    }
    check.notes = static_cast<int>(count);
    return check;
}

} // namespace zk::test
