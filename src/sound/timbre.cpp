// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/timbre.h"

namespace zk {

std::array<int, 6> OvertonePercentages(const OvertoneTexts& texts) {
    std::array<int, 6> percentages{};
    for (std::size_t k = 0; k < texts.size(); ++k) {
        bool ok = false;
        const int value = texts[k].trimmed().toInt(&ok, 10);
        percentages[k] = ok && value > 0 ? value : 0;
    }
    return percentages;
}

OvertoneAmplitudes ComputeOvertoneAmplitudes(const std::array<int, 6>& percentages) {
    // 64 bits: six percentages up to 2^31 each and their products with 32000 fit.
    std::int64_t total = 100;
    for (const int p : percentages) {
        total += p;
    }
    OvertoneAmplitudes amplitudes{};
    amplitudes[0] = static_cast<std::int32_t>(3200000 / total);
    for (std::size_t k = 0; k < percentages.size(); ++k) {
        amplitudes[k + 1] = static_cast<std::int32_t>(std::int64_t{percentages[k]} * 32000 / total);
    }
    return amplitudes;
}

TimbreMode Timbre::Mode() const {
    if (sinus) {
        return TimbreMode::Sinus;
    }
    if (rechteck) {
        return rechteckCaption.contains(u'S') ? TimbreMode::Saegezahn : TimbreMode::Rechteck;
    }
    return TimbreMode::Obertoene;
}

void Timbre::Eoberton1Exit() {
    sinus = false;
    orgel = false;
    amplitudes = ComputeOvertoneAmplitudes(OvertonePercentages(overtoneTexts));
}

void Timbre::SwitchRechteckOff() {
    rechteck = false;
    overtoneEditsVisible = true;
}

void Timbre::CBRechteckClick() {
    if (!rechteck) {
        rechteck = true;
        rechteckCaption = QStringLiteral("Rechteck");
        overtoneEditsVisible = false;
        sinus = false;
        orgel = false;
    } else if (!rechteckCaption.contains(u'S')) {
        // The click would switch it off: the square becomes a sawtooth instead.
        rechteckCaption = QStringLiteral("Sägezahn");
    } else {
        // Off again; the caption says "Sägezahn" until the next click sets it back.
        SwitchRechteckOff();
    }
}

void Timbre::CBSinusClick() {
    sinus = !sinus;
    if (sinus) {
        overtoneTexts.fill(QStringLiteral("0"));
        SwitchRechteckOff();
        orgel = false;
    }
}

void Timbre::CBorgelClick() {
    orgel = !orgel;
    if (orgel) {
        SwitchRechteckOff();
        sinus = false;
        overtoneTexts = kOrgelTexts;
    }
}

} // namespace zk
