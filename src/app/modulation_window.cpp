// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/modulation_window.h"

#include "modulation/modulation_guide.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTextCursor>
#include <QVBoxLayout>

namespace zk {

namespace {

// The history is the text of the history box, one line per scale. A line break at the very end
// closes the last line and starts none.
class TextBoxHistory : public ModulationHistory {
public:
    explicit TextBoxHistory(QPlainTextEdit* box) : m_box(box) {}

    QStringList Lines() const override {
        const QString text = m_box->toPlainText();
        if (text.isEmpty()) {
            return {};
        }
        QStringList lines = text.split(u'\n');
        if (lines.constLast().isEmpty()) {
            lines.removeLast();
        }
        return lines;
    }

    void Append(const QString& line) override {
        const QString text = m_box->toPlainText();
        QTextCursor cursor(m_box->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text.isEmpty() || text.endsWith(u'\n') ? line : u'\n' + line);
        ShowEnd();
    }

    void RemoveLast() override {
        QStringList lines = Lines();
        lines.removeLast();
        m_box->setPlainText(lines.join(u'\n'));
        ShowEnd();
    }

    void Clear() override { m_box->clear(); }

private:
    void ShowEnd() {
        QTextCursor end(m_box->document());
        end.movePosition(QTextCursor::End);
        m_box->setTextCursor(end);
        m_box->ensureCursorVisible();
    }

    QPlainTextEdit* m_box;
};

QFont Font(const QStringList& families, QFont::StyleHint hint, int pixels) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPixelSize(pixels);
    return font;
}

// The window's small sans-serif font. Where "MS Sans Serif" is missing, a narrow face keeps the
// captions inside their buttons, which are only as wide as that font needs.
QFont SansSerif(int pixels) {
    return Font({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                 QStringLiteral("Liberation Sans Narrow"), QStringLiteral("DejaVu Sans Condensed"),
                 QStringLiteral("Arial")},
                QFont::SansSerif, pixels);
}

QFont Courier(int pixels) {
    return Font({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                 QStringLiteral("DejaVu Sans Mono")},
                QFont::TypeWriter, pixels);
}

template <class Widget>
Widget* Make(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* widget = new Widget(text, parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

QFrame* MakePanel(QWidget* parent, const char* name, int height) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setFixedHeight(height);
    return panel;
}

QPlainTextEdit* MakeTextBox(QWidget* parent, const char* name, int fontPixels) {
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setFont(Courier(fontPixels));
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return box;
}

constexpr int kExplanationHeight = 40;
constexpr int kRestoredExplanationHeight = 50;
// Below this height the splitter snaps the explanation box shut.
constexpr int kTextBoxMinimumHeight = 30;

} // namespace

ModulationWindow::ModulationWindow(UserDialogs& dialogs, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Modulationen berechnen"));
    setFont(SansSerif(11));
    resize(702, 722);

    Panel1 = MakePanel(this, "Panel1", 24);
    Button3 = Make<QPushButton>(Panel1, "Button3", QStringLiteral("Schließen"), {-2, 0, 75, 24});
    BZruecksetzen = Make<QPushButton>(Panel1, "BZruecksetzen",
                                      QStringLiteral("Zurücksetzten auf Tonart"), {80, 0, 145, 24});
    ETonart = Make<QLineEdit>(Panel1, "ETonart", QStringLiteral("C"), {232, 1, 25, 22});
    Button1 = Make<QPushButton>(Panel1, "Button1",
                                QStringLiteral("Zum Programm Akkorde erklingen lassen"),
                                {280, 0, 217, 24});

    Panel2 = MakePanel(this, "Panel2", 73);
    Label1 = Make<QLabel>(Panel2, "Label1", QStringLiteral("Tonart"), {8, 10, 45, 16});
    Label1->setFont(SansSerif(13));
    Edit1 = Make<QLineEdit>(Panel2, "Edit1", QString::fromUtf16(kInitialScale), {56, 8, 633, 24});
    Edit1->setFont(Courier(16));
    BTerzhoeher = Make<QPushButton>(Panel2, "BTerzhoeher", QStringLiteral("T) eine Terz höher"),
                                    {8, 40, 100, 25});
    BTerzTiefer = Make<QPushButton>(Panel2, "BTerzTiefer", QStringLiteral("t) eine Terz tiefer"),
                                    {112, 40, 97, 25});
    BQuintehoeher = Make<QPushButton>(Panel2, "BQuintehoeher",
                                      QStringLiteral("Q) eine Quinte höher"), {216, 40, 105, 25});
    BQuinteTiefer = Make<QPushButton>(Panel2, "BQuinteTiefer",
                                      QStringLiteral("q) eine Quinte tiefer"), {328, 40, 105, 25});
    BDurMoll =
        Make<QPushButton>(Panel2, "BDurMoll", QStringLiteral("m) Dur <-> moll"), {440, 40, 89, 25});
    BPlus = Make<QPushButton>(Panel2, "BPlus", QStringLiteral("+"), {536, 40, 17, 25});
    BMinus = Make<QPushButton>(Panel2, "BMinus", QStringLiteral("-"), {560, 40, 17, 25});
    BZurueck = Make<QPushButton>(Panel2, "BZurueck", QStringLiteral("Ein Schritt zurück"),
                                 {584, 40, 100, 25});

    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(2);
    Splitter1->setChildrenCollapsible(false);
    RichEdit2 = MakeTextBox(Splitter1, "RichEdit2", 11);
    RichEdit2->setPlainText(ModulationExplanation());
    QPalette cyan = RichEdit2->palette();
    cyan.setColor(QPalette::Base, QColor(128, 255, 255));
    RichEdit2->setPalette(cyan);
    RichEdit2->moveCursor(QTextCursor::Start);
    RichEdit1 = MakeTextBox(Splitter1, "RichEdit1", 13);
    for (QPlainTextEdit* box : {RichEdit2, RichEdit1}) {
        box->setMinimumHeight(kTextBoxMinimumHeight);
        Splitter1->addWidget(box);
    }
    // The explanation box may be dragged shut; the history takes every change of the height.
    Splitter1->setCollapsible(0, true);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({kExplanationHeight, height()});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(Panel2);
    layout->addWidget(Splitter1, 1);

    // No keyboard shortcuts: the letters before the captions only name the operations.
    const std::pair<QPushButton*, void (ModulationWindow::*)()> handlers[] = {
        {Button3, &ModulationWindow::Button3Click},
        {Button1, &ModulationWindow::Button1Click},
        {BZruecksetzen, &ModulationWindow::BZruecksetzenClick},
        {BTerzhoeher, &ModulationWindow::BTerzhoeherClick},
        {BTerzTiefer, &ModulationWindow::BTerzTieferClick},
        {BQuintehoeher, &ModulationWindow::BQuintehoeherClick},
        {BQuinteTiefer, &ModulationWindow::BQuinteTieferClick},
        {BDurMoll, &ModulationWindow::BDurMollClick},
        {BPlus, &ModulationWindow::BPlusClick},
        {BMinus, &ModulationWindow::BMinusClick},
        {BZurueck, &ModulationWindow::BZurueckClick},
    };
    for (const auto& [button, handler] : handlers) {
        button->setAutoDefault(false);
        // Little padding: the captions nearly fill their buttons.
        button->setStyleSheet(QStringLiteral("QPushButton { padding: 1px 0px; }"));
        connect(button, &QPushButton::clicked, this, handler);
    }

    m_history = std::make_unique<TextBoxHistory>(RichEdit1);
    m_calculator = std::make_unique<ModulationCalculator>(dialogs, *m_history);

    // The window opens at the top edge of the screen.
    move(x(), 0);
}

ModulationWindow::~ModulationWindow() = default;

bool ModulationWindow::Panel2CanResize() {
    QList<int> sizes = Splitter1->sizes();
    if (sizes.size() == 2 && sizes.at(0) == 0 && sizes.at(1) > 0) {
        const int total = sizes.at(0) + sizes.at(1);
        Splitter1->setSizes({kRestoredExplanationHeight, total - kRestoredExplanationHeight});
    }
    return false;
}

void ModulationWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Panel2CanResize();
}

void ModulationWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted() && m_closed) {
        m_closed();
    }
}

void ModulationWindow::Button3Click() {
    close();
}

void ModulationWindow::Button1Click() {
    if (m_showMainWindow) {
        m_showMainWindow();
    }
}

void ModulationWindow::BZruecksetzenClick() {
    const ModulationCalculator::KeyReset reset = m_calculator->ResetToKey(ETonart->text());
    if (ETonart->text() != reset.key) {
        ETonart->setText(reset.key);
    }
    Edit1->setText(reset.scale);
}

void ModulationWindow::RunOperation(ModulationOp op) {
    Edit1->setText(m_calculator->Apply(op, Edit1->text()));
}

void ModulationWindow::BTerzhoeherClick() {
    RunOperation(ModulationOp::ThirdUp);
}
void ModulationWindow::BTerzTieferClick() {
    RunOperation(ModulationOp::ThirdDown);
}
void ModulationWindow::BQuintehoeherClick() {
    RunOperation(ModulationOp::FifthUp);
}
void ModulationWindow::BQuinteTieferClick() {
    RunOperation(ModulationOp::FifthDown);
}
void ModulationWindow::BDurMollClick() {
    RunOperation(ModulationOp::MajorMinor);
}
void ModulationWindow::BPlusClick() {
    RunOperation(ModulationOp::CommaUp);
}
void ModulationWindow::BMinusClick() {
    RunOperation(ModulationOp::CommaDown);
}

void ModulationWindow::BZurueckClick() {
    Edit1->setText(m_calculator->StepBack(Edit1->text()));
}

} // namespace zk
