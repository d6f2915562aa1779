// SPDX-License-Identifier: GPL-3.0-or-later
// The text readers on the longest texts a field or a file hands them: a tempo or pitch field
// holds up to 32 767 characters, a pasted or loaded text 100 000 and more. Each benchmark reads
// one adversarial text of the length given as its argument, so that a reader whose work grows
// faster than the text shows at once.
#include "engine/chord_notation.h"
#include "engine/key_check.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "modulation/scale_text.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "support/errors.h"
#include "support/evaluator.h"
#include "support/number_text.h"
#include "support/text_helpers.h"
#include "support/user_dialogs.h"

#include <QString>

#include <benchmark/benchmark.h>

namespace {

// `unit` repeated until the text has `length` characters, after `head`.
QString Repeated(const QString& head, const QString& unit, qsizetype length) {
    QString text = head;
    text.reserve(length);
    while (text.size() < length) {
        text += unit;
    }
    text.truncate(length);
    return text;
}

template <typename Read> void ReadText(benchmark::State& state, const QString& text, Read read) {
    for (auto _ : state) {
        try {
            benchmark::DoNotOptimize(read(text));
        } catch (const zk::Error&) {
            // Most of these texts end in a range or conversion error; the reading is the cost.
        }
    }
    state.counters["chars"] = static_cast<double>(text.size());
}

// "1E1E1E…": a decimal exponent whose exponent has a decimal exponent, and so on.
void BM_TextToNumberExponentChain(benchmark::State& state) {
    ReadText(state, Repeated(QStringLiteral("1"), QStringLiteral("E1"), state.range(0)),
             [](const QString& t) { return zk::TextToNumber(t); });
}
BENCHMARK(BM_TextToNumberExponentChain)->Arg(32767)->Arg(100000)->Unit(benchmark::kMillisecond);

// "1EE0E0…", "5E,E1…": exponents that begin with further "E"s.
void BM_TextToNumberExponentRuns(benchmark::State& state) {
    ReadText(state, Repeated(QStringLiteral("5"), QStringLiteral("EE1"), state.range(0)),
             [](const QString& t) { return zk::TextToNumber(t); });
}
BENCHMARK(BM_TextToNumberExponentRuns)->Arg(32767)->Arg(100000)->Unit(benchmark::kMillisecond);

// "-      …5": blanks after a sign are removed one by one.
void BM_TextToNumberBlanksAfterSign(benchmark::State& state) {
    ReadText(state, Repeated(QStringLiteral("-"), QStringLiteral(" "), state.range(0) - 1) + u'5',
             [](const QString& t) { return zk::TextToNumber(t); });
}
BENCHMARK(BM_TextToNumberBlanksAfterSign)->Arg(32767)->Arg(100000)->Unit(benchmark::kMillisecond);

// A long run of digits with a separator: one conversion of the whole text.
void BM_TextToNumberDigits(benchmark::State& state) {
    ReadText(state, Repeated(QStringLiteral("0,"), QStringLiteral("3"), state.range(0)),
             [](const QString& t) { return zk::TextToNumber(t); });
}
BENCHMARK(BM_TextToNumberDigits)->Arg(32767)->Arg(100000)->Unit(benchmark::kMillisecond);

// The costliest expressions the evaluator accepts (at most 4 000 characters after blank
// removal): powers with many inexact factors, parentheses nested to the depth limit, a chain of
// functions, and a chain of powers after a long number, which makes every level scan its whole
// text for each operator before "^".
QString PowerSum() {
    // Groups of sixteen powers keep the split depth far below its limit.
    QString group = QStringLiteral("(1.1^65536");
    for (int i = 1; i < 16; ++i) {
        group += QStringLiteral("+1.1^65536");
    }
    group += u')';
    QString text = group;
    while (text.size() + 1 + group.size() <= zk::kMaxExpressionLength) {
        text += u'+' + group;
    }
    return text;
}

// The powers of one group inside parentheses nested to the depth limit, padded with a long
// number, so that the deep scanning and the multiplications add up.
QString NestedPowers() {
    QString inner = QStringLiteral("1.1^65536");
    for (int i = 1; i < 17; ++i) {
        inner += QStringLiteral("+1.1^65536");
    }
    const int depth = 380;
    const QString pad =
        u'+' + QString(zk::kMaxExpressionLength - 2 * depth - inner.size() - 1, u'1');
    return QString(depth, u'(') + inner + pad + QString(depth, u')');
}

void BM_EvaluateWorst(benchmark::State& state, const QString& text) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(zk::EvaluateOrZero(text));
    }
    state.counters["chars"] = static_cast<double>(text.size());
}
BENCHMARK_CAPTURE(BM_EvaluateWorst, powers, PowerSum())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EvaluateWorst, nested_powers, NestedPowers())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EvaluateWorst, nested,
                  QString(399, u'(') + QString(4000 - 2 * 399, u'1') + QString(399, u')'))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EvaluateWorst, functions,
                  Repeated(QString(), QStringLiteral("abs"), 3 * 399) + QStringLiteral("2"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EvaluateWorst, power_chain,
                  QStringLiteral("1") + QString(4000 - 2 * 399 - 1, u'0') +
                      Repeated(QString(), QStringLiteral("^1"), 2 * 399))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EvaluateWorst, nested_error,
                  QString(399, u'(') + QString(4000 - 2 * 399 - 2, u'1') + QStringLiteral("/0") +
                      QString(399, u')'))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EvaluateWorst, too_deep_sum, Repeated(QString(), QStringLiteral("1+"), 3999))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EvaluateWorst, too_long, Repeated(QString(), QStringLiteral("1+"), 100000))
    ->Unit(benchmark::kMillisecond);

