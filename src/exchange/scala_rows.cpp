// SPDX-License-Identifier: GPL-3.0-or-later
// Rows of the temperament list made from Scala files: the code and the name a row may have, its
// layout, and its place in the list.
#include "exchange/scala_file.h"

#include "engine/temperaments.h"
#include "exchange/scala_detail.h"
#include "support/number_text.h"
#include "support/text_helpers.h"

#include <QRegularExpression>

#include <array>
#include <cmath>
#include <utility>

namespace zk {

namespace scala_detail {

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

} // namespace scala_detail

using namespace scala_detail;

namespace {

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

} // namespace

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
    // What belonged to the removed numbers goes with them: "(1779)" leaves empty brackets,
    // "one, 1681)" a comma before the bracket, "orgue, 1766, p." a doubled comma, "#13" a lone
    // sign. Each rule may make work for another, so they run until nothing changes.
    static const std::array<std::pair<QRegularExpression, QString>, 7> tidy = {{
        {QRegularExpression(QStringLiteral("(^| )#+(?= |$|[,;)\\]])")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral(" +([,;)\\]])")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral(",( *,)+")), QStringLiteral(",")},
        {QRegularExpression(QStringLiteral("([(\\[]) *[,;:/]* *")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral("[,;:/] *([)\\]])")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral(" *(\\( *\\)|\\[ *\\])")), QString()},
        {QRegularExpression(QStringLiteral("[ ,;:/]+$")), QString()},
    }};
    for (QString before; before != name;) {
        before = name;
        for (const auto& [pattern, replacement] : tidy) {
            name.replace(pattern, replacement);
        }
        name = name.simplified();
    }
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

} // namespace zk
