// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/musicxml_reader.h"

#include "support/checked_math.h"

#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <map>
#include <set>
#include <tuple>

namespace zk {

namespace {

// A chromatic transposition without its diatonic part moves the letter by these steps
// (minor second one letter, tritone three, ...).
constexpr std::array<int, 12> kStepsOfSemitones = {0, 1, 1, 2, 2, 3, 3, 4, 5, 5, 6, 6};

// ---------------------------------------------------------------- values in the XML

// A decimal written as MusicXML writes its durations and divisions ("4", "1.5", "-2"), as an exact
// fraction; none for anything else or more digits than a 64-bit fraction holds.
std::optional<Rational> DecimalRational(QStringView text) {
    // An XML Schema decimal: digits before or after the point or both (".5", "2.", "0.3333333").
    static const QRegularExpression decimal(QStringLiteral("^([+-]?)([0-9]*)(?:\\.([0-9]*))?$"));
    const auto match = decimal.match(text.trimmed());
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    QString whole = match.captured(2);
    QString fraction = match.captured(3);
    if (whole.isEmpty() && fraction.isEmpty()) {
        return std::nullopt;
    }
    // Up to twelve places before the point, and eighteen in all: they fit the fraction's 64-bit
    // terms.
    while (whole.size() > 1 && whole.startsWith(u'0')) {
        whole.remove(0, 1);
    }
    while (fraction.endsWith(u'0')) {
        fraction.chop(1);
    }
    if (whole.size() > 12 || whole.size() + fraction.size() > 18) {
        return std::nullopt;
    }
    std::int64_t den = 1;
    for (qsizetype i = 0; i < fraction.size(); ++i) {
        den *= 10;
    }
    const std::int64_t part = fraction.isEmpty() ? 0 : fraction.toLongLong();
    const std::int64_t num = whole.toLongLong() * den + part;
    return Rational(match.captured(1) == u"-" ? -num : num, den);
}

std::optional<int> WholeNumber(QStringView text) {
    const auto value = DecimalRational(text);
    if (!value || !value->IsWhole() || value->Numerator() < INT32_MIN ||
        value->Numerator() > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(value->Numerator());
}

// The length of a note type ("quarter", "eighth", "16th", "breve") in quarter notes.
std::optional<Rational> NoteTypeQuarters(QStringView type) {
    static const std::map<QString, Rational> lengths = {
        {QStringLiteral("maxima"), 32},      {QStringLiteral("long"), 16},
        {QStringLiteral("breve"), 8},        {QStringLiteral("whole"), 4},
        {QStringLiteral("half"), 2},         {QStringLiteral("quarter"), 1},
        {QStringLiteral("eighth"), {1, 2}},  {QStringLiteral("16th"), {1, 4}},
        {QStringLiteral("32nd"), {1, 8}},    {QStringLiteral("64th"), {1, 16}},
        {QStringLiteral("128th"), {1, 32}},  {QStringLiteral("256th"), {1, 64}},
        {QStringLiteral("512th"), {1, 128}}, {QStringLiteral("1024th"), {1, 256}},
    };
    const auto found = lengths.find(type.trimmed().toString());
    if (found == lengths.end()) {
        return std::nullopt;
    }
    return found->second;
}

// The first number in a text such as "72", "c. 72" or "72-76".
std::optional<double> FirstNumber(QStringView text) {
    static const QRegularExpression number(QStringLiteral("[0-9]+(?:\\.[0-9]+)?"));
    const auto match = number.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return match.captured().toDouble();
}

// ---------------------------------------------------------------- the stream

// QXmlStreamReader with a depth count, so that no nesting, however deep, makes the reading
// expensive, and with every error turned into a ScoreError that names line and column.
class XmlCursor {
public:
    explicit XmlCursor(const QByteArray& xml) : m_xml(xml) {}

    // Reads on to the end of the document after the root element, so that anything after it
    // (a second score appended, stray text) is refused rather than dropped unseen.
    void Finish() {
        while (!m_xml.atEnd()) {
            if (m_xml.readNext() == QXmlStreamReader::Invalid) {
                Fail();
            }
        }
    }

    // Moves to the root element; false when the document has none.
    bool EnterRoot() {
        while (!m_xml.atEnd()) {
            if (m_xml.readNext() == QXmlStreamReader::StartElement) {
                m_depth = 1;
                return true;
            }
        }
        return false;
    }

    // The next child element of the current one (true), or the end of the current one (false).
    bool NextChild() {
        for (;;) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement:
                Descend();
                return true;
            case QXmlStreamReader::EndElement:
                --m_depth;
                return false;
            case QXmlStreamReader::Invalid:
                Fail();
            case QXmlStreamReader::EndDocument:
                return false;
            default:
                break;
            }
        }
    }

