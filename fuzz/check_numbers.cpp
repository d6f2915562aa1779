// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers and expressions typed into a field, in the German and the English notation (the first
// byte chooses): the evaluator gives a finite value or its "Fehler:Fehler in …" message, the
// number reader a finite value or its documented error, and a number written with n decimals
// reads back within half a unit of its last decimal.
#include "fuzz_checks.h"

#include "support/errors.h"
#include "support/evaluator.h"
#include "support/number_text.h"

#include <QLocale>

#include <cmath>

namespace zk::fuzz {

namespace {

// Sets the locale for the scope of a check and puts the old one back.
class ScopedLocale {
public:
    explicit ScopedLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~ScopedLocale() { QLocale::setDefault(m_old); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    QLocale m_old;
};

void RequireFinite(long double value, const char* what) {
    Require(std::isfinite(value), std::string(what) + " gives a value that is not finite");
}

} // namespace

void CheckNumbers(const QByteArray& input) {
    const bool german = input.isEmpty() || (input.at(0) & 1) == 0;
    const ScopedLocale locale(german ? QLocale(QLocale::German, QLocale::Germany)
                                     : QLocale(QLocale::English, QLocale::UnitedStates));
    const QString text = InputText(input);

    try {
        RequireFinite(Evaluate(text), "Evaluate");
    } catch (const MathError& error) {
        Require(error.message().startsWith(QStringLiteral("Fehler:Fehler in ")),
                "an evaluator error without its message: " + error.message().toStdString());
    }
    try {
        RequireFinite(EvaluateWithX(text, 2.5L), "EvaluateWithX");
    } catch (const MathError&) {
    }
    RequireFinite(EvaluateOrZero(text), "EvaluateOrZero");
    for (int field = 1; field <= 4; ++field) {
        RequireFinite(NumberField(text, field), "NumberField");
    }
    try {
        (void)TextToInt(text);
    } catch (const Error&) {
    }

    long double value = 0;
    try {
        value = TextToNumber(text);
    } catch (const Error&) {
        return;
    }
    RequireFinite(value, "TextToNumber");
    if (std::fabs(value) > 1e15L) {
        return; // beyond the digits a long double keeps after the separator
    }
    for (int decimals = 0; decimals <= 6; ++decimals) {
        const QString written = NumberToText(decimals, value);
        const long double back = TextToNumber(written);
        const long double half = 0.5L * std::pow(10.0L, -decimals);
        Require(std::fabs(back - value) <= half * (1 + 1e-9L) + 1e-15L * std::fabs(value),
                "a number written with " + std::to_string(decimals) +
                    " decimals reads back as another: " + written.toStdString());
    }
}

} // namespace zk::fuzz
