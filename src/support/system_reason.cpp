// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/system_reason.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <utility>

namespace zk {

namespace {

// The C library's and Qt's wordings of the reasons a file operation fails.
const std::pair<const char*, const char*> kReasons[] = {
    {"No such file or directory", "Datei oder Ordner nicht gefunden"},
    {"Permission denied", "Keine Berechtigung"},
    {"No space left on device", "Kein Speicherplatz mehr auf dem Datenträger"},
    {"Disk quota exceeded", "Das Speicherkontingent ist erschöpft"},
    {"Too many open files", "Zu viele geöffnete Dateien"},
    {"Read-only file system", "Das Dateisystem ist schreibgeschützt"},
    {"Is a directory", "Das ist ein Ordner"},
    {"Not a directory", "Ein Teil des Pfads ist kein Ordner"},
    {"File exists", "Die Datei ist schon vorhanden"},
    {"File too large", "Die Datei ist zu groß"},
    {"File name too long", "Der Dateiname ist zu lang"},
    {"Input/output error", "Ein-/Ausgabefehler"},
    {"Operation not permitted", "Der Vorgang ist nicht erlaubt"},
    {"Device or resource busy", "Gerät oder Ressource belegt"},
    {"No such device or address", "Gerät oder Adresse nicht vorhanden"},
    {"Too many levels of symbolic links", "Zu viele Ebenen symbolischer Verknüpfungen"},
    {"Invalid argument", "Ungültiges Argument"},
    {"Unknown error", "Unbekannter Fehler"},
    {"Partial write. Partition full?", "Unvollständig geschrieben. Ist der Datenträger voll?"},
    {"Writing canceled by application", "Das Schreiben wurde abgebrochen"},
    {"Failure to write block", "Ein Block konnte nicht geschrieben werden"},
    {"file to open is a directory", "Das ist ein Ordner"},
    {"Filename refers to a directory", "Das ist ein Ordner"},
    {"Resource temporarily unavailable", "Die Quelle liefert gerade keine Daten"},
    {"No such device", "Das Gerät gibt es nicht"},
    {"Broken pipe", "Die Gegenseite der Pipe ist geschlossen"},
    {"Text file busy", "Die Datei wird gerade ausgeführt"},
    {"Bad file descriptor", "Ungültiger Dateideskriptor"},
};

} // namespace

QString GermanReason(const QString& reason) {
    const QString trimmed = reason.trimmed();
    for (const auto& [english, german] : kReasons) {
        if (trimmed.compare(QLatin1String(english), Qt::CaseInsensitive) == 0) {
            return QString::fromUtf8(german);
        }
    }
    static const QRegularExpression notWritable(
        QStringLiteral("^Existing file (.*) is not writable$"));
    if (const auto match = notWritable.match(trimmed); match.hasMatch()) {
        return QStringLiteral("Die vorhandene Datei %1 ist nicht beschreibbar")
            .arg(match.captured(1));
    }
    return trimmed;
}

} // namespace zk
