// SPDX-License-Identifier: GPL-3.0-or-later
// Reading Scala files: the scale (.scl) and the keyboard mapping (.kbm) by the format's rules,
// each refusal naming the line.
#include "exchange/scala_file.h"

#include "exchange/scala_detail.h"
#include "support/ansi_codec.h"
#include "support/program_files.h"
#include "support/text_helpers.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace zk {

namespace scala_detail {

QString ToneName(int pitchClass) {
    return QString::fromUtf16(kToneNames[static_cast<std::size_t>(pitchClass)]);
}

QString LineMessage(int line, const QString& text) {
    return QStringLiteral("Zeile %1: %2").arg(line).arg(text);
}

} // namespace scala_detail

using namespace scala_detail;

namespace {

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
        throw ScalaError(
            LineMessage(line, QStringLiteral("%1 \"%2\" ist zu groß (höchstens %3).")
                                  .arg(what, QuotedInput(field), QString::number(limit))));
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

// The digits of a term of a ratio without its leading zeros; empty for zero.
QString Significant(const QString& digits) {
    qsizetype first = 0;
    while (first < digits.size() && digits.at(first) == u'0') {
        ++first;
    }
    return digits.mid(first);
}

// log2 of a whole number above zero written in decimal digits (no leading zero), of any length:
// its first 19 digits, exact in 64 bits and in the long double's mantissa, and a power of ten for
// the rest. What the dropped digits hold changes the value by less than one part in 10^18, far
// below a millionth of a cent.
long double Log2OfDigits(const QString& digits) {
    constexpr qsizetype kExactDigits = 19;
    const qsizetype head = std::min(digits.size(), kExactDigits);
    const quint64 leading = digits.left(head).toULongLong();
    return std::log2(static_cast<long double>(leading)) +
           static_cast<long double>(digits.size() - head) * std::log2(10.0L);
}

ScalaPitch ReadPitch(const QString& field, int line) {
    const auto notANumber = [&] {
        return ScalaError(LineMessage(
            line, QStringLiteral("\"%1\" ist weder ein Cent-Wert mit Dezimalpunkt (etwa "
                                 "\"701.955\") noch ein Verhältnis (etwa \"3/2\").")
                      .arg(QuotedInput(field))));
    };
    if (field.contains(u'.')) {
        const auto cents = ReadDecimal(field, false);
        if (!cents) {
            throw notANumber();
        }
        return {*cents, {}, {}};
    }
    static const QRegularExpression ratio(QStringLiteral("^([+-]?)([0-9]+)(?:/([0-9]+))?$"));
    const QRegularExpressionMatch match = ratio.match(field);
    if (!match.hasMatch()) {
        throw notANumber();
    }
    const QString p = Significant(match.captured(2));
    const QString q =
        match.captured(3).isEmpty() ? QStringLiteral("1") : Significant(match.captured(3));
    if (p.isEmpty() || q.isEmpty()) {
        throw ScalaError(LineMessage(
            line, QStringLiteral("Das Verhältnis \"%1\" ist null oder hat den Nenner 0; ein Ton "
                                 "braucht ein positives Verhältnis.")
                      .arg(QuotedInput(field))));
    }
    if (match.captured(1) == u"-") {
        throw ScalaError(LineMessage(
            line, QStringLiteral("Das Verhältnis \"%1\" ist negativ; ein Ton braucht ein positives "
                                 "Verhältnis (Cent-Werte dürfen negativ sein, etwa \"-10.0\").")
                      .arg(QuotedInput(field))));
    }
    // Terms within 64 bits are divided as they are; longer ones (5-limit scales of the archive
    // have terms of 25 digits) by their logarithms.
    bool okP = false;
    bool okQ = false;
    const quint64 pValue = p.toULongLong(&okP);
    const quint64 qValue = q.toULongLong(&okQ);
    const long double cents = okP && okQ
                                  ? kOctaveCents * std::log2(static_cast<long double>(pValue) /
                                                             static_cast<long double>(qValue))
                                  : kOctaveCents * (Log2OfDigits(p) - Log2OfDigits(q));
    if (!std::isfinite(cents)) {
        throw ScalaError(LineMessage(
            line, QStringLiteral("Das Verhältnis \"%1\" ergibt keine brauchbare Tonhöhe.")
                      .arg(QuotedInput(field))));
    }
    return {cents, p, q};
}

// A key number of a keyboard mapping.
int ReadKey(const QString& field, int line, const QString& what) {
    const auto value = ReadCount(field, line, 127, what);
    if (!value) {
        throw ScalaError(
            LineMessage(line, QStringLiteral("%1 \"%2\" ist keine MIDI-Taste (0 bis 127).")
                                  .arg(what, QuotedInput(field))));
    }
    return static_cast<int>(*value);
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
                                          .arg(QuotedInput(field))));
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
                                          .arg(QuotedInput(field))));
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
                                                       .arg(QuotedInput(field))));
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
                                                       .arg(QuotedInput(field))));
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
                                                       .arg(QuotedInput(field))));
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
    const QByteArray bytes = ReadFileHead(path, kMaxScalaFileBytes);
    if (bytes.size() > kMaxScalaFileBytes) {
        throw ScalaError(QStringLiteral("Die Datei \"%1\" ist zu groß; eine Scala-Datei hat "
                                        "höchstens %2 Bytes.")
                             .arg(path)
                             .arg(kMaxScalaFileBytes));
    }
    return DecodeFileText(bytes);
}

} // namespace zk
