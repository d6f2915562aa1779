// SPDX-License-Identifier: GPL-3.0-or-later
// The slicer on scores built here: a row for every stretch between two note boundaries with the
// tones that sound through it, rests, crowded chords thinned to the table's eight slots, the key
// column, and the properties every slicing must have, over generated scores.
#include "exchange/score_slicer.h"

#include "common/qt_printers.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace zk {
namespace {

SpelledPitch Pitch(const char* name) {
    static const QRegularExpression pattern(QStringLiteral("^([A-G])(#*|b*)(-?[0-9]+)$"));
    const auto match = pattern.match(QString::fromUtf8(name));
    EXPECT_TRUE(match.hasMatch()) << name;
    SpelledPitch pitch;
    pitch.step = static_cast<int>(QStringLiteral("CDEFGAB").indexOf(match.captured(1)));
    const QString accidentals = match.captured(2);
    pitch.alter =
        static_cast<int>(accidentals.startsWith(u'b') ? -accidentals.size() : accidentals.size());
    pitch.octave = match.captured(3).toInt();
    return pitch;
}

QString Name(const SpelledPitch& pitch) {
    return QChar(u"CDEFGAB"[pitch.step]) +
           QString(std::abs(pitch.alter), pitch.alter > 0 ? u'#' : u'b') +
           QString::number(pitch.octave);
}

QString Time(const Rational& time) {
    return time.Denominator() == 1
               ? QString::number(time.Numerator())
               : QStringLiteral("%1/%2").arg(time.Numerator()).arg(time.Denominator());
}

// A note as the tests write it: pitch, start, end, part, voice.
struct N {
    const char* pitch;
    Rational start;
    Rational end;
    int part = 0;
    const char* voice = "1";
};

struct K {
    const char* tonic;
    Rational time;
};

// A score of these notes, each on a line of its own in the order given, ending at `end`.
Score MakeScore(const std::vector<N>& notes, Rational end, const std::vector<K>& keys = {}) {
    Score score;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        ScoreNote note;
        note.pitch = Pitch(notes[i].pitch);
        note.start = notes[i].start;
        note.end = notes[i].end;
        note.part = notes[i].part;
        note.voice = QString::fromUtf8(notes[i].voice);
        note.place.line = static_cast<qint64>(i) + 1;
        note.place.column = 1;
        score.notes.push_back(note);
    }
    // As the reader hands them on: by start, then part, then file order.
    std::stable_sort(score.notes.begin(), score.notes.end(),
                     [](const ScoreNote& a, const ScoreNote& b) {
                         return a.start != b.start ? a.start < b.start : a.part < b.part;
                     });
    for (const K& key : keys) {
        score.keys.push_back({key.time, Pitch(key.tonic)});
    }
    score.end = end;
    return score;
}

QString TonesText(const std::vector<SlicedTone>& tones) {
    QStringList names;
    for (const SlicedTone& tone : tones) {
        names.append(Name(tone.pitch));
    }
    return names.join(u' ');
}

// "0..2 G C4 E4": start and end in quarters, the key written into the row ("-" for none, the
// letter without octave otherwise), the tones lowest first or "rest".
QString RowLine(const ScoreRow& row) {
    QString key = QStringLiteral("-");
    if (row.key) {
        key = Name(*row.key);
        key.chop(QString::number(row.key->octave).size());
    }
    return QStringLiteral("%1..%2 %3 %4")
        .arg(Time(row.start), Time(row.start + row.length), key,
             row.tones.empty() ? QStringLiteral("rest") : TonesText(row.tones));
}

QStringList RowLines(const std::vector<ScoreRow>& rows) {
    QStringList lines;
    for (const ScoreRow& row : rows) {
        lines.append(RowLine(row));
    }
    return lines;
}

// ---------------------------------------------------------------------------------------------
// Rows and rests

