// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/input_dialog.h"

#include "app/window_metrics.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

#include <QPushButton>
#include <algorithm>

namespace zk {

namespace {

const QString kPrintCaption = QStringLiteral("Drucken");
// Distance of the text box, the prompt and the value from the dialog's edges.
constexpr int kMargin = 8;

} // namespace

InputDialog::InputDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm15"));
    setWindowTitle(QStringLiteral("Eingabe"));
    resize(538, 271);

    m_ok = new QPushButton(QStringLiteral("Ok"), this);
    m_ok->setObjectName(QStringLiteral("BOk"));
    m_ok->setGeometry(16, 8, 75, 25);
    m_ok->setAutoDefault(false);
    m_second = new QPushButton(QStringLiteral("Abbrechen"), this);
    m_second->setObjectName(QStringLiteral("BAbbrechen"));
    m_second->setGeometry(96, 8, 75, 25);
    m_second->setAutoDefault(false);

    m_prompt = new QLabel(this);
    m_prompt->setObjectName(QStringLiteral("Label1"));
    m_prompt->setFont(CourierNewFont(10));
    m_prompt->setGeometry(8, 40, 513, 20);
    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("ComboBox1"));
    m_combo->setEditable(true);
    m_combo->setInsertPolicy(QComboBox::NoInsert);
    m_combo->setFont(CourierNewFont(10));
    m_combo->setGeometry(8, 64, 513, 24);
    m_combo->installEventFilter(this);
    m_label2 = new QLabel(this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setGeometry(8, 96, 513, 20);
    m_label2->hide();
    m_edit2 = new QLineEdit(this);
    m_edit2->setObjectName(QStringLiteral("Edit2"));
    m_edit2->setFont(CourierNewFont(12));
    m_edit2->setGeometry(8, 120, 513, 26);
    m_edit2->hide();
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setFont(CourierNewFont(10));
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette palette = m_memo->palette();
    palette.setColor(QPalette::Base, QColor(255, 240, 180));
    m_memo->setPalette(palette);
    m_memo->setGeometry(8, 160, 513, 64);

    connect(m_ok, &QPushButton::clicked, this, &InputDialog::OkClicked);
    connect(m_second, &QPushButton::clicked, this, &InputDialog::SecondButtonClicked);
}

void InputDialog::SetupTextMode(const QString& caption, const QString& text, TextDialogMode mode) {
    m_ok->show();
    switch (mode) {
    case TextDialogMode::OkOnly:
        m_second->hide();
        break;
    case TextDialogMode::OkCancel:
        m_second->show();
        m_second->setText(QStringLiteral("Abbrechen"));
        break;
    case TextDialogMode::OkPrint:
        m_second->show();
        m_second->setText(kPrintCaption);
        break;
    }
    m_prompt->hide();
    m_combo->hide();
    m_label2->hide();
    m_edit2->hide();
    const int memoTop = m_ok->y() + m_ok->height() + 20;
    int dialogHeight = memoTop + m_memo->height() + 50;
    m_memo->setGeometry(8, memoTop, m_memo->width(), dialogHeight - memoTop - 40);
    resize(width(), dialogHeight);
    setWindowTitle(caption);
    SetDialogText(text);
    // The text fills the screen with a margin of 20 pixels.
    const QRect screen = PrimaryScreenRect();
    setGeometry(20, 20, screen.width() - 40, screen.height() - 40);
}

void InputDialog::AddActions(const QList<TextDialogAction>& actions) {
    int x = (m_second->isHidden() ? m_ok : m_second)->geometry().right() + 6;
    for (const TextDialogAction& action : actions) {
        auto* button = new QPushButton(action.caption, this);
        button->setAutoDefault(false);
        const int width = std::max(75, button->sizeHint().width());
        button->setGeometry(x, m_ok->y(), width, m_ok->height());
        x += width + 5;
        connect(button, &QPushButton::clicked, this, [this, action] { RunAction(action); });
    }
}

