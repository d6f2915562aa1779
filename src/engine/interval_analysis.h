// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// The texts beside a chord: each tone's frequency (or its cents above the first key) for column 3,
// and for column 4 each interval as a ratio, a name, cents, step counts or octave-fifth-third
// coordinates, as the display mode (`DisplayMode`, the header of column 4) chooses.

namespace zk {

// The display modes, compared as exact texts (their spelling is the program's own).
inline const QString kModeNeighbourRatios = QStringLiteral("benachbarte Frequenzverhälnisse");
inline const QString kModeRatios = QStringLiteral("Frequenzverhälnisse");
inline const QString kModeNeighbourIntervals = QStringLiteral("benachbarte Intervalle");
inline const QString kModeIntervals = QStringLiteral("Intervalle");
inline const QString kModeCents = QStringLiteral("In Cent");
inline const QString kModeOqt = QStringLiteral("[Oktav Quint Terz]");
inline const QString kModeSteps = QStringLiteral("(G G- H)");
inline const QString kModeAll = QStringLiteral("Frequenzv. Cent Bez. GG-H OQT");
// The header of column 4 at start-up; like every unknown mode it shows fractions.
inline const QString kModeStart =
    QStringLiteral("Frequenzverhältnisse (bei gelichschwebend/mitteltönig: Cent)");

// Headers of column 3.
inline const QString kFrequencyHeader = QStringLiteral("Frequenzen");
inline const QString kCentHeader = QStringLiteral("Cent bezogen auf 1.Tonart");

// True when the intervals of a row are measured from its first tone ("Intervalle",
// "Frequenzverhälnisse"); every other mode measures from the previous tone.
bool MeasuresFromFirstTone(const QString& mode);

// The interval from b to c in cents, 1200 × log2(c / b), unreduced. Both must be positive.
long double Cents(long double b, long double c);

// Text of column 3 for a tone of f Hz: the frequency with `decimals` decimals; in mode "In Cent"
// its cents above the first key frequency `firstKey` (440 Hz while that is 0), reduced into
// [0, 1200).
QString FrequencyText(const QString& mode, int decimals, long double firstKey, long double f);

// The header column 3 gets with a mode: "Cent bezogen auf 1.Tonart" in mode "In Cent", otherwise
// "Frequenzen", except that a header containing "siehe" is kept.
QString FrequencyHeader(const QString& mode, const QString& currentHeader);

// Text of column 4 for the interval from b to c Hz. Under a tempered key (or in mode "In Cent")
// the cents reduced into [0, 1200], an exact octave staying 1200; otherwise by mode a reduced
// fraction ("9/8"), a name, step counts, coordinates or all of them. Empty when b or c is not
// positive or the ratio is no fraction of 32-bit whole numbers.
QString IntervalText(const QString& mode, int decimals, bool tempered, long double b,
                     long double c);

// Large whole tones 9/8, small whole tones 10/9 and half tones 16/15 of a 5-limit ratio, octaves
// removed (3 G + 2 G- + 2 H make an octave).
struct StepCounts {
    int large = 0; // G
    int small = 0; // G-
    int half = 0;  // H
    bool operator==(const StepCounts&) const = default;
};

// The step counts of num/den (both positive), or nothing when a prime above 5 divides either.
std::optional<StepCounts> StepCountsOf(long long num, long long den);

// num/den = 2^octaves × (3/2)^fifths × (5/4)^thirds ("Tripellogarithmus").
struct OqtCoordinates {
    long long octaves = 0;
    long long fifths = 0;
    long long thirds = 0;
    bool operator==(const OqtCoordinates&) const = default;
};
OqtCoordinates OqtCoordinatesOf(long long num, long long den, const StepCounts& steps);

enum class IntervalForm {
    Name,  // "gT", "Q", "Ok*Q"
    Steps, // "(211)"
    Oqt,   // "[ 0 1 0]"
};

// The interval num/den in the chosen form. A ratio with a prime above 5 gives " num/den " in every
// form; a 5-limit ratio without a name keeps that fraction text. Empty when num or den is 0.
QString IntervalName(IntervalForm form, long long num, long long den);

} // namespace zk
