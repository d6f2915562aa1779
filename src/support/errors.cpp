// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/errors.h"

#include <utility>

namespace zk {

Error::Error(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

} // namespace zk
