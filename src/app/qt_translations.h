// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTranslator>

namespace zk {

// Qt's own texts in German while this object lives — the file dialogs ("Speichern unter"), the
// standard buttons ("Abbrechen"), the context menus of text fields — whatever the user's locale:
// the program speaks German throughout. The catalogues come from Debian's qt6-translations-l10n;
// without them Qt's texts stay English and nothing else changes.
class GermanQtTranslations {
public:
    GermanQtTranslations();
    ~GermanQtTranslations();
    GermanQtTranslations(const GermanQtTranslations&) = delete;
    GermanQtTranslations& operator=(const GermanQtTranslations&) = delete;

    bool Loaded() const { return m_loaded; }

private:
    QTranslator m_translator;
    bool m_loaded = false;
};

} // namespace zk
