// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/cli/cli.h"
#include "app/example_library.h"
#include "engine/chord_notation.h"
#include "exchange/score_table.h"
#include "piece/key_search.h"
#include "piece/pass_host.h"
#include "piece/piece_text.h"
#include "sound/timbre.h"

#include <QImage>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// What the piece commands of the command line share: their arguments, reading the piece from a
// file, standard input or the examples, and a PassHost with plain values.

namespace zk::cli {

// A command line's options with a value, its flags and its free arguments. "--" ends the options:
// every argument after it is free, even when it begins with "-".
struct CommandArguments {
    QMap<QString, QString> values; // option → its value, e.g. "-o" → "out.png"
    QSet<QString> flags;           // flags that were given, e.g. "--tsv"
    QStringList free;              // everything else, in order
};

// Reads `args`. Returns the German message of the first problem (an unknown option, a missing
// value), or nothing.
std::optional<QString> ParseOptions(const QStringList& args, const QStringList& valueOptions,
                                    const QStringList& flagOptions, CommandArguments& out);

// The bytes of FILE, or of standard input for "-". Nothing, with a German message in io.err, when
// the file cannot be read, is no regular file (a pipe would block) or is too large.
std::optional<QByteArray> ReadPieceInput(const QString& file, Io& io);

// How messages name FILE: "Standardeingabe" for "-".
QString InputName(const QString& file);

// The value of an option when it was given.
std::optional<QString> OptionalValue(const QMap<QString, QString>& values, const QString& option);

// A command line of options and one piece: FILE ("-" for standard input) or --example NAME.
// FILE is a piece file or a MusicXML score; --keys signature|equal, which every piece command
// takes, chooses a score's key column, and --keys auto finds the keys of any piece. "--" ends the
// options: every argument after it is FILE or a further argument, even when it begins with "-".
struct PieceArguments {
    QMap<QString, QString> values;  // option → its value, e.g. "-o" → "out.png"
    QSet<QString> flags;            // flags that were given, e.g. "--tsv"
    QString file;                   // FILE, when the piece is no example
    std::optional<QString> example; // the caption given with --example
    QStringList trailing;           // the arguments after the piece, e.g. keycheck's row
};

// Reads `args`; `trailingCount` arguments follow the piece (FILE or nothing for --example).
// Returns the German message of the first problem (unknown option, missing value, a second file,
// FILE and --example together, no piece at all, missing trailing arguments), or nothing when the
// arguments are complete.
std::optional<QString> ParsePieceArguments(const QStringList& args, const QStringList& valueOptions,
                                           const QStringList& flagOptions, PieceArguments& out,
                                           int trailingCount = 0,
                                           const QString& trailingMissing = {});

// The message for a --keys value that names no key column.
QString UnknownKeysMessage(const QString& name);

// The message for --keys with a piece that is no score.
QString ScoreOnlyKeysMessage();

// The message for a caption that names no example.
QString UnknownExampleMessage(const QString& caption);

// The note that a piece file text cut `cutCells` cells to their field widths.
QString CutCellsNotice(int cutCells);

// What the piece brings besides its rows: for a file its "Klangfarbe" line, for an example also
// its display mode and bass notes, for a score its tempo.
struct PieceSettings : ExampleSettings {
    std::optional<QString> tempo; // the value of the field "1/4 pro min" a score asks for
};

// The tempo a pass of the piece runs at: the option's, else the score's, else the field's default.
QString PieceTempo(const std::optional<QString>& option, const PieceSettings& piece);

// Loads the piece of `arguments` into `table`: the file's (or standard input's) piece text, a
// MusicXML score's rows in full (no cell cut to a piece file's width; what the import did goes to
// io.err), or the example's full table. Nothing, with a German message in io.err, when the file
// cannot be read, --keys names no key column or is given for no score, or no example has that
// caption. A score that cannot be read throws ScoreError.
std::optional<PieceSettings> LoadPiece(const PieceArguments& arguments, PieceTable& table, Io& io);

// Finds the keys of the table (with the temperament list of the program folder), writes them into
// its key column and the report into io.err.
void FindKeysInto(PieceTable& table, const KeySearchOptions& options, Io& io);

// The key column a --keys value names ("signature", "equal"), or nothing.
std::optional<ScoreKeyColumn> ScoreKeyColumnFromName(const QString& name);

// A piece file text to standard output, or with -o to that file (all or nothing; throws FileError).
void WritePieceFileOutput(const QString& text, const QString& output, Io& io);

// Writes `image` as a PNG file, all or nothing; false when it cannot be written.
bool WritePngFile(const QImage& image, const QString& path);

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
