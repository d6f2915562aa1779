// SPDX-License-Identifier: GPL-3.0-or-later
// The manual page: it describes every command and option the program has, and no other, and
// formats without a warning.
#include "command_line_synopsis.h"
#include "command_line_values.h"

#include "app/cli/cli.h"
#include "app/version.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace zk::test {
namespace {

const char* const kManSource = ZK_TEST_DATA_DIR "/../../data/zirkelon.1.in";

QString ManSourceText() {
    QFile file(QString::fromUtf8(kManSource));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << kManSource;
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

// The page as the build installs it: the version filled in as CMake's configure_file does.
QString ManText() {
    return ManSourceText().replace(QStringLiteral("@PROJECT_VERSION@"), QLatin1String(kVersion));
}

QString Sorted(QStringList words) {
    std::sort(words.begin(), words.end());
    return words.join(u' ');
}

// How the page's command list differs from the program's: a missing or surplus command, a
// synopsis that is not the usage string, an option missing, surplus or with another
// placeholder. Empty when they agree.
QStringList Differences(const QString& manText) {
    QStringList differences;
    const QList<ManCommand> described = ManCommands(manText);
    QStringList names;
    for (const ManCommand& command : described) {
        names.append(command.name);
    }
    if (names != CommandNames()) {
        differences.append(QStringLiteral("commands: page [%1], program [%2]")
                               .arg(names.join(u' '), CommandNames().join(u' ')));
    }
    for (const ManCommand& command : described) {
        const QString usage = CommandUsage(command.name);
        if (usage.isEmpty()) {
            continue;
        }
        if (command.synopsis != QStringLiteral("zirkelon ") + usage) {
            differences.append(
                QStringLiteral("%1: synopsis \"%2\"").arg(command.name, command.synopsis));
        }
        const OptionSet expected = OptionsOfSynopsis(usage);
        for (const auto& [option, value] : expected) {
            const auto found = command.options.find(option);
            if (found == command.options.end()) {
                differences.append(
                    QStringLiteral("%1: %2 not described").arg(command.name, option));
            } else if (found->second != value) {
                differences.append(QStringLiteral("%1: %2 \"%3\" instead of \"%4\"")
                                       .arg(command.name, option, found->second, value));
            }
        }
        for (const auto& [option, value] : command.options) {
            if (!expected.contains(option)) {
                differences.append(QStringLiteral("%1: %2 described but not in the usage")
                                       .arg(command.name, option));
            }
        }
    }
    return differences;
}

ManCommand Described(const QString& manText, const QString& name) {
    for (const ManCommand& command : ManCommands(manText)) {
        if (command.name == name) {
            return command;
        }
    }
    ADD_FAILURE() << "no subsection " << name.toStdString();
    return {};
}

TEST(ManPage, VersionPlaceholderIsInTheTitleLineOnly) {
    const QString source = ManSourceText();
    EXPECT_EQ(source.count(QStringLiteral("@PROJECT_VERSION@")), 1);
    const QString text = ManText();
    EXPECT_FALSE(text.contains(u'@'));
    const QString title = text.split(u'\n').filter(QStringLiteral(".TH ")).value(0);
    EXPECT_TRUE(title.startsWith(QStringLiteral(".TH ZIRKELON 1 ")));
    EXPECT_TRUE(title.contains(QStringLiteral("\"Zirkelon %1\"").arg(QLatin1String(kVersion))))
        << title.toStdString();
}

TEST(ManPage, DescribesEveryCommandWithItsUsageAndOptions) {
    const QString text = ManText();
    ASSERT_FALSE(ManCommands(text).isEmpty());
    const QStringList differences = Differences(text);
    EXPECT_TRUE(differences.isEmpty()) << differences.join(u'\n').toStdString();
}

// The comparison itself: each change to one side only is found.
TEST(ManPage, ComparisonNoticesAChangeOnOneSide) {
    const QString text = ManText();
    const struct {
        const char* what;
        QString from;
        QString to;
        const char* reported;
    } cases[] = {
        // An option the page has and the usage has not.
        {"surplus option", ".SS keycheck\n", ".SS keycheck\n.TP\n\\fB\\-\\-fast\\fR\n",
         "keycheck: --fast described"},
        // An option of the usage the page leaves out.
        {"missing option", ".TP\n\\fB\\-\\-tsv\\fR\n", ".TP\nTSV\n",
         "compute: --tsv not described"},
        // Another placeholder for a value.
        {"placeholder", "\\fB\\-\\-decimals\\fR \\fIN\\fR\n",
         "\\fB\\-\\-decimals\\fR \\fIZAHL\\fR\n", "compute: --decimals \"ZAHL\""},
        // A command the page does not know.
        {"missing command", ".SS eval\n", ".SS eval2\n", "commands: page"},
        // A synopsis that is not the usage string.
        {"synopsis", "\\fBzirkelon play\\fR [\\fB\\-\\-loop\\fR]",
         "\\fBzirkelon play\\fR [\\fB\\-\\-loop\\fR] [\\fB\\-\\-fast\\fR]", "play: synopsis"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(text.contains(c.from)) << c.what;
        const QStringList differences = Differences(QString(text).replace(c.from, c.to));
        EXPECT_TRUE(differences.join(u'\n').contains(QString::fromUtf8(c.reported)))
            << c.what << ": " << differences.join(u'\n').toStdString();
    }
}

TEST(ManPage, ProgramOptionsAreDescribedAndAccepted) {
    const QStringList lines = ManSection(ManText(), QStringLiteral("OPTIONEN"));
    QStringList described;
    for (const QString& tag : ManTags(lines)) {
        described += tag.split(QStringLiteral(", "));
    }
    for (const QString& option : ProgramOptions()) {
        EXPECT_TRUE(described.contains(option)) << option.toStdString();
    }
    ASSERT_FALSE(described.isEmpty());
    for (const QString& option : described) {
        cli::Io io;
        EXPECT_EQ(cli::Run({option}, io), cli::kExitOk) << option.toStdString();
        EXPECT_FALSE(io.out.isEmpty()) << option.toStdString();
    }
}

TEST(ManPage, ListedValuesAreTheProgramsValues) {
    const QString text = ManText();
    // The display IDs under compute's --display, the steps of modulate.
    EXPECT_EQ(Sorted(Described(text, QStringLiteral("compute")).listedValues),
              Sorted(DisplayIds()));
    EXPECT_EQ(Sorted(Described(text, QStringLiteral("modulate")).listedValues),
              Sorted(ModulationSteps()));
    // The keys in the parentheses of --key's description, major and minor.
    const QStringList lines = ManSection(text, QStringLiteral("BEFEHLE"));
    const qsizetype keyTag = lines.indexOf(QStringLiteral("\\fB\\-\\-key\\fR \\fITONART\\fR"));
    ASSERT_GE(keyTag, 0);
    ASSERT_LT(keyTag + 3, lines.size());
    QString description;
    for (qsizetype i = keyTag + 1; i <= keyTag + 3; ++i) {
        description += PlainRoff(lines.at(i)) + u' ';
    }
    static const QRegularExpression group(QStringLiteral("\\(([^)]*)\\)"));
    QStringList named;
    for (auto match = group.globalMatch(description); match.hasNext();) {
        named += match.next().captured(1).split(QStringLiteral(", "));
    }
    EXPECT_EQ(Sorted(named), Sorted(ModulationKeys()));
}

TEST(ManPage, ExitStatusesAreTheProgramsStatuses) {
    const QStringList tags = ManTags(ManSection(ManText(), QStringLiteral("EXIT-STATUS")));
    EXPECT_EQ(tags,
              QStringList({QString::number(cli::kExitOk), QString::number(cli::kExitUserError),
                           QString::number(cli::kExitUsage)}));
}

// The formatters, run as man-db runs them and as a check with every warning on.
class ManPageRendering : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        m_page = m_folder.filePath(QStringLiteral("zirkelon.1"));
        QFile file(m_page);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ManText().toUtf8());
    }

