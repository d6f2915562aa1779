// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/example_library.h"
#include "app/main_window.h"
#include "app/notation_window.h"
#include "common/locale_guard.h"
#include "common/scripted_dialogs.h"
#include "notation/notation_picture.h"
#include "notation/pixel_probe.h"
#include "notation/waveform_picture.h"
#include "piece/piece_text.h"
#include "sound/audio_output.h"
#include "sound/sound_player.h"
#include "sound/synthesis.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>

#include "window_fixture.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

// The waveform items of the menu "Rechnen" in the main window, drawing into the notation window.
class WaveformWindowTest : public test::WindowTest {
protected:
    WaveformWindowTest() {
        // A screen wider than the picture's 1201 columns (the offscreen one has 800).
        picture.SetScreenSize(QSize(1280, 800));
    }

    QAction* Item(int scale) const {
        return window->findChild<QAction*>(QStringLiteral("MZeichnen%1").arg(scale));
    }

    // One row: a1 (440 Hz) for a quarter note, 184 hundredths at tempo 80.
    void PlayA440() {
        LoadPieceText(window->Table(), u"TA   D    Akkord\r\na    8    a1\r\n"_qs);
        window->Spiele1Click();
        ASSERT_EQ(sound.lastPiece().size(), 1U);
    }
};

TEST_F(WaveformWindowTest, SevenItemsInTheMenuRechnen) {
    QMenu* rechnen = nullptr;
    for (QAction* menu : window->menuBar()->actions()) {
        if (menu->text() == u"Rechnen") {
            rechnen = menu->menu();
        }
    }
    ASSERT_NE(rechnen, nullptr);
    QStringList texts;
    for (const int scale : kWaveformScales) {
        QAction* item = Item(scale);
        ASSERT_NE(item, nullptr) << scale;
        EXPECT_TRUE(rechnen->actions().contains(item)) << scale;
        texts.append(item->text());
    }
    EXPECT_EQ(texts, (QStringList{
                         u"Schwingunsgbild zeichnen 1:1"_qs, u"Schwingunsgbild zeichnen 1:3"_qs,
                         u"Schwingunsgbild zeichnen 1:10"_qs, u"Schwingunsgbild zeichnen 1:30"_qs,
                         u"Schwingunsgbild zeichnen 1:100"_qs, u"Schwingunsgbild zeichnen 1:300"_qs,
                         u"Schwingunsgbild zeichnen 1:1000"_qs}));
}

TEST_F(WaveformWindowTest, BeforeAnythingIsPlayedTheMessageIsShown) {
    Item(30)->trigger();
    ASSERT_EQ(dialogs.textDialogs.size(), 1);
    EXPECT_EQ(dialogs.textDialogs[0].caption, u"Frequenzbild kann noch nicht gezeigt werden."_qs);
    EXPECT_EQ(dialogs.textDialogs[0].text, u"Bitte zuerst Stück spielen!"_qs);
    EXPECT_EQ(dialogs.textDialogs[0].mode, TextDialogMode::OkPrint);
    EXPECT_FALSE(notation.isVisible());
    EXPECT_EQ(notation.windowTitle(), u"Noten"_qs);

    // "Noten zeigen" empties the last piece: the message again, and the notation stays.
    PlayA440();
    notation.NotenZeigenAction()->trigger();
    Item(100)->trigger();
    EXPECT_EQ(dialogs.textDialogs.size(), 2);
    EXPECT_EQ(picture.Image().height(), NotationPicture::kHeight);
    EXPECT_EQ(notation.windowTitle(), QString());
}

TEST_F(WaveformWindowTest, DrawsTheLastPieceIntoTheNotationWindow) {
    PlayA440();
    Item(30)->trigger();
    EXPECT_TRUE(dialogs.textDialogs.isEmpty());
    EXPECT_TRUE(notation.isVisible());
    EXPECT_EQ(notation.windowTitle(), u"Schwingungsbild 1:30"_qs);
    EXPECT_EQ(notation.pos(), QPoint(0, 400));
    EXPECT_EQ(notation.size(), QSize(1280, 400));
    const QImage& image = picture.Image();
    ASSERT_EQ(image.size(), QSize(1280, 400));
    // The organ spectrum at 1:30: column 600 holds frames 18000 .. 18029 of the piece, a third
    // of a period, drawn at 150 + w × 70 div 10000; nothing reaches beyond one voice's ±4000.
    const SampleTimbre organ{TimbreMode::Obertoene, {11228, 8421, 5614, 3368, 1684, 1122, 561}};
    int low = 32767;
    int high = -32768;
    for (std::int64_t k = 18000; k < 18030; ++k) {
        const int w = ChordSample(k - 1, ChordFrequencies{{440}}, organ);
        low = std::min(low, w);
        high = std::max(high, w);
    }
    ASSERT_LT(low, high);
    EXPECT_TRUE(test::Black(image, 600, 150 + low * 70 / 10000));
    EXPECT_TRUE(test::Black(image, 600, 150 + high * 70 / 10000));
    for (int x = 1; x <= 1201; ++x) {
        ASSERT_TRUE(test::White(image, x, 150 - 29) && test::White(image, x, 150 + 29)) << x;
    }
    EXPECT_TRUE(test::Black(image, 1201, 150));
    EXPECT_TRUE(test::White(image, 1202, 150));
}

TEST_F(WaveformWindowTest, DrawsWithTheTimbreInForceAtDrawingTime) {
    PlayA440();
    // Switched to the square wave after playing: the picture shows the square, ±40 pixels at 1:1.
    window->findChild<QCheckBox*>(u"CBRechteck"_qs)->click();
    Item(1)->trigger();
    const QImage& image = picture.Image();
    int top = 400;
    int bottom = 0;
    for (int x = 1; x <= 1200; ++x) {
        for (int y = 1; y < 399; ++y) {
            if (test::Black(image, x, y)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    EXPECT_EQ(top, 110);
    EXPECT_EQ(bottom, 190);
}

TEST_F(WaveformWindowTest, FirstExampleEndsWithTheWaveformAtOneToHundred) {
    // The example puts the notation away before the picture: the waveform shows all the same.
    const ExampleEntry* first = FindExample(u"Erstes Beispiel"_qs);
    ASSERT_NE(first, nullptr);
    window->RunExampleEntry(*first);
    EXPECT_TRUE(dialogs.textDialogs.isEmpty());
    EXPECT_EQ(picture.Tag(), NotationPicture::kTagPutAway);
    EXPECT_TRUE(notation.isVisible());
    EXPECT_EQ(notation.windowTitle(), u"Schwingungsbild 1:100"_qs);
    EXPECT_EQ(picture.Image().size(), QSize(1280, 400));
    EXPECT_TRUE(test::Black(picture.Image(), 100, 150));
}

} // namespace
} // namespace zk
