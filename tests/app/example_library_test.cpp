// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/example_library.h"
#include "common/locale_guard.h"
#include "common/qt_printers.h"
#include "engine/interval_analysis.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "piece/compute_pass.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "piece/recording_pass_host.h"
#include "support/program_files.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace zk {
namespace {

// Runs the entries against a real piece table and the real pass; everything else is logged.
class RecordingExampleHost : public ExampleHost {
public:
    PieceTable& Table() override { return table; }
    void SetOnlyCompute(bool only) override {
        settings.onlyCompute = only;
        Log("OnlyCompute", only ? 1 : 0);
    }
    void ProcessPendingEvents() override { Log("Events"); }
    void ComputePass(int target) override {
        Log("Pass", target);
        zk::ComputePass(target, table, scale, settings, pass);
    }
    void PlayLastPiece() override { Log("PlayLastPiece"); }
    void HideNotation() override { Log("HideNotation"); }
    void DrawWaveform(int scaleDivisor) override { Log("Waveform", scaleDivisor); }
    void SetDisplayMode(const QString& mode) override {
        table.SetDisplayMode(mode);
        log.append(QStringLiteral("DisplayMode ") + mode);
    }
    void SetBassNotes(int bassNotes) override { Log("BassNotes", bassNotes); }
    void ShowMessage(const QString& text) override {
        messages.append(text);
        Log("Message");
    }
    void ShowText(const QString& caption, const QString& text) override {
        texts.append({caption, text});
        Log("Text");
    }
    void EditTemperaments() override { Log("Temperaments"); }

    void Log(const char* what, std::optional<int> number = std::nullopt) {
        log.append(number ? QStringLiteral("%1 %2").arg(QLatin1String(what)).arg(*number)
                          : QString::fromLatin1(what));
    }

