// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/main_window.h"
#include "app/notation_window.h"
#include "common/locale_guard.h"
#include "common/scripted_dialogs.h"
#include "notation/notation_picture.h"
#include "sound/audio_output.h"
#include "sound/sound_player.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <memory>

namespace zk::test {

// The main window with everything around it: sound into a recording output, a notation window
// on a 1280 × 800 screen, every dialog answered by a script, German number format.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() : sound(audio), picture(QSize(1280, 800)), notation(picture) {
        window = std::make_unique<MainWindow>(sound, notation, dialogs);
    }

    LocaleGuard m_locale{German()};
    RecordingAudioOutput audio;
    SoundPlayer sound;
    NotationPicture picture;
    NotationWindow notation;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;

    // The menu item or key action with this object name.
    QAction* Action(const char* name) const {
        return window->findChild<QAction*>(QString::fromLatin1(name));
    }

    // The menu item with this caption in the menu with this title.
    QAction* Item(const QString& menuTitle, const QString& caption) const {
        for (QAction* top : window->menuBar()->actions()) {
            if (top->menu() == nullptr || top->menu()->title() != menuTitle) {
                continue;
            }
            for (QAction* action : top->menu()->actions()) {
                if (action->text() == caption) {
                    return action;
                }
            }
        }
        ADD_FAILURE() << "no item " << caption.toStdString() << " in " << menuTitle.toStdString();
        return nullptr;
    }
};

} // namespace zk::test
