// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/desktop.h"
#include "support/program_files.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void Write(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char* argv[]) {
    zk::KeepUserFoldersInZirkelonHome();
    if (argc == 1) {
        return zk::RunDesktop(argc, argv, QString());
    }
    // The arguments as given: a GUI application would take its own options ("-reverse",
    // "-platform X") out of them, even after "--".
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
    }
    // A file alone, as the file manager passes it: the window opens with it.
    if (QString file; zk::cli::OpensInWindow(args, file)) {
        int windowArgc = 1;
        return zk::RunDesktop(windowArgc, argv, file);
    }
    // The command line needs no display: a core application reads the locale and the paths.
    // A command that draws text gets the fonts of a GUI application, still without a display.
    std::unique_ptr<QCoreApplication> app;
    if (zk::cli::NeedsFonts(args.first())) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Without a session's runtime folder Qt takes one in /tmp and says so on stderr, where
        // only the program's own messages belong: the same folder, taken quietly.
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            const QByteArray runtime = "/tmp/runtime-" + QByteArray::number(getuid());
            if (mkdir(runtime.constData(), 0700) == 0 || errno == EEXIST) {
                qputenv("XDG_RUNTIME_DIR", runtime);
            }
        }
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("zirkelon"));

    zk::cli::Io io;
    io.readStdin = [] {
        QByteArray bytes;
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
            bytes.append(buffer, static_cast<qsizetype>(n));
        }
        return bytes;
    };
    const int status = zk::cli::Run(args, io);
    Write(stdout, io.out);
    Write(stderr, io.err);
    return status;
}