    // Skips the rest of the current element, children and all.
    void Skip() {
        ReadToEnd([](QStringView) {});
    }

    // The text of the current element (the text of children is left out), which is then left.
    QString Text() {
        QString text;
        ReadToEnd([&text](QStringView characters) { text += characters; });
        return text.trimmed();
    }

    QStringView Name() const { return m_xml.name(); }
    QString Attribute(const char* name) const {
        return m_xml.attributes().value(QLatin1String(name)).toString();
    }
    qint64 Line() const { return m_xml.lineNumber(); }
    qint64 Column() const { return m_xml.columnNumber(); }

    [[noreturn]] void Throw(const QString& text) const {
        throw ScoreError(
            QStringLiteral("Zeile %1, Spalte %2: %3").arg(Line()).arg(Column()).arg(text));
    }

private:
    // Reads to the end of the current element, handing its own text (not that of its children)
    // to `text`.
    template <typename TextSink> void ReadToEnd(TextSink&& text) {
        const int depth = m_depth;
        while (m_depth >= depth) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::Characters:
                if (m_depth == depth) {
                    text(m_xml.text());
                }
                break;
            case QXmlStreamReader::StartElement:
                Descend();
                break;
            case QXmlStreamReader::EndElement:
                --m_depth;
                break;
            case QXmlStreamReader::Invalid:
                Fail();
            case QXmlStreamReader::EndDocument:
                return;
            default:
                break;
            }
        }
    }

    void Descend() {
        if (++m_depth > kMaxScoreXmlDepth) {
            Throw(QStringLiteral("Die Elemente sind tiefer als %1 Ebenen verschachtelt; so "
                                 "liest Zirkelon keine Partitur.")
                      .arg(kMaxScoreXmlDepth));
        }
    }

    [[noreturn]] void Fail() const {
        Throw(QStringLiteral("Die Datei ist kein gültiges XML (%1).").arg(m_xml.errorString()));
    }

    QXmlStreamReader m_xml;
    int m_depth = 0;
};

// ---------------------------------------------------------------- what is read

struct Transposition {
    int diatonic = 0;
    int chromatic = 0;
    int octaveChange = 0;

    SpelledPitch Apply(const SpelledPitch& written) const {
        return written.Transposed(diatonic + 7 * octaveChange, chromatic + 12 * octaveChange);
    }
};

// What the reader keeps of a part while it reads its measures.
struct PartState {
    int index = 0;
    QString id;
    std::map<int, Transposition> transpositions; // by staff; 0 applies to every staff
    Rational divisions = 1;
    int measureIndex = -1;
    QString measureNumber;
    Rational cursor;    // quarters from the start of the measure
    Rational lastStart; // where the previous note element began, for <chord/>
    bool hasSoundingNote = false;

    const Transposition& TranspositionOf(int staff) const {
        static const Transposition none;
        if (const auto found = transpositions.find(staff); found != transpositions.end()) {
            return found->second;
        }
        if (const auto found = transpositions.find(0); found != transpositions.end()) {
            return found->second;
        }
        return none;
    }
};

struct RawNote {
    int part = 0;
    QString voice;
    SpelledPitch pitch; // sounding
    int measureIndex = 0;
    Rational offset;
    Rational duration;
    bool tieStart = false;
    bool tieStop = false;
    SourcePlace place;
    int order = 0; // in the document
};

struct RawKey {
    int part = 0;
    int measureIndex = 0;
    Rational offset;
    std::optional<SpelledPitch> tonic; // sounding; none for a key without a tonic
    int order = 0;
};

struct RawTempo {
    int measureIndex = 0;
    Rational offset;
    double quarterTempo = 0;
    bool fromSound = false; // <sound tempo> wins over a printed metronome mark
    int order = 0;
};

