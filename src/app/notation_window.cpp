#include "app/notation_window.h"

#include "notation/notation_picture.h"
#include "notation/staff_drawing.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace zk {

namespace {

// Paints the picture at the top left and white around it, so a window larger than the picture
// shows no stale pixels.
class PictureView : public QWidget {
public:
    PictureView(const NotationPicture& picture, QWidget* parent)
        : QWidget(parent), m_picture(picture) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

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
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      m_picture(picture) {
    setObjectName(QStringLiteral("TFNotenbild"));
    setWindowTitle(QStringLiteral("Noten"));
    m_picture.SetScreenSize(ScreenSize());

    Image1 = new PictureView(m_picture, this);
    Image1->setObjectName(QStringLiteral("Image1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image1);

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
    // The window starts maximised; the first drawing brings it to its own size.
    setWindowState(Qt::WindowMaximized);
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

void NotationWindow::OnNotationDrawn() {
    const QRect frame = m_picture.WindowGeometry();
    setWindowState(Qt::WindowNoState);
    resize(frame.size());
    move(frame.topLeft());
    Image1->update();
    RestoreNotationWindow();
}

WaveformDrawing NotationWindow::DrawWaveform(int scale, const WaveformSource& source,
                                             UserDialogs& dialogs) {
    const QRect frame = WaveformWindowGeometry(m_picture.ScreenSize().width());
    const WaveformDrawing drawing =
        zk::DrawWaveform(m_picture.Image(), frame.width(), scale, source, dialogs);
    if (drawing.drawn) {
        setWindowTitle(WaveformCaption(scale));
        setWindowState(Qt::WindowNoState);
        resize(frame.size());
        move(frame.topLeft());
        show();
        raise();
        Image1->update();
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
        if (x() < -100 || m_picture.Tag() == NotationPicture::kTagPutAway) {
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
    QCoreApplication::processEvents();
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
