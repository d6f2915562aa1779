// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"
#include "common/piece_rows.h"
#include "common/scripted_dialogs.h"
#include "piece/piece_text.h"
#include "support/program_files.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>

#include "window_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zk {
namespace {

// Quarter-comma meantone as the archives publish it: cents above c (fifths of 5^(1/4)) to five
// decimals, the octave as a ratio.
const QString kMeantoneScl = QStringLiteral(
    "! meanquar.scl\r\n!\r\n1/4-comma meantone scale. Pietro Aaron's temperament (1523)\r\n 12\r\n"
    "!\r\n 76.04900\r\n 193.15686\r\n 310.26471\r\n 386.31371\r\n 503.42157\r\n 579.47057\r\n "
    "696.57843\r\n 772.62743\r\n 889.73529\r\n 1006.84314\r\n 1082.89214\r\n 2/1\r\n");

const QString kImport = QStringLiteral("Scala-Datei importieren…");
const QString kExport = QStringLiteral("Scala-Datei exportieren…");

class ScalaWindowTest : public test::WindowTest {
protected:
    ScalaWindowTest() { QFile::remove(TemperamentList::FilePath()); }
    ~ScalaWindowTest() override { QFile::remove(TemperamentList::FilePath()); }

    QString Write(const QString& name, const QString& text) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        return path;
    }
    // By the program's text rule, as the files are written.
    static QString Read(const QString& path) { return ReadTextFile(path).value_or(QString()); }
    // The twelve values of a row, as numbers.
    QList<double> Values(const QString& code) const {
        QList<double> values;
        for (const QString& value :
             window->Temperaments().FindTemperamentRow(code).split(u' ', Qt::SkipEmptyParts)) {
            values.append(QLocale().toDouble(value));
        }
        return values;
    }
    // Opens "Hilfe|mitteltönig" with the scripted clicks on the dialog's further buttons.
    void OpenTemperamentDialog(QList<std::pair<QString, int>> clicks) {
        dialogs.actionClicks = std::move(clicks);
        dialogs.textAnswers = {{false, true, QString()}}; // "Ok" on the text as the buttons left it
        window->mitteltnig1Click();
    }
    int LineOf(const QString& code) const {
        const QStringList& lines = window->Temperaments().lines();
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].startsWith(code)) {
                return i;
            }
        }
        return -1;
    }

    QTemporaryDir m_dir;
};

TEST_F(ScalaWindowTest, TheTemperamentDialogOffersImportAndExport) {
    window->mitteltnig1Click();
    ASSERT_EQ(dialogs.actionCaptions.size(), 1);
    EXPECT_EQ(dialogs.actionCaptions[0], (QStringList{kImport, kExport}));
}

TEST_F(ScalaWindowTest, AnImportedMeantoneBecomesTheListsOwnRowOnceAccepted) {
    dialogs.fileAnswers = {Write(QStringLiteral("meanquar.scl"), kMeantoneScl)};
    dialogs.answers = {false, true}; // no keyboard mapping; take the changes over
    dialogs.promptAnswers = {QStringLiteral("mZ"), QStringLiteral("Aaron")};
    OpenTemperamentDialog({{kImport, 0}});
    ASSERT_EQ(dialogs.prompts.size(), 2);
    EXPECT_EQ(dialogs.prompts[0].value, QStringLiteral("mz")); // the first free code
    // The description without the digits the list does not allow in a name, short enough for
    // the list's name column.
    EXPECT_FALSE(dialogs.prompts[1].value.contains(u'1'));
    EXPECT_TRUE(dialogs.prompts[1].value.contains(QStringLiteral("meantone")));
    EXPECT_LE(dialogs.prompts[1].value.size(), 22);
    ASSERT_EQ(dialogs.textDialogs.size(), 1);
    EXPECT_TRUE(dialogs.textDialogs[0].text.contains(QStringLiteral("mZ Aaron")));
    // From the published cents exactly the list's own quarter-comma row.
    EXPECT_EQ(Values(QStringLiteral("mZ")), Values(QStringLiteral("ma")));
    EXPECT_TRUE(Read(TemperamentList::FilePath()).contains(QStringLiteral("mZ Aaron")));
}