// The tonic of a traditional key signature: `fifths` on the line of fifths, moved by the mode.
SpelledPitch KeyTonic(int fifths, QStringView mode) {
    static const std::map<QString, int> modeOffsets = {
        {QStringLiteral("major"), 0},      {QStringLiteral("ionian"), 0},
        {QStringLiteral("none"), 0},       {QStringLiteral("minor"), 3},
        {QStringLiteral("aeolian"), 3},    {QStringLiteral("dorian"), 2},
        {QStringLiteral("phrygian"), 4},   {QStringLiteral("lydian"), -1},
        {QStringLiteral("mixolydian"), 1}, {QStringLiteral("locrian"), 5},
    };
    const auto found = modeOffsets.find(mode.trimmed().toString());
    const int position = fifths + (found == modeOffsets.end() ? 0 : found->second);
    // "FCGDAEB" from F = -1: the letter repeats every seven fifths, one sharp higher each time.
    static constexpr std::array<int, 7> lettersFromF = {3, 0, 4, 1, 5, 2, 6};
    SpelledPitch tonic;
    tonic.step = lettersFromF[static_cast<std::size_t>(FloorMod(position + 1, 7))];
    tonic.alter = FloorDiv(position + 1, 7);
    tonic.octave = 4;
    return tonic;
}

class Reader {
public:
    explicit Reader(const QByteArray& xml) : m_xml(xml) {}

    Score Read() {
        if (!m_xml.EnterRoot()) {
            throw ScoreError(QStringLiteral("Die Datei enthält kein XML-Dokument."));
        }
        const QString root = m_xml.Name().toString();
        if (root == u"score-partwise") {
            ReadScore(false);
        } else if (root == u"score-timewise") {
            ReadScore(true);
        } else {
            throw ScoreError(QStringLiteral("Das XML-Dokument ist keine MusicXML-Partitur: sein "
                                            "Wurzelelement ist <%1>, nicht <score-partwise> oder "
                                            "<score-timewise>.")
                                 .arg(root));
        }
        m_xml.Finish();
        return Build();
    }

private:
    // ------------------------------------------------------------ document structure

    void ReadScore(bool timewise) {
        int measureOrdinal = 0;
        while (m_xml.NextChild()) {
            const QStringView name = m_xml.Name();
            if (name == u"work") {
                ReadWork();
            } else if (name == u"movement-title") {
                m_movementTitle = m_xml.Text().simplified();
            } else if (name == u"part-list") {
                ReadPartList();
            } else if (!timewise && name == u"part") {
                PartState& part = Part(m_xml.Attribute("id"));
                while (m_xml.NextChild()) {
                    if (m_xml.Name() == u"measure") {
                        ReadMeasure(part, part.measureIndex + 1);
                    } else {
                        m_xml.Skip();
                    }
                }
            } else if (timewise && name == u"measure") {
                const QString number = m_xml.Attribute("number");
                while (m_xml.NextChild()) {
                    if (m_xml.Name() == u"part") {
                        PartState& part = Part(m_xml.Attribute("id"));
                        part.measureNumber = number;
                        ReadMeasureContent(part, measureOrdinal);
                    } else {
                        m_xml.Skip();
                    }
                }
                ++measureOrdinal;
            } else {
                m_xml.Skip();
            }
        }
    }

    void ReadWork() {
        while (m_xml.NextChild()) {
            if (m_xml.Name() == u"work-title") {
                m_workTitle = m_xml.Text().simplified();
            } else {
                m_xml.Skip();
            }
        }
    }

    void ReadPartList() {
        while (m_xml.NextChild()) {
            if (m_xml.Name() != u"score-part") {
                m_xml.Skip();
                continue;
            }
            const QString id = m_xml.Attribute("id");
            while (m_xml.NextChild()) {
                if (m_xml.Name() == u"part-name") {
                    m_partNames.insert(id, m_xml.Text().simplified());
                } else {
                    m_xml.Skip();
                }
            }
        }
    }

    PartState& Part(const QString& id) {
        for (PartState& part : m_parts) {
            if (part.id == id) {
                return part;
            }
        }
        PartState part;
        part.index = static_cast<int>(m_parts.size());
        part.id = id;
        m_parts.push_back(part);
        return m_parts.back();
    }

    // ------------------------------------------------------------ measures

    void ReadMeasure(PartState& part, int measureIndex) {
        part.measureNumber = m_xml.Attribute("number");
        ReadMeasureContent(part, measureIndex);
    }

