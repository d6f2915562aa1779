#pragma once

#include "app/cli/cli.h"
#include "engine/chord_notation.h"
#include "piece/pass_host.h"
#include "piece/piece_text.h"
#include "sound/timbre.h"

#include <QImage>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// What the piece commands of the command line share: reading a piece file (or stdin), and a
// PassHost with plain values.

namespace zk::cli {

// A command line of options and one piece file: options that take a value, flags, and FILE ("-"
// for standard input).
struct PieceArguments {
    QMap<QString, QString> values; // option → its value, e.g. "-o" → "out.png"
    QSet<QString> flags;           // flags that were given, e.g. "--tsv"
    QString file;
};

// Reads `args`; returns the German message of the first problem (unknown option, missing value,
// a second file, no file), or nothing when the arguments are complete.
std::optional<QString> ParsePieceArguments(const QStringList& args, const QStringList& valueOptions,
                                           const QStringList& flagOptions, PieceArguments& out);

// Writes `image` as a PNG file, all or nothing; false when it cannot be written.
bool WritePngFile(const QImage& image, const QString& path);

// The text of FILE, or of standard input for "-". Empty with a German message in io.err when the
// file cannot be read.
std::optional<QString> ReadPieceInput(const QString& file, Io& io);

// A PassHost for the command line: fields as given, no notation, no scrolling, no sound unless a
// player is set.
class CliPassHost : public PassHost {
public:
    QString KammertonText() const override { return kammerton; }
    void SetKammertonText(const QString& text) override { kammerton = text; }
    QString TempoText() const override { return tempo; }
    bool Dauernd() const override { return dauernd; }
    void ClearLastPiece() override;
    void NotateTable(const PieceTable&) override {}
    void HideNotation() override {}
    void ScrollToRow(int) override {}
    void ProcessPendingEvents() override {}
    void PlayChord(int dauer, const ChordFrequencies& frequencies) override;
    void ShowKeyCheck(const QString& message) override { keyCheck = message; }

    QString kammerton = QStringLiteral("440");
    QString tempo = QStringLiteral("80");
    bool dauernd = false;
    QString keyCheck;
    std::function<void()> clearLastPiece;
    std::function<void(int, const ChordFrequencies&)> playChord;
};

} // namespace zk::cli
