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
    std::optional<QString> displayMode;
    int decimals = 1;
    QString pitch = QStringLiteral("440");
    QString tempo = QStringLiteral("80");
    bool tsv = false;
    QString output;
    QString file;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size()) {
                return std::nullopt;
            }
            return args.at(++i);
        };
        if (arg == u"--tsv") {
            tsv = true;
        } else if (arg == u"--display" || arg == u"--decimals" || arg == u"--pitch" ||
                   arg == u"--tempo" || arg == u"-o") {
            const auto v = value();
            if (!v) {
                return Usage(io, QStringLiteral("Zu \"%1\" fehlt der Wert.").arg(arg));
            }
            if (arg == u"--display") {
                if (!DisplayIds().contains(*v)) {
                    return Usage(io, QStringLiteral("Unbekannte Anzeige \"%1\"; möglich sind: %2.")
                                         .arg(*v, DisplayIds().keys().join(QStringLiteral(", "))));
                }
                displayMode = DisplayIds().value(*v);
            } else if (arg == u"--decimals") {
                bool ok = false;
                decimals = v->toInt(&ok);
                if (!ok || decimals < 1 || decimals > 4) {
                    return Usage(io, QStringLiteral("--decimals erwartet 1, 2, 3 oder 4."));
                }
            } else if (arg == u"--pitch") {
                pitch = *v;
            } else if (arg == u"--tempo") {
                tempo = *v;
            } else {
                output = *v;
            }
        } else if (arg.startsWith(u'-') && arg != u"-") {
            return Usage(io, QStringLiteral("Unbekannte Option \"%1\".").arg(arg));
        } else if (file.isEmpty()) {
            file = arg;
        } else {
            return Usage(io, QStringLiteral("Nur eine Datei ist möglich."));
        }
    }
    if (file.isEmpty()) {
        return Usage(io, QStringLiteral("Die Stückdatei fehlt."));
    }
    const auto text = ReadPieceInput(file, io);
    if (!text) {
        return kExitUserError;
    }

    PieceTable table;
    const TimbreTexts timbre = LoadPieceText(table, *text).value_or(kDefaultTimbreTexts);
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
