// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "piece/pass_host.h"

#include <QString>

#include <optional>
#include <vector>

// The comma drift of a computed piece: for every row how far its key's tonic and its chord's tones
// lie from the tones of the same name in the first key, and where the key stands on the tone
// lattice of fifths and major thirds. A chain of just modulations that comes back to its starting
// key a comma higher or lower (the "Kommafalle") shows here as a drift of 21.5 or 23.5 cents.

namespace zk {

class PieceTable;
class TonartScale;
struct PassSettings;

// The syntonic comma 81/80 and the Pythagorean comma 3^12/2^19, in cents.
long double SyntonicCommaCents();
long double PythagoreanCommaCents();

// Cents brought within half an octave either way, (-600, 600]: the distance of two tones with the
// octaves between them left out.
long double CentsWithinHalfOctave(long double cents);

// A place on the tone lattice relative to the first key: the ratio is 2^o × (3/2)^fifths ×
// (5/4)^thirds for some whole number of octaves o, which the lattice does not show.
struct LatticePoint {
    int fifths = 0;
    int thirds = 0;
    bool operator==(const LatticePoint&) const = default;
};

// The lattice place of a ratio (positive) within 60 fifths and 30 thirds either way, or nothing
// when the ratio is no product of powers of 2, 3 and 5 that near (a tempered tone, an overtone 7).
std::optional<LatticePoint> LatticePointOf(long double ratio);

// One tone measured against the first key.
struct DriftTone {
    long double frequency = 0; // Hz, as it sounds
    // 1200 × log2 of the tone against the first key's tonic as it sounds, unreduced.
    long double cents = 0;
    // The tone against the tone written with the same name (letter, octave, accidentals, no
    // commas) in the just scale of the first key, brought within half an octave: 0 for every tone
    // of a piece that stays in its first key, -21.5 for "d-" in C.
    long double drift = 0;
    // Its place on the lattice, when it is just.
    std::optional<LatticePoint> lattice;
    QString name; // the tone as written in the chord, e.g. "c--", "e1", "G"
    bool operator==(const DriftTone&) const = default;
};

struct DriftRow {
    int row = 0;             // the table row, from 1
    QString keyText;         // the key entry in force
    bool keyEntered = false; // the row itself has a key entry
    // The key in force is equal temperament ("~") or a temperament of the list ("m…"): its tones
    // are drawn as their cents, without a lattice node.
    bool tempered = false;
    // The tonic of the key in force, when there is a just one; with its drift and lattice place
    // (the first key is at 0 cents, fifths 0, thirds 0).
    std::optional<DriftTone> tonic;
    QString chord;
    bool computed = false;        // the row has a duration or a chord (a rest has no tones)
    std::vector<DriftTone> tones; // the chord's sounding tones, first slot first
    bool operator==(const DriftRow&) const = default;
};

struct DriftData {
    long double firstKey = 0; // K in Hz, 0 when the piece has no just key
    QString firstKeyText;     // the first key entry that gave K, e.g. "c"
    std::vector<DriftRow> rows;
    bool operator==(const DriftData&) const = default;

    // The extremes of every tonic's and first tone's drift, 0 included (0 and 0 for no rows).
    long double LowestDrift() const;
    long double HighestDrift() const;
};

// Measures the rows a pass has reported. Rows that neither enter a key nor sound are left out.
DriftData CommaDrift(const std::vector<ComputedRow>& rows);

// Wraps a host for a pass: forwards everything and keeps the rows the pass reports.
class DriftRecorder : public PassHost {
public:
    explicit DriftRecorder(PassHost& host) : m_host(host) {}

    QString KammertonText() const override { return m_host.KammertonText(); }
    void SetKammertonText(const QString& text) override { m_host.SetKammertonText(text); }
    QString TempoText() const override { return m_host.TempoText(); }
    bool Dauernd() const override { return m_host.Dauernd(); }
    void ClearLastPiece() override;
    void NotateTable(const PieceTable& table) override { m_host.NotateTable(table); }
    void HideNotation() override { m_host.HideNotation(); }
    void ScrollToRow(int row) override { m_host.ScrollToRow(row); }
    void ProcessPendingEvents() override { m_host.ProcessPendingEvents(); }
    void PlayChord(int dauer, const ChordFrequencies& frequencies) override {
        m_host.PlayChord(dauer, frequencies);
    }
    void ShowKeyCheck(const QString& message) override { m_host.ShowKeyCheck(message); }
    void RowComputed(const ComputedRow& row) override;

    const std::vector<ComputedRow>& Rows() const { return m_rows; }
    DriftData Drift() const { return CommaDrift(m_rows); }

private:
    PassHost& m_host;
    std::vector<ComputedRow> m_rows;
};

// Runs the pass over the whole table without sound, as "Rechne" does (OnlyCompute is set and
// stays set), and measures its drift. Columns 3 and 4 are written as by "Rechne". Throws what the
// pass throws (a tempo that is not a number).
DriftData ComputeCommaDrift(PieceTable& table, TonartScale& scale, PassSettings& settings,
                            PassHost& host);

} // namespace zk
