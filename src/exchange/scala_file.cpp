#include "exchange/scala_file.h"

#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "engine/tone_names.h"
#include "piece/compute_pass.h"
#include "piece/pass_host.h"
#include "piece/piece_table.h"
#include "support/ansi_codec.h"
#include "support/checked_math.h"
#include "support/number_text.h"
#include "support/program_files.h"
#include "support/system_reason.h"
#include "support/text_helpers.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace zk {

namespace {

// Pitch classes from c, as the list's header names them.
const std::array<const char16_t*, 12> kToneNames = {u"c",   u"des", u"d",  u"es", u"e", u"f",
                                                    u"fis", u"g",   u"as", u"a",  u"b", u"h"};
// The list's order of the tones: a, b, h, c, des, ..., as as pitch classes from c.
constexpr std::array<int, 12> kRowPitchClasses = {9, 10, 11, 0, 1, 2, 3, 4, 5, 6, 7, 8};

constexpr int kMiddleC = 60; // MIDI key of c1
constexpr int kA1 = 69;      // MIDI key of a1 = 440 Hz
constexpr long double kOctaveCents = 1200;
// How close a period must come to 1200 cents to count as the octave.
constexpr long double kPeriodTolerance = 0.0005L;
// How close a pitch must come to a 5-limit ratio to be written as that ratio: the ratios of a just
// key are met to the last bits of extended precision, tempered pitches are far off.
constexpr long double kRatioTolerance = 1e-6L;

QString ToneName(int pitchClass) {
    return QString::fromUtf16(kToneNames[static_cast<std::size_t>(pitchClass)]);
}

// The line broken down as the format sees it: its first blank-separated field.
QString FirstField(const QString& line) {
    const QString trimmed = line.trimmed();
    qsizetype end = 0;
    while (end < trimmed.size() && trimmed.at(end) != u' ' && trimmed.at(end) != u'\t') {
        ++end;
    }
    return trimmed.left(end);
}

bool IsComment(const QString& line) {
    return line.trimmed().startsWith(u'!');
}

QString LineMessage(int line, const QString& text) {
    return QStringLiteral("Zeile %1: %2").arg(line).arg(text);
}

// The lines of a Scala text, refused when it is too long or holds control characters (a binary
// file read as text).
QStringList ScalaLines(const QString& text) {
    if (text.size() > kMaxScalaFileBytes) {
        throw ScalaError(QStringLiteral("Die Datei ist zu groß (%1 Zeichen); eine Scala-Datei hat "
                                        "höchstens %2 Bytes.")
                             .arg(text.size())
                             .arg(kMaxScalaFileBytes));
    }
    const QStringList lines = SplitLines(text);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        for (const QChar c : lines.at(i)) {
            if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F) {
                throw ScalaError(LineMessage(static_cast<int>(i + 1),
                                             QStringLiteral("Steuerzeichen (Code %1): Die Datei "
                                                            "ist keine Textdatei.")
                                                 .arg(c.unicode())));
            }
        }
    }
    return lines;
}

// A whole number written with digits only; none when the text is something else, a range error
// beyond `limit`.
std::optional<quint64> ReadCount(const QString& field, int line, quint64 limit,
                                 const QString& what) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (!digits.match(field).hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const quint64 value = field.toULongLong(&ok);
    if (!ok || value > limit) {
        throw ScalaError(LineMessage(line, QStringLiteral("%1 \"%2\" ist zu groß (höchstens %3).")
                                               .arg(what, field, QString::number(limit))));
    }
    return value;
}