TEST_F(ScalaWindowTest, ATakenCodeIsReplacedOnlyAfterTheUserAgrees) {
    const TemperamentList before = window->Temperaments();
    const QString path = Write(QStringLiteral("meanquar.scl"), kMeantoneScl);
    const struct {
        bool replace;
        bool changed;
    } cases[] = {{false, false}, {true, true}};
    for (const auto& c : cases) {
        dialogs = {};
        dialogs.fileAnswers = {path};
        dialogs.answers = {false, c.replace, true};
        dialogs.promptAnswers = {QStringLiteral("mb"), QStringLiteral("Aaron")};
        OpenTemperamentDialog({{kImport, 0}});
        ASSERT_GE(dialogs.questions.size(), 2);
        EXPECT_TRUE(dialogs.questions[1].contains(QStringLiteral("\"mb\" gibt es schon")));
        // The row it quotes lines up in a fixed-width font.
        EXPECT_EQ(dialogs.columnQuestions, QStringList{dialogs.questions[1]});
        EXPECT_EQ(dialogs.textDialogs[0].text.contains(QStringLiteral("mb Aaron")), c.changed);
        EXPECT_EQ(Values(QStringLiteral("mb")) == Values(QStringLiteral("ma")), c.changed);
        // Replacing keeps the row in its place.
        EXPECT_EQ(window->Temperaments().lines().size(), before.lines().size());
    }
}

TEST_F(ScalaWindowTest, AFaultyFileIsRefusedByLineAndNothingIsAsked) {
    dialogs.fileAnswers = {Write(QStringLiteral("bad.scl"), QStringLiteral("Test\n3\n100.0\nx\n"))};
    OpenTemperamentDialog({{kImport, 0}});
    ASSERT_EQ(dialogs.messages.size(), 2); // the help text, then the refusal
    EXPECT_TRUE(dialogs.messages[1].contains(u'4')) << dialogs.messages[1].toStdString();
    EXPECT_TRUE(dialogs.prompts.isEmpty());
    EXPECT_EQ(dialogs.textDialogs[0].text, window->Temperaments().Text());
}

TEST_F(ScalaWindowTest, AScaleThatCannotBeARowIsRefusedBeforeAnyQuestion) {
    // A well-formed scale of seven tones, and one of twelve that repeats at a fifth: neither can
    // become a row of twelve tones an octave, whatever keyboard mapping goes with it.
    const QString sevenTones = QStringLiteral("Sieben\n7\n200.0\n400.0\n500.0\n700.0\n900.0\n"
                                              "1100.0\n2/1\n");
    QString fifth = QStringLiteral("Quinte\n12\n");
    for (int i = 1; i < 12; ++i) {
        fifth += QString::number(i * 58.5, 'f', 1) + u'\n';
    }
    fifth += QStringLiteral("3/2\n");
    const struct {
        QString text;
        const char* refusal;
    } cases[] = {{sevenTones, "7 Töne"}, {fifth, "Oktave"}};
    for (const auto& c : cases) {
        dialogs.messages.clear();
        dialogs.questions.clear();
        dialogs.fileAnswers = {Write(QStringLiteral("kurz.scl"), c.text)};
        OpenTemperamentDialog({{kImport, 0}});
        ASSERT_EQ(dialogs.messages.size(), 2); // the help text, then the refusal
        EXPECT_TRUE(dialogs.messages[1].contains(QString::fromUtf8(c.refusal)))
            << dialogs.messages[1].toStdString();
        // Only the list's own question when the dialog closes, none about a keyboard mapping.
        EXPECT_TRUE(dialogs.questions.filter(QStringLiteral("Tastaturbelegung")).isEmpty())
            << dialogs.questions.join(u'|').toStdString();
        EXPECT_TRUE(dialogs.prompts.isEmpty());
    }
}

