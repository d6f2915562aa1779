// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"
#include "app/example_library.h"

namespace zk::cli {

int ExampleCommand(const QStringList& args, Io& io) {
    // The command has no options; a leading "--" is only the usual end of them.
    const QStringList words = !args.isEmpty() && args.first() == u"--" ? args.mid(1) : args;
    if (words.isEmpty()) {
        for (const QString& caption : ExampleCaptions()) {
            io.out += caption + u'\n';
        }
        return kExitOk;
    }
    // A caption given unquoted arrives in pieces; its words are separated by single blanks.
    const QString name = words.join(u' ');
    const ExampleEntry* entry = FindExample(name);
    if (entry == nullptr) {
        io.err += UnknownExampleMessage(name) + u'\n';
        return kExitUserError;
    }
    int cutCells = 0;
    io.out += ExamplePieceFileText(*entry, &cutCells);
    if (cutCells > 0) {
        io.err += CutCellsNotice(cutCells) +
                  QStringLiteral(" Die übrigen Befehle nehmen das Beispiel mit --example NAME "
                                 "ungekürzt.\n");
    }
    return kExitOk;
}

} // namespace zk::cli