    static QProcessEnvironment Environment() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
        environment.insert(QStringLiteral("MANROFFSEQ"), QString());
        environment.remove(QStringLiteral("MANPAGER"));
        environment.remove(QStringLiteral("PAGER"));
        return environment;
    }

    QTemporaryDir m_folder;
    QString m_page;
};

TEST_F(ManPageRendering, GroffReportsNothing) {
    const QString groff = QStandardPaths::findExecutable(QStringLiteral("groff"));
    if (groff.isEmpty()) {
        GTEST_SKIP() << "groff is not installed (Debian package groff-base)";
    }
    // -k runs preconv: the page is UTF-8, which groff reads only through it, as man-db does.
    const ProcessResult result =
        RunProcess(groff, {"-k", "-man", "-Tutf8", "-ww", "-z", m_page}, Environment());
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err.toStdString(), "");
}

TEST_F(ManPageRendering, ManFormatsItWithoutWarningsInEightyColumns) {
    const QString man = QStandardPaths::findExecutable(QStringLiteral("man"));
    if (man.isEmpty()) {
        GTEST_SKIP() << "man is not installed (Debian package man-db)";
    }
    const ProcessResult result =
        RunProcess(man, {"--warnings", "-E", "UTF-8", "-l", m_page}, Environment());
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err.toStdString(), "");
    // The umlauts arrive as such, the option dashes as hyphen-minus, and nothing is wider than
    // the terminal.
    EXPECT_TRUE(
        result.out.contains(QStringLiteral("zirkelon - reine Stimmung hören und berechnen")));
    EXPECT_TRUE(result.out.contains(QStringLiteral("zirkelon compute [--display ID]")));
    EXPECT_TRUE(result.out.contains(QStringLiteral("ÜBERSICHT")));
    for (const QString& line : result.out.split(u'\n')) {
        EXPECT_LE(line.size(), 80) << line.toStdString();
    }
}

} // namespace
} // namespace zk::test