    void ReadMeasureContent(PartState& part, int measureIndex) {
        part.measureIndex = measureIndex;
        part.cursor = 0;
        part.lastStart = 0;
        if (static_cast<int>(m_measureLengths.size()) <= measureIndex) {
            m_measureLengths.resize(static_cast<std::size_t>(measureIndex) + 1);
        }
        while (m_xml.NextChild()) {
            const QStringView name = m_xml.Name();
            if (name == u"note") {
                ReadNote(part);
            } else if (name == u"backup" || name == u"forward") {
                const bool forward = name == u"forward";
                const Rational length = ReadDurationOf(part);
                part.cursor =
                    forward ? part.cursor + length : Max(Rational(0), part.cursor - length);
                Reach(part, part.cursor);
            } else if (name == u"attributes") {
                ReadAttributes(part);
            } else if (name == u"direction") {
                ReadDirection(part);
            } else if (name == u"sound") {
                ReadSoundTempo(part);
                m_xml.Skip();
            } else if (name == u"barline") {
                ReadBarline();
            } else {
                m_xml.Skip();
            }
        }
    }

    // A measure lasts as far as anything in it reaches, in any part.
    void Reach(const PartState& part, const Rational& position) {
        Rational& length = m_measureLengths[static_cast<std::size_t>(part.measureIndex)];
        length = Max(length, position);
    }

    SourcePlace Place(const PartState& part, qint64 line, qint64 column) const {
        SourcePlace place;
        place.partId = part.id;
        place.partName = m_partNames.value(part.id);
        place.measure = part.measureNumber;
        place.measureIndex = part.measureIndex;
        place.line = line;
        place.column = column;
        return place;
    }

    // "Takt 12, Sopran" for messages about a place in the score.
    QString PlaceText(const PartState& part) const {
        const QString name = m_partNames.value(part.id);
        return QStringLiteral("Takt %1, Stimme \"%2\"")
            .arg(part.measureNumber.isEmpty() ? QString::number(part.measureIndex + 1)
                                              : part.measureNumber,
                 name.isEmpty() ? part.id : name);
    }

    // The <duration> child of a <backup> or <forward>, in quarters.
    Rational ReadDurationOf(const PartState& part) {
        Rational length;
        while (m_xml.NextChild()) {
            if (m_xml.Name() == u"duration") {
                length = DurationInQuarters(part, m_xml.Text());
            } else {
                m_xml.Skip();
            }
        }
        return length;
    }

    Rational DurationInQuarters(const PartState& part, const QString& text) {
        const auto units = DecimalRational(text);
        if (!units || units->IsNegative()) {
            Warn(QStringLiteral("%1: die Dauer \"%2\" ist keine Zahl und gilt als 0.")
                     .arg(PlaceText(part), text));
            return 0;
        }
        return *units / part.divisions;
    }

    // ------------------------------------------------------------ notes

    void ReadNote(PartState& part) {
        const qint64 line = m_xml.Line();
        const qint64 column = m_xml.Column();
        bool grace = false;
        bool cue = false;
        bool chord = false;
        bool unpitched = false;
        std::optional<SpelledPitch> written;
        Rational duration;
        QString voice = QStringLiteral("1");
        int staff = 1;
        bool tieStart = false;
        bool tieStop = false;
        const auto tie = [&](const QString& type) {
            tieStart = tieStart || type == u"start" || type == u"continue";
            tieStop = tieStop || type == u"stop" || type == u"continue";
        };
        while (m_xml.NextChild()) {
            const QStringView name = m_xml.Name();
            if (name == u"grace") {
                grace = true;
                m_xml.Skip();
            } else if (name == u"cue") {
                cue = true;
                m_xml.Skip();
            } else if (name == u"chord") {
                chord = true;
                m_xml.Skip();
            } else if (name == u"pitch") {
                written = ReadPitch(part);
            } else if (name == u"unpitched") {
                unpitched = true;
                m_xml.Skip();
            } else if (name == u"duration") {
                duration = DurationInQuarters(part, m_xml.Text());
            } else if (name == u"tie") {
                tie(m_xml.Attribute("type"));
                m_xml.Skip();
            } else if (name == u"voice") {
                const QString text = m_xml.Text();
                voice = text.isEmpty() ? QStringLiteral("1") : text;
            } else if (name == u"staff") {
                staff = WholeNumber(m_xml.Text()).value_or(1);
            } else if (name == u"notations") {
                while (m_xml.NextChild()) {
                    if (m_xml.Name() == u"tied") {
                        tie(m_xml.Attribute("type"));
                    }
                    m_xml.Skip();
                }
            } else {
                m_xml.Skip();
            }
        }

        // Grace notes take no time; every other note starts where the cursor (or its chord)
        // stands and moves the cursor on, whether it sounds or not.
        const Rational start = chord ? part.lastStart : part.cursor;
        part.lastStart = start;
        if (grace) {
            ++m_graceNotes;
            return;
        }
        if (!chord) {
            part.cursor = start + duration;
        }
        Reach(part, start + duration);
        if (cue) {
            ++m_cueNotes;
            return;
        }
        if (unpitched) {
            ++m_unpitchedNotes;
            return;
        }
        if (!written || duration.IsZero()) {
            return; // a rest, or a note of no length
        }
        RawNote note;
        note.part = part.index;
        note.voice = voice;
        note.pitch = part.TranspositionOf(staff).Apply(*written);
        note.measureIndex = part.measureIndex;
        note.offset = start;
        note.duration = duration;
        note.tieStart = tieStart;
        note.tieStop = tieStop;
        note.place = Place(part, line, column);
        note.order = m_order++;
        m_notes.push_back(note);
        part.hasSoundingNote = true;
    }

