// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/chord_notation.h"
#include "piece/pass_host.h"

#include <QList>
#include <QString>

#include <functional>

namespace zk::test {

// A PassHost with plain values that records what the pass did: which rows sounded with which
// Dauer and frequencies, what was scrolled, what the key check said.
class RecordingPassHost : public PassHost {
public:
    struct Played {
        int dauer = 0;
        ChordFrequencies frequencies;
        QString chordCell; // the chord cell while it sounded (with its " ->" mark)
    };

    QString KammertonText() const override { return kammerton; }
    void SetKammertonText(const QString& text) override { kammerton = text; }
    QString TempoText() const override { return tempo; }
    bool Dauernd() const override { return dauernd; }
    void ClearLastPiece() override { ++lastPieceClears; }
    void NotateTable(const PieceTable&) override { ++notations; }
    void HideNotation() override { ++hiddenNotations; }
    void ScrollToRow(int row) override { scrolls.append(row); }
    void ProcessPendingEvents() override {
        ++eventRounds;
        if (onEvents) {
            onEvents();
        }
    }
    void PlayChord(int dauer, const ChordFrequencies& frequencies) override {
        played.append({dauer, frequencies, currentChordCell ? currentChordCell() : QString()});
    }
    void ShowKeyCheck(const QString& message) override { keyChecks.append(message); }

    QString kammerton = QStringLiteral("440");
    QString tempo = QStringLiteral("80");
    bool dauernd = false;
    int lastPieceClears = 0;
    int notations = 0;
    int hiddenNotations = 0;
    int eventRounds = 0;
    QList<int> scrolls;
    QList<Played> played;
    QStringList keyChecks;
    std::function<void()> onEvents;            // runs while events are processed ("Stop")
    std::function<QString()> currentChordCell; // reads the sounding row's chord cell
};

} // namespace zk::test
