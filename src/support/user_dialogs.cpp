// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/user_dialogs.h"

namespace zk {

void RememberInput(QStringList& history, const QString& previous, const QString& value) {
    if (value == previous) {
        return;
    }
    history.prepend(value);
    while (history.size() > 19) {
        history.removeLast();
    }
}

} // namespace zk
