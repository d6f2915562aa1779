// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "piece/comma_drift.h"

#include <QImage>
#include <QString>
#include <QWidget>

class QAction;

// The comma-drift window: a window of its own that shows the drift picture of a computed piece
// (the chart of cents over the rows and the way of the keys on the tone lattice), drawn anew at
// the window's size whenever that changes, and saves it as a PNG file.

namespace zk {

class UserDialogs;

class DriftWindow : public QWidget {
    Q_OBJECT

public:
    // The window is top-level even with a parent; it asks for file names and reports failures
    // through `dialogs`.
    DriftWindow(UserDialogs& dialogs, DriftData data, QWidget* parent = nullptr);
    ~DriftWindow() override;

    // Shows the drift of another computation.
    void SetData(DriftData data);
    const DriftData& Data() const { return m_data; }

    // The picture as it is shown: drawn at the size of its area in the window.
    const QImage& Picture() const;

    // "Als Bild speichern…".
    QAction* SaveAction() const { return m_saveAction; }

public slots:
    // Asks for a PNG file name and writes the picture as shown, all or nothing; a file that
    // cannot be written is reported and nothing else happens.
    void SaveAsPicture();

private:
    class View;

    UserDialogs& m_dialogs;
    DriftData m_data;
    View* m_view = nullptr;
    QAction* m_saveAction = nullptr;
    QString m_lastFile; // the file saved last, proposed the next time
};

// The filter of the save dialog.
inline const QString kPngFilter = QStringLiteral("PNG-Bilder (*.png)|*.png|Alle Dateien (*.*)|*.*");

} // namespace zk
