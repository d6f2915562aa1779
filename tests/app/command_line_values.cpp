// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line_values.h"

#include "app/cli/cli.h"
#include "app/example_library.h"
#include "notation/waveform_picture.h"

#include <QProcess>
#include <QRegularExpression>

namespace zk::test {

namespace {

int RunCli(const QStringList& arguments, QString* err = nullptr) {
    cli::Io io;
    const int status = cli::Run(arguments, io);
    if (err != nullptr) {
        *err = io.err;
    }
    return status;
}

// A small example, so that probing a value costs little.
const QString kSmallExample = QStringLiteral("Erstes Beispiel");

} // namespace

QStringList ProgramOptions() {
    static const QRegularExpression line(QStringLiteral("^  zirkelon (--?[a-z][a-z-]*) "));
    QStringList options;
    for (const QString& text : cli::HelpText().split(u'\n')) {
        if (const auto match = line.match(text); match.hasMatch()) {
            options.append(match.captured(1));
        }
    }
    return options;
}

QStringList CommandNames() {
    QStringList names;
    for (const cli::Command& command : cli::Commands()) {
        names.append(command.name);
    }
    return names;
}

QString CommandUsage(const QString& command) {
    for (const cli::Command& entry : cli::Commands()) {
        if (entry.name == command) {
            return entry.usage;
        }
    }
    return {};
}

QStringList DisplayIds() {
    QString err;
    RunCli({"compute", "--display", "?", "--example", kSmallExample}, &err);
    static const QRegularExpression listed(QStringLiteral("möglich sind: ([^\n]*)\\."));
    const auto match = listed.match(err);
    return match.hasMatch() ? match.captured(1).split(QStringLiteral(", ")) : QStringList();
}

QStringList DecimalsValues() {
    QStringList values;
    for (int n = 0; n <= 9; ++n) {
        const QString value = QString::number(n);
        if (RunCli({"compute", "--decimals", value, "--example", kSmallExample}) == cli::kExitOk) {
            values.append(value);
        }
    }
    return values;
}

QStringList WaveformScales() {
    QStringList values;
    for (int scale = -1; scale <= 100000; ++scale) {
        if (IsWaveformScale(scale)) {
            values.append(QString::number(scale));
        }
    }
    return values;
}

QStringList ModulationKeys() {
    QStringList keys;
    for (const QChar letter : QStringLiteral("cdefgahb")) {
        for (const char* ending : {"", "is", "es", "s"}) {
            const QString small = letter + QLatin1String(ending);
            for (const QString& key : {small.at(0).toUpper() + small.mid(1), small}) {
                if (RunCli({"modulate", "--key", key}) == cli::kExitOk) {
                    keys.append(key);
                }
            }
        }
    }
    return keys;
}

QStringList ModulationSteps() {
    QStringList candidates = {"back", "zurück", "Back", "T1", "QQ"};
    for (char16_t c = 0x21; c < 0x7f; ++c) {
        candidates.append(QString(QChar(c)));
    }
    QStringList steps;
    for (const QString& candidate : candidates) {
        if (RunCli({"modulate", "--key", "C", "--", candidate}) == cli::kExitOk) {
            steps.append(candidate);
        }
    }
    return steps;
}

QStringList ExampleNames() {
    return ExampleCaptions();
}

QString ProgramPath() {
    return QStringLiteral(ZK_PROGRAM);
}

ProcessResult RunProcess(const QString& program, const QStringList& arguments,
                         const QProcessEnvironment& environment, const QString& workingDirectory) {
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty()) {
        process.setWorkingDirectory(workingDirectory);
    }
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    ProcessResult result;
    result.finished = process.waitForFinished(60000);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

} // namespace zk::test
