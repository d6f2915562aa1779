// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/desktop.h"

#include "app/cups_printer.h"
#include "app/main_window.h"
#include "app/modulation_window.h"
#include "app/notation_window.h"
#include "app/playback_input_gate.h"
#include "app/qt_translations.h"
#include "app/shutdown.h"
#include "app/start_window.h"
#include "app/widget_dialogs.h"
#include "app/window_metrics.h"
#include "notation/notation_picture.h"
#include "sound/pulse_audio_output.h"
#include "sound/sound_player.h"
#include "support/printer.h"
#include "support/program_files.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <cstdio>

namespace zk {

namespace {

bool HasDisplay() {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int RunDesktop(int argc, char* argv[], const QString& file) {
    if (!HasDisplay()) {
        std::fputs("Zirkelon braucht einen Bildschirm (X11 oder Wayland); es wurde keiner "
                   "gefunden.\n\"zirkelon --help\" zeigt, was ohne Fenster geht.\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zirkelon"));
    QApplication::setApplicationDisplayName(QStringLiteral("Zirkelon"));
    // Wayland and the menus find the program's icon and entry by this name.
    QGuiApplication::setDesktopFileName(QLatin1String(kDesktopEntryId));
    QApplication::setWindowIcon(ProgramIcon());
    const GermanQtTranslations german;

    WidgetDialogs dialogs;
    // No sound device: the program says so once and plays silently.
    PulseAudioOutput audio([&dialogs](const QString& notice) { dialogs.ShowMessage(notice); });
    // While a sound plays the windows repaint and "Stop" is seen; other input waits.
    PlaybackInputGate gate;
    audio.SetWaitHook([&gate] { gate.ProcessEvents(); });
    GatedAudioOutput gatedAudio(audio, gate);
    SoundPlayer sound(gatedAudio);

    // The windows in the order the program has always made them; only the start window shows.
    StartWindow start;
    NotationPicture picture(PrimaryScreenRect().size());
    NotationWindow notation(picture);
    ModulationWindow modulation(dialogs);
    // The first start of a portable copy puts a launcher onto the desktop; a run with its own
    // home folder writes nothing outside it.
    const auto firstStart = [&dialogs] {
        if (qEnvironmentVariableIsEmpty("ZIRKELON_HOME")) {
            CreateDesktopShortcut(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation),
                                  QCoreApplication::applicationFilePath(), ProgramDir(), dialogs);
        }
    };
    MainWindow main(sound, notation, dialogs, firstStart);
    dialogs.SetParent(&main);
    notation.SetDialogs(&dialogs);
    gate.isStopClick = [&main](QObject* target, const QEvent& event) {
        return main.IsStopClick(target, event);
    };
    gate.stop = [&main] { main.Stop1Click(); };
    gate.isMainWindow = [&main](QObject* window) { return window == main.windowHandle(); };
    gate.silence = [&main] { main.StopEverything(); };
    CupsPrinter printer;
    main.SetPrinter(&printer);
    dialogs.printText = [&printer, &dialogs](const QString& text) {
        PrintText(printer, dialogs, text);
    };

    const auto showMain = [&main] {
        main.showMaximized();
        main.raise();
        main.activateWindow();
    };
    const auto showModulation = [&modulation] {
        modulation.show();
        modulation.raise();
        modulation.activateWindow();
    };
    start.showMainWindow = showMain;
    start.showModulationWindow = showModulation;
    // Closing the start window ends the program, also while a piece plays over and over: the
    // sound stops, the pass returns, then the event loops end.
    start.quit = [&app, &main] {
        if (!MayQuit(main)) {
            return;
        }
        main.StopEverything();
        app.quit();
    };
    main.showModulationWindow = showModulation;
    main.modulationWindowVisible = [&modulation] { return modulation.isVisible(); };
    main.showStartWindow = [&start] { start.show(); };
    modulation.SetShowMainWindow(showMain);
    modulation.SetClosedAction([&main, &start] {
        if (!main.isVisible()) {
            start.show();
        }
    });
    // The user guide, shown by the desktop's viewer for HTML.
    main.installedGuide = QDir::cleanPath(QCoreApplication::applicationDirPath() + u'/' +
                                          QStringLiteral(ZK_GUIDE_INSTALLED));
    main.builtGuide = QStringLiteral(ZK_GUIDE_BUILD);
    // xdg-open finds the desktop's viewer; it says by its exit status whether there was one.
    main.showFile = [&main](const QString& path, const std::function<void()>& failed) {
        auto* viewer = new QProcess(&main);
        QObject::connect(viewer, &QProcess::finished, &main,
                         [viewer, failed](int status, QProcess::ExitStatus exit) {
                             viewer->deleteLater();
                             if (status != 0 || exit != QProcess::NormalExit) {
                                 failed();
                             }
                         });
        QObject::connect(viewer, &QProcess::errorOccurred, &main,
                         [viewer, failed](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart) {
                                 viewer->deleteLater();
                                 failed();
                             }
                         });
        viewer->start(QStringLiteral("xdg-open"), {QUrl::fromLocalFile(path).toString()});
    };
    QApplication::setQuitOnLastWindowClosed(false); // the start window alone ends the program
    if (file.isEmpty()) {
        start.show();
    } else {
        // As if "Akkorde erklingen lassen" had been chosen: the main window instead of the start
        // window, which comes back when the main window closes.
        showMain();
        QTimer::singleShot(0, &main, [&main, file] { main.OpenFromCommandLine(file); });
    }
    return app.exec();
}

} // namespace zk
