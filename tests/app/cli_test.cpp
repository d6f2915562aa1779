// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "common/locale_guard.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zk::cli {
namespace {

struct Result {
    int status;
    QString out;
    QString err;
};

Result RunCli(const QStringList& args) {
    Io io;
    const int status = Run(args, io);
    return {status, io.out, io.err};
}

TEST(Cli, EvalPrintsTheValueWithFifteenDecimals) {
    test::LocaleGuard german(test::German());
    const std::tuple<QStringList, int, const char*> cases[] = {
        {{"eval", "1,5*2"}, kExitOk, "3\n"},
        {{"eval", "440*3/2"}, kExitOk, "660\n"},
        {{"eval", "1/3"}, kExitOk, "0,333333333333333\n"},
        {{"eval", "-2^2"}, kExitOk, "-4\n"},
        {{"eval", ""}, kExitOk, "0\n"},
        {{"eval", "--", "-2^2"}, kExitOk, "-4\n"},   // "--" ends the (absent) options
        {{"eval", "--", "-1,5*2"}, kExitOk, "-3\n"}, // what follows is the expression
    };
    for (const auto& [args, status, out] : cases) {
        const Result result = RunCli(args);
        EXPECT_EQ(result.status, status) << args.join(u' ').toStdString();
        EXPECT_EQ(result.out, QString::fromUtf8(out));
        EXPECT_TRUE(result.err.isEmpty());
    }
}

TEST(Cli, ErrorsAndUsage) {
    test::LocaleGuard german(test::German());
    const Result bad = RunCli({"eval", "1+(2*"});
    EXPECT_EQ(bad.status, kExitUserError);
    EXPECT_EQ(bad.err, QStringLiteral("Fehler:Fehler in 1+(2*\n"));
    EXPECT_TRUE(bad.out.isEmpty());
    // A long expression is quoted by its first 40 characters only.
    const Result huge = RunCli({"eval", QStringLiteral("1+").repeated(50000)});
    EXPECT_EQ(huge.status, kExitUserError);
    EXPECT_EQ(huge.err, QStringLiteral("Fehler:Fehler in ") + QStringLiteral("1+").repeated(20) +
                            QChar(0x2026) + u'\n');

    EXPECT_EQ(RunCli({"eval"}).status, kExitUsage);
    EXPECT_EQ(RunCli({"eval", "1", "2"}).status, kExitUsage);
    EXPECT_EQ(RunCli({"eval", "--"}).status, kExitUsage);
    EXPECT_EQ(RunCli({"eval", "--", "1", "2"}).status, kExitUsage);
    const Result unknown = RunCli({"tanzen"});
    EXPECT_EQ(unknown.status, kExitUsage);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("Unbekannter Befehl")));
}

TEST(Cli, HelpListsEveryCommandAndVersionNamesTheProgram) {
    const Result help = RunCli({"--help"});
    EXPECT_EQ(help.status, kExitOk);
    for (const Command& command : Commands()) {
        EXPECT_TRUE(help.out.contains(command.usage)) << command.name.toStdString();
    }
    // The piece commands take an example instead of a file; the TSV escapes are explained.
    for (const char* name : {"compute", "keycheck", "notation", "render", "play", "waveform"}) {
        const auto command = std::find_if(Commands().begin(), Commands().end(),
                                          [&](const Command& c) { return c.name == name; });
        ASSERT_NE(command, Commands().end()) << name;
        EXPECT_TRUE(command->usage.contains(QStringLiteral("(DATEI | --example NAME)"))) << name;
    }
    EXPECT_TRUE(help.out.contains(QStringLiteral("\\t, \\n, \\r und \\\\")));
    EXPECT_TRUE(help.out.contains(QStringLiteral("\"--\" beendet die Optionen")));
    const Result version = RunCli({"--version"});
    EXPECT_EQ(version.status, kExitOk);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("Zirkelon ")));
}

// "--help" or "-h" among a command's options shows that command's call and does nothing else;
// after "--" it is an operand like any other.
TEST(Cli, EveryCommandExplainsItselfOnHelp) {
    for (const Command& command : Commands()) {
        const QStringList words = command.name.split(u' ');
        for (const QStringList& tail :
             {QStringList{"--help"}, QStringList{"-h"}, QStringList{"-o", "x", "--help"}}) {
            const QStringList args = words + tail;
            const Result help = RunCli(args);
            const std::string what = args.join(u' ').toStdString();
            EXPECT_EQ(help.status, kExitOk) << what;
            EXPECT_TRUE(help.err.isEmpty()) << what << ": " << help.err.toStdString();
            EXPECT_TRUE(help.out.startsWith(QStringLiteral("Aufruf: zirkelon ") + command.usage))
                << what << ": " << help.out.toStdString();
            EXPECT_TRUE(help.out.contains(command.summary)) << what;
        }
    }
    // A group word asks for the calls of all its commands.
    const Result scala = RunCli({"scala", "--help"});
    EXPECT_EQ(scala.status, kExitOk);
    EXPECT_TRUE(scala.out.contains(QStringLiteral("Aufruf: zirkelon scala import")));
    EXPECT_TRUE(scala.out.contains(QStringLiteral("Aufruf: zirkelon scala export")));

    const Result operand = RunCli({"example", "--", "--help"});
    EXPECT_EQ(operand.status, kExitUserError) << operand.out.toStdString();
    EXPECT_FALSE(operand.out.contains(QStringLiteral("Aufruf:")));
}

} // namespace
} // namespace zk::cli

namespace zk::cli {
namespace {

// "zirkelon DATEI", as a file manager starts the program, opens the window; a command, an
// option or anything more stays the command line's.
TEST(Cli, AFileAloneOpensTheWindow) {
    const std::pair<QStringList, const char*> cases[] = {
        {{"stueck.txt"}, "stueck.txt"},
        {{"/home/anna/Kadenz"}, "/home/anna/Kadenz"},
        {{"mit leer.mxl"}, "mit leer.mxl"},
        {{"--", "-x"}, "-x"},       // a name beginning with "-" after "--"
        {{"play.txt"}, "play.txt"}, // not the command "play"
        {{"play"}, nullptr},        // the command without its file: a wrong call
        {{"scala"}, nullptr},       // the first word of "scala import"
        {{"--version"}, nullptr},
        {{"-x"}, nullptr},
        {{"--"}, nullptr},
        {{"a.txt", "b.txt"}, nullptr},
        {{""}, nullptr},
    };
    for (const auto& [args, file] : cases) {
        QString opened = QStringLiteral("unverändert");
        EXPECT_EQ(OpensInWindow(args, opened), file != nullptr) << args.join(u' ').toStdString();
        EXPECT_EQ(opened, file != nullptr ? QString::fromUtf8(file) : QStringLiteral("unverändert"))
            << args.join(u' ').toStdString();
    }
    EXPECT_TRUE(HelpText().contains(QStringLiteral("zirkelon DATEI")));
}

} // namespace
} // namespace zk::cli