void InputDialog::RunAction(const TextDialogAction& action) {
    const int line = m_memo->textCursor().blockNumber();
    const std::optional<QString> changed = action.run(memoText(), line);
    if (!changed) {
        return;
    }
    m_memo->setPlainText(DisplayLineBreaks(*changed));
    QTextCursor cursor(m_memo->document()->findBlockByNumber(line));
    m_memo->setTextCursor(cursor);
}

void InputDialog::SetupPromptMode(const QString& caption, const QString& prompt,
                                  const QString& explanation, const QStringList& history,
                                  const QString& value) {
    setWindowTitle(caption.isEmpty() ? QStringLiteral("Eingabe") : caption);
    m_ok->show();
    m_second->show();
    m_second->setText(QStringLiteral("Abbrechen"));
    m_prompt->setText(prompt);
    m_prompt->show();
    m_label2->hide();
    m_combo->clear();
    m_combo->addItems(history);
    m_combo->setEditText(value);
    m_combo->show();
    m_edit2->hide();
    const int memoTop = m_combo->y() + m_combo->height() + 20;
    const int dialogHeight = PrimaryScreenRect().height() * 3 / 4;
    m_memo->setGeometry(8, memoTop, m_memo->width(), dialogHeight - memoTop - 40);
    resize(width(), dialogHeight);
    SetDialogText(explanation);
    m_combo->setFocus();
}

QString InputDialog::memoText() const {
    if (m_memo->isHidden()) {
        return QString();
    }
    // The plain text of the box, but with its no-break spaces kept (a printer prints them as
    // such): only the paragraph and line separators of the document become line breaks.
    QString text = m_memo->document()->toRawText();
    for (QChar& c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == QChar(0xfdd0) ||
            c == QChar(0xfdd1)) {
            c = u'\n';
        }
    }
    return text;
}

void InputDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The prompt and the value follow the dialog's width, the text box its width and height.
    const int width = std::max(0, this->width() - 2 * kMargin);
    m_prompt->setGeometry(kMargin, m_prompt->y(), width, m_prompt->height());
    m_combo->setGeometry(kMargin, m_combo->y(), width, m_combo->height());
    m_memo->setGeometry(kMargin, m_memo->y(), width, std::max(0, height() - m_memo->y() - kMargin));
}

QString InputDialog::comboText() const {
    return m_combo->currentText();
}

void InputDialog::SetDialogText(const QString& text) {
    int dialogHeight = height();
    if (text.isEmpty()) {
        dialogHeight -= m_memo->height();
        m_memo->hide();
    } else {
        m_memo->show();
        m_memo->setPlainText(DisplayLineBreaks(text));
    }
    const int lineBreaks = static_cast<int>(text.count(u'\r'));
    QFont dialogFont = font();
    dialogFont.setPointSize(10);
    setFont(dialogFont);
    m_memo->setFont(CourierNewFont(10));
    dialogHeight += lineBreaks * 10 * 2;
    if (text.size() > 720) {
        dialogHeight = PrimaryScreenRect().height();
    }
    resize(width(), dialogHeight);
    CentreOnScreen();
}

void InputDialog::CentreOnScreen() {
    const QRect screen = PrimaryScreenRect();
    move((screen.width() - width()) / 2, (screen.height() - height()) / 2);
}

void InputDialog::OkClicked() {
    if (acceptanceSteps) {
        acceptanceSteps(*this);
    }
    m_dialogResult = 0;
    accept();
}

void InputDialog::SecondButtonClicked() {
    m_dialogResult = 1;
    if (m_second->text() != kPrintCaption) {
        reject();
        return;
    }
    if (printText) {
        printText(memoText());
    }
    if (showMessage) {
        showMessage(QStringLiteral("Sie können mehrere Texte auf eine Seite drucken.\rWenn fertig: "
                                   "Menü \"Datei|Seite auswerfen\"!"));
    }
}

void InputDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        // Escape confirms a text shown for reading (and printing); elsewhere it cancels.
        if (m_second->text() == kPrintCaption) {
            OkClicked();
        } else {
            m_dialogResult = 1;
            reject();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

bool InputDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_combo && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            OkClicked();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace zk