    PieceTable table;
    TemperamentList temperaments;
    TonartScale scale{&temperaments};
    PassSettings settings{true, 1};
    test::RecordingPassHost pass;
    QStringList log;
    QStringList messages;
    QList<std::pair<QString, QString>> texts;
};

const ExampleEntry& Example(const char* caption) {
    const ExampleEntry* entry = FindExample(QString::fromUtf8(caption));
    if (entry == nullptr) {
        throw std::runtime_error(std::string("no example ") + caption);
    }
    return *entry;
}

const ExampleEntry& HelpItem(const QString& caption) {
    for (const ExampleEntry& entry : ExampleMenus().at(2).entries) {
        if (entry.caption == caption) {
            return entry;
        }
    }
    throw std::runtime_error("no help item " + caption.toStdString());
}

// The first number of a frequency cell ("122,5 306,3 …" under a German locale).
double FirstFrequency(const QString& cell) {
    return test::German().toDouble(cell.section(u' ', 0, 0));
}

TEST(ExampleLibrary, MenusListTheirItemsInMenuOrder) {
    const std::pair<const char*, QStringList> expected[] = {
        {"Beispiele",
         {"Erstes Beispiel", "-", "Dreiklang rein", "Dreiklang gleichschwebend",
          "Dreiklang mitteltönig", "-", "Kadenz C-Dur", "Kadenz c-moll", "Kirnberger III",
          "Mitteltönig F-Dur As-Dur", "Harmonien", "Laudate", "Choral: Verleih uns Frieden",
          "Vom Himmel hoch ...", "Choral: Ach lieber Herre Jesu Christ"}},
        {"Theoriebeispiele",
         {"Diskantklausel", "Studien zum Dominatseptimeakkord",
          "Subdominantenparallele oder Doppelmolldominante", "Kommafalle", "Obertonreihe",
          "Der Quintenzirkel", "C-Dur-Tonleiter", "c-moll-Tonleiter", "Dur-Intervalle",
          "Moll-Intervalle", "Moll-Intervalle (harm.)", "mitteltönig 1/4",
          "mitteltönig Kloster Kirchberg", "chromatische Intervalle", "Modulationen"}},
        {"Hilfe",
         {"Über Zirkelon", "Was kann Zirkelon?", "Wozu wurde Zirkelon entwickelt?", "Anleitung",
          "Tonbezeichnungen", "Intervallbezeichnungen", "Tonarten automatisch", "mitteltönig"}},
    };
    const QList<ExampleMenu>& menus = ExampleMenus();
    ASSERT_EQ(menus.size(), 3);
    QStringList examples;
    for (int m = 0; m < 3; ++m) {
        EXPECT_EQ(menus.at(m).title, QString::fromUtf8(expected[m].first));
        QStringList captions;
        for (const ExampleEntry& entry : menus.at(m).entries) {
            captions.append(entry.IsSeparator() ? QStringLiteral("-") : entry.caption);
            EXPECT_EQ(entry.IsSeparator(), entry.steps.isEmpty()) << entry.caption.toStdString();
        }
        EXPECT_EQ(captions, expected[m].second);
        if (m < 2) {
            examples += captions.filter(QRegularExpression(QStringLiteral("^[^-]")));
        }
    }
    EXPECT_EQ(ExampleCaptions(), examples);
    EXPECT_EQ(FindExample(QStringLiteral("Anleitung")), nullptr);
    EXPECT_EQ(FindExample(QStringLiteral("kommafalle")), nullptr);
    EXPECT_EQ(FindExample(QString()), nullptr);
}

// Every piece line has its texts at the field starts 1, 6, 11, 27 and 52: rebuilding the line
// from the loaded cells gives it back (trailing blanks aside), so no text has moved a column.
TEST(ExampleLibrary, PieceTextsKeepTheirFieldColumns) {
    for (const QString& caption : ExampleCaptions()) {
        for (const ExampleStep& step : FindExample(caption)->steps) {
            if (step.kind != ExampleStepKind::LoadPieceText) {
                continue;
            }
            const QStringList lines = SplitLines(step.text);
            ASSERT_FALSE(lines.isEmpty());
            for (qsizetype i = 0; i < lines.size(); ++i) {
                const QString& line = lines.at(i);
                if (i == 0 && line.startsWith(QStringLiteral("TA"))) {
                    continue;
                }
                PieceTable table;
                LoadPieceText(table, line);
                QString rebuilt;
                for (int column = 0; column < 3; ++column) {
                    rebuilt += table.Cell(column, 1).leftJustified(kPieceColumnWidths[column]);
                }
                const QString third = table.Cell(3, 1);
                rebuilt += third.size() >= 25 ? third : third.leftJustified(25);
                rebuilt += table.Cell(4, 1);
                while (rebuilt.endsWith(u' ')) {
                    rebuilt.chop(1);
                }
                EXPECT_EQ(rebuilt, line) << caption.toStdString() << " line " << i;
                EXPECT_FALSE(line.endsWith(u' ')) << caption.toStdString() << " line " << i;
            }
        }
    }
}

// Every example, with its own steps, loads and then computes without an error; each row with a
// chord gets its frequencies from the pass (the pass ends each tone's text with a blank).
TEST(ExampleLibrary, EveryExampleLoadsAndComputes) {
    test::LocaleGuard german(test::German());
    for (const QString& caption : ExampleCaptions()) {
        RecordingExampleHost host;
        ASSERT_NO_THROW(RunExample(*FindExample(caption), host)) << caption.toStdString();
        host.settings.onlyCompute = true;
        ASSERT_NO_THROW(zk::ComputePass(0, host.table, host.scale, host.settings, host.pass))
            << caption.toStdString();
        int chordRows = 0;
        for (int row = 1; row < host.table.RowCount(); ++row) {
            const QString chord = host.table.Cell(PieceTable::kChordColumn, row);
            if (chord.isEmpty()) {
                continue;
            }
            ++chordRows;
            const QString frequencies = host.table.Cell(PieceTable::kFrequencyColumn, row);
            EXPECT_TRUE(frequencies.endsWith(u' ') && FirstFrequency(frequencies) > 0)
                << caption.toStdString() << " row " << row << " " << chord.toStdString() << ": "
                << frequencies.toStdString();
        }
        EXPECT_GT(chordRows, 0) << caption.toStdString();
        EXPECT_TRUE(host.table.Cell(PieceTable::kChordColumn, host.table.RowCount() - 1).isEmpty())
            << caption.toStdString();
    }
}

// Cells as loaded: texts, keys and durations in their columns, comments split at column 27
// and 52 even where the comment runs on from column 3 into column 4.
TEST(ExampleLibrary, SpotChecksOfLoadedRows) {
    struct Case {
        const char* example;
        int row;
        std::array<const char*, 5> cells;
    };
    const Case cases[] = {
        {"Kadenz C-Dur", 1, {"c", "4", "ce1gc", "", ""}},
        {"Kadenz C-Dur", 7, {"", "", "", "G (Groß G) eine", "Oktave tiefer wie g (klein g)"}},
        {"Dreiklang rein", 4, {"", "", "", "", "die folgenden Töne werden imm höher gespielt"}},
        {"Mitteltönig F-Dur As-Dur", 11, {"", "8", "", "wohltemperiert", ""}},
        {"Studien zum Dominatseptimeakkord",
         8,
         {"c", "", "g1hdf+g", "396 495 594 712,8 792", "5/4 6/5 6/5 10/9"}},
        {"Subdominantenparallele oder Doppelmolldominante",
         12,
         {"", "", "", "ffad ist Doppelmolldomina", "nte"}},
        {"Choral: Verleih uns Frieden",
         5,
         {"", "", "", "C- >a-moll- >A-Dur      M", "odulation Subdominantisch"}},
        {"Choral: Verleih uns Frieden", 21, {"", "", "", "", ""}},
        {"Choral: Ach lieber Herre Jesu Christ", 18, {"g", "12", "Ghg1g1.", "", ""}},
        {"Kommafalle", 3, {"", "", "", "Im 4. Akkord müßte das", "d um ein Komma gerückt werden."}},
        {"Obertonreihe", 78, {"", "", "C2C2:64", "", ""}},
        {"mitteltönig Kloster Kirchberg", 1, {"mA", "", "", "", "wohlklingend"}},
        {"Modulationen", 3, {"c", "", "cdef", "132 148,5 165 176", "G  G-   H"}},
        {"Der Quintenzirkel", 13, {"e#", "", "e#h#", "", ""}},
        {"chromatische Intervalle", 35, {"", "", "", "zusammen gT = große Terz", ""}},
    };
    for (const Case& c : cases) {
        PieceTable table;
        LoadPieceText(table, Example(c.example).PieceText());
        for (int column = 0; column < 5; ++column) {
            EXPECT_EQ(table.Cell(column, c.row), QString::fromUtf8(c.cells[column]))
                << c.example << " row " << c.row << " column " << column;
        }
    }
}

TEST(ExampleLibrary, FirstExamplePlaysTheCadenceThenLoadsItInEqualTemperament) {
    test::LocaleGuard german(test::German());
    RecordingExampleHost host;
    RunExample(Example("Erstes Beispiel"), host);
    EXPECT_EQ(host.log, QStringList({"OnlyCompute 0", "Events", "Message", "Pass 0",
                                     "PlayLastPiece", "HideNotation", "Waveform 100", "Message"}));
    ASSERT_EQ(host.messages.size(), 2);
    EXPECT_EQ(host.messages.at(0),
              QStringLiteral("Das Stück wird jetzt gleich gespielt.\rAbbruch mit \"Stop\"!\rBei "
                             "den anderen Beispielen bitte Menu \"Spielen\" ausswählen.\r\rSpielen "
                             "Sie dasselbe zum 2. Mal, entfallen die Berechnungspausen.\rVerwenden "
                             "Sie dann das Menü \"Spielen|Spiele das letzte Stück "
                             "zusammenhängend\"!"));
    EXPECT_TRUE(host.messages.at(1).startsWith(
        QStringLiteral("TA c bedeutet c-Dur rein   mit c1 = 264 Hz a1 = 440 Hz\rTA m@ bedeutet")));
    EXPECT_TRUE(host.messages.at(1).endsWith(
        QStringLiteral("\r\rJetzt bitte Menu \"Spielen|Spiele\" anklicken!\rDann bitte "
                       "\"Spielen|Spiele das letzte Stück zusammenhängend\" anklicken!")));

    // The pass played the four chords of the cadence, quarter notes at tempo 80.
    ASSERT_EQ(host.pass.played.size(), 4);
    const long double first[] = {132, 330, 396, 528};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(static_cast<double>(host.pass.played.at(0).frequencies[i]),
                    static_cast<double>(first[i]), 1e-9);
    }
    for (const auto& played : host.pass.played) {
        EXPECT_EQ(played.dauer, 92);
    }

