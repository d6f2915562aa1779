// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI files played by a real synthesiser: FluidSynth renders them with the General MIDI
// sound font TimGM6mb, and each tone's frequency is measured in the sound. A sound font's samples
// are themselves a few cents out of tune, and FluidSynth computes pitch in whole cents; so every
// tone is compared with its nearest equal-tempered key rendered the same way (the same piece,
// every tone moved to its key), and the ratio of the two must be the tone's ratio to its key
// within 2 cents.
#include "exchange/midi_file.h"
#include "exchange/played_pieces.h"

#include "common/piece_rows.h"
#include "sound/last_piece.h"
#include "sound/wav_format.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <iostream>
#include <numbers>
#include <optional>

namespace zk {
namespace {

using test::Row;

constexpr const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr int kRate = 44100;
constexpr int kFramesPerTick = kRate / 100;
constexpr double kTolerance = 2.0; // cents

// The General MIDI ocarina: in TimGM6mb nearly a sine (its partials lie 30 dB and more below the
// fundamental, at key 60 to 81), so that the eight tones of a chord can be measured one by one.
constexpr int kOcarina = 79;

// The left channel of FluidSynth's rendering of `midi`, as the command line renders a file.
std::optional<std::vector<double>> Render(const QString& fluidsynth, const QByteArray& midi,
                                          QString& problem) {
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("x.mid"));
    const QString output = dir.filePath(QStringLiteral("out.wav"));
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly) || file.write(midi) != midi.size()) {
        problem = QStringLiteral("cannot write %1").arg(input);
        return std::nullopt;
    }
    file.close();
    QProcess process;
    process.start(fluidsynth,
                  {QStringLiteral("-ni"), QStringLiteral("-F"), output, QStringLiteral("-r"),
                   QString::number(kRate), QString::fromUtf8(kSoundFont), input});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        problem = QStringLiteral("fluidsynth failed: %1")
                      .arg(QString::fromUtf8(process.readAllStandardError()));
        return std::nullopt;
    }
    QFile wav(output);
    if (!wav.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("fluidsynth wrote no file");
        return std::nullopt;
    }
    const PcmSound sound = DecodeWav(wav.readAll());
    if (sound.sampleRate != kRate || sound.channels < 1) {
        problem = QStringLiteral("unexpected sound: %1 Hz, %2 channels")
                      .arg(sound.sampleRate)
                      .arg(sound.channels);
        return std::nullopt;
    }
    std::vector<double> left;
    for (std::size_t i = 0; i < sound.samples.size();
         i += static_cast<std::size_t>(sound.channels)) {
        left.push_back(sound.samples[i]);
    }
    return left;
}

// A stretch of sound under a four-term Blackman-Harris window, whose side lobes lie 92 dB down:
// a neighbouring tone a few bins away does not pull at the peak.
class Spectrum {
public:
    Spectrum(const std::vector<double>& sound, std::size_t first, std::size_t count) {
        m_windowed.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            const double t =
                2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(count - 1);
            const double w = 0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) -
                             0.01168 * std::cos(3 * t);
            m_windowed[i] = first + i < sound.size() ? sound[first + i] * w : 0;
        }
    }

    // The magnitude of the transform at `frequency`, evaluated directly (no grid of bins).
    double Magnitude(double frequency) const {
        const double step = 2 * std::numbers::pi * frequency / kRate;
        const std::complex<double> turn = std::polar(1.0, -step);
        std::complex<double> phasor = 1;
        std::complex<double> sum = 0;
        for (std::size_t i = 0; i < m_windowed.size(); ++i) {
            sum += m_windowed[i] * phasor;
            phasor *= turn;
            if (i % 1024 == 1023) {
                phasor = std::polar(1.0, -step * static_cast<double>(i + 1));
            }
        }
        return std::abs(sum);
    }

    // The frequency of the strongest peak between `low` and `high`: a search on a grid of a
    // quarter bin, then a golden-section search around the best point.
    double Peak(double low, double high) const {
        const double bin = static_cast<double>(kRate) / static_cast<double>(m_windowed.size());
        double best = low;
        double bestMagnitude = -1;
        for (double f = low; f <= high; f += bin / 4) {
            const double m = Magnitude(f);
            if (m > bestMagnitude) {
                best = f;
                bestMagnitude = m;
            }
        }
        double a = best - bin / 4;
        double b = best + bin / 4;
        const double ratio = (std::sqrt(5.0) - 1) / 2;
        double c = b - ratio * (b - a);
        double d = a + ratio * (b - a);
        double mc = Magnitude(c);
        double md = Magnitude(d);
        for (int i = 0; i < 24; ++i) {
            if (mc > md) {
                b = d;
                d = c;
                md = mc;
                c = b - ratio * (b - a);
                mc = Magnitude(c);
            } else {
                a = c;
                c = d;
                mc = md;
                d = a + ratio * (b - a);
                md = Magnitude(d);
            }
        }
        return (a + b) / 2;
    }

