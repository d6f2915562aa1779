// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/printer.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <algorithm>
#include <optional>

namespace zk::test {

// Printer for tests: records every job and answers as told, by default by taking all its bytes.
class RecordingPrinter : public Printer {
public:
    struct Job {
        QString title;
        QByteArray bytes;
    };

    std::optional<qint64> SendRawJob(const QString& title, const QByteArray& bytes) override {
        jobs.append({title, bytes});
        if (!hasPrinter) {
            return std::nullopt;
        }
        return shortBy ? std::max<qint64>(0, bytes.size() - *shortBy) : bytes.size();
    }

    QList<Job> jobs;
    bool hasPrinter = true;        // false: no job comes about (no default printer)
    std::optional<qint64> shortBy; // takes this many bytes fewer than given
};

} // namespace zk::test