    // The table now holds the extended cadence: the pause and the cadence in key "m@".
    EXPECT_EQ(host.table.RowCount(), 17);
    EXPECT_EQ(host.table.Cell(PieceTable::kFrequencyColumn, 9), QStringLiteral("Pause"));
    EXPECT_EQ(host.table.Cell(PieceTable::kKeyColumn, 10), QStringLiteral("m@"));
    EXPECT_EQ(host.table.Cell(PieceTable::kDurationColumn, 10), QStringLiteral("8"));
    EXPECT_EQ(host.table.Cell(PieceTable::kChordColumn, 14), QStringLiteral("ce1gc."));
    EXPECT_TRUE(host.table.Cell(PieceTable::kFrequencyColumn, 1).isEmpty());
}

TEST(ExampleLibrary, StepsOfTheOtherExamples) {
    const QString all = QStringLiteral("DisplayMode ") + kModeAll;
    const std::pair<const char*, QStringList> cases[] = {
        {"Kadenz C-Dur", {"OnlyCompute 0", "Events"}},
        {"Dreiklang rein", {"Pass 0"}},
        {"Dreiklang gleichschwebend", {"Pass 0"}},
        {"Dreiklang mitteltönig", {"Pass 0"}},
        {"Mitteltönig F-Dur As-Dur", {"BassNotes 1"}},
        {"Studien zum Dominatseptimeakkord", {"BassNotes 0"}},
        {"Dur-Intervalle", {all}},
        {"Moll-Intervalle", {all}},
        {"Moll-Intervalle (harm.)", {all}},
        {"chromatische Intervalle", {all}},
        {"Kommafalle", {}},
        {"Laudate", {}},
        {"Modulationen", {}},
    };
    for (const auto& [caption, log] : cases) {
        RecordingExampleHost host;
        RunExample(Example(caption), host);
        EXPECT_EQ(host.log, log) << caption;
    }
    // The display mode is written before the piece is loaded, and stays.
    RecordingExampleHost host;
    RunExample(Example("Dur-Intervalle"), host);
    EXPECT_EQ(host.table.DisplayMode(), kModeAll);
    EXPECT_EQ(host.table.Cell(PieceTable::kChordColumn, 2), QStringLiteral("cd"));
    EXPECT_EQ(host.table.Cell(PieceTable::kKeyColumn, 2), QStringLiteral("c"));
}

