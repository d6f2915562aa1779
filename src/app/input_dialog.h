// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/user_dialogs.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zk {

// The one dialog ("Eingabe") that shows long texts with a "Drucken" button, asks a question with
// "Ok" and "Abbrechen", or prompts for one value with the earlier inputs in a combo box. Each use
// creates a fresh dialog; `dialogResult()` is 0 after "Ok", 1 otherwise.
class InputDialog : public QDialog {
    Q_OBJECT
public:
    explicit InputDialog(QWidget* parent = nullptr);

    // Text mode: the text fills the screen with a margin of 20 pixels.
    void SetupTextMode(const QString& caption, const QString& text, TextDialogMode mode);

    // Further buttons after "Ok" and the second button, for the text mode.
    void AddActions(const QList<TextDialogAction>& actions);

    // Prompt mode: caption ("Eingabe" when empty), prompt, value with its history, explanation.
    void SetupPromptMode(const QString& caption, const QString& prompt, const QString& explanation,
                         const QStringList& history, const QString& value);

    int dialogResult() const { return m_dialogResult; }
    QString memoText() const;
    QString comboText() const;

    // Run on "Ok" before the dialog closes: the steps that take a dialog's text back (the piece
    // table, the temperament list). They see this dialog's caption and text.
    std::function<void(const InputDialog&)> acceptanceSteps;
    // Prints a text ("Drucken").
    std::function<void(const QString&)> printText;
    // Shows the message after printing.
    std::function<void(const QString&)> showMessage;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OkClicked();
    void SecondButtonClicked();
    void SetDialogText(const QString& text);
    void CentreOnScreen();
    void RunAction(const TextDialogAction& action);

    int m_dialogResult = 1;
    QPushButton* m_ok;
    QPushButton* m_second;
    QLabel* m_prompt;
    QComboBox* m_combo;
    QLabel* m_label2;
    QLineEdit* m_edit2;
    QPlainTextEdit* m_memo;
};

} // namespace zk
