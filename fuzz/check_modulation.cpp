// SPDX-License-Identifier: GPL-3.0-or-later
// The modulation calculator: a scale text (the first line) and a row of operations (the second:
// T t Q q m + - as in the window, "<" one step back, "!" a new start on the key the rest of the
// line names). Whatever the text, every step answers with a text or a message; and a comma up
// followed by a comma down comes back to the scale it started from, as the calculator writes it.
#include "fuzz_checks.h"

#include "modulation/modulation_calculator.h"
#include "modulation/scale_text.h"
#include "support/user_dialogs.h"

#include <QRegularExpression>

#include <algorithm>

namespace zk::fuzz {

namespace {

class CountedMessages : public UserDialogs {
public:
    void ShowMessage(const QString& text) override {
        Require(!text.isEmpty(), "an empty message");
        ++count;
    }
    bool AskYesNo(const QString&) override { return false; }
    bool AskOkCancel(const QString&) override { return false; }
    int count = 0;
};

// A tone name as the calculator writes it: a letter, accidentals, commas, and the steps that led
// there in parentheses.
bool IsToneName(const QString& tone) {
    static const QRegularExpression name(
        QStringLiteral("^[a-hA-H](is|es|s)*[+-]*(\\([DSds]*\\))?$"));
    return name.match(tone).hasMatch();
}

// A comma up followed by a comma down comes back to the scale, once the calculator has written it
// in its own form. A typed tone may carry both marks ("a+--"); the first step cancels a mark of
// the other kind and the pair gives the same pitch in fewer marks ("a-"), so the first pair only
// brings the scale into that form. From there every pair comes back to the same text. A text
// whose tones hold a mode word is not a scale of seven tones.
void CheckCommaSteps(const QString& scale, CountedMessages& dialogs) {
    const QString lower = scale.toLower();
    if (lower.count(QStringLiteral("dur")) + lower.count(QStringLiteral("moll")) != 1) {
        return;
    }
    ListHistory history;
    ModulationCalculator calculator(dialogs, history);
    const int messages = dialogs.count;
    const QString own =
        calculator.Apply(ModulationOp::CommaDown, calculator.Apply(ModulationOp::CommaUp, scale));
    const QString up = calculator.Apply(ModulationOp::CommaUp, own);
    const QString down = calculator.Apply(ModulationOp::CommaDown, up);
    const QString upAgain = calculator.Apply(ModulationOp::CommaUp, down);
    if (dialogs.count == messages) {
        Require(down == own && upAgain == up, "a comma up and down does not come back: \"" +
                                                  own.toStdString() + "\" became \"" +
                                                  down.toStdString() + "\"");
    }
}

} // namespace

void CheckModulation(const QByteArray& input) {
    const QStringList parts = InputParts(input, 3);
    const QString& start = parts[0];
    const QString& ops = parts[1];

    CountedMessages dialogs;
    for (const Mode mode : {Mode::Major, Mode::Minor}) {
        if (const std::optional<ScaleTones> tones = ParseScale(mode, start, dialogs)) {
            // Seven tones written apart by blanks, as the calculator writes them, read back as
            // the same seven.
            const bool plain = std::all_of(tones->begin(), tones->end(), [](const QString& tone) {
                return !tone.isEmpty() && std::all_of(tone.begin(), tone.end(), [](QChar c) {
                    return c > u' ' && !c.isSpace();
                });
            });
            if (plain) {
                const QString assembled = AssembleScale(*tones, mode);
                Require(ParseScale(mode, assembled, dialogs) == tones,
                        "an assembled scale reads as other tones");
                if (std::all_of(tones->begin(), tones->end(), IsToneName)) {
                    CheckCommaSteps(assembled, dialogs);
                }
            }
            for (const QString& tone : *tones) {
                if (!IsToneName(tone)) {
                    continue;
                }
                for (const QChar letter : {kSharpen, kFlatten, kCommaUp, kCommaDown}) {
                    Require(!AlterTone(tone, letter).isEmpty(), "an altered tone vanished");
                }
            }
        }
    }
    (void)ScaleForKey(start.left(8));

    ListHistory history;
    ModulationCalculator calculator(dialogs, history);
    QString current = start;
    for (qsizetype i = 0; i < ops.size() && i < 64; ++i) {
        const QChar op = ops.at(i);
        if (op == u'<') {
            current = calculator.StepBack(current);
        } else if (op == u'!') {
            current = calculator.ResetToKey(ops.mid(i + 1, 4).trimmed()).scale;
        } else if (const auto step = ModulationOpFromLetter(QStringView(&op, 1))) {
            current = calculator.Apply(*step, current);
        }
    }
}

} // namespace zk::fuzz
