// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// What the command line accepts, found by asking the program itself rather than written down a
// second time: the manual page and the bash completion are compared with these.

namespace zk::test {

// The options "zirkelon --help" shows for the program as a whole ("--help", "--version").
QStringList ProgramOptions();

// The command names in the order --help lists them.
QStringList CommandNames();

// The usage string of `command` as --help shows it.
QString CommandUsage(const QString& command);

// The IDs "compute --display" accepts, as its message for an unknown one lists them.
QStringList DisplayIds();

// The values "compute --decimals" accepts, probed from 0 to 9.
QStringList DecimalsValues();

// The scales "waveform --scale" accepts.
QStringList WaveformScales();

// The keys "modulate --key" accepts, probed over every letter name with "", "is", "es" and "s",
// written small and capitalised.
QStringList ModulationKeys();

// The steps "modulate" accepts after "--", probed over every printable ASCII character and a few
// words.
QStringList ModulationSteps();

// The built-in examples' names.
QStringList ExampleNames();

// The path of the built program.
QString ProgramPath();

struct ProcessResult {
    int exitCode = -1;
    bool finished = false;
    QString out;
    QString err;
};

// Runs `program` with `arguments`, nothing on standard input, and waits up to a minute.
ProcessResult
RunProcess(const QString& program, const QStringList& arguments,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
           const QString& workingDirectory = {});

} // namespace zk::test