// A chord of one tone with a long tail of accidentals and modifiers.
void BM_RowFrequencies(benchmark::State& state) {
    zk::TemperamentList list;
    zk::TonartScale scale(&list);
    ReadText(state, Repeated(QStringLiteral("c"), QStringLiteral("+-#*"), state.range(0)),
             [&](const QString& t) { return zk::RowFrequencies(t, QString(), 1, scale); });
}
BENCHMARK(BM_RowFrequencies)->Arg(100000)->Unit(benchmark::kMillisecond);

// The key check reads the same long chord once for each of its 25 trial keys.
void BM_KeyCheck(benchmark::State& state) {
    zk::TemperamentList list;
    zk::TonartScale scale(&list);
    ReadText(state, Repeated(QStringLiteral("c"), QStringLiteral("+-',()"), state.range(0)),
             [&](const QString& t) { return zk::TonartCheck(t, scale); });
}
BENCHMARK(BM_KeyCheck)->Arg(100000)->Unit(benchmark::kMillisecond);

// A temperament row whose values run on and on, read for a tempered key.
void BM_TemperamentRow(benchmark::State& state) {
    zk::TemperamentList list;
    QStringList lines = list.lines();
    lines << Repeated(QStringLiteral("mz lang "), QStringLiteral("1,5 "), state.range(0));
    list.SetLines(lines);
    zk::TonartScale scale(&list);
    long double a = 440;
    for (auto _ : state) {
        // A new reference every time, so that the scale is really rebuilt from the text.
        a += 0.001L;
        scale.SetTonart(QStringLiteral("mz"), a);
        benchmark::DoNotOptimize(scale.degree(3));
    }
}
BENCHMARK(BM_TemperamentRow)->Arg(100000)->Unit(benchmark::kMillisecond);

// One eight-tone row in a key whose temperament row is long: the pass rebuilds the scale from
// the list for every tone, so that edits of the list take effect at once. Argument 1 makes the
// row faulty (a value too large), which notes the error line in the list each time.
void BM_TemperedRow(benchmark::State& state) {
    zk::TemperamentList list;
    QStringList lines = list.lines();
    const QString values = state.range(1) != 0 ? QStringLiteral("1 2 3 99999999 ")
                                               : QStringLiteral("1 2 3 4 5 6 7 8 9 10 11 12 ");
    lines << Repeated(QStringLiteral("mz lang ") + values, QStringLiteral("1,5 "), state.range(0));
    list.SetLines(lines);
    zk::TonartScale scale(&list);
    const QString chord = QStringLiteral("c1egc2e2g2c3e3");
    for (auto _ : state) {
        benchmark::DoNotOptimize(zk::RowFrequencies(chord, QStringLiteral("mz"), 1, scale));
    }
}
BENCHMARK(BM_TemperedRow)->Args({100000, 0})->Args({100000, 1})->Unit(benchmark::kMillisecond);

// A scale text of one long token and of many short ones.
class SilentDialogs : public zk::UserDialogs {
public:
    void ShowMessage(const QString&) override {}
    bool AskYesNo(const QString&) override { return true; }
    bool AskOkCancel(const QString&) override { return true; }
};

void BM_ParseScale(benchmark::State& state) {
    SilentDialogs dialogs;
    ReadText(state,
             Repeated(QString(), QStringLiteral("c "), state.range(0) - 4) + QStringLiteral("Dur"),
             [&](const QString& t) { return zk::ParseScale(zk::Mode::Major, t, dialogs); });
}
BENCHMARK(BM_ParseScale)->Arg(100000)->Unit(benchmark::kMillisecond);

// Piece texts: many short lines, many empty lines, and one long line with a timbre.
void BM_LoadPieceText(benchmark::State& state, const QString& unit) {
    const QString text = Repeated(QString(), unit, state.range(0));
    for (auto _ : state) {
        zk::PieceTable table;
        benchmark::DoNotOptimize(zk::LoadPieceText(table, text));
    }
}
BENCHMARK_CAPTURE(BM_LoadPieceText, short_lines, QStringLiteral("c    8    ceg\r\n"))
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadPieceText, empty_lines, QStringLiteral("\n"))
    ->Arg(25000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadPieceText, timbre_line, QStringLiteral("Klangfarbe 1E1E1E1 |"))
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// The word, token and field readers far into a long text.
void BM_Fields(benchmark::State& state) {
    ReadText(state, Repeated(QString(), QStringLiteral("1 "), state.range(0)),
             [](const QString& t) {
                 return zk::NumberField(t, 8) + zk::WordAt(t, 8).size() + zk::TokenAt(t, 12).size();
             });
}
BENCHMARK(BM_Fields)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
