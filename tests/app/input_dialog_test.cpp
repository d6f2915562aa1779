// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/input_dialog.h"
#include "app/widget_dialogs.h"
#include "app/window_metrics.h"
#include "common/qt_printers.h"
#include "support/user_dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace zk {
namespace {

QPushButton* Button(InputDialog& dialog, const char* name) {
    return dialog.findChild<QPushButton*>(QString::fromLatin1(name));
}

TEST(InputDialog, TextModeEscapeConfirmsAndPrintingKeepsTheDialogOpen) {
    InputDialog dialog;
    QStringList accepted;
    QStringList printed;
    QStringList messages;
    dialog.acceptanceSteps = [&](const InputDialog& d) { accepted << d.memoText(); };
    dialog.printText = [&](const QString& text) { printed << text; };
    dialog.showMessage = [&](const QString& text) { messages << text; };
    dialog.SetupTextMode(QStringLiteral("Anleitung"), QStringLiteral("Zeile 1\rZeile 2"),
                         TextDialogMode::OkPrint);
    EXPECT_EQ(dialog.objectName(), QStringLiteral("TForm15"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Anleitung"));
    EXPECT_EQ(Button(dialog, "BAbbrechen")->text(), QStringLiteral("Drucken"));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(dialog.geometry(), QRect(20, 20, screen.width() - 40, screen.height() - 40));
    dialog.show();
    QTest::mouseClick(Button(dialog, "BAbbrechen"), Qt::LeftButton);
    EXPECT_EQ(printed, QStringList{"Zeile 1\nZeile 2"});
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Sie können mehrere Texte")));
    EXPECT_TRUE(dialog.isVisible()); // stays open after printing
    EXPECT_EQ(dialog.dialogResult(), 1);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.dialogResult(), 0); // Escape acts as "Ok" here
    EXPECT_EQ(accepted.size(), 1);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(InputDialog, FurtherButtonsFollowTheDialogsOwnAndChangeTheTextAtTheCursorLine) {
    InputDialog dialog;
    QList<std::pair<QString, int>> calls;
    const QList<TextDialogAction> actions = {
        {QStringLiteral("Zeile verdoppeln"),
         [&](const QString& text, int line) -> std::optional<QString> {
             calls.append({text, line});
             QStringList lines = text.split(u'\n');
             lines.insert(line, lines[line]);
             return lines.join(u'\n');
         }},
        {QStringLiteral("Nichts"),
         [&](const QString& text, int line) -> std::optional<QString> {
             calls.append({text, line});
             return std::nullopt;
         }},
    };
    dialog.SetupTextMode(QStringLiteral("Liste"), QStringLiteral("eins\rzwei\rdrei"),
                         TextDialogMode::OkCancel);
    dialog.AddActions(actions);
    dialog.show();
    QList<QPushButton*> further;
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button != Button(dialog, "BOk") && button != Button(dialog, "BAbbrechen")) {
            further.append(button);
        }
    }
    ASSERT_EQ(further.size(), 2);
    std::sort(further.begin(), further.end(),
              [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
    EXPECT_EQ(further[0]->text(), QStringLiteral("Zeile verdoppeln"));
    // Side by side after "Abbrechen", on its line, not overlapping it or each other.
    EXPECT_GT(further[0]->x(), Button(dialog, "BAbbrechen")->geometry().right());
    EXPECT_GT(further[1]->x(), further[0]->geometry().right());
    EXPECT_EQ(further[0]->y(), Button(dialog, "BOk")->y());

    auto* memo = dialog.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    QTextCursor cursor(memo->document()->findBlockByNumber(1));
    memo->setTextCursor(cursor);
    QTest::mouseClick(further[0], Qt::LeftButton);
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].second, 1);
    EXPECT_EQ(dialog.memoText(), QStringLiteral("eins\nzwei\nzwei\ndrei"));
    EXPECT_EQ(memo->textCursor().blockNumber(), 1); // the cursor keeps its line
    EXPECT_TRUE(dialog.isVisible());

    QTest::mouseClick(further[1], Qt::LeftButton); // leaves the text as it is
    EXPECT_EQ(calls.size(), 2);
    EXPECT_EQ(dialog.memoText(), QStringLiteral("eins\nzwei\nzwei\ndrei"));
    EXPECT_TRUE(dialog.isVisible());
}

TEST(InputDialog, QuestionModeEscapeAndCloseCancel) {
    for (const bool useEscape : {true, false}) {
        InputDialog dialog;
        bool accepted = false;
        dialog.acceptanceSteps = [&](const InputDialog&) { accepted = true; };
        dialog.SetupTextMode(QStringLiteral("Beenden"), QStringLiteral("Frage?"),
                             TextDialogMode::OkCancel);
        dialog.show();
        if (useEscape) {
            QTest::keyClick(&dialog, Qt::Key_Escape);
        } else {
            dialog.close();
        }
        EXPECT_EQ(dialog.dialogResult(), 1);
        EXPECT_FALSE(accepted);
    }
    InputDialog okDialog;
    okDialog.SetupTextMode(QStringLiteral("Beenden"), QStringLiteral("Frage?"),
                           TextDialogMode::OkCancel);
    okDialog.show();
    QTest::mouseClick(Button(okDialog, "BOk"), Qt::LeftButton);
    EXPECT_EQ(okDialog.dialogResult(), 0);
}

TEST(InputDialog, PromptModeWithHistory) {
    InputDialog dialog;
    dialog.SetupPromptMode(QString(), QStringLiteral("Geben Sie die Frequenz ein"), QString(),
                           {"440", "528"}, QStringLiteral("660"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Eingabe")); // empty caption
    auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("ComboBox1"));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentText(), QStringLiteral("660"));
    EXPECT_TRUE(dialog.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->isHidden());
    dialog.show();
    dialog.grab().save(QStringLiteral(ZK_BINARY_DIR "/input_dialog_prompt.png"));
    QTest::keyClick(combo, Qt::Key_Return); // Enter in the combo box is "Ok"
    EXPECT_EQ(dialog.dialogResult(), 0);

    // A long explanation makes the dialog as high as the screen.
    InputDialog tall;
    tall.SetupPromptMode(QStringLiteral("Dauer ändern"), QStringLiteral("Geben Sie die Dauer ein"),
                         QString(721, u'x'), {}, QStringLiteral("100"));
    EXPECT_EQ(tall.height(), QGuiApplication::primaryScreen()->geometry().height());
}

TEST(InputDialog, HistoryKeepsNineteenNewestFirst) {
    QStringList history;
    for (int i = 0; i < 25; ++i) {
        RememberInput(history, QStringLiteral("alt"), QString::number(i));
    }
    EXPECT_EQ(history.size(), 19);
    EXPECT_EQ(history.first(), QStringLiteral("24"));
    EXPECT_EQ(history.last(), QStringLiteral("6"));
    RememberInput(history, QStringLiteral("24"), QStringLiteral("24")); // unchanged: no entry
    EXPECT_EQ(history.first(), QStringLiteral("24"));
    EXPECT_EQ(history.size(), 19);
}

TEST(InputDialog, TheTextBoxAndTheValueFollowTheDialogsSize) {
    InputDialog dialog;
    // A prompt with a few lines of explanation, as "Ton" has: the box reaches the bottom.
    dialog.SetupPromptMode(QStringLiteral("Ein Ton"), QStringLiteral("Geben Sie die Frequenz ein"),
                           QStringLiteral("Zeile 1\rZeile 2\rZeile 3\rZeile 4\rZeile 5"), {},
                           QStringLiteral("440"));
    dialog.show();
    auto* memo = dialog.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("ComboBox1"));
    const QSize sizes[] = {dialog.size(), QSize(900, 500), QSize(400, 300)};
    for (const QSize& size : sizes) {
        dialog.resize(size);
        QCoreApplication::processEvents();
        SCOPED_TRACE(size.width());
        EXPECT_EQ(memo->geometry().right(), dialog.width() - 9);
        EXPECT_EQ(memo->geometry().bottom(), dialog.height() - 9);
        EXPECT_EQ(combo->geometry().right(), dialog.width() - 9);
        EXPECT_EQ(memo->y(), combo->y() + combo->height() + 20);
    }
}

