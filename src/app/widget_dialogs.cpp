// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/widget_dialogs.h"

#include "app/input_dialog.h"
#include "app/window_metrics.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace zk {

QString QtFileFilter(const QString& filter) {
    // "Beschreibung|Muster|Beschreibung|Muster" → "Beschreibung;;Beschreibung"; the description
    // already names its pattern in parentheses.
    // "*.*" matches only names with a dot here: "Alle Dateien" means all of them, "*".
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i);
        description.replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
        filters << (description.contains(u'(')
                        ? description
                        : description + QStringLiteral(" (") +
                              (parts.at(i + 1) == u"*.*" ? QStringLiteral("*") : parts.at(i + 1)) +
                              u')');
    }
    return filters.join(QStringLiteral(";;"));
}

void KeepAboveTheProgramsWindows(QWidget& dialog) {
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

void WidgetDialogs::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Zirkelon"), DisplayLineBreaks(text),
                    QMessageBox::Ok, m_parent);
    KeepAboveTheProgramsWindows(box);
    box.exec();
}

void WidgetDialogs::ShowColumnsMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Zirkelon"), DisplayLineBreaks(text),
                    QMessageBox::Ok, m_parent);
    KeepAboveTheProgramsWindows(box);
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        label->setFont(CourierNewFont(10));
    }
    box.exec();
}

bool WidgetDialogs::AskYesNo(const QString& text) {
    return AskYesNoTitled(QStringLiteral("Zirkelon"), text);
}

bool WidgetDialogs::AskYesNoTitled(const QString& title, const QString& text) {
    return AskYesNoIn(title, text, false);
}

bool WidgetDialogs::AskYesNoColumns(const QString& text) {
    return AskYesNoIn(QStringLiteral("Zirkelon"), text, true);
}

bool WidgetDialogs::AskYesNoIn(const QString& title, const QString& text, bool columns) {
    QMessageBox box(QMessageBox::Question, title, DisplayLineBreaks(text),
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    KeepAboveTheProgramsWindows(box);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Nein"));
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")); columns && label) {
        label->setFont(CourierNewFont(10));
    }
    return box.exec() == QMessageBox::Yes;
}

bool WidgetDialogs::AskOkCancel(const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Zirkelon"), DisplayLineBreaks(text),
                    QMessageBox::Ok | QMessageBox::Cancel, m_parent);
    KeepAboveTheProgramsWindows(box);
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    return box.exec() == QMessageBox::Ok;
}

void WidgetDialogs::Prepare(InputDialog& dialog) {
    KeepAboveTheProgramsWindows(dialog);
    dialog.printText = printText;
    dialog.showMessage = [this](const QString& text) { ShowMessage(text); };
}

TextDialogResult WidgetDialogs::ShowTextDialog(const QString& caption, const QString& text,
                                               TextDialogMode mode) {
    return ShowTextDialogWithActions(caption, text, mode, {});
}

TextDialogResult WidgetDialogs::ShowTextDialogWithActions(const QString& caption,
                                                          const QString& text, TextDialogMode mode,
                                                          const QList<TextDialogAction>& actions) {
    InputDialog dialog(m_parent);
    Prepare(dialog);
    dialog.SetupTextMode(caption, text, mode);
    dialog.AddActions(actions);
    dialog.exec();
    return {dialog.dialogResult() == 1, dialog.dialogResult() == 0, dialog.memoText()};
}

bool WidgetDialogs::PromptWithHistory(const QString& caption, const QString& prompt,
                                      const QString& explanation, QStringList& history,
                                      QString& value) {
    InputDialog dialog(m_parent);
    Prepare(dialog);
    dialog.SetupPromptMode(caption, prompt, explanation, history, value);
    dialog.exec();
    const bool ok = dialog.dialogResult() == 0;
    if (ok) {
        const QString entered = dialog.comboText();
        RememberInput(history, value, entered);
        value = entered;
    }
    return ok;
}

std::optional<QString> WidgetDialogs::AskOpenFileName(const QString& folder, const QString& name,
                                                      const QString& filter) {
    QFileDialog dialog(m_parent, QString(), folder, QtFileFilter(filter));
    KeepAboveTheProgramsWindows(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first(); // several may be chosen; the first is read
}

std::optional<QString> WidgetDialogs::AskSaveFileName(const QString& folder, const QString& name,
                                                      const QString& filter) {
    QFileDialog dialog(m_parent, QString(), folder, QtFileFilter(filter));
    KeepAboveTheProgramsWindows(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

} // namespace zk