    std::optional<SpelledPitch> ReadPitch(const PartState& part) {
        QString step;
        QString alter;
        QString octave;
        while (m_xml.NextChild()) {
            const QStringView name = m_xml.Name();
            if (name == u"step") {
                step = m_xml.Text();
            } else if (name == u"alter") {
                alter = m_xml.Text();
            } else if (name == u"octave") {
                octave = m_xml.Text();
            } else {
                m_xml.Skip();
            }
        }
        static const QString letters = QStringLiteral("CDEFGAB");
        const qsizetype letter = step.size() == 1 ? letters.indexOf(step.at(0).toUpper()) : -1;
        const auto octaveNumber = WholeNumber(octave);
        if (letter < 0 || !octaveNumber || *octaveNumber < -8 || *octaveNumber > 16) {
            Warn(QStringLiteral("%1: ein Ton ohne gültige Tonhöhe (<step>%2</step>, "
                                "<octave>%3</octave>) wurde ausgelassen.")
                     .arg(PlaceText(part), step, octave));
            return std::nullopt;
        }
        SpelledPitch pitch;
        pitch.step = static_cast<int>(letter);
        pitch.octave = *octaveNumber;
        if (!alter.isEmpty()) {
            const auto semitones = DecimalRational(alter);
            if (semitones && semitones->IsWhole() && std::abs(semitones->Numerator()) > 12) {
                throw ScoreError(QStringLiteral("%1 (Zeile %2): Der Ton %3 hat die Alteration %4 "
                                                "Halbtöne; mehr als zwölf liest Zirkelon nicht.")
                                     .arg(PlaceText(part))
                                     .arg(m_xml.Line())
                                     .arg(step + octave, alter));
            }
            if (!semitones || !semitones->IsWhole()) {
                throw ScoreError(
                    QStringLiteral("%1 (Zeile %2): Der Ton %3 hat die Alteration %4 Halbtöne, "
                                   "einen Mikroton. Zirkelon stimmt Töne nur in ganzen Halbtönen "
                                   "und liest diese Partitur nicht.")
                        .arg(PlaceText(part))
                        .arg(m_xml.Line())
                        .arg(step + octave, alter));
            }
            pitch.alter = static_cast<int>(semitones->Numerator());
        }
        return pitch;
    }

    // ------------------------------------------------------------ attributes

    void ReadAttributes(PartState& part) {
        std::vector<std::pair<std::optional<SpelledPitch>, int>> keys; // written tonic, staff
        while (m_xml.NextChild()) {
            const QStringView name = m_xml.Name();
            if (name == u"divisions") {
                const QString text = m_xml.Text();
                const auto divisions = DecimalRational(text);
                if (divisions && divisions->Numerator() > 0) {
                    part.divisions = *divisions;
                } else {
                    Warn(QStringLiteral("%1: <divisions>%2</divisions> ist keine positive Zahl "
                                        "und wurde übergangen.")
                             .arg(PlaceText(part), text));
                }
            } else if (name == u"key") {
                const int staff = WholeNumber(m_xml.Attribute("number")).value_or(0);
                keys.emplace_back(ReadKey(), staff);
            } else if (name == u"transpose") {
                const int staff = WholeNumber(m_xml.Attribute("number")).value_or(0);
                part.transpositions[staff] = ReadTranspose(part);
            } else {
                m_xml.Skip();
            }
        }
        // A transposition takes effect with the key of the same block, wherever it is written.
        for (const auto& [tonic, staff] : keys) {
            if (staff > 1) {
                continue; // the first staff speaks for the part
            }
            RawKey key;
            key.part = part.index;
            key.measureIndex = part.measureIndex;
            key.offset = part.cursor;
            if (tonic) {
                key.tonic = part.TranspositionOf(1).Apply(*tonic);
            }
            key.order = m_order++;
            m_keys.push_back(key);
        }
    }

