// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/wav_format.h"

#include "sound/last_piece.h"
#include "sound/synthesis.h"
#include "support/errors.h"
#include "support/program_files.h"
#include "support/system_reason.h"

#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zk {

namespace {

void PutU32(char* at, std::uint32_t value) {
    qToLittleEndian(value, at);
}
void PutU16(char* at, std::uint16_t value) {
    qToLittleEndian(value, at);
}
std::uint32_t U32(const char* at) {
    return qFromLittleEndian<std::uint32_t>(at);
}
std::uint16_t U16(const char* at) {
    return qFromLittleEndian<std::uint16_t>(at);
}

QString TooLongMessage() {
    return QStringLiteral("Das Stück ist zu lang für eine WAV-Datei: höchstens 6 Stunden und "
                          "45 Minuten passen hinein.");
}

// Appends the chord's frames first .. first + count − 1 as little-endian bytes.
void AppendFrames(QByteArray& bytes, const ChordFrequencies& frequencies,
                  const SampleTimbre& timbre, std::int64_t first, std::int64_t count) {
    const qsizetype offset = bytes.size();
    bytes.resize(offset + static_cast<qsizetype>(count) * kBytesPerFrame);
    auto* samples = reinterpret_cast<std::int16_t*>(bytes.data() + offset);
    RenderChordFrames(frequencies, timbre, first, count, samples);
    if constexpr (Q_BYTE_ORDER != Q_LITTLE_ENDIAN) {
        for (std::int64_t i = 0; i < 2 * count; ++i) {
            samples[i] = qToLittleEndian(samples[i]);
        }
    }
}

QString NotWavMessage() {
    return QStringLiteral("Die Datei ist keine WAV-Datei mit abspielbarem Ton.");
}

// One sample of `bytes` bytes at `at` as a value in −1 .. 1, scaled to 16 bits.
std::int16_t SampleAt(const char* at, int bits, bool isFloat) {
    if (isFloat) {
        double v = 0;
        if (bits == 32) {
            float f;
            std::uint32_t raw = U32(at);
            std::memcpy(&f, &raw, sizeof f);
            v = f;
        } else {
            std::uint64_t raw = qFromLittleEndian<std::uint64_t>(at);
            std::memcpy(&v, &raw, sizeof v);
        }
        if (!std::isfinite(v)) {
            v = 0;
        }
        return static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767));
    }
    switch (bits) {
    case 8: // unsigned, 128 is silence
        return static_cast<std::int16_t>((static_cast<unsigned char>(at[0]) - 128) * 256);
    case 16:
        return static_cast<std::int16_t>(U16(at));
    case 24:
        return static_cast<std::int16_t>(U16(at + 1));
    default: // 32
        return static_cast<std::int16_t>(U16(at + 2));
    }
}

} // namespace

QByteArray WavHeader(std::int64_t frames) {
    if (frames < 0 || frames > kMaxWavFrames) {
        throw RangeError(TooLongMessage());
    }
    const auto dataSize = static_cast<std::uint32_t>(frames * kBytesPerFrame);
    QByteArray header(kWavHeaderSize, '\0');
    char* h = header.data();
    std::memcpy(h, "RIFF", 4);
    PutU32(h + 4, dataSize + 36);
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, "fmt ", 4);
    PutU32(h + 16, 16);
    PutU16(h + 20, 1); // PCM
    PutU16(h + 22, 2); // channels
    PutU32(h + 24, kFrameRate);
    PutU32(h + 28, kFrameRate * kBytesPerFrame);
    PutU16(h + 32, kBytesPerFrame);
    PutU16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    PutU32(h + 40, dataSize);
    return header;
}

QByteArray ChordWavImage(int dauer, const ChordFrequencies& frequencies,
                         const SampleTimbre& timbre) {
    CheckChordDauer(dauer);
    CheckChordFrequencies(frequencies);
    const std::int64_t frames = ChordFrameCount(dauer);
    QByteArray image = WavHeader(frames);
    image.reserve(kWavHeaderSize + static_cast<qsizetype>(frames) * kBytesPerFrame);
    AppendFrames(image, frequencies, timbre, 0, frames);
    return image;
}

void WriteLastPieceWav(const QString& path, const LastPiece& piece, const SampleTimbre& timbre) {
    const std::int64_t frames = piece.FrameCount();
    const QByteArray header = WavHeader(frames); // refuses a piece too long before any writing
    for (const ChordRecord& record : piece.Records()) {
        CheckChordFrequencies(record.frequencies);
    }
    CheckWritableFile(path);
    QSaveFile file(path);
    const auto fail = [&] {
        throw FileError(QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden: %2")
                            .arg(path, GermanReason(file.errorString())));
    };
    if (!file.open(QIODevice::WriteOnly) || file.write(header) != header.size()) {
        fail();
    }
    // A few seconds at a time, so that a long piece never sits in memory whole.
    constexpr std::int64_t kChunkFrames = 1 << 16;
    QByteArray chunk;
    for (const ChordRecord& record : piece.Records()) {
        const std::int64_t count = ChordFrameCount(record.dauer);
        for (std::int64_t first = 0; first < count; first += kChunkFrames) {
            chunk.clear();
            AppendFrames(chunk, record.frequencies, timbre, first,
                         std::min(kChunkFrames, count - first));
            if (file.write(chunk) != chunk.size()) {
                fail();
            }
        }
    }
    if (!file.commit()) {
        fail();
    }
}

