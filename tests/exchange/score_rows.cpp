// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/score_rows.h"

#include "exchange/score_table.h"
#include "support/program_files.h"

#include <QRegularExpression>

#include <algorithm>

namespace zk::test {

namespace {

// The tone words of a line sorted as NeutralRow sorts them.
QString SortedLine(const QString& line) {
    QStringList words = line.split(u' ', Qt::SkipEmptyParts);
    if (words.size() > 3) {
        std::stable_sort(words.begin() + 2, words.end(), [](const QString& a, const QString& b) {
            const int ka = MidiKeyOfName(a);
            const int kb = MidiKeyOfName(b);
            return ka != kb ? ka < kb : a < b;
        });
    }
    return words.join(u' ');
}

} // namespace

int MidiKeyOfName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^([A-G])(#*|b*)(-?[0-9]+)$"));
    const auto match = pattern.match(name);
    if (!match.hasMatch()) {
        return -1000;
    }
    static const int semitones[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    const int letter = semitones[match.captured(1).at(0).unicode() - u'A'];
    const QString accidentals = match.captured(2);
    const int alter = accidentals.startsWith(u'#') ? static_cast<int>(accidentals.size())
                                                   : -static_cast<int>(accidentals.size());
    return 12 * (match.captured(3).toInt() + 1) + letter + alter;
}

QString NeutralRow(const ScoreRow& row) {
    QStringList words = {DurationText(row.length),
                         row.key ? GermanPitchName(*row.key) : QStringLiteral("-")};
    if (row.tones.empty()) {
        words.append(QStringLiteral("rest"));
    }
    for (const SlicedTone& tone : row.tones) {
        words.append(tone.pitch.ScientificName());
    }
    return SortedLine(words.join(u' '));
}

QStringList NeutralRows(const std::vector<ScoreRow>& rows) {
    QStringList lines;
    for (const ScoreRow& row : rows) {
        lines.append(NeutralRow(row));
    }
    return lines;
}

QStringList ReadRowsFile(const QString& path) {
    QStringList rows;
    for (const QString& line : ReadTextLines(path).value_or(QStringList())) {
        if (!line.trimmed().isEmpty() && !line.startsWith(u'#')) {
            rows.append(SortedLine(line));
        }
    }
    return rows;
}

QString RowDifferences(const QStringList& expected, const QStringList& actual, int limit) {
    QStringList differences;
    const qsizetype rows = std::max(expected.size(), actual.size());
    for (qsizetype i = 0; i < rows && differences.size() < limit; ++i) {
        const QString want = expected.value(i, QStringLiteral("(none)"));
        const QString got = actual.value(i, QStringLiteral("(none)"));
        if (want != got) {
            differences.append(
                QStringLiteral("row %1: expected \"%2\", got \"%3\"").arg(i + 1).arg(want, got));
        }
    }
    if (expected.size() != actual.size()) {
        differences.append(
            QStringLiteral("%1 rows expected, %2 given").arg(expected.size()).arg(actual.size()));
    }
    return differences.join(u'\n');
}

} // namespace zk::test
