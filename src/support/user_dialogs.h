// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace zk {

// What a text dialog reports: whether it counts as cancelled (the second button or the window's
// close button), whether OK was pressed (the acceptance steps ran), and the text as the user left
// it.
struct TextDialogResult {
    bool cancelled = true;
    bool accepted = false;
    QString text;
};

// Button modes of a text dialog: no second button, "Abbrechen", "Drucken".
enum class TextDialogMode { OkOnly = 0, OkCancel = 1, OkPrint = 2 };

// A further button of a text dialog (e.g. "Scala-Datei importieren…"). It is given the text as the
// user has left it and the line the cursor stands on (counted from 0); it returns the new text of
// the dialog, or nothing to leave the text as it is. The dialog stays open.
struct TextDialogAction {
    QString caption;
    std::function<std::optional<QString>(const QString& text, int cursorLine)> run;
};

// Every message box, question, file dialog, text dialog and prompt the program puts to the user
// goes through this seam, so that the core runs in tests and on the command line. The desktop
// program implements it with its windows; tests script the answers; the command line writes
// messages to stderr and asks nothing (the defaults below: every dialog counts as cancelled).
// Line breaks in texts are "\r", as the program writes them.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A message box with "OK".
    virtual void ShowMessage(const QString& text) = 0;

    // A message whose lines are columns padded with blanks (the key check's scores), shown in a
    // fixed-width font so that the columns line up.
    virtual void ShowColumnsMessage(const QString& text) { ShowMessage(text); }

    // A question with "Ja" / "Nein"; true for "Ja".
    virtual bool AskYesNo(const QString& text) = 0;

    // The same for a question that quotes a row of columns (a temperament row), in a
    // fixed-width font.
    virtual bool AskYesNoColumns(const QString& text) { return AskYesNo(text); }

    // A question with "OK" / "Abbrechen"; true for "OK".
    virtual bool AskOkCancel(const QString& text) = 0;

    // A question with "Ja" / "Nein" in a box with its own title.
    virtual bool AskYesNoTitled(const QString& title, const QString& text) {
        Q_UNUSED(title);
        return AskYesNo(text);
    }

    // The input dialog showing a long, editable text.
    virtual TextDialogResult ShowTextDialog(const QString& caption, const QString& text,
                                            TextDialogMode mode) {
        Q_UNUSED(caption);
        Q_UNUSED(mode);
        return {true, false, text};
    }

    // The same with further buttons after the dialog's own; without such buttons (the command
    // line) the plain text dialog.
    virtual TextDialogResult ShowTextDialogWithActions(const QString& caption, const QString& text,
                                                       TextDialogMode mode,
                                                       const QList<TextDialogAction>& actions) {
        Q_UNUSED(actions);
        return ShowTextDialog(caption, text, mode);
    }

    // The input dialog prompting for one value with the earlier inputs to choose from. True after
    // OK; a changed value becomes the first history line (at most 19 are kept).
    virtual bool PromptWithHistory(const QString& caption, const QString& prompt,
                                   const QString& explanation, QStringList& history,
                                   QString& value) {
        Q_UNUSED(caption);
        Q_UNUSED(prompt);
        Q_UNUSED(explanation);
        Q_UNUSED(history);
        Q_UNUSED(value);
        return false;
    }

    // The open and save dialogs, starting in `folder` with `name` proposed; empty when cancelled.
    virtual std::optional<QString> AskOpenFileName(const QString& folder, const QString& name,
                                                   const QString& filter) {
        Q_UNUSED(folder);
        Q_UNUSED(name);
        Q_UNUSED(filter);
        return std::nullopt;
    }
    virtual std::optional<QString> AskSaveFileName(const QString& folder, const QString& name,
                                                   const QString& filter) {
        Q_UNUSED(folder);
        Q_UNUSED(name);
        Q_UNUSED(filter);
        return std::nullopt;
    }
};

// Puts `value` at the head of a prompt's history, keeping at most 19 lines, when it differs from
// the value the prompt started with.
void RememberInput(QStringList& history, const QString& previous, const QString& value);

} // namespace zk
