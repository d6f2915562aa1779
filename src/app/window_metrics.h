#pragma once

#include <QFont>
#include <QRect>
#include <QString>

// What the windows share of the screen and of their texts.

namespace zk {

// The primary screen's rectangle (1024 × 768 when there is none).
QRect PrimaryScreenRect();

// "Courier New" at `points`, falling back to the system's fixed-width font.
QFont CourierNewFont(int points);

// "\r" and "\r\n" as "\n": the program writes line breaks as "\r", Qt's widgets show "\n".
QString DisplayLineBreaks(const QString& text);

} // namespace zk