TEST_F(ScalaWindowTest, TheRowUnderTheCursorIsExportedAndItsImportGivesItBack) {
    const QString scl = m_dir.filePath(QStringLiteral("viertel.scl"));
    dialogs.fileAnswers = {scl, scl};
    dialogs.answers = {true, true}; // the mapping written beside it; take the changes over
    dialogs.promptAnswers = {QStringLiteral("mZ"), QStringLiteral("zurück")};
    dialogs.fileAnswers = {scl, scl, m_dir.filePath(QStringLiteral("viertel.kbm"))};
    OpenTemperamentDialog({{kExport, LineOf(QStringLiteral("ma"))}, {kImport, 0}});
    EXPECT_TRUE(Read(scl).contains(QStringLiteral("viertel mitteltönig")));
    EXPECT_FALSE(Read(m_dir.filePath(QStringLiteral("viertel.kbm"))).isEmpty());
    EXPECT_TRUE(dialogs.messages.join(u'\n').contains(QStringLiteral("viertel.kbm")));
    const QList<double> ma = Values(QStringLiteral("ma"));
    const QList<double> back = Values(QStringLiteral("mZ"));
    ASSERT_EQ(back.size(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_NEAR(back[i], ma[i], 0.0005) << i;
    }
}

TEST_F(ScalaWindowTest, AnExportedRowIsTunedToTheConcertPitch) {
    window->findChild<QLineEdit*>(QStringLiteral("Ekammerton"))->setText(QStringLiteral("415"));
    const QString scl = m_dir.filePath(QStringLiteral("barock.scl"));
    dialogs.fileAnswers = {scl};
    OpenTemperamentDialog({{kExport, LineOf(QStringLiteral("ma"))}});
    // a1 of the row (deviation 0) is the reference key, at the concert pitch of the field.
    QStringList values;
    for (const QString& line : Read(m_dir.filePath(QStringLiteral("barock.kbm"))).split(u'\n')) {
        if (!line.trimmed().isEmpty() && !line.startsWith(u'!')) {
            values.append(line.trimmed());
        }
    }
    ASSERT_GE(values.size(), 7);
    EXPECT_EQ(values[4], QStringLiteral("69"));
    EXPECT_NEAR(values[5].toDouble(), 415.0, 1e-9);
}

TEST_F(ScalaWindowTest, ARowTypedWithTrailingBlanksIsExportedToo) {
    QStringList lines = window->Temperaments().lines();
    lines.insert(2, QStringLiteral("mZ Probe 0 1 2 3 4 5 6 7 8 9 10 11   "));
    window->Temperaments().SetLines(lines);
    const QString scl = m_dir.filePath(QStringLiteral("probe.scl"));
    dialogs.fileAnswers = {scl};
    OpenTemperamentDialog({{kExport, 2}});
    EXPECT_TRUE(Read(scl).contains(QStringLiteral("Probe")))
        << dialogs.messages.join(u'|').toStdString();
}

TEST_F(ScalaWindowTest, TheCursorOutsideARowAsksForOne) {
    OpenTemperamentDialog({{kExport, 0}});
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[1].contains(QStringLiteral("Cursor")));
    EXPECT_TRUE(dialogs.fileDialogs.isEmpty());
}

TEST_F(ScalaWindowTest, ARowOfThePieceSavesThePitchesInForceThere) {
    using test::Row;
    LoadPieceText(window->Table(), Row("c", "8", "ceg") + Row("g", "8", "ceg"));
    QMenu* menu = window->RowContextMenu(2);
    auto* item = menu->findChild<QAction*>(QStringLiteral("ZeileAlsScala"));
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->text().contains(u'2'));
    const QString scl = m_dir.filePath(QStringLiteral("g.scl"));
    dialogs.fileAnswers = {scl};
    item->trigger();
    delete menu;
    const QString kbm = Read(m_dir.filePath(QStringLiteral("g.kbm")));
    // The just scale of G on the G the pass reached: the fifth of the first key's tonic c,
    // 440 × 6/5 ÷ 4 = 132 Hz, so 198 Hz in some octave.
    bool found = false;
    for (const QString& line : kbm.split(QStringLiteral("\r\n"))) {
        const double octaves = std::log2(line.trimmed().toDouble() / 198.0);
        if (!line.startsWith(u'!') && std::abs(octaves - std::round(octaves)) < 1e-6) {
            found = true;
        }
    }
    EXPECT_TRUE(found) << kbm.toStdString();
    EXPECT_TRUE(Read(scl).contains(QStringLiteral("5/4")));
}

} // namespace
} // namespace zk
