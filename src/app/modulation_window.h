// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modulation/modulation_calculator.h"

#include <QWidget>

#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSplitter;

namespace zk {

class UserDialogs;

// The modulation calculator's window: the key field with its reset button, the scale field,
// one button per operation, the fixed explanation box and the history box below a splitter.
// It is created once and then only shown and hidden, so its scale, key and history last for the
// whole run. The history is the text of the history box as it stands, user edits included.
class ModulationWindow : public QWidget {
    Q_OBJECT

public:
    explicit ModulationWindow(UserDialogs& dialogs, QWidget* parent = nullptr);
    ~ModulationWindow() override;

    // "Zum Programm Akkorde erklingen lassen": the application shell shows its main window.
    void SetShowMainWindow(std::function<void()> action) { m_showMainWindow = std::move(action); }
    // Called after the window has closed (it is only hidden); the shell brings back the start
    // window when the main window is not showing.
    void SetClosedAction(std::function<void()> action) { m_closed = std::move(action); }

    // Refuses every new size of the button panel; brings back an explanation box that the user
    // has dragged away, at 50 pixels. Runs whenever the window is resized.
    bool Panel2CanResize();

public slots:
    void Button3Click();
    void Button1Click();
    void BZruecksetzenClick();
    void BTerzhoeherClick();
    void BTerzTieferClick();
    void BQuintehoeherClick();
    void BQuinteTieferClick();
    void BDurMollClick();
    void BPlusClick();
    void BMinusClick();
    void BZurueckClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void RunOperation(ModulationOp op);

    // The controls carry the names the program gives them, also as objectName, so that tests
    // find them.
    QFrame* Panel1 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* BZruecksetzen = nullptr;
    QLineEdit* ETonart = nullptr;
    QPushButton* Button1 = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* BTerzhoeher = nullptr;
    QPushButton* BTerzTiefer = nullptr;
    QPushButton* BQuintehoeher = nullptr;
    QPushButton* BQuinteTiefer = nullptr;
    QPushButton* BDurMoll = nullptr;
    QPushButton* BPlus = nullptr;
    QPushButton* BMinus = nullptr;
    QPushButton* BZurueck = nullptr;
    QPlainTextEdit* RichEdit2 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QPlainTextEdit* RichEdit1 = nullptr;

    std::unique_ptr<ModulationHistory> m_history;
    std::unique_ptr<ModulationCalculator> m_calculator;
    std::function<void()> m_showMainWindow;
    std::function<void()> m_closed;
};

} // namespace zk
