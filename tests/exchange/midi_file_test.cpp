// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI file writer on last pieces made by hand: the file's structure, its timing, the tones it
// leaves out, both tuning methods' messages and arithmetic, and the all-or-nothing write.
#include "exchange/midi_file.h"
#include "exchange/piece_notes.h"
#include "exchange/smf_reader.h"

#include "common/locale_guard.h"
#include "sound/last_piece.h"
#include "support/errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <set>

namespace zk {
namespace {

using test::CheckNotes;
using test::DecodedPiece;
using test::DecodeSmfBytes;
using test::ReadSmf;

constexpr MidiTuning kMethods[] = {MidiTuning::Bend, MidiTuning::Mts};

std::string MethodName(MidiTuning tuning) {
    return tuning == MidiTuning::Bend ? "bend" : "mts";
}

struct Row {
    int dauer;
    std::vector<long double> frequencies;
};

// A last piece as the pass leaves it: each row appended, with the short rest before a repeated
// top tone.
LastPiece Piece(std::initializer_list<Row> rows) {
    LastPiece piece;
    for (const Row& row : rows) {
        ChordFrequencies f;
        for (std::size_t i = 0; i < row.frequencies.size(); ++i) {
            f[static_cast<int>(i)] = row.frequencies[i];
        }
        piece.AppendToLastPiece(row.dauer, f);
    }
    return piece;
}

MidiOptions Options(MidiTuning tuning) {
    MidiOptions options;
    options.tuning = tuning;
    return options;
}

QString Joined(const QStringList& problems) {
    return problems.join(QStringLiteral("; "));
}

// Decodes the piece's file and checks every note against the piece, to `tolerance` cents.
DecodedPiece ExpectExact(const LastPiece& piece, const MidiOptions& options,
                         long double tolerance = 0.05L) {
    const MidiExport exported = ExportMidi(piece, options);
    DecodedPiece decoded = DecodeSmfBytes(exported.bytes);
    const test::NoteCheck check = CheckNotes(decoded, piece, tolerance);
    EXPECT_TRUE(check.problems.isEmpty())
        << MethodName(options.tuning) << ": " << Joined(check.problems).toStdString();
    EXPECT_EQ(exported.notes, check.notes);
    return decoded;
}

const LastPiece kCadence = Piece({{184, {132, 165, 198, 264}},
                                  {184, {132, 176, 220}},
                                  {184, {123.75L, 165, 198, 247.5L}},
                                  {368, {132, 165, 198, 264}}});

TEST(MidiFileStructure, HeaderTrackLengthAndTempoFollowTheQuarter) {
    const struct {
        int quarter;
        long long tempo;
    } cases[] = {
        {50, 500000},     // the default: 120 quarters a minute
        {184, 1840000},   // a quarter (D = 8) at tempo 80
        {1, 10000},       // the shortest quarter
        {1677, 16770000}, // the longest that fits the tempo event
    };
    for (const auto& c : cases) {
        for (const MidiTuning tuning : kMethods) {
            MidiOptions options = Options(tuning);
            options.quarterDauer = c.quarter;
            const QByteArray bytes = ExportMidi(kCadence, options).bytes;
            ASSERT_GE(bytes.size(), 22);
            // MThd, length 6, format 0, one track, the division; MTrk with the rest's length.
            EXPECT_EQ(bytes.left(14).toHex(),
                      QByteArray("4d5468640000000600000001") +
                          QByteArray::number(c.quarter >> 8 & 0xFF, 16).rightJustified(2, '0') +
                          QByteArray::number(c.quarter & 0xFF, 16).rightJustified(2, '0'));
            const test::SmfFile file = ReadSmf(bytes);
            EXPECT_TRUE(file.problems.isEmpty()) << Joined(file.problems).toStdString();
            EXPECT_EQ(file.division, c.quarter);
            const DecodedPiece decoded = DecodeSmfBytes(bytes);
            EXPECT_EQ(decoded.tempo, c.tempo);
            // One tick is one hundredth of a second: the track ends after the piece's 920.
            EXPECT_EQ(file.endTick, 920);
        }
    }
}

TEST(MidiFileStructure, EveryEventHasItsOwnStatusByte) {
    // The reader reports running status; a file of many equal messages in a row would tempt a
    // writer to use it.
    for (const MidiTuning tuning : kMethods) {
        const QByteArray bytes = ExportMidi(kCadence, Options(tuning)).bytes;
        const test::SmfFile file = ReadSmf(bytes);
        EXPECT_TRUE(file.problems.isEmpty()) << Joined(file.problems).toStdString();
        int noteOffs = 0;
        for (const test::SmfEvent& event : file.events) {
            ASSERT_FALSE(event.bytes.isEmpty());
            EXPECT_TRUE(static_cast<unsigned char>(event.bytes.at(0)) & 0x80);
            noteOffs += (static_cast<unsigned char>(event.bytes.at(0)) & 0xF0) == 0x80;
        }
        EXPECT_EQ(noteOffs, 15);
    }
}

TEST(MidiFileStructure, TheReaderNoticesABrokenFile) {
    const QByteArray good = ExportMidi(kCadence, Options(MidiTuning::Bend)).bytes;
    QByteArray longer = good;
    longer[21] = static_cast<char>(longer[21] + 1); // a track length one beyond the file
    QByteArray runningStatus = good.left(good.size() - 4);
    runningStatus.append(QByteArray::fromHex("00ff2f00")); // same length, then one more event:
    runningStatus.insert(good.size() - 4, QByteArray::fromHex("003c40"));
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"track length", longer},
        {"cut off", good.left(good.size() - 1)},
        {"running status", runningStatus},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(ReadSmf(c.bytes).problems.isEmpty()) << c.what;
    }
}