// One decimal number as the format writes it, with a point, never with the locale's comma.
std::optional<long double> ReadDecimal(const QString& field, bool exponent) {
    static const QRegularExpression plain(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
    static const QRegularExpression withExponent(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (!(exponent ? withExponent : plain).match(field).hasMatch()) {
        return std::nullopt;
    }
    // "1200." and ".5" are numbers of the format; the conversion wants a digit on both sides.
    QString number = field;
    if (number.endsWith(u'.')) {
        number += u'0';
    }
    const qsizetype point = number.indexOf(u'.');
    if (point >= 0 && (point == 0 || !number.at(point - 1).isDigit())) {
        number.insert(point, u'0');
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return static_cast<long double>(value);
}

ScalaPitch ReadPitch(const QString& field, int line) {
    const auto notANumber = [&] {
        return ScalaError(LineMessage(
            line, QStringLiteral("\"%1\" ist weder ein Cent-Wert mit Dezimalpunkt (etwa "
                                 "\"701.955\") noch ein Verhältnis (etwa \"3/2\").")
                      .arg(field)));
    };
    if (field.contains(u'.')) {
        const auto cents = ReadDecimal(field, false);
        if (!cents) {
            throw notANumber();
        }
        return {*cents, 0, 0};
    }
    static const QRegularExpression ratio(QStringLiteral("^([+-]?)([0-9]+)(?:/([0-9]+))?$"));
    const QRegularExpressionMatch match = ratio.match(field);
    if (!match.hasMatch()) {
        throw notANumber();
    }
    bool ok = false;
    const quint64 p = match.captured(2).toULongLong(&ok);
    bool okQ = true;
    const quint64 q = match.captured(3).isEmpty() ? 1 : match.captured(3).toULongLong(&okQ);
    if (!ok || !okQ) {
        throw ScalaError(LineMessage(
            line, QStringLiteral("Das Verhältnis \"%1\" hat zu große Zahlen.").arg(field)));
    }
    if (p == 0 || q == 0) {
        throw ScalaError(LineMessage(
            line, QStringLiteral("Das Verhältnis \"%1\" ist null oder hat den Nenner 0; ein Ton "
                                 "braucht ein positives Verhältnis.")
                      .arg(field)));
    }
    if (match.captured(1) == u"-") {
        throw ScalaError(LineMessage(
            line, QStringLiteral("Das Verhältnis \"%1\" ist negativ; ein Ton braucht ein positives "
                                 "Verhältnis (Cent-Werte dürfen negativ sein, etwa \"-10.0\").")
                      .arg(field)));
    }
    const long double cents =
        kOctaveCents * std::log2(static_cast<long double>(p) / static_cast<long double>(q));
    return {cents, p, q};
}

// A key number of a keyboard mapping.
int ReadKey(const QString& field, int line, const QString& what) {
    const auto value = ReadCount(field, line, 127, what);
    if (!value) {
        throw ScalaError(LineMessage(
            line, QStringLiteral("%1 \"%2\" ist keine MIDI-Taste (0 bis 127).").arg(what, field)));
    }
    return static_cast<int>(*value);
}

// Values with at most `decimals` decimals and a point, trailing zeros dropped but one kept.
QString ScalaNumber(long double x, int decimals) {
    const long double scale = std::pow(10.0L, decimals);
    const long long scaled = std::llround(x * scale);
    const bool negative = scaled < 0;
    const unsigned long long magnitude =
        negative ? 0ULL - static_cast<unsigned long long>(scaled) : scaled;
    const unsigned long long unit = static_cast<unsigned long long>(std::llround(scale));
    QString fraction = QString::number(magnitude % unit).rightJustified(decimals, u'0');
    while (fraction.size() > 1 && fraction.endsWith(u'0')) {
        fraction.chop(1);
    }
    return (negative ? QStringLiteral("-") : QString()) + QString::number(magnitude / unit) + u'.' +
           fraction;
}

// A value of the list: at most three decimals, no trailing zeros, "0" for what rounds to zero.
QString RowNumber(long double x, QChar separator) {
    const long long milli = std::llround(x * 1000);
    if (milli == 0) {
        return QStringLiteral("0");
    }
    const unsigned long long magnitude =
        milli < 0 ? 0ULL - static_cast<unsigned long long>(milli) : milli;
    QString text =
        (milli < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 1000);
    QString fraction = QString::number(magnitude % 1000).rightJustified(3, u'0');
    while (!fraction.isEmpty() && fraction.endsWith(u'0')) {
        fraction.chop(1);
    }
    if (!fraction.isEmpty()) {
        text += separator + fraction;
    }
    return text;
}

// The 5-limit ratio 2^a 3^b 5^c within the tolerance of `cents`, written "p/q", or nothing.
std::optional<QString> FiveLimitRatio(long double cents) {
    const long double octaves = cents / kOctaveCents;
    const long double log3 = std::log2(3.0L);
    const long double log5 = std::log2(5.0L);
    std::optional<QString> best;
    int bestWeight = 0;
    for (int b = -12; b <= 12; ++b) {
        for (int c = -8; c <= 8; ++c) {
            const int weight = std::abs(b) + std::abs(c);
            if (best && weight >= bestWeight) {
                continue;
            }
            const long double rest = octaves - b * log3 - c * log5;
            const long double a = std::nearbyint(rest);
            if (std::fabs(rest - a) * kOctaveCents > kRatioTolerance) {
                continue;
            }
            // Numerator and denominator as exact products; ratios beyond 15 digits are not met.
            long double p = 1;
            long double q = 1;
            const auto times = [](long double& x, long double factor, int n) {
                for (int i = 0; i < n; ++i) {
                    x *= factor;
                }
            };
            times(b > 0 ? p : q, 3, std::abs(b));
            times(c > 0 ? p : q, 5, std::abs(c));
            times(a > 0 ? p : q, 2, static_cast<int>(std::fabs(a)));
            if (p > 1e15L || q > 1e15L) {
                continue;
            }
            best = QStringLiteral("%1/%2")
                       .arg(static_cast<qulonglong>(p))
                       .arg(static_cast<qulonglong>(q));
            bestWeight = weight;
        }
    }
    return best;
}

// A tuning of the twelve keys of an octave: the cents of the degrees 1 .. 11 above degree 0, the
// key of degree 0 and the reference key with its frequency.
struct KeyTuning {
    QString description;
    QStringList comments;
    std::array<long double, 12> cents{}; // cents[0] = 0
    int middleKey = kMiddleC;
    int referenceKey = kA1;
    long double referenceFrequency = 440;
};

// Twelve ascending degrees (cents above the first one, whose frequency at key `firstKey` is
// `firstFrequency`) re-rooted on the pitch class `root`, the reference staying on the first key.
KeyTuning RootedTuning(const std::array<long double, 12>& degreeCents, int firstKey,
                       long double firstFrequency, int root) {
    KeyTuning tuning;
    // Keys and frequencies are brought into MIDI's range by octaves.
    while (firstKey > 127) {
        firstKey -= 12;
        firstFrequency /= 2;
    }
    while (firstKey < 0) {
        firstKey += 12;
        firstFrequency *= 2;
    }
    const int rootIndex = FloorMod(root - firstKey, 12);
    for (int j = 0; j < 12; ++j) {
        const int index = rootIndex + j;
        const long double above =
            index >= 12 ? degreeCents[static_cast<std::size_t>(index - 12)] + kOctaveCents
                        : degreeCents[static_cast<std::size_t>(index)];
        tuning.cents[static_cast<std::size_t>(j)] =
            above - degreeCents[static_cast<std::size_t>(rootIndex)];
    }
    tuning.cents[0] = 0;
    tuning.middleKey = firstKey + rootIndex;
    if (tuning.middleKey > firstKey) {
        tuning.middleKey -= 12; // degree 0 at or below the reference key
    }
    if (tuning.middleKey < 0) {
        tuning.middleKey += 12;
    }
    tuning.referenceKey = firstKey;
    tuning.referenceFrequency = firstFrequency;
    return tuning;
}

ScalaFiles FilesOf(const KeyTuning& tuning) {
    const QString crlf = QStringLiteral("\r\n");
    ScalaFiles files;
    files.description = tuning.description;
    QString& scl = files.scl;
    for (const QString& comment : tuning.comments) {
        scl += QStringLiteral("! ") + comment + crlf;
    }
    scl += QStringLiteral("!") + crlf;
    scl += tuning.description + crlf;
    scl += QStringLiteral(" 12") + crlf;
    scl += QStringLiteral("!") + crlf;
    for (std::size_t j = 1; j < 12; ++j) {
        const auto ratio = FiveLimitRatio(tuning.cents[j]);
        scl += u' ' + (ratio ? *ratio : ScalaNumber(tuning.cents[j], 6)) + crlf;
    }
    scl += QStringLiteral(" 2/1") + crlf;

    QString& kbm = files.kbm;
    const auto entry = [&](const QString& comment, const QString& value) {
        kbm += QStringLiteral("! ") + comment + crlf + value + crlf;
    };
    kbm += QStringLiteral("! Tastenzuordnung zu: ") + tuning.description + crlf;
    entry(QStringLiteral("Größe der Zuordnung (Tasten bis zur Wiederholung):"),
          QStringLiteral("12"));
    entry(QStringLiteral("Erste umgestimmte MIDI-Taste:"), QStringLiteral("0"));
    entry(QStringLiteral("Letzte umgestimmte MIDI-Taste:"), QStringLiteral("127"));
    entry(QStringLiteral("Taste der Stufe 0:"), QString::number(tuning.middleKey));
    entry(QStringLiteral("Bezugstaste:"), QString::number(tuning.referenceKey));
    entry(QStringLiteral("Frequenz der Bezugstaste in Hz:"),
          ScalaNumber(tuning.referenceFrequency, 6));
    entry(QStringLiteral("Stufe der Oktave:"), QStringLiteral("12"));
    kbm += QStringLiteral("! Zuordnung (Stufe je Taste ab der Taste der Stufe 0):") + crlf;
    for (int j = 0; j < 12; ++j) {
        kbm += QString::number(j) + crlf;
    }
    return files;
}

// The twelve values of a row's value text, as the tempered scale reads them.
TemperamentValues RowValues(const TemperamentList& list, const QString& code) {
    const QString values = list.FindTemperamentRow(code);
    if (values.isEmpty()) {
        throw ScalaError(
            QStringLiteral("Die Stimmungsliste hat keine Zeile \"%1\" mit Werten.").arg(code));
    }
    TemperamentValues result{};
    for (int i = 0; i < 12; ++i) {
        const QString token = TokenAt(values, i + 1);
        const std::optional<long double> cents = LocaleTextToNumber(token);
        if (!cents || std::fabs(*cents) > 100 * kOctaveCents) {
            throw ScalaError(
                QStringLiteral("Die Zeile \"%1\" der Stimmungsliste hat für den Ton "
                               "%2 keinen brauchbaren Wert (\"%3\").")
                    .arg(code, ToneName(kRowPitchClasses[static_cast<std::size_t>(i)]), token));
        }
        result[static_cast<std::size_t>(i)] = *cents;
    }
    return result;
}

QString RowName(const TemperamentList& list, const QString& code) {
    const std::optional<QString> line = TemperamentRowOf(list, code);
    if (!line) {
        return {};
    }
    qsizetype end = code.size();
    while (end < line->size()) {
        const QChar c = line->at(end);
        if (c == u'+' || c == u'-' || (c >= u'0' && c <= u'9')) {
            break;
        }
        ++end;
    }
    return line->mid(code.size(), end - code.size()).trimmed();
}

// Deviations from equal temperament (the list's order) as twelve degrees from a in cents.
std::array<long double, 12> DegreesFromA(const TemperamentValues& values) {
    std::array<long double, 12> cents{};
    for (std::size_t i = 0; i < 12; ++i) {
        cents[i] = 100.0L * static_cast<long double>(i) + values[i] - values[0];
    }
    return cents;
}

// A PassHost that computes without anything outside the table.
class SilentHost : public PassHost {
public:
    explicit SilentHost(QString kammerton) : m_kammerton(std::move(kammerton)) {}
    QString KammertonText() const override { return m_kammerton; }
    void SetKammertonText(const QString& text) override { m_kammerton = text; }
    QString TempoText() const override { return QStringLiteral("80"); }
    bool Dauernd() const override { return false; }
    void ClearLastPiece() override {}
    void NotateTable(const PieceTable&) override {}
    void HideNotation() override {}
    void ScrollToRow(int) override {}
    void ProcessPendingEvents() override {}
    void PlayChord(int, const ChordFrequencies&) override {}
    void ShowKeyCheck(const QString&) override {}

private:
    QString m_kammerton;
};

int NearestKey(long double frequency) {
    return static_cast<int>(std::lround(kA1 + 12 * std::log2(frequency / 440.0L)));
}

bool IsJustScale(const TonartScale& scale) {
    TonartScale just;
    just.SetJust(scale.degree(0));
    for (int k = 0; k < 13; ++k) {
        if (std::fabs(scale.degree(k) / just.degree(k) - 1) > 1e-15L) {
            return false;
        }
    }
    return true;
}

// The keys c1 .. h1 must play rising pitches below c2: the pass moves a tone to the nearest
// degree by walking up the scale, so a degree at or below the one before it is never found and
// tones around it go to the wrong one. Of two keys out of order the one farther from its
// equal-tempered place is named, with the line and value of the degree it plays.
template <typename KeyDegree, typename KeyCents>
void CheckRisingKeys(const ScalaScale& scale, const KeyDegree& keyDegree,
                     const KeyCents& keyCents) {
    std::array<long double, 13> above{}; // cents above c1 of c1 .. c2
    for (std::size_t k = 0; k < above.size(); ++k) {
        above[k] = keyCents(kMiddleC + static_cast<int>(k)) - keyCents(kMiddleC);
    }
    const auto deviation = [&](std::size_t k) {
        return above[k] - 100.0L * static_cast<long double>(k);
    };
    // The pitch line of a degree; none for degree 0, the period for its repetitions.
    const auto pitchOf = [&](int degree) -> const ScalaPitch* {
        const int index = degree % 12;
        if (index != 0) {
            return &scale.pitches.at(index - 1);
        }
        return degree == 0 ? nullptr : &scale.pitches.last();
    };
    // A degree as the file writes it: degree 0 is 1/1, the others their ratio or cents.
    const auto written = [&](int degree) {
        const ScalaPitch* found = pitchOf(degree);
        if (found == nullptr) {
            return QStringLiteral("Stufe 0: 1/1");
        }
        const ScalaPitch& pitch = *found;
        const QString value =
            pitch.numerator != 0
                ? QStringLiteral("%1/%2").arg(pitch.numerator).arg(pitch.denominator)
                : NumberToText(3, pitch.cents) + QStringLiteral(" Cent");
        return QStringLiteral("Stufe %1: %2").arg(degree).arg(value);
    };
    for (std::size_t k = 0; k + 1 < above.size(); ++k) {
        if (above[k + 1] > above[k]) {
            continue;
        }
        const bool later = std::fabs(deviation(k + 1)) >= std::fabs(deviation(k));
        const std::size_t culprit = later ? k + 1 : k;
        const std::size_t other = later ? k : k + 1;
        const int culpritKey = kMiddleC + static_cast<int>(culprit);
        const int otherKey = kMiddleC + static_cast<int>(other);
        const int degree = keyDegree(culpritKey);
        const ScalaPitch* pitch = pitchOf(degree);
        const int line = pitch == nullptr ? 0 : pitch->line;
        QString neighbour;
        if (other == 12) {
            neighbour = QStringLiteral("unter dem c der nächsten Oktave");
        } else {
            neighbour = (later ? QStringLiteral("über dem Ton %1 davor")
                               : QStringLiteral("unter dem Ton %1 danach"))
                            .arg(ToneName(static_cast<int>(other % 12)));
        }
        const QString text =
            QStringLiteral("Der Ton %1 (%2) liegt nicht %3 (%4). Die Töne einer Zeile der "
                           "Stimmungsliste müssen von c bis h steigen, denn beim Spielen wird "
                           "jeder Ton zur nächsten Stufe gezogen.")
                .arg(ToneName(static_cast<int>(culprit % 12)), written(degree), neighbour,
                     written(keyDegree(otherKey) + (other == 12 ? 12 : 0)));
        throw ScalaError(line > 0 ? LineMessage(line, text) : text);
    }
}

} // namespace

ScalaScale ReadScl(const QString& text) {
    const QStringList lines = ScalaLines(text);
    ScalaScale scale;
    int descriptionLine = 0;
    int countLine = 0;
    quint64 count = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int line = static_cast<int>(i + 1);
        const QString& content = lines.at(i);
        if (IsComment(content)) {
            continue;
        }
        if (descriptionLine == 0) {
            descriptionLine = line;
            scale.description = content.trimmed();
            continue;
        }
        const QString field = FirstField(content);
        if (field.isEmpty()) {
            continue;
        }
        if (countLine == 0) {
            const auto value =
                ReadCount(field, line, kMaxScalaNotes, QStringLiteral("Die Anzahl der Töne"));
            if (!value) {
                throw ScalaError(
                    LineMessage(line, QStringLiteral("\"%1\" ist keine Anzahl von Tönen "
                                                     "(eine ganze Zahl ab 0).")
                                          .arg(field)));
            }
            countLine = line;
            count = *value;
            continue;
        }
        if (static_cast<quint64>(scale.pitches.size()) >= count) {
            throw ScalaError(LineMessage(
                line, QStringLiteral("Die Datei hat mehr Töne als die %1, die Zeile %2 angibt.")
                          .arg(count)
                          .arg(countLine)));
        }
        ScalaPitch pitch = ReadPitch(field, line);
        pitch.line = line;
        scale.pitches.append(pitch);
    }
    if (descriptionLine == 0) {
        throw ScalaError(QStringLiteral("Die Datei enthält nur Kommentare: Es fehlen die "
                                        "Beschreibung und die Anzahl der Töne."));
    }
    if (countLine == 0) {
        throw ScalaError(QStringLiteral("Die Anzahl der Töne fehlt: Nach der Beschreibung in "
                                        "Zeile %1 folgt keine Zeile mehr.")
                             .arg(descriptionLine));
    }
    if (static_cast<quint64>(scale.pitches.size()) < count) {
        throw ScalaError(QStringLiteral("Die Datei endet nach Zeile %1: Es fehlen %2 der %3 "
                                        "Töne, die Zeile %4 angibt.")
                             .arg(lines.size())
                             .arg(count - static_cast<quint64>(scale.pitches.size()))
                             .arg(count)
                             .arg(countLine));
    }
    return scale;
}

KeyboardMapping ReadKbm(const QString& text) {
    const QStringList lines = ScalaLines(text);
    KeyboardMapping mapping;
    int header = 0; // values of the seven header lines read so far
    int sizeLine = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int line = static_cast<int>(i + 1);
        if (IsComment(lines.at(i))) {
            continue;
        }
        const QString field = FirstField(lines.at(i));
        if (field.isEmpty()) {
            continue;
        }
        switch (header) {
        case 0: {
            const auto size =
                ReadCount(field, line, kMaxScalaNotes, QStringLiteral("Die Größe der Zuordnung"));
            if (!size) {
                throw ScalaError(
                    LineMessage(line, QStringLiteral("\"%1\" ist keine Größe der "
                                                     "Zuordnung (eine ganze Zahl ab 0).")
                                          .arg(field)));
            }
            mapping.size = static_cast<int>(*size);
            sizeLine = line;
            break;
        }
        case 1:
            mapping.firstKey = ReadKey(field, line, QStringLiteral("Die erste Taste"));
            break;
        case 2:
            mapping.lastKey = ReadKey(field, line, QStringLiteral("Die letzte Taste"));
            if (mapping.lastKey < mapping.firstKey) {
                throw ScalaError(LineMessage(line, QStringLiteral("Die letzte Taste %1 liegt "
                                                                  "unter der ersten Taste %2.")
                                                       .arg(mapping.lastKey)
                                                       .arg(mapping.firstKey)));
            }
            break;
        case 3:
            mapping.middleKey = ReadKey(field, line, QStringLiteral("Die Taste der Stufe 0"));
            break;
        case 4:
            mapping.referenceKey = ReadKey(field, line, QStringLiteral("Die Bezugstaste"));
            break;
        case 5: {
            const auto frequency = ReadDecimal(field, true);
            if (!frequency || *frequency <= 0 || *frequency > 1e6L) {
                throw ScalaError(LineMessage(line, QStringLiteral("\"%1\" ist keine Frequenz in "
                                                                  "Hz (eine positive Zahl mit "
                                                                  "Dezimalpunkt, etwa 440.0).")
                                                       .arg(field)));
            }
            mapping.referenceFrequency = *frequency;
            break;
        }
        case 6: {
            const auto degree =
                ReadCount(field, line, kMaxScalaNotes, QStringLiteral("Die Stufe der Oktave"));
            if (!degree) {
                throw ScalaError(LineMessage(line, QStringLiteral("\"%1\" ist keine Stufe der "
                                                                  "Oktave (eine ganze Zahl ab 0).")
                                                       .arg(field)));
            }
            mapping.octaveDegree = static_cast<int>(*degree);
            break;
        }
        default: {
            if (mapping.entries.size() >= mapping.size) {
                throw ScalaError(LineMessage(
                    line, QStringLiteral("Die Zuordnung hat mehr Einträge als die %1, die Zeile "
                                         "%2 angibt.")
                              .arg(mapping.size)
                              .arg(sizeLine)));
            }
            if (field == u"x" || field == u"X") {
                mapping.entries.append(std::nullopt);
                break;
            }
            const auto degree = ReadCount(field, line, kMaxScalaNotes, QStringLiteral("Die Stufe"));
            if (!degree) {
                throw ScalaError(LineMessage(line, QStringLiteral("\"%1\" ist weder eine Stufe "
                                                                  "(eine ganze Zahl ab 0) noch "
                                                                  "\"x\" für eine freie Taste.")
                                                       .arg(field)));
            }
            mapping.entries.append(static_cast<int>(*degree));
            break;
        }
        }
        ++header;
    }
    static const std::array<const char*, 7> names = {
        "die Größe der Zuordnung", "die erste Taste", "die letzte Taste",
        "die Taste der Stufe 0",   "die Bezugstaste", "die Frequenz der Bezugstaste",
        "die Stufe der Oktave"};
    if (header < 7) {
        throw ScalaError(QStringLiteral("Die Tastenzuordnung endet nach Zeile %1: Es fehlt %2.")
                             .arg(lines.size())
                             .arg(QString::fromUtf8(names[static_cast<std::size_t>(header)])));
    }
    return mapping;
}

