#include "app/window_metrics.h"

#include <QGuiApplication>
#include <QScreen>

namespace zk {

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