TEST(MidiFileTiming, ChordsRestsAndTheRestBeforeARepeatedTopTone) {
    // Rows: a chord, the same top tone again (re-struck after one hundredth), a rest, a chord of
    // Dauer 0 (not heard, no time), a chord.
    const LastPiece piece = Piece(
        {{100, {264, 330, 396}}, {50, {198, 396}}, {30, {}}, {0, {440}}, {20, {440, 0, 660}}});
    ASSERT_EQ(piece.size(), 6u); // the short rest is a record of its own
    for (const MidiTuning tuning : kMethods) {
        const DecodedPiece decoded = ExpectExact(piece, Options(tuning));
        ASSERT_EQ(decoded.notes.size(), 6u) << MethodName(tuning);
        const long long starts[] = {0, 0, 0, 101, 101, 181};
        const long long ends[] = {100, 100, 100, 151, 151, 201};
        for (std::size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(decoded.notes[i].start, starts[i]) << i;
            EXPECT_EQ(decoded.notes[i].end, ends[i]) << i;
        }
        // Only 440 Hz of the last chord: its first empty slot ends it.
        EXPECT_NEAR(static_cast<double>(decoded.notes[5].frequency), 440, 1e-9);
        EXPECT_EQ(ReadSmf(ExportMidi(piece, Options(tuning)).bytes).endTick, 201);
    }
}

TEST(MidiFileTiming, ATrailingRestKeepsItsLength) {
    const LastPiece piece = Piece({{10, {440}}, {250, {}}});
    for (const MidiTuning tuning : kMethods) {
        EXPECT_EQ(ReadSmf(ExportMidi(piece, Options(tuning)).bytes).endTick, 260);
    }
}