    // The written tonic of a traditional signature; none for one of single alterations.
    std::optional<SpelledPitch> ReadKey() {
        std::optional<int> fifths;
        QString mode;
        bool nonTraditional = false;
        while (m_xml.NextChild()) {
            const QStringView name = m_xml.Name();
            if (name == u"fifths") {
                fifths = WholeNumber(m_xml.Text());
            } else if (name == u"mode") {
                mode = m_xml.Text();
            } else if (name == u"key-step") {
                nonTraditional = true;
                m_xml.Skip();
            } else {
                m_xml.Skip();
            }
        }
        if (nonTraditional || !fifths || *fifths < -20 || *fifths > 20) {
            return std::nullopt;
        }
        return KeyTonic(*fifths, mode);
    }

    Transposition ReadTranspose(const PartState& part) {
        Transposition transposition;
        std::optional<int> diatonic;
        while (m_xml.NextChild()) {
            const QStringView name = m_xml.Name();
            if (name == u"diatonic") {
                diatonic = WholeNumber(m_xml.Text());
            } else if (name == u"chromatic") {
                const QString text = m_xml.Text();
                const auto chromatic = WholeNumber(text);
                if (!chromatic || std::abs(*chromatic) > 96) {
                    throw ScoreError(QStringLiteral("%1: Die Transposition um %2 Halbtöne kann "
                                                    "Zirkelon nicht spielen (nur ganze Halbtöne).")
                                         .arg(PlaceText(part), text));
                }
                transposition.chromatic = *chromatic;
            } else if (name == u"octave-change") {
                transposition.octaveChange =
                    std::clamp(WholeNumber(m_xml.Text()).value_or(0), -8, 8);
            } else {
                m_xml.Skip();
            }
        }
        transposition.diatonic = diatonic ? std::clamp(*diatonic, -56, 56)
                                          : FloorDiv(transposition.chromatic, 12) * 7 +
                                                kStepsOfSemitones[static_cast<std::size_t>(
                                                    FloorMod(transposition.chromatic, 12))];
        return transposition;
    }

    // ------------------------------------------------------------ directions

    void ReadDirection(const PartState& part) {
        while (m_xml.NextChild()) {
            const QStringView name = m_xml.Name();
            if (name == u"direction-type") {
                while (m_xml.NextChild()) {
                    if (m_xml.Name() == u"metronome") {
                        ReadMetronome(part);
                    } else {
                        m_xml.Skip();
                    }
                }
            } else if (name == u"sound") {
                ReadSoundTempo(part);
                m_xml.Skip();
            } else {
                m_xml.Skip();
            }
        }
    }

    void ReadSoundTempo(const PartState& part) {
        const QString tempo = m_xml.Attribute("tempo");
        if (tempo.isEmpty()) {
            return;
        }
        bool ok = false;
        const double quarters = tempo.toDouble(&ok);
        AddTempo(part, ok ? quarters : 0, true);
    }

    void ReadMetronome(const PartState& part) {
        std::optional<Rational> unit;
        int units = 0;
        int dots = 0;
        std::optional<double> perMinute;
        while (m_xml.NextChild()) {
            const QStringView name = m_xml.Name();
            if (name == u"beat-unit") {
                ++units;
                unit = NoteTypeQuarters(m_xml.Text());
            } else if (name == u"beat-unit-dot") {
                ++dots;
                m_xml.Skip();
            } else if (name == u"per-minute") {
                perMinute = FirstNumber(m_xml.Text());
            } else {
                m_xml.Skip();
            }
        }
        // A mark that equates two note values (a metric modulation) gives no tempo.
        if (units != 1 || !unit || !perMinute) {
            return;
        }
        double quarters = static_cast<double>(unit->ToReal());
        double dot = quarters / 2;
        for (int i = 0; i < std::min(dots, 4); ++i, dot /= 2) {
            quarters += dot;
        }
        AddTempo(part, *perMinute * quarters, false);
    }

