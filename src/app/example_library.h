// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "piece/piece_text.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The built-in examples and help texts: the menus "Beispiele", "Theoriebeispiele" and "Hilfe"
// item by item. Each item is a list of steps that the main window carries out through an
// ExampleHost; the pieces, appended rows, messages and help texts are resource files
// (":/examples/…"), so the texts keep their exact blanks and columns.

namespace zk {

class PieceTable;

// What an example or help item does, in order.
enum class ExampleStepKind {
    LoadPieceText,        // text: a piece text; replaces the table (the edit flag stays as it is)
    AppendRows,           // rows: appended from the last (empty) row on, one empty row stays after
    SetOnlyCompute,       // number: 1 = compute without sound, 0 = play
    ProcessPendingEvents, // let the window repaint before what follows
    ComputePass,          // number: the pass target (0 = the whole piece)
    PlayLastPiece,        // the chords just played as one continuous sound
    HideNotation,         // hide the staff notation window
    DrawWaveform,         // number: the scale of the waveform picture (100 = 1:100)
    SetDisplayMode,       // text: the column 4 header; only written, no pass
    SetBassNotes,         // number: notes per chord in the bass staff (-1 = variable)
    ShowMessage,          // text: a message box; line breaks are "\r"
    ShowText,             // caption and text: the input dialog with "Drucken"; line breaks "\r"
    EditTemperaments,     // the temperament table editor
};

struct ExampleStep {
    ExampleStepKind kind = ExampleStepKind::ProcessPendingEvents;
    QString caption;
    QString text;
    int number = 0;
    QList<QStringList> rows; // AppendRows: the cells of each row from column 0 on
};

// One menu entry: a separator has no caption and no steps.
struct ExampleEntry {
    QString caption;
    QList<ExampleStep> steps;

    bool IsSeparator() const { return caption.isEmpty(); }
    // The first piece text the entry loads; empty for help items and separators.
    QString PieceText() const;
};

struct ExampleMenu {
    QString title; // "Beispiele", "Theoriebeispiele", "Hilfe"
    QList<ExampleEntry> entries;
};

// The three menus in menu-bar order, entries in menu order with their separators.
const QList<ExampleMenu>& ExampleMenus();

// The captions of all examples of "Beispiele" and "Theoriebeispiele", in menu order.
QStringList ExampleCaptions();

// The example with exactly this caption (help items are not examples), or nullptr.
const ExampleEntry* FindExample(const QString& caption);

// What an entry needs from the main window. Every call corresponds to one step kind.
class ExampleHost {
public:
    virtual ~ExampleHost() = default;

    virtual PieceTable& Table() = 0;
    virtual void SetOnlyCompute(bool onlyCompute) = 0;
    virtual void ProcessPendingEvents() = 0;
    // The window's own pass over the table (target as for ComputePass); errors propagate.
    virtual void ComputePass(int target) = 0;
    virtual void PlayLastPiece() = 0;
    virtual void HideNotation() = 0;
    virtual void DrawWaveform(int scale) = 0;
    // Writes the column 4 header only; the display items of "Anzeige" also compute, this not.
    virtual void SetDisplayMode(const QString& mode) = 0;
    virtual void SetBassNotes(int bassNotes) = 0;
    virtual void ShowMessage(const QString& text) = 0;
    virtual void ShowText(const QString& caption, const QString& text) = 0;
    virtual void EditTemperaments() = 0;
};

// Carries out the entry's steps in order. An exception of a step (a pass that fails) ends the
// entry there and reaches the caller.
void RunExample(const ExampleEntry& entry, ExampleHost& host);

// Appends rows to the table the way the examples do: the first goes into the last row, which a
// freshly loaded table keeps empty, and the table grows so that one empty row remains at the end.
void AppendExampleRows(PieceTable& table, const QList<QStringList>& rows);

// What an example sets besides its rows, where it sets anything.
struct ExampleSettings {
    std::optional<TimbreTexts> timbre;  // its own "Klangfarbe" line (the last one wins)
    std::optional<QString> displayMode; // the column 4 header it writes
    std::optional<int> bassNotes;       // the staff notation's bass notes per chord
    bool operator==(const ExampleSettings&) const = default;
};

// Builds the table an example leaves behind in the menu: every piece text it loads and every
// block of rows it appends, in order, so that rows too long for the piece text (the comma trap's
// later cycles) are there in full; its display mode is written into the header as well. What
// the example plays, shows or asks is not done. `table` is replaced row by row as the menu does
// it; its header keeps its display mode unless the example writes one. Every command that works
// on an example takes its table from here.
ExampleSettings BuildExampleTable(const ExampleEntry& entry, PieceTable& table);

// How many cells of the data rows are longer than their field of the piece text (key, duration
// and chord; columns 3 and 4 are never cut) and would be cut in a piece file.
int CutCellCount(const PieceTable& table);

// The piece file text of an example as "Speichern" writes it once the example's loading and
// appending steps have run (its own timbre line, or "Klangfarbe 75 50 30 15 10 5"). Cells longer
// than their field are cut, as in every piece file; `cutCells`, when given, receives how many.
QString ExamplePieceFileText(const ExampleEntry& entry, int* cutCells = nullptr);

} // namespace zk