TEST(ExampleLibrary, CommaTrapAppendsFourCyclesAndTheStartingChord) {
    test::LocaleGuard german(test::German());
    const ExampleEntry& entry = Example("Kommafalle");
    ASSERT_EQ(entry.steps.size(), 5);
    EXPECT_EQ(entry.steps.at(0).kind, ExampleStepKind::LoadPieceText);
    const int blockSizes[] = {6, 6, 6, 7};
    RecordingExampleHost host;
    LoadPieceText(host.table, entry.steps.at(0).text);
    EXPECT_EQ(host.table.RowCount(), 21);
    for (int k = 0; k < 4; ++k) {
        const ExampleStep& step = entry.steps.at(k + 1);
        ASSERT_EQ(step.kind, ExampleStepKind::AppendRows);
        ASSERT_EQ(step.rows.size(), blockSizes[k]);
        const int before = host.table.RowCount();
        AppendExampleRows(host.table, step.rows);
        EXPECT_EQ(host.table.RowCount(), before + blockSizes[k]);
        // The cycle starts in the row that was the last (empty) one.
        EXPECT_EQ(host.table.Cell(PieceTable::kChordColumn, before - 1),
                  QStringLiteral("c%1e1%1g%1c%1").arg(QString(k + 2, u'-')));
    }
    EXPECT_EQ(host.table.RowCount(), 46);
    EXPECT_EQ(host.table.Cell(PieceTable::kChordColumn, 41),
              QStringLiteral("g------d------g------h------"));
    EXPECT_EQ(host.table.Cell(PieceTable::kDurationColumn, 43), QStringLiteral("4"));
    EXPECT_EQ(host.table.Cell(PieceTable::kChordColumn, 44), QStringLiteral("ce1gc"));

    // Six cycles later the cadence has sunk by six syntonic commas; the final chord is the start.
    ComputePass(0, host.table, host.scale, host.settings, host.pass);
    EXPECT_NEAR(FirstFrequency(host.table.Cell(PieceTable::kFrequencyColumn, 42)),
                132 * std::pow(80.0 / 81.0, 6), 0.05);
    EXPECT_EQ(host.table.Cell(PieceTable::kFrequencyColumn, 43), QString());
    EXPECT_EQ(host.table.Cell(PieceTable::kFrequencyColumn, 44),
              QStringLiteral("132 330 396 528 "));
    EXPECT_EQ(host.table.Cell(PieceTable::kFrequencyColumn, 8), QStringLiteral("132 330 396 528 "));
}

