// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QRect>

// Reading the notation picture pixel by pixel. A note head covers x - 6 .. x + 4 and y - 3 ..
// y + 3; staff and ledger lines lie on the rows base - 8j, so a row an odd number of pixels away
// from a note's y never holds a line.

namespace zk::test {

inline bool Black(const QImage& image, int x, int y) {
    return image.valid(x, y) && image.pixel(x, y) == qRgb(0, 0, 0);
}

inline bool White(const QImage& image, int x, int y) {
    return image.valid(x, y) && image.pixel(x, y) == qRgb(255, 255, 255);
}

// Top and bottom rows and both sides: a head one step (4 pixels) off misses the top or the bottom
// row. Inside, a filled head is black and an open one white.
inline bool HeadAt(const QImage& image, int x, int y, bool filled) {
    return Black(image, x, y - 3) && Black(image, x, y + 3) && Black(image, x - 5, y) &&
           Black(image, x + 3, y) && Black(image, x, y - 1) == filled &&
           Black(image, x, y + 1) == filled;
}

// The bounding rectangle of the pixels in which two pictures of one size differ.
inline QRect DifferenceBounds(const QImage& a, const QImage& b) {
    QRect bounds;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

inline bool OnlyBlackAndWhite(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!Black(image, x, y) && !White(image, x, y)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace zk::test
