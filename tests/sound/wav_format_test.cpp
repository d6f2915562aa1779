// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/wav_format.h"

#include "sound/last_piece.h"
#include "sound/synthesis.h"
#include "support/errors.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "sound_test_helpers.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstring>

namespace zk {
namespace {

using test::kOrgan;

using test::Chord;

std::uint32_t U32At(const QByteArray& bytes, int offset) {
    return qFromLittleEndian<std::uint32_t>(bytes.constData() + offset);
}
std::uint16_t U16At(const QByteArray& bytes, int offset) {
    return qFromLittleEndian<std::uint16_t>(bytes.constData() + offset);
}
std::int16_t SampleAt(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<std::int16_t>(bytes.constData() + offset);
}

struct HeaderCase {
    int dauer;
    std::uint32_t dataSize;
    std::uint32_t riffSize;
    qsizetype imageSize;
};

void PrintTo(const HeaderCase& c, std::ostream* out) {
    *out << "Dauer " << c.dauer;
}

class ChordImageHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ChordImageHeader, HoldsTheFixedFormatAndTheSizes) {
    const HeaderCase& c = GetParam();
    const QByteArray image = ChordWavImage(c.dauer, Chord({440}), kOrgan);
    ASSERT_EQ(image.size(), c.imageSize);
    EXPECT_EQ(image.left(4), "RIFF");
    EXPECT_EQ(U32At(image, 4), c.riffSize);
    EXPECT_EQ(image.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(U32At(image, 16), 16u);
    EXPECT_EQ(U16At(image, 20), 1); // PCM
    EXPECT_EQ(U16At(image, 22), 2); // channels
    EXPECT_EQ(U32At(image, 24), 44100u);
    EXPECT_EQ(U32At(image, 28), 176400u);
    EXPECT_EQ(U16At(image, 32), 4);
    EXPECT_EQ(U16At(image, 34), 16);
    EXPECT_EQ(image.mid(36, 4), "data");
    EXPECT_EQ(U32At(image, 40), c.dataSize);
}

INSTANTIATE_TEST_SUITE_P(Durations, ChordImageHeader,
                         ::testing::Values(
                             // a hundredth of a second: 440 frames
                             HeaderCase{1, 1760, 1796, 1804},
                             // a second: 44099 frames
                             HeaderCase{100, 176396, 176432, 44 + 176396},
                             // no duration: the header alone
                             HeaderCase{0, 0, 36, 44}),
                         [](const auto& info) {
                             return "dauer" + std::to_string(info.param.dauer);
                         });

TEST(ChordImage, SamplesAreTheChordsFramesOnBothChannels) {
    const ChordFrequencies chord = Chord({264, 330, 396});
    const QByteArray image = ChordWavImage(5, chord, kOrgan);
    for (std::int64_t n : {0, 1, 2, 100, 2203}) {
        const qsizetype at = kWavHeaderSize + n * 4;
        EXPECT_EQ(SampleAt(image, at), ChordSample(n, chord, kOrgan)) << n;
        EXPECT_EQ(SampleAt(image, at + 2), SampleAt(image, at)) << n;
    }
}

TEST(ChordImage, ADauerBeyondOneHourIsRefused) {
    try {
        ChordWavImage(kMaxDauer + 1, Chord({440}), kOrgan);
        FAIL() << "no error";
    } catch (const RangeError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("höchstens eine Stunde")));
    }
}

TEST(WavHeader, RefusesDataBeyondThe32BitSizeFields) {
    EXPECT_EQ(U32At(WavHeader(kMaxWavFrames), 4), 0xFFFFFFFFu - 3); // RIFF size still fits
    EXPECT_THROW(WavHeader(kMaxWavFrames + 1), RangeError);
}

TEST(LastPieceWav, RoundTripGivesEveryChordFromItsOwnFrameZero) {
    LastPiece piece;
    piece.AppendToLastPiece(3, Chord({132, 165, 198}));
    piece.AppendToLastPiece(2, Chord({176, 198})); // same top tone: a rest of 1 goes before it
    piece.AppendToLastPiece(0, Chord({500}));      // no frames
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("piece.wav"));
    WriteLastPieceWav(path, piece, kOrgan);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const std::int64_t frames = 1322 + 440 + 881;
    ASSERT_EQ(bytes.size(), kWavHeaderSize + frames * 4);
    EXPECT_EQ(bytes.left(kWavHeaderSize), WavHeader(frames));

    const PcmSound sound = DecodeWav(bytes);
    EXPECT_EQ(sound.sampleRate, 44100);
    EXPECT_EQ(sound.channels, 2);
    std::vector<std::int16_t> expected;
    for (const ChordRecord& record : piece.Records()) {
        for (std::int64_t n = 0; n < ChordFrameCount(record.dauer); ++n) {
            const auto v = static_cast<std::int16_t>(ChordSample(n, record.frequencies, kOrgan));
            expected.push_back(v);
            expected.push_back(v);
        }
    }
    EXPECT_EQ(sound.samples, expected);
}

TEST(LastPieceWav, AnEmptyPieceGivesTheHeaderAlone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("empty.wav"));
    WriteLastPieceWav(path, LastPiece(), kOrgan);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), WavHeader(0));
}

