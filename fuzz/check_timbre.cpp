// SPDX-License-Identifier: GPL-3.0-or-later
// The "Klangfarbe" line of a piece file: written back and read again it gives the same six
// texts; and whatever is typed into the six overtone edits, the partials' amplitudes stay
// within what one voice may sound (together at most 32 000), none of them negative.
#include "fuzz_checks.h"

#include "piece/piece_text.h"
#include "sound/timbre.h"
#include "support/evaluator.h"

#include <numeric>

namespace zk::fuzz {

void CheckTimbreLine(const QByteArray& input) {
    // Written back, the six numbers read as the same values; a tiny negative number written
    // with fifteen decimals is "-0", read again as 0, and from then on the line stays as it is.
    const TimbreTexts texts = TimbreTextsFromLine(InputText(input));
    const TimbreTexts again = TimbreTextsFromLine(TimbreLine(texts));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        Require(EvaluateOrZero(again[i]) == EvaluateOrZero(texts[i]),
                "a timbre number written back reads as another: " + texts[i].toStdString() +
                    " became " + again[i].toStdString());
    }
    Require(TimbreTextsFromLine(TimbreLine(again)) == again,
            "a timbre line changes at every writing");

    const QStringList lines = InputParts(input, 6);
    for (const OvertoneTexts& edits :
         {texts, OvertoneTexts{lines[0], lines[1], lines[2], lines[3], lines[4], lines[5]}}) {
        Timbre timbre;
        timbre.overtoneTexts = edits;
        timbre.Eoberton1Exit();
        const OvertoneAmplitudes& amplitudes = timbre.amplitudes;
        Require(amplitudes == ComputeOvertoneAmplitudes(OvertonePercentages(edits)),
                "leaving an edit gives other amplitudes than its percentages");
        for (const std::int32_t amplitude : amplitudes) {
            Require(amplitude >= 0, "a partial with a negative amplitude");
        }
        const std::int64_t sum =
            std::accumulate(amplitudes.begin(), amplitudes.end(), std::int64_t{0});
        Require(sum > 0 && sum <= 32000, "the partials sum to " + std::to_string(sum));
    }
}

} // namespace zk::fuzz
