// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cups_printer.h"

#include <cups/cups.h>

#include <algorithm>
#include <memory>

namespace zk {

namespace {

// Bytes per write request; a text of the program fits into one.
constexpr qsizetype kChunkSize = 64 * 1024;

struct DestDeleter {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};

// Writes the document of the job that cupsStartDocument opened; returns the bytes written
// before the first failing request.
qint64 WriteDocument(const QByteArray& bytes) {
    qint64 written = 0;
    while (written < bytes.size()) {
        const qsizetype size = std::min(kChunkSize, bytes.size() - written);
        if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, bytes.constData() + written,
                                 static_cast<size_t>(size)) != HTTP_STATUS_CONTINUE) {
            break;
        }
        written += size;
    }
    return written;
}

} // namespace

std::optional<qint64> CupsPrinter::SendRawJob(const QString& title, const QByteArray& bytes) {
    // No default destination, an unknown printer or a refused job end the print in silence.
    const std::unique_ptr<cups_dest_t, DestDeleter> dest(
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr));
    if (!dest) {
        return std::nullopt;
    }
    const QByteArray name = dest->name;
    const QByteArray jobTitle = title.toUtf8();
    const int job =
        cupsCreateJob(CUPS_HTTP_DEFAULT, name.constData(), jobTitle.constData(), 0, nullptr);
    if (job <= 0) {
        return std::nullopt;
    }
    m_lastJobId = job;
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, name.constData(), job, jobTitle.constData(),
                          CUPS_FORMAT_RAW, 1) != HTTP_STATUS_CONTINUE) {
        cupsCancelJob2(CUPS_HTTP_DEFAULT, name.constData(), job, 0);
        return std::nullopt;
    }
    const qint64 written = WriteDocument(bytes);
    // The scheduler takes a document only as a whole: after a broken write, or when it turns the
    // document down (it refuses an empty one), none of the bytes reach the printer. The job is
    // then cancelled rather than left waiting for a document until the scheduler's timeout.
    if (cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData()) != IPP_STATUS_OK ||
        written < bytes.size()) {
        cupsCancelJob2(CUPS_HTTP_DEFAULT, name.constData(), job, 0);
        return 0;
    }
    return written;
}

} // namespace zk