// The table the commands take is the one the menu leaves: every row and every cell the pass
// does not write, the header and the row count.
TEST(ExampleLibrary, BuiltTableIsTheMenusTable) {
    test::LocaleGuard german(test::German());
    for (const QString& caption : ExampleCaptions()) {
        const ExampleEntry& entry = *FindExample(caption);
        RecordingExampleHost menu;
        RunExample(entry, menu);
        PieceTable table;
        BuildExampleTable(entry, table);
        ASSERT_EQ(table.RowCount(), menu.table.RowCount()) << caption.toStdString();
        // The triads are computed at once in the menu: columns 3 and 4 of their chord rows are
        // the pass's, not the example's.
        const bool computed = !menu.log.filter(QStringLiteral("Pass")).isEmpty();
        for (int row = 0; row < table.RowCount(); ++row) {
            const bool passWrote =
                computed && row > 0 && !table.Cell(PieceTable::kChordColumn, row).isEmpty();
            for (int column = 0; column < (passWrote ? 3 : 5); ++column) {
                EXPECT_EQ(table.Cell(column, row), menu.table.Cell(column, row))
                    << caption.toStdString() << " row " << row << " column " << column;
            }
        }
    }
}

TEST(ExampleLibrary, BuiltTableSettings) {
    const struct {
        const char* example;
        ExampleSettings settings;
    } cases[] = {
        {"Kommafalle", {}},
        {"Erstes Beispiel", {}},
        {"Dur-Intervalle", {std::nullopt, kModeAll, std::nullopt}},
        {"chromatische Intervalle", {std::nullopt, kModeAll, std::nullopt}},
        {"Mitteltönig F-Dur As-Dur", {std::nullopt, std::nullopt, 1}},
        {"Studien zum Dominatseptimeakkord", {std::nullopt, std::nullopt, 0}},
    };
    for (const auto& c : cases) {
        PieceTable table;
        EXPECT_EQ(BuildExampleTable(Example(c.example), table), c.settings) << c.example;
    }
    // A timbre line of a loaded piece text is kept, also when a later text has none; the steps
    // that play or show change nothing.
    const auto step = [](ExampleStepKind kind, const char* text = "") {
        ExampleStep made;
        made.kind = kind;
        made.text = QString::fromUtf8(text);
        return made;
    };
    ExampleStep append = step(ExampleStepKind::AppendRows);
    append.rows = {{"", "", "gdh"}};
    const ExampleEntry entry{
        QStringLiteral("Probe"),
        {step(ExampleStepKind::LoadPieceText, "Klangfarbe 1 2 3 4 5 6\r\nc    4    ceg\r\n"),
         step(ExampleStepKind::ComputePass),
         step(ExampleStepKind::LoadPieceText, "     8    fac\r\n"), append,
         step(ExampleStepKind::ShowMessage, "Hallo")}};
    PieceTable table;
    const ExampleSettings settings = BuildExampleTable(entry, table);
    EXPECT_EQ(settings.timbre, (TimbreTexts{"1", "2", "3", "4", "5", "6"}));
    ASSERT_EQ(table.RowCount(), 4);
    EXPECT_EQ(table.Cell(PieceTable::kChordColumn, 1), QStringLiteral("fac"));
    EXPECT_EQ(table.Cell(PieceTable::kChordColumn, 2), QStringLiteral("gdh"));
    EXPECT_TRUE(table.Cell(PieceTable::kFrequencyColumn, 1).isEmpty());
}

