// SPDX-License-Identifier: GPL-3.0-or-later
#include "piece/piece_file.h"

#include "piece/piece_table.h"
#include "support/ansi_codec.h"
#include "support/errors.h"
#include "support/program_files.h"

#include <QFile>
#include <QFileInfo>

namespace zk {

namespace {
// Larger than any piece a table can hold; a file beyond it is no piece of the program's.
constexpr qint64 kMaxPieceFileBytes = qint64{256} << 20;
} // namespace

QString PieceFileText(const PieceTable& table, const TimbreTexts& timbre) {
    return TimbreLine(timbre) + QStringLiteral("\r\n") + TableToText(table, 1);
}

void SavePieceFile(const QString& path, const PieceTable& table, const TimbreTexts& timbre) {
    const QString text = PieceFileText(table, timbre);
    // Before the backup: copying a pipe would wait for a writer and back up what came through.
    CheckWritableFile(path);
    if (QFileInfo(path).isFile()) {
        // The backup is a copy, so that the file itself stays whole should the write fail.
        const QString backup = path + u'~';
        if (QFile::exists(backup) && !QFile::remove(backup)) {
            throw FileError(
                QStringLiteral("Die Sicherungsdatei \"%1\" konnte nicht ersetzt werden.")
                    .arg(backup));
        }
        if (!QFile::copy(path, backup)) {
            throw FileError(
                QStringLiteral("Die Sicherungsdatei \"%1\" konnte nicht angelegt werden.")
                    .arg(backup));
        }
    }
    WriteTextFile(path, text);
}

void CheckPieceFileText(const QString& text) {
    const QStringList lines = SplitLines(text);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        for (const QChar c : lines.at(i)) {
            const char16_t code = c.unicode();
            if ((code < 0x20 && code != u'\t' && code != u'\f') || code == 0x7F) {
                throw FileError(QStringLiteral("Zeile %1: Steuerzeichen (Code %2): Die Datei ist "
                                               "keine Textdatei und wird nicht als Stück geöffnet.")
                                    .arg(i + 1)
                                    .arg(static_cast<int>(code)));
            }
        }
    }
}

std::optional<TimbreTexts> OpenPieceFile(const QString& path, PieceTable& table) {
    // The reader's own message says why a file cannot be read (missing, a folder, a pipe).
    const QString text = DecodeFileText(ReadFileBytes(path, kMaxPieceFileBytes));
    CheckPieceFileText(text);
    return LoadPieceText(table, text);
}

QString LastPieceFileIni() {
    return ConfigDir() + QStringLiteral("zirkelon.ini");
}

} // namespace zk
