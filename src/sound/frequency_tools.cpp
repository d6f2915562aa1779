// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/frequency_tools.h"

#include "engine/interval_analysis.h"
#include "sound/audio_output.h"
#include "sound/sound_player.h"
#include "sound/synthesis.h"
#include "sound/timbre.h"
#include "support/checked_math.h"
#include "support/errors.h"
#include "support/fractions.h"
#include "support/number_text.h"
#include "support/text_helpers.h"
#include "support/user_dialogs.h"

#include <QRegularExpression>

namespace zk {

namespace {

const QString kArithmeticMessage =
    QStringLiteral("Die Differenztöne können nicht berechnet werden.");

QString Lines(std::initializer_list<const char*> lines) {
    QStringList list;
    for (const char* line : lines) {
        list.append(QString::fromUtf8(line));
    }
    return list.join(u'\r');
}

// The explanation under the prompt of the single-tone and the multi-tone tool; they differ in
// the example only.
QString ToneExplanation(const char* example) {
    return Lines({"Sie können für die Klangfarbe, d.h. die  Obertöne",
                  "im Hauptprogramm einstellen oder", "in Klammer hinter die Frequenz z.B.",
                  example, "", "Dauer kann verkürzt oder verlängert werden.",
                  "Sie können den Ton als Wav-Datei speichern",
                  "(Menü \"Spielen|Speichere ...\")"});
}

// The fixed part of the difference-tone explanation; the last report follows after two empty
// lines.
QString DifferenceToneExplanation() {
    return Lines({"Geben Sie zwei Frequenzen und \"q\", \"k\" oder \"qk\" ein!",
                  "Es erklingen dann die quadratischen oder kubischen", "Diffenztöne mit.", "",
                  "Erläuterung: Im Innenohr entsteht bei einem Zweiklang mit",
                  "den Frequenzen f1 und f2 der (quadratische) Differenzton",
                  "f3 = f1 - f2 (f2 > f1).",
                  "Dieser Ton, der als akustisches Signal normalerweise nicht ",
                  "vorhanden ist, wird hier zusätzlich erzeugt.",
                  "Ein weiterer (kubischer) Differenzton ist  f4 = 2*f1 - f2.",
                  "Diese Töne werden miterzeugt, wenn Sie den betreffenden",
                  "Buchstaben mit angeben.", "", ""}) +
           u'\r';
}

// Appends the ratio x as a small fraction and its interval name, written upside down (the ratio
// of the second tone to the first: x = 440/528 reads "6/5"). Nothing is added when no fraction
// within the tolerance exists. A ratio that is not positive names no interval (the fraction
// would have to be turned over through a zero or a negative number); it is an arithmetic failure
// that ends the caller's group, as a failed division does.
void AddRatioLine(QStringList& lines, long double x, long double tolerance) {
    const FractionApproximation approximation = ApproximateFraction(tolerance, x);
    if (!approximation.ok) {
        return;
    }
    const Fraction& fraction = approximation.fraction;
    if (!(fraction.num > 0) || !(fraction.den > 0)) {
        throw MathError(kArithmeticMessage);
    }
    const long long num = RoundHalfEven(fraction.num, kArithmeticMessage);
    const long long den = RoundHalfEven(fraction.den, kArithmeticMessage);
    lines.append(QStringLiteral("   Frequenzverhältnis = ") + NumberToText(0, fraction.den) + u'/' +
                 NumberToText(0, fraction.num) + QStringLiteral(" = ") +
                 IntervalName(IntervalForm::Name, den, num));
}

long double Ratio(long double a, long double b) {
    return CheckedDivide(a, b, kArithmeticMessage);
}

// Reads a duration typed by the user: a whole number, optionally signed, blanks around it
// allowed. Empty when the text is anything else.
std::optional<long long> WholeNumber(const QString& text) {
    static const QRegularExpression kWhole(QStringLiteral("^[+-]?[0-9]+$"));
    const QString trimmed = Trim(text);
    if (!kWhole.match(trimmed).hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const long long value = trimmed.toLongLong(&ok);
    if (!ok) {
        // Too many digits for any duration: as long as the longest refused.
        return trimmed.startsWith(u'-') ? -1 : static_cast<long long>(kMaxDauer) + 1;
    }
    return value;
}

} // namespace

QString SplitOvertoneSpec(const QString& text, Timbre& timbre) {
    const qsizetype open = text.indexOf(u'(');
    if (open < 0) {
        return text;
    }
    QString spectrum = text.mid(open + 1);
    const qsizetype close = spectrum.indexOf(u')');
    if (close >= 0) {
        spectrum.truncate(close);
    }
    // Blanks after "(" do not shift the percentages into the next edit.
    spectrum = Trim(spectrum);
    for (int i = 0; i < 6; ++i) {
        timbre.overtoneTexts[static_cast<std::size_t>(i)] = WordAt(spectrum, i + 1);
    }
    return text.left(open);
}

DifferenceTones DifferenceTonesOf(const QString& frequencyPart) {
    DifferenceTones tones;
    tones.f1 = NumberField(frequencyPart, 1);
    tones.f2 = NumberField(frequencyPart, 2);
    if (tones.f1 > tones.f2) {
        std::swap(tones.f1, tones.f2);
    }
    const long double quadratic = CheckedResult(tones.f2 - tones.f1, kArithmeticMessage);
    if (frequencyPart.contains(u'q')) {
        tones.fq = quadratic;
    }
    if (frequencyPart.contains(u'k')) {
        tones.fk = CheckedResult(2 * tones.f1 - tones.f2, kArithmeticMessage);
    }
    if (tones.fq == 0 && tones.fk == 0) {
        tones.fq = quadratic;
    }
    return tones;
}

QString DifferenceToneReport(const DifferenceTones& tones) {
    QStringList lines;
    lines.append(QStringLiteral("Tieferer Ton:               ") + NumberToText(2, tones.f1));
    lines.append(QStringLiteral("Höherer  Ton:               ") + NumberToText(2, tones.f2));
    // Each group stops at its first arithmetic failure (a ratio to a tone of 0 Hz, a fraction
    // too large to name); the other groups are still written.
    try {
        AddRatioLine(lines, Ratio(tones.f1, tones.f2), 1e-12L);
    } catch (const Error&) {
    }
    if (tones.fq > 0) {
        lines.append(QStringLiteral("quadratischer Differenzton: ") + NumberToText(2, tones.fq));
        try {
            AddRatioLine(lines, Ratio(tones.fq, tones.f1), 1e-15L);
            AddRatioLine(lines, Ratio(tones.fq, tones.f2), 1e-12L);
        } catch (const Error&) {
        }
    }
    if (tones.fk > 0) {
        lines.append(QStringLiteral("kubischer     Differenzton: ") + NumberToText(2, tones.fk));
        try {
            AddRatioLine(lines, Ratio(tones.fk, tones.f1), 1e-12L);
            AddRatioLine(lines, Ratio(tones.fk, tones.f2), 1e-12L);
            // Without the quadratic tone this division fails and ends the group.
            AddRatioLine(lines, Ratio(tones.fk, tones.fq), 1e-12L);
        } catch (const Error&) {
        }
    }
    return lines.join(u'\r');
}

ChordFrequencies DifferenceToneChord(const DifferenceTones& tones) {
    const long double cubic = tones.fk < 0 ? -tones.fk : tones.fk;
    ChordFrequencies chord;
    chord[0] = tones.f1;
    chord[1] = tones.f2;
    chord[2] = tones.fq == 0 ? cubic : tones.fq;
    chord[3] = cubic;
    return chord;
}

FrequencyTools::FrequencyTools(SoundPlayer& sound, UserDialogs& dialogs, QStringList& toneHistory,
                               QStringList& chordHistory)
    : m_sound(sound), m_dialogs(dialogs), m_toneHistory(toneHistory), m_chordHistory(chordHistory) {
}

QString FrequencyTools::TakeSpectrum(const QString& value) {
    const QString part = SplitOvertoneSpec(value, m_sound.timbre());
    if (part.size() != value.size() && timbreTyped) {
        timbreTyped();
    }
    return part;
}

void FrequencyTools::ToolLoop(const QString& caption, const QString& prompt,
                              const std::function<QString()>& explanation, QStringList& history,
                              QString value,
                              const std::function<ChordFrequencies(const QString&)>& chordOf) {
    m_sound.ClearLastPiece();
    while (m_dialogs.PromptWithHistory(caption, prompt, explanation(), history, value)) {
        // An input that cannot be played is reported and the dialog comes back with it.
        try {
            const ChordFrequencies chord = chordOf(TakeSpectrum(value));
            if (beforeSound) {
                beforeSound();
            }
            m_sound.PlayChord(m_toolDauer, chord);
        } catch (const Error& error) {
            m_dialogs.ShowMessage(error.message());
        }
    }
    m_sound.output().Stop();
}

void FrequencyTools::Ton() {
    const QString explanation = ToneExplanation("440 (75 50 0 0 0)");
    ToolLoop(
        QStringLiteral("Ein Ton"), QStringLiteral("Geben Sie die Frequenz ein"),
        [&] { return explanation; }, m_toneHistory,
        m_toneHistory.isEmpty() ? QStringLiteral("440") : m_toneHistory.first(),
        [](const QString& part) {
            // The tone goes into the first and the fifth slot; the empty second slot ends the
            // chord after the first, so one voice sounds.
            ChordFrequencies chord;
            chord[0] = NumberField(part, 1);
            chord[4] = chord[0];
            return chord;
        });
}

void FrequencyTools::Mehrklang() {
    const QString explanation = ToneExplanation("440 550 660 880 (75 50 25 12 6)");
    ToolLoop(
        QStringLiteral("maximal acht Frequenzen"), QStringLiteral("Geben Sie die Frequenzen ein"),
        [&] { return explanation; }, m_chordHistory,
        m_chordHistory.isEmpty() ? QStringLiteral("440 550 660 880") : m_chordHistory.first(),
        [](const QString& part) {
            ChordFrequencies chord;
            for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
                chord[i] = NumberField(part, i + 1);
            }
            return chord;
        });
}

void FrequencyTools::Zweiklang() {
    // Always the example to start with; earlier inputs are in the history.
    ToolLoop(
        QStringLiteral("maximal acht Frequenzen"), QStringLiteral("Geben Sie zwei Frequenzen ein"),
        [this] { return DifferenceToneExplanation() + m_zweiklangReport; }, m_chordHistory,
        QStringLiteral("440 528 qk"),
        [this](const QString& part) {
            const DifferenceTones tones = DifferenceTonesOf(part);
            m_zweiklangReport = DifferenceToneReport(tones);
            return DifferenceToneChord(tones);
        });
}

void FrequencyTools::DauerAendern() {
    QString value = QString::number(m_toolDauer);
    QStringList noHistory;
    if (!m_dialogs.PromptWithHistory(
            QStringLiteral("Dauer ändern"), QStringLiteral("Geben Sie die Dauer ein"),
            QStringLiteral("Dauer in Hundertstelsekunden (1000 = 10 Sekunden)"), noHistory,
            value)) {
        return;
    }
    const std::optional<long long> dauer = WholeNumber(value);
    const QString kept =
        QStringLiteral("Die Dauer bleibt %1 Hundertstelsekunden.").arg(m_toolDauer);
    if (!dauer) {
        m_dialogs.ShowMessage(QStringLiteral("\"%1\" ist keine ganze Zahl. ").arg(Trim(value)) +
                              kept);
    } else if (*dauer < 0) {
        m_dialogs.ShowMessage(QStringLiteral("Die Dauer kann nicht negativ sein. ") + kept);
    } else if (*dauer > kMaxDauer) {
        m_dialogs.ShowMessage(QStringLiteral("Die Dauer kann höchstens %1 Hundertstelsekunden "
                                             "(eine Stunde) betragen. ")
                                  .arg(kMaxDauer) +
                              kept);
    } else {
        m_toolDauer = static_cast<int>(*dauer);
    }
}

} // namespace zk
