#include "app/cli/cli.h"
#include "app/desktop.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

namespace {

void Write(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 1) {
        return zk::RunDesktop(argc, argv);
    }
    // The command line needs no display: a core application reads the locale and the paths.
    // A command that draws text gets the fonts of a GUI application, still without a display.
    std::unique_ptr<QCoreApplication> app;
    if (argc > 1 && zk::cli::NeedsFonts(QString::fromLocal8Bit(argv[1]))) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("zirkelon"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

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
