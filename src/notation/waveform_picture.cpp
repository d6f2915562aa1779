// SPDX-License-Identifier: GPL-3.0-or-later
#include "notation/waveform_picture.h"

#include "support/user_dialogs.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace zk {

namespace {

// The widest picture drawn, as for the notation: far more than any screen.
constexpr int kMaxWidth = 32767;
// Frames computed at a time.
constexpr std::int64_t kBlock = 4096;

// Joins the points of the graph with lines. Consecutive frames that fall into the same column
// are joined by vertical lines, which together cover the column from the lowest to the highest
// of their points; so each column is drawn as one vertical line plus the line that enters it
// from the column before. The pixels are the same as with one line per frame, at a fraction of
// the cost when a thousand frames share a column.
class GraphPen {
public:
    explicit GraphPen(QPainter& painter) : m_painter(painter) {}

    void LineTo(int x, int y) {
        if (x != m_x) {
            FlushColumn();
            m_painter.drawLine(m_x, m_y, x, y);
            m_x = x;
            m_low = m_high = y;
        } else {
            m_low = std::min(m_low, y);
            m_high = std::max(m_high, y);
        }
        m_y = y;
    }

    void FlushColumn() {
        if (m_low < m_high) {
            m_painter.drawLine(m_x, m_low, m_x, m_high);
        }
        m_low = m_high = m_y;
    }

private:
    QPainter& m_painter;
    int m_x = 0;
    int m_y = kWaveformZeroLine;
    int m_low = kWaveformZeroLine;
    int m_high = kWaveformZeroLine;
};

} // namespace

int WaveformVerticalFactor(int scale) {
    switch (scale) {
    case 1:
        return 100;
    case 3:
        return 90;
    case 10:
        return 80;
    case 30:
        return 70;
    case 100:
        return 60;
    case 300:
    case 1000:
        return 50;
    default:
        return 100;
    }
}

bool IsWaveformScale(int scale) {
    return std::find(kWaveformScales.begin(), kWaveformScales.end(), scale) !=
           kWaveformScales.end();
}

QString WaveformCaption(int scale) {
    return QStringLiteral("Schwingungsbild 1:%1").arg(scale);
}

QRect WaveformWindowGeometry(int screenWidth) {
    return QRect(0, 400, screenWidth, kWaveformHeight);
}

WaveformDrawing DrawWaveform(QImage& image, int width, int scale, const WaveformSource& source,
                             UserDialogs& dialogs) {
    if (source.ChordCount() == 0) {
        dialogs.ShowTextDialog(QStringLiteral("Frequenzbild kann noch nicht gezeigt werden."),
                               QStringLiteral("Bitte zuerst Stück spielen!"),
                               TextDialogMode::OkPrint);
        return {};
    }
    std::int64_t totalFrames = 0;
    for (std::size_t chord = 0; chord < source.ChordCount(); ++chord) {
        totalFrames += std::max<std::int64_t>(source.ChordFrames(chord), 0);
    }
    if (totalFrames == 0) {
        return {};
    }

    // A scale below 1 would put the whole piece into one column; 1 is the finest there is.
    const std::int64_t s = std::max(scale, 1);
    const int v = WaveformVerticalFactor(scale);
    image = QImage(std::clamp(width, 2, kMaxWidth), kWaveformHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    WaveformDrawing drawing;
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(Qt::black, 1));
        // The frame lies on the picture's outermost pixels.
        painter.drawRect(0, 0, image.width() - 1, image.height() - 1);

        GraphPen pen(painter);
        std::vector<std::int16_t> samples(static_cast<std::size_t>(kBlock));
        std::int64_t k = 0;
        bool beyond = false;
        for (std::size_t chord = 0; chord < source.ChordCount() && !beyond; ++chord) {
            const std::int64_t frames = source.ChordFrames(chord);
            for (std::int64_t first = 0; first < frames && !beyond; first += kBlock) {
                const std::int64_t count = std::min(kBlock, frames - first);
                source.ChordSamples(chord, first, count, samples.data());
                for (std::int64_t n = 0; n < count; ++n) {
                    ++k;
                    const int x = static_cast<int>(k / s);
                    const int w = samples[static_cast<std::size_t>(n)];
                    pen.LineTo(x, kWaveformZeroLine + w * v / 10000);
                    // The first point beyond the last column is still drawn.
                    if (x > kWaveformLastColumn) {
                        beyond = true;
                        break;
                    }
                }
            }
        }
        pen.FlushColumn();
        drawing.drawn = true;
        drawing.framesDrawn = k;
        drawing.cut = k < totalFrames;
    }
    return drawing;
}

void DrawWaveformCaption(QImage& image, int scale) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setPen(Qt::black);
    QFont font = painter.font();
    font.setBold(true);
    font.setPointSize(10);
    painter.setFont(font);
    const QRect box(6, image.height() - 24, image.width() - 12, 20);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, WaveformCaption(scale));
}

} // namespace zk
