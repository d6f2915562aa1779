#pragma once

namespace zk {

// Starts the desktop program: all windows, the main window shown. Returns the exit status.
int RunDesktop(int argc, char* argv[]);

} // namespace zk