private:
    std::vector<double> m_windowed;
};

double Cents(double f, double reference) {
    return 1200 * std::log2(f / reference);
}

// The equal-tempered frequency of the key nearest to `f`.
long double NearestKeyFrequency(long double f) {
    return 440 * std::exp2(std::nearbyint(12 * std::log2(f / 440)) / 12);
}

// The piece with every tone moved to its nearest key: the same records, the same times.
LastPiece EqualTempered(const LastPiece& piece) {
    LastPiece tempered;
    for (const ChordRecord& record : piece.Records()) {
        ChordFrequencies f = record.frequencies;
        for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
            f[i] = f[i] > 0 ? NearestKeyFrequency(f[i]) : f[i];
        }
        tempered.AppendToLastPiece(record.dauer, f);
    }
    return tempered;
}

struct Measured {
    int tones = 0;
    double largest = 0; // cents
    QStringList problems;
};

// Renders the piece and its equal-tempered twin with the method and the program, and measures
// every tone of every chord in the middle of the chord.
Measured Measure(const QString& fluidsynth, const LastPiece& piece, MidiTuning tuning,
                 int program) {
    Measured measured;
    const LastPiece tempered = EqualTempered(piece);
    if (tempered.size() != piece.size()) {
        measured.problems << QStringLiteral("the tempered piece has other records");
        return measured;
    }
    MidiOptions options;
    options.tuning = tuning;
    options.program = program;
    QString problem;
    const auto tuned = Render(fluidsynth, ExportMidi(piece, options).bytes, problem);
    const auto keys = Render(fluidsynth, ExportMidi(tempered, options).bytes, problem);
    if (!tuned || !keys) {
        measured.problems << problem;
        return measured;
    }
    long long tick = 0;
    for (std::size_t r = 0; r < piece.size(); ++r) {
        const ChordRecord& record = piece.Records()[r];
        const long long start = tick;
        tick += record.dauer;
        if (record.dauer < 60 || record.frequencies[0] == 0) {
            continue; // too short to measure well, or a rest
        }
        // From 0.3 s after the attack to 0.05 s before the release.
        const auto first = static_cast<std::size_t>((start + 30) * kFramesPerTick);
        const auto count = static_cast<std::size_t>((record.dauer - 35) * kFramesPerTick);
        const Spectrum tunedSpectrum(*tuned, first, count);
        const Spectrum keySpectrum(*keys, first, count);
        for (int i = 0; i < ChordFrequencies::kSlots && record.frequencies[i] != 0; ++i) {
            const auto f = static_cast<double>(record.frequencies[i]);
            const auto key = static_cast<double>(NearestKeyFrequency(record.frequencies[i]));
            // The key as the sound font plays it (its samples a few cents off), then the tone
            // close to where its ratio to the key puts it.
            const double keyHeard =
                keySpectrum.Peak(key * std::exp2(-30 / 1200.0), key * std::exp2(30 / 1200.0));
            const double expected = keyHeard * f / key;
            const double heard = tunedSpectrum.Peak(expected * std::exp2(-8 / 1200.0),
                                                    expected * std::exp2(8 / 1200.0));
            const double error = Cents(heard, keyHeard) - Cents(f, key);
            measured.largest = std::max(measured.largest, std::fabs(error));
            ++measured.tones;
            if (std::fabs(error) > kTolerance) {
                measured.problems << QStringLiteral("row %1 tone %2: %3 Hz heard at %4 cents "
                                                    "from its key, %5 expected")
                                         .arg(r)
                                         .arg(i + 1)
                                         .arg(f, 0, 'f', 3)
                                         .arg(Cents(heard, keyHeard), 0, 'f', 2)
                                         .arg(Cents(f, key), 0, 'f', 2);
            }
        }
    }
    return measured;
}

