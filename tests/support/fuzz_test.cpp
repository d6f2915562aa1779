// Random short texts built from the characters that matter to the parsers: no input may crash,
// hang, leak an exception of the wrong kind, or produce a value that is not finite.
#include "common/locale_guard.h"
#include "support/errors.h"
#include "support/evaluator.h"
#include "support/number_text.h"
#include "support/text_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace zk {
namespace {

QString RandomText(std::mt19937& random) {
    static const QString alphabet =
        QStringLiteral("0123456789+-*/:^().,E e xPiabcdglnorstuw_|\r\t·ä");
    std::uniform_int_distribution<int> length(0, 14);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
    QString text;
    for (int n = length(random); n > 0; --n) {
        text.append(alphabet.at(pick(random)));
    }
    return text;
}

TEST(Fuzz, ParsersSurviveRandomTexts) {
    std::mt19937 random(20261207);
    int evaluated = 0;
    for (const QLocale& locale : {test::German(), test::English()}) {
        test::LocaleGuard guard(locale);
        for (int i = 0; i < 150000; ++i) {
            const QString text = RandomText(random);
            try {
                const long double value = Evaluate(text);
                ASSERT_TRUE(std::isfinite(value)) << text.toStdString();
                ++evaluated;
            } catch (const MathError& error) {
                ASSERT_TRUE(error.message().startsWith(QStringLiteral("Fehler:Fehler in ")));
            }
            try {
                ASSERT_TRUE(std::isfinite(TextToNumber(text))) << text.toStdString();
            } catch (const Error&) {
                // Conversion, range and power errors are the documented failures.
            }
            ASSERT_TRUE(std::isfinite(NumberField(text, 1 + i % 4))) << text.toStdString();
            const QString word = WordAt(text, 1 + i % 5);
            ASSERT_FALSE(word.contains(u' ')) << text.toStdString();
            const QString token = TokenAt(text, 1 + i % 5);
            ASSERT_LE(token.size(), text.size());
            ASSERT_FALSE(NumberToText(i % 19, static_cast<long double>(i) / 7).isEmpty());
        }
    }
    // The alphabet is rich enough that a good share of the texts are valid expressions.
    EXPECT_GT(evaluated, 10000);
}

} // namespace
} // namespace zk
