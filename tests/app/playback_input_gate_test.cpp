// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"
#include "app/playback_input_gate.h"
#include "common/piece_rows.h"
#include "piece/piece_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTest>
#include <QWindow>

#include "window_fixture.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

void PostKey(QObject* target, Qt::Key key, const QString& text) {
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
}

void PostClick(QObject* target, QPointF at) {
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QCoreApplication::postEvent(
            target,
            new QMouseEvent(type, at, at, at, Qt::LeftButton,
                            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                            Qt::NoModifier));
    }
}

TEST(PlaybackInputGate, HoldsInputWhileASoundPlaysAndHandsItOnInOrder) {
    PlaybackInputGate gate;
    QLineEdit edit;
    edit.show();
    PostKey(&edit, Qt::Key_A, QStringLiteral("a"));
    PostKey(&edit, Qt::Key_B, QStringLiteral("b"));
    gate.ProcessEvents(); // the wait for a sound
    EXPECT_EQ(edit.text(), QString());
    EXPECT_EQ(gate.HeldInputCount(), 2);
    PostKey(&edit, Qt::Key_C, QStringLiteral("c"));
    gate.ProcessEvents();
    gate.ReleaseHeldInput(); // the sound has ended
    QCoreApplication::processEvents();
    EXPECT_EQ(edit.text(), QStringLiteral("abc"));
    EXPECT_EQ(gate.HeldInputCount(), 0);
}

TEST(PlaybackInputGate, OtherEventsRunWhileASoundPlays) {
    PlaybackInputGate gate;
    int timers = 0;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { ++timers; }, Qt::QueuedConnection);
    gate.ProcessEvents();
    EXPECT_EQ(timers, 1);
}

class GateWindowTest : public test::WindowTest {
protected:
    GateWindowTest() {
        gate.isStopClick = [this](QObject* target, const QEvent& event) {
            return window->IsStopClick(target, event);
        };
        gate.stop = [this] { window->Stop1Click(); };
        gate.isMainWindow = [this](QObject* w) { return w == window->windowHandle(); };
        gate.silence = [this] { window->StopEverything(); };
        window->show();
        QCoreApplication::processEvents();
    }

    QPointF StopItemCentre() const {
        QMenuBar* bar = window->menuBar();
        QAction* stop = window->findChild<QAction*>(QStringLiteral("Stop1"));
        return QPointF(bar->mapTo(window.get(), bar->actionGeometry(stop).center()));
    }

    PlaybackInputGate gate;
};

TEST_F(GateWindowTest, AClickOnStopActsWhileTheSoundPlays) {
    LoadPieceText(window->Table(), test::Row("c", "8", "ceg") + test::Row("", "8", "fac1"));
    auto* dauernd = window->findChild<QCheckBox*>(QStringLiteral("CBdauernd"));
    dauernd->setChecked(true);
    auto* tempo = window->findChild<QLineEdit*>(QStringLiteral("Eviertel"));
    audio.onPlay = [&](const QByteArray&) {
        if (audio.images.size() == 1) {
            // Clicks on "Stop" (at the window, where the window system delivers them) and a key
            // typed into the tempo field while the first chord sounds.
            PostKey(tempo, Qt::Key_0, QStringLiteral("0"));
            PostClick(window->windowHandle(), StopItemCentre());
        }
        if (audio.images.size() > 8) {
            window->Stop1Click(); // the click was missed: end the repetitions, the test fails
        }
        gate.ProcessEvents();
        EXPECT_EQ(tempo->text(), QStringLiteral("80")); // held back while the sound plays
        gate.ReleaseHeldInput();
    };
    window->Spiele1Click();
    // "Stop" was seen during the first chord: the pass ended after it.
    EXPECT_EQ(audio.images.size(), 1);
    EXPECT_FALSE(dauernd->isChecked());
    EXPECT_TRUE(window->Settings().onlyCompute);
    QCoreApplication::processEvents();
    EXPECT_EQ(tempo->text(), QStringLiteral("800")); // the typed key arrived afterwards
}

TEST_F(GateWindowTest, ClosingTheMainWindowWhilePlayingOverAndOverSilencesItAtOnce) {
    // The window system's close (Alt+F4, the title bar's button) arrives while the first chord
    // sounds. It must not wait for the chord's end: the sound stops at once, the repetitions
    // end, and the close follows as soon as the wait is over — with the question first when the
    // table has unsaved edits.
    for (const bool edited : {false, true}) {
        SCOPED_TRACE(edited ? "edited" : "saved");
        if (!window->isVisible()) {
            window->show();
            QCoreApplication::processEvents();
        }
        LoadPieceText(window->Table(), test::Row("c", "8", "ceg") + test::Row("", "8", "fac1"));
        window->SetPieceModified(edited);
        auto* dauernd = window->findChild<QCheckBox*>(QStringLiteral("CBdauernd"));
        dauernd->setChecked(true);
        audio.images.clear();
        audio.stops = 0;
        dialogs.textDialogs.clear();
        dialogs.textAnswers = {{false, true, QString()}}; // "OK: Es wird beendet."
        bool silencedWhileSounding = false;
        audio.onPlay = [&](const QByteArray&) {
            if (audio.images.size() == 1) {
                QCoreApplication::postEvent(window->windowHandle(), new QCloseEvent);
            }
            if (audio.images.size() > 8) {
                window->Stop1Click(); // the close was missed: end the repetitions, the test fails
            }
            gate.ProcessEvents();
            silencedWhileSounding = silencedWhileSounding || audio.stops > 0;
            EXPECT_TRUE(window->isVisible()); // the close itself waits for the wait's end
            gate.ReleaseHeldInput();
        };
        window->Spiele1Click();
        EXPECT_TRUE(silencedWhileSounding);
        EXPECT_EQ(audio.images.size(), 1);
        EXPECT_FALSE(dauernd->isChecked());
        QCoreApplication::processEvents();
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(dialogs.textDialogs.size(), edited ? 1 : 0);
        audio.onPlay = nullptr;
    }
}

TEST_F(GateWindowTest, OnlyTheStopItemCountsAsStop) {
    const QPointF stop = StopItemCentre();
    const auto press = [](QPointF at) {
        return QMouseEvent(QEvent::MouseButtonPress, at, at, at, Qt::LeftButton, Qt::LeftButton,
                           Qt::NoModifier);
    };
    EXPECT_TRUE(window->IsStopClick(window->windowHandle(), press(stop)));
    EXPECT_FALSE(window->IsStopClick(window->windowHandle(), press(stop + QPointF(0, 200))));
    EXPECT_FALSE(window->IsStopClick(window->windowHandle(), press(QPointF(5, 5))));
    const QKeyEvent key(QEvent::KeyPress, Qt::Key_S, Qt::NoModifier);
    EXPECT_FALSE(window->IsStopClick(window->windowHandle(), key));
}

} // namespace
} // namespace zk
