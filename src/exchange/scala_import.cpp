// SPDX-License-Identifier: GPL-3.0-or-later
// A Scala scale as a row of the temperament list: twelve tones an octave, laid onto the keys by
// the mapping, rising from c to h, each keeping its own degree when the pass plays it.
#include "exchange/scala_file.h"

#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "exchange/scala_detail.h"
#include "support/checked_math.h"
#include "support/number_text.h"
#include "support/text_helpers.h"

#include <algorithm>
#include <cmath>

namespace zk {

using namespace scala_detail;

namespace {

// How close a period must come to 1200 cents to count as the octave.
constexpr long double kPeriodTolerance = 0.0005L;

// The keys c1 .. h1 must play rising pitches below c2: the pass moves a tone to the nearest
// degree by walking up the scale, so a degree at or below the one before it is never found and
// tones around it go to the wrong one. Of two keys out of order the one farther from its
// equal-tempered place is named, with the line and value of the degree it plays.
template <typename KeyDegree, typename KeyCents>
void CheckRisingKeys(const ScalaScale& scale, const KeyDegree& keyDegree,
                     const KeyCents& keyCents) {
    std::array<long double, 13> above{}; // cents above c1 of c1 .. c2
    for (std::size_t k = 0; k < above.size(); ++k) {
        above[k] = keyCents(kMiddleC + static_cast<int>(k)) - keyCents(kMiddleC);
    }
    const auto deviation = [&](std::size_t k) {
        return above[k] - 100.0L * static_cast<long double>(k);
    };
    // The pitch line of a degree; none for degree 0, the period for its repetitions.
    const auto pitchOf = [&](int degree) -> const ScalaPitch* {
        const int index = degree % 12;
        if (index != 0) {
            return &scale.pitches.at(index - 1);
        }
        return degree == 0 ? nullptr : &scale.pitches.last();
    };
    // A degree as the file writes it: degree 0 is 1/1, the others their ratio or cents.
    const auto written = [&](int degree) {
        const ScalaPitch* found = pitchOf(degree);
        if (found == nullptr) {
            return QStringLiteral("Stufe 0: 1/1");
        }
        const ScalaPitch& pitch = *found;
        const QString value = !pitch.numerator.isEmpty()
                                  ? QuotedInput(pitch.numerator + u'/' + pitch.denominator)
                                  : NumberToText(3, pitch.cents) + QStringLiteral(" Cent");
        return QStringLiteral("Stufe %1: %2").arg(degree).arg(value);
    };
    for (std::size_t k = 0; k + 1 < above.size(); ++k) {
        if (above[k + 1] > above[k]) {
            continue;
        }
        const bool later = std::fabs(deviation(k + 1)) >= std::fabs(deviation(k));
        const std::size_t culprit = later ? k + 1 : k;
        const std::size_t other = later ? k : k + 1;
        const int culpritKey = kMiddleC + static_cast<int>(culprit);
        const int otherKey = kMiddleC + static_cast<int>(other);
        const int degree = keyDegree(culpritKey);
        const ScalaPitch* pitch = pitchOf(degree);
        const int line = pitch == nullptr ? 0 : pitch->line;
        QString neighbour;
        if (other == 12) {
            neighbour = QStringLiteral("unter dem c der nächsten Oktave");
        } else {
            neighbour = (later ? QStringLiteral("über dem Ton %1 davor")
                               : QStringLiteral("unter dem Ton %1 danach"))
                            .arg(ToneName(static_cast<int>(other % 12)));
        }
        const QString text =
            QStringLiteral("Der Ton %1 (%2) liegt nicht %3 (%4). Die Töne einer Zeile der "
                           "Stimmungsliste müssen von c bis h steigen, denn beim Spielen wird "
                           "jeder Ton zur nächsten Stufe gezogen.")
                .arg(ToneName(static_cast<int>(culprit % 12)), written(degree), neighbour,
                     written(keyDegree(otherKey) + (other == 12 ? 12 : 0)));
        throw ScalaError(line > 0 ? LineMessage(line, text) : text);
    }
}

} // namespace

void CheckTwelveToneOctave(const ScalaScale& scale) {
    const qsizetype n = scale.pitches.size();
    if (n != 12) {
        throw ScalaError(QStringLiteral("Die Tonleiter hat %1 Töne; eine Zeile der "
                                        "Stimmungsliste braucht genau 12 Töne je Oktave.")
                             .arg(n));
    }
    const long double period = scale.pitches.last().cents;
    if (std::fabs(period - kOctaveCents) > kPeriodTolerance) {
        throw ScalaError(QStringLiteral("Die Tonleiter wiederholt sich nach %1 Cent statt nach "
                                        "einer Oktave (1200 Cent, 2/1); eine Zeile der "
                                        "Stimmungsliste beschreibt eine Oktave.")
                             .arg(NumberToText(3, period)));
    }
}

TemperamentValues TemperamentFromScale(const ScalaScale& scale,
                                       const std::optional<KeyboardMapping>& mapping) {
    CheckTwelveToneOctave(scale);
    // Cents of a degree above degree 0; degrees beyond the period lie whole periods higher.
    const auto degreeCents = [&](int degree) {
        const int index = degree % 12;
        const long double base =
            index == 0 ? 0.0L : scale.pitches.at(static_cast<qsizetype>(index - 1)).cents;
        return static_cast<long double>(degree / 12) * kOctaveCents + base;
    };
    const KeyboardMapping map = mapping.value_or(KeyboardMapping{});
    if (map.size != 0 && map.size != 12) {
        throw ScalaError(QStringLiteral("Die Tastenzuordnung wiederholt sich nach %1 Tasten; "
                                        "für eine Zeile der Stimmungsliste muss sie sich nach 12 "
                                        "Tasten wiederholen (Größe 0 oder 12).")
                             .arg(map.size));
    }
    if (map.size == 12 && map.octaveDegree != 0 && map.octaveDegree != 12) {
        throw ScalaError(QStringLiteral("Die Tastenzuordnung nimmt die Stufe %1 als Oktave; für "
                                        "eine Zeile der Stimmungsliste muss es die Oktave 2/1 "
                                        "(Stufe 12) sein.")
                             .arg(map.octaveDegree));
    }
    // The degree a key plays (counted from the middle key's degree 0 of its own repetition).
    const auto keyDegree = [&](int key) -> int {
        const int index = FloorMod(key - map.middleKey, 12);
        if (map.size == 0) {
            return index;
        }
        const std::optional<int> degree =
            index < map.entries.size() ? map.entries.at(index) : std::nullopt;
        if (!degree) {
            throw ScalaError(QStringLiteral("Die Tastenzuordnung lässt die Taste %1 (Ton %2) "
                                            "frei; eine Zeile der Stimmungsliste braucht alle "
                                            "zwölf Töne.")
                                 .arg(key)
                                 .arg(ToneName(FloorMod(key, 12))));
        }
        return *degree;
    };
    // Cents of a key above the middle key's degree 0.
    const auto keyCents = [&](int key) -> long double {
        const long double octaves = FloorDiv(key - map.middleKey, 12) * kOctaveCents;
        return degreeCents(keyDegree(key)) + octaves;
    };
    CheckRisingKeys(scale, keyDegree, keyCents);
    const long double referenceCents = keyCents(map.referenceKey);
    // f(key) = F × 2^((cents(key) − cents(reference)) / 1200) against 440 × 2^((key − 69) / 12).
    const long double referenceOffset = kOctaveCents * std::log2(map.referenceFrequency / 440.0L);
    TemperamentValues values{};
    for (std::size_t i = 0; i < 12; ++i) {
        const int key = kMiddleC + kRowPitchClasses[i];
        values[i] = keyCents(key) - referenceCents + referenceOffset - 100.0L * (key - kA1);
    }
    return values;
}

QString ImportSclAsRow(const QString& sclText, const std::optional<QString>& kbmText,
                       const QString& code, const QString& name, const TemperamentList& list) {
    CheckTemperamentCode(code);
    CheckTemperamentName(name);
    const ScalaScale scale = ReadScl(sclText);
    std::optional<KeyboardMapping> mapping;
    if (kbmText) {
        try {
            mapping = ReadKbm(*kbmText);
        } catch (const ScalaError& error) {
            throw ScalaError(QStringLiteral("Tastenzuordnung: ") + error.message());
        }
    }
    const TemperamentValues values = TemperamentFromScale(scale, mapping);
    for (std::size_t i = 0; i < 12; ++i) {
        if (std::fabs(values[i]) >= 600) {
            throw ScalaError(QStringLiteral("Der Ton %1 läge %2 Cent neben dem gleichstufigen "
                                            "Ton; eine Zeile der Stimmungsliste kann nur "
                                            "Abweichungen deutlich unter einem Halbton "
                                            "darstellen.")
                                 .arg(ToneName(kRowPitchClasses[i]), NumberToText(1, values[i])));
        }
    }
    const QString line = TemperamentRowLine(code, name, values, TemperamentListSeparator(list));

    // Played as the pass plays it: each tone is moved to the nearest of the twelve tempered
    // pitches, which must be its own.
    TemperamentList alone(QStringList{line});
    TonartScale played(&alone);
    played.SetTonart(code, 440);
    if (alone.lines().size() != 1) {
        // The written values no longer rise (a difference lost in the rounding).
        throw ScalaError(QStringLiteral("Die Zeile würde in der Stimmungsliste als fehlerhaft "
                                        "gelesen: %1")
                             .arg(line.simplified()));
    }
    // The degree (row index) a pitch lies on, in whatever octave.
    const auto degreeOf = [&](long double pitch) {
        for (int j = 0; j < 12; ++j) {
            const long double octaves = std::log2(pitch / played.degree(j));
            if (std::fabs(octaves - std::round(octaves)) < 1e-12L) {
                return j;
            }
        }
        return -1;
    };
    // A tone pulled to a neighbour's degree: of the two, the one farther from its equal-tempered
    // place is out of place (a tone a semitone low takes the place of the one below it).
    std::array<bool, 12> outOfPlace{};
    std::array<int, 12> pulledTo{}; // by pitch class from c: the pitch class it goes to, or -1
    pulledTo.fill(-1);
    for (std::size_t i = 0; i < 12; ++i) {
        const long double tempered = 440.0L * std::exp2(static_cast<long double>(i) / 12);
        const int j = degreeOf(played.SnapToTonart(tempered, {}));
        if (j == static_cast<int>(i)) {
            continue;
        }
        std::size_t culprit = i;
        if (j >= 0) {
            const auto u = static_cast<std::size_t>(j);
            pulledTo[static_cast<std::size_t>(kRowPitchClasses[i])] = kRowPitchClasses[u];
            culprit = std::fabs(values[i]) > std::fabs(values[u]) ? i : u;
        }
        outOfPlace[culprit] = true;
    }
    QList<std::size_t> named; // row indices, the farthest first
    for (std::size_t i = 0; i < 12; ++i) {
        if (outOfPlace[i]) {
            named.append(i);
        }
    }
    if (named.isEmpty()) {
        return line;
    }
    std::stable_sort(named.begin(), named.end(), [&](std::size_t a, std::size_t b) {
        return std::fabs(values[a]) > std::fabs(values[b]);
    });
    const auto toneAndCents = [&](std::size_t i) {
        return QStringLiteral("%1 um %2 Cent")
            .arg(ToneName(kRowPitchClasses[i]), NumberToText(1, values[i]));
    };
    const auto joined = [](const QStringList& parts) {
        if (parts.size() < 2) {
            return parts.join(QString());
        }
        return parts.mid(0, parts.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" und ") +
               parts.last();
    };
    QString message =
        QStringLiteral("Der Ton %1 weicht um %2 Cent vom gleichstufigen Ton ab")
            .arg(ToneName(kRowPitchClasses[named.first()]), NumberToText(1, values[named.first()]));
    if (named.size() > 1) {
        QStringList others;
        for (qsizetype n = 1; n < named.size(); ++n) {
            others.append(toneAndCents(named.at(n)));
        }
        message += QStringLiteral(", ebenso ") + joined(others);
    }
    QStringList pulls;
    for (int pitchClass = 0; pitchClass < 12; ++pitchClass) {
        const int to = pulledTo[static_cast<std::size_t>(pitchClass)];
        if (to >= 0) {
            pulls.append(QStringLiteral("%1 zu %2").arg(ToneName(pitchClass), ToneName(to)));
        }
    }
    if (pulls.size() == 1) {
        message += QStringLiteral("; beim Spielen würde deshalb ") + pulls.first() +
                   QStringLiteral(" gezogen");
    } else if (pulls.size() > 1) {
        message += QStringLiteral("; beim Spielen würden deshalb Töne zur Stufe eines Nachbarn "
                                  "gezogen: ") +
                   joined(pulls);
    }
    throw ScalaError(message + QStringLiteral(". Eine Zeile der Stimmungsliste verträgt nur "
                                              "Abweichungen, bei denen jeder Ton seiner eigenen "
                                              "Stufe am nächsten bleibt (etwa unter 50 Cent)."));
}

} // namespace zk
