// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"

#include "modulation/modulation_calculator.h"
#include "support/user_dialogs.h"

namespace zk::cli {

namespace {

// The calculator's messages are collected and end the command; it asks no questions.
class CollectedMessages : public UserDialogs {
public:
    void ShowMessage(const QString& text) override { m_messages.append(text); }
    bool AskYesNo(const QString&) override { return false; }
    bool AskOkCancel(const QString&) override { return false; }

    bool IsEmpty() const { return m_messages.isEmpty(); }
    // The messages as lines: a message box breaks lines at carriage returns.
    QString Text() const {
        QString text;
        for (const QString& message : m_messages) {
            text += QString(message).replace(u'\r', u'\n') + u'\n';
        }
        return text;
    }

private:
    QStringList m_messages;
};

int Usage(Io& io, const QString& problem) {
    const int status = UsageError(io, QStringLiteral("modulate"), problem);
    io.err += QStringLiteral("OP: T t Q q m + - back\n");
    return status;
}

} // namespace

int ModulateCommand(const QStringList& args, Io& io) {
    std::optional<QString> key;
    std::optional<QString> scale;
    QStringList ops;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        // After "--" every argument is an operation, "-" and "+" as much as the letters.
        if (!optionsEnded && arg == u"--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == u"--key" || arg == u"--scale")) {
            if (key || scale) {
                return Usage(io, QStringLiteral("Nur eine Angabe --key oder --scale."));
            }
            if (i + 1 >= args.size()) {
                return Usage(io, QStringLiteral("Nach %1 fehlt der Wert.").arg(arg));
            }
            (arg == u"--key" ? key : scale) = args.at(++i);
        } else if (arg == u"back" || ModulationOpFromLetter(arg)) {
            ops.append(arg);
        } else {
            return Usage(io, QStringLiteral("Unbekannte Operation \"%1\".").arg(arg));
        }
    }

    CollectedMessages messages;
    ListHistory history;
    ModulationCalculator calculator(messages, history);
    QString current = scale.value_or(QString::fromUtf16(kInitialScale));
    if (key) {
        current = calculator.ResetToKey(*key).scale;
    }
    for (const QString& op : ops) {
        if (!messages.IsEmpty()) {
            break;
        }
        current = op == u"back" ? calculator.StepBack(current)
                                : calculator.Apply(*ModulationOpFromLetter(op), current);
    }
    if (!messages.IsEmpty()) {
        io.err += messages.Text();
        return kExitUserError;
    }
    for (const QString& line : history.Lines()) {
        io.out += line + u'\n';
    }
    io.out += current + u'\n';
    return kExitOk;
}

} // namespace zk::cli
