// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/score_import.h"

#include "exchange/musicxml_reader.h"
#include "exchange/score_file.h"
#include "piece/piece_file.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "sound/timbre.h"
#include "support/ansi_codec.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace zk {

namespace {

// The piece file's fields that an imported cell may not fit.
constexpr int kDurationWidth = kPieceColumnWidths[PieceTable::kDurationColumn];
constexpr int kChordWidth = kPieceColumnWidths[PieceTable::kChordColumn];

// Rows named in one report line at most; a score of many parts may crowd every row.
constexpr int kMaxNamedRows = 12;

QString Counted(int count, const QString& one, const QString& many) {
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? one : many);
}

// "Zeilen 5, 9 und 14", at most kMaxNamedRows of them and then how many more.
QString RowList(const std::vector<int>& rows) {
    QStringList named;
    for (std::size_t i = 0; i < rows.size() && i < static_cast<std::size_t>(kMaxNamedRows); ++i) {
        named.append(QString::number(rows[i]));
    }
    QString text = (rows.size() == 1 ? QStringLiteral("Zeile ") : QStringLiteral("Zeilen ")) +
                   named.join(QStringLiteral(", "));
    if (rows.size() > static_cast<std::size_t>(kMaxNamedRows)) {
        text += QStringLiteral(" und %1 weitere").arg(rows.size() - kMaxNamedRows);
    }
    return text;
}

} // namespace

bool IsScoreFileBytes(const QByteArray& bytes) {
    if (IsZipArchive(bytes)) {
        return true;
    }
    // UTF-16 documents begin with their byte order mark.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        return true;
    }
    qsizetype i = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < bytes.size() && (bytes.at(i) == ' ' || bytes.at(i) == '\t' || bytes.at(i) == '\r' ||
                                bytes.at(i) == '\n')) {
        ++i;
    }
    return i < bytes.size() && bytes.at(i) == '<';
}

ImportedScore ImportScoreBytes(const QByteArray& bytes) {
    ImportedScore imported;
    imported.score = ReadMusicXml(IsZipArchive(bytes) ? ScoreXmlFromArchive(bytes) : bytes);
    imported.rows = SliceScore(imported.score);
    return imported;
}

ImportedScore ImportScoreFile(const QString& path) {
    return ImportScoreBytes(ReadScoreFileBytes(path));
}

OpenedPiece LoadPieceOrScore(const QByteArray& bytes, ScoreKeyColumn keys, PieceTable& table) {
    OpenedPiece opened;
    if (IsScoreFileBytes(bytes)) {
        opened.score = ImportScoreBytes(bytes);
        WriteScoreRows(opened.score->rows, keys, table);
    } else {
        const QString text = DecodeFileText(bytes);
        CheckPieceFileText(text);
        opened.timbre = LoadPieceText(table, text);
    }
    return opened;
}

int TempoFieldValue(double quarterTempo) {
    // A quarter is eight 32nds of round(1875 / value) hundredths: 60 s / tempo = 8 · 1875 / value
    // / 100, so value = 2.5 · tempo.
    return std::clamp(static_cast<int>(std::lround(2.5 * quarterTempo)), 1, 3750);
}

QString ImportedPieceFileText(const ImportedScore& imported, const PieceTable& table) {
    QString comments;
    if (!imported.score.title.isEmpty()) {
        comments += QStringLiteral("^ Titel: %1\r\n").arg(imported.score.title);
    }
    if (imported.score.quarterTempo) {
        comments += QStringLiteral("^ Tempo: Viertel = %1, im Feld \"1/4 pro min\" %2\r\n")
                        .arg(QString::number(*imported.score.quarterTempo, 'g', 6))
                        .arg(TempoFieldValue(*imported.score.quarterTempo));
    }
    const QString text = PieceFileText(table, kOrgelTexts);
    const qsizetype firstRow = text.indexOf(QStringLiteral("\r\n")) + 2;
    return text.left(firstRow) + comments + text.mid(firstRow);
}

