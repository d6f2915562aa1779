#include "app/main_window.h"

#include "app/example_library.h"
#include "app/last_piece_waveform.h"
#include "app/notation_window.h"
#include "app/piece_table_model.h"
#include "app/shutdown.h"
#include "app/window_metrics.h"
#include "engine/interval_analysis.h"
#include "engine/key_check.h"
#include "notation/notation_picture.h"
#include "piece/piece_file.h"
#include "piece/piece_text.h"
#include "support/errors.h"
#include "support/printer.h"
#include "support/program_files.h"
#include "support/text_helpers.h"
#include "support/user_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTableView>
#include <QVBoxLayout>

namespace zk {

namespace {

const QString kAllFilesFilter = QStringLiteral("Alle Dateien (*.*)|*.*");
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
        QStringLiteral("Sie wird als Datei \"") + ProgramDir() +
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

} // namespace

QString ToneHistoryPath() {
    return ProgramDir() + QStringLiteral("zirkelon.in1");
}
QString ChordHistoryPath() {
    return ProgramDir() + QStringLiteral("zirkelon.in2");
}

MainWindow::MainWindow(SoundPlayer& sound, NotationWindow& notation, UserDialogs& dialogs,
                       const std::function<void()>& onFirstStart, QWidget* parent)
    : QMainWindow(parent), m_sound(sound), m_notation(notation), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Zirkelon"));
    BuildPanel();
    BuildTable();
    BuildMenus();

    // 1. The spectrum from the overtone edits; 2. concert pitch 440 and one decimal.
    ReadTimbreEdits();
    Ekammerton->setText(QStringLiteral("440"));
    m_settings.decimals = 1;
    // 3. Covering the screen.
    setGeometry(PrimaryScreenRect());
    // 5. The input histories.
    LoadHistories();
    // 6. The temperament list; its absence marks the first start.
    try {
        if (onFirstStart && !QFile::exists(TemperamentList::FilePath())) {
            onFirstStart();
        }
        m_firstStart = m_temperaments.LoadOrCreate();
    } catch (const Error& error) {
        m_dialogs.ShowMessage(error.message());
    }
    m_notation.SetPieceTable([this] { return &m_table; });
    m_notation.SetClearLastPiece([this] { m_sound.ClearLastPiece(); });
}

MainWindow::~MainWindow() {
    SaveHistories();
    // The grid and its model are child widgets, destroyed after the members; they must not
    // outlive the table they show.
    delete sg;
    sg = nullptr;
    delete m_model;
    m_model = nullptr;
}

// ---------------------------------------------------------------- layout

void MainWindow::BuildPanel() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* panel = new QWidget(central);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFixedHeight(25);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(4);
    row->addWidget(new QLabel(QStringLiteral("Obertöne in %"), panel));
    for (int i = 0; i < 6; ++i) {
        auto* edit = new QLineEdit(kOrgelTexts[i], panel);
        edit->setObjectName(QStringLiteral("Eoberton%1").arg(i + 1));
        edit->setFixedWidth(25);
        connect(edit, &QLineEdit::editingFinished, this, [this] {
            ReadTimbreEdits();
            ShowTimbre();
        });
        m_overtoneEdits[i] = edit;
        row->addWidget(edit);
    }
    CBRechteck = new QCheckBox(QStringLiteral("Rechteck"), panel);
    CBRechteck->setObjectName(QStringLiteral("CBRechteck"));
    CBSinus = new QCheckBox(QStringLiteral("Sinus"), panel);
    CBSinus->setObjectName(QStringLiteral("CBSinus"));
    CBorgel = new QCheckBox(QStringLiteral("Orgel"), panel);
    CBorgel->setObjectName(QStringLiteral("CBorgel"));
    // The boxes follow the timbre's own state machine, not Qt's toggling.
    for (QCheckBox* box : {CBRechteck, CBSinus, CBorgel}) {
        box->setFocusPolicy(Qt::NoFocus);
        row->addWidget(box);
    }
    connect(CBRechteck, &QCheckBox::clicked, this, [this] {
        CopyTimbreEdits();
        m_sound.timbre().CBRechteckClick();
        ShowTimbre();
    });
    connect(CBSinus, &QCheckBox::clicked, this, [this] {
        CopyTimbreEdits();
        m_sound.timbre().CBSinusClick();
        ShowTimbre();
    });
    connect(CBorgel, &QCheckBox::clicked, this, [this] {
        CopyTimbreEdits();
        m_sound.timbre().CBorgelClick();
        ShowTimbre();
    });
    Eviertel = new QLineEdit(QStringLiteral("80"), panel);
    Eviertel->setObjectName(QStringLiteral("Eviertel"));
    Eviertel->setFixedWidth(30);
    row->addWidget(Eviertel);
    auto* tempoLabel = new QLabel(QStringLiteral("1/4 pro min"), panel);
    tempoLabel->setToolTip(QStringLiteral("Dauer 1=1/32 2=1/16 4=1/8 8=1/4 16=1/2 32=1"));
    row->addWidget(tempoLabel);
    CBdauernd = new QCheckBox(QStringLiteral("dauernd"), panel);
    CBdauernd->setObjectName(QStringLiteral("CBdauernd"));
    row->addWidget(CBdauernd);
    Ekammerton = new QLineEdit(QStringLiteral("440"), panel);
    Ekammerton->setObjectName(QStringLiteral("Ekammerton"));
    Ekammerton->setFixedWidth(33);
    connect(Ekammerton, &QLineEdit::editingFinished, this, [this] { ReadKammerton(*this); });
    row->addWidget(Ekammerton);
    row->addWidget(new QLabel(QStringLiteral("Kammerton"), panel));
    CBspeichern = new QCheckBox(QStringLiteral("mit abspeichern"), panel);
    CBspeichern->setObjectName(QStringLiteral("CBspeichern"));
    CBspeichern->setChecked(true);
    connect(CBspeichern, &QCheckBox::toggled, this,
            [this](bool on) { m_sound.SetCacheEnabled(on); });
    row->addWidget(CBspeichern);
    row->addStretch(1);
    column->addWidget(panel);
    setCentralWidget(central);
}

