// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// A four-part chorale as MuseScore writes MusicXML: one part with two staves, soprano and alto
// (voices 1 and 2) on the upper, tenor and bass (voices 5 and 6) on the lower, each voice written
// through the measure in turn and joined by <backup>. Every measure is I IV V I in G major, the
// alto passes in eighths on beat 3, the tenor on beat 2 of every other measure, and the bass is
// tied across every bar line. About five rows a measure: 16 measures are a chorale of about 80
// rows, 120 such chorales in one file about 10 000. For benchmarks and tests of size.

namespace zk::test {

struct ChoralePitch {
    char step;
    int alter;
    int octave;
};

inline QByteArray ChoraleNote(const ChoralePitch& pitch, int duration, const char* type, int voice,
                              int staff, const char* tie = nullptr) {
    QByteArray note = "<note><pitch><step>" + QByteArray(1, pitch.step) + "</step>";
    if (pitch.alter != 0) {
        note += "<alter>" + QByteArray::number(pitch.alter) + "</alter>";
    }
    note += "<octave>" + QByteArray::number(pitch.octave) + "</octave></pitch><duration>" +
            QByteArray::number(duration) + "</duration>";
    if (tie != nullptr) {
        note += "<tie type=\"" + QByteArray(tie) + "\"/>";
    }
    note += "<voice>" + QByteArray::number(voice) + "</voice><type>" + QByteArray(type) +
            "</type><staff>" + QByteArray::number(staff) + "</staff></note>";
    return note;
}

// The diatonic step above a pitch in G major (F sharp).
inline ChoralePitch StepAbove(const ChoralePitch& pitch) {
    static const char letters[] = "CDEFGAB";
    int index = 0;
    while (letters[index] != pitch.step) {
        ++index;
    }
    const char next = letters[(index + 1) % 7];
    return {next, next == 'F' ? 1 : 0, pitch.octave + (next == 'C' ? 1 : 0)};
}

inline QByteArray ChoraleScore(int chorales, int measuresEach = 16) {
    // Soprano, alto, tenor, bass of I, IV, V, I.
    static const std::array<std::array<ChoralePitch, 4>, 4> chords = {{
        {{{'D', 0, 5}, {'B', 0, 4}, {'G', 0, 3}, {'G', 0, 2}}},
        {{{'E', 0, 5}, {'C', 0, 5}, {'G', 0, 3}, {'C', 0, 3}}},
        {{{'D', 0, 5}, {'A', 0, 4}, {'F', 1, 3}, {'D', 0, 3}}},
        {{{'B', 0, 4}, {'G', 0, 4}, {'D', 0, 4}, {'G', 0, 2}}},
    }};
    const int measures = chorales * measuresEach;
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<score-partwise version=\"4.0\"><work>"
        "<work-title>Choräle</work-title></work><part-list><score-part id=\"P1\"><part-name>Chor"
        "</part-name></score-part></part-list><part id=\"P1\">";
    for (int m = 0; m < measures; ++m) {
        xml += "<measure number=\"" + QByteArray::number(m + 1) + "\">";
        if (m == 0) {
            xml += "<attributes><divisions>2</divisions><key><fifths>1</fifths></key><time>"
                   "<beats>4</beats><beat-type>4</beat-type></time><staves>2</staves>"
                   "</attributes><direction><sound tempo=\"72\"/></direction>";
        }
        for (int voice = 0; voice < 4; ++voice) {
            if (voice > 0) {
                xml += "<backup><duration>8</duration></backup>";
            }
            const int number = std::array{1, 2, 5, 6}[static_cast<std::size_t>(voice)];
            const int staff = voice < 2 ? 1 : 2;
            for (int beat = 0; beat < 4; ++beat) {
                const ChoralePitch& pitch =
                    chords[static_cast<std::size_t>(beat)][static_cast<std::size_t>(voice)];
                const bool passes =
                    (voice == 1 && beat == 2) || (voice == 2 && beat == 1 && m % 2 == 0);
                if (passes) {
                    xml += ChoraleNote(pitch, 1, "eighth", number, staff);
                    xml += ChoraleNote(StepAbove(pitch), 1, "eighth", number, staff);
                    continue;
                }
                const char* tie = nullptr;
                if (voice == 3 && beat == 3 && m + 1 < measures) {
                    tie = "start";
                } else if (voice == 3 && beat == 0 && m > 0) {
                    tie = "stop";
                }
                xml += ChoraleNote(pitch, 2, "quarter", number, staff, tie);
            }
        }
        xml += "</measure>";
    }
    return xml + "</part></score-partwise>\n";
}

} // namespace zk::test
