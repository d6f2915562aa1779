// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modulation/scale_text.h"

#include <QString>
#include <QStringList>

#include <optional>

// The calculator's operations: a scale moved a third or a fifth up or down, switched between
// major and minor, or shifted by a syntonic comma, each step written to a history from which the
// user can step back. The current scale text and the key text belong to the caller (the window's
// fields, or the command line's variables); every operation takes the current text and returns
// the new one.

namespace zk {

class UserDialogs;

// The history lines, as the caller keeps them. The window keeps them in its history box, where
// the user may edit them; the operations always read the lines as they stand.
class ModulationHistory {
public:
    virtual ~ModulationHistory() = default;
    virtual QStringList Lines() const = 0;
    virtual void Append(const QString& line) = 0;
    virtual void RemoveLast() = 0; // only called when there is a line
    virtual void Clear() = 0;
};

// A history held in memory (command line, tests).
class ListHistory : public ModulationHistory {
public:
    QStringList Lines() const override { return m_lines; }
    void Append(const QString& line) override { m_lines.append(line); }
    void RemoveLast() override { m_lines.removeLast(); }
    void Clear() override { m_lines.clear(); }

private:
    QStringList m_lines;
};

// The user operations, one per button.
enum class ModulationOp {
    ThirdUp,    // T
    ThirdDown,  // t
    FifthUp,    // Q
    FifthDown,  // q
    MajorMinor, // m
    CommaUp,    // +
    CommaDown,  // -
};

// "T", "t", "Q", "q", "m", "+", "-" as the buttons and the guide tables name the operations.
std::optional<ModulationOp> ModulationOpFromLetter(QStringView letter);

// The alteration letter for each of the seven degrees of the new scale; a null QChar leaves the
// degree as it is.
using DegreeModifiers = std::array<QChar, 7>;

class ModulationCalculator {
public:
    ModulationCalculator(UserDialogs& dialogs, ModulationHistory& history);

    // One operation on the current scale text; the history receives the starting scale (when
    // it is empty) and the result with the step's label. A text without a mode word, or a comma
    // step on a text whose mode word is only in lower case, is answered by a message and comes
    // back unchanged.
    QString Apply(ModulationOp op, const QString& scale);

    // Deletes the last history line and returns the line now last, verbatim; with fewer than
    // two lines nothing changes and `scale` comes back.
    QString StepBack(const QString& scale);

    struct KeyReset {
        QString key;
        QString scale;
    };
    // Clears the history and starts from the scale of `key`. An unknown key is answered by a
    // message and gives key "C" with the C major scale.
    KeyReset ResetToKey(const QString& key);

    // Appends a non-empty line. A major line ("Dur" not starting a "Dur-") gets a capital first
    // letter, which marks the major keys when the history is read.
    void AddHistoryLine(const QString& line);

    // The step every operation is made of: rotate the scale to start on another degree, alter
    // the given degrees of the new scale and write the new mode word. On a failed parse the text
    // comes back unchanged and nothing is logged.
    QString ModulationStep(const QString& text, int rotation, const DegreeModifiers& modifiers,
                           Mode required, Mode newMode, bool log, const QString& label);

private:
    QString SwitchMode(const QString& scale);

    UserDialogs& m_dialogs;
    ModulationHistory& m_history;
};

} // namespace zk
