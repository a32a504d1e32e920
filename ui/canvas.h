// A small drawing layer over a 32-bit bitmap with the classic canvas rules:
// a brush for rectangle fills, a pen for lines, and a current point that
// LineTo draws from and moves on. Everything outside the bitmap is clipped.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QtGlobal>

class Canvas {
public:
    // The bitmap must be QImage::Format_RGB32 and outlive the canvas.
    explicit Canvas(QImage& bitmap);

    QRgb BrushColor = qRgb(255, 255, 255);
    QRgb PenColor = qRgb(0, 0, 0);

    // Fills the part of `rect` that lies on the bitmap with the brush.
    void FillRect(const QRect& rect);

    void MoveTo(int x, int y);
    // Draws with the pen from the current point up to (x, y), leaving out
    // (x, y) itself, then makes (x, y) the current point.
    void LineTo(int x, int y);

    QPoint PenPos() const { return {penX_, penY_}; }

private:
    void Plot(int x, int y);

    quint32* pixels_;   // first pixel of row 0
    qsizetype stride_;  // pixels per row, padding included
    int width_;
    int height_;
    int penX_ = 0;
    int penY_ = 0;
};
