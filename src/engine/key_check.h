// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/key_scale.h"

#include <QString>
#include <QStringList>

#include <array>

// The key check (`TonartCheck`): an impure chord shows that a fine modulation has happened. The
// chord is tried in 25 keys, each scored by how simple the ratios of its neighbouring tones become
// there, so that the user can pick the purest neighbour of the previous key.

namespace zk {

// The 25 trial keys by number of accidentals: C, one flat, one sharp, two flats, ... twelve.
const QStringList& TonartList();

// Score of a ratio that is no fraction of 32-bit whole numbers.
inline constexpr long long kNoFractionScore = 987654321;

// Number of prime factors 2, 3 and 5 (with multiplicity) of numerator and denominator of a / b,
// e.g. 3 for 5/4, 6 for 16/15, 8 for 32/27; other primes do not count. kNoFractionScore when the
// ratio is no fraction of 32-bit whole numbers or either frequency is not positive.
long long RatioComplexity(long double a, long double b);

// The score of the chord in each trial key, in TonartList order: the just scale on the key's
// equal-tempered tonic, the eight slots snapped to it without octave raising or concert pitch, and
// the complexities of neighbouring tone pairs summed. A tone after an empty slot has no neighbour.
// Leaves `scale` at the last key tried.
std::array<long long, 25> KeyScores(const QString& chord, TonartScale& scale);

// The message of the key check: five lines of advice, then one line per trial key with its score
// (digits grouped in threes, padded to 12 characters) and its name. Lines end with carriage
// returns. Leaves `scale` at the last key tried.
QString TonartCheck(const QString& chord, TonartScale& scale);

// The hint of the menu item "Tonart überprüfen".
QString TonartCheckHint();

} // namespace zk
