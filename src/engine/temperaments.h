// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The temperament list (`TemperamentList`): the user-editable text file "zirkelon.in3" of
// historical and modern temperaments, each a row "m" + one character, a name and twelve
// deviations in cents from equal temperament for a, b, h, c, des, d, es, e, f, fis, g, as.

namespace zk {

// Added once to the end of the list when a row has a missing or unusable value.
inline const QString kTemperamentErrorLine =
    QStringLiteral("Suche Fehler! (Wert fehlt oder zu groß). Lösche diese Zeile nach Korrektur!");

class TemperamentList {
public:
    // The default list.
    TemperamentList();
    explicit TemperamentList(QStringList lines) : m_lines(std::move(lines)) {}

    // The text written on the first start and restored when the file is deleted.
    static QStringList DefaultLines();

    // Where the list is kept: "zirkelon.in3" in the program folder.
    static QString FilePath();

    // Loads the list from its file. When the file does not exist the default list is taken and
    // written as that file, and the result is true (the program's first start). A file that
    // exists but cannot be read is left untouched and the default list is used for this run.
    // Throws FileError when the default file cannot be written.
    bool LoadOrCreate();

    // The list of the file when there is one, otherwise the default list; writes nothing (the
    // command line reads the user's temperaments but leaves the first start to the program).
    static TemperamentList LoadForReading();

    // Writes the list to its file (all or nothing). Throws FileError.
    void Save() const;

    const QStringList& lines() const { return m_lines; }
    void SetLines(QStringList lines) { m_lines = std::move(lines); }

    // The list as one text, lines separated by CR LF, as the input dialog shows it.
    QString Text() const;
    // Replaces the list by a text of lines (CR LF, CR or LF).
    void SetText(const QString& text);

    // The value part of the first line that begins with `code` (two characters, case-sensitive):
    // from the first "+", "-" or digit after the code to the end of the line, with every "." and
    // every "," replaced by the locale's decimal separator. Empty when no line begins with the code
    // or the line has no value part.
    QString FindTemperamentRow(const QString& code) const;

    // Adds the error line at the end unless the list's text already holds it. The file is not
    // written; the user sees the line the next time the list is shown.
    void ReportFaultyRow();

    bool operator==(const TemperamentList&) const = default;

private:
    QStringList m_lines;
};

} // namespace zk
