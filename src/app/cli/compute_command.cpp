#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"
#include "engine/interval_analysis.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "piece/compute_pass.h"
#include "piece/piece_file.h"
#include "piece/piece_table.h"
#include "support/number_text.h"
#include "support/program_files.h"

#include <QMap>

namespace zk::cli {

namespace {

// The display modes by their command-line names.
const QMap<QString, QString>& DisplayIds() {
    static const QMap<QString, QString> ids = {
        {QStringLiteral("ratios-adjacent"), kModeNeighbourRatios},
        {QStringLiteral("ratios"), kModeRatios},
        {QStringLiteral("intervals-adjacent"), kModeNeighbourIntervals},
        {QStringLiteral("intervals"), kModeIntervals},
        {QStringLiteral("cents"), kModeCents},
        {QStringLiteral("oqt"), kModeOqt},
        {QStringLiteral("steps"), kModeSteps},
        {QStringLiteral("all"), kModeAll},
    };
    return ids;
}

QString TsvText(const PieceTable& table) {
    QString text;
    for (int row = 0; row < table.RowCount(); ++row) {
        for (int column = 0; column < PieceTable::kColumnCount; ++column) {
            if (column > 0) {
                text += u'\t';
            }
            text += table.Cell(column, row);
        }
        text += u'\n';
    }
    return text;
}

int Usage(Io& io, const QString& message) {
    io.err += message + QStringLiteral("\nAufruf: zirkelon compute [--display ID] [--decimals N] "
                                       "[--pitch HZ] [--tempo N] [--tsv] [-o AUSGABE] DATEI\n");
    return kExitUsage;
}

} // namespace

int ComputeCommand(const QStringList& args, Io& io) {
    PieceArguments parsed;
    if (const auto problem = ParsePieceArguments(
            args, {"--display", "--decimals", "--pitch", "--tempo", "-o"}, {"--tsv"}, parsed)) {
        return Usage(io, *problem);
    }
    std::optional<QString> displayMode;
    if (parsed.values.contains(QStringLiteral("--display"))) {
        const QString id = parsed.values.value(QStringLiteral("--display"));
        if (!DisplayIds().contains(id)) {
            return Usage(io, QStringLiteral("Unbekannte Anzeige \"%1\"; möglich sind: %2.")
                                 .arg(id, DisplayIds().keys().join(QStringLiteral(", "))));
        }
        displayMode = DisplayIds().value(id);
    }
    int decimals = 1;
    if (parsed.values.contains(QStringLiteral("--decimals"))) {
        bool ok = false;
        decimals = parsed.values.value(QStringLiteral("--decimals")).toInt(&ok);
        if (!ok || decimals < 1 || decimals > 4) {
            return Usage(io, QStringLiteral("--decimals erwartet 1, 2, 3 oder 4."));
        }
    }
    const QString pitch = parsed.values.value(QStringLiteral("--pitch"), QStringLiteral("440"));
    const QString tempo = parsed.values.value(QStringLiteral("--tempo"), QStringLiteral("80"));
    const bool tsv = parsed.flags.contains(QStringLiteral("--tsv"));
    const QString output = parsed.values.value(QStringLiteral("-o"));
    const QString& file = parsed.file;
    const auto text = ReadPieceInput(file, io);
    if (!text) {
        return kExitUserError;
    }

    PieceTable table;
    const TimbreTexts timbre = LoadPieceText(table, *text).value_or(kOrgelTexts);
    if (displayMode) {
        table.SetDisplayMode(*displayMode);
    }
    TemperamentList temperaments = TemperamentList::LoadForReading();
    TonartScale scale(&temperaments);
    PassSettings settings;
    settings.onlyCompute = true;
    settings.decimals = decimals;
    CliPassHost host;
    host.kammerton = pitch;
    host.tempo = tempo;
    ComputePass(0, table, scale, settings, host);

    const QString result = tsv ? TsvText(table) : PieceFileText(table, timbre);
    if (output.isEmpty()) {
        io.out += result;
    } else if (tsv) {
        WriteFileBytes(output, result.toUtf8());
    } else {
        WriteTextFile(output, result);
    }
    return kExitOk;
}

int KeycheckCommand(const QStringList& args, Io& io) {
    if (args.size() != 2) {
        io.err += QStringLiteral("Aufruf: zirkelon keycheck DATEI ZEILE\n");
        return kExitUsage;
    }
    bool ok = false;
    const int row = args.at(1).toInt(&ok);
    if (!ok || row < 1 || row >= kKeyCheckTarget) {
        io.err += QStringLiteral("Die Zeile muss eine Zahl ab 1 sein.\n");
        return kExitUsage;
    }
    const auto text = ReadPieceInput(args.at(0), io);
    if (!text) {
        return kExitUserError;
    }
    PieceTable table;
    LoadPieceText(table, *text);
    if (row >= table.RowCount()) {
        io.err += QStringLiteral("Das Stück hat keine Zeile %1.\n").arg(row);
        return kExitUserError;
    }
    TemperamentList temperaments = TemperamentList::LoadForReading();
    TonartScale scale(&temperaments);
    PassSettings settings;
    CliPassHost host;
    ComputePass(kKeyCheckTarget + row, table, scale, settings, host);
    // The message ends with one line per trial key.
    const QStringList lines = host.keyCheck.split(u'\r');
    io.out += lines.mid(lines.size() - 25).join(u'\n') + u'\n';
    return kExitOk;
}

} // namespace zk::cli
