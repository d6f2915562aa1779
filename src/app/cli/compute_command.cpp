// SPDX-License-Identifier: GPL-3.0-or-later
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
            text += TsvField(table.Cell(column, row));
        }
        text += u'\n';
    }
    return text;
}

int Usage(Io& io, const QString& message) {
    return UsageError(io, QStringLiteral("compute"), message);
}

} // namespace

QString TsvField(const QString& cell) {
    QString field;
    field.reserve(cell.size());
    for (const QChar c : cell) {
        switch (c.unicode()) {
        case u'\t':
            field += QStringLiteral("\\t");
            break;
        case u'\n':
            field += QStringLiteral("\\n");
            break;
        case u'\r':
            field += QStringLiteral("\\r");
            break;
        case u'\\':
            field += QStringLiteral("\\\\");
            break;
        default:
            field += c;
        }
    }
    return field;
}

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
    const bool tsv = parsed.flags.contains(QStringLiteral("--tsv"));
    const QString output = parsed.values.value(QStringLiteral("-o"));
    PieceTable table;
    const auto piece = LoadPiece(parsed, table, io);
    if (!piece) {
        return kExitUserError;
    }
    const TimbreTexts timbre = piece->timbre.value_or(kOrgelTexts);
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
    host.tempo = PieceTempo(OptionalValue(parsed.values, QStringLiteral("--tempo")), *piece);
    ComputePass(0, table, scale, settings, host);

    const QString result = tsv ? TsvText(table) : PieceFileText(table, timbre);
    if (const int cut = tsv ? 0 : CutCellCount(table); cut > 0) {
        io.err +=
            CutCellsNotice(cut) + QStringLiteral(" Mit --tsv werden sie ungekürzt ausgegeben.\n");
    }
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
    const auto usage = [&io](const QString& problem) {
        return UsageError(io, QStringLiteral("keycheck"), problem);
    };
    PieceArguments parsed;
    if (const auto problem =
            ParsePieceArguments(args, {}, {}, parsed, 1, QStringLiteral("Die Zeile fehlt."))) {
        return usage(*problem);
    }
    bool ok = false;
    const int row = parsed.trailing.at(0).toInt(&ok);
    if (!ok || row < 1 || row >= kKeyCheckTarget) {
        return usage(QStringLiteral("Die Zeile muss eine Zahl ab 1 sein."));
    }
    PieceTable table;
    if (!LoadPiece(parsed, table, io)) {
        return kExitUserError;
    }
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
