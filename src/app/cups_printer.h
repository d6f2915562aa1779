// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/printer.h"

namespace zk {

// The print spooler of the desktop: raw jobs to the CUPS default destination (the user's
// lpoptions, $LPDEST or $PRINTER, else the server's default). Raw jobs pass no filter, so the
// printer receives exactly the bytes given.
class CupsPrinter : public Printer {
public:
    std::optional<qint64> SendRawJob(const QString& title, const QByteArray& bytes) override;

    // The id CUPS gave the last job this printer created, 0 before the first; a job that was
    // cancelled because its bytes did not get through keeps its id here.
    int lastJobId() const { return m_lastJobId; }

private:
    int m_lastJobId = 0;
};

} // namespace zk