QStringList ImportReport(const ImportedScore& imported, const QString& fileName) {
    const Score& score = imported.score;
    QStringList summary = {
        Counted(score.voiceCount, QStringLiteral("Stimme"), QStringLiteral("Stimmen")),
        Counted(static_cast<int>(imported.rows.size()), QStringLiteral("Zeile"),
                QStringLiteral("Zeilen"))};
    if (score.graceNotes > 0) {
        summary.append(Counted(score.graceNotes, QStringLiteral("Vorschlag ausgelassen"),
                               QStringLiteral("Vorschläge ausgelassen")));
    }
    if (score.cueNotes > 0) {
        summary.append(Counted(score.cueNotes, QStringLiteral("Stichnote ausgelassen"),
                               QStringLiteral("Stichnoten ausgelassen")));
    }
    if (score.unpitchedNotes > 0) {
        summary.append(Counted(score.unpitchedNotes, QStringLiteral("Schlagzeugnote ausgelassen"),
                               QStringLiteral("Schlagzeugnoten ausgelassen")));
    }
    QStringList lines = {QStringLiteral("%1: %2").arg(QFileInfo(fileName).fileName(),
                                                      summary.join(QStringLiteral(", ")))};
    if (!score.title.isEmpty()) {
        lines.append(QStringLiteral("Titel: %1").arg(score.title));
    }
    if (score.quarterTempo) {
        lines.append(QStringLiteral("Tempo: Viertel = %1; im Feld \"1/4 pro min\" steht dafür %2, "
                                    "denn dort ergibt 80 eine Viertel von 1,84 Sekunden.")
                         .arg(QString::number(*score.quarterTempo, 'g', 6))
                         .arg(TempoFieldValue(*score.quarterTempo)));
    } else {
        lines.append(
            QStringLiteral("Die Partitur nennt kein Tempo; das Tempo der Tabelle bleibt."));
    }
    if (score.hasRepeats) {
        lines.append(QStringLiteral("Wiederholungen und Volten werden einmal gespielt, so wie sie "
                                    "notiert sind."));
    }

    std::vector<int> longChords;
    std::vector<int> longDurations;
    int crowdedRows = 0;
    for (std::size_t i = 0; i < imported.rows.size(); ++i) {
        const ScoreRow& row = imported.rows[i];
        const int number = static_cast<int>(i) + 1;
        if (!row.dropped.empty()) {
            if (++crowdedRows <= kMaxNamedRows) {
                QStringList names;
                for (const SlicedTone& tone : row.dropped) {
                    names.append(ChordToneText(tone.pitch, true));
                }
                lines.append(QStringLiteral("Zeile %1: %2 Töne klingen zugleich, Zirkelon spielt "
                                            "höchstens %3; ausgelassen: %4")
                                 .arg(number)
                                 .arg(row.tones.size() + row.dropped.size())
                                 .arg(row.tones.size())
                                 .arg(names.join(u' ')));
            }
        }
        if (ChordText(row.tones).size() > kChordWidth) {
            longChords.push_back(number);
        }
        if (DurationText(row.length).size() > kDurationWidth) {
            longDurations.push_back(number);
        }
    }
    if (crowdedRows > kMaxNamedRows) {
        lines.append(QStringLiteral("… und %1 weitere Zeilen mit mehr als acht Tönen.")
                         .arg(crowdedRows - kMaxNamedRows));
    }
    if (!longChords.empty()) {
        lines.append(QStringLiteral("Akkorde mit mehr als %1 Zeichen (eine Stückdatei kürzt sie, "
                                    "die Tabelle und die Befehle nicht): %2")
                         .arg(kChordWidth)
                         .arg(RowList(longChords)));
    }
    if (!longDurations.empty()) {
        lines.append(QStringLiteral("Dauern mit mehr als %1 Zeichen (eine Stückdatei kürzt sie, "
                                    "die Tabelle und die Befehle nicht): %2")
                         .arg(kDurationWidth)
                         .arg(RowList(longDurations)));
    }
    lines.append(score.warnings);
    return lines;
}

} // namespace zk
