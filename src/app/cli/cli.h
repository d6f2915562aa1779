// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The command line: `zirkelon COMMAND …` runs the program's core without windows, sound or
// questions. Each command reads its arguments, writes its result to `out` and German messages to
// `err`, and returns the exit status.

namespace zk::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUserError = 1; // bad input: a German message on stderr
inline constexpr int kExitUsage = 2;     // wrong usage: unknown command or option, missing argument

struct Io {
    QString out;
    QString err;
    // Bytes written to standard input for commands that read "-" (tests fill it).
    std::function<QByteArray()> readStdin;
};

struct Command {
    QString name;    // "eval"; a command with sub-commands has one entry each ("scala import")
    QString usage;   // "eval AUSDRUCK"
    QString summary; // one German line for --help
    std::function<int(const QStringList& args, Io& io)> run;
};

// Every command of the program, in the order --help lists them.
const QList<Command>& Commands();

// Runs the command line `args` (without the program name). Empty `args` is not handled here: it
// starts the desktop program.
int Run(const QStringList& args, Io& io);

QString HelpText();

// Whether the arguments name a file to open in the window ("zirkelon DATEI", or "zirkelon --
// DATEI" for a name beginning with "-"), as the file manager starts the program: one argument
// that is neither an option nor the first word of a command. The file is set then.
bool OpensInWindow(const QStringList& args, QString& file);

// Whether the command draws text into a picture (the notation, the waveform's caption). Fonts
// need a GUI application, which such a command runs on the offscreen platform, so it needs no
// display either.
bool NeedsFonts(const QString& command);
QString VersionText();

// The commands, one function each; they live in their own files.
int EvalCommand(const QStringList& args, Io& io);
int ExampleCommand(const QStringList& args, Io& io);
int ImportCommand(const QStringList& args, Io& io);
int ComputeCommand(const QStringList& args, Io& io);
int DriftCommand(const QStringList& args, Io& io);
int KeycheckCommand(const QStringList& args, Io& io);
int KeysCommand(const QStringList& args, Io& io);
int MidiCommand(const QStringList& args, Io& io);
int ModulateCommand(const QStringList& args, Io& io);
int NotationCommand(const QStringList& args, Io& io);
int PlayCommand(const QStringList& args, Io& io);
int RenderCommand(const QStringList& args, Io& io);
int ScalaImportCommand(const QStringList& args, Io& io);
int ScalaExportCommand(const QStringList& args, Io& io);
int WaveformCommand(const QStringList& args, Io& io);

// One cell as a field of "compute --tsv": a tab, line feed or carriage return in it would shift
// the columns or split the line, so they are written as "\t", "\n" and "\r", and a backslash as
// "\\"; every line then has exactly five fields, and each field reads back unambiguously.
QString TsvField(const QString& cell);

// A wrong call of `command` (its name as Commands() lists it): the message and the command's
// usage on stderr; returns kExitUsage.
int UsageError(Io& io, const QString& command, const QString& message);

} // namespace zk::cli
