// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/start_window.h"

#include "app/version.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

namespace zk {

QString AboutText() {
    return QStringLiteral("Zirkelon, Version %1 vom %2\n"
                          "Reine Stimmung hören und berechnen.\n"
                          "Fragen und Hinweise bitte an die Entwickler von Zirkelon.\n"
                          "\n"
                          "Änderungen:\n"
                          "%2: Zirkelon läuft unter Linux mit Qt 6: Stücktabelle, reine, "
                          "gleichschwebende und mitteltönige Stimmungen, Klang über den "
                          "Soundserver, Notenbild, Modulationsrechner.\n"
                          "%2: Der Klangspeicher unterscheidet jetzt auch Frequenzen, die sich "
                          "erst in der zweiten Nachkommastelle unterscheiden (Schwebungen).\n"
                          "%2: Stimmungstabellen werden mit Punkt und Komma gelesen.\n")
        .arg(QLatin1String(kVersion), QLatin1String(kBuildDate));
}

StartWindow::StartWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TFormstart"));
    setWindowTitle(QStringLiteral("Zirkelon"));
    QFont large = font();
    large.setPointSize(12);

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("Akkorde erklingen lassen"));
    SpeedButton1->setFont(large);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setGeometry(8, 8, 209, 45);
    SpeedButton2 = new QToolButton(this);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setText(QStringLiteral("Modulationen berechnen"));
    SpeedButton2->setFont(large);
    SpeedButton2->setFocusPolicy(Qt::NoFocus);
    SpeedButton2->setGeometry(232, 8, 209, 45);
    Button1 = new QPushButton(QStringLiteral("Beenden"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(88, 64, 75, 25);
    Button2 = new QPushButton(QStringLiteral("über/Version"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(280, 64, 107, 25);
    Memo1 = new QPlainTextEdit(AboutText(), this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(0, 96, 457, 193);

    connect(SpeedButton1, &QToolButton::clicked, this, &StartWindow::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &StartWindow::SpeedButton2Click);
    connect(Button1, &QPushButton::clicked, this, &StartWindow::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &StartWindow::Button2Click);

    move(383, 222);
    SetWindowHeight(kButtonsHeight);
}

void StartWindow::SetWindowHeight(int height) {
    // At the smallest height only the buttons show; the about text starts below them.
    setFixedSize(kWidth - kFrameWidth, height - kFrameHeight);
    Memo1->setGeometry(0, 96, 457, std::max(0, height - kFrameHeight - 96));
}

void StartWindow::SpeedButton1Click() {
    if (showMainWindow) {
        showMainWindow();
    }
    hide();
}

void StartWindow::SpeedButton2Click() {
    if (showModulationWindow) {
        showModulationWindow();
    }
    hide();
}

void StartWindow::Button1Click() {
    close();
}

void StartWindow::Button2Click() {
    int height = kButtonsHeight;
    if (Button2->text().contains(QStringLiteral("über"))) {
        height = kFirstLinesHeight;
        Button2->setText(QStringLiteral("letzte Änderung"));
    } else if (Button2->text() == QStringLiteral("letzte Änderung")) {
        height = kWholeTextHeight;
        Button2->setText(QStringLiteral("zurück"));
    } else {
        Button2->setText(QStringLiteral("über"));
    }
    SetWindowHeight(height);
}

void StartWindow::closeEvent(QCloseEvent* event) {
    // Closing the start window ends the program.
    event->accept();
    if (quit) {
        quit();
    }
}

} // namespace zk