TEST(MidiFileTones, LeftOutTonesAreCountedInOneWarning) {
    test::LocaleGuard german(test::German());
    const struct {
        Row row;
        int leftOut;
        int written;
    } cases[] = {
        {{10, {-440, 440}}, 1, 1},                // a negative frequency
        {{10, {8.17, 8.18, 12911, 12912}}, 2, 2}, // just below key 0 and above key 127 + 1/2
        {{10, {5, 20000, 1e9L}}, 3, 0},           // far outside
        {{10, {NAN, INFINITY, 330}}, 2, 1},       // not numbers (a hand-made record)
        {{10, {440, 0, -5}}, 0, 1},               // after the first empty slot: not heard at all
        {{0, {-440}}, 0, 0},                      // a chord of Dauer 0: not heard either
    };
    for (const auto& c : cases) {
        const LastPiece piece = Piece({{10, {220}}, c.row});
        for (const MidiTuning tuning : kMethods) {
            const MidiExport exported = ExportMidi(piece, Options(tuning));
            EXPECT_EQ(exported.leftOut, c.leftOut);
            EXPECT_EQ(exported.notes, 1 + c.written);
            EXPECT_EQ(test::UnwritableTones(piece), c.leftOut);
            ExpectExact(piece, Options(tuning));
            if (c.leftOut == 0) {
                EXPECT_TRUE(exported.warning.isEmpty()) << exported.warning.toStdString();
            } else {
                EXPECT_TRUE(exported.warning.startsWith(
                    c.leftOut == 1 ? QStringLiteral("Hinweis: 1 Ton fehlt in der MIDI-Datei")
                                   : QStringLiteral("Hinweis: %1 Töne fehlen in der MIDI-Datei")
                                         .arg(c.leftOut)))
                    << exported.warning.toStdString();
                EXPECT_TRUE(exported.warning.contains(QStringLiteral("8,18 Hz bis 12911 Hz")))
                    << exported.warning.toStdString();
            }
        }
    }
}

TEST(MidiFileTones, EveryPitchAcrossTheRangeWithinTheResolution) {
    // 4000 tones from key 0 up to the range's end, spaced by an irrational step so that every
    // deviation from the keys occurs; the bend's steps are 0.0244 cent, the tuning's 0.0061.
    LastPiece piece;
    const long double low = std::log2(kMidiLowestFrequency);
    const long double high = std::log2(kMidiFrequencyLimit);
    for (int i = 0; i < 4000; ++i) {
        const long double f = std::exp2(low + (high - low) * i / 4000);
        piece.AppendToLastPiece(1 + i % 3, ChordFrequencies{{f}});
    }
    const struct {
        MidiTuning tuning;
        long double bound;
    } cases[] = {
        {MidiTuning::Bend, 0.0123L}, // half a bend step
        {MidiTuning::Mts, 0.0031L},  // half a tuning step
    };
    for (const auto& c : cases) {
        const MidiExport exported = ExportMidi(piece, Options(c.tuning));
        const test::NoteCheck check = CheckNotes(DecodeSmfBytes(exported.bytes), piece, c.bound);
        EXPECT_TRUE(check.problems.isEmpty()) << Joined(check.problems).toStdString();
        EXPECT_EQ(check.notes, 4000);
        EXPECT_LE(check.maxCents, c.bound);
        EXPECT_GT(check.maxCents, c.bound / 2); // the deviations do reach the resolution
    }
}

TEST(MidiFileOptions, ProgramAndTrackName) {
    const struct {
        QString name;
        QByteArray bytes; // the track name event's text; empty: no event
    } names[] = {
        {QStringLiteral("Kadenz"), "Kadenz"},
        {QStringLiteral("Mitteltönig F-Dur"), "Mittelt\xf6nig F-Dur"}, // Windows-1252
        {QStringLiteral("Ton 音"), "Ton \xe9\x9f\xb3"}, // UTF-8 where it does not fit
        {QString(), QByteArray()},
    };
    for (const auto& n : names) {
        for (const MidiTuning tuning : kMethods) {
            MidiOptions options = Options(tuning);
            options.program = 73;
            options.trackName = n.name;
            const DecodedPiece decoded = DecodeSmfBytes(ExportMidi(kCadence, options).bytes);
            EXPECT_EQ(decoded.trackNames, n.bytes.isEmpty() ? 0 : 1);
            EXPECT_EQ(decoded.trackName, n.bytes);
            for (const test::DecodedNote& note : decoded.notes) {
                EXPECT_EQ(decoded.channels[static_cast<std::size_t>(note.channel)].program, 73);
            }
        }
    }
    EXPECT_EQ(MidiOptions().program, 19); // the church organ by default
}

