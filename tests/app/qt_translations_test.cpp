// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace zk {
namespace {

TEST(GermanQtTranslations, QtsOwnTextsAreGermanWhileTheyLive) {
    {
        GermanQtTranslations german;
        ASSERT_TRUE(german.Loaded()) << "Debian's qt6-translations-l10n is not installed";
        EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Save As"),
                  QStringLiteral("Speichern unter"));
        QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
        EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));
        EXPECT_EQ(buttons.button(QDialogButtonBox::Save)->text(), QStringLiteral("Speichern"));
    }
    // Gone again afterwards: the other tests see Qt as it is.
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("Save As"));
}

} // namespace
} // namespace zk
