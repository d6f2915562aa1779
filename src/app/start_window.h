// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>

class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace zk {

// The small window the program starts with: two large buttons lead to the piece table or to the
// modulation calculator, "über/Version" unfolds the about text in two steps.
class StartWindow : public QWidget {
    Q_OBJECT
public:
    // The three window heights, title bar and border included, and the width.
    static constexpr int kButtonsHeight = 124;
    static constexpr int kFirstLinesHeight = 226;
    static constexpr int kWholeTextHeight = 300;
    static constexpr int kWidth = 465;
    // What the title bar and the border take of a window's height and width.
    static constexpr int kFrameHeight = 32;
    static constexpr int kFrameWidth = 8;

    explicit StartWindow(QWidget* parent = nullptr);

    std::function<void()> showMainWindow;
    std::function<void()> showModulationWindow;
    std::function<void()> quit;

public slots:
    void SpeedButton1Click();
    void SpeedButton2Click();
    void Button1Click();
    void Button2Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SetWindowHeight(int height);

    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QPushButton* Button1;
    QPushButton* Button2;
    QPlainTextEdit* Memo1;
};

// The about text: version date, contact, and the notes of the latest changes.
QString AboutText();

} // namespace zk
