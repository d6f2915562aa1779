// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/example_library.h"

#include "engine/interval_analysis.h"
#include "piece/piece_file.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "sound/timbre.h"
#include "support/errors.h"

#include <QFile>

#include <algorithm>

// The resources live in the static app library; they register themselves only when asked to.
static void InitExampleResources() {
    Q_INIT_RESOURCE(examples);
}

namespace zk {

namespace {

// The lines of a resource text (UTF-8, LF); the line break at the very end ends the last line.
QStringList ResourceLines(const QString& name) {
    static const bool registered = (InitExampleResources(), true);
    Q_UNUSED(registered);
    QFile file(QStringLiteral(":/examples/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        throw Error(QStringLiteral("Der eingebaute Text \"%1\" fehlt.").arg(name));
    }
    QString text = QString::fromUtf8(file.readAll());
    text.remove(u'\r');
    if (text.endsWith(u'\n')) {
        text.chop(1);
    }
    return text.split(u'\n');
}

// A piece text as a piece file holds it: every line ends with CR LF.
QString PieceResource(const QString& name) {
    QString text;
    for (const QString& line : ResourceLines(name)) {
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

// A message or help text: lines separated by "\r", as the dialogs expect them.
QString DialogResource(const QString& name) {
    return ResourceLines(name).join(u'\r');
}

// Rows to append: cells separated by "|", a block of rows per step, blocks separated by an
// empty line.
QList<QList<QStringList>> RowBlocksResource(const QString& name) {
    QList<QList<QStringList>> blocks(1);
    for (const QString& line : ResourceLines(name)) {
        if (line.isEmpty()) {
            blocks.append(QList<QStringList>());
        } else {
            blocks.last().append(line.split(u'|'));
        }
    }
    blocks.removeIf([](const QList<QStringList>& block) { return block.isEmpty(); });
    return blocks;
}

ExampleStep Step(ExampleStepKind kind, int number = 0, const QString& text = {}) {
    ExampleStep step;
    step.kind = kind;
    step.number = number;
    step.text = text;
    return step;
}

ExampleStep Load(const char* file) {
    return Step(ExampleStepKind::LoadPieceText, 0, PieceResource(QLatin1String(file)));
}

ExampleStep Message(const char* file) {
    return Step(ExampleStepKind::ShowMessage, 0, DialogResource(QLatin1String(file)));
}

ExampleStep Help(const QString& caption, const char* file) {
    ExampleStep step = Step(ExampleStepKind::ShowText, 0, DialogResource(QLatin1String(file)));
    step.caption = caption;
    return step;
}

ExampleEntry Entry(const char* caption, QList<ExampleStep> steps) {
    return {QString::fromUtf8(caption), std::move(steps)};
}

// Loads the piece and nothing else.
ExampleEntry Piece(const char* caption, const char* file) {
    return Entry(caption, {Load(file)});
}

ExampleEntry Separator() {
    return {};
}

// The cadence in C: the window plays it next (or the user does).
QList<ExampleStep> CadenceSteps() {
    return {Load("kadenz_c_dur.txt"), Step(ExampleStepKind::SetOnlyCompute, 0),
            Step(ExampleStepKind::ProcessPendingEvents)};
}

// The guided first demonstration: the cadence is played chord by chord, then as one sound and
// as a waveform; then the same cadence follows in equal temperament for the user to play.
ExampleEntry FirstExample() {
    QList<ExampleStep> steps = CadenceSteps();
    steps.append(Message("erstes_beispiel_hinweis.txt"));
    steps.append(Step(ExampleStepKind::ComputePass, 0)); // plays the cadence chord by chord
    steps.append(Step(ExampleStepKind::PlayLastPiece));
    steps.append(Step(ExampleStepKind::HideNotation));
    steps.append(Step(ExampleStepKind::DrawWaveform, 100));
    steps.append(Load("kadenz_c_dur_erweitert.txt"));
    steps.append(Message("erstes_beispiel_gleichstufig.txt"));
    return Entry("Erstes Beispiel", steps);
}

// A triad that is computed as soon as it is loaded.
ExampleEntry Triad(const char* caption, const char* file) {
    return Entry(caption, {Load(file), Step(ExampleStepKind::ComputePass, 0)});
}

ExampleEntry WithBassNotes(const char* caption, const char* file, int bassNotes) {
    return Entry(caption, {Load(file), Step(ExampleStepKind::SetBassNotes, bassNotes)});
}

// The interval tables show everything the program knows about each interval.
ExampleEntry Intervals(const char* caption, const char* file) {
    return Entry(caption, {Step(ExampleStepKind::SetDisplayMode, 0, kModeAll), Load(file)});
}

// The comma trap: two cycles fit the piece text; the further four cycles, whose chords carry
// more comma marks than the chord field holds, are appended to the table.
ExampleEntry CommaTrap() {
    QList<ExampleStep> steps = {Load("kommafalle.txt")};
    for (const QList<QStringList>& block :
         RowBlocksResource(QStringLiteral("kommafalle_anhang.txt"))) {
        ExampleStep step = Step(ExampleStepKind::AppendRows);
        step.rows = block;
        steps.append(step);
    }
    return Entry("Kommafalle", steps);
}

QList<ExampleMenu> BuildMenus() {
    const ExampleMenu beispiele = {
        QStringLiteral("Beispiele"),
        {
            FirstExample(),
            Separator(),
            Triad("Dreiklang rein", "dreiklang_rein.txt"),
            Triad("Dreiklang gleichschwebend", "dreiklang_gleichschwebend.txt"),
            Triad("Dreiklang mitteltönig", "dreiklang_mitteltoenig.txt"),
            Separator(),
            Entry("Kadenz C-Dur", CadenceSteps()),
            Piece("Kadenz c-moll", "kadenz_c_moll.txt"),
            Piece("Kirnberger III", "kirnberger_iii.txt"),
            WithBassNotes("Mitteltönig F-Dur As-Dur", "mitteltoenig_f_dur_as_dur.txt", 1),
            Piece("Harmonien", "harmonien.txt"),
            Piece("Laudate", "laudate.txt"),
            Piece("Choral: Verleih uns Frieden", "choral_verleih_uns_frieden.txt"),
            Piece("Vom Himmel hoch ...", "vom_himmel_hoch.txt"),
            Piece("Choral: Ach lieber Herre Jesu Christ", "choral_ach_lieber_herre.txt"),
        },
    };
    const ExampleMenu theorie = {
        QStringLiteral("Theoriebeispiele"),
        {
            Piece("Diskantklausel", "diskantklausel.txt"),
            WithBassNotes("Studien zum Dominatseptimeakkord", "studien_dominantseptakkord.txt", 0),
            Piece("Subdominantenparallele oder Doppelmolldominante", "subdominantenparallele.txt"),
            CommaTrap(),
            Piece("Obertonreihe", "obertonreihe.txt"),
            Piece("Der Quintenzirkel", "quintenzirkel.txt"),
            Piece("C-Dur-Tonleiter", "c_dur_tonleiter.txt"),
            Piece("c-moll-Tonleiter", "c_moll_tonleiter.txt"),
            Intervals("Dur-Intervalle", "dur_intervalle.txt"),
            Intervals("Moll-Intervalle", "moll_intervalle.txt"),
            Intervals("Moll-Intervalle (harm.)", "moll_intervalle_harm.txt"),
            Piece("mitteltönig 1/4", "mitteltoenig_viertel.txt"),
            Piece("mitteltönig Kloster Kirchberg", "mitteltoenig_kloster_kirchberg.txt"),
            Intervals("chromatische Intervalle", "chromatische_intervalle.txt"),
            Piece("Modulationen", "modulationen.txt"),
        },
    };
    const QString wasKann = QStringLiteral("Was kann Zirkelon?");
    const ExampleMenu hilfe = {
        QStringLiteral("Hilfe"),
        {
            Entry("Über Zirkelon",
                  {Help(QStringLiteral("Über Zirkelon"), "help_ueber_zirkelon.txt")}),
            Entry("Was kann Zirkelon?", {Help(wasKann, "help_was_kann_zirkelon.txt")}),
            Entry("Wozu wurde Zirkelon entwickelt?", {Help(wasKann, "help_wozu_zirkelon.txt")}),
            Entry("Anleitung", {Help(QStringLiteral("Anleitung"), "help_anleitung.txt")}),
            Entry("Tonbezeichnungen",
                  {Help(QStringLiteral("Tonbezeichnungen: siehe Beispiel \"Tonleiter\""),
                        "help_tonbezeichnungen.txt")}),
            Entry("Intervallbezeichnungen",
                  {Help(QStringLiteral("Intervalle"), "help_intervallbezeichnungen.txt")}),
            Entry("Tonarten automatisch", {Help(QStringLiteral("Tonarten automatisch setzen"),
                                                "help_tonarten_automatisch.txt")}),
            Entry("mitteltönig", {Step(ExampleStepKind::EditTemperaments)}),
        },
    };
    return {beispiele, theorie, hilfe};
}

bool IsExampleMenu(const ExampleMenu& menu) {
    return menu.title != u"Hilfe";
}

} // namespace

QString ExampleEntry::PieceText() const {
    for (const ExampleStep& step : steps) {
        if (step.kind == ExampleStepKind::LoadPieceText) {
            return step.text;
        }
    }
    return {};
}

const QList<ExampleMenu>& ExampleMenus() {
    static const QList<ExampleMenu> menus = BuildMenus();
    return menus;
}

QStringList ExampleCaptions() {
    QStringList captions;
    for (const ExampleMenu& menu : ExampleMenus()) {
        if (!IsExampleMenu(menu)) {
            continue;
        }
        for (const ExampleEntry& entry : menu.entries) {
            if (!entry.IsSeparator()) {
                captions.append(entry.caption);
            }
        }
    }
    return captions;
}

const ExampleEntry* FindExample(const QString& caption) {
    if (caption.isEmpty()) {
        return nullptr;
    }
    for (const ExampleMenu& menu : ExampleMenus()) {
        if (!IsExampleMenu(menu)) {
            continue;
        }
        for (const ExampleEntry& entry : menu.entries) {
            if (entry.caption == caption) {
                return &entry;
            }
        }
    }
    return nullptr;
}

void AppendExampleRows(PieceTable& table, const QList<QStringList>& rows) {
    // The last row is taken over only when it is empty, so nothing written there is lost.
    int first = std::max(table.RowCount() - 1, 1);
    for (int column = 0; column < PieceTable::kColumnCount; ++column) {
        if (first < table.RowCount() && !table.Cell(column, first).isEmpty()) {
            ++first;
            break;
        }
    }
    table.SetRowCount(first + static_cast<int>(rows.size()) + 1);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QStringList& cells = rows.at(i);
        const int count = std::min(static_cast<int>(cells.size()), PieceTable::kColumnCount);
        for (int column = 0; column < count; ++column) {
            table.SetCell(column, first + static_cast<int>(i), cells.at(column));
        }
    }
}

void RunExample(const ExampleEntry& entry, ExampleHost& host) {
    for (const ExampleStep& step : entry.steps) {
        switch (step.kind) {
        case ExampleStepKind::LoadPieceText:
            LoadPieceText(host.Table(), step.text);
            break;
        case ExampleStepKind::AppendRows:
            AppendExampleRows(host.Table(), step.rows);
            break;
        case ExampleStepKind::SetOnlyCompute:
            host.SetOnlyCompute(step.number != 0);
            break;
        case ExampleStepKind::ProcessPendingEvents:
            host.ProcessPendingEvents();
            break;
        case ExampleStepKind::ComputePass:
            host.ComputePass(step.number);
            break;
        case ExampleStepKind::PlayLastPiece:
            host.PlayLastPiece();
            break;
        case ExampleStepKind::HideNotation:
            host.HideNotation();
            break;
        case ExampleStepKind::DrawWaveform:
            host.DrawWaveform(step.number);
            break;
        case ExampleStepKind::SetDisplayMode:
            host.SetDisplayMode(step.text);
            break;
        case ExampleStepKind::SetBassNotes:
            host.SetBassNotes(step.number);
            break;
        case ExampleStepKind::ShowMessage:
            host.ShowMessage(step.text);
            break;
        case ExampleStepKind::ShowText:
            host.ShowText(step.caption, step.text);
            break;
        case ExampleStepKind::EditTemperaments:
            host.EditTemperaments();
            break;
        }
    }
}

ExampleSettings BuildExampleTable(const ExampleEntry& entry, PieceTable& table) {
    ExampleSettings settings;
    for (const ExampleStep& step : entry.steps) {
        switch (step.kind) {
        case ExampleStepKind::LoadPieceText:
            if (auto own = LoadPieceText(table, step.text)) {
                settings.timbre = std::move(own);
            }
            break;
        case ExampleStepKind::AppendRows:
            AppendExampleRows(table, step.rows);
            break;
        case ExampleStepKind::SetDisplayMode:
            table.SetDisplayMode(step.text);
            settings.displayMode = step.text;
            break;
        case ExampleStepKind::SetBassNotes:
            settings.bassNotes = step.number;
            break;
        case ExampleStepKind::SetOnlyCompute:
        case ExampleStepKind::ProcessPendingEvents:
        case ExampleStepKind::ComputePass:
        case ExampleStepKind::PlayLastPiece:
        case ExampleStepKind::HideNotation:
        case ExampleStepKind::DrawWaveform:
        case ExampleStepKind::ShowMessage:
        case ExampleStepKind::ShowText:
        case ExampleStepKind::EditTemperaments:
            break; // the menu's playing and showing; the table stays as it is
        }
    }
    return settings;
}

int CutCellCount(const PieceTable& table) {
    int count = 0;
    for (int row = 1; row < table.RowCount(); ++row) {
        for (int column = 0; column <= PieceTable::kChordColumn; ++column) {
            if (table.Cell(column, row).size() > kPieceColumnWidths[column]) {
                ++count;
            }
        }
    }
    return count;
}

QString ExamplePieceFileText(const ExampleEntry& entry, int* cutCells) {
    PieceTable table;
    const ExampleSettings settings = BuildExampleTable(entry, table);
    if (cutCells != nullptr) {
        *cutCells = CutCellCount(table);
    }
    return PieceFileText(table, settings.timbre.value_or(kOrgelTexts));
}

} // namespace zk