class FluidSynthCheck : public ::testing::Test {
protected:
    void SetUp() override {
        m_fluidsynth = QStandardPaths::findExecutable(QStringLiteral("fluidsynth"));
        if (m_fluidsynth.isEmpty()) {
            GTEST_SKIP() << "fluidsynth is not installed: the MIDI files are not played by a "
                            "synthesiser (Debian packages fluidsynth and timgm6mb-soundfont)";
        }
        ASSERT_TRUE(QFile::exists(QString::fromUtf8(kSoundFont)))
            << kSoundFont << " is missing (Debian package timgm6mb-soundfont)";
    }

    void ExpectHeardInTune(const LastPiece& piece, int program, int tones, const char* what) {
        for (const MidiTuning tuning : {MidiTuning::Bend, MidiTuning::Mts}) {
            const char* method = tuning == MidiTuning::Bend ? "bend" : "mts";
            const Measured measured = Measure(m_fluidsynth, piece, tuning, program);
            EXPECT_TRUE(measured.problems.isEmpty())
                << what << ", " << method << ": "
                << measured.problems.join(QStringLiteral("; ")).toStdString();
            EXPECT_EQ(measured.tones, tones) << what << ", " << method;
            std::cout << what << ", " << method << ": " << measured.tones
                      << " tones, largest deviation " << measured.largest << " cent\n";
        }
    }

    QString m_fluidsynth;
};

TEST_F(FluidSynthCheck, ChordsOfEightVoicesRestsDriftAndTemperaments) {
    // At tempo 150 a 32nd note lasts 12 hundredths: D = 12 is 1.44 seconds.
    const QString text =
        // Eight voices in C, then eight with the same top tone (re-struck after a short rest).
        Row("c", "12", "c1eghdf#ac") + Row("", "12", "d1faceghc") +
        // A rest, eight voices in G: a2 now a comma higher than in C.
        Row("", "8", "") + Row("g", "12", "g1hdf#aceg") +
        // The same d a comma apart in successive chords.
        Row("c", "12", "d1-fa") + Row("", "12", "d1fh") +
        // Meantone and equal temperament.
        Row("ma", "12", "c1egc") + Row("~c", "12", "c1eg");
    const LastPiece piece = test::PlayedText(text, QStringLiteral("440"), QStringLiteral("150"));
    ASSERT_EQ(piece.size(), 9u); // with the short rest before the repeated top tone
    ExpectHeardInTune(piece, kOcarina, 8 + 8 + 8 + 3 + 3 + 4 + 3, "chords");
}

TEST_F(FluidSynthCheck, TheChurchOrganPlaysAMelodyInTune) {
    // Single tones in the default program: the organ's sub-octave and quint ranks lie an octave
    // and a fifth away from the tone, outside the search.
    const QString text = Row("c", "12", "c1") + Row("", "12", "e1") + Row("", "12", "g1") +
                         Row("a", "12", "c#2") + Row("", "12", "e1*") + Row("ma", "12", "g#1");
    const LastPiece piece = test::PlayedText(text, QStringLiteral("440"), QStringLiteral("150"));
    ExpectHeardInTune(piece, kChurchOrganProgram, 6, "organ");
}

} // namespace
} // namespace zk