    void AddTempo(const PartState& part, double quarterTempo, bool fromSound) {
        // A tempo no one could play is a slip of the pen; the table keeps its own.
        if (!(quarterTempo >= 10 && quarterTempo <= 1000)) {
            Warn(QStringLiteral("%1: die Tempoangabe %2 wurde übergangen.")
                     .arg(PlaceText(part))
                     .arg(quarterTempo));
            return;
        }
        m_tempos.push_back({part.measureIndex, part.cursor, quarterTempo, fromSound, m_order++});
    }

    void ReadBarline() {
        while (m_xml.NextChild()) {
            if (m_xml.Name() == u"repeat" || m_xml.Name() == u"ending") {
                m_hasRepeats = true;
            }
            m_xml.Skip();
        }
    }

    void Warn(const QString& text) {
        if (m_warnings.size() < kMaxWarnings) {
            m_warnings.append(text);
        } else if (m_warnings.size() == kMaxWarnings) {
            m_warnings.append(QStringLiteral("(weitere Hinweise ausgelassen)"));
        }
    }

    // ------------------------------------------------------------ the score

    Score Build() {
        std::vector<Rational> measureStarts(m_measureLengths.size() + 1);
        for (std::size_t i = 0; i < m_measureLengths.size(); ++i) {
            measureStarts[i + 1] = measureStarts[i] + m_measureLengths[i];
        }
        const auto timeOf = [&](int measureIndex, const Rational& offset) {
            return measureStarts[static_cast<std::size_t>(measureIndex)] + offset;
        };

        Score score;
        score.title = m_workTitle.isEmpty() ? m_movementTitle : m_workTitle;
        score.notes = JoinTies(timeOf);
        // Beyond MIDI's keys a tone is inaudible and the chord notation has no octave for it.
        const auto outside = std::erase_if(score.notes, [](const ScoreNote& note) {
            return note.pitch.MidiKey() < 0 || note.pitch.MidiKey() > 127;
        });
        if (outside > 0) {
            Warn(QStringLiteral("%1 Töne unter C-1 oder über G9 (außerhalb der MIDI-Tasten) "
                                "wurden ausgelassen.")
                     .arg(outside));
            score.warnings = m_warnings;
        }
        if (score.notes.empty()) {
            throw ScoreError(QStringLiteral("Die Partitur enthält keinen Ton mit Tonhöhe (nur "
                                            "Pausen, Vorschläge, Stichnoten oder Schlagzeug); "
                                            "Zirkelon hat nichts zu stimmen."));
        }
        score.end = measureStarts.back();
        std::set<std::pair<int, QString>> voices;
        for (const ScoreNote& note : score.notes) {
            score.end = Max(score.end, note.end);
            voices.emplace(note.part, note.voice);
        }
        score.voiceCount = static_cast<int>(voices.size());

        // The key signatures of the first part that sounds speak for the score.
        int keyPart = static_cast<int>(m_parts.size());
        for (const PartState& part : m_parts) {
            if (part.hasSoundingNote) {
                keyPart = std::min(keyPart, part.index);
            }
        }
        for (const RawKey& key : m_keys) {
            // A first key without a tonic stands for C; a later one changes nothing.
            if (key.part == keyPart && (key.tonic || score.keys.empty())) {
                score.keys.push_back({timeOf(key.measureIndex, key.offset),
                                      key.tonic.value_or(SpelledPitch{0, 0, 4})});
            }
        }
        std::stable_sort(score.keys.begin(), score.keys.end(),
                         [](const ScoreKey& a, const ScoreKey& b) { return a.time < b.time; });

        // The first tempo by time: a <sound tempo> wherever there is one, else a metronome mark.
        const auto first = std::min_element(
            m_tempos.begin(), m_tempos.end(), [&](const RawTempo& a, const RawTempo& b) {
                return std::make_tuple(!a.fromSound, timeOf(a.measureIndex, a.offset), a.order) <
                       std::make_tuple(!b.fromSound, timeOf(b.measureIndex, b.offset), b.order);
            });
        if (first != m_tempos.end()) {
            score.quarterTempo = first->quarterTempo;
        }
        score.graceNotes = m_graceNotes;
        score.cueNotes = m_cueNotes;
        score.unpitchedNotes = m_unpitchedNotes;
        score.hasRepeats = m_hasRepeats;
        score.warnings = m_warnings;
        return score;
    }

