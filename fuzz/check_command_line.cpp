// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: the input's NUL bytes separate the arguments. The option readers account
// for every argument, and the commands that only compute (eval, modulate, example, keycheck,
// compute, keys) answer any arguments with an exit status and, for a failure, a message. The
// piece read from standard input ("-") is the input itself. Arguments that name an output file
// are not run: nothing is written.
#include "fuzz_checks.h"

#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"

namespace zk::fuzz {

namespace {

bool FreeArgumentsAreFree(const QStringList& args, const QStringList& free) {
    const qsizetype end = args.indexOf(QStringLiteral("--"));
    for (const QString& arg : free) {
        if (arg.startsWith(u'-') && arg != u"-") {
            // An option-like free argument is only possible after "--".
            const qsizetype at = args.indexOf(arg, end < 0 ? args.size() : end + 1);
            if (end < 0 || at < 0) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

void CheckCommandLine(const QByteArray& input) {
    QStringList args;
    for (const QByteArray& part : input.split('\0')) {
        args << QString::fromUtf8(part);
        if (args.size() > 32) {
            break;
        }
    }

    QString file;
    if (cli::OpensInWindow(args, file)) {
        Require(!file.isEmpty(), "a window is opened on no file");
    }

    cli::CommandArguments options;
    if (!cli::ParseOptions(args, {QStringLiteral("-o"), QStringLiteral("--pitch")},
                           {QStringLiteral("--tsv")}, options)) {
        Require(FreeArgumentsAreFree(args, options.free), "an unknown option taken as free");
        Require(options.free.size() + 2 * options.values.size() + options.flags.size() <=
                    args.size(),
                "the options hold more than the arguments");
    }
    cli::PieceArguments piece;
    if (!cli::ParsePieceArguments(args, {QStringLiteral("-o")}, {QStringLiteral("--tsv")}, piece,
                                  args.size() % 2)) {
        Require(!(piece.example && !piece.file.isEmpty()),
                "a piece both from a file and from an example");
    }

    static const QStringList computing = {QStringLiteral("eval"),    QStringLiteral("modulate"),
                                          QStringLiteral("example"), QStringLiteral("keycheck"),
                                          QStringLiteral("compute"), QStringLiteral("keys"),
                                          QStringLiteral("--help"),  QStringLiteral("--version")};
    if (args.isEmpty() || !computing.contains(args.first()) ||
        args.contains(QStringLiteral("-o"))) {
        return;
    }
    cli::Io io;
    io.readStdin = [&input] { return input; };
    const int status = cli::Run(args, io);
    Require(status == cli::kExitOk || status == cli::kExitUserError || status == cli::kExitUsage,
            "an unknown exit status " + std::to_string(status));
    Require(status == cli::kExitOk || !io.err.isEmpty(), "a failure without a message");
}

} // namespace zk::fuzz
