// A 255 x 255 RGB32 bitmap set inside a larger buffer whose margin holds a
// sentinel value, so any write outside the bitmap shows up in the margin.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRgb>

#include <algorithm>
#include <initializer_list>
#include <ostream>
#include <vector>

struct GuardedBitmap {
    static constexpr int Size = 255;
    static constexpr int Margin = 16;
    static constexpr int Outer = Size + 2 * Margin;
    static constexpr quint32 Sentinel = 0x5A3C5A3C;

    explicit GuardedBitmap(QRgb fill)
        : buffer(Outer * Outer, Sentinel),
          image(reinterpret_cast<uchar*>(Origin()), Size, Size, Outer * 4, QImage::Format_RGB32) {
        image.fill(fill);
    }

    // True when nothing outside the bitmap changed and the drawing went into
    // this buffer rather than into a detached copy.
    bool MarginIntact() const {
        if (image.constBits() != reinterpret_cast<const uchar*>(Origin())) return false;
        for (int y = 0; y < Outer; ++y)
            for (int x = 0; x < Outer; ++x) {
                const bool inside = x >= Margin && x < Margin + Size && y >= Margin && y < Margin + Size;
                if (!inside && buffer[y * Outer + x] != Sentinel) return false;
            }
        return true;
    }

    const quint32* Origin() const { return buffer.data() + Margin * Outer + Margin; }
    quint32* Origin() { return buffer.data() + Margin * Outer + Margin; }

    std::vector<quint32> buffer;   // built before the image that points into it
    QImage image;
};

// The pixels of one colour, in row-major order.
inline std::vector<QPoint> PixelsOf(const QImage& image, QRgb colour) {
    std::vector<QPoint> found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour) found.emplace_back(x, y);
    return found;
}

inline std::vector<QPoint> RowMajor(std::vector<QPoint> points) {
    std::sort(points.begin(), points.end(),
              [](QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); });
    return points;
}

// Inclusive runs of pixels, for writing expected pixel lists by hand.
inline std::vector<QPoint> Column(int x, int fromY, int toY) {
    std::vector<QPoint> run;
    for (int y = std::min(fromY, toY); y <= std::max(fromY, toY); ++y) run.emplace_back(x, y);
    return run;
}

inline std::vector<QPoint> Row(int y, int fromX, int toX) {
    std::vector<QPoint> run;
    for (int x = std::min(fromX, toX); x <= std::max(fromX, toX); ++x) run.emplace_back(x, y);
    return run;
}

inline std::vector<QPoint> Join(std::initializer_list<std::vector<QPoint>> runs) {
    std::vector<QPoint> all;
    for (const auto& run : runs) all.insert(all.end(), run.begin(), run.end());
    return all;
}

inline void PrintTo(const QPoint& point, std::ostream* out) { *out << '(' << point.x() << ',' << point.y() << ')'; }