QString ReadScalaFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw FileError(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2")
                            .arg(path, GermanReason(file.errorString())));
    }
    // One byte more than the limit tells a file that is too large without reading all of it.
    const QByteArray bytes = file.read(kMaxScalaFileBytes + 1);
    if (bytes.size() > kMaxScalaFileBytes) {
        throw ScalaError(QStringLiteral("Die Datei \"%1\" ist zu groß; eine Scala-Datei hat "
                                        "höchstens %2 Bytes.")
                             .arg(path)
                             .arg(kMaxScalaFileBytes));
    }
    return DecodeFileText(bytes);
}

void CheckTwelveToneOctave(const ScalaScale& scale) {
    const qsizetype n = scale.pitches.size();
    if (n != 12) {
        throw ScalaError(QStringLiteral("Die Tonleiter hat %1 Töne; eine Zeile der "
                                        "Stimmungsliste braucht genau 12 Töne je Oktave.")
                             .arg(n));
    }
    const long double period = scale.pitches.last().cents;
    if (std::fabs(period - kOctaveCents) > kPeriodTolerance) {
        throw ScalaError(QStringLiteral("Die Tonleiter wiederholt sich nach %1 Cent statt nach "
                                        "einer Oktave (1200 Cent, 2/1); eine Zeile der "
                                        "Stimmungsliste beschreibt eine Oktave.")
                             .arg(NumberToText(3, period)));
    }
}

