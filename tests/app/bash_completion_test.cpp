// SPDX-License-Identifier: GPL-3.0-or-later
// The bash completion, run in a real bash as bash runs it: COMP_WORDS, COMP_CWORD, COMP_LINE and
// COMP_POINT set, _zirkelon called, COMPREPLY read. The built program is on PATH, so the example
// names come from it.
#include "command_line_synopsis.h"
#include "command_line_values.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace zk::test {
namespace {

const char* const kScript = ZK_TEST_DATA_DIR "/../../data/zirkelon.bash-completion";
// Where Debian's bash-completion keeps its functions (_filedir and the others).
const char* const kBashCompletionMain = "/usr/share/bash-completion/bash_completion";

// Sources the completion, sets the completion variables from the arguments as bash would, runs
// the function and prints one answer a line.
const char* const kDriver = R"(script=$1; shift
if [[ -n $ZK_BASH_COMPLETION_MAIN ]]; then source "$ZK_BASH_COMPLETION_MAIN" || exit 3; fi
source "$script" || exit 3
COMP_WORDS=("$@")
COMP_CWORD=$(($# - 1))
COMP_LINE=${ZK_LINE-"${COMP_WORDS[*]}"}
COMP_POINT=${#COMP_LINE}
_zirkelon
((${#COMPREPLY[@]} == 0)) || printf '%s\n' "${COMPREPLY[@]}"
)";

// The files of the folder the completion runs in.
const QStringList kFiles = {"stueck.txt", "noten.png", "-x", "mit leer.txt"};
const QString kFolder = QStringLiteral("ordner");

struct ShellSetup {
    std::optional<QString> line;     // COMP_LINE when it is not the words joined by blanks
    bool programOnPath = true;       // else PATH holds only the system's folders
    bool withBashCompletion = false; // bash-completion's functions loaded first
    QString script = QString::fromUtf8(kScript);
    QString locale = QStringLiteral("C.UTF-8");
};

QStringList Sorted(QStringList words) {
    std::sort(words.begin(), words.end());
    return words;
}

// A command line: the program, the words of a command's name ("scala import" is two) and more.
QStringList Words(const QString& program, const QString& command, const QStringList& more) {
    return QStringList{program} + command.split(u' ') + more;
}

// The words the program takes first: the command names, a command with sub-commands once.
QStringList FirstWords(const QStringList& commands) {
    QStringList words;
    for (const QString& command : commands) {
        const QString first = command.section(u' ', 0, 0);
        if (!words.contains(first)) {
            words.append(first);
        }
    }
    return words;
}

// The sub-commands of `group` ("import", "export" of "scala"); empty for a plain command.
QStringList SubCommands(const QString& group) {
    QStringList names;
    for (const QString& command : CommandNames()) {
        if (command.startsWith(group + u' ')) {
            names.append(command.section(u' ', 1));
        }
    }
    return names;
}

class BashCompletion : public ::testing::Test {
protected:
    void SetUp() override {
        m_bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
        if (m_bash.isEmpty()) {
            GTEST_SKIP() << "bash is not installed";
        }
        ASSERT_TRUE(m_folder.isValid());
        for (const QString& name : kFiles) {
            QFile file(m_folder.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        ASSERT_TRUE(QDir(m_folder.path()).mkdir(kFolder));
        ASSERT_TRUE(m_tools.isValid());
        const QString timeout = QStandardPaths::findExecutable(QStringLiteral("timeout"));
        if (!timeout.isEmpty()) {
            ASSERT_TRUE(QFile::link(timeout, m_tools.filePath(QStringLiteral("timeout"))));
        }
    }

    static QStringList AllFiles() { return kFiles + QStringList{kFolder}; }

    // The answers for the command line `words`, the last one being the word under the cursor.
    QStringList Complete(const QStringList& words, const ShellSetup& setup = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Without the program's folder PATH holds only a folder of the tools the completion
        // uses, so that no installed zirkelon answers instead.
        environment.insert(QStringLiteral("PATH"), setup.programOnPath
                                                       ? QFileInfo(ProgramPath()).absolutePath() +
                                                             QStringLiteral(":/usr/bin:/bin")
                                                       : m_tools.path());
        environment.insert(QStringLiteral("LC_ALL"), setup.locale);
        environment.remove(QStringLiteral("ZK_LINE"));
        if (setup.line) {
            environment.insert(QStringLiteral("ZK_LINE"), *setup.line);
        }
        environment.insert(QStringLiteral("ZK_BASH_COMPLETION_MAIN"),
                           setup.withBashCompletion ? QString::fromUtf8(kBashCompletionMain)
                                                    : QString());
        const ProcessResult result =
            RunProcess(m_bash,
                       QStringList{"--norc", "--noprofile", "-c", QString::fromUtf8(kDriver),
                                   "bash", setup.script} +
                           words,
                       environment, m_folder.path());
        EXPECT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0) << words.join(u' ').toStdString();
        // Nothing goes to the terminal while the user types.
        EXPECT_EQ(result.err.toStdString(), "") << words.join(u' ').toStdString();
        QStringList reply = result.out.split(u'\n');
        if (!reply.isEmpty() && reply.last().isEmpty()) {
            reply.removeLast();
        }
        return reply;
    }

    // The words the shell makes of each of `replies` when it reads them back, "count:first".
    QStringList ReadBack(const QStringList& replies, const QString& locale) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), locale);
        const ProcessResult result = RunProcess(
            m_bash,
            QStringList{"--norc", "--noprofile", "-c",
                        R"(for r; do eval "set -- $r"; printf '%s:%s\n' "$#" "$1"; done)", "bash"} +
                replies,
            environment);
        EXPECT_TRUE(result.finished);
        QStringList words = result.out.split(u'\n');
        words.removeAll(QString());
        return words;
    }

    // How the completion's options differ from the usage strings, for the script `script`.
    QStringList OptionDifferences(const QString& script) {
        ShellSetup setup;
        setup.script = script;
        QStringList differences;
        if (Sorted(Complete({"zirkelon", ""}, setup)) != Sorted(FirstWords(CommandNames()))) {
            differences.append(QStringLiteral("commands"));
        }
        for (const QString& group : FirstWords(CommandNames())) {
            const QStringList subCommands = SubCommands(group);
            if (!subCommands.isEmpty() &&
                Sorted(Complete({"zirkelon", group, ""}, setup)) != Sorted(subCommands)) {
                differences.append(QStringLiteral("%1: sub-commands").arg(group));
            }
        }
        for (const QString& command : CommandNames()) {
            QStringList options = Complete(Words("zirkelon", command, {"-"}), setup);
            // "-" is a step of the modulation calculator, not an option.
            options.removeAll(QStringLiteral("-"));
            const QStringList expected = OptionNames(OptionsOfSynopsis(CommandUsage(command)));
            if (Sorted(options) != Sorted(expected)) {
                differences.append(
                    QStringLiteral("%1: [%2] instead of [%3]")
                        .arg(command, Sorted(options).join(u' '), Sorted(expected).join(u' ')));
            }
        }
        return differences;
    }

    QString m_bash;
    QTemporaryDir m_folder;
    QTemporaryDir m_tools;
};

TEST_F(BashCompletion, AnswersTheCommandLine) {
    const struct {
        QStringList words;
        std::optional<QString> line;
        QStringList expected;
    } cases[] = {
        // The command and the program's own options.
        {{"zirkelon", "co"}, {}, {"compute"}},
        {{"zirkelon", "--v"}, {}, {"--version"}},
        // An option's fixed values.
        {{"zirkelon", "compute", "--display", "in"}, {}, {"intervals", "intervals-adjacent"}},
        {{"zirkelon", "modulate", "--key", "F"}, {}, {"F", "Fis"}},
        {{"zirkelon", "midi", "--tuning", ""}, {}, {"bend", "mts"}},
        // The sub-commands of "scala", a scale file and a mapping file.
        {{"zirkelon", "scala", ""}, {}, {"export", "import"}},
        {{"zirkelon", "scala", "import", "--code", "mz", "st"}, {}, {"stueck.txt"}},
        {{"zirkelon", "scala", "import", "--kbm", "n"}, {}, {"noten.png"}},
        {{"zirkelon", "scala", "import", "stueck.txt", ""}, {}, {}},
        {{"zirkelon", "scala", "export", "--code", "ma", ""}, {}, {}},
        {{"zirkelon", "scala", "export", "--row", "3", "st"}, {}, {"stueck.txt"}},
        // Example names with blanks, escaped for the shell.
        {{"zirkelon", "render", "--example", "Drei"},
         {},
         {"Dreiklang\\ gleichschwebend", "Dreiklang\\ mitteltönig", "Dreiklang\\ rein"}},
        // After an opening quote they stand as they are; readline closes the quote.
        {{"zirkelon", "render", "--example", "\"Drei"},
         {},
         {"Dreiklang gleichschwebend", "Dreiklang mitteltönig", "Dreiklang rein"}},
        {{"zirkelon", "play", "--example", "'Mittelt"}, {}, {"Mitteltönig F-Dur As-Dur"}},
        // What was typed escaped is read as the shell reads it; parentheses are escaped.
        {{"zirkelon", "compute", "--example", "Moll-Intervalle\\ "},
         {},
         {"Moll-Intervalle\\ \\(harm.\\)"}},
        // "example" joins its words: the word under the cursor completes the name's next word.
        {{"zirkelon", "example", "Dreiklang", "r"}, {}, {"rein"}},
        {{"zirkelon", "example", "--", "Dreiklang", "g"}, {}, {"gleichschwebend"}},
        // A colon is escaped, or readline would take it as the start of a new word.
        {{"zirkelon", "example", "Cho"},
         {},
         {"Choral\\:\\ Ach\\ lieber\\ Herre\\ Jesu\\ Christ",
          "Choral\\:\\ Verleih\\ uns\\ Frieden"}},
        // A colon typed without a backslash: bash split the word there, readline replaces only
        // what follows it.
        {{"zirkelon", "example", "Choral", ":", "\\ V"},
         QStringLiteral("zirkelon example Choral:\\ V"),
         {"\\ Verleih\\ uns\\ Frieden"}},
        {{"zirkelon", "render", "--example", "Choral", ":"},
         QStringLiteral("zirkelon render --example Choral:"),
         {"\\ Ach\\ lieber\\ Herre\\ Jesu\\ Christ", "\\ Verleih\\ uns\\ Frieden"}},
        // A blank after the colon ends that word: "example" takes the next one.
        {{"zirkelon", "example", "Choral", ":", "V"},
         QStringLiteral("zirkelon example Choral: V"),
         {"Verleih\\ uns\\ Frieden"}},
        // Inside quotes the colon is part of the word.
        {{"zirkelon", "render", "--example", "\"Choral: A"},
         {},
         {"Choral: Ach lieber Herre Jesu Christ"}},
        // Files where a piece or an output goes.
        {{"zirkelon", "compute", ""}, {}, AllFiles()},
        {{"zirkelon", "compute", "st"}, {}, {"stueck.txt"}},
        {{"zirkelon", "compute", "mit\\ l"}, {}, {"mit leer.txt"}},
        {{"zirkelon", "notation", "-o", "n"}, {}, {"noten.png"}},
        // After "--" a word beginning with "-" is a file, not an option.
        {{"zirkelon", "compute", "--", "-"}, {}, {"-x"}},
        // One piece only: nothing after the file or the example; keycheck's row is a number.
        {{"zirkelon", "compute", "stueck.txt", ""}, {}, {}},
        {{"zirkelon", "keycheck", "stueck.txt", ""}, {}, {}},
        {{"zirkelon", "keycheck", "--example", "Laudate", ""}, {}, {}},
        // The steps of the modulation calculator; "-" also before "--".
        {{"zirkelon", "modulate", "-"}, {}, {"-", "--key", "--scale"}},
        {{"zirkelon", "modulate", "--", "-"}, {}, {"-"}},
        {{"zirkelon", "modulate", "b"}, {}, {"back"}},
        // Free values, expressions, unknown commands: nothing to offer.
        {{"zirkelon", "modulate", "--scale", ""}, {}, {}},
        {{"zirkelon", "render", "--pitch", ""}, {}, {}},
        {{"zirkelon", "render", "--timbre", ""}, {}, {}},
        {{"zirkelon", "eval", "-"}, {}, {}},
        {{"zirkelon", "tanzen", ""}, {}, {}},
        {{"zirkelon", "--help", ""}, {}, {}},
    };
    for (const auto& c : cases) {
        ShellSetup setup;
        setup.line = c.line;
        EXPECT_EQ(Sorted(Complete(c.words, setup)), Sorted(c.expected))
            << c.words.join(u'|').toStdString();
    }
}

TEST_F(BashCompletion, CommandsAndOptionsAreTheUsageStrings) {
    EXPECT_EQ(Sorted(Complete({"zirkelon", "-"})), Sorted(ProgramOptions()));
    const QStringList differences = OptionDifferences(QString::fromUtf8(kScript));
    EXPECT_TRUE(differences.isEmpty()) << differences.join(u'\n').toStdString();
}

// The comparison itself: a command or option changed in the completion only is found.
TEST_F(BashCompletion, ComparisonNoticesAChangeOnOneSide) {
    QFile original(QString::fromUtf8(kScript));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QString script = QString::fromUtf8(original.readAll());
    const struct {
        const char* from;
        const char* to;
        const char* reported;
    } cases[] = {
        // An option dropped.
        {"flags=\"--tsv\"", "flags=", "compute:"},
        // An option the command does not have.
        {"values=\"--bass -o --keys --example\"", "values=\"--bass -o --keys --example --fast\"",
         "notation:"},
        // A command missing.
        {"keycheck keys modulate notation drift render midi play waveform scala\"",
         "keycheck keys modulate notation\"", "commands"},
        // A sub-command missing.
        {"\"import export\"", "\"import\"", "scala: sub-commands"},
        // An option of a sub-command dropped.
        {"values=\"--code --name --kbm\"", "values=\"--code --kbm\"", "scala import:"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(script.contains(QString::fromUtf8(c.from))) << c.from;
        const QString path = m_folder.filePath(QStringLiteral("changed.bash"));
        QFile changed(path);
        ASSERT_TRUE(changed.open(QIODevice::WriteOnly | QIODevice::Truncate));
        changed.write(
            QString(script).replace(QString::fromUtf8(c.from), QString::fromUtf8(c.to)).toUtf8());
        changed.close();
        const QStringList differences = OptionDifferences(path);
        EXPECT_TRUE(differences.join(u'\n').contains(QString::fromUtf8(c.reported)))
            << c.from << ": " << differences.join(u'\n').toStdString();
    }
}

// Whether an option takes a value is read as the usage writes it: a flag leaves the next word
// free, an option with a value takes it.
TEST_F(BashCompletion, OptionsTakeTheirValuesAsTheUsageSays) {
    for (const QString& command : CommandNames()) {
        const QStringList free = Sorted(Complete(Words("zirkelon", command, {""})));
        for (const auto& [option, value] : OptionsOfSynopsis(CommandUsage(command))) {
            const QStringList words = value.isEmpty()
                                          ? Words("zirkelon", command, {option, ""})
                                          : Words("zirkelon", command, {option, "x", ""});
            // With --example the piece is given, and a row of the temperament list is exported
            // without one: no file is left to name.
            const bool pieceGiven =
                option == u"--example" || (command == u"scala export" && option == u"--code");
            const QStringList expected = pieceGiven ? QStringList() : free;
            EXPECT_EQ(Sorted(Complete(words)), expected) << words.join(u' ').toStdString();
        }
    }
}

TEST_F(BashCompletion, FixedValuesAreTheProgramsValues) {
    EXPECT_EQ(Sorted(Complete({"zirkelon", "compute", "--display", ""})), Sorted(DisplayIds()));
    EXPECT_EQ(Sorted(Complete({"zirkelon", "compute", "--decimals", ""})),
              Sorted(DecimalsValues()));
    EXPECT_EQ(Sorted(Complete({"zirkelon", "waveform", "--scale", ""})), Sorted(WaveformScales()));
    EXPECT_EQ(Sorted(Complete({"zirkelon", "modulate", "--key", ""})), Sorted(ModulationKeys()));
    EXPECT_EQ(Sorted(Complete({"zirkelon", "modulate", ""})), Sorted(ModulationSteps()));
    // The bass values as the usage writes them.
    const QString bass =
        OptionsOfSynopsis(CommandUsage(QStringLiteral("notation"))).at(QStringLiteral("--bass"));
    EXPECT_EQ(Sorted(Complete({"zirkelon", "notation", "--bass", ""})), Sorted(bass.split(u'|')));
}

// Every example name, escaped, reads back as one word that is the name, in a UTF-8 locale and
// in the plain C locale, both for "--example" and for "example".
TEST_F(BashCompletion, ExampleNamesReadBackAsOneWord) {
    QStringList expected;
    for (const QString& name : ExampleNames()) {
        expected.append(QStringLiteral("1:") + name);
    }
    for (const char* locale : {"C.UTF-8", "C"}) {
        ShellSetup setup;
        setup.locale = QString::fromUtf8(locale);
        for (const QStringList& words : {QStringList{"zirkelon", "render", "--example", ""},
                                         QStringList{"zirkelon", "example", ""}}) {
            const QStringList replies = Complete(words, setup);
            EXPECT_EQ(Sorted(ReadBack(replies, setup.locale)), Sorted(expected))
                << locale << ' ' << words.join(u' ').toStdString();
        }
        // After an opening quote every name comes as it is.
        EXPECT_EQ(Sorted(Complete({"zirkelon", "compute", "--example", "'"}, setup)),
                  Sorted(ExampleNames()))
            << locale;
    }
}

TEST_F(BashCompletion, AsksTheProgramTheUserTyped) {
    // Not on PATH, but typed with its path: the names come from that program.
    ShellSetup notOnPath;
    notOnPath.programOnPath = false;
    EXPECT_EQ(Complete({ProgramPath(), "example", "Kommaf"}, notOnPath), QStringList{"Kommafalle"});
    // No program to ask: no names and no message, the rest still completes.
    EXPECT_EQ(Complete({"zirkelon", "example", "Kommaf"}, notOnPath), QStringList());
    EXPECT_EQ(Complete({"zirkelon", "compute", "--t"}, notOnPath),
              QStringList({"--tempo", "--tsv"}));
}

// As it runs when bash-completion loads it: files then come from bash-completion's _filedir.
TEST_F(BashCompletion, WorksWithBashCompletionLoaded) {
    if (!QFileInfo::exists(QString::fromUtf8(kBashCompletionMain))) {
        GTEST_SKIP() << "bash-completion is not installed";
    }
    ShellSetup setup;
    setup.withBashCompletion = true;
    EXPECT_EQ(Sorted(Complete({"zirkelon", ""}, setup)), Sorted(FirstWords(CommandNames())));
    EXPECT_EQ(Sorted(Complete({"zirkelon", "compute", ""}, setup)), Sorted(AllFiles()));
    EXPECT_EQ(Complete({"zirkelon", "notation", "-o", "n"}, setup), QStringList{"noten.png"});
    EXPECT_EQ(Complete({"zirkelon", "example", "Dreiklang", "r"}, setup), QStringList{"rein"});
    setup.line = QStringLiteral("zirkelon example Choral:\\ V");
    EXPECT_EQ(Complete({"zirkelon", "example", "Choral", ":", "\\ V"}, setup),
              QStringList{"\\ Verleih\\ uns\\ Frieden"});
}

} // namespace
} // namespace zk::test
