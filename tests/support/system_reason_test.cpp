// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/errors.h"
#include "support/program_files.h"
#include "support/system_reason.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zk {
namespace {

TEST(GermanReason, TheSystemsReasonsInGerman) {
    const std::pair<const char*, const char*> cases[] = {
        {"No such file or directory", "Datei oder Ordner nicht gefunden"},
        {"Permission denied", "Keine Berechtigung"},
        {"No space left on device", "Kein Speicherplatz mehr auf dem Datenträger"},
        {"  Read-only file system ", "Das Dateisystem ist schreibgeschützt"}, // trimmed first
        {"Existing file /a/b.txt is not writable",
         "Die vorhandene Datei /a/b.txt ist nicht beschreibbar"},
        {"file to open is a directory", "Das ist ein Ordner"},    // Qt's own wordings
        {"Filename refers to a directory", "Das ist ein Ordner"}, // (QFile, QSaveFile)
        {"Resource temporarily unavailable", "Die Quelle liefert gerade keine Daten"},
        {"Ein schon deutscher Grund", "Ein schon deutscher Grund"}, // as it is
    };
    for (const auto& [reason, german] : cases) {
        EXPECT_EQ(GermanReason(QString::fromUtf8(reason)), QString::fromUtf8(german)) << reason;
    }
}

TEST(GermanReason, AFileThatCannotBeWrittenSaysWhyInGerman) {
    QTemporaryDir dir;
    const QString missingFolder = dir.filePath(QStringLiteral("fehlt/stueck.txt"));
    try {
        WriteFileBytes(missingFolder, "x");
        FAIL() << "written into a missing folder";
    } catch (const FileError& error) {
        EXPECT_EQ(error.message(),
                  QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden: Datei oder "
                                 "Ordner nicht gefunden")
                      .arg(missingFolder));
    }
}

} // namespace
} // namespace zk
