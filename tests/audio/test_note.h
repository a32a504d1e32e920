// The note the device tests play: one a user could make, loud in every block,
// with no two blocks alike, and its render made without a device.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "disk_audio.h"
#include "engine/ksynth.h"

namespace test_note {

using disk_audio::Block;
using disk_audio::BlockBytes;
using namespace ksynth;

// A sounding A (440 Hz) at full volume whose oscillator 2 fades in over the
// first blocks, so every block is loud and no two are alike.
inline void SetUpNote() {
    BuildTables();
    ResetEngine();
    VoiceState& v = Voices[0];
    v.PhaseStep = NoteToPhaseStep(184, 4);
    v.Osc2Detune = -1;
    v.Osc1Waveform.Assign({0, 32, 64, 96, 128, 160, 192, 224, 255});
    v.Osc1Strength.Assign({255, 255, 255, 255, 255, 255, 255, 255, 255});
    v.Osc2Waveform.Assign({255, 0, 255, 0, 255, 0, 255, 0, 255});
    v.Osc2Strength.Assign({128, 128, 128, 128, 128, 128, 128, 128, 128});
    const std::array<EnvelopeParams, EnvelopeCount> envelopes = {{
        {0, 255, 0, 0, 0, 0, 0, 0, 0, 0},      // volume 255 from the first tick
        {0, 200, 0, 0, 0, 0, 0, 0, 0, 0},      // oscillator 1 steady
        {40, 255, 0, 0, 0, 0, 0, 0, 0, 0},     // oscillator 2 rising over 40 ticks
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},        // no pulse inversion
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},        // filter open
    }};
    for (uint8_t k = 0; k < EnvelopeCount; ++k) LoadEnvelope(0, k, envelopes[k]);
}

inline std::vector<Block> RenderOffline(std::size_t count) {
    SetUpNote();
    std::vector<Block> blocks(count);
    for (Block& block : blocks) RenderAudio(nullptr, block.data(), static_cast<int>(BlockBytes));
    return blocks;
}

// Index of the first byte where two blocks differ, for a readable failure.
inline std::size_t FirstDifference(const Block& a, const Block& b) {
    std::size_t i = 0;
    while (i < BlockBytes && a[i] == b[i]) ++i;
    return i;
}

}  // namespace test_note