    // A tie stop continues the earlier note of its part and key that waits with a tie start:
    // the same voice preferred (a cross-voice tie joins too), an enharmonic tie joins as well, and
    // a gap before the stop is held (an arpeggio tied into a chord rings on). A note of that key
    // struck anew after the waiting one ended cancels the wait.
    template <typename TimeOf> std::vector<ScoreNote> JoinTies(const TimeOf& timeOf) {
        struct Placed {
            const RawNote* raw;
            Rational start;
        };
        std::vector<Placed> placed;
        placed.reserve(m_notes.size());
        for (const RawNote& raw : m_notes) {
            placed.push_back({&raw, timeOf(raw.measureIndex, raw.offset)});
        }
        // Tie stops first at each moment, so that a note struck at the same moment in another
        // voice does not cancel the tie.
        std::sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
            if (a.start != b.start) {
                return a.start < b.start;
            }
            if (a.raw->tieStop != b.raw->tieStop) {
                return a.raw->tieStop;
            }
            return a.raw->order < b.raw->order;
        });

        struct Group {
            ScoreNote note;
            Rational lastStart;
            int order = 0;
        };
        std::vector<Group> groups;
        groups.reserve(placed.size());
        std::map<std::pair<int, int>, std::vector<std::size_t>> waiting; // (part, key) → groups

        for (const Placed& p : placed) {
            const RawNote& raw = *p.raw;
            const std::pair<int, int> key{raw.part, raw.pitch.MidiKey()};
            const Rational end = p.start + raw.duration;
            auto& candidates = waiting[key];
            if (raw.tieStop) {
                std::optional<std::size_t> best;
                for (std::size_t i = 0; i < candidates.size(); ++i) {
                    const Group& g = groups[candidates[i]];
                    if (g.note.end > p.start) {
                        continue;
                    }
                    if (!best) {
                        best = i;
                        continue;
                    }
                    const Group& b = groups[candidates[*best]];
                    const auto rank = [&](const Group& x) {
                        return std::make_tuple(x.note.voice == raw.voice, x.note.end == p.start,
                                               x.note.end);
                    };
                    if (rank(g) > rank(b)) {
                        best = i;
                    }
                }
                if (best) {
                    const std::size_t index = candidates[*best];
                    Group& group = groups[index];
                    group.note.end = Max(group.note.end, end);
                    group.lastStart = p.start;
                    if (!raw.tieStart) {
                        candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(*best));
                    }
                    continue;
                }
            }
            // Struck anew: notes of this key that ended before it wait no longer.
            std::erase_if(candidates, [&](std::size_t index) {
                const Group& g = groups[index];
                return g.note.end <= p.start && g.lastStart < p.start;
            });
            Group group;
            group.note.part = raw.part;
            group.note.voice = raw.voice;
            group.note.pitch = raw.pitch;
            group.note.start = p.start;
            group.note.end = end;
            group.note.place = raw.place;
            group.lastStart = p.start;
            group.order = raw.order;
            groups.push_back(group);
            if (raw.tieStart) {
                candidates.push_back(groups.size() - 1);
            }
        }

        std::sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
            if (a.note.start != b.note.start) {
                return a.note.start < b.note.start;
            }
            if (a.note.part != b.note.part) {
                return a.note.part < b.note.part;
            }
            return a.order < b.order;
        });
        std::vector<ScoreNote> notes;
        notes.reserve(groups.size());
        for (Group& group : groups) {
            notes.push_back(std::move(group.note));
        }
        return notes;
    }

    static constexpr qsizetype kMaxWarnings = 20;

    XmlCursor m_xml;
    QString m_workTitle;
    QString m_movementTitle;
    QHash<QString, QString> m_partNames;
    std::deque<PartState> m_parts; // references stay valid as parts are added
    std::vector<Rational> m_measureLengths;
    std::vector<RawNote> m_notes;
    std::vector<RawKey> m_keys;
    std::vector<RawTempo> m_tempos;
    QStringList m_warnings;
    int m_order = 0;
    int m_graceNotes = 0;
    int m_cueNotes = 0;
    int m_unpitchedNotes = 0;
    bool m_hasRepeats = false;
};

} // namespace

Score ReadMusicXml(const QByteArray& xml) {
    return Reader(xml).Read();
}

} // namespace zk