TemperamentValues TemperamentFromScale(const ScalaScale& scale,
                                       const std::optional<KeyboardMapping>& mapping) {
    CheckTwelveToneOctave(scale);
    // Cents of a degree above degree 0; degrees beyond the period lie whole periods higher.
    const auto degreeCents = [&](int degree) {
        const int index = degree % 12;
        const long double base =
            index == 0 ? 0.0L : scale.pitches.at(static_cast<qsizetype>(index - 1)).cents;
        return static_cast<long double>(degree / 12) * kOctaveCents + base;
    };
    const KeyboardMapping map = mapping.value_or(KeyboardMapping{});
    if (map.size != 0 && map.size != 12) {
        throw ScalaError(QStringLiteral("Die Tastenzuordnung wiederholt sich nach %1 Tasten; "
                                        "für eine Zeile der Stimmungsliste muss sie sich nach 12 "
                                        "Tasten wiederholen (Größe 0 oder 12).")
                             .arg(map.size));
    }
    if (map.size == 12 && map.octaveDegree != 0 && map.octaveDegree != 12) {
        throw ScalaError(QStringLiteral("Die Tastenzuordnung nimmt die Stufe %1 als Oktave; für "
                                        "eine Zeile der Stimmungsliste muss es die Oktave 2/1 "
                                        "(Stufe 12) sein.")
                             .arg(map.octaveDegree));
    }
    // The degree a key plays (counted from the middle key's degree 0 of its own repetition).
    const auto keyDegree = [&](int key) -> int {
        const int index = FloorMod(key - map.middleKey, 12);
        if (map.size == 0) {
            return index;
        }
        const std::optional<int> degree =
            index < map.entries.size() ? map.entries.at(index) : std::nullopt;
        if (!degree) {
            throw ScalaError(QStringLiteral("Die Tastenzuordnung lässt die Taste %1 (Ton %2) "
                                            "frei; eine Zeile der Stimmungsliste braucht alle "
                                            "zwölf Töne.")
                                 .arg(key)
                                 .arg(ToneName(FloorMod(key, 12))));
        }
        return *degree;
    };
    // Cents of a key above the middle key's degree 0.
    const auto keyCents = [&](int key) -> long double {
        const long double octaves = FloorDiv(key - map.middleKey, 12) * kOctaveCents;
        return degreeCents(keyDegree(key)) + octaves;
    };
    CheckRisingKeys(scale, keyDegree, keyCents);
    const long double referenceCents = keyCents(map.referenceKey);
    // f(key) = F × 2^((cents(key) − cents(reference)) / 1200) against 440 × 2^((key − 69) / 12).
    const long double referenceOffset = kOctaveCents * std::log2(map.referenceFrequency / 440.0L);
    TemperamentValues values{};
    for (std::size_t i = 0; i < 12; ++i) {
        const int key = kMiddleC + kRowPitchClasses[i];
        values[i] = keyCents(key) - referenceCents + referenceOffset - 100.0L * (key - kA1);
    }
    return values;
}