void MainWindow::BuildTable() {
    m_model = new PieceTableModel(m_table, this);
    sg = new QTableView(centralWidget());
    sg->setObjectName(QStringLiteral("sg"));
    sg->setModel(m_model);
    auto* delegate = new PieceCellDelegate(sg);
    sg->setItemDelegate(delegate);
    sg->setFont(CourierNewFont(10));
    sg->horizontalHeader()->setFont(CourierNewFont(10));
    sg->verticalHeader()->hide();
    sg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    sg->setSelectionMode(QAbstractItemView::ContiguousSelection);
    sg->setSelectionBehavior(QAbstractItemView::SelectItems);
    sg->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                        QAbstractItemView::SelectedClicked);
    sg->setTabKeyNavigation(true);
    sg->verticalHeader()->setDefaultSectionSize(QFontMetrics(CourierNewFont(10)).height() + 4);
    const int widths[] = {30, 60, 90, 210};
    int used = 0;
    for (int column = 0; column < 4; ++column) {
        sg->setColumnWidth(column, widths[column]);
        used += widths[column];
    }
    sg->setColumnWidth(4, std::max(100, PrimaryScreenRect().width() - used - 10));
    sg->horizontalHeader()->setStretchLastSection(true);
    sg->installEventFilter(this);
    connect(delegate, &PieceCellDelegate::editorCreated, this,
            [this](QWidget* editor, const QModelIndex&) { editor->installEventFilter(this); });
    connect(sg, &QTableView::clicked, this, &MainWindow::sgClick);
    connect(sg, &QTableView::doubleClicked, this, &MainWindow::sgDblClick);
    connect(m_model, &PieceTableModel::cellEdited, this, [this](int, int column) {
        m_pieceModified = true;
        if (column == PieceTable::kKeyColumn) {
            Rechne1Click(); // typing a key recomputes the whole piece silently
        }
    });
    centralWidget()->layout()->addWidget(sg);
}

void MainWindow::BuildMenus() {
    QMenuBar* bar = menuBar();
    const auto add = [this](QMenu* menu, const QString& caption, const char* name,
                            auto&& slot) -> QAction* {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };

    QMenu* datei = bar->addMenu(QStringLiteral("Datei"));
    add(datei, QStringLiteral("Öffnen"), "ffnen1", &MainWindow::ffnen1Click);
    add(datei, QStringLiteral("Speichern"), "Speichern1", &MainWindow::Speichern1Click);
    add(datei, QStringLiteral("Alles löschen"), "Alleslschen1", &MainWindow::Alleslschen1Click);
    datei->addSeparator();
    add(datei, QStringLiteral("Drucken und Seite auswerfen"), "Seiteauswerfen1",
        &MainWindow::Seiteauswerfen1Click);
    datei->addSeparator();
    add(datei, QStringLiteral("Beenden"), "Beenden1", &MainWindow::Beenden1Click);

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
    rechnen->addSeparator();
    for (const int scale : kWaveformScales) {
        QAction* action = add(rechnen, QStringLiteral("Schwingunsgbild zeichnen 1:%1").arg(scale),
                              "", &MainWindow::MZeichnenClick);
        action->setObjectName(QStringLiteral("MZeichnen%1").arg(scale));
        action->setData(scale);
    }

    QMenu* spielen = bar->addMenu(QStringLiteral("Spielen"));
    add(spielen, QStringLiteral("Spiele"), "Spiele1", &MainWindow::Spiele1Click);
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
        connect(action, &QAction::triggered, this, [this, mode] { SetDisplayMode(mode); });
    }
    anzeige->addSeparator();
    Genauer1 =
        add(anzeige, QStringLiteral("Mehr Dezimalstellen"), "Genauer1", &MainWindow::Genauer1Click);
    Genauer1->setCheckable(true);

    QAction* stop = bar->addAction(QStringLiteral("Stop"));
    stop->setObjectName(QStringLiteral("Stop1"));
    connect(stop, &QAction::triggered, this, &MainWindow::Stop1Click);

    BuildExampleMenu(bar->addMenu(QStringLiteral("Hilfe")), QStringLiteral("Hilfe"));

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
    if (m_passRunning) {
        return;
    }
    m_passRunning = true;
    WindowExampleHost host(*this);
    RunCommand([&] { RunExample(entry, host); });
    m_passRunning = false;
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