TEST(ExampleLibrary, AppendedRowsNeverOverwriteAFilledLastRow) {
    PieceTable table;
    table.SetRowCount(3);
    table.SetCell(PieceTable::kChordColumn, 2, QStringLiteral("ceg"));
    AppendExampleRows(table, {{"", "4"}, {"", "", "fac"}});
    EXPECT_EQ(table.RowCount(), 6);
    EXPECT_EQ(table.Cell(PieceTable::kChordColumn, 2), QStringLiteral("ceg"));
    EXPECT_EQ(table.Cell(PieceTable::kDurationColumn, 3), QStringLiteral("4"));
    EXPECT_EQ(table.Cell(PieceTable::kChordColumn, 4), QStringLiteral("fac"));
    EXPECT_TRUE(table.Cell(PieceTable::kChordColumn, 5).isEmpty());
}

TEST(ExampleLibrary, HelpTextsLineForLine) {
    struct Case {
        const char* item;
        const char* dialogCaption;
        int lines;
        int line;
        std::string text; // the line with its leading blanks
    };
    const Case cases[] = {
        {"Was kann Zirkelon?", "Was kann Zirkelon?", 15, 1,
         "                   (siehe Menü \"Einzelklang\")"},
        {"Wozu wurde Zirkelon entwickelt?", "Was kann Zirkelon?", 112, 29,
         "                                                           --- (\"d\"->\"d-\")"},
        {"Anleitung", "Anleitung", 64, 15,
         "     c         -> g (\"f\" ändert sich in \"fis\", \"a\" in \"a+\") ->d (\"c\" ändert "
         "sich in \"c+\")"},
        {"Anleitung", "Anleitung", 64, 63,
         std::string(50, ' ').append("zwei Quinten und eine Terz hoch.")},
        {"Tonbezeichnungen", "Tonbezeichnungen: siehe Beispiel \"Tonleiter\"", 20, 3,
         "                   Pyth. Komma            Komma,Hochkomma"},
        {"Intervallbezeichnungen", "Intervalle", 16, 6, "          Quart   = q  (4/3)"},
        {"Intervallbezeichnungen", "Intervalle", 16, 15,
         "  übermäßge   Quart = üq (~fh) (45/32) wie in C-Dur f-h"},
        {"Tonarten automatisch", "Tonarten automatisch setzen", 42, 14,
         "  kostet 10 (unrein: mehr als 1 Cent neben 6/5, 5/4, 4/3, 3/2, 8/5 oder 5/3);"},
    };
    for (const Case& c : cases) {
        RecordingExampleHost host;
        RunExample(HelpItem(QString::fromUtf8(c.item)), host);
        ASSERT_EQ(host.texts.size(), 1) << c.item;
        EXPECT_EQ(host.texts.at(0).first, QString::fromUtf8(c.dialogCaption));
        const QStringList lines = host.texts.at(0).second.split(u'\r');
        ASSERT_EQ(lines.size(), c.lines) << c.item;
        EXPECT_EQ(lines.at(c.line), QString::fromStdString(c.text)) << c.item << " line " << c.line;
    }
    RecordingExampleHost about;
    RunExample(HelpItem(QStringLiteral("Über Zirkelon")), about);
    ASSERT_EQ(about.texts.size(), 1);
    EXPECT_EQ(about.texts.at(0).first, QStringLiteral("Über Zirkelon"));
    EXPECT_FALSE(about.texts.at(0).second.contains(u'\n'));

    RecordingExampleHost temperaments;
    RunExample(HelpItem(QStringLiteral("mitteltönig")), temperaments);
    EXPECT_EQ(temperaments.log, QStringList{"Temperaments"});
}

