// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"

#include "common/qt_printers.h"

#include <QString>

#include <gtest/gtest.h>

#include <ostream>

namespace zk::cli {
namespace {

struct CommandCase {
    QStringList args; // after "modulate"
    int exit;
    QString out;
    QString err; // for usage errors only the first line is compared
};

void PrintTo(const CommandCase& c, std::ostream* out) {
    *out << "modulate " << c.args.join(u' ').toStdString();
}

class ModulateCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(ModulateCommandTest, PrintsHistoryThenScale) {
    const CommandCase& c = GetParam();
    Io io;
    EXPECT_EQ(zk::cli::Run(QStringList{u"modulate"_qs} + c.args, io), c.exit);
    EXPECT_EQ(io.out, c.out);
    EXPECT_EQ(c.exit == kExitUsage ? io.err.section(u'\n', 0, 0) + u'\n' : io.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ModulateCommandTest,
    ::testing::Values(
        // no operation: the C major scale alone
        CommandCase{{}, kExitOk, u"c d e f g a h c  Dur\n"_qs, {}},
        // one step: the starting line, the step, the current scale
        CommandCase{{u"Q"_qs},
                    kExitOk,
                    u"C d e f g a h c  Dur\n"
                    u"G a+(d) h c d e fis(D) g  Dur  (eine Quinte höher)\n"
                    u"g a+(d) h c d e fis(D) g  Dur\n"_qs,
                    {}},
        // "-" is an operation, not an option
        CommandCase{{u"+"_qs, u"-"_qs},
                    kExitOk,
                    u"C d e f g a h c  Dur\n"
                    u"C+(d) d+(d) e+(d) f+(d) g+(d) a+(d) h+(d) c+(d)  Dur  (ein Komma höher)\n"
                    u"C d e f g a h c  Dur  (ein Komma tiefer)\n"
                    u"c d e f g a h c  Dur\n"_qs,
                    {}},
        // back: the last line goes, the line before becomes the scale, label and all
        CommandCase{{u"Q"_qs, u"Q"_qs, u"back"_qs},
                    kExitOk,
                    u"C d e f g a h c  Dur\n"
                    u"G a+(d) h c d e fis(D) g  Dur  (eine Quinte höher)\n"
                    u"G a+(d) h c d e fis(D) g  Dur  (eine Quinte höher)\n"_qs,
                    {}},
        // a starting key
        CommandCase{{u"--key"_qs, u"c"_qs, u"T"_qs},
                    kExitOk,
                    u"c d es f g as b c  moll\n"
                    u"Es f+(d) g as b c d es  Dur  (eine Terz höher)\n"
                    u"es f+(d) g as b c d es  Dur\n"_qs,
                    {}},
        // a starting text
        CommandCase{{u"--scale"_qs, u"a h c d e f g a  moll"_qs},
                    kExitOk,
                    u"a h c d e f g a  moll\n"_qs,
                    {}},
        // an unknown key: the message, its lines broken
        CommandCase{{u"--key"_qs, u"Dis"_qs, u"Q"_qs},
                    kExitUserError,
                    {},
                    u"Richtige Tonart eintragen!\nZumBeispiel \"C\" oder \"Cis\" für Dur\n"
                    u"oder \"e\" oder \"es\" für Moll\n"_qs},
        // the wrong mode word for a comma step; later operations do not run
        CommandCase{{u"--scale"_qs, u"c d e f g a h c  dur"_qs, u"+"_qs, u"Q"_qs},
                    kExitUserError,
                    {},
                    u"Tonleiter muss moll sein\n"_qs},
        // "--" ends the options: "-" and "+" follow as operations
        CommandCase{{u"--key"_qs, u"C"_qs, u"--"_qs, u"-"_qs, u"+"_qs},
                    kExitOk,
                    u"C d e f g a h c  Dur\n"
                    u"C-(s) d-(s) e-(s) f-(s) g-(s) a-(s) h-(s) c-(s)  Dur  (ein Komma tiefer)\n"
                    u"C d e f g a h c  Dur  (ein Komma höher)\n"
                    u"c d e f g a h c  Dur\n"_qs,
                    {}},
        // after "--" an option's name is no option any more
        CommandCase{{u"--"_qs, u"--key"_qs, u"C"_qs},
                    kExitUsage,
                    {},
                    u"Unbekannte Operation \"--key\".\n"_qs},
        // only the first "--" ends the options; a second one is an argument
        CommandCase{{u"--"_qs, u"--"_qs}, kExitUsage, {}, u"Unbekannte Operation \"--\".\n"_qs},
        // wrong usage
        CommandCase{{u"x"_qs}, kExitUsage, {}, u"Unbekannte Operation \"x\".\n"_qs},
        CommandCase{{u"tt"_qs}, kExitUsage, {}, u"Unbekannte Operation \"tt\".\n"_qs},
        CommandCase{{u"--key"_qs}, kExitUsage, {}, u"Nach --key fehlt der Wert.\n"_qs},
        CommandCase{{u"--key"_qs, u"C"_qs, u"--scale"_qs, u"c"_qs},
                    kExitUsage,
                    {},
                    u"Nur eine Angabe --key oder --scale.\n"_qs}));

TEST(ModulateCommand, ListedInHelp) {
    Io io;
    zk::cli::Run({u"--help"_qs}, io);
    EXPECT_TRUE(io.out.contains(u"modulate [--key TONART | --scale TONLEITER] OP..."));
}

} // namespace
} // namespace zk::cli
