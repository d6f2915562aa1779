// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include "app/drift_window.h"
#include "app/notation_window.h"
#include "app/piece_grid.h"
#include "app/window_metrics.h"
#include "support/errors.h"
#include "support/program_files.h"

#include <QCheckBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

namespace zk {

QString ToneHistoryPath() {
    return ConfigDir() + QStringLiteral("zirkelon.in1");
}
QString ChordHistoryPath() {
    return ConfigDir() + QStringLiteral("zirkelon.in2");
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
    m_notation.SetKeepClear([this] { return TitleAndMenuBar(); });
}

QRect MainWindow::TitleAndMenuBar() const {
    if (!isVisible() || isMinimized()) {
        return {};
    }
    const QRect frame = frameGeometry();
    const int menuBottom = menuBar()->mapToGlobal(QPoint(0, menuBar()->height() - 1)).y();
    return QRect(QPoint(frame.left(), frame.top()), QPoint(frame.right(), menuBottom));
}

MainWindow::~MainWindow() {
    SaveHistories();
    // The grid and its model are child widgets, destroyed after the members; they must not
    // outlive the table they show.
    delete sg;
    sg = nullptr;
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
        connect(edit, &QLineEdit::editingFinished, this, [this] { ReadTimbreEdits(); });
        // Hidden edits (square and sawtooth) keep their room, so the boxes after them stay put.
        QSizePolicy policy = edit->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        edit->setSizePolicy(policy);
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
    sg = new PieceGrid(m_table, centralWidget());
    connect(sg, &PieceGrid::keyPressed, this, [this] { m_pieceModified = true; });
    connect(sg, &PieceGrid::cellEdited, this, [this](int, int column) {
        m_pieceModified = true;
        if (column == PieceTable::kKeyColumn) {
            RecomputeSoon(); // typing a key recomputes the whole piece silently
        }
    });
    connect(sg, &QTableView::clicked, this, &MainWindow::sgClick);
    connect(sg, &QTableView::doubleClicked, this, &MainWindow::sgDblClick);
    connect(sg, &PieceGrid::rowMenuRequested, this,
            [this](int row, const QPoint& at) { RowContextMenu(row)->popup(at); });
    centralWidget()->layout()->addWidget(sg);
}

QTableView* MainWindow::Grid() const {
    return sg;
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
    // Reading the spectrum ends a sine or organ setting: the boxes show it at once, so that what
    // they show is what sounds (and what the last piece is written and drawn with).
    ShowTimbre();
}

void MainWindow::ShowTimbre() {
    const Timbre& timbre = m_sound.timbre();
    for (int i = 0; i < 6; ++i) {
        // Only a changed text is set, so that an edit being typed in keeps its cursor.
        if (m_overtoneEdits[i]->text() != timbre.overtoneTexts[i]) {
            m_overtoneEdits[i]->setText(timbre.overtoneTexts[i]);
        }
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