void CheckTemperamentCode(const QString& code) {
    if (code.size() != 2 || code.at(0) != u'm' || code.at(1).unicode() <= 0x20 ||
        code.at(1).unicode() == 0x7F) {
        throw ScalaError(QStringLiteral("\"%1\" ist kein Kürzel einer Stimmung: Es besteht aus "
                                        "\"m\" und einem weiteren Zeichen, etwa \"mz\".")
                             .arg(code));
    }
}

void CheckTemperamentName(const QString& name) {
    if (name.trimmed().isEmpty()) {
        throw ScalaError(QStringLiteral("Der Name der Stimmung fehlt."));
    }
    for (const QChar c : name) {
        if (c == u'+' || c == u'-' || (c >= u'0' && c <= u'9')) {
            throw ScalaError(QStringLiteral("Der Name \"%1\" enthält \"%2\": Ziffern und "
                                            "Vorzeichen sind in Namen der Stimmungsliste nicht "
                                            "möglich, denn mit ihnen beginnen die Werte.")
                                 .arg(name, QString(c)));
        }
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            throw ScalaError(
                QStringLiteral("Der Name der Stimmung darf keinen Zeilenumbruch und kein "
                               "Steuerzeichen enthalten."));
        }
    }
}

QString TemperamentNameFromDescription(const QString& description) {
    QString name;
    for (const QChar c : description) {
        if (c == u'+' || c == u'-' || (c >= u'0' && c <= u'9')) {
            continue;
        }
        name += c.unicode() < 0x20 || c.unicode() == 0x7F ? QChar(u' ') : c;
    }
    name = name.simplified();
    // What stood between the removed digits ("1/4-comma" leaves "/comma") is dropped at the start.
    while (!name.isEmpty() && !name.at(0).isLetter() && name.at(0) != u'"' && name.at(0) != u'(') {
        name.remove(0, 1);
    }
    name = name.trimmed();
    return name.isEmpty() ? QStringLiteral("Scala") : name;
}

