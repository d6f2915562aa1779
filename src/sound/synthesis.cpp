// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/synthesis.h"

#include "support/errors.h"
#include "support/number_text.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace zk {

namespace {

constexpr double kHalfRate = kFrameRate / 2.0; // 22050
constexpr double kMaxFrequency = 1e12;

// Rounds to the nearest whole number, halves to the even one, like std::nearbyint in the default
// rounding mode, but as two additions that the compiler can vectorise. Exact for |x| < 2^51.
inline double RoundEven(double x) {
    constexpr double kMagic = 6755399441055744.0; // 1.5 × 2^52
    return (x + kMagic) - kMagic;
}

// The tones that sound: up to the first zero, consecutive equal tones merged with a weight.
struct Voice {
    double frequency;
    int weight;
};

std::vector<Voice> SoundingVoices(const ChordFrequencies& frequencies) {
    std::vector<Voice> voices;
    for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
        const auto f = static_cast<double>(frequencies[i]);
        if (f == 0) {
            break;
        }
        if (!voices.empty() && voices.back().frequency == f) {
            ++voices.back().weight;
        } else {
            voices.push_back({f, 1});
        }
    }
    return voices;
}

double Phase(double x) {
    return std::numbers::pi * x / kHalfRate;
}

int SquareSample(double x) {
    const double y = std::nearbyint(x / kHalfRate);
    return std::fmod(y, 2.0) != 0 ? 4000 : -4000;
}

int SawtoothSample(double x) {
    const double y = x / kHalfRate;
    // floor instead of truncation: the same for positive frequencies, and a negative frequency
    // gives the rising mirror image within the same ±4000 instead of leaving the band.
    const double s = std::floor(y / 2) * 2 + 1 - y;
    return static_cast<int>(std::nearbyint(s * 32000 / 8));
}

// Adds `weight` times the voice's values at frames first .. first + count − 1 to `sum`.
constexpr std::int64_t kBlock = 256;

void AddSineVoice(double frequency, int weight, const SampleTimbre& timbre, std::int64_t first,
                  std::int64_t count, std::int32_t* sum) {
    // Partials in use and their amplitudes divided by the eight voices.
    std::array<double, 7> scale{};
    int partials = 1;
    if (timbre.mode == TimbreMode::Sinus) {
        scale[0] = 32000.0 / 8;
    } else {
        for (int k = 0; k < 7; ++k) {
            scale[static_cast<std::size_t>(k)] =
                timbre.amplitudes[static_cast<std::size_t>(k)] / 8.0;
            if (k == 0 || timbre.amplitudes[static_cast<std::size_t>(k)] > 0) {
                partials = k + 1;
            }
        }
    }
    // sin and cos of the phase steps j·Δ within a block; the block's start phase is computed
    // exactly, so rounding errors cannot accumulate over a long chord.
    std::array<double, kBlock> stepSin{};
    std::array<double, kBlock> stepCos{};
    for (std::int64_t j = 0; j < kBlock; ++j) {
        const double phase = Phase(static_cast<double>(j) * frequency);
        stepSin[static_cast<std::size_t>(j)] = std::sin(phase);
        stepCos[static_cast<std::size_t>(j)] = std::cos(phase);
    }
    alignas(64) std::array<double, kBlock> s1{};
    alignas(64) std::array<double, kBlock> twoCos{};
    alignas(64) std::array<double, kBlock> previous{};
    alignas(64) std::array<double, kBlock> current{};
    alignas(64) std::array<double, kBlock> value{};
    for (std::int64_t start = 0; start < count; start += kBlock) {
        const std::int64_t length = std::min(kBlock, count - start);
        const double phase0 = Phase(static_cast<double>(first + start) * frequency);
        const double sin0 = std::sin(phase0);
        const double cos0 = std::cos(phase0);
        const double a1 = scale[0];
        for (std::int64_t j = 0; j < length; ++j) {
            const double s = sin0 * stepCos[j] + cos0 * stepSin[j];
            const double c = cos0 * stepCos[j] - sin0 * stepSin[j];
            s1[j] = s;
            twoCos[j] = 2 * c;
            previous[j] = 0;
            current[j] = s;
            value[j] = RoundEven(s * a1);
        }
        // sin(kφ) by the recurrence sin((k+1)φ) = 2 cos φ · sin(kφ) − sin((k−1)φ).
        for (int k = 1; k < partials; ++k) {
            const double ak = scale[static_cast<std::size_t>(k)];
            for (std::int64_t j = 0; j < length; ++j) {
                const double next = twoCos[j] * current[j] - previous[j];
                previous[j] = current[j];
                current[j] = next;
                value[j] += RoundEven(next * ak);
            }
        }
        std::int32_t* out = sum + start;
        for (std::int64_t j = 0; j < length; ++j) {
            out[j] += weight * static_cast<std::int32_t>(value[j]);
        }
    }
}

} // namespace