// ---------------------------------------------------------------- timbre controls

void MainWindow::CopyTimbreEdits() {
    for (int i = 0; i < 6; ++i) {
        m_sound.timbre().overtoneTexts[i] = m_overtoneEdits[i]->text();
    }
}

void MainWindow::ReadTimbreEdits() {
    CopyTimbreEdits();
    m_sound.timbre().Eoberton1Exit();
}

void MainWindow::ShowTimbre() {
    const Timbre& timbre = m_sound.timbre();
    for (int i = 0; i < 6; ++i) {
        m_overtoneEdits[i]->setText(timbre.overtoneTexts[i]);
        m_overtoneEdits[i]->setVisible(timbre.overtoneEditsVisible);
    }
    CBRechteck->setChecked(timbre.rechteck);
    CBRechteck->setText(timbre.rechteckCaption);
    CBSinus->setChecked(timbre.sinus);
    CBorgel->setChecked(timbre.orgel);
}

void MainWindow::SetTimbreTexts(const std::array<QString, 6>& texts) {
    for (int i = 0; i < 6; ++i) {
        m_overtoneEdits[i]->setText(texts[i]);
    }
    ReadTimbreEdits();
    ShowTimbre();
}

// ---------------------------------------------------------------- the pass

void MainWindow::RunCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (const Error& error) {
        m_dialogs.ShowMessage(error.message());
    }
}

void MainWindow::RunPass(int target) {
    if (m_passRunning) {
        return; // a pass already runs (its rows let events through); it is not started twice
    }
    m_passRunning = true;
    RunCommand([&] { ComputePass(target, m_table, m_scale, m_settings, *this); });
    m_passRunning = false;
    m_notation.RestoreNotationWindow();
}

void MainWindow::Rechne1Click() {
    m_settings.onlyCompute = true;
    RunPass(0);
}

void MainWindow::Spiele1Click() {
    m_settings.onlyCompute = false;
    RunPass(0);
}

void MainWindow::Stop1Click() {
    m_settings.onlyCompute = true;
    CBdauernd->setChecked(false);
}

void MainWindow::SetDisplayMode(const QString& mode) {
    m_table.SetDisplayMode(mode);
    Rechne1Click();
}

void MainWindow::Genauer1Click() {
    const DecimalsChange change = NextDecimals(m_settings.decimals);
    m_settings.decimals = change.decimals;
    Genauer1->setChecked(change.checked);
    m_dialogs.ShowMessage(change.message);
}

QString MainWindow::KammertonText() const {
    return Ekammerton->text();
}
void MainWindow::SetKammertonText(const QString& text) {
    Ekammerton->setText(text);
}
QString MainWindow::TempoText() const {
    return Eviertel->text();
}
bool MainWindow::Dauernd() const {
    return CBdauernd->isChecked();
}
void MainWindow::ClearLastPiece() {
    m_sound.ClearLastPiece();
}
void MainWindow::NotateTable(const PieceTable& table) {
    m_notation.NotateTable(table);
}
void MainWindow::HideNotation() {
    m_notation.PutAway();
}

void MainWindow::ScrollToRow(int row) {
    // Only a table taller than the screen scrolls.
    const int rowHeight = sg->verticalHeader()->defaultSectionSize() + 1;
    if (rowHeight * m_table.RowCount() < PrimaryScreenRect().height()) {
        return;
    }
    const int gridRow = PieceTableModel::GridRow(std::max(row, 1));
    sg->scrollTo(m_model->index(std::min(gridRow, m_model->rowCount() - 1), 0),
                 QAbstractItemView::PositionAtTop);
}

void MainWindow::ProcessPendingEvents() {
    QCoreApplication::processEvents();
}

void MainWindow::PlayChord(int dauer, const ChordFrequencies& frequencies) {
    ReadTimbreEdits();
    m_sound.PlayChord(dauer, frequencies);
}

