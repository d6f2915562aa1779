// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace zk {

GermanQtTranslations::GermanQtTranslations() {
    m_loaded = m_translator.load(QStringLiteral("qtbase_de"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
               QCoreApplication::installTranslator(&m_translator);
}

GermanQtTranslations::~GermanQtTranslations() {
    if (m_loaded) {
        QCoreApplication::removeTranslator(&m_translator);
    }
}

} // namespace zk
