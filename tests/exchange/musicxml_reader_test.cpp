// SPDX-License-Identifier: GPL-3.0-or-later
// The MusicXML reader on small scores written here: exact time from the cursor of each part,
// measures aligned across parts, transposing instruments at sounding pitch, ties, what is left
// out and counted, tempo, title and key signatures, both document kinds, the remarks it makes
// about what it passes over, and the documents it refuses or must read without harm.
#include "exchange/musicxml_reader.h"

#include "common/locale_guard.h"
#include "common/qt_printers.h"
#include "common/time_limit.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace zk {
namespace {

// ---------------------------------------------------------------------------------------------
// Writing scores

// A pitch as the tests write it ("C#4", "Bb3", "Ebb5", "F##2"), as MusicXML's <pitch>.
QString PitchXml(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^([A-G])(#*|b*)(-?[0-9]+)$"));
    const auto match = pattern.match(name);
    EXPECT_TRUE(match.hasMatch()) << name.toStdString();
    const QString accidentals = match.captured(2);
    const auto alter =
        static_cast<int>(accidentals.startsWith(u'b') ? -accidentals.size() : accidentals.size());
    QString xml = QStringLiteral("<pitch><step>%1</step>").arg(match.captured(1));
    if (alter != 0) {
        xml += QStringLiteral("<alter>%1</alter>").arg(alter);
    }
    return xml + QStringLiteral("<octave>%1</octave></pitch>").arg(match.captured(3));
}

// A pitched note of `duration` divisions. `after` follows the duration (<tie>, <voice>, <type>,
// <staff>, <notations>), `before` comes ahead of the pitch (<grace/>, <cue/>, <chord/>).
QString Note(const QString& pitch, const QString& duration, const QString& after = {},
             const QString& before = {}) {
    return QStringLiteral("<note>%1%2<duration>%3</duration>%4</note>")
        .arg(before, PitchXml(pitch), duration, after);
}
QString Note(const QString& pitch, int duration, const QString& after = {},
             const QString& before = {}) {
    return Note(pitch, QString::number(duration), after, before);
}
QString Chord(const QString& pitch, int duration, const QString& after = {}) {
    return Note(pitch, duration, after, QStringLiteral("<chord/>"));
}
QString Rest(int duration, const QString& after = {}) {
    return QStringLiteral("<note><rest/><duration>%1</duration>%2</note>").arg(duration).arg(after);
}
QString Backup(int duration) {
    return QStringLiteral("<backup><duration>%1</duration></backup>").arg(duration);
}
QString Forward(int duration) {
    return QStringLiteral("<forward><duration>%1</duration></forward>").arg(duration);
}
QString Voice(const char* voice) {
    return QStringLiteral("<voice>%1</voice>").arg(QLatin1String(voice));
}
QString Divisions(int divisions) {
    return QStringLiteral("<attributes><divisions>%1</divisions></attributes>").arg(divisions);
}
QString Key(int fifths) {
    return QStringLiteral("<attributes><key><fifths>%1</fifths></key></attributes>").arg(fifths);
}
// A <transpose> element (not wrapped in <attributes>); `diatonic` left out when it is nullptr.
QString Transpose(const char* diatonic, int chromatic, int octaveChange = 0,
                  const QString& attributes = {}) {
    QString xml = QStringLiteral("<transpose%1>").arg(attributes);
    if (diatonic != nullptr) {
        xml += QStringLiteral("<diatonic>%1</diatonic>").arg(QLatin1String(diatonic));
    }
    xml += QStringLiteral("<chromatic>%1</chromatic>").arg(chromatic);
    if (octaveChange != 0) {
        xml += QStringLiteral("<octave-change>%1</octave-change>").arg(octaveChange);
    }
    return xml + QStringLiteral("</transpose>");
}
const QString kTieStart =
    QStringLiteral("<tie type=\"start\"/><notations><tied type=\"start\"/></notations>");
const QString kTieStop =
    QStringLiteral("<tie type=\"stop\"/><notations><tied type=\"stop\"/></notations>");

// A part: the contents of its measures, numbered from 1.
using Part = QStringList;

// A score-partwise with these parts (P1, P2, …) and `header` (<work>, <movement-title>) before
// the part list.
QByteArray Partwise(const std::vector<Part>& parts, const QString& header = {}) {
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<score-partwise version=\"4.0\">\n") +
                  header + QStringLiteral("<part-list>\n");
    for (std::size_t p = 0; p < parts.size(); ++p) {
        xml += QStringLiteral("<score-part id=\"P%1\"><part-name>Stimme %1</part-name>"
                              "</score-part>\n")
                   .arg(p + 1);
    }
    xml += QStringLiteral("</part-list>\n");
    for (std::size_t p = 0; p < parts.size(); ++p) {
        xml += QStringLiteral("<part id=\"P%1\">\n").arg(p + 1);
        for (qsizetype m = 0; m < parts[p].size(); ++m) {
            xml += QStringLiteral("<measure number=\"%1\">%2</measure>\n")
                       .arg(m + 1)
                       .arg(parts[p].at(m));
        }
        xml += QStringLiteral("</part>\n");
    }
    return (xml + QStringLiteral("</score-partwise>\n")).toUtf8();
}

QByteArray OnePart(const Part& measures, const QString& header = {}) {
    return Partwise({measures}, header);
}

// ---------------------------------------------------------------------------------------------
// Reading what the reader made, in the tests' own words

QString Name(const SpelledPitch& pitch) {
    if (pitch.step < 0 || pitch.step > 6) {
        return QStringLiteral("?%1").arg(pitch.step);
    }
    return QChar(u"CDEFGAB"[pitch.step]) +
           QString(std::abs(pitch.alter), pitch.alter > 0 ? u'#' : u'b');
}

QString Time(const Rational& time) {
    return time.Denominator() == 1
               ? QString::number(time.Numerator())
               : QStringLiteral("%1/%2").arg(time.Numerator()).arg(time.Denominator());
}

// "C#4 0 1/3 p0 v1": sounding pitch, start and end in quarters, part index, voice.
QString NoteLine(const ScoreNote& note) {
    return QStringLiteral("%1%2 %3 %4 p%5 v%6")
        .arg(Name(note.pitch))
        .arg(note.pitch.octave)
        .arg(Time(note.start), Time(note.end))
        .arg(note.part)
        .arg(note.voice);
}

QStringList NoteLines(const Score& score) {
    QStringList lines;
    for (const ScoreNote& note : score.notes) {
        lines.append(NoteLine(note));
    }
    return lines;
}

// "G 4": the tonic and the time of each key signature.
QStringList KeyLines(const Score& score) {
    QStringList lines;
    for (const ScoreKey& key : score.keys) {
        lines.append(Name(key.tonic) + u' ' + Time(key.time));
    }
    return lines;
}

// The notes of a score, or the message that refused it.
QStringList NotesOrMessage(const QByteArray& xml) {
    try {
        return NoteLines(ReadMusicXml(xml));
    } catch (const ScoreError& error) {
        return {QStringLiteral("refused: ") + error.message()};
    }
}

// The message a score is refused with; empty when it is read.
QString Refusal(const QByteArray& xml) {
    try {
        ReadMusicXml(xml);
    } catch (const ScoreError& error) {
        EXPECT_FALSE(error.message().isEmpty());
        return error.message().isEmpty() ? QStringLiteral("(empty message)") : error.message();
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Time

// A score and the notes it must give, with the score's end.
struct TimedCase {
    const char* what;
    QByteArray xml;
    QStringList notes;
    Rational end;
};

template <std::size_t N> void ExpectTimedCases(const TimedCase (&cases)[N]) {
    for (const TimedCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Score score = ReadMusicXml(c.xml);
        EXPECT_EQ(NoteLines(score), c.notes);
        EXPECT_EQ(score.end, c.end) << Time(score.end).toStdString();
    }
}

TEST(XmlTime, IsExactInQuartersFromThePartsCursor) {
    const QString triplet =
        QStringLiteral("<type>eighth</type><time-modification><actual-notes>3</actual-notes>"
                       "<normal-notes>2</normal-notes></time-modification>");
    const TimedCase cases[] = {
        // Triplet eighths are a third of a quarter each, not a rounded 0.333.
        {"triplets",
         OnePart({Divisions(3) + Note("C4", 1, triplet) + Note("D4", 1, triplet) +
                  Note("E4", 1, triplet) + Note("F4", 3)}),
         {"C4 0 1/3 p0 v1", "D4 1/3 2/3 p0 v1", "E4 2/3 1 p0 v1", "F4 1 2 p0 v1"},
         2},
        // Quintuplet sixteenths at a resolution exporters like (480 a quarter): fifths.
        {"quintuplets",
         OnePart({Divisions(480) + Note("C5", 96) + Note("D5", 96) + Note("E5", 96) +
                  Note("F5", 96) + Note("G5", 96)}),
         {"C5 0 1/5 p0 v1", "D5 1/5 2/5 p0 v1", "E5 2/5 3/5 p0 v1", "F5 3/5 4/5 p0 v1",
          "G5 4/5 1 p0 v1"},
         1},
        // Without <divisions> a duration counts quarters.
        {"no divisions",
         OnePart({Note("C4", 2) + Note("D4", 1)}),
         {"C4 0 2 p0 v1", "D4 2 3 p0 v1"},
         3},
        // New divisions in the middle of a measure apply to what follows, here and in the next
        // measure; the time already passed stays.
        {"divisions change mid-measure",
         OnePart({Divisions(2) + Note("C4", 2) + Divisions(6) + Note("D4", 2) + Note("E4", 2) +
                      Note("F4", 2) + Note("G4", 6),
                  Note("A4", 6)}),
         {"C4 0 1 p0 v1", "D4 1 4/3 p0 v1", "E4 4/3 5/3 p0 v1", "F4 5/3 2 p0 v1", "G4 2 3 p0 v1",
          "A4 3 4 p0 v1"},
         4},
        // A duration may be a decimal: 1.5 of 2 divisions is a dotted eighth.
        {"decimal duration",
         OnePart({Divisions(2) + Note("C4", QStringLiteral("1.5")) +
                  Note("D4", QStringLiteral("0.5"))}),
         {"C4 0 3/4 p0 v1", "D4 3/4 1 p0 v1"},
         1},
        // Rests move the cursor like notes; a measure of rests still lasts.
        {"rests take time",
         OnePart({Rest(1) + Note("C4", 1) + Rest(2), Rest(4), Note("D4", 4)}),
         {"C4 1 2 p0 v1", "D4 8 12 p0 v1"},
         12},
        // A closing measure of rest belongs to the score.
        {"closing rest", OnePart({Note("C4", 4), Rest(4)}), {"C4 0 4 p0 v1"}, 8},
        // A backup after new divisions counts in the new ones: the cursor is a time, not a
        // number of divisions.
        {"backup after new divisions",
         OnePart(
             {Note("C5", 4, Voice("1")) + Divisions(2) + Backup(8) + Note("E4", 8, Voice("2"))}),
         {"C5 0 4 p0 v1", "E4 0 4 p0 v2"},
         4},
        // <backup> goes back for a second voice; the notes come by start, then in file order.
        {"backup for a second voice",
         OnePart({Note("C5", 4, Voice("1")) + Backup(4) + Note("C4", 2, Voice("2")) +
                  Note("D4", 2, Voice("2"))}),
         {"C5 0 4 p0 v1", "C4 0 2 p0 v2", "D4 2 4 p0 v2"},
         4},
        // A backup inside the measure, not to its start.
        {"backup by part of a measure",
         OnePart({Note("C4", 1, Voice("1")) + Note("D4", 1, Voice("1")) + Backup(1) +
                  Note("F4", 1, Voice("2"))}),
         {"C4 0 1 p0 v1", "D4 1 2 p0 v1", "F4 1 2 p0 v2"},
         2},
        // A backup beyond the measure's start stops there.
        {"backup beyond the start",
         OnePart({Note("C4", 1) + Backup(3) + Note("E4", 1)}),
         {"C4 0 1 p0 v1", "E4 0 1 p0 v1"},
         1},
        // <forward> leaves a gap in a voice.
        {"forward leaves a gap",
         OnePart({Note("C5", 4, Voice("1")) + Backup(4) + Forward(2) + Note("E4", 2, Voice("2"))}),
         {"C5 0 4 p0 v1", "E4 2 4 p0 v2"},
         4},
        // A forward at the end makes the measure as long as it reaches.
        {"forward lengthens the measure",
         OnePart({Note("C4", 2) + Forward(2), Note("D4", 1)}),
         {"C4 0 2 p0 v1", "D4 4 5 p0 v1"},
         5},
        // A note of no length sounds nowhere.
        {"zero duration", OnePart({Note("C4", 0) + Note("D4", 1)}), {"D4 0 1 p0 v1"}, 1},
    };
    ExpectTimedCases(cases);
}

TEST(XmlTime, ElementsThatAreNotNotesMoveNothing) {
    // A print layout, a chord symbol, a figured bass with a duration of its own and a dynamic
    // with an offset are no notes: the cursor stays where the notes put it.
    const QString others =
        QStringLiteral("<print new-system=\"yes\"/>"
                       "<harmony><root><root-step>G</root-step></root><kind>major</kind></harmony>"
                       "<figured-bass><figure><figure-number>6</figure-number></figure>"
                       "<duration>2</duration></figured-bass>"
                       "<direction><direction-type><dynamics><f/></dynamics></direction-type>"
                       "<offset>3</offset></direction>");
    const Score score =
        ReadMusicXml(OnePart({Note("C4", 1) + others + Note("D4", 1), Note("E4", 1)}));
    EXPECT_EQ(NoteLines(score), (QStringList{"C4 0 1 p0 v1", "D4 1 2 p0 v1", "E4 2 3 p0 v1"}));
    EXPECT_EQ(score.end, Rational(3));
}

TEST(XmlTime, ChordNotesStartWithThePreviousNote) {
    const TimedCase cases[] = {
        // Chord notes start with the note before and leave the cursor where that one put it.
        {"triad then a note",
         OnePart({Note("C4", 1) + Chord("E4", 1) + Chord("G4", 1) + Note("D4", 1)}),
         {"C4 0 1 p0 v1", "E4 0 1 p0 v1", "G4 0 1 p0 v1", "D4 1 2 p0 v1"},
         2},
        // A chord note longer than the first: the cursor follows the first note, the measure
        // lasts as long as the chord note, and the next measure starts after it.
        {"longer chord note",
         OnePart({Note("C4", 1) + Chord("E4", 3) + Note("D4", 1), Note("F4", 1)}),
         {"C4 0 1 p0 v1", "E4 0 3 p0 v1", "D4 1 2 p0 v1", "F4 3 4 p0 v1"},
         4},
        // A chord in the second voice after a backup starts with that voice's note.
        {"chord after a backup",
         OnePart({Note("C5", 2, Voice("1")) + Note("D5", 2, Voice("1")) + Backup(2) +
                  Note("F4", 2, Voice("2")) + Chord("A4", 2, Voice("2"))}),
         {"C5 0 2 p0 v1", "D5 2 4 p0 v1", "F4 2 4 p0 v2", "A4 2 4 p0 v2"},
         4},
    };
    ExpectTimedCases(cases);
}

// ---------------------------------------------------------------------------------------------
// Parts, staves and voices

TEST(XmlParts, MeasuresStartTogetherInEveryPart) {
    const TimedCase cases[] = {
        // The first measure lasts as long as its longest part (3 quarters), so both parts' second
        // measures start at 3; the notes come by start, then by part.
        {"furthest part",
         Partwise({{Note("C5", 2), Note("D5", 1)}, {Note("E3", 3), Note("F3", 1)}}),
         {"C5 0 2 p0 v1", "E3 0 3 p1 v1", "D5 3 4 p0 v1", "F3 3 4 p1 v1"},
         4},
        // A pickup of one quarter: the first full measure starts at 1 in both parts, although
        // the lower part rests in the pickup.
        {"pickup",
         Partwise({{Note("G4", 1), Note("C5", 4), Note("B4", 4)},
                   {Rest(1), Note("C3", 4), Note("G2", 4)}}),
         {"G4 0 1 p0 v1", "C5 1 5 p0 v1", "C3 1 5 p1 v1", "B4 5 9 p0 v1", "G2 5 9 p1 v1"},
         9},
        // An empty measure in every part lasts nothing.
        {"empty measure",
         Partwise({{Note("C4", 2), QString(), Note("D4", 2)}, {Note("C3", 2), QString(), Rest(2)}}),
         {"C4 0 2 p0 v1", "C3 0 2 p1 v1", "D4 2 4 p0 v1"},
         4},
        // Divisions are the part's own: 2 a quarter in the upper part, 3 in the lower.
        {"divisions per part",
         Partwise({{Divisions(2) + Note("C5", 4), Note("D5", 2)},
                   {Divisions(3) + Note("C3", 3) + Note("E3", 3), Note("F3", 1)}}),
         {"C5 0 2 p0 v1", "C3 0 1 p1 v1", "E3 1 2 p1 v1", "D5 2 3 p0 v1", "F3 2 7/3 p1 v1"},
         3},
    };
    ExpectTimedCases(cases);
}

TEST(XmlParts, StavesAndVoicesOfOnePart) {
    // A piano part: two voices on the upper staff, voice 5 on the lower one.
    const Score score = ReadMusicXml(OnePart(
        {QStringLiteral("<attributes><divisions>1</divisions><staves>2</staves></attributes>") +
         Note("C5", 4, Voice("1") + QStringLiteral("<staff>1</staff>")) + Backup(4) +
         Note("E4", 2, Voice("2") + QStringLiteral("<staff>1</staff>")) +
         Note("G4", 2, Voice("2") + QStringLiteral("<staff>1</staff>")) + Backup(4) +
         Note("C3", 4, Voice("5") + QStringLiteral("<staff>2</staff>"))}));
    EXPECT_EQ(NoteLines(score),
              (QStringList{"C5 0 4 p0 v1", "E4 0 2 p0 v2", "C3 0 4 p0 v5", "G4 2 4 p0 v2"}));
    EXPECT_EQ(score.voiceCount, 3);
}

TEST(XmlParts, AMissingVoiceIsVoiceOne) {
    // A note without <voice> and one with <voice>1</voice> are the same voice; voices of two
    // parts are two voices.
    const Score score =
        ReadMusicXml(Partwise({{Note("C5", 1) + Note("D5", 1, Voice("1"))}, {Note("C4", 2)}}));
    EXPECT_EQ(NoteLines(score), (QStringList{"C5 0 1 p0 v1", "C4 0 2 p1 v1", "D5 1 2 p0 v1"}));
    EXPECT_EQ(score.voiceCount, 2);
}

TEST(XmlParts, NotesNameTheirPlace) {
    // The place of a note: its part's id and name, the measure number as written, the
    // measure's position, and the line of the <note> element.
    const QByteArray xml =
        "<?xml version=\"1.0\"?>\n"
        "<score-partwise>\n"
        "<part-list><score-part id=\"Sop\"><part-name>Sopran</part-name></score-part></part-list>\n"
        "<part id=\"Sop\">\n"
        "<measure number=\"0\"><note><pitch><step>G</step><octave>4</octave></pitch>"
        "<duration>1</duration></note></measure>\n"
        "<measure number=\"12a\">\n"
        "<note><pitch><step>C</step><octave>5</octave></pitch><duration>4</duration></note>\n"
        "</measure>\n"
        "</part>\n"
        "</score-partwise>\n";
    const Score score = ReadMusicXml(xml);
    ASSERT_EQ(score.notes.size(), 2U);
    const SourcePlace& place = score.notes[1].place;
    EXPECT_EQ(place.partId, QStringLiteral("Sop"));
    EXPECT_EQ(place.partName, QStringLiteral("Sopran"));
    EXPECT_EQ(place.measure, QStringLiteral("12a"));
    EXPECT_EQ(place.measureIndex, 1);
    EXPECT_EQ(place.line, 7);
    EXPECT_EQ(score.notes[0].place.line, 5);
}

// ---------------------------------------------------------------------------------------------
// Pitch

TEST(XmlPitch, KeepsTheSpellingAndOctaveOfTheLetter) {
    // B#3 is B#3 (sounding as C4), Cb4 is Cb4 (sounding as B3); double accidentals stay; an
    // integer alteration written as a decimal is an integer.
    const Score score = ReadMusicXml(
        OnePart({Note("B#3", 1) + Note("Cb4", 1) + Note("F##2", 1) + Note("Ebb5", 1) +
                 QStringLiteral("<note><pitch><step>B</step><alter>-1.0</alter><octave>3</octave>"
                                "</pitch><duration>1</duration></note>")}));
    EXPECT_EQ(NoteLines(score), (QStringList{"B#3 0 1 p0 v1", "Cb4 1 2 p0 v1", "F##2 2 3 p0 v1",
                                             "Ebb5 3 4 p0 v1", "Bb3 4 5 p0 v1"}));
    const std::vector<int> keys = {60, 59, 43, 74, 58};
    ASSERT_EQ(score.notes.size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(score.notes[i].pitch.MidiKey(), keys[i])
            << NoteLine(score.notes[i]).toStdString();
    }
}

TEST(XmlPitch, TransposingInstrumentsSoundWhereTheyAreSpelled) {
    const struct {
        const char* what;
        QString transpose;
        QStringList written;
        QStringList sounding;
    } cases[] = {
        // Trumpet in B flat: a tone lower, a second lower in letters.
        {"Bb trumpet", Transpose("-1", -2), {"D5", "F#4", "Bb4"}, {"C5", "E4", "Ab4"}},
        // Horn in E flat: a major sixth lower.
        {"Eb horn", Transpose("-5", -9), {"C5", "F#4"}, {"Eb4", "A3"}},
        // Horn in F: a fifth lower.
        {"F horn", Transpose("-4", -7), {"C5", "Ab4"}, {"F4", "Db4"}},
        // Guitar: an octave lower through <octave-change> alone.
        {"octave change", Transpose("0", 0, -1), {"E4", "B3"}, {"E3", "B2"}},
        // Bass clarinet: a ninth lower as a second plus an octave change.
        {"bass clarinet", Transpose("-1", -2, -1), {"D5", "F#4"}, {"C4", "E3"}},
        // Piccolo: an octave higher.
        {"piccolo", Transpose("0", 0, 1), {"D5"}, {"D6"}},
        // Without <diatonic> the letters follow the semitones: a minor third is two letters.
        {"chromatic only, A clarinet", Transpose(nullptr, -3), {"E5", "C5"}, {"C#5", "A4"}},
        // A ninth down in semitones alone: an octave and a second in letters.
        {"chromatic only, a ninth", Transpose(nullptr, -14), {"D5"}, {"C4"}},
        // A tritone is an augmented fourth.
        {"chromatic only, tritone", Transpose(nullptr, -6), {"C5"}, {"F#4"}},
        // Upwards: a fifth.
        {"chromatic only, up a fifth", Transpose(nullptr, 7), {"C4"}, {"G4"}},
        // <double/> asks for an octave doubling in print; it adds no tone.
        {"double",
         QStringLiteral("<transpose><diatonic>0</diatonic><chromatic>0</chromatic>"
                        "<double/></transpose>"),
         {"C5"},
         {"C5"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QString measure =
            QStringLiteral("<attributes><divisions>1</divisions>%1</attributes>").arg(c.transpose);
        QStringList expected;
        for (qsizetype i = 0; i < c.written.size(); ++i) {
            measure += Note(c.written.at(i), 1);
            expected.append(
                QStringLiteral("%1 %2 %3 p0 v1").arg(c.sounding.at(i)).arg(i).arg(i + 1));
        }
        EXPECT_EQ(NotesOrMessage(OnePart({measure})), expected);
    }
}

TEST(XmlPitch, ATranspositionChangesWhereItIsWritten) {
    // A trumpet player changes from B flat to A, then to C.
    const Score score = ReadMusicXml(OnePart({
        QStringLiteral("<attributes><divisions>1</divisions>%1</attributes>")
                .arg(Transpose("-1", -2)) +
            Note("D5", 1),
        QStringLiteral("<attributes>%1</attributes>").arg(Transpose("-2", -3)) + Note("E5", 1),
        QStringLiteral("<attributes>%1</attributes>").arg(Transpose("0", 0)) + Note("D5", 1),
    }));
    EXPECT_EQ(NoteLines(score), (QStringList{"C5 0 1 p0 v1", "C#5 1 2 p0 v1", "D5 2 3 p0 v1"}));
}

TEST(XmlPitch, ATranspositionWithANumberAppliesToItsStaff) {
    const QString notes = Note("C5", 1, QStringLiteral("<staff>1</staff>")) + Backup(1) +
                          Note("C4", 1, Voice("5") + QStringLiteral("<staff>2</staff>"));
    const struct {
        const char* what;
        QString transpose;
        QStringList notes;
    } cases[] = {
        // The lower staff sounds an octave lower, the upper one as written.
        {"lower staff",
         Transpose("0", 0, -1, QStringLiteral(" number=\"2\"")),
         {"C5 0 1 p0 v1", "C3 0 1 p0 v5"}},
        // The upper staff a tone lower, the lower one as written.
        {"upper staff",
         Transpose("-1", -2, 0, QStringLiteral(" number=\"1\"")),
         {"Bb4 0 1 p0 v1", "C4 0 1 p0 v5"}},
        // Without a number: both staves.
        {"both staves", Transpose("-1", -2), {"Bb4 0 1 p0 v1", "Bb3 0 1 p0 v5"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString attributes =
            QStringLiteral("<attributes><divisions>1</divisions><staves>2</staves>%1</attributes>")
                .arg(c.transpose);
        EXPECT_EQ(NotesOrMessage(OnePart({attributes + notes})), c.notes);
    }
}

// ---------------------------------------------------------------------------------------------
// What is left out

TEST(XmlLeftOut, PercussionGraceAndCueNotesAreCounted) {
    const QString drum = QStringLiteral(
        "<note><unpitched><display-step>C</display-step><display-octave>5</display-octave>"
        "</unpitched><duration>1</duration><instrument id=\"P2-I36\"/></note>");
    // Grace notes, one of them a chord of two, before the main note; a cue note of two quarters
    // before the next sounding note; a drum part beside them that is longer than the melody.
    const Score score = ReadMusicXml(
        Partwise({{Note("D5", 0, {}, QStringLiteral("<grace slash=\"yes\"/>"))
                       .replace(QStringLiteral("<duration>0</duration>"), QString()) +
                   QStringLiteral("<note><grace/><chord/>%1</note>").arg(PitchXml("F5")) +
                   Note("C5", 1) + Note("E5", 2, {}, QStringLiteral("<cue/>")) + Note("G4", 1)},
                  {drum + drum + drum + drum + drum}}));
    EXPECT_EQ(NoteLines(score), (QStringList{"C5 0 1 p0 v1", "G4 3 4 p0 v1"}));
    EXPECT_EQ(score.graceNotes, 2);
    EXPECT_EQ(score.cueNotes, 1);
    EXPECT_EQ(score.unpitchedNotes, 5);
    // The drums are silent here, but their measure lasts five quarters.
    EXPECT_EQ(score.end, Rational(5));
    EXPECT_EQ(score.voiceCount, 1);
}

// ---------------------------------------------------------------------------------------------
// Ties

TEST(XmlTies, JoinTheNotesTheyBind) {
    const QString tieStartOnly = QStringLiteral("<tie type=\"start\"/>");
    const QString tieStopOnly = QStringLiteral("<tie type=\"stop\"/>");
    const QString tiedStartOnly = QStringLiteral("<notations><tied type=\"start\"/></notations>");
    const QString tiedStopOnly = QStringLiteral("<notations><tied type=\"stop\"/></notations>");
    const struct {
        const char* what;
        QByteArray xml;
        QStringList notes;
    } cases[] = {
        // Across the bar line in one voice.
        {"bar line",
         OnePart(
             {Note("C4", 2) + Note("E4", 2, kTieStart), Note("E4", 2, kTieStop) + Note("D4", 2)}),
         {"C4 0 2 p0 v1", "E4 2 6 p0 v1", "D4 6 8 p0 v1"}},
        // A chain: start, stop and start on the middle note, stop.
        {"chain",
         OnePart({Note("G4", 1, kTieStart) + Note("G4", 1, kTieStop + kTieStart) +
                  Note("G4", 1, kTieStop) + Note("A4", 1)}),
         {"G4 0 3 p0 v1", "A4 3 4 p0 v1"}},
        // The sound's <tie> alone, as some programs write it.
        {"tie elements only",
         OnePart({Note("G4", 2, tieStartOnly), Note("G4", 2, tieStopOnly)}),
         {"G4 0 4 p0 v1"}},
        // The notation's <tied> alone.
        {"tied notations only",
         OnePart({Note("G4", 2, tiedStartOnly), Note("G4", 2, tiedStopOnly)}),
         {"G4 0 4 p0 v1"}},
        // A middle note marked "continue".
        {"continue",
         OnePart(
             {Note("G4", 1, tiedStartOnly) +
              Note("G4", 1, QStringLiteral("<notations><tied type=\"continue\"/></notations>")) +
              Note("G4", 1, tiedStopOnly)}),
         {"G4 0 3 p0 v1"}},
        // From the upper voice into the lower one: the note keeps its first voice.
        {"cross-voice",
         OnePart({Note("E4", 2, kTieStart + Voice("1")) + Note("C5", 2, Voice("1")) + Backup(4) +
                  Rest(2, Voice("2")) + Note("E4", 2, kTieStop + Voice("2"))}),
         {"E4 0 4 p0 v1", "C5 2 4 p0 v1"}},
        // G sharp tied to A flat is one tone, spelled as it began.
        {"enharmonic",
         OnePart({Note("G#4", 2, kTieStart) + Note("Ab4", 2, kTieStop)}),
         {"G#4 0 4 p0 v1"}},
        // An arpeggio tied into a chord: C4 rings on through the gap while E4 is struck.
        {"arpeggio into a chord",
         OnePart({Divisions(2) + Note("C4", 1, kTieStart) + Note("E4", 1, kTieStart) +
                  Note("C4", 4, kTieStop) + Chord("E4", 4, kTieStop)}),
         {"C4 0 3 p0 v1", "E4 1/2 3 p0 v1"}},
        // Two tied unisons in two voices: each stop continues its own voice.
        {"same voice preferred",
         OnePart({Note("E4", 2, kTieStart + Voice("1")) + Backup(2) +
                      Note("E4", 2, kTieStart + Voice("2")),
                  Note("E4", 1, kTieStop + Voice("2")) + Rest(1, Voice("2")) + Backup(2) +
                      Note("E4", 2, kTieStop + Voice("1"))}),
         {"E4 0 4 p0 v1", "E4 0 3 p0 v2"}},
        // A stop with no start before it is a note of its own.
        {"stop without start",
         OnePart({Note("C4", 2) + Note("E4", 2, kTieStop)}),
         {"C4 0 2 p0 v1", "E4 2 4 p0 v1"}},
        // A stop on another pitch does not join.
        {"other pitch",
         OnePart({Note("D4", 2, kTieStart) + Note("E4", 2, kTieStop)}),
         {"D4 0 2 p0 v1", "E4 2 4 p0 v1"}},
        // A start that nothing continues ends with its note.
        {"dangling start",
         OnePart({Note("E4", 2, kTieStart) + Note("D4", 2)}, {}),
         {"E4 0 2 p0 v1", "D4 2 4 p0 v1"}},
        // The waiting note is struck anew before the stop: the stop belongs to no start.
        {"struck anew",
         OnePart({Note("E4", 1, kTieStart) + Note("E4", 1) + Note("E4", 1, kTieStop)}),
         {"E4 0 1 p0 v1", "E4 1 2 p0 v1", "E4 2 3 p0 v1"}},
        // Another voice strikes the same pitch as the tie goes on: the tie still holds.
        {"unison struck as the tie goes on",
         OnePart({Note("E4", 2, kTieStart + Voice("1")) + Backup(2) + Rest(2, Voice("2")),
                  Note("E4", 2, Voice("2")) + Backup(2) + Note("E4", 2, kTieStop + Voice("1"))}),
         {"E4 0 4 p0 v1", "E4 2 4 p0 v2"}},
        // A tied chord: each tone continues its own.
        {"tied chord",
         OnePart({Note("C4", 2, kTieStart) + Chord("E4", 2, kTieStart) + Chord("G4", 2),
                  Note("C4", 2, kTieStop) + Chord("E4", 2, kTieStop) + Chord("A4", 2)}),
         {"C4 0 4 p0 v1", "E4 0 4 p0 v1", "G4 0 2 p0 v1", "A4 2 4 p0 v1"}},
        // A tie into another part is no tie.
        {"other part",
         Partwise({{Note("E4", 2, kTieStart) + Rest(2)}, {Rest(2) + Note("E4", 2, kTieStop)}}),
         {"E4 0 2 p0 v1", "E4 2 4 p1 v1"}},
        // Let-ring ties sound on in the player's hands, not in the score's time.
        {"let ring",
         OnePart(
             {Note("E4", 2, QStringLiteral("<notations><tied type=\"let-ring\"/></notations>")) +
              Note("E4", 2)}),
         {"E4 0 2 p0 v1", "E4 2 4 p0 v1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(NotesOrMessage(c.xml), c.notes);
    }
}

TEST(XmlTies, AJoinedNoteKeepsThePlaceOfItsStart) {
    const Score score =
        ReadMusicXml(OnePart({Note("C4", 2) + Note("E4", 2, kTieStart), Note("E4", 4, kTieStop)}));
    ASSERT_EQ(score.notes.size(), 2U);
    EXPECT_EQ(score.notes[1].place.measure, QStringLiteral("1"));
    EXPECT_EQ(score.notes[1].place.measureIndex, 0);
}

// ---------------------------------------------------------------------------------------------
// Repeats, tempo, title

TEST(XmlMarks, RepeatsAndVoltasAreNoticed) {
    const struct {
        const char* what;
        QString barline;
        bool repeats;
    } cases[] = {
        // A repeat sign at the end of the measure.
        {"repeat",
         "<barline location=\"right\"><bar-style>light-heavy</bar-style>"
         "<repeat direction=\"backward\"/></barline>",
         true},
        // A first-time bar.
        {"volta",
         "<barline location=\"left\"><ending number=\"1\" type=\"start\">1.</ending></barline>",
         true},
        // A final bar line repeats nothing.
        {"final bar line",
         "<barline location=\"right\"><bar-style>light-heavy</bar-style></barline>", false},
        {"none", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Score score = ReadMusicXml(OnePart({Note("C4", 4) + c.barline, Note("D4", 4)}));
        EXPECT_EQ(score.hasRepeats, c.repeats);
        EXPECT_EQ(score.notes.size(), 2U) << "the music is read once as written";
    }
}

QString Metronome(const char* unit, int dots, const char* perMinute) {
    QString xml = QStringLiteral("<direction placement=\"above\"><direction-type><metronome>"
                                 "<beat-unit>%1</beat-unit>")
                      .arg(QLatin1String(unit));
    for (int i = 0; i < dots; ++i) {
        xml += QStringLiteral("<beat-unit-dot/>");
    }
    return xml + QStringLiteral("<per-minute>%1</per-minute></metronome></direction-type>"
                                "</direction>")
                     .arg(QLatin1String(perMinute));
}

QString SoundTempo(const char* tempo) {
    return QStringLiteral("<direction><direction-type><words>Allegro</words></direction-type>"
                          "<sound tempo=\"%1\"/></direction>")
        .arg(QLatin1String(tempo));
}

TEST(XmlMarks, TempoInQuartersPerMinute) {
    // Read under a comma locale: MusicXML's numbers have a decimal point whatever the user's.
    test::LocaleGuard german(test::German());
    const struct {
        const char* what;
        QByteArray xml;
        std::optional<double> tempo;
    } cases[] = {
        {"sound tempo in a direction", OnePart({SoundTempo("72") + Note("C4", 4)}), 72},
        // <sound> may stand in the measure itself.
        {"sound tempo in the measure",
         OnePart({QStringLiteral("<sound tempo=\"84\"/>") + Note("C4", 4)}), 84},
        {"decimal sound tempo", OnePart({SoundTempo("112.5") + Note("C4", 4)}), 112.5},
        {"metronome", OnePart({Metronome("quarter", 0, "100") + Note("C4", 4)}), 100},
        // A dotted quarter at 60 is 90 quarters a minute.
        {"dotted beat", OnePart({Metronome("quarter", 1, "60") + Note("C4", 4)}), 90},
        {"half notes", OnePart({Metronome("half", 0, "40") + Note("C4", 4)}), 80},
        {"eighths", OnePart({Metronome("eighth", 0, "120") + Note("C4", 4)}), 60},
        // A double-dotted quarter is 1 + 1/2 + 1/4 quarters: 40 of them are 70 quarters.
        {"double-dotted beat", OnePart({Metronome("quarter", 2, "40") + Note("C4", 4)}), 70},
        // 10 and 1000 quarters a minute are the slowest and the fastest tempo taken; beyond
        // them a mark is passed over.
        {"slowest", OnePart({SoundTempo("10") + Note("C4", 4)}), 10},
        {"fastest", OnePart({SoundTempo("1000") + Note("C4", 4)}), 1000},
        {"too slow", OnePart({SoundTempo("9.5") + Note("C4", 4)}), std::nullopt},
        {"too fast", OnePart({SoundTempo("1000.5") + Note("C4", 4)}), std::nullopt},
        // The playback tempo speaks over a printed mark, even one that comes before it.
        {"sound over metronome",
         OnePart(
             {Metronome("quarter", 0, "60") + Note("C4", 4), SoundTempo("100") + Note("D4", 4)}),
         100},
        // The first of two sound tempos.
        {"first tempo",
         OnePart({SoundTempo("72") + Note("C4", 4), SoundTempo("120") + Note("D4", 4)}), 72},
        // First in time, not in the file: the lower part's mark in measure 1 comes before the
        // upper part's in measure 2.
        {"first in time",
         Partwise({{Note("C5", 4), SoundTempo("120") + Note("D5", 4)},
                   {SoundTempo("66") + Note("C4", 4), Note("D4", 4)}}),
         66},
        {"none", OnePart({Note("C4", 4)}), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Score score = ReadMusicXml(c.xml);
        ASSERT_EQ(score.quarterTempo.has_value(), c.tempo.has_value());
        if (c.tempo) {
            EXPECT_DOUBLE_EQ(*score.quarterTempo, *c.tempo);
        }
    }
}

TEST(XmlMarks, TitleFromTheWorkElseTheMovement) {
    const struct {
        const char* what;
        QString header;
        QString title;
    } cases[] = {
        {"work title",
         "<work><work-number>BWV 1</work-number><work-title>Choral</work-title></work>", "Choral"},
        {"movement title",
         "<movement-number>2</movement-number><movement-title>Andante</movement-title>", "Andante"},
        {"both",
         "<work><work-title>Sonate</work-title></work><movement-title>Adagio</movement-title>",
         "Sonate"},
        {"none", "<identification><creator type=\"composer\">J. S. B.</creator></identification>",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ReadMusicXml(OnePart({Note("C4", 4)}, c.header)).title, c.title);
    }
}

// ---------------------------------------------------------------------------------------------
// Key signatures

TEST(XmlKeys, TonicFromFifthsAndMode) {
    const struct {
        const char* what;
        QString attributes;
        const char* tonic;
    } cases[] = {
        {"C major without mode", "<key><fifths>0</fifths></key>", "C"},
        {"C minor", "<key><fifths>-3</fifths><mode>minor</mode></key>", "C"},
        {"F sharp minor", "<key><fifths>3</fifths><mode>minor</mode></key>", "F#"},
        {"D minor", "<key><fifths>-1</fifths><mode>minor</mode></key>", "D"},
        {"G flat major", "<key><fifths>-6</fifths><mode>major</mode></key>", "Gb"},
        {"C sharp major", "<key><fifths>7</fifths></key>", "C#"},
        {"A flat minor", "<key><fifths>-7</fifths><mode>minor</mode></key>", "Ab"},
        {"E dorian", "<key><fifths>2</fifths><mode>dorian</mode></key>", "E"},
        {"C dorian", "<key><fifths>-2</fifths><mode>dorian</mode></key>", "C"},
        {"phrygian", "<key><fifths>0</fifths><mode>phrygian</mode></key>", "E"},
        {"lydian", "<key><fifths>0</fifths><mode>lydian</mode></key>", "F"},
        {"mixolydian", "<key><fifths>0</fifths><mode>mixolydian</mode></key>", "G"},
        {"aeolian", "<key><fifths>0</fifths><mode>aeolian</mode></key>", "A"},
        {"locrian", "<key><fifths>0</fifths><mode>locrian</mode></key>", "B"},
        // Clarinet in B flat, written in D major: sounding C major.
        {"Bb clarinet in D", "<key><fifths>2</fifths></key>" + Transpose("-1", -2), "C"},
        // The same instrument written in C: sounding B flat.
        {"Bb clarinet in C", "<key><fifths>0</fifths></key>" + Transpose("-1", -2), "Bb"},
        // The same clarinet with its transposition given for the first staff: still sounding C.
        {"Bb clarinet, transposition of staff 1",
         "<key><fifths>2</fifths></key>" + Transpose("-1", -2, 0, QStringLiteral(" number=\"1\"")),
         "C"},
        // Alto saxophone written in F sharp minor: sounding A minor.
        {"Eb saxophone", "<key><fifths>3</fifths><mode>minor</mode></key>" + Transpose("-5", -9),
         "A"},
        // Clarinet in A without <diatonic>, written in A major: sounding F sharp major.
        {"A clarinet, chromatic only", "<key><fifths>3</fifths></key>" + Transpose(nullptr, -3),
         "F#"},
        // A signature of single alterations has no tonic on the line of fifths: C.
        {"non-traditional",
         "<key><key-step>B</key-step><key-alter>-1</key-alter><key-step>E</key-step>"
         "<key-alter>-1</key-alter><key-step>F</key-step><key-alter>1</key-alter></key>",
         "C"},
        // A key for the second staff alone does not speak for the part.
        {"staff number",
         "<key number=\"1\"><fifths>1</fifths></key><key number=\"2\"><fifths>-3</fifths></key>",
         "G"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Score score = ReadMusicXml(
            OnePart({QStringLiteral("<attributes><divisions>1</divisions>%1</attributes>")
                         .arg(c.attributes) +
                     Note("C5", 4)}));
        EXPECT_EQ(KeyLines(score), QStringList{QString::fromUtf8(c.tonic) + QStringLiteral(" 0")});
    }
}

TEST(XmlKeys, ChangesTakeEffectAtTheirTime) {
    const struct {
        const char* what;
        QByteArray xml;
        QStringList keys;
    } cases[] = {
        // At the bar line of measure 2, and in the middle of measure 3.
        {"bar line and mid-measure",
         OnePart({Key(0) + Note("C4", 4), Key(1) + Note("G4", 4),
                  Note("D4", 2) + Key(2) + Note("A4", 2)}),
         {"C 0", "G 4", "D 10"}},
        // A later signature of single alterations changes nothing.
        {"later non-traditional",
         OnePart({Key(1) + Note("G4", 4),
                  QStringLiteral("<attributes><key><key-step>F</key-step><key-alter>1</key-alter>"
                                 "</key></attributes>") +
                      Note("D4", 4)}),
         {"G 0"}},
        // A later key for the second staff changes nothing either.
        {"later staff key",
         OnePart({Key(1) + Note("G4", 4),
                  QStringLiteral("<attributes><key number=\"2\"><fifths>3</fifths></key>"
                                 "</attributes>") +
                      Note("D4", 4)}),
         {"G 0"}},
        // The key source is the first part that sounds, not a resting first part.
        {"first sounding part",
         Partwise(
             {{Key(3) + Rest(4), Rest(4)}, {Key(-2) + Note("Bb3", 4), Key(-1) + Note("F3", 4)}}),
         {"Bb 0", "F 4"}},
        // A clarinettist changes from B flat to a C clarinet with the new key: the key is
        // written before the transposition in the same block and is read with the new one.
        {"transposition in the same block",
         OnePart({QStringLiteral("<attributes><divisions>1</divisions><key><fifths>2</fifths>"
                                 "</key>%1</attributes>")
                          .arg(Transpose("-1", -2)) +
                      Note("E5", 4),
                  QStringLiteral("<attributes><key><fifths>2</fifths></key>%1</attributes>")
                          .arg(Transpose("0", 0)) +
                      Note("D5", 4)}),
         {"C 0", "D 4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(KeyLines(ReadMusicXml(c.xml)), c.keys);
    }
}

// ---------------------------------------------------------------------------------------------
// score-timewise

TEST(XmlTimewise, GivesTheNotesOfThePartwiseScore) {
    // Two parts, two measures: a chord, a second voice, a tie over the bar line, a transposing
    // part with a different resolution, a key change; the timewise file lists the parts of its
    // second measure the other way round, and the parts stay who they are.
    const QString p1m1 =
        QStringLiteral("<attributes><divisions>2</divisions><key><fifths>-1</fifths>"
                       "</key></attributes>") +
        Note("F4", 2, Voice("1")) + Chord("A4", 2, Voice("1")) +
        Note("C5", 4, kTieStart + Voice("1"));
    const QString p1m2 = Key(0) + Note("C5", 2, kTieStop + Voice("1")) + Backup(2) +
                         Note("E4", 1, Voice("2")) + Note("G4", 1, Voice("2"));
    const QString p2m1 = QStringLiteral("<attributes><divisions>1</divisions>%1</attributes>")
                             .arg(Transpose("-1", -2)) +
                         Note("G4", 3);
    const QString p2m2 = Note("D5", 1);
    const QString partList = QStringLiteral(
        "<part-list><score-part id=\"P1\"><part-name>Stimme 1</part-name></score-part>"
        "<score-part id=\"P2\"><part-name>Stimme 2</part-name></score-part></part-list>\n");
    const QByteArray timewise =
        (QStringLiteral("<?xml version=\"1.0\"?>\n<score-timewise version=\"4.0\">\n") + partList +
         QStringLiteral("<measure number=\"1\"><part id=\"P1\">%1</part><part id=\"P2\">%2</part>"
                        "</measure>\n<measure number=\"2\"><part id=\"P2\">%4</part>"
                        "<part id=\"P1\">%3</part></measure>\n</score-timewise>\n")
             .arg(p1m1, p2m1, p1m2, p2m2))
            .toUtf8();
    const Score partwise = ReadMusicXml(Partwise({{p1m1, p1m2}, {p2m1, p2m2}}));
    // Measure 1 lasts 3 quarters, measure 2 one; the trumpet sounds a tone lower.
    const QStringList expected = {"F4 0 1 p0 v1",   "A4 0 1 p0 v1", "F4 0 3 p1 v1",  "C5 1 4 p0 v1",
                                  "E4 3 7/2 p0 v2", "C5 3 4 p1 v1", "G4 7/2 4 p0 v2"};
    EXPECT_EQ(NoteLines(partwise), expected);
    const Score score = ReadMusicXml(timewise);
    EXPECT_EQ(NoteLines(score), expected);
    EXPECT_EQ(score.end, Rational(4));
    EXPECT_EQ(KeyLines(score), (QStringList{"F 0", "C 3"}));
    ASSERT_EQ(score.notes.size(), partwise.notes.size());
    for (std::size_t i = 0; i < score.notes.size(); ++i) {
        EXPECT_EQ(score.notes[i].place.measure, partwise.notes[i].place.measure) << i;
        EXPECT_EQ(score.notes[i].place.partName, partwise.notes[i].place.partName) << i;
    }
}

// ---------------------------------------------------------------------------------------------
// Text

TEST(XmlText, EveryEncodingOfTheDeclarationIsRead) {
    // Older exporters write UTF-16 with a byte order mark, or Latin-1; the title is the same.
    const QString score = QStringLiteral(
        "<score-partwise><work><work-title>Grüße für Jörg</work-title></work>"
        "<part-list><score-part id=\"P1\"/></part-list><part id=\"P1\"><measure number=\"1\">"
        "<note><pitch><step>C</step><octave>4</octave></pitch><duration>1</duration></note>"
        "</measure></part></score-partwise>\n");
    QByteArray utf16 = "\xFF\xFE";
    const QString declared16 =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n") + score;
    utf16.append(reinterpret_cast<const char*>(declared16.utf16()), declared16.size() * 2);
    const struct {
        const char* what;
        QByteArray xml;
    } cases[] = {
        {"UTF-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + score.toUtf8()},
        {"UTF-8 with byte order mark", "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n" + score.toUtf8()},
        {"UTF-16", utf16},
        {"Latin-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + score.toLatin1()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            const Score read = ReadMusicXml(c.xml);
            EXPECT_EQ(read.title, QStringLiteral("Grüße für Jörg"));
            EXPECT_EQ(NoteLines(read), QStringList{"C4 0 1 p0 v1"});
        } catch (const ScoreError& error) {
            ADD_FAILURE() << error.message().toStdString();
        }
    }
}

TEST(XmlText, TheRootElementIsFoundBehindTheProlog) {
    const struct {
        const char* what;
        QByteArray xml;
        const char* root;
    } cases[] = {
        {"doctype and comment",
         "<?xml version=\"1.0\"?>\n<!-- Finale -->\n<!DOCTYPE score-timewise PUBLIC "
         "\"-//Recordare//DTD MusicXML 4.0 Timewise//EN\" "
         "\"http://www.musicxml.org/dtds/timewise.dtd\">\n<?dummy pi?>\n<score-timewise/>",
         "score-timewise"},
        {"bare", "<score-partwise version=\"3.1\"></score-partwise>", "score-partwise"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // The root is taken for a score: the empty document is refused for its lack of notes,
        // not for its root element.
        const QString message = Refusal(c.xml);
        EXPECT_TRUE(message.contains(QStringLiteral("keinen Ton mit Tonhöhe")))
            << c.root << ": " << message.toStdString();
        EXPECT_FALSE(message.contains(QStringLiteral("Wurzelelement"))) << message.toStdString();
    }
}

// ---------------------------------------------------------------------------------------------
// Refusals

// `depth` elements nested inside each other (the root counts as one), a sounding note beside
// the deepest.
QByteArray Nested(int depth) {
    // score-partwise, part, measure: three levels; the rest are directions' own elements.
    const int inner = depth - 3;
    QString open;
    QString close;
    for (int i = 0; i < inner; ++i) {
        open += QStringLiteral("<other-direction>");
        close += QStringLiteral("</other-direction>");
    }
    return QStringLiteral("<score-partwise><part-list><score-part id=\"P1\"/></part-list>"
                          "<part id=\"P1\"><measure number=\"1\">%1%2%3</measure></part>"
                          "</score-partwise>")
        .arg(open, close, Note("C4", 1))
        .toUtf8();
}

TEST(XmlRefusals, AMicrotoneNamesMeasureAndPart) {
    const char* alters[] = {"0.5", "-0.5", "1.5", "0.25"};
    for (const char* alter : alters) {
        SCOPED_TRACE(alter);
        const QString quarterSharp =
            QStringLiteral("<note><pitch><step>E</step><alter>%1</alter><octave>4</octave>"
                           "</pitch><duration>1</duration></note>")
                .arg(QLatin1String(alter));
        const QString message =
            Refusal(OnePart({Note("C4", 4), Note("D4", 1) + quarterSharp + Note("F4", 2)}));
        EXPECT_TRUE(message.startsWith(QStringLiteral("Takt 2, Stimme"))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("Stimme 1"))) << message.toStdString();
    }
}

TEST(XmlRefusals, ADocumentThatIsNoScoreNamesItsRoot) {
    const struct {
        const char* what;
        QByteArray xml;
        const char* named;
    } cases[] = {
        // An opus file lists scores but is none.
        {"opus", "<?xml version=\"1.0\"?><opus><title>Sammlung</title></opus>", "opus"},
        {"html", "<html><body><p>C4</p></body></html>", "html"},
        {"container", "<container><rootfiles/></container>", "container"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString message = Refusal(c.xml);
        EXPECT_TRUE(message.contains(
            QStringLiteral("Wurzelelement ist <%1>").arg(QString::fromUtf8(c.named))))
            << message.toStdString();
    }
    // Bytes that are no XML at all are refused too.
    EXPECT_FALSE(Refusal("MThd\0\0\0\6").isEmpty());
    EXPECT_FALSE(Refusal("").isEmpty());
}

TEST(XmlRefusals, MalformedXmlNamesLineAndColumn) {
    const QByteArray head = "<?xml version=\"1.0\"?>\n"
                            "<score-partwise>\n"
                            "<part-list><score-part id=\"P1\"/></part-list>\n"
                            "<part id=\"P1\"><measure number=\"1\">\n";
    const QByteArray note =
        "<note><pitch><step>C</step><octave>4</octave></pitch><duration>1</duration></note>\n";
    const QByteArray tail = "</measure></part>\n</score-partwise>\n";
    const struct {
        const char* what;
        QByteArray xml;
        const char* line;
    } cases[] = {
        // An end tag that closes the wrong element, on line 6.
        {"mismatched tag",
         head + note +
             "<note><pitch><step>D</step><octave>4</octave></pitch>"
             "<duration>1</duration></nota>\n" +
             tail,
         "Zeile 6"},
        // A bare ampersand in a text, on line 5.
        {"ampersand",
         head +
             "<direction><direction-type><words>Bach & Söhne</words></direction-type>"
             "</direction>\n" +
             note + tail,
         "Zeile 5"},
        // A file cut off in the middle.
        {"truncated", head + note + "<note><pitch><st", "Zeile 6"},
        // An undeclared entity.
        {"undeclared entity", head + "<note><pitch><step>&C;</step>\n" + tail, "Zeile 5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString message = Refusal(c.xml);
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.line)) &&
                    message.contains(QStringLiteral("Spalte")))
            << (message.isEmpty() ? std::string("read as a score") : message.toStdString());
    }
}

TEST(XmlRefusals, ContentAfterTheScoreIsRefused) {
    // A second score appended to the first (a save gone wrong, two files joined) is no XML
    // document: read as it is, the second half would be lost without a word.
    const QByteArray first = OnePart({Note("C4", 4)});
    const struct {
        const char* what;
        QByteArray xml;
    } cases[] = {
        {"second score", first + OnePart({Note("D4", 4)}).mid(first.indexOf('\n') + 1)},
        {"stray element", first + "<measure number=\"2\"/>\n"},
        {"text", first + "Ende\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString message = Refusal(c.xml);
        EXPECT_TRUE(message.contains(QStringLiteral("Zeile")))
            << (message.isEmpty() ? std::string("read as a score") : message.toStdString());
    }
}

TEST(XmlRefusals, NestingIsLimited) {
    // 200 levels, and as many as the limit allows, are read; one more is refused with the place.
    EXPECT_EQ(NotesOrMessage(Nested(200)), QStringList{"C4 0 1 p0 v1"});
    EXPECT_EQ(NotesOrMessage(Nested(kMaxScoreXmlDepth)), QStringList{"C4 0 1 p0 v1"});
    for (const int depth : {kMaxScoreXmlDepth + 1, 5000}) {
        SCOPED_TRACE(depth);
        const QString message = Refusal(Nested(depth));
        EXPECT_TRUE(message.contains(QStringLiteral("Zeile 1, Spalte"))) << message.toStdString();
    }
}

TEST(XmlRefusals, AScoreWithoutASoundingNote) {
    const QString drum = QStringLiteral("<note><unpitched><display-step>C</display-step>"
                                        "<display-octave>5</display-octave></unpitched>"
                                        "<duration>1</duration></note>");
    const struct {
        const char* what;
        QByteArray xml;
    } cases[] = {
        {"rests", OnePart({Rest(4), Rest(4)})},
        {"parts of rests", Partwise({{Rest(4)}, {Rest(2) + Rest(2)}})},
        {"grace notes",
         OnePart({QStringLiteral("<note><grace/>%1</note>").arg(PitchXml("D5")) + Rest(1)})},
        {"cue notes", OnePart({Note("C5", 4, {}, QStringLiteral("<cue/>"))})},
        {"percussion", OnePart({drum + drum})},
        {"notes of no length", OnePart({Note("C4", 0)})},
        {"no measures", OnePart({})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString message = Refusal(c.xml);
        EXPECT_TRUE(message.contains(QStringLiteral("keinen Ton"))) << message.toStdString();
    }
}

// ---------------------------------------------------------------------------------------------
// Remarks

// A score that is read, with the notes it gives and a piece of each remark the reader makes.
struct RemarkCase {
    const char* what;
    QByteArray xml;
    QStringList notes;
    QStringList remarks;
};

TEST(XmlRemarks, WhatCannotBeReadIsPassedOverAndSaid) {
    const RemarkCase cases[] = {
        // <divisions> of zero or below are passed over: the divisions before them stay, one a
        // quarter at first.
        {"zero divisions",
         OnePart({QStringLiteral("<attributes><divisions>0</divisions></attributes>") +
                  Note("C4", 2) + Note("D4", 1)}),
         {"C4 0 2 p0 v1", "D4 2 3 p0 v1"},
         {"<divisions>0</divisions>"}},
        {"negative divisions",
         OnePart({Divisions(2) + Note("C4", 2) +
                  QStringLiteral("<attributes><divisions>-4</divisions></attributes>") +
                  Note("D4", 1)}),
         {"C4 0 1 p0 v1", "D4 1 3/2 p0 v1"},
         {"<divisions>-4</divisions>"}},
        // A negative backup and a note of negative length count as nothing: the backup goes
        // nowhere (not forward), the note sounds nowhere and leaves the cursor where it is.
        {"negative durations",
         OnePart({Note("C4", 2) + Backup(-2) + Note("E4", -1) + Note("D4", 1)}),
         {"C4 0 2 p0 v1", "D4 2 3 p0 v1"},
         {"\"-2\"", "\"-1\""}},
        // G9 is MIDI's highest key and C-1 its lowest; the tones beyond them are left out.
        {"the MIDI keys' range",
         OnePart({Note("G9", 1) + Note("G#9", 1) + Note("C-1", 1) + Note("B-2", 1)}),
         {"G9 0 1 p0 v1", "C-1 2 3 p0 v1"},
         {"2 Töne unter C-1 oder über G9"}},
    };
    for (const RemarkCase& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            const Score score = ReadMusicXml(c.xml);
            EXPECT_EQ(NoteLines(score), c.notes);
            ASSERT_EQ(score.warnings.size(), c.remarks.size())
                << score.warnings.join(u'\n').toStdString();
            for (qsizetype i = 0; i < c.remarks.size(); ++i) {
                EXPECT_TRUE(score.warnings.at(i).contains(c.remarks.at(i)))
                    << score.warnings.at(i).toStdString();
            }
        } catch (const Error& error) {
            ADD_FAILURE() << "refused: " << error.message().toStdString();
        }
    }
}

// Durations are XML Schema decimals: the digits before the point may be left out, and there may
// be more than six after it.
TEST(XmlTime, DecimalsWithoutLeadingDigitOrWithManyPlacesAreDurations) {
    // ".5" is half a division: an eighth at two divisions a quarter; "0.2500000" a 32nd.
    const Score score = ReadMusicXml(
        OnePart({Divisions(2) + Note("C4", QStringLiteral("1.5")) +
                 Note("D4", QStringLiteral(".5")) + Note("E4", QStringLiteral("0.2500000"))}));
    EXPECT_EQ(NoteLines(score),
              (QStringList{"C4 0 3/4 p0 v1", "D4 3/4 1 p0 v1", "E4 1 9/8 p0 v1"}));
    EXPECT_TRUE(score.warnings.isEmpty()) << score.warnings.join(u'\n').toStdString();
}

TEST(XmlRemarks, TwentyAreNamedAndTheRestSummedUp) {
    // Twenty-five notes whose duration is no number: twenty remarks name their place, one more
    // says that others were left out, and no further one follows.
    QString measure = Note("C4", 1);
    for (int i = 0; i < 25; ++i) {
        measure += Note("D4", QStringLiteral("x"));
    }
    const Score score = ReadMusicXml(OnePart({measure}));
    EXPECT_EQ(NoteLines(score), QStringList{"C4 0 1 p0 v1"});
    ASSERT_EQ(score.warnings.size(), 21);
    for (qsizetype i = 0; i < 20; ++i) {
        EXPECT_TRUE(score.warnings.at(i).startsWith(QStringLiteral("Takt 1, Stimme \"Stimme 1\"")))
            << score.warnings.at(i).toStdString();
    }
    EXPECT_EQ(score.warnings.last(), QStringLiteral("(weitere Hinweise ausgelassen)"));
}

// ---------------------------------------------------------------------------------------------
// Hostile documents

TEST(XmlSafety, ThePublicDoctypeIsReadWithoutFetchingIt) {
    // Every exported file names the DTD on the web; the reader neither needs nor loads it.
    const QByteArray body = OnePart({Note("C4", 4)});
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
        "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 Partwise//EN\" "
        "\"http://www.musicxml.org/dtds/partwise.dtd\">\n" +
        body.mid(body.indexOf('\n') + 1);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(NotesOrMessage(xml), QStringList{"C4 0 4 p0 v1"});
    EXPECT_LT(timer.elapsed(), test::TimeLimitMs(2000));
}

TEST(XmlSafety, AnExternalEntityIsNeverRead) {
    // A file of the tests' own with a word that must not turn up, and the host's name.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString secretPath = dir.filePath(QStringLiteral("geheim.txt"));
    const QByteArray secret = "Geheimwort4711";
    {
        QFile file(secretPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(secret);
    }
    QByteArray hostname;
    {
        QFile file(QStringLiteral("/etc/hostname"));
        if (file.open(QIODevice::ReadOnly)) {
            hostname = file.readAll().trimmed();
        }
    }
    const QByteArray xml =
        "<?xml version=\"1.0\"?>\n"
        "<!DOCTYPE score-partwise [\n"
        "<!ENTITY host SYSTEM \"file:///etc/hostname\">\n"
        "<!ENTITY secret SYSTEM \"file://" +
        secretPath.toUtf8() +
        "\">\n"
        "]>\n"
        "<score-partwise><work><work-title>&host;&secret;</work-title></work>\n"
        "<movement-title>&secret;</movement-title>\n"
        "<part-list><score-part id=\"P1\"><part-name>&secret;&host;</part-name></score-part>"
        "</part-list>\n"
        "<part id=\"P1\"><measure number=\"1\"><note><pitch><step>C</step>"
        "<octave>4</octave></pitch><duration>1</duration><voice>&secret;&host;</voice></note>"
        "</measure></part></score-partwise>\n";
    try {
        const Score score = ReadMusicXml(xml);
        QStringList texts = {score.title};
        texts += score.warnings;
        for (const ScoreNote& note : score.notes) {
            texts << note.voice << note.place.partName << note.place.partId << note.place.measure;
        }
        const QString all = texts.join(u'|');
        EXPECT_FALSE(all.contains(QString::fromUtf8(secret))) << all.toStdString();
        if (hostname.size() >= 3) {
            EXPECT_FALSE(all.contains(QString::fromUtf8(hostname))) << all.toStdString();
        }
    } catch (const ScoreError& error) {
        // Refusing the file is as safe as ignoring the entities, as long as it says nothing of
        // what they stand for.
        EXPECT_FALSE(error.message().contains(QString::fromUtf8(secret)));
    }
}

TEST(XmlSafety, AnEntityBombIsStopped) {
    // Six levels of ten: two million letters if every reference were expanded (a bounded bomb,
    // so that a reader without a limit is still measurable rather than lost).
    QByteArray entities = "<!ENTITY a0 \"ha\">\n";
    for (int level = 1; level <= 6; ++level) {
        QByteArray line = "<!ENTITY a" + QByteArray::number(level) + " \"";
        for (int i = 0; i < 10; ++i) {
            line += "&a" + QByteArray::number(level - 1) + ";";
        }
        entities += line + "\">\n";
    }
    const QByteArray xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE score-partwise [\n" + entities +
                           "]>\n<score-partwise><work><work-title>&a6;</work-title></work>"
                           "<part-list><score-part id=\"P1\"/></part-list><part id=\"P1\">"
                           "<measure number=\"1\"><note><pitch><step>C</step><octave>4</octave>"
                           "</pitch><duration>1</duration></note></measure></part>"
                           "</score-partwise>\n";
    QElapsedTimer timer;
    timer.start();
    try {
        const Score score = ReadMusicXml(xml);
        EXPECT_LT(score.title.size(), 100000) << "the bomb went off";
    } catch (const ScoreError& error) {
        EXPECT_FALSE(error.message().isEmpty());
    }
    EXPECT_LT(timer.elapsed(), test::TimeLimitMs(2000));
}

} // namespace
} // namespace zk
