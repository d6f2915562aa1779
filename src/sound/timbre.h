// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <cstdint>

// The timbre of the synthesised chords: the six overtone percentages of the main window's top
// panel, the three timbre check boxes and the amplitudes of the seven partials derived from them.

namespace zk {

// How one voice sounds. The check boxes select it in this order: Sinus, then Rechteck (whose
// caption tells square from sawtooth), else the overtone spectrum.
enum class TimbreMode { Sinus, Rechteck, Saegezahn, Obertoene };

// Amplitudes of the fundamental (index 0) and the partials 2 to 7; together about 32000, so that
// one voice stays within 4000 after the division by the eight voices.
using OvertoneAmplitudes = std::array<std::int32_t, 7>;

// The six overtone edits' texts ("Eoberton1" … "Eoberton6").
using OvertoneTexts = std::array<QString, 6>;

// The organ spectrum: the edits' texts at start and after "Orgel".
inline const OvertoneTexts kOrgelTexts = {QStringLiteral("75"), QStringLiteral("50"),
                                          QStringLiteral("30"), QStringLiteral("15"),
                                          QStringLiteral("10"), QStringLiteral("5")};

// What a sample needs to know of the timbre.
struct SampleTimbre {
    TimbreMode mode = TimbreMode::Obertoene;
    OvertoneAmplitudes amplitudes{};
    bool operator==(const SampleTimbre&) const = default;
};

// The overtone percentages as read from the edits: a text that is not a whole number counts as 0,
// and so does a negative one (a spectrum cannot take away from the fundamental, and the total
// must stay positive).
std::array<int, 6> OvertonePercentages(const OvertoneTexts& texts);

// A1 = 3200000 div T, A(k+1) = Pk × 32000 div T with T = 100 + P1 + … + P6.
OvertoneAmplitudes ComputeOvertoneAmplitudes(const std::array<int, 6>& percentages);

// The timbre controls as a plain value that the main window binds its widgets to, with the
// behaviour of their click handlers. `amplitudes` keeps the values of the last Eoberton1Exit.
struct Timbre {
    OvertoneTexts overtoneTexts = kOrgelTexts; // Eoberton1 … Eoberton6
    bool sinus = false;                        // CBSinus
    bool rechteck = false;                     // CBRechteck
    bool orgel = false;                        // CBorgel
    QString rechteckCaption = QStringLiteral("Rechteck");
    bool overtoneEditsVisible = true;
    OvertoneAmplitudes amplitudes{}; // zero until first computed

    bool operator==(const Timbre&) const = default;

    TimbreMode Mode() const;
    SampleTimbre ForSamples() const { return {Mode(), amplitudes}; }

    // Leaving an overtone edit (and the start of every chord played): clears the Sinus and Orgel
    // marks and recomputes the amplitudes from the edits.
    void Eoberton1Exit();

    // A user's click on each box. CBRechteck cycles: off → "Rechteck" (square) → "Sägezahn"
    // (sawtooth) → off; while it is on, the overtone edits are hidden.
    void CBRechteckClick();
    void CBSinusClick();
    void CBorgelClick();

private:
    // Switching CBRechteck off from another box: always off with the edits shown, whatever its
    // caption says.
    void SwitchRechteckOff();
};

} // namespace zk