PcmSound DecodeWav(const QByteArray& image) {
    const char* data = image.constData();
    const qsizetype size = image.size();
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
        throw FileError(NotWavMessage());
    }
    bool haveFormat = false;
    int formatTag = 0;
    int channels = 0;
    int rate = 0;
    int bits = 0;
    int blockAlign = 0;
    qsizetype pos = 12;
    while (pos + 8 <= size) {
        const char* chunk = data + pos;
        const qsizetype length = U32(chunk + 4);
        const qsizetype body = pos + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || body + 16 > size) {
                throw FileError(NotWavMessage());
            }
            formatTag = U16(data + body);
            channels = U16(data + body + 2);
            rate = static_cast<int>(std::min<std::uint32_t>(U32(data + body + 4), 1u << 30));
            blockAlign = U16(data + body + 12);
            bits = U16(data + body + 14);
            if (formatTag == 0xFFFE && length >= 26 && body + 26 <= size) {
                formatTag = U16(data + body + 24); // the sub-format's first two bytes
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                throw FileError(NotWavMessage());
            }
            const bool isFloat = formatTag == 3;
            const bool supported =
                (formatTag == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32)) ||
                (isFloat && (bits == 32 || bits == 64));
            // Rates outside 1 kHz .. 768 kHz are no sound anyone recorded; a tiny rate would also
            // blow the conversion to 44100 Hz up to gigabytes.
            if (!supported || channels < 1 || rate < 1000 || rate > 768000 ||
                blockAlign < channels * bits / 8) {
                throw FileError(
                    QStringLiteral("Die WAV-Datei hat ein Format, das nicht abgespielt werden "
                                   "kann (Formatkennung %1, %2 Kanäle, %3 Bit, %4 Hz).")
                        .arg(formatTag)
                        .arg(channels)
                        .arg(bits)
                        .arg(rate));
            }
            const qsizetype available = std::min(length, size - body);
            const qsizetype frames = available / blockAlign;
            PcmSound sound;
            sound.sampleRate = rate;
            sound.channels = channels;
            sound.samples.resize(static_cast<std::size_t>(frames * channels));
            const int sampleBytes = bits / 8;
            std::size_t out = 0;
            for (qsizetype f = 0; f < frames; ++f) {
                const char* frame = data + body + f * blockAlign;
                for (int c = 0; c < channels; ++c) {
                    sound.samples[out++] = SampleAt(frame + c * sampleBytes, bits, isFloat);
                }
            }
            return sound;
        }
        pos = body + length + (length & 1);
    }
    throw FileError(NotWavMessage());
}

QByteArray ToOutputFrames(const PcmSound& sound) {
    if (sound.channels < 1 || sound.sampleRate < 1) {
        return {};
    }
    const std::size_t channels = static_cast<std::size_t>(sound.channels);
    const std::size_t inFrames = sound.samples.size() / channels;
    const auto left = [&](std::size_t f) { return sound.samples[f * channels]; };
    const auto right = [&](std::size_t f) {
        return sound.samples[f * channels + (channels > 1 ? 1 : 0)];
    };
    std::size_t outFrames = inFrames;
    if (sound.sampleRate != kFrameRate) {
        outFrames =
            static_cast<std::size_t>(static_cast<double>(inFrames) * kFrameRate / sound.sampleRate);
    }
    QByteArray bytes(static_cast<qsizetype>(outFrames) * kBytesPerFrame, '\0');
    char* out = bytes.data();
    for (std::size_t f = 0; f < outFrames; ++f) {
        std::int16_t l;
        std::int16_t r;
        if (sound.sampleRate == kFrameRate) {
            l = left(f);
            r = right(f);
        } else {
            // Linear interpolation between the two nearest frames of the source.
            const double at = static_cast<double>(f) * sound.sampleRate / kFrameRate;
            const auto i = static_cast<std::size_t>(at);
            const std::size_t j = std::min(i + 1, inFrames - 1);
            const double t = at - static_cast<double>(i);
            l = static_cast<std::int16_t>(std::lround(left(i) + (left(j) - left(i)) * t));
            r = static_cast<std::int16_t>(std::lround(right(i) + (right(j) - right(i)) * t));
        }
        PutU16(out + f * kBytesPerFrame, static_cast<std::uint16_t>(l));
        PutU16(out + f * kBytesPerFrame + 2, static_cast<std::uint16_t>(r));
    }
    return bytes;
}

} // namespace zk