std::int64_t ChordFrameCount(std::int64_t dauer) {
    return dauer > 0 ? dauer * kFramesPerDauer - 1 : 0;
}

int VoiceSample(double x, const SampleTimbre& timbre) {
    const double phase = Phase(x);
    switch (timbre.mode) {
    case TimbreMode::Sinus:
        return static_cast<int>(std::nearbyint(std::sin(phase) * 32000 / 8));
    case TimbreMode::Rechteck:
        return SquareSample(x);
    case TimbreMode::Saegezahn:
        return SawtoothSample(x);
    case TimbreMode::Obertoene:
        break;
    }
    int v = static_cast<int>(std::nearbyint(std::sin(phase) * timbre.amplitudes[0] / 8));
    for (int k = 2; k <= 7; ++k) {
        const std::int32_t a = timbre.amplitudes[static_cast<std::size_t>(k - 1)];
        if (a > 0) {
            v += static_cast<int>(std::nearbyint(std::sin(k * phase) * a / 8));
        }
    }
    return v;
}

int ChordSample(std::int64_t n, const ChordFrequencies& frequencies, const SampleTimbre& timbre) {
    const auto frame = static_cast<double>(n);
    double previousX = frame * static_cast<double>(frequencies[0]);
    if (previousX == 0) {
        return 0;
    }
    int previousValue = VoiceSample(previousX, timbre);
    int sum = previousValue;
    for (int i = 1; i < ChordFrequencies::kSlots; ++i) {
        const double x = frame * static_cast<double>(frequencies[i]);
        if (x == 0) {
            break;
        }
        if (x != previousX) {
            previousValue = VoiceSample(x, timbre);
        }
        sum += previousValue;
        previousX = x;
    }
    return sum;
}

void CheckChordDauer(std::int64_t dauer) {
    if (dauer > kMaxDauer) {
        throw RangeError(QStringLiteral("Ein Akkord kann höchstens eine Stunde lang klingen "
                                        "(Dauer 360000 Hundertstelsekunden), nicht %1.")
                             .arg(dauer));
    }
}

void CheckChordFrequencies(const ChordFrequencies& frequencies) {
    for (const Voice& voice : SoundingVoices(frequencies)) {
        if (!std::isfinite(voice.frequency) || std::abs(voice.frequency) > kMaxFrequency) {
            throw RangeError(QStringLiteral("Die Frequenz %1 Hz kann nicht gespielt werden.")
                                 .arg(std::isfinite(voice.frequency)
                                          ? NumberToText(1, voice.frequency)
                                          : QStringLiteral("?")));
        }
    }
}

void RenderChordFrames(const ChordFrequencies& frequencies, const SampleTimbre& timbre,
                       std::int64_t first, std::int64_t count, std::int16_t* stereo) {
    if (count <= 0) {
        return;
    }
    const std::vector<Voice> voices = SoundingVoices(frequencies);
    std::vector<std::int32_t> sum(static_cast<std::size_t>(std::min(count, std::int64_t{65536})));
    for (std::int64_t start = 0; start < count; start += static_cast<std::int64_t>(sum.size())) {
        const std::int64_t length = std::min(count - start, static_cast<std::int64_t>(sum.size()));
        std::fill(sum.begin(), sum.end(), 0);
        for (const Voice& voice : voices) {
            if (timbre.mode == TimbreMode::Sinus || timbre.mode == TimbreMode::Obertoene) {
                AddSineVoice(voice.frequency, voice.weight, timbre, first + start, length,
                             sum.data());
                continue;
            }
            const auto sample = timbre.mode == TimbreMode::Rechteck ? SquareSample : SawtoothSample;
            for (std::int64_t j = 0; j < length; ++j) {
                const double x = static_cast<double>(first + start + j) * voice.frequency;
                sum[static_cast<std::size_t>(j)] += voice.weight * sample(x);
            }
        }
        // Frame 0 of every chord is silent, whatever the timbre (the square wave starts low).
        if (first + start == 0) {
            sum[0] = 0;
        }
        std::int16_t* out = stereo + 2 * start;
        for (std::int64_t j = 0; j < length; ++j) {
            // Eight voices of at most 4003 each stay within the 16-bit range.
            const auto v = static_cast<std::int16_t>(std::clamp(
                sum[static_cast<std::size_t>(j)], std::int32_t{-32768}, std::int32_t{32767}));
            out[2 * j] = v;
            out[2 * j + 1] = v;
        }
    }
}

} // namespace zk
