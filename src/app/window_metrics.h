// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>

// What the windows share of the screen and of their texts.

namespace zk {

// The primary screen's rectangle (1024 × 768 when there is none).
QRect PrimaryScreenRect();

// "Courier New" at `points`, falling back to the system's fixed-width font.
QFont CourierNewFont(int points);

// The program's icon: the icon theme's where the program is installed, else its own pictures
// (48, 128 and 256 pixels, compiled in).
QIcon ProgramIcon();

// The program's icon as a 256 × 256 PNG file's bytes (the picture the installation puts into the
// icon theme).
QByteArray ProgramIconPng();

// "\r" and "\r\n" as "\n": the program writes line breaks as "\r", Qt's widgets show "\n".
QString DisplayLineBreaks(const QString& text);

} // namespace zk
