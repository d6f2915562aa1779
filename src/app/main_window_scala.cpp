// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include "app/piece_grid.h"
#include "exchange/scala_file.h"
#include "support/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QRegularExpression>

// Scala tuning files in the window: the temperament dialog imports a .scl as a new row of its
// text and exports the row under the cursor; a row of the piece exports the twelve pitches in
// force there.

namespace zk {

namespace {

const QString kScalaFilter = QStringLiteral("Scala-Dateien (*.scl)|*.scl|Alle Dateien (*.*)|*.*");
const QString kKbmFilter =
    QStringLiteral("Scala-Tastaturbelegungen (*.kbm)|*.kbm|Alle Dateien (*.*)|*.*");
const QString kImportCaption = QStringLiteral("Scala-Datei importieren");

// The first code "m" + letter that the list does not use yet, small letters first; empty when
// every letter is taken.
QString FreeTemperamentCode(const TemperamentList& list) {
    for (const QString& letters : {QStringLiteral("abcdefghijklmnopqrstuvwxyz"),
                                   QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ")}) {
        for (const QChar letter : letters) {
            const QString code = QStringLiteral("m") + letter;
            if (!TemperamentRowOf(list, code)) {
                return code;
            }
        }
    }
    return QString();
}

// The name proposed for an imported scale: its description as the list allows it, short enough
// for the list's name column (22 characters) so that the values stay in their columns: up to a
// ":", ";", "," or "(" that ends a title, then cut at a word. The user may still type any name.
QString ProposedTemperamentName(const QString& description) {
    constexpr int kNameColumn = 22;
    QString name = TemperamentNameFromDescription(description);
    const qsizetype titleEnd = name.indexOf(QRegularExpression(QStringLiteral("[:;,(]")));
    if (titleEnd > 0 && name.size() > kNameColumn) {
        name = name.left(titleEnd).trimmed();
    }
    if (name.size() > kNameColumn) {
        const qsizetype blank = name.lastIndexOf(u' ', kNameColumn);
        name = name.left(blank > 0 ? blank : kNameColumn).trimmed();
    }
    return name;
}

} // namespace

QString MainWindow::ScalaFolder() const {
    return m_scalaFolder.isEmpty() ? QDir::homePath() : m_scalaFolder;
}

QList<TextDialogAction> MainWindow::TemperamentDialogActions() {
    return {
        {QStringLiteral("Scala-Datei importieren…"),
         [this](const QString& text, int) { return ImportScalaIntoList(text); }},
        {QStringLiteral("Scala-Datei exportieren…"),
         [this](const QString& text, int line) -> std::optional<QString> {
             ExportListRowAsScala(text, line);
             return std::nullopt;
         }},
    };
}

std::optional<QString> MainWindow::ImportScalaIntoList(const QString& text) {
    try {
        const auto path = m_dialogs.AskOpenFileName(ScalaFolder(), QString(), kScalaFilter);
        if (!path) {
            return std::nullopt;
        }
        m_scalaFolder = QFileInfo(*path).path();
        const QString sclText = ReadScalaFile(*path);
        // A faulty file, or a scale no mapping makes a row, is refused before any question.
        const ScalaScale scale = ReadScl(sclText);
        CheckTwelveToneOctave(scale);
        std::optional<QString> kbmText;
        if (m_dialogs.AskYesNo(QStringLiteral("Gehört eine Tastaturbelegung (.kbm) dazu?\r"
                                              "(Nein: Stufe 0 auf c, a1 = 440 Hz)"))) {
            const auto kbmPath = m_dialogs.AskOpenFileName(
                m_scalaFolder, QFileInfo(KbmPathFor(*path)).fileName(), kKbmFilter);
            if (!kbmPath) {
                return std::nullopt;
            }
            kbmText = ReadScalaFile(*kbmPath);
        }
        TemperamentList list;
        list.SetText(text);
        QStringList codeHistory;
        QString code = FreeTemperamentCode(list);
        if (!m_dialogs.PromptWithHistory(
                kImportCaption, QStringLiteral("Kürzel der neuen Temperatur:"),
                QStringLiteral("\"m\" und ein Zeichen, z. B. \"mz\""), codeHistory, code)) {
            return std::nullopt;
        }
        code = code.trimmed();
        CheckTemperamentCode(code);
        QStringList nameHistory;
        QString name = ProposedTemperamentName(scale.description);
        if (!m_dialogs.PromptWithHistory(kImportCaption, QStringLiteral("Name der Temperatur:"),
                                         QStringLiteral("ohne Ziffern und Vorzeichen"), nameHistory,
                                         name)) {
            return std::nullopt;
        }
        name = name.trimmed();
        const QString row = ImportSclAsRow(sclText, kbmText, code, name, list);
        const std::optional<QString> taken = TemperamentRowOf(list, code);
        if (taken &&
            !m_dialogs.AskYesNoColumns(QStringLiteral("Die Temperatur \"%1\" gibt es schon:\r%2"
                                                      "\rSoll sie ersetzt werden?")
                                           .arg(code, *taken))) {
            return std::nullopt;
        }
        InsertTemperamentRow(list, code, row, taken.has_value());
        return list.Text();
    } catch (const Error& error) {
        m_dialogs.ShowMessage(error.message());
        return std::nullopt;
    }
}

void MainWindow::ExportListRowAsScala(const QString& text, int line) {
    try {
        TemperamentList list;
        list.SetText(text);
        // The cursor must stand on a row, the first line of its code (the one a key plays).
        const QString lineText =
            line >= 0 && line < list.lines().size() ? list.lines()[line] : QString();
        const QString code = lineText.left(2);
        if (code.size() < 2 || code[0] != u'm' || code[1].isSpace() ||
            TemperamentRowOf(list, code) != lineText) {
            m_dialogs.ShowMessage(QStringLiteral("Setzen Sie den Cursor in die Zeile der "
                                                 "Temperatur, die gespeichert werden soll "
                                                 "(\"ma\", \"mb\", …)!"));
            return;
        }
        const ScalaFiles files = ExportRowAsScl(list, code, KammertonText());
        SaveScalaFiles(files, code);
    } catch (const Error& error) {
        m_dialogs.ShowMessage(error.message());
    }
}

void MainWindow::SaveScalaFiles(const ScalaFiles& files, const QString& proposedName) {
    const auto path = m_dialogs.AskSaveFileName(
        ScalaFolder(), proposedName + QStringLiteral(".scl"), kScalaFilter);
    if (!path) {
        m_dialogs.ShowMessage(QStringLiteral("Nicht gespeichert"));
        return;
    }
    m_scalaFolder = QFileInfo(*path).path();
    WriteScalaFiles(*path, files);
    m_dialogs.ShowMessage(
        QStringLiteral("Gespeichert:\r%1\r%2")
            .arg(QDir::toNativeSeparators(*path), QDir::toNativeSeparators(KbmPathFor(*path))));
}

void MainWindow::SavePieceRowAsScala(int row) {
    RunCommand([this, row] {
        const ScalaFiles files =
            ExportPieceRowAsScl(m_table, row, m_temperaments, KammertonText(), PieceName());
        SaveScalaFiles(files, QStringLiteral("%1-zeile%2").arg(PieceName()).arg(row));
    });
}

QMenu* MainWindow::RowContextMenu(int row) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* scala = menu->addAction(
        QStringLiteral("Stimmung der Zeile %1 als Scala-Datei speichern…").arg(row));
    scala->setObjectName(QStringLiteral("ZeileAlsScala"));
    connect(scala, &QAction::triggered, this, [this, row] { SavePieceRowAsScala(row); });
    return menu;
}

} // namespace zk