QString TemperamentRowLine(const QString& code, const QString& name,
                           const TemperamentValues& values, QChar decimalSeparator) {
    // The default list's columns: the code, a blank, the name in 22 characters, values
    // right-aligned in nine; a value that fills its column still gets a blank before it.
    constexpr int kNameWidth = 22;
    constexpr int kValueWidth = 9;
    QString line = PadRight(code, 2) + u' ' + PadRight(name.trimmed(), kNameWidth);
    for (const long double value : values) {
        line += u' ' + RowNumber(value, decimalSeparator).rightJustified(kValueWidth - 1);
    }
    return line;
}

QChar TemperamentListSeparator(const TemperamentList& list) {
    int commas = 0;
    int points = 0;
    for (const QString& line : list.lines()) {
        if (line.size() < 2 || line.at(0) != u'm') {
            continue;
        }
        // Count separators between digits only, so that names ("franz. viertel") do not count.
        for (qsizetype i = 1; i + 1 < line.size(); ++i) {
            const QChar c = line.at(i);
            if ((c == u',' || c == u'.') && line.at(i - 1).isDigit() && line.at(i + 1).isDigit()) {
                (c == u',' ? commas : points) += 1;
            }
        }
    }
    return points > commas ? QChar(u'.') : QChar(u',');
}

