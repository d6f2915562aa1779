#include "app/cli/cli.h"

#include "support/evaluator.h"
#include "support/number_text.h"

namespace zk::cli {

int EvalCommand(const QStringList& args, Io& io) {
    if (args.size() != 1) {
        io.err += QStringLiteral("Aufruf: zirkelon eval AUSDRUCK\n");
        return kExitUsage;
    }
    // A MathError reaches Run(), which prints its message and returns 1.
    io.out += NumberToText(15, Evaluate(args.first())) + u'\n';
    return kExitOk;
}

} // namespace zk::cli
