#include "app/cli/cli.h"
#include "common/locale_guard.h"

#include <gtest/gtest.h>

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

    EXPECT_EQ(RunCli({"eval"}).status, kExitUsage);
    EXPECT_EQ(RunCli({"eval", "1", "2"}).status, kExitUsage);
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
    const Result version = RunCli({"--version"});
    EXPECT_EQ(version.status, kExitOk);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("Zirkelon ")));
}

} // namespace
} // namespace zk::cli
