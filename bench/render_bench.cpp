// The renderer against the one dependency chain no implementation can avoid:
// the one-pole filter recursion, frame after frame, over the same number of frames.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>

#include "engine/ksynth.h"

namespace {

using namespace ksynth;

constexpr int BlockBytes = 8192;

// A voice that runs every stage: both oscillators and strength curves nonzero,
// detuned, pulse inversion and the filter active, envelopes ticking.
void PrepareBusyVoice() {
    BuildTables();
    ResetEngine();
    VoiceState& v = Voices[0];
    v.PhaseStep = FrequencyTable[440];
    v.Osc2Detune = -1;
    v.Osc1Waveform.Assign({0, 32, 64, 96, 128, 160, 192, 224, 255});
    v.Osc1Strength.Assign({255, 200, 150, 100, 50, 100, 150, 200, 255});
    v.Osc2Waveform.Assign({255, 0, 255, 0, 255, 0, 255, 0, 255});
    v.Osc2Strength.Assign({128, 128, 128, 128, 128, 128, 128, 128, 128});
    // Step 1 of length 0 holds each envelope at its value; repeat keeps them all running.
    const EnvelopeParams volume{0, 200, 255, 180, 0, 0, 0, 0, 0, 255};
    const EnvelopeParams osc1{0, 200, 255, 150, 0, 0, 0, 0, 0, 255};
    const EnvelopeParams osc2{0, 100, 255, 120, 0, 0, 0, 0, 0, 255};
    const EnvelopeParams pulse{0, 60, 255, 200, 0, 0, 0, 0, 0, 255};
    const EnvelopeParams filter{0, 127, 255, 100, 0, 0, 0, 0, 0, 255};   // Filter 128..155
    LoadEnvelope(0, 0, volume);
    LoadEnvelope(0, 1, osc1);
    LoadEnvelope(0, 2, osc2);
    LoadEnvelope(0, 3, pulse);
    LoadEnvelope(0, 4, filter);
}

void SetPerFrame(benchmark::State& state, int frames) {
    state.counters["per_frame"] = benchmark::Counter(
        static_cast<double>(frames), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_RenderAudio(benchmark::State& state) {
    PrepareBusyVoice();
    alignas(64) static std::array<uint8_t, BlockBytes> block;
    for (auto _ : state) {
        RenderAudio(nullptr, block.data(), BlockBytes);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    SetPerFrame(state, FramesPerCallback);
}
BENCHMARK(BM_RenderAudio);

void BM_FilterRecursionBaseline(benchmark::State& state) {
    BuildTables();
    const int frames = FramesPerCallback;
    static std::array<uint8_t, 2048> outputs;
    static std::array<uint8_t, 2048> filtered;
    std::mt19937 random(1);
    for (uint8_t& b : outputs) b = static_cast<uint8_t>(random());
    volatile int coefficient = 128;   // unknown to the compiler, as in the renderer
    const int filter = coefficient;
    int state_ = 100;
    for (auto _ : state) {
        for (int i = 0; i < frames; ++i) {
            state_ += (outputs[i] - state_) * filter / 255;
            filtered[i] = static_cast<uint8_t>(state_);
        }
        benchmark::DoNotOptimize(filtered.data());
        benchmark::ClobberMemory();
    }
    SetPerFrame(state, frames);
}
BENCHMARK(BM_FilterRecursionBaseline);

}  // namespace
