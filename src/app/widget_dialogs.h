// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/user_dialogs.h"

#include <functional>

class QWidget;

namespace zk {

class InputDialog;

// The desktop program's dialogs: message boxes, the open and save dialogs, and the input dialog
// for texts and prompts. Messages use "\r" for line breaks; they are shown as line breaks.
class WidgetDialogs : public UserDialogs {
public:
    explicit WidgetDialogs(QWidget* parent = nullptr) : m_parent(parent) {}

    void SetParent(QWidget* parent) { m_parent = parent; }

    void ShowMessage(const QString& text) override;
    void ShowColumnsMessage(const QString& text) override;
    bool AskYesNoColumns(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    bool AskOkCancel(const QString& text) override;
    bool AskYesNoTitled(const QString& title, const QString& text) override;
    TextDialogResult ShowTextDialog(const QString& caption, const QString& text,
                                    TextDialogMode mode) override;
    TextDialogResult ShowTextDialogWithActions(const QString& caption, const QString& text,
                                               TextDialogMode mode,
                                               const QList<TextDialogAction>& actions) override;
    bool PromptWithHistory(const QString& caption, const QString& prompt,
                           const QString& explanation, QStringList& history,
                           QString& value) override;
    std::optional<QString> AskOpenFileName(const QString& folder, const QString& name,
                                           const QString& filter) override;
    std::optional<QString> AskSaveFileName(const QString& folder, const QString& name,
                                           const QString& filter) override;

    // Prints a text from the input dialog's "Drucken" button.
    std::function<void(const QString&)> printText;

private:
    bool AskYesNoIn(const QString& title, const QString& text, bool columns);
    void Prepare(InputDialog& dialog);
    QWidget* m_parent;
};

// Every dialog the program shows stays above its other windows, the notation and waveform window
// (which is always on top) included, so that no question is hidden behind a picture.
void KeepAboveTheProgramsWindows(QWidget& dialog);

// A filter in the program's notation ("Alle Dateien (*.*)|*.*") for Qt's file dialogs, where
// "all files" is "*" (Windows' "*.*" would hide the files without an extension).
QString QtFileFilter(const QString& filter);

} // namespace zk
