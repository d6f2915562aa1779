// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/notation_window.h"

#include "notation/notation_picture.h"
#include "notation/staff_drawing.h"
#include "support/user_dialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWindow>

namespace zk {

namespace {

// Paints the picture at the top left and white around it, so a window larger than the picture
// shows no stale pixels. It is as large as the picture; the window scrolls it when the picture is
// wider than the screen.
class PictureView : public QWidget {
public:
    PictureView(const NotationPicture& picture, QWidget* parent)
        : QWidget(parent), m_picture(picture) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    QSize sizeHint() const override { return m_picture.Image().size(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.drawImage(0, 0, m_picture.Image());
    }

private:
    const NotationPicture& m_picture;
};

QSize ScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(1920, 1080);
}

} // namespace

QString BassNotesItemText(int bassNotes) {
    return bassNotes == kBassNotesVariable ? QStringLiteral("Noten im Bass: variabel")
                                           : QStringLiteral("Noten im Bass: %1").arg(bassNotes);
}

NotationWindow::NotationWindow(NotationPicture& picture, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      m_picture(picture) {
    setObjectName(QStringLiteral("TFNotenbild"));
    setWindowTitle(QStringLiteral("Noten"));
    m_picture.SetScreenSize(ScreenSize());

    // Coming up after a pass must not take the keyboard from the piece table.
    setAttribute(Qt::WA_ShowWithoutActivating);

    Image1 = new PictureView(m_picture, this);
    Image1->setObjectName(QStringLiteral("Image1"));
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setBackgroundRole(QPalette::Base);
    m_scroll->setWidget(Image1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);

    Notenbildzeigen1 = new QAction(QStringLiteral("Noten zeigen"), this);
    Notenbildzeigen1->setObjectName(QStringLiteral("Notenbildzeigen1"));
    connect(Notenbildzeigen1, &QAction::triggered, this, &NotationWindow::Notenbildzeigen1Click);
    for (int bassNotes = kBassNotesVariable; bassNotes <= kBassNotesMax; ++bassNotes) {
        auto* action = new QAction(BassNotesItemText(bassNotes), this);
        action->setObjectName(bassNotes == kBassNotesVariable
                                  ? QStringLiteral("MBassv")
                                  : QStringLiteral("MBass%1").arg(bassNotes));
        action->setCheckable(true);
        action->setData(bassNotes);
        connect(action, &QAction::triggered, this, &NotationWindow::MBassvClick);
        m_bassActions.append(action);
    }
    UpdateBassNotesChecks();

    connect(&m_picture, &NotationPicture::notationDrawn, this, &NotationWindow::OnNotationDrawn);
    // Never maximised before it is first shown (it is only shown after a drawing, which gives it
    // its own size): a window that once was maximised is placed by its client area, so its
    // title bar would land above the screen.
}

NotationWindow::~NotationWindow() = default;

void NotationWindow::NotateTable(const PieceTable& table) {
    setWindowTitle(QString());
    m_picture.NotateTable(table);
}

void NotationWindow::PutAway() {
    m_picture.SetTag(NotationPicture::kTagPutAway);
}

void NotationWindow::PutAwayAndHide() {
    PutAway();
    hide();
}

QRect NotationWindow::OnScreen(const QRect& frame) const {
    // As wide as the picture but no wider than the screen allows, and 10 pixels from its right
    // edge: a long piece is scrolled inside the window, never pushed off the screen.
    const int screenWidth = m_picture.ScreenSize().width();
    const int width = std::max(1, std::min(frame.width(), screenWidth - 10));
    return QRect(std::max(0, screenWidth - width - 10), frame.top(), width, frame.height());
}

void NotationWindow::Place(const QRect& frame) {
    setWindowState(Qt::WindowNoState);
    const bool scrolls = m_picture.Image().width() > frame.width();
    m_scroll->setHorizontalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn
                                                   : Qt::ScrollBarAlwaysOff);
    Image1->resize(m_picture.Image().size());
    Image1->update();
    QSize size = frame.size();
    if (scrolls) {
        size.rheight() += m_scroll->horizontalScrollBar()->sizeHint().height();
    }
    resize(size);
    if (m_placedAt && pos() != *m_placedAt) {
        return; // the user's place
    }
    // The frame (title bar included) goes where the picture's place is, not the client area,
    // but below the main window's menu bar when it would cover it.
    QPoint at = frame.topLeft();
    if (m_keepClear) {
        const QRect clear = m_keepClear();
        if (!clear.isEmpty() && QRect(at, size).intersects(clear)) {
            at.setY(clear.bottom() + 1);
        }
    }
    move(at);
    m_placedAt = at;
}

void NotationWindow::OnNotationDrawn() {
    Place(OnScreen(m_picture.WindowGeometry()));
    RestoreNotationWindow();
    const int drawn = m_picture.DrawnChordLineCount();
    if (drawn < m_picture.ChordLineCount() && m_dialogs != nullptr) {
        m_dialogs->ShowMessage(CutNotationMessage(drawn, m_picture.ChordLineCount()));
    }
}

WaveformDrawing NotationWindow::DrawWaveform(int scale, const WaveformSource& source,
                                             UserDialogs& dialogs) {
    const QRect frame = WaveformWindowGeometry(m_picture.ScreenSize().width());
    const WaveformDrawing drawing =
        zk::DrawWaveform(m_picture.Image(), frame.width(), scale, source, dialogs);
    if (drawing.drawn) {
        m_placedAt.reset(); // the strip has a place of its own, whatever became of the notes'
        setWindowTitle(WaveformCaption(scale));
        Place(frame);
        show();
        raise();
    }
    return drawing;
}

void NotationWindow::RestoreNotationWindow() {
    // Normal size, for the widget and for the platform window once it exists: a hidden widget
    // may forget its state while the platform window still holds it.
    setWindowState(windowState() & ~Qt::WindowMaximized);
    if (QWindow* handle = windowHandle()) {
        handle->setWindowStates(handle->windowStates() & ~Qt::WindowMaximized);
    }
    if (!isVisible()) {
        // A piece too long for the screen (its picture's place begins far left of the screen)
        // is not shown on its own; "Noten zeigen" still shows it.
        if (m_picture.WindowGeometry().left() < -100 ||
            m_picture.Tag() == NotationPicture::kTagPutAway) {
            hide();
        } else {
            show();
        }
    }
    if (isVisible()) {
        // Above the piece table, as its "always on top" flag asks, also where no window manager
        // keeps it there.
        raise();
    }
    // Repaints only: the user's input waits until the command that drew has returned.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void NotationWindow::Notenbildzeigen1Click() {
    if (m_clearLastPiece) {
        m_clearLastPiece();
    }
    if (const PieceTable* table = m_table ? m_table() : nullptr) {
        NotateTable(*table);
    }
    show();
    UpdateBassNotesChecks();
}

void NotationWindow::MBassvClick() {
    if (const auto* action = qobject_cast<QAction*>(sender())) {
        m_picture.SetBassNotes(action->data().toInt());
    }
    Notenbildzeigen1Click();
}

void NotationWindow::UpdateBassNotesChecks() {
    for (QAction* action : m_bassActions) {
        action->setChecked(action->data().toInt() == m_picture.BassNotes());
    }
}

} // namespace zk