TEST(SliceRows, OneRowForEveryChange) {
    const Rational third(1, 3);
    const Rational twoThirds(2, 3);
    const struct {
        const char* what;
        Score score;
        QStringList rows;
    } cases[] = {
        // Silence before the first note and after the last, up to the score's end.
        {"leading and trailing rest",
         MakeScore({{"C4", 1, 2}}, 4),
         {"0..1 C rest", "1..2 - C4", "2..4 - rest"}},
        // A held bass under a moving voice: the bass in every row.
        {"held note under a melody",
         MakeScore({{"E4", 0, 1}, {"F4", 1, 2}, {"G4", 2, 3}, {"A4", 3, 4}, {"C3", 0, 4, 1}}, 4),
         {"0..1 C C3 E4", "1..2 - C3 F4", "2..3 - C3 G4", "3..4 - C3 A4"}},
        // A rest in the melody over the held bass is a row of the bass alone.
        {"held note through a rest",
         MakeScore({{"E4", 0, 1}, {"G4", 2, 4}, {"C3", 0, 4, 1}}, 4),
         {"0..1 C C3 E4", "1..2 - C3", "2..4 - C3 G4"}},
        // Two parts in different rhythms cut each other's rows: triplets against eighths.
        {"triplets against a half",
         MakeScore({{"C5", 0, third},
                    {"D5", third, twoThirds},
                    {"E5", twoThirds, 1},
                    {"G3", 0, Rational(1, 2), 1},
                    {"A3", Rational(1, 2), 1, 1}},
                   1),
         {"0..1/3 C G3 C5", "1/3..1/2 - G3 D5", "1/2..2/3 - A3 D5", "2/3..1 - A3 E5"}},
        // Two voices on one pitch are two tones.
        {"unison",
         MakeScore({{"C4", 0, 2, 0, "1"}, {"C4", 0, 1, 0, "2"}}, 2),
         {"0..1 C C4 C4", "1..2 - C4"}},
        // A note of no length marks no row: the rest around it stays one.
        {"rests merge",
         MakeScore({{"C4", 0, 1}, {"E4", 2, 2}, {"D4", 3, 4}}, 4),
         {"0..1 C C4", "1..3 - rest", "3..4 - D4"}},
        {"leading rests merge",
         MakeScore({{"E4", 1, 1}, {"D4", 2, 3}}, 3),
         {"0..2 C rest", "2..3 - D4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RowLines(SliceScore(c.score)), c.rows);
    }
}

TEST(SliceRows, UnisonsKeepThePartsOrder) {
    // The upper part's C4 begins earlier in the file than the lower part's, but the lower part
    // comes first in the score: its tone is the first of the two.
    const Score score = MakeScore({{"C4", 0, 1, 1, "1"}, {"C4", 0, 1, 0, "2"}, {"G3", 0, 1, 1}}, 1);
    const std::vector<ScoreRow> rows = SliceScore(score);
    ASSERT_EQ(rows.size(), 1U);
    ASSERT_EQ(rows[0].tones.size(), 3U);
    EXPECT_EQ(rows[0].tones[1].part, 0);
    EXPECT_EQ(rows[0].tones[1].voice, QStringLiteral("2"));
    EXPECT_EQ(rows[0].tones[2].part, 1);
}

// ---------------------------------------------------------------------------------------------
// Crowded rows

// One chord of these pitches (each in a voice of its own) lasting a quarter.
Score ChordScore(const std::vector<const char*>& pitches) {
    std::vector<N> notes;
    for (std::size_t i = 0; i < pitches.size(); ++i) {
        notes.push_back({pitches[i], 0, 1, static_cast<int>(i / 4), i % 2 == 0 ? "1" : "2"});
    }
    return MakeScore(notes, 1);
}

TEST(SliceCrowded, ThinsToEightKeepingTheOuterTones) {
    const struct {
        const char* what;
        std::vector<const char*> chord;
        QString kept;
        QString dropped;
    } cases[] = {
        // Eight tones stay as they are.
        {"eight",
         {"C3", "G3", "E4", "Bb4", "D5", "F#5", "A5", "C#6"},
         "C3 G3 E4 Bb4 D5 F#5 A5 C#6",
         ""},
        // A unison goes first, however far its neighbours.
        {"unison",
         {"C2", "C3", "G3", "C4", "E4", "G4", "G4", "Bb4", "E5"},
         "C2 C3 G3 C4 E4 G4 Bb4 E5",
         "G4"},
        // Then an octave doubling, before the two tones a semitone apart.
        {"pitch class",
         {"C3", "G3", "E4", "F4", "A4", "C5", "D5", "B5", "F#6"},
         "C3 G3 E4 F4 A4 D5 B5 F#6",
         "C5"},
        // Twelve tones of twelve pitch classes over five octaves: each time the inner tone
        // nearest to a neighbour goes, the higher on a tie, so the registers stay filled.
        {"twelve spread",
         {"C2", "G2", "E3", "Bb3", "D4", "F#4", "A4", "C#5", "Eb5", "Ab5", "B5", "F6"},
         "C2 G2 E3 Bb3 D4 C#5 Ab5 F6",
         "F#4 A4 Eb5 B5"},
        // Unisons in the middle and at the top, every pitch class doubled: the unisons go
        // first (the higher one of a pair), then the octave doublings nearest a neighbour.
        {"doublings of every kind",
         {"C2", "C3", "E3", "G3", "C4", "C4", "E4", "G4", "C5", "E5", "G5", "G5"},
         "C2 C3 E3 G3 C4 E4 C5 G5",
         "C4 G4 E5 G5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<ScoreRow> rows = SliceScore(ChordScore(c.chord));
        ASSERT_EQ(rows.size(), 1U);
        EXPECT_EQ(TonesText(rows[0].tones), c.kept);
        EXPECT_EQ(TonesText(rows[0].dropped), c.dropped);
        EXPECT_EQ(rows[0].tones.size(), std::min<std::size_t>(c.chord.size(), 8));
        EXPECT_EQ(rows[0].tones.size() + rows[0].dropped.size(), c.chord.size());
    }
}

TEST(SliceCrowded, TheUnisonLeftOutIsTheLaterOne) {
    // Of two G4 in parts 0 and 2, the one in part 2 (the higher of the two in the row's order) is
    // dropped, with its part and voice.
    const std::vector<ScoreRow> rows =
        SliceScore(ChordScore({"C2", "C3", "G4", "C4", "E4", "G3", "Bb4", "E5", "G4"}));
    ASSERT_EQ(rows.size(), 1U);
    ASSERT_EQ(rows[0].dropped.size(), 1U);
    EXPECT_EQ(Name(rows[0].dropped[0].pitch), QStringLiteral("G4"));
    EXPECT_EQ(rows[0].dropped[0].part, 2);
    ASSERT_EQ(TonesText(rows[0].tones), QStringLiteral("C2 C3 G3 C4 E4 G4 Bb4 E5"));
    EXPECT_EQ(rows[0].tones[5].part, 0);
}

TEST(SliceCrowded, ClassesAreWeighedAfterEveryRemoval) {
    // With four slots: E4 goes as a doubling (nearest, higher on a tie); then E3 is no doubling
    // any more, and G3 goes.
    SliceOptions options;
    options.maxTones = 4;
    const std::vector<ScoreRow> rows =
        SliceScore(ChordScore({"C3", "E3", "G3", "C4", "E4", "G4"}), options);
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_EQ(TonesText(rows[0].tones), QStringLiteral("C3 E3 C4 G4"));
    EXPECT_EQ(TonesText(rows[0].dropped), QStringLiteral("G3 E4"));
}

TEST(SliceCrowded, EachRowIsThinnedOnItsOwn) {
    // Nine tones only while the top voice sounds; the row after it keeps all eight others.
    std::vector<N> notes;
    const char* lower[] = {"C3", "G3", "C4", "E4", "G4", "Bb4", "D5", "F5"};
    for (const char* pitch : lower) {
        notes.push_back({pitch, 0, 2});
    }
    notes.push_back({"A5", 0, 1, 1});
    const std::vector<ScoreRow> rows = SliceScore(MakeScore(notes, 2));
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[0].tones.size(), 8U);
    EXPECT_EQ(rows[0].dropped.size(), 1U);
    EXPECT_EQ(TonesText(rows[1].tones), QStringLiteral("C3 G3 C4 E4 G4 Bb4 D5 F5"));
    EXPECT_TRUE(rows[1].dropped.empty());
}

// ---------------------------------------------------------------------------------------------
// The key column

TEST(SliceKeys, GoIntoTheRowsWhereTheyTakeEffect) {
    const std::vector<N> four = {{"C4", 0, 1}, {"D4", 1, 2}, {"E4", 2, 3}, {"F4", 3, 4}};
    const struct {
        const char* what;
        Score score;
        QStringList rows;
    } cases[] = {
        // Without a signature the first row says C, and no other row anything.
        {"none", MakeScore(four, 4), {"0..1 C C4", "1..2 - D4", "2..3 - E4", "3..4 - F4"}},
        {"from the start",
         MakeScore(four, 4, {{"G4", 0}}),
         {"0..1 G C4", "1..2 - D4", "2..3 - E4", "3..4 - F4"}},
        // A signature during the opening rest, before the first note, is the first row's.
        {"in the opening rest",
         MakeScore({{"C4", 2, 4}}, 4, {{"F4", 1}}),
         {"0..2 F rest", "2..4 - C4"}},
        // A signature where the first note begins, after an opening rest: the first row's too.
        {"with the first note",
         MakeScore({{"C4", 2, 4}}, 4, {{"F4", 2}}),
         {"0..2 F rest", "2..4 - C4"}},
        // The first signature comes after the first note: the music begins in C.
        {"after the first note",
         MakeScore(four, 4, {{"D4", 2}}),
         {"0..1 C C4", "1..2 - D4", "2..3 D E4", "3..4 - F4"}},
        // A change between two row starts goes into the next row.
        {"between rows",
         MakeScore({{"C4", 0, 2}, {"D4", 2, 4}}, 4, {{"C4", 0}, {"A4", 1}}),
         {"0..2 C C4", "2..4 A D4"}},
        // A change inside a chord held over it waits for the next row.
        {"inside a held chord",
         MakeScore({{"C4", 0, 4}, {"E4", 0, 4}, {"D4", 4, 5}}, 5, {{"C4", 0}, {"G4", 2}}),
         {"0..4 C C4 E4", "4..5 G D4"}},
        // The same tonic again writes nothing.
        {"unchanged",
         MakeScore(four, 4, {{"G4", 0}, {"G4", 2}}),
         {"0..1 G C4", "1..2 - D4", "2..3 - E4", "3..4 - F4"}},
        // C after C in force from the start writes nothing either.
        {"unchanged C",
         MakeScore(four, 4, {{"C4", 2}}),
         {"0..1 C C4", "1..2 - D4", "2..3 - E4", "3..4 - F4"}},
        // There and back: each change is written.
        {"there and back",
         MakeScore(four, 4, {{"G4", 0}, {"D4", 1}, {"G4", 3}}),
         {"0..1 G C4", "1..2 D D4", "2..3 - E4", "3..4 G F4"}},
        // A change in the last held chord has no row to go into.
        {"no row left", MakeScore({{"C4", 0, 4}}, 4, {{"Bb4", 0}, {"Eb4", 2}}), {"0..4 Bb C4"}},
        // F sharp after F is a new tonic, though the letter stays.
        {"same letter, another alteration",
         MakeScore(four, 4, {{"F4", 0}, {"F#4", 2}, {"F4", 3}}),
         {"0..1 F C4", "1..2 - D4", "2..3 F# E4", "3..4 F F4"}},
        // An enharmonic respelling is a new tonic.
        {"respelled",
         MakeScore(four, 4, {{"F#4", 0}, {"Gb4", 2}}),
         {"0..1 F# C4", "1..2 - D4", "2..3 Gb E4", "3..4 - F4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RowLines(SliceScore(c.score)), c.rows);
    }
}

// ---------------------------------------------------------------------------------------------
// Properties over generated scores

// A score of 1 to 4 parts with 1 to 3 voices each; each voice a sequence of notes, chords and
// rests on a grid of twelfths of a quarter (so that triplets meet sixteenths), up to 18 tones at
// once, and sometimes silence after the last note.
Score RandomScore(std::mt19937& random) {
    const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    static const char* const pitches[] = {"C2",  "G2", "D3",  "A3", "E3",  "C4",  "C4",
                                          "Eb4", "E4", "F#4", "G4", "G4",  "Bb4", "C5",
                                          "D5",  "F5", "A5",  "C6", "B#3", "Cb4"};
    std::vector<N> notes;
    Rational last = 0;
    const int parts = 1 + below(4);
    for (int part = 0; part < parts; ++part) {
        const int voices = 1 + below(3);
        for (int v = 0; v < voices; ++v) {
            static const char* const voiceNames[] = {"1", "2", "3"};
            Rational time(below(3), 12);
            const int events = below(7);
            for (int e = 0; e < events; ++e) {
                const Rational length(1 + below(12), 12);
                if (below(4) == 0) {
                    time += length; // a rest
                    continue;
                }
                const int chord = 1 + (below(3) == 0 ? below(3) : 0);
                for (int k = 0; k < chord; ++k) {
                    notes.push_back({pitches[below(20)], time, time + length, part, voiceNames[v]});
                }
                time += length;
                last = Max(last, time);
            }
        }
    }
    const Rational end = last + Rational(below(2) * below(12), 12);
    return MakeScore(notes, end);
}

bool SameNote(const SlicedTone& tone, const ScoreNote& note) {
    return tone.line == note.place.line && tone.column == note.place.column &&
           tone.part == note.part && tone.voice == note.voice && tone.pitch == note.pitch;
}

TEST(SliceProperties, HoldForGeneratedScores) {
    std::mt19937 random(20240611);
    int crowded = 0;
    for (int n = 0; n < 400; ++n) {
        const Score score = RandomScore(random);
        SCOPED_TRACE(n);
        const std::vector<ScoreRow> rows = SliceScore(score);
        if (score.end.IsZero()) {
            continue; // nothing but rests of no length: nothing to say
        }
        ASSERT_FALSE(rows.empty());
        EXPECT_TRUE(rows.front().key.has_value());
        Rational at = 0;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const ScoreRow& row = rows[r];
            const Rational rowEnd = row.start + row.length;
            // The rows follow each other without gap or overlap, none empty.
            EXPECT_EQ(row.start, at) << r;
            EXPECT_GT(row.length, Rational(0)) << r;
            at = rowEnd;
            if (r > 0) {
                EXPECT_FALSE(row.tones.empty() && rows[r - 1].tones.empty())
                    << "two rests in a row at " << r;
                EXPECT_FALSE(row.key.has_value()) << r << ": no signature in the score";
            }
            EXPECT_LE(row.tones.size(), 8U);
            EXPECT_TRUE(std::is_sorted(row.tones.begin(), row.tones.end(),
                                       [](const SlicedTone& a, const SlicedTone& b) {
                                           return a.pitch.MidiKey() < b.pitch.MidiKey();
                                       }))
                << r;
            // No note begins or ends inside a row; a row has exactly the notes sounding through it.
            std::vector<const ScoreNote*> sounding;
            for (const ScoreNote& note : score.notes) {
                EXPECT_FALSE(note.start > row.start && note.start < rowEnd) << r;
                EXPECT_FALSE(note.end > row.start && note.end < rowEnd) << r;
                if (note.start <= row.start && note.end >= rowEnd && note.end > note.start) {
                    sounding.push_back(&note);
                }
            }
            std::vector<SlicedTone> all = row.tones;
            all.insert(all.end(), row.dropped.begin(), row.dropped.end());
            EXPECT_EQ(all.size(), sounding.size()) << r;
            for (const SlicedTone& tone : all) {
                const bool found =
                    std::any_of(sounding.begin(), sounding.end(),
                                [&](const ScoreNote* note) { return SameNote(tone, *note); });
                EXPECT_TRUE(found) << r << ": " << Name(tone.pitch).toStdString()
                                   << " does not sound through the row";
            }
            for (const ScoreNote* note : sounding) {
                const auto matches =
                    std::count_if(all.begin(), all.end(),
                                  [&](const SlicedTone& tone) { return SameNote(tone, *note); });
                EXPECT_EQ(matches, 1) << r << ": " << Name(note->pitch).toStdString();
            }
            // Thinning keeps the outer tones of what sounds.
            if (!row.dropped.empty()) {
                ++crowded;
                EXPECT_EQ(row.tones.size(), 8U) << r;
                int lowest = 1000;
                int highest = -1000;
                for (const ScoreNote* note : sounding) {
                    lowest = std::min(lowest, note->pitch.MidiKey());
                    highest = std::max(highest, note->pitch.MidiKey());
                }
                EXPECT_EQ(row.tones.front().pitch.MidiKey(), lowest) << r;
                EXPECT_EQ(row.tones.back().pitch.MidiKey(), highest) << r;
            }
        }
        EXPECT_EQ(at, score.end) << "the rows last as long as the score";
    }
    EXPECT_GT(crowded, 10) << "the generated scores should also crowd some rows";
}

} // namespace
} // namespace zk
