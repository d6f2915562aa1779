// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/key_check.h"

#include "support/fractions.h"
#include "support/number_text.h"
#include "support/text_helpers.h"

#include <cmath>

namespace zk {

namespace {

constexpr long double kMaxInt32 = 2147483647.0L;

int PrimeFactors235(long long n) {
    int count = 0;
    for (long long p : {2LL, 3LL, 5LL}) {
        while (n % p == 0) {
            n /= p;
            ++count;
        }
    }
    return count;
}

} // namespace

const QStringList& TonartList() {
    static const QStringList keys = {
        QStringLiteral("c"),  QStringLiteral("f"),   QStringLiteral("g"),  QStringLiteral("b"),
        QStringLiteral("d"),  QStringLiteral("e*"),  QStringLiteral("a"),  QStringLiteral("a*"),
        QStringLiteral("e"),  QStringLiteral("d*"),  QStringLiteral("h"),  QStringLiteral("g*"),
        QStringLiteral("f#"), QStringLiteral("c*"),  QStringLiteral("c#"), QStringLiteral("f*"),
        QStringLiteral("g#"), QStringLiteral("b*"),  QStringLiteral("d#"), QStringLiteral("e**"),
        QStringLiteral("a#"), QStringLiteral("a**"), QStringLiteral("e#"), QStringLiteral("d**"),
        QStringLiteral("h#"),
    };
    return keys;
}

long long RatioComplexity(long double a, long double b) {
    if (!(a > 0) || !(b > 0)) {
        return kNoFractionScore; // a ratio of 0 has no prime factors to count
    }
    const FractionApproximation approximation = ApproximateFraction(1e-15L, a / b);
    const long double num = std::nearbyint(approximation.fraction.num);
    const long double den = std::nearbyint(approximation.fraction.den);
    if (!(num >= 1 && num <= kMaxInt32 && den >= 1 && den <= kMaxInt32)) {
        return kNoFractionScore;
    }
    return PrimeFactors235(static_cast<long long>(num)) +
           PrimeFactors235(static_cast<long long>(den));
}

std::array<long long, 25> KeyScores(const QString& chord, TonartScale& scale) {
    std::array<long long, 25> scores{};
    const QStringList& keys = TonartList();
    // The chord's eight slots do not depend on the key: they are read from the text while the
    // first trial key is scored and taken from there for the others, so that a long chord text
    // is read once, not 25 times.
    std::array<ParsedTone, 8> tones;
    std::size_t parsed = 0;
    int pos = 1;
    for (int k = 0; k < keys.size(); ++k) {
        int keyPos = 1;
        // The trial tonic is the tempered pitch of the key's name, not snapped to anything.
        scale.SetTonart(QString(), ParseTone(keys.at(k), keyPos).frequency);
        long long score = 0;
        long double previous = 0;
        for (std::size_t i = 0; i < tones.size(); ++i) {
            if (i == parsed) {
                tones[i] = ParseTone(chord, pos);
                ++parsed;
            }
            const ParsedTone& tone = tones[i];
            const long double f = scale.SnapToTonart(tone.frequency, tone.modifiers);
            if (i > 0 && f > 0 && previous > 0) {
                score += RatioComplexity(previous, f);
            }
            previous = f;
        }
        scores[static_cast<std::size_t>(k)] = score;
    }
    return scores;
}

QString TonartCheck(const QString& chord, TonartScale& scale) {
    const std::array<long long, 25> scores = KeyScores(chord, scale);
    QString text = QStringLiteral(
        "Tragen Sie die zur letzten Tonart benachbarten (auch Dur- und Mollparallelen)mit den "
        "kleinsten Nummer in das angeklickte Feld ein!\r"
        "Achten Sie darauf:\r"
        "1. ob es in Richtung Dominante oder Subdominate geht.\r"
        "   (Mollparallele Terz aufwärts ist dominantisch, Terz abwärts subdominantisch.)\r"
        "2. dass gleiche Töne die gleiche Frequenz erhalten (Kommafalle vermeiden!)");
    const QStringList& keys = TonartList();
    for (int k = 0; k < keys.size(); ++k) {
        text += u'\r' +
                PadRight(NumberToGroupedText(
                             0, static_cast<long double>(scores[static_cast<std::size_t>(k)])),
                         12) +
                keys.at(k);
    }
    return text;
}

QString TonartCheckHint() {
    return QStringLiteral("Hinweis: Klicken Sie doppelt auf das erste Feld.\r"
                          "Es wird überprüft, welche benachbarte Tonart im Quintenzirkel\r"
                          "reinere Intervalle erzeugt.");
}

} // namespace zk
