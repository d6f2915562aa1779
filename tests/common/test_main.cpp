// SPDX-License-Identifier: GPL-3.0-or-later
// Shared main of every test program: a QApplication on the offscreen platform and a fresh
// program folder ($ZIRKELON_HOME), so that no test touches the user's files or needs a display.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir home;
    if (!home.isValid()) {
        return 3;
    }
    qputenv("ZIRKELON_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
