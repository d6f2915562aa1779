// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/drift_window.h"

#include "app/cli/cli_piece.h"
#include "notation/drift_picture.h"
#include "piece/piece_file.h"
#include "support/program_files.h"
#include "support/user_dialogs.h"

#include <QAction>
#include <QFileInfo>
#include <QPainter>
#include <QResizeEvent>
#include <QScopeGuard>
#include <QToolBar>
#include <QVBoxLayout>

namespace zk {

// Draws the picture at its own size whenever that changes, and paints it.
class DriftWindow::View : public QWidget {
public:
    View(const DriftData& data, QWidget* parent) : QWidget(parent), m_data(data) {
        setObjectName(QStringLiteral("DriftView"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMinimumSize(kDriftMinimumSize);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

    QSize sizeHint() const override { return kDriftDefaultSize; }

    // Draws anew, for new data or a new size.
    void Redraw() {
        m_picture = DriftPicture(m_data, size());
        update();
    }

    const QImage& Picture() const { return m_picture; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        Redraw();
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.drawImage(0, 0, m_picture);
    }

private:
    const DriftData& m_data;
    QImage m_picture;
};

DriftWindow::DriftWindow(UserDialogs& dialogs, DriftData data, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dialogs(dialogs), m_data(std::move(data)) {
    setObjectName(QStringLiteral("DriftWindow"));
    setWindowTitle(QStringLiteral("Kommadrift"));

    m_saveAction = new QAction(QStringLiteral("Als Bild speichern…"), this);
    m_saveAction->setObjectName(QStringLiteral("AlsBildSpeichern"));
    m_saveAction->setShortcut(QKeySequence::Save);
    connect(m_saveAction, &QAction::triggered, this, &DriftWindow::SaveAsPicture);
    auto* tools = new QToolBar(this);
    tools->addAction(m_saveAction);

    m_view = new View(m_data, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(m_view, 1);
    m_view->Redraw();
}

DriftWindow::~DriftWindow() = default;

void DriftWindow::SetData(DriftData data) {
    m_data = std::move(data);
    m_view->Redraw();
}

const QImage& DriftWindow::Picture() const {
    return m_view->Picture();
}

void DriftWindow::SaveAsPicture() {
    // The dialogs belong to the main window, which the window manager brings forward when they
    // close; the picture being saved comes back in front of it.
    const auto comeBack = qScopeGuard([this] {
        raise();
        activateWindow();
    });
    // The first picture goes where the pieces go, as the other save dialogs begin.
    const QFileInfo last(m_lastFile.isEmpty() ? ReadLastFileName(LastPieceFileIni()) : m_lastFile);
    const QString name = m_lastFile.isEmpty() ? QStringLiteral("kommadrift.png") : last.fileName();
    const auto path = m_dialogs.AskSaveFileName(last.absolutePath(), name, kPngFilter);
    if (!path || path->isEmpty()) {
        return;
    }
    // The picture is a PNG file; a name typed without a suffix gets its ".png".
    const QString file =
        QFileInfo(*path).suffix().isEmpty() ? *path + QStringLiteral(".png") : *path;
    if (!cli::WritePngFile(m_view->Picture(), file)) {
        m_dialogs.ShowMessage(
            QStringLiteral("Das Bild kann nicht in die Datei \"%1\" geschrieben werden.")
                .arg(file));
        return;
    }
    m_lastFile = file;
}

} // namespace zk