QString ImportSclAsRow(const QString& sclText, const std::optional<QString>& kbmText,
                       const QString& code, const QString& name, const TemperamentList& list) {
    CheckTemperamentCode(code);
    CheckTemperamentName(name);
    const ScalaScale scale = ReadScl(sclText);
    std::optional<KeyboardMapping> mapping;
    if (kbmText) {
        try {
            mapping = ReadKbm(*kbmText);
        } catch (const ScalaError& error) {
            throw ScalaError(QStringLiteral("Tastenzuordnung: ") + error.message());
        }
    }
    const TemperamentValues values = TemperamentFromScale(scale, mapping);
    for (std::size_t i = 0; i < 12; ++i) {
        if (std::fabs(values[i]) >= 600) {
            throw ScalaError(QStringLiteral("Der Ton %1 läge %2 Cent neben dem gleichstufigen "
                                            "Ton; eine Zeile der Stimmungsliste kann nur "
                                            "Abweichungen deutlich unter einem Halbton "
                                            "darstellen.")
                                 .arg(ToneName(kRowPitchClasses[i]), NumberToText(1, values[i])));
        }
    }
    const QString line = TemperamentRowLine(code, name, values, TemperamentListSeparator(list));

    // Played as the pass plays it: each tone is moved to the nearest of the twelve tempered
    // pitches, which must be its own.
    TemperamentList alone(QStringList{line});
    TonartScale played(&alone);
    played.SetTonart(code, 440);
    if (alone.lines().size() != 1) {
        // The written values no longer rise (a difference lost in the rounding).
        throw ScalaError(QStringLiteral("Die Zeile würde in der Stimmungsliste als fehlerhaft "
                                        "gelesen: %1")
                             .arg(line.simplified()));
    }
    // The degree (row index) a pitch lies on, in whatever octave.
    const auto degreeOf = [&](long double pitch) {
        for (int j = 0; j < 12; ++j) {
            const long double octaves = std::log2(pitch / played.degree(j));
            if (std::fabs(octaves - std::round(octaves)) < 1e-12L) {
                return j;
            }
        }
        return -1;
    };
    // A tone pulled to a neighbour's degree: of the two, the one farther from its equal-tempered
    // place is out of place (a tone a semitone low takes the place of the one below it).
    std::array<bool, 12> outOfPlace{};
    std::array<int, 12> pulledTo{}; // by pitch class from c: the pitch class it goes to, or -1
    pulledTo.fill(-1);
    for (std::size_t i = 0; i < 12; ++i) {
        const long double tempered = 440.0L * std::exp2(static_cast<long double>(i) / 12);
        const int j = degreeOf(played.SnapToTonart(tempered, {}));
        if (j == static_cast<int>(i)) {
            continue;
        }
        std::size_t culprit = i;
        if (j >= 0) {
            const auto u = static_cast<std::size_t>(j);
            pulledTo[static_cast<std::size_t>(kRowPitchClasses[i])] = kRowPitchClasses[u];
            culprit = std::fabs(values[i]) > std::fabs(values[u]) ? i : u;
        }
        outOfPlace[culprit] = true;
    }
    QList<std::size_t> named; // row indices, the farthest first
    for (std::size_t i = 0; i < 12; ++i) {
        if (outOfPlace[i]) {
            named.append(i);
        }
    }
    if (named.isEmpty()) {
        return line;
    }
    std::stable_sort(named.begin(), named.end(), [&](std::size_t a, std::size_t b) {
        return std::fabs(values[a]) > std::fabs(values[b]);
    });
    const auto toneAndCents = [&](std::size_t i) {
        return QStringLiteral("%1 um %2 Cent")
            .arg(ToneName(kRowPitchClasses[i]), NumberToText(1, values[i]));
    };
    const auto joined = [](const QStringList& parts) {
        if (parts.size() < 2) {
            return parts.join(QString());
        }
        return parts.mid(0, parts.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" und ") +
               parts.last();
    };
    QString message =
        QStringLiteral("Der Ton %1 weicht um %2 Cent vom gleichstufigen Ton ab")
            .arg(ToneName(kRowPitchClasses[named.first()]), NumberToText(1, values[named.first()]));
    if (named.size() > 1) {
        QStringList others;
        for (qsizetype n = 1; n < named.size(); ++n) {
            others.append(toneAndCents(named.at(n)));
        }
        message += QStringLiteral(", ebenso ") + joined(others);
    }
    QStringList pulls;
    for (int pitchClass = 0; pitchClass < 12; ++pitchClass) {
        const int to = pulledTo[static_cast<std::size_t>(pitchClass)];
        if (to >= 0) {
            pulls.append(QStringLiteral("%1 zu %2").arg(ToneName(pitchClass), ToneName(to)));
        }
    }
    if (pulls.size() == 1) {
        message += QStringLiteral("; beim Spielen würde deshalb ") + pulls.first() +
                   QStringLiteral(" gezogen");
    } else if (pulls.size() > 1) {
        message += QStringLiteral("; beim Spielen würden deshalb Töne zur Stufe eines Nachbarn "
                                  "gezogen: ") +
                   joined(pulls);
    }
    throw ScalaError(message + QStringLiteral(". Eine Zeile der Stimmungsliste verträgt nur "
                                              "Abweichungen, bei denen jeder Ton seiner eigenen "
                                              "Stufe am nächsten bleibt (etwa unter 50 Cent)."));
}

std::optional<QString> TemperamentRowOf(const TemperamentList& list, const QString& code) {
    if (code.size() < 2) {
        return std::nullopt;
    }
    for (const QString& line : list.lines()) {
        if (line.startsWith(code)) {
            return line;
        }
    }
    return std::nullopt;
}

void InsertTemperamentRow(TemperamentList& list, const QString& code, const QString& rowLine,
                          bool replace) {
    CheckTemperamentCode(code);
    if (!rowLine.startsWith(code)) {
        throw ScalaError(
            QStringLiteral("Die Zeile beginnt nicht mit dem Kürzel \"%1\".").arg(code));
    }
    QStringList lines = list.lines();
    qsizetype lastRow = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        if (line.startsWith(code)) {
            if (!replace) {
                throw ScalaError(QStringLiteral("Das Kürzel \"%1\" ist schon vergeben: %2")
                                     .arg(code, line.simplified()));
            }
            lines[i] = rowLine;
            list.SetLines(lines);
            return;
        }
        if (line.size() >= 2 && line.at(0) == u'm' && line.at(1).unicode() > 0x20) {
            lastRow = i;
        }
    }
    lines.insert(lastRow + 1 > 0 ? lastRow + 1 : lines.size(), rowLine);
    list.SetLines(lines);
}

ScalaFiles ExportRowAsScl(const TemperamentList& list, const QString& code,
                          const QString& kammertonText) {
    CheckTemperamentCode(code);
    const TemperamentValues values = RowValues(list, code);
    SilentHost host(kammertonText);
    const long double a1 = ReadKammerton(host) * std::exp2(values[0] / kOctaveCents);
    KeyTuning tuning = RootedTuning(DegreesFromA(values), kA1, a1, 0);
    const QString name = RowName(list, code);
    tuning.description = name.isEmpty() ? code : name;
    tuning.comments = {
        QStringLiteral("Zirkelon, Stimmung \"%1\" der Stimmungsliste: Stufe 0 auf c, a1 = %2 Hz")
            .arg(code, ScalaNumber(a1, 3))};
    return FilesOf(tuning);
}