TEST(InputDialog, ANoBreakSpaceTypedIntoTheTextSurvives) {
    InputDialog dialog;
    dialog.SetupTextMode(QStringLiteral("Anleitung"), QStringLiteral("a b\rc"),
                         TextDialogMode::OkPrint);
    auto* memo = dialog.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    memo->moveCursor(QTextCursor::End);
    memo->insertPlainText(QString(QChar(0x00A0)) + QStringLiteral("d"));
    EXPECT_EQ(dialog.memoText(), QStringLiteral("a b\nc\u00A0d"));
}

TEST(WidgetDialogs, EveryDialogStaysAboveTheAlwaysOnTopPictures) {
    WidgetDialogs dialogs;
    QStringList seen;
    // Looks at the modal dialog once it is up, then closes it.
    const auto inspectAndClose = [&] {
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint)
                << dialog->metaObject()->className();
            seen << QString::fromLatin1(dialog->metaObject()->className());
            if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
                seen << label->font().family();
            }
            qobject_cast<QDialog*>(dialog)->reject();
        });
    };
    inspectAndClose();
    dialogs.ShowMessage(QStringLiteral("Hinweis"));
    inspectAndClose();
    dialogs.ShowColumnsMessage(QStringLiteral("6           c"));
    inspectAndClose();
    dialogs.AskYesNo(QStringLiteral("Frage?"));
    inspectAndClose();
    dialogs.AskOkCancel(QStringLiteral("Frage?"));
    inspectAndClose();
    dialogs.ShowTextDialog(QStringLiteral("Anleitung"), QStringLiteral("Text"),
                           TextDialogMode::OkPrint);
    inspectAndClose();
    dialogs.AskSaveFileName(QDir::tempPath(), QStringLiteral("a.txt"),
                            QStringLiteral("Alle Dateien (*.*)|*.*"));
    ASSERT_EQ(seen.size(), 10); // four message boxes with their label fonts, two dialogs
    // The key check's columns are set in the fixed-width font, other messages are not.
    EXPECT_NE(seen[1], CourierNewFont(10).family());
    EXPECT_EQ(seen[3], CourierNewFont(10).family());
}

TEST(WidgetDialogs, LineBreaksAndFilters) {
    EXPECT_EQ(DisplayLineBreaks(QStringLiteral("a\rb\r\nc")), QStringLiteral("a\nb\nc"));
    // "All files" shows the files without an extension too.
    const std::pair<const char*, const char*> filters[] = {
        {"Wavdateien (*.wav)|*.WAV|Alle Dateien (*.*)|*.*", "Wavdateien (*.wav);;Alle Dateien (*)"},
        {"Bilder|*.png|Alle Dateien|*.*", "Bilder (*.png);;Alle Dateien (*)"},
        {"Alle Dateien (*)|*", "Alle Dateien (*)"},
    };
    for (const auto& [filter, qt] : filters) {
        EXPECT_EQ(QtFileFilter(QString::fromUtf8(filter)), QString::fromUtf8(qt)) << filter;
    }
}

} // namespace
} // namespace zk
