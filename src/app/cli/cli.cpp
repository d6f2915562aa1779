// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"

#include "app/version.h"
#include "support/errors.h"

namespace zk::cli {

const QList<Command>& Commands() {
    static const QList<Command> commands = {
        {QStringLiteral("eval"), QStringLiteral("eval AUSDRUCK"),
         QStringLiteral("berechnet einen Rechenausdruck wie \"3/4\" oder \"440*3/2\""),
         EvalCommand},
        {QStringLiteral("example"), QStringLiteral("example [NAME]"),
         QStringLiteral("listet die eingebauten Beispiele auf; mit NAME wird das Beispiel als "
                        "Stückdatei ausgegeben"),
         ExampleCommand},
        {QStringLiteral("import"),
         QStringLiteral("import [--keys signature|equal|auto] [-o AUSGABE.txt] PARTITUR"),
         QStringLiteral("liest eine MusicXML-Partitur (.mxl, .musicxml, .xml) und gibt sie als "
                        "Stückdatei aus: je Zeitabschnitt zwischen zwei Notengrenzen eine Zeile "
                        "mit allen klingenden Tönen; signature (ohne Angabe) schreibt die Tonika "
                        "der Vorzeichen in die Spalte TA, equal überall \"~\" (gleichstufig); "
                        "was ausgelassen oder gekürzt wurde, steht auf der Fehlerausgabe"),
         ImportCommand},
        {QStringLiteral("compute"),
         QStringLiteral("compute [--display ID] [--decimals N] [--pitch HZ] [--tempo N] [--tsv] "
                        "[-o AUSGABE] [--keys signature|equal|auto] (DATEI | --example NAME)"),
         QStringLiteral("berechnet ein Stück und gibt die Tabelle als Stückdatei aus; ID: "
                        "ratios-adjacent, ratios, intervals-adjacent, intervals, cents, oqt, "
                        "steps, all; --tsv: je Zeile fünf durch Tabulatoren getrennte Felder, "
                        "ungekürzt, wobei Tabulator, Zeilenvorschub, Wagenrücklauf und \\ in einem "
                        "Feld als "
                        "\\t, \\n, \\r und \\\\ stehen"),
         ComputeCommand},
        {QStringLiteral("keycheck"),
         QStringLiteral("keycheck [--keys signature|equal|auto] (DATEI | --example NAME) ZEILE"),
         QStringLiteral("überprüft den Akkord einer Zeile in 25 Tonarten (kleinste Zahl = "
                        "reinste Intervalle)"),
         KeycheckCommand},
        {QStringLiteral("keys"),
         QStringLiteral("keys [--free] [--keep] [-o AUSGABE.txt] (DATEI | --example NAME)"),
         QStringLiteral("findet die Tonarten eines Stücks: jeder Akkord möglichst rein, gehaltene "
                        "Töne bleiben, und der Schluss kehrt zum Ausgangston zurück (mit --free "
                        "darf er wandern); --keep behält die Einträge der Spalte TA; gibt das "
                        "Stück als Stückdatei aus, den Bericht auf der Fehlerausgabe"),
         KeysCommand},
        {QStringLiteral("modulate"),
         QStringLiteral("modulate [--key TONART | --scale TONLEITER] OP..."),
         QStringLiteral("Modulationen berechnen: OP ist T t Q q m + - oder back (ein Schritt "
                        "zurück)"),
         ModulateCommand},
        {QStringLiteral("notation"),
         QStringLiteral(
             "notation [--bass v|0|1|2|3|4] -o AUSGABE.png [--keys signature|equal|auto] "
             "(DATEI | --example NAME)"),
         QStringLiteral("zeichnet die Noten eines Stücks als PNG-Bild; --bass: wie viele Töne "
                        "jedes Akkords im Bass stehen (v = variabel)"),
         NotationCommand},
        {QStringLiteral("drift"),
         QStringLiteral(
             "drift [--width B] [--height H] -o AUSGABE.png [--keys signature|equal|auto] "
             "(DATEI | --example NAME)"),
         QStringLiteral("rechnet ein Stück ohne Ton und zeichnet seine Kommadrift als PNG-Bild: "
                        "die Abweichung jeder Zeile in Cent gegenüber der ersten Tonart und den "
                        "Weg der Tonarten auf dem Tongitter; B und H in Bildpunkten, ohne Angabe "
                        "1200 und 600"),
         DriftCommand},
        {QStringLiteral("render"),
         QStringLiteral(
             "render [--timbre \"P1 P2 P3 P4 P5 P6\" | --sine | --square | --sawtooth] "
             "[--pitch HZ] [--tempo N] -o AUSGABE.wav [--keys signature|equal|auto] (DATEI | "
             "--example NAME)"),
         QStringLiteral("schreibt ein Stück als WAV-Datei (44100 Hz, 16 Bit, Stereo); ohne "
                        "Klangfarbe die des Stücks oder 75 50 30 15 10 5"),
         RenderCommand},
        {QStringLiteral("midi"),
         QStringLiteral("midi [--tuning bend|mts] [--program N] [--pitch HZ] [--tempo N] -o "
                        "AUSGABE.mid [--keys signature|equal|auto] (DATEI | --example NAME)"),
         QStringLiteral("schreibt ein Stück als MIDI-Datei mit seinen genauen Frequenzen: bend "
                        "(ohne Angabe) beugt jeden Ton auf einem eigenen Kanal, mts stimmt die "
                        "Tasten mit dem MIDI Tuning Standard; N: General-MIDI-Klang 0 bis 127, "
                        "ohne Angabe 19 (Kirchenorgel)"),
         MidiCommand},
        {QStringLiteral("play"),
         QStringLiteral("play [--loop] [--timbre \"P1 P2 P3 P4 P5 P6\" | --sine | --square | "
                        "--sawtooth] [--pitch HZ] [--tempo N] [--keys signature|equal|auto] (DATEI "
                        "| --example "
                        "NAME)"),
         QStringLiteral("spielt ein Stück über die Tonausgabe, mit --loop immer wieder"),
         PlayCommand},
        {QStringLiteral("waveform"),
         QStringLiteral(
             "waveform --scale N [--timbre \"P1 P2 P3 P4 P5 P6\" | --sine | --square | "
             "--sawtooth] [--pitch HZ] [--tempo N] -o AUSGABE.png [--keys signature|equal|auto] "
             "(DATEI | --example NAME)"),
         QStringLiteral("spielt ein Stück ohne Ton und zeichnet sein Schwingungsbild als PNG-Bild; "
                        "N: 1, 3, 10, 30, 100, 300 oder 1000 Abtastwerte je Bildpunkt"),
         WaveformCommand},
        {QStringLiteral("scala import"),
         QStringLiteral("scala import --code KÜRZEL [--name NAME] [--kbm ZUORDNUNG.kbm] "
                        "[--replace] DATEI.scl"),
         QStringLiteral("nimmt eine Scala-Tonleiter (.scl) mit zwölf Tönen je Oktave als Zeile "
                        "KÜRZEL (etwa mz) in die Stimmungsliste auf; ohne NAME den der "
                        "Beschreibung ohne Ziffern; eine vorhandene Zeile nur mit --replace"),
         ScalaImportCommand},
        {QStringLiteral("scala export"),
         QStringLiteral("scala export [--pitch HZ] (--code KÜRZEL | --row ZEILE [--keys "
                        "signature|equal|auto] (DATEI | --example NAME)) -o AUSGABE.scl"),
         QStringLiteral("schreibt eine Zeile der Stimmungsliste oder die zwölf Töne, die in einer "
                        "Zeile eines Stücks gelten, als Scala-Tonleiter und daneben die "
                        "Tastenzuordnung AUSGABE.kbm"),
         ScalaExportCommand},
    };
    return commands;
}

bool NeedsFonts(const QString& command) {
    return command == u"notation" || command == u"waveform" || command == u"drift";
}

bool OpensInWindow(const QStringList& args, QString& file) {
    if (args.size() == 2 && args.first() == u"--" && !args.last().isEmpty()) {
        file = args.last();
        return true;
    }
    if (args.size() != 1 || args.first().isEmpty() || args.first().startsWith(u'-')) {
        return false;
    }
    for (const Command& command : Commands()) {
        if (command.name.section(u' ', 0, 0) == args.first()) {
            return false; // "zirkelon play" without its file is a wrong call, not a file
        }
    }
    file = args.first();
    return true;
}

QString VersionText() {
    return QStringLiteral("Zirkelon %1 (Stand %2)\n")
        .arg(QLatin1String(kVersion), QLatin1String(kBuildDate));
}

QString HelpText() {
    QString text =
        QStringLiteral("Zirkelon - reine Stimmung hören und berechnen\n"
                       "\n"
                       "Aufruf:\n"
                       "  zirkelon                 startet das Programm mit seinen Fenstern\n"
                       "  zirkelon DATEI           startet es und öffnet die Stückdatei oder\n"
                       "                           Partitur DATEI\n"
                       "  zirkelon BEFEHL ...      arbeitet ohne Fenster auf der Kommandozeile\n"
                       "  zirkelon --help          zeigt diese Hilfe\n"
                       "  zirkelon BEFEHL --help   zeigt den Aufruf eines Befehls\n"
                       "  zirkelon --version       zeigt die Version\n"
                       "\n"
                       "Befehle:\n");
    for (const Command& command : Commands()) {
        text += QStringLiteral("  %1\n      %2\n").arg(command.usage, command.summary);
    }
    text += QStringLiteral(
        "\n"
        "DATEI ist eine Stückdatei oder eine MusicXML-Partitur (.mxl, .musicxml, .xml),\n"
        "\"-\" liest das Stück von der Standardeingabe. Eine Partitur wird wie mit \"import\"\n"
        "gelesen, aber ungekürzt; --keys wählt dann ihre Tonartenspalte. --keys auto\n"
        "findet die Tonarten jedes Stücks wie der Befehl \"keys\".\n"
        "--example NAME nimmt statt DATEI ein eingebautes Beispiel (\"zirkelon example\"\n"
        "listet sie auf), vollständig wie das Menü es lädt.\n"
        "\"--\" beendet die Optionen: was danach folgt, ist keine Option, auch wenn es mit\n"
        "\"-\" beginnt (eine Datei \"-x\", die Operation \"-\", der Ausdruck \"-2^2\").\n"
        "\n"
        "Zahlen werden mit dem Dezimaltrennzeichen der Spracheinstellung geschrieben\n"
        "(LC_ALL, LC_NUMERIC, LANG): unter deutscher Einstellung \"1,5\", sonst \"1.5\".\n"
        "Rückgabewert: 0 bei Erfolg, 1 bei fehlerhafter Eingabe, 2 bei falschem Aufruf.\n");
    return text;
}

namespace {

// Whether the user asks for help among a command's options; after "--" everything is an operand.
bool AsksForHelp(const QStringList& args) {
    for (const QString& arg : args) {
        if (arg == u"--") {
            return false;
        }
        if (arg == u"--help" || arg == u"-h") {
            return true;
        }
    }
    return false;
}

QString CommandHelp(const Command& command) {
    return QStringLiteral("Aufruf: zirkelon %1\n      %2\n").arg(command.usage, command.summary);
}

} // namespace

int UsageError(Io& io, const QString& command, const QString& message) {
    io.err += message + u'\n';
    for (const Command& known : Commands()) {
        if (known.name == command) {
            io.err += QStringLiteral("Aufruf: zirkelon %1\n").arg(known.usage);
        }
    }
    return kExitUsage;
}

int Run(const QStringList& args, Io& io) {
    if (args.isEmpty() || args.first() == u"--help" || args.first() == u"-h") {
        io.out += HelpText();
        return kExitOk;
    }
    if (args.first() == u"--version") {
        io.out += VersionText();
        return kExitOk;
    }
    for (const Command& command : Commands()) {
        // A sub-command's name is its words: "scala import" matches the arguments "scala",
        // "import".
        const QStringList words = command.name.split(u' ');
        if (args.mid(0, words.size()) == words) {
            if (AsksForHelp(args.mid(words.size()))) {
                io.out += CommandHelp(command);
                return kExitOk;
            }
            try {
                return command.run(args.mid(words.size()), io);
            } catch (const Error& error) {
                // One place reports every error a command did not expect.
                io.err += error.message() + u'\n';
                return kExitUserError;
            }
        }
    }
    QStringList subCommands;
    QString subCommandHelp;
    for (const Command& command : Commands()) {
        if (command.name.startsWith(args.first() + u' ')) {
            subCommands.append(command.name.section(u' ', 1));
            subCommandHelp += CommandHelp(command);
        }
    }
    if (!subCommands.isEmpty()) {
        if (AsksForHelp(args.mid(1))) {
            io.out += subCommandHelp;
            return kExitOk;
        }
        io.err += QStringLiteral("Nach \"%1\" folgt %2. \"zirkelon --help\" zeigt alle Befehle.\n")
                      .arg(args.first(), subCommands.join(QStringLiteral(" oder ")));
        return kExitUsage;
    }
    io.err += QStringLiteral("Unbekannter Befehl \"%1\". \"zirkelon --help\" zeigt alle Befehle.\n")
                  .arg(args.first());
    return kExitUsage;
}

} // namespace zk::cli