ScalaFiles ExportPieceRowAsScl(const PieceTable& table, int row, const TemperamentList& list,
                               const QString& kammertonText, const QString& pieceName) {
    if (row < 1 || row >= table.RowCount()) {
        throw ScalaError(QStringLiteral("Das Stück hat keine Zeile %1.").arg(row));
    }
    // Rows 1 .. row computed silently, as a pass up to that row leaves the key.
    PieceTable upToRow;
    upToRow.SetRowCount(row + 1);
    for (int r = 0; r <= row; ++r) {
        for (int column = 0; column < PieceTable::kColumnCount; ++column) {
            upToRow.SetCell(column, r, table.Cell(column, r));
        }
    }
    TemperamentList temperaments = list;
    TonartScale scale(&temperaments);
    PassSettings settings;
    settings.onlyCompute = true;
    SilentHost host(kammertonText);
    ComputePass(0, upToRow, scale, settings, host);
    const long double factor = ReadKammerton(host) / 440.0L;

    // The key in force: the last key entry; and the tone written in the last one that set a just
    // tonic (its name decides the tonic's key, however far the commas have moved it).
    QString key;
    long double writtenTonic = 0; // 0: none
    for (int r = 1; r <= row; ++r) {
        const QString entry = Trim(table.Cell(PieceTable::kKeyColumn, r));
        if (entry.isEmpty()) {
            continue;
        }
        key = entry;
        if (entry.startsWith(u'~')) {
            continue;
        }
        if (entry.startsWith(u'm')) {
            writtenTonic = 0;
            continue;
        }
        int pos = 1;
        try {
            const ParsedTone tone = ParseTone(entry, pos);
            if (tone.frequency > 0) {
                writtenTonic = tone.frequency;
            }
        } catch (const Error&) {
            // The pass did not take this key either.
        }
    }

    QString kind;
    KeyTuning tuning;
    const auto degreesOf = [](const TonartScale& s) {
        std::array<long double, 12> cents{};
        for (int k = 0; k < 12; ++k) {
            cents[static_cast<std::size_t>(k)] =
                kOctaveCents * std::log2(s.degree(k) / s.degree(0));
        }
        return cents;
    };
    if (key.startsWith(u'~')) {
        std::array<long double, 12> equal{};
        for (std::size_t k = 0; k < 12; ++k) {
            equal[k] = 100.0L * static_cast<long double>(k);
        }
        tuning = RootedTuning(equal, kA1, 440.0L * factor, 0);
        kind = QStringLiteral("gleichstufig");
    } else {
        if (key.size() >= 2 && key.startsWith(u'm')) {
            // Every tone of a tempered key rebuilds the scale from its row, with a = 440 Hz.
            scale.SetTonart(key, 440);
        }
        if (IsJustScale(scale)) {
            const long double tonic = scale.degree(0);
            const int tonicKey = writtenTonic > 0 && !key.startsWith(u'm')
                                     ? NearestKey(writtenTonic)
                                     : NearestKey(tonic);
            tuning = RootedTuning(degreesOf(scale), tonicKey, tonic * factor, tonicKey);
            kind = QStringLiteral("rein, Grundton %1 Hz").arg(ScalaNumber(tonic * factor, 3));
        } else {
            // A temperament: its first degree is a1.
            tuning = RootedTuning(degreesOf(scale), NearestKey(scale.degree(0)),
                                  scale.degree(0) * factor, 0);
            kind = QStringLiteral("temperiert");
        }
    }
    const QString keyText = key.isEmpty() ? QStringLiteral("keine") : key;
    tuning.description = (pieceName.isEmpty() ? QStringLiteral("Zirkelon") : pieceName) +
                         QStringLiteral(", Zeile %1, Tonart %2 (%3)").arg(row).arg(keyText, kind);
    tuning.comments = {QStringLiteral("Zirkelon: die zwölf Töne der Zeile %1 (Kammerton %2 Hz)")
                           .arg(row)
                           .arg(ScalaNumber(factor * 440, 3))};
    return FilesOf(tuning);
}

QString KbmPathFor(const QString& sclPath) {
    if (sclPath.endsWith(QStringLiteral(".scl"), Qt::CaseInsensitive)) {
        return sclPath.left(sclPath.size() - 4) + QStringLiteral(".kbm");
    }
    return sclPath + QStringLiteral(".kbm");
}

void WriteScalaFiles(const QString& sclPath, const ScalaFiles& files) {
    const QString kbmPath = KbmPathFor(sclPath);
    QSaveFile scl(sclPath);
    QSaveFile kbm(kbmPath);
    const auto fail = [](const QString& path, const QString& reason) {
        throw FileError(QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden: %2")
                            .arg(path, GermanReason(reason)));
    };
    const QByteArray sclBytes = EncodeFileText(files.scl);
    const QByteArray kbmBytes = EncodeFileText(files.kbm);
    // Both are written in full before either replaces its file; an unfinished QSaveFile leaves
    // the old file alone.
    if (!scl.open(QIODevice::WriteOnly) || scl.write(sclBytes) != sclBytes.size()) {
        fail(sclPath, scl.errorString());
    }
    if (!kbm.open(QIODevice::WriteOnly) || kbm.write(kbmBytes) != kbmBytes.size()) {
        const QString reason = kbm.errorString();
        scl.cancelWriting();
        fail(kbmPath, reason);
    }
    if (!scl.commit()) {
        const QString reason = scl.errorString();
        kbm.cancelWriting();
        fail(sclPath, reason);
    }
    if (!kbm.commit()) {
        fail(kbmPath, kbm.errorString());
    }
}

} // namespace zk
