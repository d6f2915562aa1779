// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cups_printer.h"

#include "common/qt_printers.h"
#include "common/scripted_dialogs.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cups/cups.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// These tests print for real: through the CUPS scheduler to the raw queue "zirkelon-test", whose
// backend (scripts/cups-backend/zirkelon-capture) writes each job's bytes and title into a folder.
// scripts/start-print-server.sh sets it up; on CI (CI=true) a missing queue is a failure, elsewhere
// the tests are skipped.

namespace zk {
namespace {

using test::ScriptedDialogs;

constexpr const char* kQueue = "zirkelon-test";
constexpr const char* kScheme = "zirkelon-capture:";

struct DestDeleter {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using DestPtr = std::unique_ptr<cups_dest_t, DestDeleter>;

class CupsPrinterTest : public ::testing::Test {
protected:
    void SetUp() override {
        const bool onCi = qgetenv("CI") == "true";
        QString problem;
        if (!FindCaptureFolder(onCi, problem)) {
            if (onCi) {
                FAIL() << problem.toStdString();
            }
            GTEST_SKIP() << problem.toStdString();
        }
    }

    // A job that CupsPrinter sent, as the backend wrote it down.
    struct CapturedJob {
        QString title;
        QByteArray bytes;
    };

    std::optional<CapturedJob> WaitForJob(int id) const {
        const QString base = m_folder + u'/' + QString::number(id);
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            QFile bytes(base + QStringLiteral(".bin"));
            if (bytes.open(QIODevice::ReadOnly)) {
                QFile title(base + QStringLiteral(".title"));
                if (!title.open(QIODevice::ReadOnly)) {
                    return std::nullopt;
                }
                return CapturedJob{QString::fromUtf8(title.readAll()), bytes.readAll()};
            }
            QThread::msleep(20);
        }
        return std::nullopt;
    }

    CupsPrinter m_printer;
    ScriptedDialogs m_dialogs;

private:
    bool FindCaptureFolder(bool onCi, QString& problem) {
        const DestPtr queue(cupsGetNamedDest(CUPS_HTTP_DEFAULT, kQueue, nullptr));
        if (!queue) {
            problem =
                QStringLiteral("Druckerwarteschlange \"%1\" nicht erreichbar (%2); "
                               "scripts/start-print-server.sh startet den Druckserver und "
                               "richtet sie ein.")
                    .arg(QString::fromLatin1(kQueue), QString::fromUtf8(cupsLastErrorString()));
            return false;
        }
        const QString uri =
            QString::fromUtf8(cupsGetOption("device-uri", queue->num_options, queue->options));
        if (!uri.startsWith(QLatin1String(kScheme))) {
            problem = QStringLiteral("\"%1\" druckt nicht in einen Ordner, sondern nach \"%2\".")
                          .arg(QString::fromLatin1(kQueue), uri);
            return false;
        }
        m_folder = uri.mid(qsizetype(qstrlen(kScheme)));

        const DestPtr standard(cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr));
        if (!standard || qstrcmp(standard->name, kQueue) != 0) {
            if (onCi) {
                problem = QStringLiteral("\"%1\" ist nicht der Standarddrucker.")
                              .arg(QString::fromLatin1(kQueue));
                return false;
            }
            // A machine with a printer of its own keeps it as its default; these tests name the
            // capture queue for themselves, the way a user would with $LPDEST.
            qputenv("LPDEST", kQueue);
        }
        return true;
    }

    QString m_folder;
};

TEST_F(CupsPrinterTest, TextArrivesInCp850WithItsTitle) {
    PrintText(m_printer, m_dialogs, QStringLiteral("Grüße aus Köln\nÄÖÜ ß € „x“"));
    ASSERT_GT(m_printer.lastJobId(), 0);
    const std::optional<CapturedJob> job = WaitForJob(m_printer.lastJobId());
    ASSERT_TRUE(job) << "Auftrag " << m_printer.lastJobId() << " kam nicht an";
    EXPECT_EQ(job->title, QStringLiteral("Zirkelon"));
    EXPECT_EQ(job->bytes.toHex(' ').toStdString(),
              QByteArray("Gr\x81\xE1"
                         "e aus K\x94ln\r\n\x8E\x99\x9A \xE1 ? \"x\"")
                  .toHex(' ')
                  .toStdString());
    EXPECT_TRUE(m_dialogs.messages.isEmpty());
}

TEST_F(CupsPrinterTest, TheFormFeedIsAJobOfItsOwnWithItsOwnTitle) {
    PrintText(m_printer, m_dialogs, QStringLiteral("Zeile"));
    const int textJob = m_printer.lastJobId();
    PrintAndEjectPage(m_printer, m_dialogs);
    const int ejectJob = m_printer.lastJobId();
    ASSERT_GT(ejectJob, textJob);

    const std::optional<CapturedJob> text = WaitForJob(textJob);
    const std::optional<CapturedJob> eject = WaitForJob(ejectJob);
    ASSERT_TRUE(text && eject);
    EXPECT_EQ(text->bytes, QByteArray("Zeile")); // no page break of its own
    EXPECT_EQ(eject->title, QStringLiteral("Zirkelon Seite auswerfen"));
    EXPECT_EQ(eject->bytes, QByteArray("\f"));
    EXPECT_EQ(m_dialogs.messages.size(), 1); // the explanation, no error
}

TEST_F(CupsPrinterTest, AnEmptyTextStillMakesAJob) {
    const int before = m_printer.lastJobId();
    PrintText(m_printer, m_dialogs, QString());
    const int id = m_printer.lastJobId();
    ASSERT_GT(id, before);
    EXPECT_TRUE(m_dialogs.messages.isEmpty());

    // The scheduler turns an empty document down, so the job is withdrawn at once instead of
    // waiting for a document; it stays in the history under its title.
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, kQueue, 0, CUPS_WHICHJOBS_ALL);
    const cups_job_t* found = nullptr;
    for (int i = 0; i < count; ++i) {
        if (jobs[i].id == id) {
            found = &jobs[i];
        }
    }
    ASSERT_NE(found, nullptr) << "Auftrag " << id << " fehlt in der Liste des Druckservers";
    EXPECT_STREQ(found->title, "Zirkelon");
    EXPECT_GE(found->state, IPP_JSTATE_CANCELED);
    cupsFreeJobs(count, jobs);
}

} // namespace
} // namespace zk
