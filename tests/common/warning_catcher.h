// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QtGlobal>

namespace zk::test {

// Collects Qt's warnings while it lives (e.g. an item view told about an editor it no longer
// has).
class WarningCatcher {
public:
    WarningCatcher() {
        Warnings().clear();
        s_previous = qInstallMessageHandler(&Catch);
    }
    ~WarningCatcher() { qInstallMessageHandler(s_previous); }
    WarningCatcher(const WarningCatcher&) = delete;
    WarningCatcher& operator=(const WarningCatcher&) = delete;

    static QStringList& Warnings() {
        static QStringList warnings;
        return warnings;
    }

private:
    static void Catch(QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtWarningMsg || type == QtCriticalMsg) {
            Warnings().append(text);
        }
    }
    static inline QtMessageHandler s_previous = nullptr;
};

} // namespace zk::test
