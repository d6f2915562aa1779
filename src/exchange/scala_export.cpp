// SPDX-License-Identifier: GPL-3.0-or-later
// Writing Scala files: a row of the temperament list, or the twelve pitches in force at a row of
// a computed piece, as a scale and a keyboard mapping that play it on the MIDI keys.
#include "exchange/scala_file.h"

#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "engine/tone_names.h"
#include "exchange/scala_detail.h"
#include "piece/compute_pass.h"
#include "piece/pass_host.h"
#include "piece/piece_table.h"
#include "support/checked_math.h"
#include "support/program_files.h"
#include "support/system_reason.h"
#include "support/text_helpers.h"

#include <QSaveFile>

#include <array>
#include <cmath>
#include <optional>

namespace zk {

using namespace scala_detail;

namespace {

// When a pitch is written as a 5-limit ratio: within `tolerance` cents of it, with terms of at
// most `maxTerm`.
struct RatioMatch {
    long double tolerance;
    long double maxTerm;
};
// The pitches of a just key: its ratios are met to the last bits of extended precision, so any
// 5-limit ratio of up to 15 digits is recognised and tempered pitches are far off.
constexpr RatioMatch kExactRatios = {1e-6L, 1e15L};
// The pitches of a row of the list: its values keep three decimals, each within half a
// thousandth of a cent, so a degree (the difference of two values) is known to a thousandth.
// Within that, a ratio of terms up to five digits is what the row meant (5-limit ratios of such
// terms lie more than a cent apart); a longer one would be a guess.
constexpr RatioMatch kRowRatios = {0.001L + 1e-9L, 99999};

// Values with at most `decimals` decimals and a point, trailing zeros dropped but one kept.
QString ScalaNumber(long double x, int decimals) {
    const long double scale = std::pow(10.0L, decimals);
    const long long scaled = std::llround(x * scale);
    const bool negative = scaled < 0;
    const unsigned long long magnitude =
        negative ? 0ULL - static_cast<unsigned long long>(scaled) : scaled;
    const unsigned long long unit = static_cast<unsigned long long>(std::llround(scale));
    QString fraction = QString::number(magnitude % unit).rightJustified(decimals, u'0');
    while (fraction.size() > 1 && fraction.endsWith(u'0')) {
        fraction.chop(1);
    }
    return (negative ? QStringLiteral("-") : QString()) + QString::number(magnitude / unit) + u'.' +
           fraction;
}

// The simplest 5-limit ratio 2^a 3^b 5^c (fewest factors 3 and 5) that `match` takes for
// `cents`, written "p/q", or nothing.
std::optional<QString> FiveLimitRatio(long double cents, const RatioMatch& match) {
    const long double octaves = cents / kOctaveCents;
    const long double log3 = std::log2(3.0L);
    const long double log5 = std::log2(5.0L);
    std::optional<QString> best;
    int bestWeight = 0;
    for (int b = -12; b <= 12; ++b) {
        for (int c = -8; c <= 8; ++c) {
            const int weight = std::abs(b) + std::abs(c);
            if (best && weight >= bestWeight) {
                continue;
            }
            const long double rest = octaves - b * log3 - c * log5;
            const long double a = std::nearbyint(rest);
            if (std::fabs(rest - a) * kOctaveCents > match.tolerance) {
                continue;
            }
            // Numerator and denominator as exact products (up to 64 bits), refused beyond the
            // match's terms.
            long double p = 1;
            long double q = 1;
            const auto times = [](long double& x, long double factor, int n) {
                for (int i = 0; i < n; ++i) {
                    x *= factor;
                }
            };
            times(b > 0 ? p : q, 3, std::abs(b));
            times(c > 0 ? p : q, 5, std::abs(c));
            times(a > 0 ? p : q, 2, static_cast<int>(std::fabs(a)));
            if (p > match.maxTerm || q > match.maxTerm) {
                continue;
            }
            best = QStringLiteral("%1/%2")
                       .arg(static_cast<qulonglong>(p))
                       .arg(static_cast<qulonglong>(q));
            bestWeight = weight;
        }
    }
    return best;
}

// A tuning of the twelve keys of an octave: the cents of the degrees 1 .. 11 above degree 0, the
// key of degree 0 and the reference key with its frequency.
struct KeyTuning {
    QString description;
    QStringList comments;
    std::array<long double, 12> cents{}; // cents[0] = 0
    int middleKey = kMiddleC;
    int referenceKey = kA1;
    long double referenceFrequency = 440;
    RatioMatch ratios = kExactRatios; // which pitches are written as ratios
    bool keepRow = false; // the degrees are a row's: written as ratios only where it comes back
};

// Twelve ascending degrees (cents above the first one, whose frequency at key `firstKey` is
// `firstFrequency`) re-rooted on the pitch class `root`, the reference staying on the first key.
KeyTuning RootedTuning(const std::array<long double, 12>& degreeCents, int firstKey,
                       long double firstFrequency, int root) {
    KeyTuning tuning;
    // Keys and frequencies are brought into MIDI's range by octaves.
    while (firstKey > 127) {
        firstKey -= 12;
        firstFrequency /= 2;
    }
    while (firstKey < 0) {
        firstKey += 12;
        firstFrequency *= 2;
    }
    const int rootIndex = FloorMod(root - firstKey, 12);
    for (int j = 0; j < 12; ++j) {
        const int index = rootIndex + j;
        const long double above =
            index >= 12 ? degreeCents[static_cast<std::size_t>(index - 12)] + kOctaveCents
                        : degreeCents[static_cast<std::size_t>(index)];
        tuning.cents[static_cast<std::size_t>(j)] =
            above - degreeCents[static_cast<std::size_t>(rootIndex)];
    }
    tuning.cents[0] = 0;
    tuning.middleKey = firstKey + rootIndex;
    if (tuning.middleKey > firstKey) {
        tuning.middleKey -= 12; // degree 0 at or below the reference key
    }
    if (tuning.middleKey < 0) {
        tuning.middleKey += 12;
    }
    tuning.referenceKey = firstKey;
    tuning.referenceFrequency = firstFrequency;
    return tuning;
}

// The degrees 1 .. 11 of a tuning written as ratios; none where a degree is written in cents.
using DegreeRatios = std::array<std::optional<QString>, 12>;

ScalaFiles FilesOf(const KeyTuning& tuning, const DegreeRatios& ratios) {
    const QString crlf = QStringLiteral("\r\n");
    ScalaFiles files;
    files.description = tuning.description;
    QString& scl = files.scl;
    for (const QString& comment : tuning.comments) {
        scl += QStringLiteral("! ") + comment + crlf;
    }
    scl += QStringLiteral("!") + crlf;
    scl += tuning.description + crlf;
    scl += QStringLiteral(" 12") + crlf;
    scl += QStringLiteral("!") + crlf;
    for (std::size_t j = 1; j < 12; ++j) {
        const std::optional<QString>& ratio = ratios[j];
        scl += u' ' + (ratio ? *ratio : ScalaNumber(tuning.cents[j], 6)) + crlf;
    }
    scl += QStringLiteral(" 2/1") + crlf;

    QString& kbm = files.kbm;
    const auto entry = [&](const QString& comment, const QString& value) {
        kbm += QStringLiteral("! ") + comment + crlf + value + crlf;
    };
    kbm += QStringLiteral("! Tastenzuordnung zu: ") + tuning.description + crlf;
    entry(QStringLiteral("Größe der Zuordnung (Tasten bis zur Wiederholung):"),
          QStringLiteral("12"));
    entry(QStringLiteral("Erste umgestimmte MIDI-Taste:"), QStringLiteral("0"));
    entry(QStringLiteral("Letzte umgestimmte MIDI-Taste:"), QStringLiteral("127"));
    entry(QStringLiteral("Taste der Stufe 0:"), QString::number(tuning.middleKey));
    entry(QStringLiteral("Bezugstaste:"), QString::number(tuning.referenceKey));
    entry(QStringLiteral("Frequenz der Bezugstaste in Hz:"),
          ScalaNumber(tuning.referenceFrequency, 6));
    entry(QStringLiteral("Stufe der Oktave:"), QStringLiteral("12"));
    kbm += QStringLiteral("! Zuordnung (Stufe je Taste ab der Taste der Stufe 0):") + crlf;
    for (int j = 0; j < 12; ++j) {
        kbm += QString::number(j) + crlf;
    }
    return files;
}

// The row the files give when read back, in thousandths of a cent as the list keeps it.
std::array<long long, 12> RowReadBack(const ScalaFiles& files) {
    const TemperamentValues values = TemperamentFromScale(ReadScl(files.scl), ReadKbm(files.kbm));
    std::array<long long, 12> milli{};
    for (std::size_t i = 0; i < 12; ++i) {
        milli[i] = std::llround(values[i] * 1000);
    }
    return milli;
}

// A row's degrees written as ratios must give the row back when the files are imported again:
// a ratio moves its degree by up to a thousandth of a cent, which may carry a value over into
// the next thousandth (quarter-comma meantone's e, -3,422, would come back as -3,421 from 5/4).
// Such a degree is written in cents; the reference's degree first, as it moves every value.
void KeepTheRow(const KeyTuning& tuning, DegreeRatios& ratios) {
    try {
        const std::array<long long, 12> row = RowReadBack(FilesOf(tuning, DegreeRatios{}));
        const int referenceDegree = FloorMod(tuning.referenceKey - tuning.middleKey, 12);
        for (;;) {
            const std::array<long long, 12> back = RowReadBack(FilesOf(tuning, ratios));
            if (back == row) {
                return;
            }
            auto& reference = ratios[static_cast<std::size_t>(referenceDegree)];
            if (reference) {
                reference.reset();
                continue;
            }
            bool dropped = false;
            for (std::size_t i = 0; i < 12; ++i) {
                const int key = kMiddleC + kRowPitchClasses[i];
                auto& ratio =
                    ratios[static_cast<std::size_t>(FloorMod(key - tuning.middleKey, 12))];
                if (back[i] != row[i] && ratio) {
                    ratio.reset();
                    dropped = true;
                }
            }
            if (!dropped) {
                break;
            }
        }
    } catch (const ScalaError&) {
        // Degrees that cannot be a row (not rising): nothing to keep.
    }
    ratios = DegreeRatios{};
}

ScalaFiles FilesOf(const KeyTuning& tuning) {
    DegreeRatios ratios;
    for (std::size_t j = 1; j < 12; ++j) {
        ratios[j] = FiveLimitRatio(tuning.cents[j], tuning.ratios);
    }
    if (tuning.keepRow) {
        KeepTheRow(tuning, ratios);
    }
    return FilesOf(tuning, ratios);
}

// Deviations from equal temperament (the list's order) as twelve degrees from a in cents.
std::array<long double, 12> DegreesFromA(const TemperamentValues& values) {
    std::array<long double, 12> cents{};
    for (std::size_t i = 0; i < 12; ++i) {
        cents[i] = 100.0L * static_cast<long double>(i) + values[i] - values[0];
    }
    return cents;
}

// A PassHost that computes without anything outside the table.
class SilentHost : public PassHost {
public:
    explicit SilentHost(QString kammerton) : m_kammerton(std::move(kammerton)) {}
    QString KammertonText() const override { return m_kammerton; }
    void SetKammertonText(const QString& text) override { m_kammerton = text; }
    QString TempoText() const override { return QStringLiteral("80"); }
    bool Dauernd() const override { return false; }
    void ClearLastPiece() override {}
    void NotateTable(const PieceTable&) override {}
    void HideNotation() override {}
    void ScrollToRow(int) override {}
    void ProcessPendingEvents() override {}
    void PlayChord(int, const ChordFrequencies&) override {}
    void ShowKeyCheck(const QString&) override {}

private:
    QString m_kammerton;
};

int NearestKey(long double frequency) {
    return static_cast<int>(std::lround(kA1 + 12 * std::log2(frequency / 440.0L)));
}

bool IsJustScale(const TonartScale& scale) {
    TonartScale just;
    just.SetJust(scale.degree(0));
    for (int k = 0; k < 13; ++k) {
        if (std::fabs(scale.degree(k) / just.degree(k) - 1) > 1e-15L) {
            return false;
        }
    }
    return true;
}

} // namespace

ScalaFiles ExportRowAsScl(const TemperamentList& list, const QString& code,
                          const QString& kammertonText) {
    CheckTemperamentCode(code);
    const TemperamentValues values = RowValues(list, code);
    SilentHost host(kammertonText);
    const long double a1 = ReadKammerton(host) * std::exp2(values[0] / kOctaveCents);
    KeyTuning tuning = RootedTuning(DegreesFromA(values), kA1, a1, 0);
    tuning.ratios = kRowRatios;
    tuning.keepRow = true;
    const QString name = RowName(list, code);
    tuning.description = name.isEmpty() ? code : name;
    tuning.comments = {
        QStringLiteral("Zirkelon, Stimmung \"%1\" der Stimmungsliste: Stufe 0 auf c, a1 = %2 Hz")
            .arg(code, ScalaNumber(a1, 3))};
    return FilesOf(tuning);
}

ScalaFiles ExportPieceRowAsScl(const PieceTable& table, int row, const TemperamentList& list,
                               const QString& kammertonText, const QString& pieceName) {
    if (row < 1 || row >= table.RowCount()) {
        throw ScalaError(QStringLiteral("Das Stück hat keine Zeile %1.").arg(row));
    }
    // Rows 1 .. row computed silently, as a pass up to that row leaves the key.
    PieceTable upToRow;
    upToRow.SetRowCount(row + 1);
    for (int r = 0; r <= row; ++r) {
        for (int column = 0; column < PieceTable::kColumnCount; ++column) {
            upToRow.SetCell(column, r, table.Cell(column, r));
        }
    }
    TemperamentList temperaments = list;
    TonartScale scale(&temperaments);
    PassSettings settings;
    settings.onlyCompute = true;
    SilentHost host(kammertonText);
    ComputePass(0, upToRow, scale, settings, host);
    const long double factor = ReadKammerton(host) / 440.0L;

    // The key in force: the last key entry; and the tone written in the last one that set a just
    // tonic (its name decides the tonic's key, however far the commas have moved it).
    QString key;
    long double writtenTonic = 0; // 0: none
    for (int r = 1; r <= row; ++r) {
        const QString entry = Trim(table.Cell(PieceTable::kKeyColumn, r));
        if (entry.isEmpty()) {
            continue;
        }
        key = entry;
        if (entry.startsWith(u'~')) {
            continue;
        }
        if (entry.startsWith(u'm')) {
            writtenTonic = 0;
            continue;
        }
        int pos = 1;
        try {
            const ParsedTone tone = ParseTone(entry, pos);
            if (tone.frequency > 0) {
                writtenTonic = tone.frequency;
            }
        } catch (const Error&) {
            // The pass did not take this key either.
        }
    }

    QString kind;
    KeyTuning tuning;
    const auto degreesOf = [](const TonartScale& s) {
        std::array<long double, 12> cents{};
        for (int k = 0; k < 12; ++k) {
            cents[static_cast<std::size_t>(k)] =
                kOctaveCents * std::log2(s.degree(k) / s.degree(0));
        }
        return cents;
    };
    if (key.startsWith(u'~')) {
        std::array<long double, 12> equal{};
        for (std::size_t k = 0; k < 12; ++k) {
            equal[k] = 100.0L * static_cast<long double>(k);
        }
        tuning = RootedTuning(equal, kA1, 440.0L * factor, 0);
        kind = QStringLiteral("gleichstufig");
    } else {
        if (key.size() >= 2 && key.startsWith(u'm')) {
            // Every tone of a tempered key rebuilds the scale from its row, with a = 440 Hz.
            scale.SetTonart(key, 440);
        }
        if (IsJustScale(scale)) {
            const long double tonic = scale.degree(0);
            const int tonicKey = writtenTonic > 0 && !key.startsWith(u'm')
                                     ? NearestKey(writtenTonic)
                                     : NearestKey(tonic);
            tuning = RootedTuning(degreesOf(scale), tonicKey, tonic * factor, tonicKey);
            kind = QStringLiteral("rein, Grundton %1 Hz").arg(ScalaNumber(tonic * factor, 3));
        } else {
            // A temperament: its first degree is a1.
            tuning = RootedTuning(degreesOf(scale), NearestKey(scale.degree(0)),
                                  scale.degree(0) * factor, 0);
            // Its degrees come from the row's values.
            tuning.ratios = kRowRatios;
            tuning.keepRow = true;
            kind = QStringLiteral("temperiert");
        }
    }
    const QString keyText = key.isEmpty() ? QStringLiteral("keine") : key;
    tuning.description = (pieceName.isEmpty() ? QStringLiteral("Zirkelon") : pieceName) +
                         QStringLiteral(", Zeile %1, Tonart %2 (%3)").arg(row).arg(keyText, kind);
    tuning.comments = {QStringLiteral("Zirkelon: die zwölf Töne der Zeile %1 (Kammerton %2 Hz)")
                           .arg(row)
                           .arg(ScalaNumber(factor * 440, 3))};
    return FilesOf(tuning);
}

QString KbmPathFor(const QString& sclPath) {
    if (sclPath.endsWith(QStringLiteral(".scl"), Qt::CaseInsensitive)) {
        return sclPath.left(sclPath.size() - 4) + QStringLiteral(".kbm");
    }
    return sclPath + QStringLiteral(".kbm");
}

void WriteScalaFiles(const QString& sclPath, const ScalaFiles& files) {
    const QString kbmPath = KbmPathFor(sclPath);
    CheckWritableFile(sclPath);
    CheckWritableFile(kbmPath);
    QSaveFile scl(sclPath);
    QSaveFile kbm(kbmPath);
    const auto fail = [](const QString& path, const QString& reason) {
        throw FileError(QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden: %2")
                            .arg(path, GermanReason(reason)));
    };
    // UTF-8, which today's tuning programs read (the texts are ASCII but for descriptions and
    // comments); no byte order mark, which older readers would take for a part of the first line.
    const QByteArray sclBytes = files.scl.toUtf8();
    const QByteArray kbmBytes = files.kbm.toUtf8();
    // Both are written in full before either replaces its file; an unfinished QSaveFile leaves
    // the old file alone.
    if (!scl.open(QIODevice::WriteOnly) || scl.write(sclBytes) != sclBytes.size()) {
        fail(sclPath, scl.errorString());
    }
    if (!kbm.open(QIODevice::WriteOnly) || kbm.write(kbmBytes) != kbmBytes.size()) {
        const QString reason = kbm.errorString();
        scl.cancelWriting();
        fail(kbmPath, reason);
    }
    if (!scl.commit()) {
        const QString reason = scl.errorString();
        kbm.cancelWriting();
        fail(sclPath, reason);
    }
    if (!kbm.commit()) {
        fail(kbmPath, kbm.errorString());
    }
}

} // namespace zk
