// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/user_dialogs.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace zk {

// The print spooler as the program sees it: one raw job with a title goes to the default printer.
// The desktop program implements it with CUPS, tests with a recording printer.
class Printer {
public:
    virtual ~Printer() = default;

    // Sends `bytes` unchanged, without any page layout, as one job named `title` to the default
    // printer. Returns how many of the bytes the print system took into the job, or nothing when
    // no job came about (no default printer, an unknown printer, a refused job).
    virtual std::optional<qint64> SendRawJob(const QString& title, const QByteArray& bytes) = 0;
};

// Job names: a lone form feed ejects the page, everything else is a text.
inline const QString kTextJobTitle = QStringLiteral("Zirkelon");
inline const QString kEjectJobTitle = QStringLiteral("Zirkelon Seite auswerfen");

// Shown when a job took fewer bytes than it was given.
inline const QString kPrintErrorMessage = QStringLiteral("Fehler beim Drucken");

// Sends `bytes` as one raw job, named for what it is. Says "Fehler beim Drucken" when the print
// system took only part of them; a job that did not come about at all passes in silence.
void SendRawJob(Printer& printer, UserDialogs& dialogs, const QByteArray& bytes);

// Prints `text` as plain characters in the DOS code page of printers (CP850), one character one
// byte, every line break as CR LF. No page break follows, so several texts share a sheet until the
// page is ejected.
void PrintText(Printer& printer, UserDialogs& dialogs, const QString& text);

// "Datei|Drucken und Seite auswerfen": explains how printing collects the texts on one sheet, then
// ejects the page with a lone form feed.
void PrintAndEjectPage(Printer& printer, UserDialogs& dialogs);

} // namespace zk
