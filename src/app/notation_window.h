// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notation/waveform_picture.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <optional>

class QAction;
class QScrollArea;

namespace zk {

class NotationPicture;
class PieceTable;

// The staff-notation window: a small frame at the top right of the screen, always on top, that
// shows the notation picture. It is created once and only shown and hidden; the waveform picture
// borrows it too. The picture and its settings belong to the NotationPicture it is given.
class NotationWindow : public QWidget {
    Q_OBJECT

public:
    explicit NotationWindow(NotationPicture& picture, QWidget* parent = nullptr);
    ~NotationWindow() override;

    NotationPicture& Picture() { return m_picture; }

    // Where the window tells the user that a long piece's picture had to be cut.
    void SetDialogs(UserDialogs* dialogs) { m_dialogs = dialogs; }

    // Where "Noten zeigen" finds the piece, and how it empties the record of the last piece.
    void SetPieceTable(std::function<const PieceTable*()> table) { m_table = std::move(table); }
    void SetClearLastPiece(std::function<void()> action) { m_clearLastPiece = std::move(action); }
    // What the window, always on top, must never cover: the main window's title bar and menu bar
    // with "Stop" (in screen coordinates; an empty rectangle while the main window is not shown).
    void SetKeepClear(std::function<QRect()> area) { m_keepClear = std::move(area); }

    // The menu items the main window shows: "Noten zeigen" and the six "Noten im Bass" items
    // (variable, then 0 .. 4), checkable, the one of the current setting checked.
    QAction* NotenZeigenAction() const { return Notenbildzeigen1; }
    QList<QAction*> BassNotesActions() const { return m_bassActions; }

    // The piece as notation: the caption becomes empty, the picture is drawn and the window takes
    // its size and place and comes back unless it was put away.
    void NotateTable(const PieceTable& table);

    // Keeps the window hidden after a pass over a table too long for the notation.
    void PutAway();
    // Opening the example menus: put away and hidden at once.
    void PutAwayAndHide();

    // The waveform of `source` at 1:scale in place of the notation: the window becomes a strip
    // over the whole screen width with the scale in its caption and is shown, even when it was
    // put away. An empty piece is reported through `dialogs` and leaves the window as it was.
    WaveformDrawing DrawWaveform(int scale, const WaveformSource& source, UserDialogs& dialogs);

    // Back to normal size. A visible window stays as it is; a hidden one comes back unless it
    // was put away or lies far beyond the screen's left edge (a very long piece).
    void RestoreNotationWindow();

public slots:
    // "Noten zeigen": empties the last piece, draws the table and shows the window in any case.
    void Notenbildzeigen1Click();
    // The six "Noten im Bass" items: the setting of the item, then as "Noten zeigen".
    void MBassvClick();

private:
    void OnNotationDrawn();
    // The picture's window frame brought within the screen.
    QRect OnScreen(const QRect& frame) const;
    // Sizes the window's frame and puts it at the frame's place.
    void Place(const QRect& frame);
    void UpdateBassNotesChecks();

    NotationPicture& m_picture;
    QWidget* Image1 = nullptr;
    QScrollArea* m_scroll = nullptr;
    UserDialogs* m_dialogs = nullptr;
    QAction* Notenbildzeigen1 = nullptr;
    QList<QAction*> m_bassActions;
    std::function<const PieceTable*()> m_table;
    std::function<QRect()> m_keepClear;
    // Where the window was last put; a window found elsewhere was moved by the user and stays.
    std::optional<QPoint> m_placedAt;
    std::function<void()> m_clearLastPiece;
};

// The caption of the "Noten im Bass" item of a setting (-1 variable, 0 .. 4).
QString BassNotesItemText(int bassNotes);

} // namespace zk
