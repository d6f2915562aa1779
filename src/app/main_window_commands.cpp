// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include "app/notation_window.h"
#include "app/shutdown.h"
#include "engine/key_check.h"
#include "exchange/midi_file.h"
#include "exchange/score_file.h"
#include "exchange/score_import.h"
#include "piece/compute_pass.h"
#include "piece/piece_file.h"
#include "piece/piece_text.h"
#include "support/errors.h"
#include "support/program_files.h"
#include "support/text_helpers.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

namespace zk {

namespace {

const QString kAllFilesFilter = QStringLiteral("Alle Dateien (*.*)|*.*");
// Opening takes piece files and MusicXML scores alike.
const QString kPieceOrScoreFilter =
    QStringLiteral("Stücke und Partituren (*.txt *.mxl *.musicxml *.xml)|*.txt;*.mxl;*.musicxml;"
                   "*.xml|Alle Dateien (*.*)|*.*");
const QString kMidiFilter = QStringLiteral("MIDI-Dateien (*.mid)|*.mid|Alle Dateien (*.*)|*.*");

// The settings file "zirkelon.in5" remembers the MIDI file last written, as "zirkelon.in4" does
// for WAV files; before the first one the dialog proposes "midi/midi1.mid" in the program folder.
QString MidiIniPath() {
    return ConfigDir() + QStringLiteral("zirkelon.in5");
}
QString SaveMidiStartName() {
    return LastFileNameOr(MidiIniPath(), ProgramDir() + QStringLiteral("midi/midi1.mid"));
}
void RememberMidiFileName(const QString& path) {
    WriteLastFileName(MidiIniPath(), path);
}
const QString kWavFilter = QStringLiteral("Wavdateien (*.wav)|*.WAV|Alle Dateien (*.*)|*.*");
const QString kTemperamentCaption = QStringLiteral("Mitteltönige Stimmungen");
const QString kEditCaption = QStringLiteral("In der ersten Zeile \"TA\" nicht verändern!");

QString TemperamentHelpText() {
    const QStringList lines = {
        QStringLiteral("Mitteltönige Stimmungen"),
        QString(),
        QStringLiteral("Geben Sie in die erste Spalte TA (Tonart) \"ma\" oder \"mb\" oder ...ein! "
                       "Dann wird das Musikstück in einer der im nächsten Fenster angezeigten "
                       "Temperaturen gespielt."),
        QStringLiteral("                             Angaben in Cent"),
        QString(),
        QStringLiteral("                Hinweis"),
        QStringLiteral("Sie können die Temperaturen ändern oder weitere Temperaturen \"mx\" "
                       "zufügen."),
        QStringLiteral("Sie wird als Datei \"") + ConfigDir() +
            QStringLiteral("zirkelon.in3\" abgespeichert."),
        QString(),
        QStringLiteral("Durch Löschen oder Umbenennen der Datei machen Sie alle Änderungen wieder "
                       "rückgängig.\r\r\n"),
        QStringLiteral("Zirkelon berechnet die Frequenzen äußerst exakt. Deshalb sind die "
                       "Centangaben hier, soweit mir bekannt,"),
        QStringLiteral("so exakt angegeben. Hörtechnisch ist eine Abweichung von einem Cent nur "
                       "noch durch eine langsame "),
        QStringLiteral("Schwebung nachweisbar."),
        QStringLiteral("(Testen Sie mit Menü \"Ton|Mehrklnag\" \"880Hz und 880,5Hz\" mit \"Sinus\" "
                       "(Entspricht 1 Cent)!"),
    };
    return lines.join(u'\r');
}

// Folder and name of a remembered file name, for the start of a file dialog.
std::pair<QString, QString> FolderAndName(const QString& path) {
    const QFileInfo info(path);
    if (path.endsWith(u'/')) {
        return {path, QString()};
    }
    return {info.path(), info.fileName()};
}

// The name the piece dialogs propose: the remembered file's, none for opening and "Neues Stück"
// for saving before any piece was saved or opened (the settings' "file1" is no name to show).
const QString kNewPieceName = QStringLiteral("Neues Stück");
std::pair<QString, QString> PieceDialogStart(const QString& whenNone) {
    auto [folder, name] = FolderAndName(ReadLastFileName(LastPieceFileIni()));
    if (name == u"file1") {
        name = whenNone;
    }
    return {folder, name};
}

// A piece's name in the files it is exported to; a piece without a name is Zirkelon's.
QString ExportName(const QString& pieceName) {
    return pieceName.isEmpty() ? QStringLiteral("Zirkelon") : pieceName;
}

} // namespace

// ---------------------------------------------------------------- commands

QString MainWindow::PieceName() const {
    return ExportName(m_pieceName);
}

void MainWindow::SetPieceName(const QString& name) {
    m_pieceName = name;
    setWindowTitle(name.isEmpty() ? QStringLiteral("Zirkelon")
                                  : QStringLiteral("%1 – Zirkelon").arg(name));
}

void MainWindow::RememberPieceFile(const QString& path) {
    WriteLastFileName(LastPieceFileIni(), path);
    SetPieceName(QFileInfo(path).completeBaseName());
}

void MainWindow::Alleslschen1Click() {
    LoadPieceText(m_table, QString());
    SetPieceName(QString());
}

void MainWindow::ShowTextWithAcceptance(const QString& caption, const QString& text,
                                        TextDialogMode mode) {
    const TextDialogResult result = m_dialogs.ShowTextDialog(caption, text, mode);
    if (result.accepted) {
        AcceptDialogText(caption, result.text);
    }
}

void MainWindow::Edieren1Click() {
    RunCommand([this] {
        ShowTextWithAcceptance(kEditCaption, TableToText(m_table, 0), TextDialogMode::OkPrint);
    });
}

void MainWindow::AcceptDialogText(const QString& caption, const QString& text) {
    std::optional<TimbreTexts> timbre;
    if (AcceptPieceText(m_table, text, &timbre) && timbre) {
        SetTimbreTexts(*timbre);
    }
    if (caption == kTemperamentCaption &&
        m_dialogs.AskYesNo(QStringLiteral("Änderungen übernehmen\r(wird in Datei "
                                          "\"zirkelon.in3\" gespeichert)"))) {
        m_temperaments.SetText(text);
        m_temperaments.Save();
    }
}

void MainWindow::mitteltnig1Click() {
    RunCommand([this] {
        m_dialogs.ShowMessage(TemperamentHelpText());
        const TextDialogResult result = m_dialogs.ShowTextDialogWithActions(
            kTemperamentCaption, m_temperaments.Text(), TextDialogMode::OkCancel,
            TemperamentDialogActions());
        if (result.accepted) {
            AcceptDialogText(kTemperamentCaption, result.text);
        }
    });
}

void MainWindow::SavePieceAsked(const QString& folder, const QString& name) {
    RunCommand([&] {
        const auto path = m_dialogs.AskSaveFileName(folder, name, kAllFilesFilter);
        if (!path) {
            m_dialogs.ShowMessage(QStringLiteral("Nicht gespeichert"));
            return;
        }
        SavePieceFile(*path, m_table, m_sound.timbre().overtoneTexts);
        RememberPieceFile(*path);
        m_pieceModified = false;
    });
}

void MainWindow::Speichern1Click() {
    const auto [folder, name] = PieceDialogStart(kNewPieceName);
    SavePieceAsked(folder, name);
}

void MainWindow::SpeichernUnterClick() {
    // A new name in the folder of the piece last saved or opened: the piece's own name, or
    // "Neues Stück" for a piece without one.
    SavePieceAsked(PieceDialogStart(QString()).first,
                   m_pieceName.isEmpty() ? kNewPieceName : m_pieceName);
}

void MainWindow::BenutzerhandbuchClick() {
    const QString guide =
        IsInstalledCopy(QCoreApplication::applicationDirPath()) || !QFileInfo::exists(builtGuide)
            ? installedGuide
            : builtGuide;
    if (!QFileInfo::exists(guide)) {
        m_dialogs.ShowMessage(
            QStringLiteral("Das Benutzerhandbuch ist nicht zu finden (\"%1\").").arg(guide));
        return;
    }
    const auto failed = [this, guide] {
        m_dialogs.ShowMessage(QStringLiteral("Das Benutzerhandbuch \"%1\" ließ sich nicht "
                                             "anzeigen: Kein Programm zum Anzeigen gefunden.")
                                  .arg(guide));
    };
    if (showFile) {
        showFile(guide, failed);
    } else {
        failed();
    }
}

void MainWindow::OpenFromCommandLine(const QString& path) {
    RunCommand([&] { OpenPieceOrScore(QFileInfo(path).absoluteFilePath()); });
}

bool MainWindow::MayReplaceTable() {
    return !m_pieceModified ||
           m_dialogs.AskOkCancel(QStringLiteral("Eingabe noch nicht gespeichert!\rOK: Die Eingabe "
                                                "wird verworfen.\rAbbrechen: Die Eingabe bleibt, "
                                                "und nichts wird geöffnet."));
}

void MainWindow::ffnen1Click() {
    RunCommand([this] {
        if (!MayReplaceTable()) {
            return;
        }
        const auto [folder, name] = PieceDialogStart(QString());
        const auto path = m_dialogs.AskOpenFileName(folder, name, kPieceOrScoreFilter);
        if (!path) {
            m_dialogs.ShowMessage(QStringLiteral("Abbruch!"));
            return;
        }
        OpenPieceOrScore(*path);
    });
}

void MainWindow::OpenPieceOrScore(const QString& path) {
    // Read first, so that a file that cannot be read or imported leaves the table as it was.
    const OpenedPiece opened =
        LoadPieceOrScore(ReadScoreFileBytes(path), ScoreKeyColumn::Signature, m_table);
    if (!opened.score) {
        if (opened.timbre) {
            SetTimbreTexts(*opened.timbre);
        }
        RememberPieceFile(path);
        m_pieceModified = false;
        return;
    }
    const ImportedScore& imported = *opened.score;
    if (imported.score.quarterTempo) {
        Eviertel->setText(QString::number(TempoFieldValue(*imported.score.quarterTempo)));
    }
    // "Speichern" proposes a piece file beside the score, never the score itself.
    const QFileInfo score(path);
    WriteLastFileName(LastPieceFileIni(),
                      score.dir().filePath(score.completeBaseName() + QStringLiteral(".txt")));
    SetPieceName(imported.score.title.isEmpty() ? score.completeBaseName() : imported.score.title);
    // The table exists only here until it is saved as a piece file.
    m_pieceModified = true;
    m_dialogs.ShowMessage(ImportReport(imported, path).join(u'\r'));
}

void MainWindow::Beenden1Click() {
    m_settings.onlyCompute = true;
    try {
        DeleteTempFiles(CacheDir() + QStringLiteral("wav"), m_dialogs);
    } catch (const Error& error) {
        m_dialogs.ShowMessage(error.message());
    }
    close(); // also when the cleanup failed; the close query follows
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The start window comes back once the main window really closes: while it stays open (the
    // user chose to save instead), the start window's "Beenden" must not be at hand.
    const auto closing = [this, event] {
        StopEverything(); // a pass playing over and over must not go on without its window
        event->accept();
        if ((!modulationWindowVisible || !modulationWindowVisible()) && showStartWindow) {
            showStartWindow();
        }
    };
    if (!m_pieceModified) {
        closing();
        return;
    }
    const TextDialogResult answer = m_dialogs.ShowTextDialog(
        QStringLiteral("Beenden"),
        QStringLiteral("Eingabe noch nicht gespeichert!\rOK: Es wird beendet.\rAbbrechen: Es wird "
                       "stattdessen geseichert."),
        TextDialogMode::OkCancel);
    if (answer.accepted) {
        closing();
        return;
    }
    event->ignore();
    Speichern1Click();
}

void MainWindow::Tonartwechsel1Click() {
    m_dialogs.ShowMessage(TonartCheckHint());
}

void MainWindow::Ediermodus1Click() {
    SetEditMode(true);
}

void MainWindow::KlickaufAkkordltihnertnen1Click() {
    SetEditMode(false);
}

void MainWindow::SetEditMode(bool editMode) {
    m_editMode = editMode;
    Ediermodus1->setChecked(editMode);
    KlickaufAkkordltihnertnen1->setChecked(!editMode);
    m_dialogs.ShowMessage(
        QStringLiteral("Im Ediermodus können Sie die Akkorde durch anklicken eingeben oder "
                       "ändern.\rDurch Doppelklick bringen Sie ihn zum ertönen.\rBeim "
                       "\"Einzelnen Akkkord ertönen lassen\"-Modus erklingt der Akkord beim "
                       "einfachen Klick."));
}

void MainWindow::SpieleLetztesStueckClick() {
    RunCommand([this] {
        m_notation.RestoreNotationWindow();
        ReadTimbreEdits();
        m_sound.PlayLastPiece(*this);
    });
}

bool MainWindow::LastPieceHasSound() {
    if (m_sound.lastPiece().FrameCount() > 0) {
        return true;
    }
    m_dialogs.ShowMessage(
        QStringLiteral("Das letzte Stück ist leer: Es wird beim Spielen aufgenommen "
                       "(\"Spielen|Spiele\" oder ein Doppelklick auf einen Akkord, mit "
                       "\"mit abspeichern\"); \"Rechne\" spielt nichts und leert es."));
    return false;
}

void MainWindow::SpeichereLetztesStueckClick() {
    RunCommand([this] {
        if (!LastPieceHasSound()) {
            return;
        }
        const auto [folder, name] = FolderAndName(SaveWavStartName());
        QDir().mkpath(folder);
        const auto path = m_dialogs.AskSaveFileName(folder, name, kWavFilter);
        if (!path) {
            return;
        }
        RememberWavFileName(*path);
        ReadTimbreEdits();
        m_sound.WriteLastPieceWav(*path);
    });
}

void MainWindow::SpeichereLetztesStueckMidiClick() {
    RunCommand([this] {
        if (!LastPieceHasSound()) {
            return;
        }
        const auto [folder, name] = FolderAndName(SaveMidiStartName());
        QDir().mkpath(folder);
        const auto path = m_dialogs.AskSaveFileName(folder, name, kMidiFilter);
        if (!path) {
            return;
        }
        RememberMidiFileName(*path);
        MidiOptions options;
        options.trackName = ExportName(m_sound.lastPieceName());
        // A quarter note of the file is a quarter of the piece at its tempo, where that fits.
        try {
            options.quarterDauer = MidiQuarterDauer(ThirtySecondLength(Eviertel->text()));
        } catch (const Error&) {
            options.quarterDauer = kDefaultQuarterDauer;
        }
        const MidiExport written = WriteMidiFile(*path, m_sound.lastPiece(), options);
        if (!written.warning.isEmpty()) {
            m_dialogs.ShowMessage(written.warning);
        }
    });
}

void MainWindow::SpieleGespeicherteDateiClick() {
    RunCommand([this] {
        const auto [folder, name] = FolderAndName(OpenWavStartName());
        const auto path = m_dialogs.AskOpenFileName(folder, name, kWavFilter);
        if (!path) {
            return;
        }
        RememberWavFileName(*path);
        m_sound.PlaySavedFile(*path, *this);
    });
}

} // namespace zk
