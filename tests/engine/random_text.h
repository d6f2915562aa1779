// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRandomGenerator>
#include <QString>

namespace zk::test {

// A text of `minLength` to `maxLength` - 1 characters drawn from `alphabet`, for checking that odd
// input neither stalls nor crashes the parsers.
inline QString RandomText(QRandomGenerator& random, const QString& alphabet, int minLength,
                          int maxLength) {
    QString text;
    for (int i = random.bounded(minLength, maxLength); i > 0; --i) {
        text += alphabet.at(random.bounded(static_cast<int>(alphabet.size())));
    }
    return text;
}

} // namespace zk::test