TEST(MidiFileOptions, OutOfRangeOptionsAreRefused) {
    const struct {
        int program;
        int quarter;
    } cases[] = {
        {-1, 50},
        {128, 50}, // programs 0 .. 127
        {19, 0},
        {19, 1678}, // quarters 1 .. 1677
    };
    for (const auto& c : cases) {
        MidiOptions options;
        options.program = c.program;
        options.quarterDauer = c.quarter;
        EXPECT_THROW(ExportMidi(kCadence, options), RangeError);
    }
}

TEST(MidiFileOptions, QuarterOfThePiecesTempo) {
    const struct {
        long long thirtySecond;
        int quarter;
    } cases[] = {
        {23, 184},   // tempo 80
        {1, 8},      // the fastest tempo that plays
        {209, 1672}, // the slowest quarter that fits
        {210, 50},   // beyond: the default
        {0, 50},     // a tempo so fast that nothing sounds
        {-23, 50},   // a negative tempo
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MidiQuarterDauer(c.thirtySecond), c.quarter) << c.thirtySecond;
    }
}

TEST(MidiFileOptions, TuningNames) {
    EXPECT_EQ(MidiTuningFromName(QStringLiteral("bend")), MidiTuning::Bend);
    EXPECT_EQ(MidiTuningFromName(QStringLiteral("mts")), MidiTuning::Mts);
    EXPECT_EQ(MidiTuningFromName(QStringLiteral("MTS")), std::nullopt);
    EXPECT_EQ(MidiTuningFromName(QString()), std::nullopt);
}

// Chords of `voices` tones, each chord with other deviations from the keys than the one before.
LastPiece ChangingChords(int voices, int chords) {
    LastPiece piece;
    for (int c = 0; c < chords; ++c) {
        ChordFrequencies f;
        for (int v = 0; v < voices; ++v) {
            f[v] = 110 * std::exp2((v * 5 + 0.13L * (c % 7) + 0.01L * v) / 12);
        }
        piece.AppendToLastPiece(10, f);
    }
    return piece;
}

TEST(MidiFileBend, OneChannelPerVoiceNeverTheDrums) {
    const LastPiece piece = ChangingChords(8, 40);
    const DecodedPiece decoded = ExpectExact(piece, Options(MidiTuning::Bend));
    std::set<int> channels;
    for (const test::DecodedNote& note : decoded.notes) {
        channels.insert(note.channel);
    }
    EXPECT_EQ(channels.size(), 15u);
    EXPECT_FALSE(channels.contains(9));
    // Each used channel: one program change and the range of ±2 semitones, set once before its
    // first note; no bend changes under a sounding note.
    for (const int channel : channels) {
        const test::ChannelRecord& record = decoded.channels[static_cast<std::size_t>(channel)];
        EXPECT_EQ(record.programChanges, 1) << channel;
        EXPECT_EQ(record.bendRangeSettings, 1) << channel;
        EXPECT_EQ(record.bendRange, 2) << channel;
        EXPECT_EQ(record.bendChangesWhileSounding, 0) << channel;
    }
    EXPECT_EQ(decoded.channels[9].programChanges, 0);
}

