// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/cli/cli_piece.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "notation/drift_picture.h"
#include "piece/comma_drift.h"
#include "piece/compute_pass.h"
#include "piece/piece_table.h"

namespace zk::cli {

namespace {

int Usage(Io& io, const QString& problem) {
    return UsageError(io, QStringLiteral("drift"), problem);
}

// A picture side in pixels within `lowest` .. `highest`, or nothing.
std::optional<int> SideFromText(const QString& text, int lowest, int highest) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < lowest || value > highest) {
        return std::nullopt;
    }
    return value;
}

} // namespace

int DriftCommand(const QStringList& args, Io& io) {
    PieceArguments parsed;
    if (const auto problem = ParsePieceArguments(args, {"--width", "--height", "-o"}, {}, parsed)) {
        return Usage(io, *problem);
    }
    QSize size = kDriftDefaultSize;
    const struct {
        QString option;
        QString name;
        int lowest;
        int highest;
    } sides[] = {
        {QStringLiteral("--width"), QStringLiteral("Breite"), kDriftMinimumSize.width(),
         kDriftMaximumSize.width()},
        {QStringLiteral("--height"), QStringLiteral("Höhe"), kDriftMinimumSize.height(),
         kDriftMaximumSize.height()},
    };
    for (const auto& side : sides) {
        if (!parsed.values.contains(side.option)) {
            continue;
        }
        const QString text = parsed.values.value(side.option);
        const auto value = SideFromText(text, side.lowest, side.highest);
        if (!value) {
            return Usage(io, QStringLiteral("Ungültige %1 \"%2\": möglich sind %3 bis %4 "
                                            "Bildpunkte.")
                                 .arg(side.name, text)
                                 .arg(side.lowest)
                                 .arg(side.highest));
        }
        if (side.option == u"--width") {
            size.setWidth(*value);
        } else {
            size.setHeight(*value);
        }
    }
    const QString output = parsed.values.value(QStringLiteral("-o"));
    if (output.isEmpty()) {
        return Usage(io, QStringLiteral("Die Ausgabedatei fehlt (-o AUSGABE.png)."));
    }

    PieceTable table;
    if (!LoadPiece(parsed, table, io)) {
        return kExitUserError;
    }
    // Computed without sound, as "Rechne" does, at the default concert pitch and tempo.
    TemperamentList temperaments = TemperamentList::LoadForReading();
    TonartScale scale(&temperaments);
    PassSettings settings;
    CliPassHost host;
    const DriftData drift = ComputeCommaDrift(table, scale, settings, host);

    if (!WritePngFile(DriftPicture(drift, size), output)) {
        io.err += QStringLiteral("Das Bild der Kommadrift kann nicht in die Datei \"%1\" "
                                 "geschrieben werden.\n")
                      .arg(output);
        return kExitUserError;
    }
    io.out += QStringLiteral("%1: %2 Zeilen, Abweichung von %3 bis %4 Cent\n")
                  .arg(output)
                  .arg(drift.rows.size())
                  .arg(DriftCentsText(drift.LowestDrift()), DriftCentsText(drift.HighestDrift()));
    return kExitOk;
}

} // namespace zk::cli
