#pragma once

#include <QString>

namespace zk {

// Every message box and question the program puts to the user goes through this seam, so that
// the core runs in tests and on the command line. The desktop program implements it with
// QMessageBox and QFileDialog; tests script the answers; the command line writes messages to
// stderr and asks nothing. Later parts add the file dialogs, text dialog and prompts here.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A message box with "OK".
    virtual void ShowMessage(const QString& text) = 0;

    // A question with "Ja" / "Nein"; true for "Ja".
    virtual bool AskYesNo(const QString& text) = 0;

    // A question with "OK" / "Abbrechen"; true for "OK".
    virtual bool AskOkCancel(const QString& text) = 0;
};

} // namespace zk
