// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/user_dialogs.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace zk::test {

// UserDialogs for tests: records every text shown and answers from scripts. Questions are
// answered true, text dialogs cancelled and file dialogs cancelled when their script is empty.
class ScriptedDialogs : public UserDialogs {
public:
    void ShowMessage(const QString& text) override { messages.append(text); }
    void ShowColumnsMessage(const QString& text) override {
        messages.append(text);
        columnMessages.append(text);
    }
    bool AskYesNo(const QString& text) override { return Answer(text); }
    bool AskYesNoColumns(const QString& text) override {
        columnQuestions.append(text);
        return Answer(text);
    }
    bool AskOkCancel(const QString& text) override { return Answer(text); }
    bool AskYesNoTitled(const QString& title, const QString& text) override {
        questionTitles.append(title);
        return Answer(text);
    }

    TextDialogResult ShowTextDialog(const QString& caption, const QString& text,
                                    TextDialogMode mode) override {
        textDialogs.append({caption, text, mode});
        if (textAnswers.isEmpty()) {
            return {true, false, text};
        }
        TextDialogResult result = textAnswers.takeFirst();
        if (result.text.isNull()) {
            result.text = text; // the text as shown, unchanged
        }
        return result;
    }

    // Clicks the further buttons named in `actionClicks` (caption and cursor line), in order, on
    // the text as it stands, then answers as ShowTextDialog does; the answer's text, when it has
    // none of its own, is the text the buttons left.
    TextDialogResult ShowTextDialogWithActions(const QString& caption, const QString& text,
                                               TextDialogMode mode,
                                               const QList<TextDialogAction>& actions) override {
        QString current = text;
        for (const auto& [button, line] : actionClicks) {
            for (const TextDialogAction& action : actions) {
                if (action.caption == button) {
                    if (const auto changed = action.run(current, line)) {
                        current = *changed;
                    }
                }
            }
        }
        actionClicks.clear();
        actionCaptions.append(QStringList{});
        for (const TextDialogAction& action : actions) {
            actionCaptions.last().append(action.caption);
        }
        return ShowTextDialog(caption, current, mode);
    }

    bool PromptWithHistory(const QString& caption, const QString& prompt,
                           const QString& explanation, QStringList& history,
                           QString& value) override {
        prompts.append({caption, prompt, explanation, value});
        if (promptAnswers.isEmpty()) {
            return false;
        }
        const std::optional<QString> answer = promptAnswers.takeFirst();
        if (!answer) {
            return false;
        }
        RememberInput(history, value, *answer);
        value = *answer;
        return true;
    }

    std::optional<QString> AskOpenFileName(const QString& folder, const QString& name,
                                           const QString&) override {
        fileDialogs.append(folder + u'|' + name);
        return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.takeFirst();
    }
    std::optional<QString> AskSaveFileName(const QString& folder, const QString& name,
                                           const QString&) override {
        fileDialogs.append(folder + u'|' + name);
        return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.takeFirst();
    }

    struct TextDialog {
        QString caption;
        QString text;
        TextDialogMode mode;
    };
    struct Prompt {
        QString caption;
        QString prompt;
        QString explanation;
        QString value; // the value the prompt was opened with
    };

    QList<std::pair<QString, int>> actionClicks; // further buttons to click in the next dialog
    QList<QStringList> actionCaptions;           // the further buttons of each such dialog
    QStringList messages;                        // texts of message boxes, in order
    QStringList columnMessages;                  // those of them shown in a fixed-width font
    QStringList columnQuestions;                 // the questions shown in a fixed-width font
    QStringList questions;                       // texts of questions, in order
    QStringList questionTitles;                  // titles of the questions that have their own
    QList<bool> answers;                         // answers to give, consumed from the front
    QList<TextDialog> textDialogs;
    QList<TextDialogResult> textAnswers;
    QList<Prompt> prompts;
    QList<std::optional<QString>> promptAnswers; // nothing: cancelled
    QStringList fileDialogs;                     // "folder|name" of each file dialog
    QList<std::optional<QString>> fileAnswers;   // nothing: cancelled

private:
    bool Answer(const QString& text) {
        questions.append(text);
        return answers.isEmpty() ? true : answers.takeFirst();
    }
};

} // namespace zk::test
