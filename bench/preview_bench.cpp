// One preview redraw as a curve scroll event triggers it: the default
// oscillator 1 (the steepest zig-zag of the default instrument) on the
// preview's 255 x 255 bitmap, background fill included.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QSize>

#include "engine/ksynth.h"
#include "ui/ParameterStore.h"
#include "ui/preview.h"

namespace {

void BM_PaintPreviewDefaultOscillator1(benchmark::State& state) {
    ksynth::BuildTables();
    QImage bitmap(255, 255, QImage::Format_RGB32);
    for (auto _ : state) {
        PaintPreview(bitmap, DefaultOscillatorCurves[0], QSize(671, 575));
        benchmark::DoNotOptimize(bitmap.constBits());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PaintPreviewDefaultOscillator1)->Unit(benchmark::kMicrosecond);

}  // namespace
