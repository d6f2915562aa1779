// SPDX-License-Identifier: GPL-3.0-or-later
// Scala files: a scale that becomes a row of the temperament list is exported and imported again
// as the same row; the scale import gives the row line the list gets; a keyboard mapping laid
// under an equal-tempered scale leaves it equal-tempered, every tone off by the same amount.
#include "fuzz_checks.h"

#include "engine/temperaments.h"
#include "exchange/scala_file.h"
#include "support/errors.h"

#include <cmath>

namespace zk::fuzz {

namespace {

const QString kCode = QStringLiteral("mZ");
const QString kName = QStringLiteral("Versuch");

std::string Values(const TemperamentValues& values) {
    std::string text;
    for (const long double value : values) {
        text += std::to_string(static_cast<double>(value)) + " ";
    }
    return text;
}

// A row's value as the list keeps it: three decimals.
long double Kept(long double cents) {
    return std::round(cents * 1000) / 1000;
}

void CheckExportedAgain(const TemperamentValues& values) {
    TemperamentList list;
    InsertTemperamentRow(list, kCode,
                         TemperamentRowLine(kCode, kName, values, TemperamentListSeparator(list)),
                         false);
    const ScalaFiles files = ExportRowAsScl(list, kCode);
    TemperamentValues again{};
    try {
        again = TemperamentFromScale(ReadScl(files.scl), ReadKbm(files.kbm));
    } catch (const ScalaError& error) {
        throw PropertyViolation("an exported row is refused on import: " +
                                error.message().toStdString() + " for " + Values(values));
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        // The export writes what the row keeps, in cents or as a ratio within a thousandth of a
        // cent.
        Require(std::fabs(static_cast<double>(again[i] - Kept(values[i]))) < 0.0011,
                "an exported row comes back as another: " + Values(values) + "→ " + Values(again));
    }
}

} // namespace

void CheckScalaScale(const QByteArray& input) {
    const QString text = InputText(input);
    ScalaScale scale;
    try {
        scale = ReadScl(text);
    } catch (const ScalaError&) {
        return;
    }
    for (const ScalaPitch& pitch : scale.pitches) {
        Require(std::isfinite(pitch.cents), "a pitch that is not finite");
    }
    TemperamentValues values{};
    try {
        values = TemperamentFromScale(scale, std::nullopt);
    } catch (const ScalaError&) {
        return;
    }
    const TemperamentList list;
    std::optional<QString> imported;
    try {
        imported = ImportSclAsRow(text, std::nullopt, kCode, kName, list);
    } catch (const ScalaError&) {
        // A tone too far from its place to keep its degree in play.
    }
    if (imported) {
        Require(*imported ==
                    TemperamentRowLine(kCode, kName, values, TemperamentListSeparator(list)),
                "the scale import gives another row line than the scale's deviations");
        CheckExportedAgain(values);
    }
}

void CheckKeyboardMapping(const QByteArray& input) {
    KeyboardMapping mapping;
    try {
        mapping = ReadKbm(InputText(input));
    } catch (const ScalaError&) {
        return;
    }
    Require(mapping.size >= 0 && mapping.entries.size() <= std::max(mapping.size, 0),
            "a mapping with more entries than its size");
    ScalaScale equal;
    for (int degree = 1; degree <= 12; ++degree) {
        equal.pitches.append({static_cast<long double>(degree * 100), {}, {}, degree});
    }
    TemperamentValues values{};
    try {
        values = TemperamentFromScale(equal, mapping);
    } catch (const ScalaError&) {
        return;
    }
    for (const long double value : values) {
        Require(std::fabs(static_cast<double>(value - values[0])) < 1e-6,
                "an equal-tempered scale under a mapping is no longer equal-tempered: " +
                    Values(values));
    }
}

} // namespace zk::fuzz
