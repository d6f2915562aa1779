// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include "app/drift_window.h"
#include "app/notation_window.h"
#include "app/piece_grid.h"
#include "app/piece_table_model.h"
#include "app/window_metrics.h"
#include "piece/comma_drift.h"
#include "piece/key_search.h"
#include "sound/audio_output.h"
#include "support/errors.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QWindow>

namespace zk {

// A pass (or an example that runs passes) is a job of the pass queue: while one plays, its rows
// let the window's events through, and a command that asks for a pass then stops the running one
// and follows it.

void MainWindow::RunCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (const Error& error) {
        m_dialogs.ShowMessage(error.message());
    }
}

void MainWindow::RunPass(int target) {
    RunCommand([&] { ComputePass(target, m_table, m_scale, m_settings, *this); });
    m_notation.RestoreNotationWindow();
}

void MainWindow::QueuePass(int target, bool onlyCompute) {
    // A running pass that plays stops at its next row; a pass that only computes is not held
    // up by this.
    m_passes.Run({[this, target, onlyCompute] {
                      m_settings.onlyCompute = onlyCompute;
                      RunPass(target);
                  },
                  !onlyCompute});
}

void MainWindow::RecomputeSoon() {
    if (m_recomputeQueued) {
        return;
    }
    m_recomputeQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_recomputeQueued = false;
            Rechne1Click();
        },
        Qt::QueuedConnection);
}

void MainWindow::Rechne1Click() {
    QueuePass(0, true);
}

void MainWindow::KommadriftZeigenClick() {
    m_passes.Run({[this] {
                      m_settings.onlyCompute = true;
                      RunCommand([this] { ShowDrift(); });
                      m_notation.RestoreNotationWindow();
                  },
                  false});
}

void MainWindow::ShowDrift() {
    DriftData drift = ComputeCommaDrift(m_table, m_scale, m_settings, *this);
    if (m_driftWindow) {
        m_driftWindow->SetData(std::move(drift));
    } else {
        m_driftWindow = std::make_unique<DriftWindow>(m_dialogs, std::move(drift), this);
    }
    m_driftWindow->show();
    m_driftWindow->raise();
}

void MainWindow::TonartenAutomatischClick() {
    m_passes.Run({[this] {
                      m_settings.onlyCompute = true;
                      RunCommand([this] {
                          KeySearchOptions options;
                          options.returnToStart = ZumAusgangston1->isChecked();
                          options.keepKeys =
                              HasKeyEntries(m_table) &&
                              m_dialogs.AskYesNo(QStringLiteral(
                                  "Vorhandene Tonarten behalten?\rJa: Die Einträge der Spalte TA "
                                  "bleiben, nur die leeren Felder werden gewählt.\rNein: Alle "
                                  "Tonarten werden neu gesetzt."));
                          const KeySearchResult found =
                              FindKeys(m_table, options, m_scale.temperaments());
                          WriteKeys(found, m_table);
                          m_pieceModified = true;
                          ShowDrift();
                          m_dialogs.ShowMessage(KeyReport(found).join(u'\r'));
                          // Closing the message activates the main window, which would cover
                          // the drift; it comes back to the front.
                          m_driftWindow->raise();
                          m_driftWindow->activateWindow();
                      });
                      m_notation.RestoreNotationWindow();
                  },
                  false});
}

void MainWindow::Spiele1Click() {
    QueuePass(0, false);
}

void MainWindow::Stop1Click() {
    m_settings.onlyCompute = true;
    CBdauernd->setChecked(false);
    m_passes.DropPendingPlayback();
}

void MainWindow::StopEverything() {
    Stop1Click();
    m_sound.output().Stop();
}

bool MainWindow::IsStopClick(QObject* target, const QEvent& event) const {
    if (event.type() == QEvent::KeyPress) {
        // Esc is "Stop" too, unless it ends the editing of a cell.
        const auto& key = static_cast<const QKeyEvent&>(event);
        if (key.key() != Qt::Key_Escape || key.modifiers() != Qt::NoModifier || sg->IsEditing()) {
            return false;
        }
        const auto* widget = qobject_cast<const QWidget*>(target);
        return target == windowHandle() || (widget != nullptr && widget->window() == this);
    }
    if (event.type() != QEvent::MouseButtonPress || Stop1 == nullptr) {
        return false;
    }
    const QRect item = menuBar()->actionGeometry(Stop1);
    const QPoint at = static_cast<const QMouseEvent&>(event).position().toPoint();
    if (target == menuBar()) {
        return item.contains(at);
    }
    // The window sees the click first, in its own coordinates.
    const QWindow* window = windowHandle();
    return window != nullptr && target == window &&
           item.translated(menuBar()->mapTo(this, QPoint(0, 0))).contains(at);
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
    m_sound.ClearLastPiece(m_pieceName);
}
void MainWindow::NotateTable(const PieceTable& table) {
    m_notation.NotateTable(table);
}
void MainWindow::HideNotation() {
    // A piece too long to notate: the window must not go on showing the notes of another.
    m_notation.PutAwayAndHide();
}

void MainWindow::ScrollToRow(int row) {
    // Only a table taller than the screen scrolls.
    const int rowHeight = sg->verticalHeader()->defaultSectionSize() + 1;
    if (rowHeight * m_table.RowCount() < PrimaryScreenRect().height()) {
        return;
    }
    sg->ScrollToTableRow(row);
}

void MainWindow::ProcessPendingEvents() {
    QCoreApplication::processEvents();
}

void MainWindow::PlayChord(int dauer, const ChordFrequencies& frequencies) {
    ReadTimbreEdits();
    m_sound.PlayChord(dauer, frequencies);
}

void MainWindow::ShowKeyCheck(const QString& message) {
    m_dialogs.ShowColumnsMessage(message);
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
        QueuePass(row, false);
    } else if (index.column() == PieceTable::kKeyColumn) {
        QueuePass(kKeyCheckTarget + row, false);
    }
}

} // namespace zk
