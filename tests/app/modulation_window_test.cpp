// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/modulation_window.h"

#include "common/qt_printers.h"
#include "common/scripted_dialogs.h"
#include "modulation/modulation_guide.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>

#include <gtest/gtest.h>

namespace zk {
namespace {

class ModulationWindowTest : public ::testing::Test {
protected:
    test::ScriptedDialogs dialogs;
    ModulationWindow window{dialogs};

    template <class T = QWidget> T* Find(const char* name) {
        T* widget = window.findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
    QString Scale() { return Find<QLineEdit>("Edit1")->text(); }
    QString History() { return Find<QPlainTextEdit>("RichEdit1")->toPlainText(); }
};

TEST_F(ModulationWindowTest, ControlsAsLaidOut) {
    EXPECT_EQ(window.objectName(), u"TForm2"_qs);
    EXPECT_EQ(window.windowTitle(), u"Modulationen berechnen"_qs);
    EXPECT_EQ(window.size(), QSize(702, 722));
    EXPECT_EQ(window.y(), 0);
    struct Control {
        const char* name;
        const char16_t* caption;
        QPoint place;
        int width;
    };
    const Control controls[] = {
        {"Button3", u"Schließen", {-2, 0}, 75},
        {"BZruecksetzen", u"Zurücksetzten auf Tonart", {80, 0}, 145},
        {"ETonart", u"C", {232, 1}, 25},
        {"Button1", u"Zum Programm Akkorde erklingen lassen", {280, 0}, 217},
        {"Label1", u"Tonart", {8, 10}, -1},
        {"Edit1", u"c d e f g a h c  Dur", {56, 8}, 633},
        {"BTerzhoeher", u"T) eine Terz höher", {8, 40}, 100},
        {"BTerzTiefer", u"t) eine Terz tiefer", {112, 40}, 97},
        {"BQuintehoeher", u"Q) eine Quinte höher", {216, 40}, 105},
        {"BQuinteTiefer", u"q) eine Quinte tiefer", {328, 40}, 105},
        {"BDurMoll", u"m) Dur <-> moll", {440, 40}, 89},
        {"BPlus", u"+", {536, 40}, 17},
        {"BMinus", u"-", {560, 40}, 17},
        {"BZurueck", u"Ein Schritt zurück", {584, 40}, 100},
    };
    for (const Control& c : controls) {
        QWidget* widget = Find(c.name);
        ASSERT_NE(widget, nullptr);
        QString caption;
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            caption = button->text();
            // The letters before the captions are no shortcuts.
            EXPECT_TRUE(button->shortcut().isEmpty()) << c.name;
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            caption = edit->text();
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            caption = label->text();
        }
        EXPECT_EQ(caption, QString::fromUtf16(c.caption)) << c.name;
        EXPECT_EQ(widget->pos(), c.place) << c.name;
        if (c.width > 0) {
            EXPECT_EQ(widget->width(), c.width) << c.name;
        }
    }
    EXPECT_EQ(Find("Button3")->parent(), Find("Panel1"));
    EXPECT_EQ(Find("BZurueck")->parent(), Find("Panel2"));
    EXPECT_EQ(Find("Edit1")->font().pixelSize(), 16);
    EXPECT_EQ(Find("Label1")->font().pixelSize(), 13);
    EXPECT_EQ(Find("BDurMoll")->font().pixelSize(), 11);
    EXPECT_EQ(Find("RichEdit1")->font().pixelSize(), 13);
    EXPECT_EQ(Find("RichEdit2")->font().pixelSize(), 11);
    EXPECT_EQ(Find<QWidget>("Edit1")->fontInfo().fixedPitch(), true);
}

TEST_F(ModulationWindowTest, TextBoxes) {
    auto* explanation = Find<QPlainTextEdit>("RichEdit2");
    auto* history = Find<QPlainTextEdit>("RichEdit1");
    EXPECT_EQ(explanation->toPlainText(), ModulationExplanation());
    EXPECT_EQ(explanation->palette().color(QPalette::Base), QColor(128, 255, 255));
    EXPECT_TRUE(history->toPlainText().isEmpty());
    for (QPlainTextEdit* box : {explanation, history}) {
        EXPECT_EQ(box->lineWrapMode(), QPlainTextEdit::NoWrap);
        EXPECT_EQ(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_FALSE(box->isReadOnly());
    }
}

TEST_F(ModulationWindowTest, ButtonsRunOperations) {
    Click("BQuintehoeher");
    EXPECT_EQ(Scale(), u"g a+(d) h c d e fis(D) g  Dur"_qs);
    Click("BQuinteTiefer");
    EXPECT_EQ(Scale(), u"c d e f g a h c  Dur"_qs);
    Click("BTerzhoeher");
    Click("BDurMoll");
    EXPECT_EQ(Scale(), u"e fis(D) gis-(Ds) a h cis-(Ds) dis-(Ds) e  Dur"_qs);
    Click("BDurMoll");
    Click("BTerzTiefer");
    Click("BPlus");
    Click("BMinus");
    EXPECT_EQ(Scale(), u"c d e f g a h c  Dur"_qs);
    EXPECT_EQ(History().split(u'\n').size(), 9);
    EXPECT_EQ(History().split(u'\n').value(1),
              u"G a+(d) h c d e fis(D) g  Dur  (eine Quinte höher)"_qs);
    // Stepping back shows the line before, verbatim.
    Click("BZurueck");
    EXPECT_EQ(Scale(),
              u"C+(d) d+(d) e+(d) f+(d) g+(d) a+(d) h+(d) c+(d)  Dur  (ein Komma höher)"_qs);
    EXPECT_EQ(History().split(u'\n').size(), 8);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(ModulationWindowTest, ResetToKey) {
    Click("BQuintehoeher");
    Find<QLineEdit>("ETonart")->setText(u"c"_qs);
    Click("BZruecksetzen");
    EXPECT_EQ(Scale(), u"c d es f g as b c  moll"_qs);
    EXPECT_TRUE(History().isEmpty());

    Click("BTerzhoeher");
    Find<QLineEdit>("ETonart")->setText(u"Dis"_qs);
    Click("BZruecksetzen");
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(Find<QLineEdit>("ETonart")->text(), u"C"_qs);
    EXPECT_EQ(Scale(), u"c d e f g a h c  Dur"_qs);
    EXPECT_TRUE(History().isEmpty());
}

TEST_F(ModulationWindowTest, WrongModeWordLeavesEverythingAsItWas) {
    Find<QLineEdit>("Edit1")->setText(u"c d e f g a h c  dur"_qs);
    Click("BPlus");
    EXPECT_EQ(dialogs.messages, QStringList{u"Tonleiter muss moll sein"_qs});
    EXPECT_EQ(Scale(), u"c d e f g a h c  dur"_qs);
    EXPECT_TRUE(History().isEmpty());
}

TEST_F(ModulationWindowTest, HistoryAsEditedByUser) {
    Click("BQuintehoeher");
    Click("BQuintehoeher");
    auto* history = Find<QPlainTextEdit>("RichEdit1");
    // The user rewrites the middle line and leaves a line break at the end.
    QStringList lines = history->toPlainText().split(u'\n');
    lines[1] = u"f g a b c d e f  Dur"_qs;
    history->setPlainText(lines.join(u'\n') + u'\n');
    Click("BZurueck");
    EXPECT_EQ(Scale(), u"f g a b c d e f  Dur"_qs);
    // The next step goes on from the edited line and writes below it, without an empty line.
    Click("BQuinteTiefer");
    EXPECT_EQ(history->toPlainText().split(u'\n'),
              (QStringList{u"C d e f g a h c  Dur"_qs, u"f g a b c d e f  Dur"_qs,
                           u"B c d es(S) f g-(s) a b  Dur  (eine Quinte tiefer)"_qs}));
}

TEST_F(ModulationWindowTest, OutwardActions) {
    int shown = 0;
    int closed = 0;
    window.SetShowMainWindow([&] { ++shown; });
    window.SetClosedAction([&] { ++closed; });
    window.show();
    Click("BQuintehoeher");
    Click("Button1");
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(window.isVisible());
    Click("Button3");
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(window.isVisible());
    // Hidden, not destroyed: the texts are there when it comes back.
    window.show();
    EXPECT_EQ(Scale(), u"g a+(d) h c d e fis(D) g  Dur"_qs);
    EXPECT_EQ(History().split(u'\n').size(), 2);
}

// Drags the splitter handle by `dy` pixels, as the user would with the mouse.
void DragHandle(QSplitter* splitter, int dy) {
    QWidget* handle = splitter->handle(1);
    const QPoint from = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(0, dy)),
                     QPointF(handle->mapToGlobal(from + QPoint(0, dy))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, from + QPoint(0, dy));
}

TEST_F(ModulationWindowTest, ResizeKeepsButtonRows) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* explanation = Find<QPlainTextEdit>("RichEdit2");
    auto* history = Find<QPlainTextEdit>("RichEdit1");
    EXPECT_EQ(Find("Panel1")->height(), 24);
    EXPECT_EQ(Find("Panel2")->height(), 73);
    EXPECT_EQ(explanation->height(), 40);
    EXPECT_EQ(Find<QSplitter>("Splitter1")->handleWidth(), 2);
    const int historyHeight = history->height();
    // For a person to look at.
    window.grab().save(QStringLiteral(ZK_BINARY_DIR "/modulation_window.png"));

    for (const char* button : {"BQuintehoeher", "BTerzhoeher", "BDurMoll", "BPlus"}) {
        Click(button);
    }
    window.resize(800, 900);
    QCoreApplication::processEvents();
    EXPECT_EQ(Find("Panel1")->height(), 24);
    EXPECT_EQ(Find("Panel2")->height(), 73);
    EXPECT_EQ(explanation->height(), 40);
    EXPECT_EQ(history->height(), historyHeight + 178);

    window.grab().save(QStringLiteral(ZK_BINARY_DIR "/modulation_window_resized.png"));
}

TEST_F(ModulationWindowTest, ExplanationComesBackAfterDraggedAway) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* splitter = Find<QSplitter>("Splitter1");
    auto* explanation = Find<QPlainTextEdit>("RichEdit2");

    // A drag that leaves it above its smallest height (30) keeps it.
    DragHandle(splitter, 30);
    EXPECT_NEAR(explanation->height(), 70, 1);
    DragHandle(splitter, -35);
    EXPECT_NEAR(explanation->height(), 35, 2);
    // Dragged up to the top it snaps shut.
    DragHandle(splitter, -60);
    EXPECT_EQ(splitter->sizes().value(0), 0);
    // The next resize of the window brings it back at 50 pixels.
    window.resize(702, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(explanation->height(), 50);
    EXPECT_EQ(Find("Panel2")->height(), 73);
}

} // namespace
} // namespace zk
