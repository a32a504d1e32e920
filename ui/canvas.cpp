// Canvas drawing straight into the bitmap's memory: bits() is taken once, so a
// full redraw costs no per-pixel calls into QImage.
#include "ui/canvas.h"

#include <algorithm>
#include <cstdlib>

Canvas::Canvas(QImage& bitmap)
    : pixels_(reinterpret_cast<quint32*>(bitmap.bits())),
      stride_(bitmap.bytesPerLine() / 4),
      width_(bitmap.width()),
      height_(bitmap.height()) {
    Q_ASSERT(bitmap.format() == QImage::Format_RGB32);
}

void Canvas::FillRect(const QRect& rect) {
    const QRect visible = rect.intersected(QRect(0, 0, width_, height_));
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
        quint32* row = pixels_ + y * stride_;
        std::fill(row + visible.left(), row + visible.right() + 1, BrushColor);
    }
}

void Canvas::MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
}

void Canvas::Plot(int x, int y) {
    if (x >= 0 && x < width_ && y >= 0 && y < height_) pixels_[y * stride_ + x] = PenColor;
}

void Canvas::LineTo(int x, int y) {
    int x0 = penX_;
    int y0 = penY_;
    MoveTo(x, y);
    if (x0 == x && y0 == y) return;   // a line of length 0 has no pixel but its end

    // Straight lines are the bulk of a preview: fill their clipped span directly.
    // The span runs from the start point to one short of the end point.
    if (x0 == x) {
        if (x0 < 0 || x0 >= width_) return;
        const int first = std::max(std::min(y0, y + 1), 0);
        const int last = std::min(std::max(y0, y - 1), height_ - 1);
        for (int row = first; row <= last; ++row) pixels_[row * stride_ + x0] = PenColor;
        return;
    }
    if (y0 == y) {
        if (y0 < 0 || y0 >= height_) return;
        const int first = std::max(std::min(x0, x + 1), 0);
        const int last = std::min(std::max(x0, x - 1), width_ - 1);
        if (first <= last) std::fill(pixels_ + y0 * stride_ + first, pixels_ + y0 * stride_ + last + 1, PenColor);
        return;
    }

    // Bresenham over all octants: each step picks the pixel nearest the ideal
    // line; the loop stops on reaching the end point, before plotting it.
    const int dx = std::abs(x - x0);
    const int dy = -std::abs(y - y0);
    const int sx = x0 < x ? 1 : -1;
    const int sy = y0 < y ? 1 : -1;
    int error = dx + dy;
    while (x0 != x || y0 != y) {
        Plot(x0, y0);
        const int doubled = 2 * error;
        if (doubled >= dy) {
            error += dy;
            x0 += sx;
        }
        if (doubled <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}
