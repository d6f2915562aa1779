// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window_metrics.h"

#include "support/program_files.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>

// The icons live in the static app library; they register themselves only when asked to.
static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace zk {

QIcon ProgramIcon() {
    static const bool registered = (InitIconResources(), true);
    Q_UNUSED(registered);
    QIcon own;
    for (const int size : {48, 128, 256}) {
        own.addFile(QStringLiteral(":/icons/zirkelon-%1.png").arg(size), QSize(size, size));
    }
    return QIcon::fromTheme(QLatin1String(kDesktopEntryId), own);
}

QByteArray ProgramIconPng() {
    static const bool registered = (InitIconResources(), true);
    Q_UNUSED(registered);
    QFile file(QStringLiteral(":/icons/zirkelon-256.png"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QRect PrimaryScreenRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
}

QFont CourierNewFont(int points) {
    QFont font(QStringLiteral("Courier New"), points);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

QString DisplayLineBreaks(const QString& text) {
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(u'\r', u'\n');
    return result;
}

} // namespace zk