void MainWindow::ShowKeyCheck(const QString& message) {
    m_dialogs.ShowMessage(message);
}

// ---------------------------------------------------------------- grid

void MainWindow::sgClick(const QModelIndex& index) {
    if (!m_editMode) {
        sgDblClick(index);
    }
}

void MainWindow::sgDblClick(const QModelIndex& index) {
    if (!index.isValid()) {
        return;
    }
    const int row = PieceTableModel::TableRow(index.row());
    if (index.column() == PieceTable::kChordColumn) {
        m_settings.onlyCompute = false;
        RunPass(row);
    } else if (index.column() == PieceTable::kKeyColumn) {
        m_settings.onlyCompute = false;
        RunPass(kKeyCheckTarget + row);
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Installed on the grid and on its cell editors.
    if (event->type() == QEvent::KeyPress) {
        if (HandleGridKey(static_cast<QKeyEvent*>(event))) {
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::HandleGridKey(QKeyEvent* event) {
    m_pieceModified = true;
    const QModelIndex current = sg->currentIndex();
    const int lastRow = m_model->rowCount() - 1;
    const int key = event->key();
    if (key == Qt::Key_Down && current.row() == lastRow) {
        m_table.SetRowCount(m_table.RowCount() + 1);
        return false; // the view moves on into the new row
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (current.column() < PieceTable::kIntervalColumn) {
            sg->setCurrentIndex(m_model->index(current.row(), current.column() + 1));
        } else {
            if (current.row() == lastRow) {
                m_table.SetRowCount(m_table.RowCount() + 1);
            }
            sg->setCurrentIndex(m_model->index(current.row() + 1, PieceTable::kDurationColumn));
        }
        if (sg->currentIndex().column() == PieceTable::kKeyColumn) {
            Rechne1Click();
        }
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- commands

void MainWindow::Alleslschen1Click() {
    LoadPieceText(m_table, QString());
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
        ShowTextWithAcceptance(kTemperamentCaption, m_temperaments.Text(),
                               TextDialogMode::OkCancel);
    });
}

void MainWindow::Speichern1Click() {
    RunCommand([this] {
        const auto [folder, name] = FolderAndName(ReadLastFileName(LastPieceFileIni()));
        const auto path = m_dialogs.AskSaveFileName(folder, name, kAllFilesFilter);
        if (!path) {
            m_dialogs.ShowMessage(QStringLiteral("Nicht gespeichert"));
            return;
        }
        SavePieceFile(*path, m_table, m_sound.timbre().overtoneTexts);
        WriteLastFileName(LastPieceFileIni(), *path);
        m_pieceModified = false;
    });
}

void MainWindow::ffnen1Click() {
    RunCommand([this] {
        const auto [folder, name] = FolderAndName(ReadLastFileName(LastPieceFileIni()));
        const auto path = m_dialogs.AskOpenFileName(folder, name, kAllFilesFilter);
        if (!path) {
            m_dialogs.ShowMessage(QStringLiteral("Abbruch!"));
            return;
        }
        if (const auto timbre = OpenPieceFile(*path, m_table)) {
            SetTimbreTexts(*timbre);
        }
        WriteLastFileName(LastPieceFileIni(), *path);
    });
}

void MainWindow::Beenden1Click() {
    m_settings.onlyCompute = true;
    try {
        DeleteTempFiles(ProgramDir() + QStringLiteral("wav"), m_dialogs);
    } catch (const Error& error) {
        m_dialogs.ShowMessage(error.message());
    }
    close(); // also when the cleanup failed; the close query follows
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!modulationWindowVisible || !modulationWindowVisible()) {
        if (showStartWindow) {
            showStartWindow();
        }
    }
    if (!m_pieceModified) {
        event->accept();
        return;
    }
    const TextDialogResult answer = m_dialogs.ShowTextDialog(
        QStringLiteral("Beenden"),
        QStringLiteral("Eingabe noch nicht gespeichert!\rOK: Es wird beendet.\rAbbrechen: Es wird "
                       "stattdessen geseichert."),
        TextDialogMode::OkCancel);
    if (answer.accepted) {
        event->accept();
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

void MainWindow::SpeichereLetztesStueckClick() {
    RunCommand([this] {
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

// ---------------------------------------------------------------- settings files

void MainWindow::LoadHistories() {
    m_toneHistory = ReadTextLines(ToneHistoryPath()).value_or(QStringList());
    m_chordHistory = ReadTextLines(ChordHistoryPath()).value_or(QStringList());
}

void MainWindow::SaveHistories() const {
    try {
        WriteTextLines(ToneHistoryPath(), m_toneHistory);
        WriteTextLines(ChordHistoryPath(), m_chordHistory);
    } catch (const Error&) {
        // The program is ending; a history that cannot be kept is not worth a message.
    }
}

} // namespace zk
