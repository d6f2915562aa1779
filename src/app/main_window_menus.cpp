// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include "app/example_library.h"
#include "app/last_piece_waveform.h"
#include "app/notation_window.h"
#include "engine/interval_analysis.h"
#include "notation/notation_picture.h"
#include "support/printer.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QMenuBar>

namespace zk {

void MainWindow::BuildMenus() {
    QMenuBar* bar = menuBar();
    const auto add = [this](QMenu* menu, const QString& caption, const char* name,
                            auto&& slot) -> QAction* {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };

    // The keys every desktop program has, shown beside the menu items; spelt out, for the
    // platform's standard keys leave some of them out on a desktop other than KDE or GNOME.
    QMenu* datei = bar->addMenu(QStringLiteral("Datei"));
    add(datei, QStringLiteral("Öffnen"), "ffnen1", &MainWindow::ffnen1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    add(datei, QStringLiteral("Speichern"), "Speichern1", &MainWindow::Speichern1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    add(datei, QStringLiteral("Speichern unter…"), "SpeichernUnter1",
        &MainWindow::SpeichernUnterClick)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    add(datei, QStringLiteral("Alles löschen"), "Alleslschen1", &MainWindow::Alleslschen1Click);
    datei->addSeparator();
    add(datei, QStringLiteral("Drucken und Seite auswerfen"), "Seiteauswerfen1",
        &MainWindow::Seiteauswerfen1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    datei->addSeparator();
    add(datei, QStringLiteral("Beenden"), "Beenden1", &MainWindow::Beenden1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* eingabe = bar->addMenu(QStringLiteral("Frequenzeingabe"));
    struct Tool {
        const char* caption;
        const char* name;
        void (FrequencyTools::*run)();
    };
    for (const Tool& tool : {
             Tool{"Ton", "Ton1", &FrequencyTools::Ton},
             Tool{"Mehrklang", "Mehrklang1", &FrequencyTools::Mehrklang},
             Tool{"Zweiklang mit Differenztönen", "ZweiklangmitDifferenztnen1",
                  &FrequencyTools::Zweiklang},
             Tool{"Dauer ändern", "Dauerverlngeren1", &FrequencyTools::DauerAendern},
         }) {
        QAction* action = eingabe->addAction(QString::fromUtf8(tool.caption));
        action->setObjectName(QString::fromLatin1(tool.name));
        connect(action, &QAction::triggered, this,
                [this, run = tool.run] { RunCommand([&] { (m_frequencyTools.*run)(); }); });
    }
    // A spectrum typed in parentheses shows in the overtone edits at once; before each sound
    // the edits are read, as for every chord the window plays.
    m_frequencyTools.timbreTyped = [this] {
        ShowTimbre();
        QCoreApplication::processEvents();
    };
    m_frequencyTools.beforeSound = [this] { ReadTimbreEdits(); };

    QMenu* rechnen = bar->addMenu(QStringLiteral("Rechnen"));
    add(rechnen, QStringLiteral("Rechne"), "Rechne1", &MainWindow::Rechne1Click);
    add(rechnen, QStringLiteral("Kommadrift zeigen"), "Kommadriftzeigen1",
        &MainWindow::KommadriftZeigenClick);
    add(rechnen, QStringLiteral("Tonarten automatisch setzen"), "TonartenAutomatisch1",
        &MainWindow::TonartenAutomatischClick);
    ZumAusgangston1 = rechnen->addAction(QStringLiteral("zum Ausgangston zurück"));
    ZumAusgangston1->setObjectName(QStringLiteral("ZumAusgangston1"));
    ZumAusgangston1->setCheckable(true);
    ZumAusgangston1->setChecked(true);
    rechnen->addSeparator();
    for (const int scale : kWaveformScales) {
        QAction* action = add(rechnen, QStringLiteral("Schwingunsgbild zeichnen 1:%1").arg(scale),
                              "", &MainWindow::MZeichnenClick);
        action->setObjectName(QStringLiteral("MZeichnen%1").arg(scale));
        action->setData(scale);
    }

    QMenu* spielen = bar->addMenu(QStringLiteral("Spielen"));
    add(spielen, QStringLiteral("Spiele"), "Spiele1", &MainWindow::Spiele1Click)
        ->setShortcut(Qt::Key_F5);
    add(spielen, QStringLiteral("Zeile einfügen,  entfernen  oder drucken"), "Edieren1",
        &MainWindow::Edieren1Click);
    add(spielen, QStringLiteral("Tonart überprüfen"), "Tonartwechsel1",
        &MainWindow::Tonartwechsel1Click);
    spielen->addSeparator();
    Ediermodus1 =
        add(spielen, QStringLiteral("Ediermodus"), "Ediermodus1", &MainWindow::Ediermodus1Click);
    Ediermodus1->setCheckable(true);
    Ediermodus1->setChecked(true);
    KlickaufAkkordltihnertnen1 =
        add(spielen, QStringLiteral("Einzelnen Akkkord ertönen lassen"),
            "KlickaufAkkordltihnertnen1", &MainWindow::KlickaufAkkordltihnertnen1Click);
    KlickaufAkkordltihnertnen1->setCheckable(true);
    spielen->addSeparator();
    spielen->addAction(m_notation.NotenZeigenAction());
    spielen->addSeparator();
    spielen->addActions(m_notation.BassNotesActions());
    spielen->addSeparator();
    add(spielen, QStringLiteral("Spiele das letzte Stück zusammenhängend"),
        "SpieledasletzteStcklzusammenhngend1", &MainWindow::SpieleLetztesStueckClick);
    add(spielen, QStringLiteral("Speichere das letzte Stück als Wav-Datei"),
        "SpeicheredasletzteStckalsWavDatei1", &MainWindow::SpeichereLetztesStueckClick);
    add(spielen, QStringLiteral("Speichere das letzte Stück als MIDI-Datei"),
        "SpeicheredasletzteStckalsMidiDatei1", &MainWindow::SpeichereLetztesStueckMidiClick);
    add(spielen, QStringLiteral("Spiele eine gespeicherte Datei"), "SpieleeinegespeicherteDatei1",
        &MainWindow::SpieleGespeicherteDateiClick);

    for (const char* title : {"Beispiele", "Theoriebeispiele"}) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(title));
        BuildExampleMenu(menu, menu->title());
        // Opening the example menus puts the notation window away.
        connect(menu, &QMenu::aboutToShow, this, [this] { m_notation.PutAwayAndHide(); });
    }

    QMenu* anzeige = bar->addMenu(QStringLiteral("Anzeige"));
    const std::pair<const char*, QString> displayItems[] = {
        {"benachbarte Frequenzverhälnisse", kModeNeighbourRatios},
        {"Frequenzverhältnisse", kModeRatios},
        {"benachbarte Intervalle", kModeNeighbourIntervals},
        {"Intervalle", kModeIntervals},
        {"In Cent", kModeCents},
        {"Oktav Quint Terz", kModeOqt},
        {"(gGT kGT HT)", kModeSteps},
        {"Alles", kModeAll},
    };
    for (const auto& [caption, mode] : displayItems) {
        QAction* action = anzeige->addAction(QString::fromUtf8(caption));
        connect(action, &QAction::triggered, this, [this, mode = mode] { SetDisplayMode(mode); });
    }
    anzeige->addSeparator();
    Genauer1 =
        add(anzeige, QStringLiteral("Mehr Dezimalstellen"), "Genauer1", &MainWindow::Genauer1Click);
    Genauer1->setCheckable(true);

    Stop1 = bar->addAction(QStringLiteral("Stop"));
    Stop1->setObjectName(QStringLiteral("Stop1"));
    // A cell editor takes Esc for itself (PieceGrid); elsewhere in the window it is "Stop".
    Stop1->setShortcut(Qt::Key_Escape);
    Stop1->setToolTip(QStringLiteral("Stop (Esc)"));
    connect(Stop1, &QAction::triggered, this, &MainWindow::Stop1Click);

    QMenu* hilfe = bar->addMenu(QStringLiteral("Hilfe"));
    add(hilfe, QStringLiteral("Benutzerhandbuch"), "Benutzerhandbuch1",
        &MainWindow::BenutzerhandbuchClick)
        ->setShortcut(Qt::Key_F1);
    hilfe->addSeparator();
    BuildExampleMenu(hilfe, QStringLiteral("Hilfe"));

    QAction* modulation = bar->addAction(QStringLiteral("Zum Programm Modulationen berechnen"));
    modulation->setObjectName(QStringLiteral("Modulationenberechnen1"));
    connect(modulation, &QAction::triggered, this, [this] {
        if (showModulationWindow) {
            showModulationWindow();
        }
    });
}

void MainWindow::BuildExampleMenu(QMenu* menu, const QString& title) {
    for (const ExampleMenu& catalogue : ExampleMenus()) {
        if (catalogue.title != title) {
            continue;
        }
        for (const ExampleEntry& entry : catalogue.entries) {
            if (entry.IsSeparator()) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(entry.caption);
            const ExampleEntry* item = &entry; // the catalogue lives as long as the program
            connect(action, &QAction::triggered, this, [this, item] { RunExampleEntry(*item); });
        }
    }
}

// What the examples and help texts do, carried out by the window.
class WindowExampleHost : public ExampleHost {
public:
    explicit WindowExampleHost(MainWindow& window) : m_window(window) {}

    PieceTable& Table() override { return m_window.m_table; }
    void SetOnlyCompute(bool onlyCompute) override {
        m_window.m_settings.onlyCompute = onlyCompute;
    }
    void ProcessPendingEvents() override { QCoreApplication::processEvents(); }
    void ComputePass(int target) override {
        zk::ComputePass(target, m_window.m_table, m_window.m_scale, m_window.m_settings, m_window);
    }
    void PlayLastPiece() override {
        m_window.ReadTimbreEdits();
        m_window.m_sound.PlayLastPiece(m_window);
    }
    void HideNotation() override { m_window.m_notation.PutAwayAndHide(); }
    void DrawWaveform(int scale) override { m_window.DrawWaveformAtScale(scale); }
    void SetDisplayMode(const QString& mode) override { m_window.m_table.SetDisplayMode(mode); }
    void SetBassNotes(int bassNotes) override {
        m_window.m_notation.Picture().SetBassNotes(bassNotes);
    }
    void ShowMessage(const QString& text) override { m_window.m_dialogs.ShowMessage(text); }
    void ShowText(const QString& caption, const QString& text) override {
        m_window.ShowTextWithAcceptance(caption, text, TextDialogMode::OkPrint);
    }
    void EditTemperaments() override { m_window.mitteltnig1Click(); }

private:
    MainWindow& m_window;
};

void MainWindow::RunExampleEntry(const ExampleEntry& entry) {
    // An example loads a piece and often plays it: while a pass plays, that one stops first.
    m_passes.Run({[this, &entry] {
                      if (!entry.PieceText().isEmpty()) {
                          // Help items load no piece; an example replaces the table, and
                          // unsaved edits go only when the user lets them.
                          if (!MayReplaceTable()) {
                              return;
                          }
                          SetPieceName(entry.caption);
                      }
                      WindowExampleHost host(*this);
                      RunCommand([&] { RunExample(entry, host); });
                  },
                  true});
}

void MainWindow::DrawWaveformAtScale(int scale) {
    RunCommand([&] {
        // The timbre as the edits show it now, as for the whole piece's WAV file.
        ReadTimbreEdits();
        const LastPieceWaveform source(m_sound.lastPiece(), m_sound.timbre().ForSamples());
        m_notation.DrawWaveform(scale, source, m_dialogs);
    });
}

void MainWindow::MZeichnenClick() {
    if (const auto* action = qobject_cast<QAction*>(sender())) {
        DrawWaveformAtScale(action->data().toInt());
    }
}

void MainWindow::Seiteauswerfen1Click() {
    if (m_printer != nullptr) {
        RunCommand([this] { PrintAndEjectPage(*m_printer, m_dialogs); });
    }
}

} // namespace zk