TEST(MidiFileBend, ReleasedNotesKeepTheirBendWhileChannelsAreFree) {
    // With up to seven voices the next chord finds channels that have been free a whole chord;
    // eight voices twice are sixteen, one more than there are: one channel per change of chord
    // must be bent again at once.
    const struct {
        int voices;
        std::size_t rebentAtRelease; // per change of chord
    } cases[] = {{1, 0}, {4, 0}, {7, 0}, {8, 1}};
    for (const auto& c : cases) {
        const int chords = 30;
        const DecodedPiece decoded =
            ExpectExact(ChangingChords(c.voices, chords), Options(MidiTuning::Bend));
        std::size_t rebent = 0;
        for (const test::ChannelRecord& record : decoded.channels) {
            rebent += record.bendChangesAtRelease.size();
        }
        EXPECT_EQ(rebent, c.rebentAtRelease * (chords - 1)) << c.voices << " voices";
    }
}

TEST(MidiFileBend, AChannelWhoseBendFitsIsTakenWithoutAMessage) {
    // The same chord four times: the bends are sent for the first only.
    const LastPiece piece = Piece({{10, {261, 331, 393}},
                                   {10, {261, 331, 393.5}},
                                   {10, {261, 331, 393}},
                                   {10, {261, 331, 393.5}}});
    const QByteArray bytes = ExportMidi(piece, Options(MidiTuning::Bend)).bytes;
    int bends = 0;
    for (const test::SmfEvent& event : ReadSmf(bytes).events) {
        bends += (static_cast<unsigned char>(event.bytes.at(0)) & 0xF0) == 0xE0;
    }
    EXPECT_EQ(bends, 4); // three for the first chord, one for 393.5 Hz
    ExpectExact(piece, Options(MidiTuning::Bend));
}

TEST(MidiFileMts, OneChannelTunedBeforeItsNotes) {
    const DecodedPiece decoded = ExpectExact(ChangingChords(8, 12), Options(MidiTuning::Mts));
    for (const test::DecodedNote& note : decoded.notes) {
        EXPECT_EQ(note.channel, 0);
    }
    const test::ChannelRecord& channel = decoded.channels[0];
    EXPECT_EQ(channel.tuningBank, 0);
    EXPECT_EQ(channel.tuningProgram, 0);
    EXPECT_EQ(channel.bendRangeSettings, 0);
    EXPECT_EQ(decoded.realTimeTuning, 0); // the non-real-time form only
    EXPECT_EQ(decoded.tuningMessages, 12);
    // The first tuning message defines the program the channel then selects.
    EXPECT_EQ(decoded.firstTuningAt, 0);
    EXPECT_EQ(channel.tuningSelectedAt, 0);
    EXPECT_EQ(decoded.firstNoteAt, 0);
}

TEST(MidiFileMts, OnlyChangedKeysAreRetuned) {
    const LastPiece piece = Piece({{10, {264, 330, 396}},
                                   {10, {264, 330, 396}}, // repeated: re-struck, no message
                                   {10, {264, 330, 391.1L}},
                                   {10, {260.7L, 330, 396}}});
    const DecodedPiece decoded = ExpectExact(piece, Options(MidiTuning::Mts));
    EXPECT_EQ(decoded.tuningMessages, 3);
}

TEST(MidiFileMts, VoicesOnOneNearestKeyTakeTheClosestFreeKeys) {
    const struct {
        const char* what;
        std::vector<long double> chord;
        std::vector<int> keys;
    } cases[] = {
        // c1 and c1 a comma higher (21.5 cents): both nearest to key 60; the higher one moves up.
        {"comma", {261.6256L, 261.6256L * 81 / 80}, {60, 61}},
        // A comma lower moves down.
        {"comma lower", {261.6256L, 261.6256L * 80 / 81}, {60, 59}},
        // One tone three times: on 60, and on either side.
        {"thrice", {261.6256L, 261.6256L, 261.6256L}, {60, 61, 59}},
        // At the top of the range the free key lies below.
        {"top", {12543.85L, 12543.85L * 81 / 80}, {127, 126}},
    };
    for (const auto& c : cases) {
        LastPiece piece;
        ChordFrequencies f;
        for (std::size_t i = 0; i < c.chord.size(); ++i) {
            f[static_cast<int>(i)] = c.chord[i];
        }
        piece.AppendToLastPiece(10, f);
        const DecodedPiece decoded = ExpectExact(piece, Options(MidiTuning::Mts));
        std::vector<int> keys;
        for (const test::DecodedNote& note : decoded.notes) {
            keys.push_back(note.key);
        }
        EXPECT_EQ(keys, c.keys) << c.what;
    }
}

