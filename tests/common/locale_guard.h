// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>

namespace zk::test {

// Sets the default locale for the lifetime of the guard and restores the previous one, so that
// every number test can run under a comma locale and under a point locale.
class LocaleGuard {
public:
    explicit LocaleGuard(QLocale::Language language) : m_previous(QLocale()) {
        QLocale::setDefault(QLocale(language));
    }
    explicit LocaleGuard(const QLocale& locale) : m_previous(QLocale()) {
        QLocale::setDefault(locale);
    }
    ~LocaleGuard() { QLocale::setDefault(m_previous); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

private:
    QLocale m_previous;
};

// The two locales every number test runs under.
inline QLocale German() {
    return QLocale(QLocale::German, QLocale::Germany);
}
inline QLocale English() {
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

} // namespace zk::test
