// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"

#include "support/evaluator.h"
#include "support/number_text.h"

namespace zk::cli {

int EvalCommand(const QStringList& args, Io& io) {
    // The command has no options: a leading "--" only ends them, as usual, and any other
    // argument is the expression, "-2^2" as well.
    const QStringList expression = !args.isEmpty() && args.first() == u"--" ? args.mid(1) : args;
    if (expression.size() != 1) {
        return UsageError(
            io, QStringLiteral("eval"),
            QStringLiteral("Genau ein Ausdruck wird erwartet (einer mit Leerzeichen in "
                           "Anführungszeichen)."));
    }
    // A MathError reaches Run(), which prints its message and returns 1.
    io.out += NumberToText(15, Evaluate(expression.first())) + u'\n';
    return kExitOk;
}

} // namespace zk::cli
