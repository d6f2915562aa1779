// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/temperaments.h"

#include "support/number_text.h"
#include "support/program_files.h"
#include "support/text_helpers.h"

#include <QFileInfo>

namespace zk {

namespace {

bool StartsValues(QChar c) {
    return c == u'+' || c == u'-' || (c >= u'0' && c <= u'9');
}

// One line of the default list: a selectable row (code and twelve values), a documenting row
// without code, or a comment (no values).
struct DefaultRow {
    const char16_t* code;   // empty for rows that cannot be selected
    const char16_t* name;   // or the comment text
    const char16_t* values; // twelve values in cents, or nullptr for a comment
};

// Values as the list has always been written, partly with a decimal comma and partly with a point;
// both are read as the decimal separator. The two "Zirkelon" rows document how the program's own
// just c major and a major (c1 = 264 Hz) lie against equal temperament.
constexpr DefaultRow kDefaultRows[] = {
    {u"m~", u"gleichschwebend", u"0 0 0 0 0 0 0 0 0 0 0 0"},
    {u"m@", u"gleichschwebend",
     u"15,641 15,641 15,641 15,641 15,641 15,641 15,641 15,641 15,641 15,641 15,641 15,641"},
    {u"", u"Zirkelon c-Dur/moll",
     u"0 33,237 3,91 15,641 27,372 19,551 34,282 1,955 13,686 5,865 17,596 29,327"},
    {u"", u"(b für g-moll-Akkord; des für phrygischen Schluss, fis für Leitton zu g)", nullptr},
    {u"", u"Zirkelon a-Dur/moll",
     u"0 11,731 3,91 15,641 -13,686 -1,955 -9,776 1,955 13,686 -15,641 17,596 -11.732"},
    {u"ma", u"viertel mitteltönig",
     u"0 17,108 -6,843 10,265 -13,686 3,422 20,529 -3,422 13,686 -10,265 6,843 -17,108"},
    {u"", u"(gerechnet mit mitteltöniger Quinte =5^(1/4)", nullptr},
    {u"mA", u"Kloster Kirchberg", u"0 10,5 -3,5 8 -11 4 15 -3,5 8,5 -9 6,5 -14"},
    {u"mb", u"fünftel mitteltönig", u"0 12 -5 7 -10 2 14 -3 9 -7 5 -12"},
    {u"mc", u"sechstelmitteltönig", u"0 8 -3 5 -6 2 10 -1 7 -5 3 -8"},
    {u"md", u"Valotti", u"0 6 -4 6 0 2 4 -2 8 -2 4 2"},
    {u"me", u"Werkmeister III", u"0 7.5 4 12 2 4 6 2 9.5 0 8 4"},
    {u"mf", u"Kirnberger III",
     u"0 6,355 -1,467 10,265 0,490 3,422 4,400 -3,422 8,310 0,488 6,843 2,445"},
    {u"", u"(gerechnet mit reiner und mitteltöniger Quinte)", nullptr},
    {u"mg", u"Neidhard A", u"0 4 2 6 2 2 4 0 4 2 2 2"},
    {u"mh", u"Neidhard B", u"0 6 2 6 2 2 4 0 6 2 4 2"},
    {u"mi", u"Silbermann", u"0 10 -4 6 -8 2 12 -2 8 -6 4 -9.5"},
    {u"mj", u"Silbermann P. Vier", u"0 6 -4 6 -4 2 0 -2 8 -6 4 -2"},
    {u"mk", u"Bruder (P. Vier)", u"0 1 -5 3 -2 5 0 -6 2 -3.5 4.5 -1"},
    {u"ml", u"Bach (Barnes)", u"0 6 0 6 0 2 4 -2 8 -2 4 2"},
    {u"mm", u"Bach (Kellner)", u"0 4 -1 8 -1.5 2.5 2.5 -2.5 6 -3.5 5.5 0.5"},
    {u"mn", u"Schlick (H. Vogel)", u"0 9 -5.5 8 -6.5 2.5 2.5 -3 11 -8 5.5 -4.6"},
    {u"mo", u"Lambert", u"0 3.5 -3 4 -2 1.5 2 -1.5 6 -4 3 -0.5"},
    {u"mp", u"Young", u"0 2 -4 6 -4 2 0 -2 4 -6 4 -2"},
    {u"mq", u"Mersenne I", u"0 11 -7 10 -14 3 9 -4 13 -11 7 -17"},
    {u"mr", u"Mersenne II", u"0 6 -7 10 -14 3 -2 -4 13 -11 7 -17"},
    {u"ms", u"\"Rameau\" I", u"0 17 -7 10 -3 3 8 -4 13 -5 7 -1"},
    {u"mt", u"\"Rameau\" II", u"0 8 -8 11.5 -4 4 0 -4 15.5 -6 8 -2"},
    {u"mu", u"franz. viertel", u"0 8 -7 10 -8 3 1 -3 14 -8 7 -6"},
    {u"mv", u"franz. fünftel", u"0 5 -5 7 -5 2 1 -3 9 -5 5 -3"},
    {u"mw", u"\"Telemann\"", u"0 9 -4 5 -8 1 0 -2 7 -6 3 1"},
    {u"mx", u"\"Händel\"", u"0 2 -1 4 -3 0 1 0 3 -3 2 -1"},
    {u"my", u"Pythagoräisch",
     u"0 -9.775 3.91 -5.8649 7.8201 -1.9548 -11.7302 1.9553 -7.8199 5.8654 -3.9095 9.775"},
};

constexpr int kNameWidth = 22;
constexpr int kValueWidth = 9;

QString ColumnLine(const QString& code, const QString& name, const QStringList& values) {
    QString line = PadRight(code, 2) + u' ' + PadRight(name, kNameWidth);
    for (const QString& value : values) {
        line += value.rightJustified(kValueWidth);
    }
    return line;
}

} // namespace

TemperamentList::TemperamentList() : m_lines(DefaultLines()) {}

QStringList TemperamentList::DefaultLines() {
    QStringList lines;
    lines << QStringLiteral("Wichtig: Keine arabische Ziffer in den Namen (Sie würde als "
                            "Abweichung vom Ton \"a\" interpretiert!)");
    lines << ColumnLine(QString(), QStringLiteral("Temperament"),
                        QStringLiteral("a b h c des d es e f fis g as").split(u' '));
    for (const DefaultRow& row : kDefaultRows) {
        const QString name = QString::fromUtf16(row.name);
        if (row.values == nullptr) {
            lines << QStringLiteral("   ") + name;
        } else {
            lines << ColumnLine(QString::fromUtf16(row.code), name,
                                QString::fromUtf16(row.values).split(u' '));
        }
    }
    lines << QString();
    lines << QStringLiteral("   Quelle der historischen Werte: Tabellen zur Geschichte der "
                            "musikalischen Stimmung und");
    lines << QStringLiteral("   Temperatur (Abweichungen in Cent von der gleichschwebenden "
                            "Stimmung, a = 0).");
    return lines;
}

QString TemperamentList::FilePath() {
    return ConfigDir() + QStringLiteral("zirkelon.in3");
}

bool TemperamentList::LoadOrCreate() {
    const QString path = FilePath();
    if (QFileInfo::exists(path)) {
        const std::optional<QStringList> lines = ReadTextLines(path);
        m_lines = lines ? *lines : DefaultLines();
        return false;
    }
    m_lines = DefaultLines();
    Save();
    return true;
}

TemperamentList TemperamentList::LoadForReading() {
    const std::optional<QStringList> lines = ReadTextLines(FilePath());
    return TemperamentList(lines ? *lines : DefaultLines());
}

void TemperamentList::Save() const {
    WriteTextLines(FilePath(), m_lines);
}

QString TemperamentList::Text() const {
    return m_lines.join(QStringLiteral("\r\n"));
}

void TemperamentList::SetText(const QString& text) {
    m_lines = SplitLines(text);
}

QString TemperamentList::FindTemperamentRow(const QString& code) const {
    if (code.size() < 2) {
        return QString();
    }
    for (const QString& line : m_lines) {
        if (!line.startsWith(code)) {
            continue;
        }
        // The name runs up to the first sign or digit after the code.
        for (qsizetype i = code.size(); i < line.size(); ++i) {
            if (StartsValues(line.at(i))) {
                // A decimal comma and a decimal point both mean the decimal separator, so that
                // the list reads the same under every locale.
                QString values = line.mid(i);
                values.replace(u'.', DecimalSeparator());
                values.replace(u',', DecimalSeparator());
                return values;
            }
        }
        return QString();
    }
    return QString();
}

void TemperamentList::ReportFaultyRow() {
    if (!Text().contains(kTemperamentErrorLine)) {
        m_lines.append(kTemperamentErrorLine);
    }
}

} // namespace zk
