// SPDX-License-Identifier: GPL-3.0-or-later
// Pieces computed by the pass, written as MIDI files and read back: every note at its frequency to
// 0.05 cent, at its time to the tick, with both tuning methods.
#include "exchange/midi_file.h"
#include "exchange/piece_notes.h"
#include "exchange/played_pieces.h"
#include "exchange/smf_reader.h"

#include "app/example_library.h"
#include "common/piece_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

namespace zk {
namespace {

using test::Row;

constexpr long double kTolerance = 0.05L; // cents
constexpr MidiTuning kMethods[] = {MidiTuning::Bend, MidiTuning::Mts};

// The largest deviations seen, per method, printed at the end of each test that gathers them.
struct LargestDeviation {
    long double bend = 0;
    long double mts = 0;

    void Print(const char* what) const {
        std::cout << "largest deviation (" << what << "): bend " << static_cast<double>(bend)
                  << " cent, mts " << static_cast<double>(mts) << " cent\n";
    }
};

// Writes the piece with both methods and checks every note; returns the number of notes.
int ExpectExactNotes(const LastPiece& piece, const std::string& what, LargestDeviation& largest) {
    int notes = -1;
    for (const MidiTuning tuning : kMethods) {
        MidiOptions options;
        options.tuning = tuning;
        const MidiExport exported = ExportMidi(piece, options);
        const test::NoteCheck check =
            test::CheckNotes(test::DecodeSmfBytes(exported.bytes), piece, kTolerance);
        EXPECT_TRUE(check.problems.isEmpty())
            << what << (tuning == MidiTuning::Bend ? " bend: " : " mts: ")
            << check.problems.join(QStringLiteral("; ")).toStdString();
        long double& worst = tuning == MidiTuning::Bend ? largest.bend : largest.mts;
        worst = std::max(worst, check.maxCents);
        EXPECT_EQ(exported.leftOut, test::UnwritableTones(piece)) << what;
        notes = check.notes;
    }
    return notes;
}

int MostVoices(const LastPiece& piece) {
    int most = 0;
    for (const ChordRecord& record : piece.Records()) {
        int voices = 0;
        while (voices < ChordFrequencies::kSlots && record.frequencies[voices] != 0) {
            ++voices;
        }
        most = std::max(most, voices);
    }
    return most;
}

// The rests of Dauer 1 the last piece puts before a re-struck top tone.
int RestrikeRests(const LastPiece& piece) {
    return static_cast<int>(std::count_if(
        piece.Records().begin(), piece.Records().end(), [](const ChordRecord& record) {
            return record.dauer == 1 && record.frequencies == ChordFrequencies{};
        }));
}

TEST(MidiPieces, PiecesOfThePassAreWrittenExactly) {
    const struct {
        const char* what;
        QString text;
        QString pitch;
        QString tempo;
        int voices;   // the most voices of a chord
        int restrike; // rests before re-struck top tones
    } cases[] = {
        // A cadence in just intonation.
        {"cadence",
         Row("c", "8", "ce1gc1") + Row("", "8", "fac1f1") + Row("", "8", "gd1gh") +
             Row("", "16", "ce1gc1"),
         QStringLiteral("440"), QStringLiteral("80"), 4, 0},
        // Chords of eight voices, the second repeating the first (its top tone re-struck).
        {"eight voices",
         Row("c", "8", "CGcegc1e1g1") + Row("", "8", "CGcegc1e1g1") + Row("f", "8", "FCfacf1a1c2"),
         QStringLiteral("440"), QStringLiteral("80"), 8, 1},
        // Rests and repeated top tones: two rests in a row are kept apart as well.
        {"rests",
         Row("c", "8", "ceg") + Row("", "8", "ceg") + Row("", "4", "") + Row("", "4", "") +
             Row("", "2", "eg") + Row("", "6", "ceg"),
         QStringLiteral("440"), QStringLiteral("80"), 3, 3},
        // Temperament rows: meantone, equal temperament, a comma modifier in between.
        {"temperaments",
         Row("ma", "8", "a1c#e1") + Row("~c", "8", "ceg") + Row("c", "8", "c*e-g") +
             Row("mf", "8", "e2g#h"),
         QStringLiteral("440"), QStringLiteral("80"), 3, 0},
        // Another concert pitch and tempo.
        {"pitch and tempo", Row("c", "8", "ceg") + Row("", "3", "fac1"), QStringLiteral("415"),
         QStringLiteral("120"), 3, 0},
    };
    LargestDeviation largest;
    for (const auto& c : cases) {
        const LastPiece piece = test::PlayedText(c.text, c.pitch, c.tempo);
        ASSERT_FALSE(piece.empty()) << c.what;
        EXPECT_EQ(MostVoices(piece), c.voices) << c.what;
        EXPECT_EQ(RestrikeRests(piece), c.restrike) << c.what;
        EXPECT_GT(ExpectExactNotes(piece, c.what, largest), 0) << c.what;
    }
    largest.Print("pieces");
}

TEST(MidiPieces, EveryExampleIsWrittenExactly) {
    LargestDeviation largest;
    int examples = 0;
    int notes = 0;
    for (const QString& caption : ExampleCaptions()) {
        const LastPiece piece = test::PlayedExample(caption);
        if (piece.empty()) {
            continue; // a text without a piece
        }
        ++examples;
        notes += ExpectExactNotes(piece, caption.toStdString(), largest);
    }
    EXPECT_GE(examples, 25);
    EXPECT_GT(notes, 1000);
    std::cout << examples << " examples, " << notes << " notes each way\n";
    largest.Print("examples");
}

TEST(MidiPieces, AThousandRows) {
    const LastPiece piece = test::PlayedText(test::ThousandRowPiece());
    EXPECT_GE(piece.size(), 1000u);
    EXPECT_EQ(MostVoices(piece), 8);
    LargestDeviation largest;
    EXPECT_GT(ExpectExactNotes(piece, "1000 rows", largest), 3900);
    largest.Print("1000 rows");
}

} // namespace
} // namespace zk