TEST(LastPieceWav, APieceTooLongForOneFileIsRefusedAndNothingWritten) {
    LastPiece piece;
    for (int i = 0; i < 7; ++i) { // seven hours, alternating so that no rests come between
        piece.AppendToLastPiece(kMaxDauer, Chord({i % 2 ? 440.0L : 550.0L}));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.wav"));
    EXPECT_THROW(WriteLastPieceWav(path, piece, kOrgan), RangeError);
    EXPECT_FALSE(QFile::exists(path));
}

TEST(LastPieceWav, AnUnwritablePlaceGivesAGermanFileError) {
    QTemporaryDir dir;
    try {
        WriteLastPieceWav(dir.filePath(QStringLiteral("no/such/folder/x.wav")), LastPiece(),
                          kOrgan);
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("konnte nicht geschrieben werden")));
    }
}

// A WAV image of any PCM layout, built by hand.
QByteArray Wav(int formatTag, int channels, int rate, int bits, const QByteArray& data,
               bool extensible = false) {
    QByteArray fmt(extensible ? 40 : 16, '\0');
    const int blockAlign = channels * bits / 8;
    qToLittleEndian<std::uint16_t>(extensible ? 0xFFFE : formatTag, fmt.data());
    qToLittleEndian<std::uint16_t>(channels, fmt.data() + 2);
    qToLittleEndian<std::uint32_t>(rate, fmt.data() + 4);
    qToLittleEndian<std::uint32_t>(rate * blockAlign, fmt.data() + 8);
    qToLittleEndian<std::uint16_t>(blockAlign, fmt.data() + 12);
    qToLittleEndian<std::uint16_t>(bits, fmt.data() + 14);
    if (extensible) {
        qToLittleEndian<std::uint16_t>(22, fmt.data() + 16);
        qToLittleEndian<std::uint16_t>(formatTag, fmt.data() + 24);
    }
    QByteArray chunks;
    const auto chunk = [&](const char* id, const QByteArray& body) {
        chunks += QByteArray(id, 4);
        QByteArray size(4, '\0');
        qToLittleEndian<std::uint32_t>(body.size(), size.data());
        chunks += size + body;
        if (body.size() % 2) {
            chunks += '\0';
        }
    };
    chunk("fmt ", fmt);
    chunk("LIST", QByteArray("INFOx", 5)); // an odd-sized chunk to skip
    chunk("data", data);
    QByteArray riff("RIFF....WAVE");
    qToLittleEndian<std::uint32_t>(4 + chunks.size(), riff.data() + 4);
    return riff + chunks;
}

QByteArray Int16s(std::initializer_list<int> values) {
    QByteArray bytes;
    for (const int v : values) {
        char b[2];
        qToLittleEndian<std::int16_t>(static_cast<std::int16_t>(v), b);
        bytes.append(b, 2);
    }
    return bytes;
}

struct DecodeCase {
    const char* what;
    QByteArray image;
    QByteArray outputFrames; // 44100 Hz stereo 16 bit
};

void PrintTo(const DecodeCase& c, std::ostream* out) {
    *out << c.what;
}

class DecodeForPlayback : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeForPlayback, ConvertsToTheOutputStream) {
    EXPECT_EQ(ToOutputFrames(DecodeWav(GetParam().image)), GetParam().outputFrames);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DecodeForPlayback,
    ::testing::Values(
        DecodeCase{"mono 16 bit: each sample on both channels",
                   Wav(1, 1, 44100, 16, Int16s({1000, -2000})), Int16s({1000, 1000, -2000, -2000})},
        DecodeCase{"mono 8 bit unsigned: 128 is silence",
                   Wav(1, 1, 44100, 8, QByteArray("\x80\xff\x00", 3)),
                   Int16s({0, 0, 127 * 256, 127 * 256, -32768, -32768})},
        DecodeCase{"stereo 24 bit: the upper two bytes",
                   Wav(1, 2, 44100, 24, QByteArray("\x00\x10\x20\xff\xff\xff", 6)),
                   Int16s({0x2010, -1})},
        DecodeCase{"stereo float, extensible",
                   Wav(3, 2, 44100, 32, QByteArray("\x00\x00\x00\x3f\x00\x00\x80\xbf", 8), true),
                   Int16s({16384, -32767})},
        DecodeCase{"four channels: the first two",
                   Wav(1, 4, 44100, 16, Int16s({1, 2, 3, 4, 5, 6, 7, 8})), Int16s({1, 2, 5, 6})},
        DecodeCase{"22050 Hz: twice as many frames, interpolated",
                   Wav(1, 1, 22050, 16, Int16s({0, 1000, 2000})),
                   Int16s({0, 0, 500, 500, 1000, 1000, 1500, 1500, 2000, 2000, 2000, 2000})},
        DecodeCase{"a data chunk that claims more than the file holds",
                   Wav(1, 2, 44100, 16, Int16s({5, 6, 7, 8})).left(44 + 14 + 4), Int16s({5, 6})}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(DecodeForPlayback, AFileThatIsNotAudioGivesAGermanMessage) {
    const QByteArray notAudio[] = {
        QByteArray("TA   D    Akkord\r\n"),   // a piece file
        QByteArray(),                         // empty
        Wav(1, 2, 44100, 16, {}).left(24),    // cut inside the format
        Wav(2, 2, 44100, 4, Int16s({1, 2})),  // ADPCM
        Wav(1, 0, 44100, 16, Int16s({1, 2})), // no channels
        Wav(1, 2, 10, 16, Int16s({1, 2})),    // ten frames per second
    };
    for (const QByteArray& bytes : notAudio) {
        try {
            DecodeWav(bytes);
            ADD_FAILURE() << "accepted " << bytes.toHex().toStdString();
        } catch (const FileError& error) {
            EXPECT_TRUE(error.message().startsWith(QStringLiteral("Die ")))
                << error.message().toStdString();
        }
    }
}

} // namespace
} // namespace zk
