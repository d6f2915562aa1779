// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/printer.h"

#include "support/ansi_codec.h"

namespace zk {

namespace {

const QString kEjectExplanation =
    QStringLiteral("Unter \"Hilfe\" oder \"Rechne|Ediere\" kann Text gedruckt werden .\r"
                   "Dabei werden allerdings nur die Druckaufträge gesammelt.\r"
                   "(Und nicht jede Kleinigkeit auf eine extra Seite gedruckt.)\r"
                   "Mit diesem Programmpunkt werden nun die Druckaufträge ausgeführt\r"
                   "und die Seite ausgeworfen.");

// Texts from the program have CR LF line breaks, texts from Qt's widgets LF alone; a printer in
// character mode needs both characters to start the next line at its left margin.
QString WithCrLfLineBreaks(const QString& text) {
    QString result;
    result.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            result.append(QStringLiteral("\r\n"));
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
                ++i;
            }
        } else {
            result.append(c);
        }
    }
    return result;
}

} // namespace

void SendRawJob(Printer& printer, UserDialogs& dialogs, const QByteArray& bytes) {
    const QString& title = bytes == QByteArray(1, '\f') ? kEjectJobTitle : kTextJobTitle;
    const std::optional<qint64> written = printer.SendRawJob(title, bytes);
    if (written && *written < bytes.size()) {
        dialogs.ShowMessage(kPrintErrorMessage);
    }
}

void PrintText(Printer& printer, UserDialogs& dialogs, const QString& text) {
    SendRawJob(printer, dialogs, EncodeCp850(WithCrLfLineBreaks(text)));
}

void PrintAndEjectPage(Printer& printer, UserDialogs& dialogs) {
    dialogs.ShowMessage(kEjectExplanation);
    PrintText(printer, dialogs, QStringLiteral("\f"));
}

} // namespace zk
