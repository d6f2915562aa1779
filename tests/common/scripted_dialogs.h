#pragma once

#include "support/user_dialogs.h"

#include <QList>
#include <QStringList>

namespace zk::test {

// UserDialogs for tests: records every text shown and answers questions from a script (true
// when the script is empty).
class ScriptedDialogs : public UserDialogs {
public:
    void ShowMessage(const QString& text) override { messages.append(text); }
    bool AskYesNo(const QString& text) override { return Answer(text); }
    bool AskOkCancel(const QString& text) override { return Answer(text); }

    QStringList messages;  // texts of message boxes, in order
    QStringList questions; // texts of questions, in order
    QList<bool> answers;   // answers to give, consumed from the front

private:
    bool Answer(const QString& text) {
        questions.append(text);
        return answers.isEmpty() ? true : answers.takeFirst();
    }
};

} // namespace zk::test
