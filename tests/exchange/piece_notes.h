// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/smf_reader.h"

#include <QStringList>

// The notes a MIDI file of a last piece must hold, compared with those a file really holds.

namespace zk {
class LastPiece;
}

namespace zk::test {

struct NoteCheck {
    QStringList problems; // the first few differences
    long double maxCents = 0;
    int notes = 0;
};

// Every tone of the piece that MIDI can hold (a positive frequency from key 0 to half a semitone
// above key 127, up to the chord's first empty slot), each as one note from its chord's start to
// its end with velocity 90, within `toleranceCents` of its frequency; no other note. A chord of
// Dauer 0 takes no time and has no notes; one tick is one hundredth of a second.
NoteCheck CheckNotes(const DecodedPiece& decoded, const LastPiece& piece,
                     long double toleranceCents);

// The tones of the piece that MIDI cannot hold.
int UnwritableTones(const LastPiece& piece);

} // namespace zk::test
