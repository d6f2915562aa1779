// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace zk {

// The reason the system or Qt gives when a file cannot be read or written ("No such file or
// directory") in German, for the end of the program's own German messages. A reason without a
// German wording is given as it is.
QString GermanReason(const QString& reason);

} // namespace zk