TEST(MidiFileEmpty, AnEmptyPieceIsRefusedAndNoFileWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("leer.mid"));
    const LastPiece empty;
    const LastPiece silent = Piece({{0, {440}}, {0, {}}});
    for (const LastPiece* piece : {&empty, &silent}) {
        for (const MidiTuning tuning : kMethods) {
            try {
                WriteMidiFile(path, *piece, Options(tuning));
                ADD_FAILURE() << "no error";
            } catch (const Error& error) {
                EXPECT_TRUE(error.message().startsWith(QStringLiteral("Das Stück ist leer")))
                    << error.message().toStdString();
            }
            EXPECT_FALSE(QFile::exists(path));
        }
    }
}

TEST(MidiFileEmpty, ATimeBetweenEventsBeyondTheFormatIsRefused) {
    // 746 rests of an hour each (with the short rests the last piece puts between them) lie
    // beyond the 745.65 hours a delta time can hold; one fewer hour still fits.
    const struct {
        int hours;
        bool fits;
    } cases[] = {{745, true}, {746, false}};
    for (const auto& c : cases) {
        LastPiece piece;
        piece.AppendToLastPiece(10, ChordFrequencies{{440}});
        for (int i = 0; i < c.hours; ++i) {
            piece.AppendToLastPiece(360000, ChordFrequencies{});
        }
        piece.AppendToLastPiece(10, ChordFrequencies{{440}});
        for (const MidiTuning tuning : kMethods) {
            if (c.fits) {
                ExpectExact(piece, Options(tuning));
            } else {
                try {
                    ExportMidi(piece, Options(tuning));
                    ADD_FAILURE() << c.hours << " hours: no error";
                } catch (const Error& error) {
                    EXPECT_TRUE(error.message().startsWith(
                        QStringLiteral("Das Stück ist zu lang für eine MIDI-Datei")))
                        << error.message().toStdString();
                }
            }
        }
    }
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(MidiFileWrite, ReplacesTheWholeFileOrNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stueck.mid"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x')); // longer than the new file: nothing of it may remain
    }
    // A refused piece leaves the old file as it was.
    EXPECT_THROW(WriteMidiFile(path, LastPiece(), MidiOptions()), Error);
    EXPECT_EQ(FileBytes(path), QByteArray(5000, 'x'));
    // A written piece replaces it completely.
    const MidiExport written = WriteMidiFile(path, kCadence, MidiOptions());
    EXPECT_EQ(FileBytes(path), written.bytes);
    EXPECT_EQ(written.bytes, ExportMidi(kCadence, MidiOptions()).bytes);
    // A path that cannot be written: a German message naming it, and no file.
    const struct {
        const char* what;
        QString path;
        QString message;
    } unwritable[] = {
        {"missing folder", dir.filePath(QStringLiteral("fehlt/stueck.mid")),
         QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden: ")},
        {"a folder", dir.path(),
         QStringLiteral("\"%1\" ist keine gewöhnliche Datei (ein Ordner, eine Pipe oder ein "
                        "Gerät) und wird nicht überschrieben.")},
    };
    for (const auto& u : unwritable) {
        try {
            WriteMidiFile(u.path, kCadence, MidiOptions());
            ADD_FAILURE() << u.what << ": no error";
        } catch (const FileError& error) {
            EXPECT_TRUE(error.message().startsWith(u.message.arg(u.path)))
                << error.message().toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("fehlt"))));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("stueck.mid")});
}

} // namespace
} // namespace zk
