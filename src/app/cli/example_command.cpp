#include "app/cli/cli.h"
#include "app/example_library.h"

namespace zk::cli {

int ExampleCommand(const QStringList& args, Io& io) {
    if (args.isEmpty()) {
        for (const QString& caption : ExampleCaptions()) {
            io.out += caption + u'\n';
        }
        return kExitOk;
    }
    // A caption given unquoted arrives in pieces; its words are separated by single blanks.
    const QString name = args.join(u' ');
    const ExampleEntry* entry = FindExample(name);
    if (entry == nullptr) {
        io.err += QStringLiteral("Unbekanntes Beispiel \"%1\". \"zirkelon example\" zeigt alle "
                                 "Beispiele.\n")
                      .arg(name);
        return kExitUserError;
    }
    int cutCells = 0;
    io.out += ExamplePieceFileText(*entry, &cutCells);
    if (cutCells > 0) {
        io.err += QStringLiteral("Hinweis: %1 Einträge sind länger als ihr Feld in der Stückdatei "
                                 "und wurden gekürzt (Akkorde höchstens 16 Zeichen).\n")
                      .arg(cutCells);
    }
    return kExitOk;
}

} // namespace zk::cli
