// Curve and detune edits that land between two frames of a block are heard from
// the next frame, not from the next tick. Uses the renderer's frame hook.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/frame_hook.h"
#include "tests/engine/engine_fixture.h"

using namespace ksynth;

namespace {

using Frame = std::array<uint8_t, 4>;

CurvePoints Flat(uint8_t value) {
    CurvePoints points;
    points.fill(value);
    return points;
}

// Phase stands at 0x2000 (PhaseStep 0): oscillator 1 at position 0, oscillator 2 at
// position 0 with detune 0 and at (0x2000 >> 8) & 255 = 32 with detune 8. Filter 255
// and Volume 1 make each sample Output - 128, and one oscillator at level 255 passes
// its curve values unscaled (v * 255 / 255 = v).
// Before the edit every case gives Output 128: waveform 64 (SineTable[64] =
// round(127 sin 0) + 128 = 128) at strength 255 (255 * 128 / 255), or waveform 128
// (SineTable[128] = round(127 sin(128 pi / 255)) + 128 = 255) at strength 128
// (128 * 255 / 255). Sample 0: frame 00 00 00 00.
// After it: waveform 128 at strength 255 gives Output 255, sample 127: frame 7F 00 7F 00.
constexpr Frame Before = {0x00, 0x00, 0x00, 0x00};
constexpr Frame After = {0x7F, 0x00, 0x7F, 0x00};

struct EditCase {
    std::string name;
    void (*setup)(VoiceState&);
    void (*edit)(VoiceState&);
    int frame;   // the edit lands just before this frame
};
void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }

void Common(VoiceState& v) {
    v.Phase = 0x2000;
    v.Filter = 255;
    v.Volume = 1;
}

const EditCase EditCases[] = {
    {"waveform_point_at_frame_1",
     [](VoiceState& v) {
         Common(v);
         v.Osc1Level = 255;
         v.Osc1Waveform.Assign(Flat(64));
         v.Osc1Strength.Assign(Flat(255));
     },
     [](VoiceState& v) { v.Osc1Waveform[0] = 128; }, 1},
    {"strength_point_at_frame_1000",
     [](VoiceState& v) {
         Common(v);
         v.Osc1Level = 255;
         v.Osc1Waveform.Assign(Flat(128));
         v.Osc1Strength.Assign(Flat(128));
     },
     [](VoiceState& v) { v.Osc1Strength[0] = 255; }, 1000},
    // Oscillator 2 alone; its waveform is 64 at point 0 and 128 from point 1 on.
    {"detune_at_last_frame",
     [](VoiceState& v) {
         Common(v);
         v.Osc2Level = 255;
         v.Osc2Waveform.Assign({64, 128, 128, 128, 128, 128, 128, 128, 128});
         v.Osc2Strength.Assign(Flat(255));
     },
     [](VoiceState& v) { v.Osc2Detune = 8; }, 2047},
};

// The hook takes no arguments, so the case it runs lives here.
const EditCase* Running = nullptr;
int FramesSeen = 0;

void EditAtItsFrame() {
    if (FramesSeen++ == Running->frame) Running->edit(Voices[0]);
}

class MidBlockEditTest : public EngineCaseTest<EditCase> {
protected:
    void TearDown() override { BeforeFrame = nullptr; }
};

TEST_P(MidBlockEditTest, IsHeardFromTheNextFrame) {
    const EditCase& c = GetParam();
    c.setup(Voices[0]);
    TickCountdown = 3000;   // no tick in this block, so the whole block is one run
    Running = &c;
    FramesSeen = 0;
    BeforeFrame = EditAtItsFrame;

    std::vector<uint8_t> block(4 * 2048);
    RenderAudio(nullptr, block.data(), static_cast<int>(block.size()));
    ASSERT_EQ(FramesSeen, 2048);
    int before = 0;
    int after = 0;
    for (int frame = 0; frame < 2048; ++frame) {
        const Frame bytes = {block[4 * frame], block[4 * frame + 1], block[4 * frame + 2], block[4 * frame + 3]};
        before += frame < c.frame && bytes == Before;
        after += frame >= c.frame && bytes == After;
    }
    EXPECT_EQ(before, c.frame) << "frames before the edit";
    EXPECT_EQ(after, 2048 - c.frame) << "frames from the edit on";
}

INSTANTIATE_TEST_SUITE_P(Edits, MidBlockEditTest, ::testing::ValuesIn(EditCases), CaseName{});

}  // namespace
