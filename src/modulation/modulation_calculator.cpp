// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulation/modulation_calculator.h"

#include "support/user_dialogs.h"

namespace zk {

std::optional<ModulationOp> ModulationOpFromLetter(QStringView letter) {
    static constexpr struct {
        char16_t letter;
        ModulationOp op;
    } kLetters[] = {
        {u'T', ModulationOp::ThirdUp},    {u't', ModulationOp::ThirdDown},
        {u'Q', ModulationOp::FifthUp},    {u'q', ModulationOp::FifthDown},
        {u'm', ModulationOp::MajorMinor}, {u'+', ModulationOp::CommaUp},
        {u'-', ModulationOp::CommaDown},
    };
    if (letter.size() == 1) {
        for (const auto& entry : kLetters) {
            if (letter.at(0) == entry.letter) {
                return entry.op;
            }
        }
    }
    return std::nullopt;
}

ModulationCalculator::ModulationCalculator(UserDialogs& dialogs, ModulationHistory& history)
    : m_dialogs(dialogs), m_history(history) {}

void ModulationCalculator::AddHistoryLine(const QString& line) {
    if (line.isEmpty()) {
        return;
    }
    QString added = line;
    const qsizetype major = added.indexOf(u"Dur");
    if (major >= 0 && !added.mid(major).startsWith(u"Dur-")) {
        const QChar first = added.at(0);
        if (first >= u'a' && first <= u'z') {
            added[0] = first.toUpper();
        }
    }
    m_history.Append(added);
}

QString ModulationCalculator::ModulationStep(const QString& text, int rotation,
                                             const DegreeModifiers& modifiers, Mode required,
                                             Mode newMode, bool log, const QString& label) {
    const std::optional<ScaleTones> old = ParseScale(required, text, m_dialogs);
    if (!old) {
        return text;
    }
    if (log && m_history.Lines().isEmpty()) {
        AddHistoryLine(text);
    }
    ScaleTones tones;
    for (size_t k = 0; k < tones.size(); ++k) {
        tones[k] = (*old)[(k + static_cast<size_t>(rotation)) % tones.size()];
        if (!modifiers[k].isNull()) {
            tones[k] = AlterTone(tones[k], modifiers[k]);
        }
    }
    const QString result = AssembleScale(tones, newMode);
    if (log) {
        AddHistoryLine(result + QStringLiteral("  (") + label + u')');
    }
    return result;
}

namespace {

// Modifiers for the degrees listed (1-based), all with the same letter.
DegreeModifiers On(std::initializer_list<int> degrees, QChar letter) {
    DegreeModifiers modifiers{};
    for (const int degree : degrees) {
        modifiers[static_cast<size_t>(degree - 1)] = letter;
    }
    return modifiers;
}

DegreeModifiers Merge(DegreeModifiers a, const DegreeModifiers& b) {
    for (size_t k = 0; k < a.size(); ++k) {
        if (!b[k].isNull()) {
            a[k] = b[k];
        }
    }
    return a;
}

// The mode an operation works in: "Dur" anywhere in the text first, then "moll" (both exact).
std::optional<Mode> FindMode(const QString& scale) {
    if (scale.contains(u"Dur")) {
        return Mode::Major;
    }
    if (scale.contains(u"moll")) {
        return Mode::Minor;
    }
    return std::nullopt;
}

struct StepRow {
    int rotation;
    DegreeModifiers modifiers;
    Mode newMode;
    const char16_t* label;
};

// The third and fifth steps for a scale of the given mode. A third up from major lands on the
// relative minor of the dominant (its second degree raised chromatically), a third down on the
// relative minor (its fourth degree a comma lower), and so on; two thirds make a fifth.
StepRow ThirdOrFifth(ModulationOp op, Mode mode) {
    const bool major = mode == Mode::Major;
    switch (op) {
    case ModulationOp::ThirdUp:
        return {2, On({2}, major ? kSharpen : kCommaUp), major ? Mode::Minor : Mode::Major,
                u"eine Terz höher"};
    case ModulationOp::ThirdDown:
        return {5, On({4}, major ? kCommaDown : kFlatten), major ? Mode::Minor : Mode::Major,
                u"eine Terz tiefer"};
    case ModulationOp::FifthUp:
        return {4,
                Merge(On({2}, major ? kCommaUp : kSharpen), On({7}, major ? kSharpen : kCommaUp)),
                mode, u"eine Quinte höher"};
    default: // FifthDown
        return {
            3,
            Merge(On({4}, major ? kFlatten : kCommaDown), On({6}, major ? kCommaDown : kFlatten)),
            mode, u"eine Quinte tiefer"};
    }
}

} // namespace

QString ModulationCalculator::Apply(ModulationOp op, const QString& scale) {
    switch (op) {
    case ModulationOp::MajorMinor:
        return SwitchMode(scale);
    case ModulationOp::CommaUp:
    case ModulationOp::CommaDown: {
        // Without "Dur" the text is taken as minor, so a text without any mode word reaches
        // the parser and gets its message.
        const Mode mode = FindMode(scale).value_or(Mode::Minor);
        const bool up = op == ModulationOp::CommaUp;
        return ModulationStep(
            scale, 0, On({1, 2, 3, 4, 5, 6, 7}, up ? kCommaUp : kCommaDown), mode, mode, true,
            up ? QStringLiteral("ein Komma höher") : QStringLiteral("ein Komma tiefer"));
    }
    default: {
        const std::optional<Mode> mode = FindMode(scale);
        if (!mode) {
            return scale;
        }
        const StepRow row = ThirdOrFifth(op, *mode);
        return ModulationStep(scale, row.rotation, row.modifiers, *mode, row.newMode, true,
                              QString::fromUtf16(row.label));
    }
    }
}

QString ModulationCalculator::SwitchMode(const QString& scale) {
    // The silent first step below would hide the starting scale from the history, so it is
    // written here.
    if (m_history.Lines().size() < 2) {
        AddHistoryLine(scale);
    }
    const std::optional<Mode> mode = FindMode(scale);
    if (!mode) {
        return scale;
    }
    // Major to minor lowers the third, sixth and seventh chromatically and raises them by a
    // comma (e -> es+); minor to major undoes it. Done as two steps so that the records show
    // both alterations.
    if (*mode == Mode::Major) {
        const QString lowered = ModulationStep(scale, 0, On({3, 6, 7}, kFlatten), Mode::Major,
                                               Mode::Major, false, QString());
        return ModulationStep(lowered, 0, On({3, 6, 7}, kCommaUp), Mode::Major, Mode::Minor, true,
                              QStringLiteral("Wechsel D u r -> m o l l"));
    }
    const QString raised = ModulationStep(scale, 0, On({3, 6, 7}, kSharpen), Mode::Minor,
                                          Mode::Minor, false, QString());
    return ModulationStep(raised, 0, On({3, 6, 7}, kCommaDown), Mode::Minor, Mode::Major, true,
                          QStringLiteral("Wechsel mo l l -> D u r"));
}

QString ModulationCalculator::StepBack(const QString& scale) {
    if (m_history.Lines().size() < 2) {
        return scale;
    }
    m_history.RemoveLast();
    return m_history.Lines().constLast();
}

ModulationCalculator::KeyReset ModulationCalculator::ResetToKey(const QString& key) {
    m_history.Clear();
    const QString scale = ScaleForKey(key);
    if (scale != u"?") {
        return {key, scale};
    }
    m_dialogs.ShowMessage(QStringLiteral("Richtige Tonart eintragen!\r"
                                         "ZumBeispiel \"C\" oder \"Cis\" für Dur\r"
                                         "oder \"e\" oder \"es\" für Moll"));
    return {QStringLiteral("C"), QString::fromUtf16(kInitialScale)};
}

} // namespace zk
