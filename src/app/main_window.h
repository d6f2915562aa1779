// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/pass_queue.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "piece/compute_pass.h"
#include "piece/pass_host.h"
#include "piece/piece_table.h"
#include "sound/frequency_tools.h"
#include "sound/sound_player.h"
#include "support/user_dialogs.h"

#include <QMainWindow>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class QTableView;
class QWidget;

namespace zk {

class DriftWindow;
struct ExampleEntry;
class NotationWindow;
class PieceGrid;
class Printer;
class UserDialogs;
struct ScalaFiles;

// The main window ("Zirkelon"): the piece table `sg`, the control panel `Panel1` with the
// timbre, tempo, repeat, concert pitch and cache controls, and the menu that reaches every tool.
// It owns the piece, the key scale, the temperament list and the input histories, and runs the
// computation pass through itself as the pass's host.
//
// Its code is spread by role: main_window.cpp builds the window and keeps the timbre controls
// and settings files, main_window_menus.cpp wires the menus and the examples,
// main_window_pass.cpp runs the passes and the sound, main_window_commands.cpp holds the
// commands of the file, edit and playback menus. The grid's editing keys are PieceGrid's.
class MainWindow : public QMainWindow, private PassHost, private PlaybackControl {
    Q_OBJECT
public:
    // `onFirstStart` runs when the temperament file is missing (the program's first start),
    // before the default list is written.
    MainWindow(SoundPlayer& sound, NotationWindow& notation, UserDialogs& dialogs,
               const std::function<void()>& onFirstStart = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    PieceTable& Table() { return m_table; }
    PassSettings& Settings() { return m_settings; }
    TemperamentList& Temperaments() { return m_temperaments; }
    QStringList& ToneHistory() { return m_toneHistory; }
    QStringList& ChordHistory() { return m_chordHistory; }
    // The tools of the menu "Frequenzeingabe".
    FrequencyTools& FrequencyInput() { return m_frequencyTools; }
    // The window's title bar and menu bar on the screen: what no window of the program may cover.
    QRect TitleAndMenuBar() const;
    bool PieceModified() const { return m_pieceModified; }
    void SetPieceModified(bool modified) { m_pieceModified = modified; }
    bool EditMode() const { return m_editMode; }
    bool FirstStart() const { return m_firstStart; }
    QTableView* Grid() const;

    // The input dialog's acceptance steps: a text beginning with "TA" becomes the piece table;
    // the dialog "Mitteltönige Stimmungen" offers its text as the new temperament list.
    void AcceptDialogText(const QString& caption, const QString& text);

    // The default printer of "Drucken und Seite auswerfen"; none: the item does nothing.
    void SetPrinter(Printer* printer) { m_printer = printer; }

    // Carries out an entry of the example and help menus.
    void RunExampleEntry(const ExampleEntry& entry);

    // Runs a menu command; an error it raises is shown in a message box and the program goes on.
    void RunCommand(const std::function<void()>& command);

    // The pass over the piece, for a target of ComputePass; the notation window comes back
    // afterwards. While another pass runs, that one is stopped and this one follows it.
    void RunPass(int target);
    // Computes the piece silently and shows its comma drift in the drift window.
    void ShowDrift();
    // Whether the last piece holds anything to save; otherwise says why it is empty, before any
    // file name is asked for.
    bool LastPieceHasSound();

    // Ends everything that sounds: OnlyCompute, "dauernd" off, the sound cut off, no waiting
    // pass that would sound. A running pass computes its remaining rows silently and returns.
    // The program does this before it ends.
    void StopEverything();

    // Whether an input event is a click on the menu item "Stop", or its key Esc while no cell is
    // being edited (for the input gate while a sound plays).
    bool IsStopClick(QObject* target, const QEvent& event) const;

    // Opens a piece file or a MusicXML score named on the command line, as "Öffnen" does.
    void OpenFromCommandLine(const QString& path);

    // Where the user guide is: the installed one for an installed copy, else the one the build
    // made. Set by the shell; the tests point them elsewhere.
    QString installedGuide;
    QString builtGuide;
    // Shows a file in the desktop's own viewer; calls `failed`, at once or later, when there is
    // none that shows it.
    std::function<void(const QString& path, const std::function<void()>& failed)> showFile;

    // Set by the shell: the window switching and the start window's return.
    std::function<void()> showModulationWindow;
    std::function<bool()> modulationWindowVisible;
    std::function<void()> showStartWindow;

public slots:
    void Rechne1Click();
    void Spiele1Click();
    void Stop1Click();
    void Alleslschen1Click();
    void Edieren1Click();
    void ffnen1Click();
    void Speichern1Click();
    // "Speichern unter…": asks for a new name in the folder of the piece last saved or opened.
    void SpeichernUnterClick();
    // "Benutzerhandbuch" (F1): the user guide in the desktop's viewer.
    void BenutzerhandbuchClick();
    void Tonartwechsel1Click();
    void Ediermodus1Click();
    void KlickaufAkkordltihnertnen1Click();
    void Genauer1Click();
    void Beenden1Click();
    void Seiteauswerfen1Click();
    void mitteltnig1Click();
    void SpieleLetztesStueckClick();
    void SpeichereLetztesStueckClick();
    // "Speichere das letzte Stück als MIDI-Datei": the chords played last, in their exact
    // frequencies, as a Standard MIDI File.
    void SpeichereLetztesStueckMidiClick();
    void SpieleGespeicherteDateiClick();
    // The seven items "Schwingunsgbild zeichnen 1:…" of the menu "Rechnen"; each carries its
    // scale.
    void MZeichnenClick();
    // "Kommadrift zeigen": computes the piece silently, as "Rechne" does, and shows how its keys
    // and chords drift against the first key in a window of its own.
    void KommadriftZeigenClick();
    // "Tonarten automatisch setzen": finds the keys of the whole piece (asking first whether the
    // keys already in the table stay), writes them into the column "TA", computes silently,
    // shows the drift and reports what stays impure. "zum Ausgangston zurück" (checked at
    // start) makes the piece end on the key it began with.
    void TonartenAutomatischClick();
    void sgClick(const QModelIndex& index);
    void sgDblClick(const QModelIndex& index);

    // The twelve pitches in force at a row of the piece (a row of the table, from 1), computed
    // silently up to it, saved as a Scala scale and keyboard mapping.
    void SavePieceRowAsScala(int row);
    // The context menu of a row of the piece (a row of the table, from 1).
    QMenu* RowContextMenu(int row);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // PassHost
    QString KammertonText() const override;
    void SetKammertonText(const QString& text) override;
    QString TempoText() const override;
    bool Dauernd() const override;
    void ClearLastPiece() override;
    void NotateTable(const PieceTable& table) override;
    void HideNotation() override;
    void ScrollToRow(int row) override;
    void ProcessPendingEvents() override;
    void PlayChord(int dauer, const ChordFrequencies& frequencies) override;
    void ShowKeyCheck(const QString& message) override;
    // The pass of `target` as a job of the queue; `onlyCompute` as the command sets it.
    void QueuePass(int target, bool onlyCompute);
    // A key cell was typed into: the piece is computed again once the key press is over.
    void RecomputeSoon();
    // PlaybackControl
    bool OnlyCompute() const override { return m_settings.onlyCompute; }

public:
    // The drift window once "Kommadrift zeigen" has opened it.
    DriftWindow* DriftPictureWindow() const { return m_driftWindow.get(); }

private:
    void BuildPanel();
    void BuildTable();
    void BuildMenus();
    void BuildExampleMenu(QMenu* menu, const QString& title);
    void LoadHistories();
    void SaveHistories() const;
    // The overtone edits' texts into the timbre; reading them also recomputes the spectrum and
    // ends a sine or organ setting (leaving an edit, playing a chord).
    void CopyTimbreEdits();
    void ReadTimbreEdits();
    void ShowTimbre();
    void SetTimbreTexts(const std::array<QString, 6>& texts);
    void SetDisplayMode(const QString& mode);
    void SetEditMode(bool editMode);
    // The input dialog with a text; on "Ok" the text is taken back (piece table, temperaments).
    void ShowTextWithAcceptance(const QString& caption, const QString& text, TextDialogMode mode);
    // The waveform of the last piece at 1:scale in the notation window.
    void DrawWaveformAtScale(int scale);
    // The temperament dialog's Scala buttons: a .scl file becomes a new row of the dialog's
    // text (returned; nothing when cancelled or refused); the row under the cursor is saved.
    QList<TextDialogAction> TemperamentDialogActions();
    std::optional<QString> ImportScalaIntoList(const QString& text);
    void ExportListRowAsScala(const QString& text, int line);
    // Asks for the .scl file's name (the .kbm goes beside it) and writes both.
    void SaveScalaFiles(const ScalaFiles& files, const QString& proposedName);
    QString ScalaFolder() const;
    // The name of the piece in the table for the files its rows are exported to (see
    // m_pieceName), "Zirkelon" when it has none. The MIDI file takes the last piece's name.
    QString PieceName() const;
    // The piece in the table now is that file: the dialogs start there, exports take its name.
    void RememberPieceFile(const QString& path);
    // The name of the piece in the table, also shown in the window's title.
    void SetPieceName(const QString& name);
    // Whether the table may be replaced: without unsaved edits, or when the user lets them go.
    bool MayReplaceTable();
    // Asks for a file name, starting at `folder` with `name`, and saves the piece there.
    void SavePieceAsked(const QString& folder, const QString& name);
    // Opens a piece file or imports a MusicXML score (with the key signatures' keys, the score's
    // tempo and title, and a message saying what the import did). Throws FileError or ScoreError;
    // the table is then unchanged.
    void OpenPieceOrScore(const QString& path);
    friend class WindowExampleHost;

    SoundPlayer& m_sound;
    NotationWindow& m_notation;
    UserDialogs& m_dialogs;
    Printer* m_printer = nullptr;

    PieceTable m_table;
    TemperamentList m_temperaments;
    TonartScale m_scale{&m_temperaments};
    PassSettings m_settings{false, 1};
    QStringList m_toneHistory;
    QStringList m_chordHistory;
    FrequencyTools m_frequencyTools{m_sound, m_dialogs, m_toneHistory, m_chordHistory};
    bool m_pieceModified = false;
    // The name of the piece in the table: the file it was opened from or saved to without its
    // extension, or the caption of the example that loaded it; empty after "Alles löschen".
    QString m_pieceName;
    bool m_editMode = true;
    bool m_firstStart = false;
    bool m_recomputeQueued = false;
    QString m_scalaFolder; // where the last Scala file was opened or saved
    std::unique_ptr<DriftWindow> m_driftWindow;
    PassQueue m_passes{[this] { m_settings.onlyCompute = true; }};

    // Panel1
    std::array<QLineEdit*, 6> m_overtoneEdits{};
    QCheckBox* CBRechteck = nullptr;
    QCheckBox* CBSinus = nullptr;
    QCheckBox* CBorgel = nullptr;
    QLineEdit* Eviertel = nullptr;
    QCheckBox* CBdauernd = nullptr;
    QLineEdit* Ekammerton = nullptr;
    QCheckBox* CBspeichern = nullptr;

    PieceGrid* sg = nullptr;

    QAction* Stop1 = nullptr;
    QAction* Ediermodus1 = nullptr;
    QAction* KlickaufAkkordltihnertnen1 = nullptr;
    QAction* Genauer1 = nullptr;
    QAction* ZumAusgangston1 = nullptr;
};

// The names of the settings files of the input histories.
QString ToneHistoryPath();
QString ChordHistoryPath();

} // namespace zk
