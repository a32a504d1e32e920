// The preview draws on a 255 x 255 bitmap with coordinates up to 255, so column
// 255 and row 255 are drawn outside it and clipped: a curve value of 0 lands on
// row 255, and the wave column at x = 255 never shows.
#include "ui/preview.h"

#include "engine/ksynth.h"
#include "ui/canvas.h"

namespace {

constexpr QRgb Black = qRgb(0, 0, 0);
constexpr QRgb White = qRgb(255, 255, 255);
constexpr QRgb Red = qRgb(255, 0, 0);
constexpr QRgb Blue = qRgb(0, 0, 255);

constexpr int Bottom = 255;   // row of curve value 0, just below the bitmap

}  // namespace

void PaintPreview(QImage& bitmap, const OscillatorShape& shape, QSize clientArea) {
    using ksynth::ShapeCurveAt;
    Canvas canvas(bitmap);
    canvas.BrushColor = Black;
    canvas.PenColor = White;
    canvas.FillRect(QRect(QPoint(0, 0), clientArea));

    // Wave columns: the sine of the waveform curve scaled by the strength curve.
    // The end point is left out, so a height h shows h - 1 pixels.
    for (int x = 0; x <= 255; ++x) {
        const auto position = static_cast<uint8_t>(x);
        const int sine = ksynth::SineTable[ShapeCurveAt(shape.Waveform, position)];
        const int height = sine * ShapeCurveAt(shape.Strength, position) / 255;
        canvas.MoveTo(x, Bottom);
        canvas.LineTo(x, Bottom - height);
    }

    // Both curves as polylines; blue after red at each x, so blue shows where they meet.
    for (int x = 0; x < 255; ++x) {
        const auto here = static_cast<uint8_t>(x);
        const auto next = static_cast<uint8_t>(x + 1);
        canvas.PenColor = Red;
        canvas.MoveTo(x, Bottom - ShapeCurveAt(shape.Waveform, here));
        canvas.LineTo(x + 1, Bottom - ShapeCurveAt(shape.Waveform, next));
        canvas.PenColor = Blue;
        canvas.MoveTo(x, Bottom - ShapeCurveAt(shape.Strength, here));
        canvas.LineTo(x + 1, Bottom - ShapeCurveAt(shape.Strength, next));
    }
}
