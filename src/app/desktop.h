// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace zk {

// Starts the desktop program: all windows, the start window shown; with a file, the main window
// too, the file opened in it. Returns the exit status.
int RunDesktop(int argc, char* argv[], const QString& file);

} // namespace zk
