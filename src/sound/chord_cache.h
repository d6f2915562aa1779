// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/chord_notation.h"
#include "sound/timbre.h"

#include <QString>

// The chord cache: one WAV file per chord under the folder "wav" of the program folder, named so
// that two chords share a file only when they sound the same.

namespace zk {

// The file name without ".wav": the tones that sound (up to the first zero), each with as many
// decimals as it takes to tell it from every other frequency, joined by "+"; "," becomes "_".
// 264, 330, 396 Hz give "264+330+396"; 412.5 Hz gives "412_5" under a comma locale.
QString ChordCacheName(const ChordFrequencies& frequencies);

// The folder below the program folder. Overtone and sine modes: "wav/" + Dauer + "o" P1 … "o" P6
// with the percentages as they sound ("wav/92o75o50o30o15o10o5"); square and sawtooth: "wav/"
// + "R" or "S" + Dauer ("wav/R92").
QString ChordCacheFolder(int dauer, const Timbre& timbre);

// CacheDir() + folder + "/" + name + ".wav".
QString ChordCachePath(int dauer, const ChordFrequencies& frequencies, const Timbre& timbre);

} // namespace zk
