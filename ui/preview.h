// The wave-shape preview: an oscillator's two curves over the wave they make.
#pragma once

#include <QImage>
#include <QSize>

#include "ui/ParameterStore.h"

// Repaints `bitmap` (Format_RGB32, the preview's 255 x 255 image) from scratch:
// black background, white columns of the wave's height, then the "Distortion
// Waveform" curve in red and the "Distortion Strength" curve in blue.
// `clientArea` is the main window's client size; the background fill covers it
// from the bitmap's origin and is clipped to the bitmap. Reads ksynth::SineTable,
// so ksynth::BuildTables() must have run.
void PaintPreview(QImage& bitmap, const OscillatorShape& shape, QSize clientArea);
