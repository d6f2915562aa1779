#pragma once

#include <QString>

namespace zk::test {

// One line of piece text in the fixed-width layout: key (5 characters), duration (5), chord.
inline QString Row(const char* key, const char* duration, const char* chord) {
    return QString::fromUtf8(key).leftJustified(5) + QString::fromUtf8(duration).leftJustified(5) +
           QString::fromUtf8(chord) + QStringLiteral("\r\n");
}

} // namespace zk::test
