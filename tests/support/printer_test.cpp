// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/printer.h"

#include "common/qt_printers.h"
#include "common/recording_printer.h"
#include "common/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <string>

namespace zk {
namespace {

using test::RecordingPrinter;
using test::ScriptedDialogs;

// Bytes as hex, so that a failing comparison shows them readably.
std::string Hex(const QByteArray& bytes) {
    return bytes.toHex(' ').toStdString();
}

// The glibc converter as an independent reading of CP850 bytes.
QString DecodeCp850WithIconv(const QByteArray& bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP850");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv kennt CP850 nicht";
        return {};
    }
    QByteArray in = bytes;
    QByteArray out(bytes.size() * 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = static_cast<size_t>(in.size());
    size_t outLeft = static_cast<size_t>(out.size());
    const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    EXPECT_NE(result, static_cast<size_t>(-1));
    out.truncate(out.size() - static_cast<qsizetype>(outLeft));
    return QString::fromUtf8(out);
}

TEST(PrintText, ConvertsEachCharacterToOneCp850Byte) {
    struct Case {
        const char16_t* text;
        QByteArray bytes;
    };
    const Case cases[] = {
        {u"Grüße", QByteArray("Gr\x81\xE1"
                              "e")},
        {u"ÄÖÜäöüß", QByteArray("\x8E\x99\x9A\x84\x94\x81\xE1")},
        {u"é°½", QByteArray("\x82\xF8\xAB")},
        // Signs of Windows-1252 that CP850 lacks print as their look-alikes.
        {u"„Quinte“ – ‚Terz‘…", QByteArray("\"Quinte\" - 'Terz'.")},
        {u"Œuvre™ Šž Ÿ ‰ ‹›", QByteArray("OuvreT Sz Y % <>")},
        {u"ƒ†‡", QByteArray("\x9F\xC5\xCE")},
        // The bullet as a middle dot, not as the bell control code.
        {u"• Ton", QByteArray("\xFA Ton")},
        // No counterpart at all: the euro sign, an undefined byte of Windows-1252, a character
        // beyond the code page.
        {u"5 €", QByteArray("5 ?")},
        {u"a\u0081b", QByteArray("a?b")},
        {u"♪", QByteArray("?")},
        // Control characters pass unchanged.
        {u"a\tb\fc", QByteArray("a\tb\fc")},
    };
    for (const Case& c : cases) {
        RecordingPrinter printer;
        ScriptedDialogs dialogs;
        const QString text = QString::fromUtf16(c.text);
        PrintText(printer, dialogs, text);
        ASSERT_EQ(printer.jobs.size(), 1) << text.toStdString();
        EXPECT_EQ(Hex(printer.jobs[0].bytes), Hex(c.bytes)) << text.toStdString();
        EXPECT_EQ(printer.jobs[0].title, QStringLiteral("Zirkelon"));
        EXPECT_TRUE(dialogs.messages.isEmpty());
    }
}

TEST(PrintText, EveryLineBreakReachesThePrinterAsCrLf) {
    const std::pair<QString, QByteArray> cases[] = {
        {QStringLiteral("TA\r\nD"), QByteArray("TA\r\nD")}, // from the program's own texts
        {QStringLiteral("TA\nD"), QByteArray("TA\r\nD")},   // from Qt's text widgets
        {QStringLiteral("TA\rD"), QByteArray("TA\r\nD")},
        {QStringLiteral("a\n\nb\r\n"), QByteArray("a\r\n\r\nb\r\n")},
        {QStringLiteral("\n\r"), QByteArray("\r\n\r\n")}, // LF CR: two line breaks
    };
    for (const auto& [text, bytes] : cases) {
        RecordingPrinter printer;
        ScriptedDialogs dialogs;
        PrintText(printer, dialogs, text);
        ASSERT_EQ(printer.jobs.size(), 1);
        EXPECT_EQ(Hex(printer.jobs[0].bytes), Hex(bytes)) << text.toStdString();
    }
}

TEST(PrintText, Latin1LettersAndSignsArriveAsTheirCp850Bytes) {
    // Every printable character of the upper half of Windows-1252 that CP850 holds, read back by
    // an independent converter.
    QString latin1;
    for (char16_t c = 0xA0; c <= 0xFF; ++c) {
        latin1.append(QChar(c));
    }
    latin1.append(QChar(0x0192));
    RecordingPrinter printer;
    ScriptedDialogs dialogs;
    PrintText(printer, dialogs, latin1);
    ASSERT_EQ(printer.jobs.size(), 1);
    const QByteArray bytes = printer.jobs[0].bytes;
    ASSERT_EQ(bytes.size(), latin1.size());
    EXPECT_EQ(DecodeCp850WithIconv(bytes), latin1);
}

TEST(SendRawJob, OnlyALoneFormFeedIsNamedAsThePageEject) {
    const std::pair<QByteArray, QString> cases[] = {
        {QByteArray("\f"), QStringLiteral("Zirkelon Seite auswerfen")},
        {QByteArray("\f\f"), QStringLiteral("Zirkelon")},
        {QByteArray("\fText"), QStringLiteral("Zirkelon")},
        {QByteArray("Text\f"), QStringLiteral("Zirkelon")},
        {QByteArray(), QStringLiteral("Zirkelon")}, // an empty text still makes a job
    };
    for (const auto& [bytes, title] : cases) {
        RecordingPrinter printer;
        ScriptedDialogs dialogs;
        SendRawJob(printer, dialogs, bytes);
        ASSERT_EQ(printer.jobs.size(), 1) << Hex(bytes);
        EXPECT_EQ(printer.jobs[0].title, title) << Hex(bytes);
        EXPECT_EQ(Hex(printer.jobs[0].bytes), Hex(bytes));
        EXPECT_TRUE(dialogs.messages.isEmpty());
    }
}

TEST(SendRawJob, OnlyAShortWriteIsReported) {
    struct Case {
        const char* name;
        bool hasPrinter;
        std::optional<qint64> shortBy;
        QByteArray bytes;
        QStringList messages;
    };
    const QStringList error{QStringLiteral("Fehler beim Drucken")};
    const Case cases[] = {
        {"all bytes taken", true, std::nullopt, "Text", {}},
        {"one byte missing", true, 1, "Text", error},
        {"nothing taken", true, 4, "Text", error},
        {"empty job, nothing to miss", true, 4, "", {}},
        {"no default printer", false, std::nullopt, "Text", {}},
    };
    for (const Case& c : cases) {
        RecordingPrinter printer;
        printer.hasPrinter = c.hasPrinter;
        printer.shortBy = c.shortBy;
        ScriptedDialogs dialogs;
        SendRawJob(printer, dialogs, c.bytes);
        EXPECT_EQ(dialogs.messages, c.messages) << c.name;
    }
}

// Notes how many jobs the printer had when each message was shown.
class OrderedDialogs : public ScriptedDialogs {
public:
    explicit OrderedDialogs(const RecordingPrinter& printer) : m_printer(printer) {}
    void ShowMessage(const QString& text) override {
        ScriptedDialogs::ShowMessage(text);
        jobsAtMessage.append(m_printer.jobs.size());
    }
    QList<qsizetype> jobsAtMessage;

private:
    const RecordingPrinter& m_printer;
};

TEST(PrintAndEjectPage, ExplainsFirstThenSendsALoneFormFeed) {
    RecordingPrinter printer;
    OrderedDialogs dialogs(printer);
    PrintAndEjectPage(printer, dialogs);
    ASSERT_EQ(printer.jobs.size(), 1);
    EXPECT_EQ(printer.jobs[0].title, QStringLiteral("Zirkelon Seite auswerfen"));
    EXPECT_EQ(Hex(printer.jobs[0].bytes), Hex("\f"));
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral(
                  "Unter \"Hilfe\" oder \"Rechne|Ediere\" kann Text gedruckt werden .\r"
                  "Dabei werden allerdings nur die Druckaufträge gesammelt.\r"
                  "(Und nicht jede Kleinigkeit auf eine extra Seite gedruckt.)\r"
                  "Mit diesem Programmpunkt werden nun die Druckaufträge ausgeführt\r"
                  "und die Seite ausgeworfen.")});
    EXPECT_EQ(dialogs.jobsAtMessage, QList<qsizetype>{0});
}

} // namespace
} // namespace zk