struct CliResult {
    int status;
    QString out;
    QString err;
};

CliResult RunExampleCommand(const QStringList& args) {
    cli::Io io;
    const int status = cli::Run(QStringList{"example"} + args, io);
    return {status, io.out, io.err};
}

TEST(ExampleCommand, ListsTheCaptionsAndRejectsAnUnknownName) {
    const CliResult list = RunExampleCommand({});
    EXPECT_EQ(list.status, cli::kExitOk);
    EXPECT_TRUE(list.err.isEmpty());
    const QStringList lines = list.out.split(u'\n');
    ASSERT_EQ(lines.size(), 29); // 28 captions and the final line break
    EXPECT_EQ(lines.first(), QStringLiteral("Erstes Beispiel"));
    EXPECT_EQ(lines.at(27), QStringLiteral("Modulationen"));
    EXPECT_TRUE(lines.last().isEmpty());
    EXPECT_TRUE(lines.contains(QStringLiteral("Kommafalle")));

    const CliResult result = RunExampleCommand({"Kadenz D-Dur"});
    EXPECT_EQ(result.status, cli::kExitUserError);
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_EQ(result.err, QStringLiteral("Unbekanntes Beispiel \"Kadenz D-Dur\". \"zirkelon "
                                         "example\" zeigt alle Beispiele.\n"));
    EXPECT_EQ(RunExampleCommand({"Anleitung"}).status, cli::kExitUserError);
}

TEST(ExampleCommand, PrintsAnExampleAsAPieceFile) {
    const QString blanks25(25, u' ');
    const QString expected =
        QStringLiteral("Klangfarbe 75 50 30 15 10 5\r\n") +
        QStringLiteral("~    16   a1c#e1          ") + blanks25 + QStringLiteral("\r\n") +
        QString(26, u' ') +
        QStringLiteral("~  bedeutet              gleichschwebende Stimmung\r\n") +
        QString(51, u' ') + QStringLiteral("\r\n") + QString(51, u' ') + QStringLiteral("\r\n");
    const CliResult quoted = RunExampleCommand({"Dreiklang gleichschwebend"});
    EXPECT_EQ(quoted.status, cli::kExitOk);
    EXPECT_EQ(quoted.out, expected);
    EXPECT_TRUE(quoted.err.isEmpty());
    // Unquoted, the words of the caption arrive one by one; "--" may end the (absent) options.
    EXPECT_EQ(RunExampleCommand({"Dreiklang", "gleichschwebend"}).out, expected);
    EXPECT_EQ(RunExampleCommand({"--", "Dreiklang", "gleichschwebend"}).out, expected);
    EXPECT_EQ(RunExampleCommand({"--"}).out, RunExampleCommand({}).out);
}

TEST(ExampleCommand, CommaTrapIncludesTheAppendedCyclesAndSaysWhatWasCut) {
    const CliResult result = RunExampleCommand({"Kommafalle"});
    EXPECT_EQ(result.status, cli::kExitOk);
    const QStringList lines = result.out.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 1 + 45 + 1);
    EXPECT_EQ(lines.at(44), QStringLiteral("          ce1gc           ") + QString(25, u' '));
    EXPECT_EQ(lines.at(38), QStringLiteral("          c-----e1-----g--") + QString(25, u' '));
    EXPECT_TRUE(result.err.startsWith(QStringLiteral("Hinweis: 15 Einträge")));
    // The note points to the uncut way.
    EXPECT_TRUE(result.err.contains(QStringLiteral("--example NAME"))) << result.err.toStdString();
}

} // namespace
} // namespace zk
