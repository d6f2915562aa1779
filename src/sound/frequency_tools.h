// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/chord_notation.h"

#include <QString>
#include <QStringList>

#include <functional>

// The tools of the menu "Frequenzeingabe": tones and chords typed as frequencies, optionally with
// an overtone spectrum in parentheses ("440 550 660 880 (75 50 25 12 6)"), and two tones heard
// together with the difference tones the inner ear adds to them.

namespace zk {

class SoundPlayer;
struct Timbre;
class UserDialogs;

// The frequency part of an input. A spectrum in parentheses after it ("440 (75 50)") becomes the
// texts of the six overtone edits, missing percentages leaving their edits empty (which counts as
// 0). The spectrum ends at its ")" or at the end of the text. Without "(" the timbre stays as it
// is.
QString SplitOvertoneSpec(const QString& text, Timbre& timbre);

// The three tones of a two-tone input with the difference tones as they are reported: the lower
// tone f1, the higher tone f2, the quadratic difference tone f2 − f1 and the cubic one 2·f1 − f2
// (0 when not asked for). A cubic tone below 0 is kept negative here; it is not reported.
struct DifferenceTones {
    long double f1 = 0;
    long double f2 = 0;
    long double fq = 0;
    long double fk = 0;
    bool operator==(const DifferenceTones&) const = default;
};

// Reads "f1 f2" followed by "q", "k" or "qk" (anywhere in the text); with neither letter the
// quadratic tone is added.
DifferenceTones DifferenceTonesOf(const QString& frequencyPart);

// The report shown under the difference-tone prompt: both tones, then each difference tone, with
// the frequency ratios that are small fractions ("   Frequenzverhältnis = 6/5 = kT"). Lines are
// separated by "\r".
QString DifferenceToneReport(const DifferenceTones& tones);

// The chord the difference-tone tool plays: f1, f2, the quadratic and the cubic tone. A cubic
// tone below 0 sounds at its mirror frequency f2 − 2·f1, which is what a combination tone of
// negative frequency is physically; when only the cubic tone was asked for, it also takes the
// quadratic tone's slot and sounds with twice a voice's amplitude.
ChordFrequencies DifferenceToneChord(const DifferenceTones& tones);

// The four menu commands, each a loop around the prompt dialog that plays every confirmed input
// until the user cancels. Owns the duration of their sounds and the last difference-tone report;
// the histories are the main window's.
class FrequencyTools {
public:
    // The initial duration: ten seconds.
    static constexpr int kInitialDauer = 1000;

    FrequencyTools(SoundPlayer& sound, UserDialogs& dialogs, QStringList& toneHistory,
                   QStringList& chordHistory);

    // "Ton": one frequency, heard as a single voice.
    void Ton();
    // "Mehrklang": up to eight frequencies; further ones are ignored.
    void Mehrklang();
    // "Zweiklang mit Differenztönen".
    void Zweiklang();
    // "Dauer ändern": asks for ToolDauer; a text that is not a whole number from 0 to one hour is
    // refused with a message and the old duration kept.
    void DauerAendern();

    // Duration of every tool sound in hundredths of a second (441 frames each).
    int ToolDauer() const { return m_toolDauer; }
    void SetToolDauer(int dauer) { m_toolDauer = dauer; }
    const QString& ZweiklangReport() const { return m_zweiklangReport; }

    // Run by the window around the tools: `timbreTyped` after a spectrum typed in parentheses has
    // been put into the timbre (the overtone edits show it and pending events run);
    // `beforeSound` before every sound (the edits' texts go into the timbre).
    std::function<void()> timbreTyped;
    std::function<void()> beforeSound;

private:
    // The frequency part of the input; the spectrum, if any, goes into the timbre.
    QString TakeSpectrum(const QString& value);
    // What every tool does: start a new last piece, then prompt until cancelled, playing each
    // confirmed input as the chord `chordOf` makes of its frequency part; cancelling stops any
    // sound.
    void ToolLoop(const QString& caption, const QString& prompt,
                  const std::function<QString()>& explanation, QStringList& history, QString value,
                  const std::function<ChordFrequencies(const QString&)>& chordOf);

    SoundPlayer& m_sound;
    UserDialogs& m_dialogs;
    QStringList& m_toneHistory;
    QStringList& m_chordHistory;
    int m_toolDauer = kInitialDauer;
    QString m_zweiklangReport;
};

} // namespace zk
