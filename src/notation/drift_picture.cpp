// SPDX-License-Identifier: GPL-3.0-or-later
#include "notation/drift_picture.h"

#include "notation/drift_chart.h"
#include "notation/drift_lattice.h"
#include "support/number_text.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

// The drift picture as a whole: its size and layout, its texts, and the chart above the lattice.

namespace zk {

QSize ClampedDriftSize(QSize size) {
    return QSize(std::clamp(size.width(), kDriftMinimumSize.width(), kDriftMaximumSize.width()),
                 std::clamp(size.height(), kDriftMinimumSize.height(), kDriftMaximumSize.height()));
}

DriftLayout DriftLayoutFor(QSize size) {
    size = ClampedDriftSize(size);
    DriftLayout layout;
    // 13 pixels at 1200 × 600, smaller in a small window, never unreadably small or huge.
    layout.fontPixels = std::clamp(std::min(size.width() / 90, size.height() / 45), 8, 22);
    const int chartHeight = size.height() * 11 / 20;
    layout.chart = QRect(0, 0, size.width(), chartHeight);
    layout.lattice = QRect(0, chartHeight, size.width(), size.height() - chartHeight);
    return layout;
}

QString DriftToneLabel(const QString& name) {
    QString label;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (i == 0) {
            label += c.toLower();
        } else if (!c.isDigit()) {
            label += c;
        }
    }
    return label;
}

QString DriftCentsText(long double cents) {
    // A value that rounds to 0 is written "0", never "-0".
    QString text = std::fabs(cents) < 0.05L ? QStringLiteral("0") : NumberToText(1, cents);
    if (text.startsWith(u'-')) {
        text.replace(0, 1, QChar(0x2212));
    }
    return text;
}

QImage DriftPicture(const DriftData& data, QSize size, DriftDetail detail) {
    size = ClampedDriftSize(size);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    const DriftLayout layout = DriftLayoutFor(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drift::DrawChart(painter, data, layout.chart, layout.fontPixels, detail);
    // A thin rule between the two parts.
    painter.setPen(QPen(QColor(200, 200, 200), 1));
    painter.drawLine(QPointF(layout.lattice.left() + 8, layout.lattice.top() + 0.5),
                     QPointF(layout.lattice.right() - 8, layout.lattice.top() + 0.5));
    drift::DrawLattice(painter, data, layout.lattice, layout.fontPixels, detail);
    return image;
}

} // namespace zk
