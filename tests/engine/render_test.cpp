// RenderAudio: single frames worked out by hand, tick placement across calls,
// and how much of the buffer a call writes.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/engine/engine_fixture.h"

using namespace ksynth;

namespace {

using Frame = std::array<uint8_t, 4>;

constexpr CurvePoints Ramp = {0, 32, 64, 96, 128, 160, 192, 224, 255};

CurvePoints Flat(uint8_t value) {
    CurvePoints points;
    points.fill(value);
    return points;
}

// Puts the phase where it stands after the frame's phase step.
void SetPhase(VoiceState& v, uint32_t phase) {
    v.Phase = phase;
    v.PhaseStep = 0;
}

// A nonzero countdown keeps the envelope tick from overwriting the levels a case sets.
Frame RenderOneFrame() {
    TickCountdown = 5;
    Frame frame{};
    RenderAudio(nullptr, frame.data(), static_cast<int>(frame.size()));
    return frame;
}

int16_t SampleAt(const std::vector<uint8_t>& block, int frame, int channel) {
    const int at = 4 * frame + 2 * channel;
    return static_cast<int16_t>(block[at] | block[at + 1] << 8);
}

// Oscillator 1 alone at full level with the given curves, passed unfiltered
// (Filter 255) at Volume 1, so each frame's sample is Output - 128.
void SoloOscillator1(VoiceState& v, const CurvePoints& waveform, const CurvePoints& strength) {
    v.Osc1Waveform.Assign(waveform);
    v.Osc1Strength.Assign(strength);
    v.Osc1Level = 255;
    v.Osc2Level = 0;
    v.Filter = 255;
    v.Volume = 1;
}

struct FrameCase {
    std::string name;
    void (*setup)(VoiceState&);
    std::optional<Frame> bytes = {};
    std::optional<int> osc1Index = {};
    std::optional<int> osc2Index = {};
    std::optional<int> output = {};
    std::optional<int> filterState = {};
};
void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

constexpr uint32_t DetunePhase = 0x89ABCDEF;   // distinct bytes, so every shift shows

void Detuned(VoiceState& v, int8_t detune) {
    SetPhase(v, DetunePhase);
    v.Osc2Detune = detune;
}

const FrameCase FrameCases[] = {
    // Phase 305419896 = 0x12345678: Osc1Index 0x34 = 52, and (Phase >> 17) & 255 = 26.
    // Curves 52 and 47, w1 = 52*200/255 = 40, w2 = 47*100/255 = 18, SineTable[58] = 109;
    // a1 = 200, a2 = 50, Output = 250*109/255 = 106, pulse 52 < 60 -> 149;
    // e = 49, q = 49*128/255 = 24, FilterState 124; s = -4*200 = -800, right -400.
    {.name = "worked_frame",
     .setup =
         [](VoiceState& v) {
             v.Phase = 305419896u - 1000;
             v.PhaseStep = 1000;
             v.Osc2Detune = -1;
             v.Osc1Waveform.Assign(Ramp);
             v.Osc2Waveform.Assign({255, 0, 255, 0, 255, 0, 255, 0, 255});
             v.Osc1Strength.Assign(Flat(255));
             v.Osc2Strength.Assign(Flat(128));
             v.Osc1Level = 200;
             v.Osc2Level = 100;
             v.PulseWidth = 60;
             v.Filter = 128;
             v.FilterState = 100;
             v.Volume = 200;
             v.RightShift = 1;
         },
     .bytes = Frame{0xE0, 0xFC, 0x70, 0xFE},
     .osc1Index = 52,
     .osc2Index = 26,
     .output = 149,
     .filterState = 124},
    {.name = "volume_zero_is_silent",
     .setup =
         [](VoiceState& v) {
             SoloOscillator1(v, Ramp, Flat(255));
             SetPhase(v, 0x00400000);
             v.FilterState = 7;
             v.Volume = 0;
         },
     .bytes = Frame{0, 0, 0, 0}},
    // FilterState 0 held by Filter 0: s = -128 * 255 = -32640 = 0x8080.
    {.name = "frozen_filter_at_full_volume",
     .setup =
         [](VoiceState& v) {
             SoloOscillator1(v, Ramp, Flat(255));
             SetPhase(v, 0x00400000);
             v.Filter = 0;
             v.Volume = 255;
         },
     .bytes = Frame{0x80, 0x80, 0x80, 0x80},
     .filterState = 0},
    // WaveIndex 64 (SineTable 128), Amplitude 200: Output 25600/255 = 100.
    // e = -100, q = -12800/255 = -50.2 -> -50 toward zero: FilterState 150, s = 22*2 = 44.
    {.name = "filter_rounds_toward_zero",
     .setup =
         [](VoiceState& v) {
             SoloOscillator1(v, Flat(64), Flat(200));
             v.FilterState = 200;
             v.Filter = 128;
             v.Volume = 2;
         },
     .bytes = Frame{0x2C, 0x00, 0x2C, 0x00},
     .output = 100,
     .filterState = 150},
    // Output 0 against FilterState 254: e * 1 / 255 = 0, so the state stays; s = 126.
    {.name = "filter_one_ignores_differences_below_255",
     .setup =
         [](VoiceState& v) {
             SoloOscillator1(v, Flat(0), Flat(0));
             v.FilterState = 254;
             v.Filter = 1;
         },
     .bytes = Frame{0x7E, 0x00, 0x7E, 0x00},
     .output = 0,
     .filterState = 254},
    // Both strengths 255 at level 255: Amplitude 510; 510*128/255 = 256 wraps to 0.
    {.name = "strength_wrap_sine_128",
     .setup =
         [](VoiceState& v) {
             SoloOscillator1(v, Flat(64), Flat(255));
             v.Osc2Strength.Assign(Flat(255));
             v.Osc2Level = 255;
         },
     .bytes = Frame{0x80, 0xFF, 0x80, 0xFF},
     .output = 0,
     .filterState = 0},
    // 510*255/255 = 510 wraps to 254; s = 126.
    {.name = "strength_wrap_sine_255",
     .setup =
         [](VoiceState& v) {
             SoloOscillator1(v, Flat(128), Flat(255));
             v.Osc2Strength.Assign(Flat(255));
             v.Osc2Level = 255;
         },
     .bytes = Frame{0x7E, 0x00, 0x7E, 0x00},
     .output = 254,
     .filterState = 254},
    // w1 + w2 = 150 + 150 = 300 -> WaveIndex 44; SineTable[44] = round(127 sin(-40pi/255)) + 128 = 68.
    {.name = "waveform_wrap",
     .setup =
         [](VoiceState& v) {
             SoloOscillator1(v, Flat(150), Flat(255));
             v.Osc2Waveform.Assign(Flat(150));
             v.Osc2Level = 255;
         },
     .bytes = Frame{0xC4, 0xFF, 0xC4, 0xFF},   // s = 68 - 128 = -60
     .output = 68},
    // Without the XOR the frame would give 254 (as strength_wrap_sine_255).
    {.name = "xor_with_own_slot_gives_zero",
     .setup =
         [](VoiceState& v) {
             SoloOscillator1(v, Flat(128), Flat(255));
             v.Osc2Strength.Assign(Flat(255));
             v.Osc2Level = 255;
             v.XorSource = 1;
         },
     .bytes = Frame{0x80, 0xFF, 0x80, 0xFF},
     .output = 0,
     .filterState = 0},
    // Phase 0x89ABCDEF: Osc1Index 0xAB; Osc2Index = (Phase >> ((16 - d) & 31)) & 255.
    {.name = "detune_0_follows_osc1", .setup = [](VoiceState& v) { Detuned(v, 0); }, .osc1Index = 0xAB, .osc2Index = 0xAB},
    {.name = "detune_15_shifts_by_1", .setup = [](VoiceState& v) { Detuned(v, 15); }, .osc2Index = 0xF7},
    {.name = "detune_8_shifts_by_8", .setup = [](VoiceState& v) { Detuned(v, 8); }, .osc2Index = 0xCD},
    {.name = "detune_1_shifts_by_15", .setup = [](VoiceState& v) { Detuned(v, 1); }, .osc2Index = 0x57},
    {.name = "detune_minus_1_shifts_by_17", .setup = [](VoiceState& v) { Detuned(v, -1); }, .osc2Index = 0xD5},
    {.name = "detune_minus_9_keeps_7_bits", .setup = [](VoiceState& v) { Detuned(v, -9); }, .osc2Index = 0x44},
    {.name = "detune_minus_15_keeps_top_bit", .setup = [](VoiceState& v) { Detuned(v, -15); }, .osc2Index = 1},
    {.name = "detune_minus_16_takes_low_byte", .setup = [](VoiceState& v) { Detuned(v, -16); }, .osc2Index = 0xEF},
    // Noise: Osc1Index = NoiseTable[Phase >> 20], Osc2Index = NoiseTable[(Phase >> ((20 - d) & 31)) & 4095].
    // Phase (17 << 20) | 18 with d = -12 (shift 32 -> 0): NoiseTable[17] = 116, NoiseTable[18] = 232.
    // The ramp maps 116 to 116, SineTable[116] = 250, Amplitude 255: Output 250, s = 122.
    {.name = "noise_shift_wraps_to_zero",
     .setup =
         [](VoiceState& v) {
             SoloOscillator1(v, Ramp, Flat(255));
             SetPhase(v, (17u << 20) | 18u);
             v.NoiseMode = 1;
             v.Osc2Detune = -12;
         },
     .bytes = Frame{0x7A, 0x00, 0x7A, 0x00},
     .osc1Index = 116,
     .osc2Index = 232,
     .output = 250},
    {.name = "noise_detune_0_follows_osc1",
     .setup =
         [](VoiceState& v) {
             SetPhase(v, 15u << 20);
             v.NoiseMode = 255;
         },
     .osc1Index = 29,
     .osc2Index = 29},
    // Phase 0x01700000: NoiseTable[0x17] = 0; d = -4 shifts by 24: NoiseTable[1] = 2.
    {.name = "noise_detune_minus_4",
     .setup =
         [](VoiceState& v) {
             SetPhase(v, 0x01700000);
             v.NoiseMode = 1;
             v.Osc2Detune = -4;
         },
     .osc1Index = 0,
     .osc2Index = 2},
    // FilterState 127 held, Volume 129: s = -129; arithmetic shifts round toward minus infinity.
    {.name = "shift_left_1_right_16",
     .setup =
         [](VoiceState& v) {
             v.FilterState = 127;
             v.Volume = 129;
             v.LeftShift = 1;    // -65
             v.RightShift = 16;  // -1
         },
     .bytes = Frame{0xBF, 0xFF, 0xFF, 0xFF}},
    {.name = "shift_right_3_of_negative",
     .setup =
         [](VoiceState& v) {
             v.FilterState = 127;
             v.Volume = 129;
             v.RightShift = 3;   // left -129, right -17
         },
     .bytes = Frame{0x7F, 0xFF, 0xEF, 0xFF}},
    // FilterState 255, Volume 255: s = 32385 = 0x7E81; >> 4 = 2024 = 0x07E8.
    {.name = "shift_right_4_of_positive",
     .setup =
         [](VoiceState& v) {
             v.FilterState = 255;
             v.Volume = 255;
             v.RightShift = 4;
         },
     .bytes = Frame{0x81, 0x7E, 0xE8, 0x07}},
};

using RenderFrameTest = EngineCaseTest<FrameCase>;

TEST_P(RenderFrameTest, GivesTheHandWorkedFrame) {
    const FrameCase& c = GetParam();
    VoiceState& v = Voices[0];
    c.setup(v);
    const Frame frame = RenderOneFrame();
    if (c.bytes) { EXPECT_EQ(frame, *c.bytes); }
    if (c.osc1Index) { EXPECT_EQ(v.Osc1Index, *c.osc1Index); }
    if (c.osc2Index) { EXPECT_EQ(v.Osc2Index, *c.osc2Index); }
    if (c.output) { EXPECT_EQ(v.Output, *c.output); }
    if (c.filterState) { EXPECT_EQ(v.FilterState, *c.filterState); }
    EXPECT_EQ(TickCountdown, 4) << "one frame lowers the countdown by one";
}

INSTANTIATE_TEST_SUITE_P(Frames, RenderFrameTest, ::testing::ValuesIn(FrameCases), CaseName{});

// Curves at 0 make Output 0 before the pulse stage; the phase steps through every
// position 1, 2, ..., 255, 0, so inverted frames give 127 and the others -128.
class PulseWidthTest : public EngineCaseTest<int> {};

TEST_P(PulseWidthTest, InvertsExactlyWherePositionIsBelowWidth) {
    const int width = GetParam();
    VoiceState& v = Voices[0];
    SoloOscillator1(v, Flat(0), Flat(0));
    v.PhaseStep = 1u << 16;
    v.PulseWidth = static_cast<uint8_t>(width);
    TickCountdown = 1000;

    std::vector<uint8_t> block(4 * 256);
    RenderAudio(nullptr, block.data(), static_cast<int>(block.size()));
    for (int frame = 0; frame < 256; ++frame) {
        const int position = (frame + 1) & 255;
        const int expected = position < width ? 127 : -128;
        ASSERT_EQ(SampleAt(block, frame, 0), expected) << "position " << position;
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, PulseWidthTest, ::testing::Values(0, 60, 255));

// SDL asks for 2048 frames a call with its dummy and disk drivers, 1024 (4096
// bytes) with pulse; the renderer must fill what it is given and keep time across.
struct CallbackCase {
    std::string name;
    int bytes;   // buffer length of each call
};
void PrintTo(const CallbackCase& c, std::ostream* os) { *os << c.name; }

const CallbackCase CallbackCases[] = {
    {"whole_blocks", 8192},
    {"pulse_1024_frames", 4096},
    {"uneven_1000_frames", 4000},
};

constexpr int RenderedFrames = 3 * 2048;

// Renders RenderedFrames frames in calls of c.bytes (the last one shorter if need
// be) into a buffer longer than a whole block, whose bytes past len no call may touch.
std::vector<uint8_t> RenderInCalls(const CallbackCase& c) {
    constexpr uint8_t Untouched = 0xA5;
    std::vector<uint8_t> sound;
    std::vector<uint8_t> buffer(4 * 2048 + 64);
    while (static_cast<int>(sound.size()) < 4 * RenderedFrames) {
        const int len = std::min(c.bytes, 4 * RenderedFrames - static_cast<int>(sound.size()));
        std::fill(buffer.begin(), buffer.end(), Untouched);
        RenderAudio(nullptr, buffer.data(), len);
        EXPECT_EQ(std::count(buffer.begin() + len, buffer.end(), Untouched), static_cast<long>(buffer.size()) - len)
            << "written past " << len << " bytes at frame " << sound.size() / 4;
        sound.insert(sound.end(), buffer.begin(), buffer.begin() + len);
    }
    return sound;
}

using RenderCallbackTest = EngineCaseTest<CallbackCase>;

// The volume envelope climbs by exactly 1 per tick (255 * 256 / 255 = 256) and
// the filter envelope holds Filter at 0, so FilterState stays 0 and every
// sample is -128 times the number of ticks so far.
TEST_P(RenderCallbackTest, TicksFallEvery882FramesAcrossCalls) {
    TickCountdown = 123;
    LoadEnvelope(0, 0, {255, 255, 0, 0, 0, 0, 0, 0, 0, 0});
    LoadEnvelope(0, 4, {0, 255, 0, 0, 0, 0, 0, 0, 0, 0});   // 255 XOR (NOT 0) = 0

    const std::vector<uint8_t> sound = RenderInCalls(GetParam());
    std::vector<int> ticks;
    int volume = 0;
    for (int frame = 0; frame < RenderedFrames; ++frame) {
        const int sample = SampleAt(sound, frame, 0);
        ASSERT_EQ(sample % 128, 0) << "frame " << frame;
        const int now = -sample / 128;
        if (now != volume) {
            EXPECT_EQ(now, volume + 1) << "frame " << frame;
            ticks.push_back(frame);
            volume = now;
        }
    }
    // Before frames 0, 882, ..., 5292 (in blocks: 0, 882, 1764; 598, 1480; 314, 1196);
    // the last 6144 - 5292 = 852 frames leave 882 - 852 = 30 on the countdown.
    EXPECT_EQ(ticks, (std::vector<int>{0, 882, 1764, 2646, 3528, 4410, 5292}));
    EXPECT_EQ(TickCountdown, 30);
    EXPECT_EQ(InstrumentSlots[0].Envelopes[0].StepRemaining[0], 255 - 7);
}

// A sounding note with every stage moving: calls of any size render the same
// sound as whole blocks, since phase, filter and countdown carry over.
TEST_P(RenderCallbackTest, RendersTheSameSoundAsWholeBlocks) {
    const auto playNote = [] {
        StartFreshEngine();
        VoiceState& v = Voices[0];
        v.Osc1Waveform.Assign(Ramp);
        v.Osc1Strength.Assign({255, 200, 150, 100, 50, 100, 150, 200, 255});
        v.Osc2Waveform.Assign({255, 0, 255, 0, 255, 0, 255, 0, 255});
        v.Osc2Strength.Assign(Flat(128));
        v.Osc2Detune = -1;
        StartNote(NoteToPhaseStep(184, 4), {{{0, 255, 3, 100, 0, 0, 0, 0, 0, 1},
                                             {2, 255, 2, 50, 0, 0, 0, 0, 0, 1},
                                             {5, 200, 0, 0, 0, 0, 0, 0, 0, 0},
                                             {1, 60, 1, 0, 0, 0, 0, 0, 0, 1},
                                             {4, 200, 0, 0, 0, 0, 0, 0, 0, 1}}});
    };
    playNote();
    const std::vector<uint8_t> whole = RenderInCalls(CallbackCases[0]);
    ASSERT_LT(std::count(whole.begin(), whole.end(), 0), static_cast<long>(whole.size())) << "a silent fixture proves nothing";
    playNote();
    const std::vector<uint8_t> sound = RenderInCalls(GetParam());
    ASSERT_EQ(sound.size(), whole.size());
    EXPECT_EQ(std::mismatch(sound.begin(), sound.end(), whole.begin()).first - sound.begin(),
              static_cast<long>(sound.size()))
        << "first byte that differs";
}

INSTANTIATE_TEST_SUITE_P(Callbacks, RenderCallbackTest, ::testing::ValuesIn(CallbackCases), CaseName{});

struct LengthCase {
    std::string name;
    int len;
    int bytesWritten;
};
void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.name; }

// A block is 2048 frames; a shorter buffer gets whole frames as far as it goes.
const LengthCase LengthCases[] = {
    {"zero", 0, 0},
    {"one_frame", 4, 4},
    {"partial_frame_dropped", 42, 40},
    {"one_frame_short", 8188, 8188},
    {"exact_block", 8192, 8192},
    {"one_frame_over", 8196, 8192},
    {"far_over", 100000, 8192},
    {"int_max", INT_MAX, 8192},
};

using RenderLengthTest = EngineCaseTest<LengthCase>;

// The zeroed engine writes Volume 0 at its first tick, so every written byte is 0.
TEST_P(RenderLengthTest, WritesWholeFramesUpToOneBlock) {
    const LengthCase& c = GetParam();
    constexpr uint8_t Untouched = 0xA5;
    std::vector<uint8_t> buffer(8192 + 64, Untouched);
    RenderAudio(nullptr, buffer.data(), c.len);

    int written = 0;
    while (written < static_cast<int>(buffer.size()) && buffer[written] == 0) ++written;
    EXPECT_EQ(written, c.bytesWritten);
    EXPECT_EQ(std::count(buffer.begin() + c.bytesWritten, buffer.end(), Untouched),
              static_cast<long>(buffer.size()) - c.bytesWritten);
    EXPECT_EQ(Voices[0].Phase, 0u) << "PhaseStep 0 leaves the phase standing";
}

INSTANTIATE_TEST_SUITE_P(Lengths, RenderLengthTest, ::testing::ValuesIn(LengthCases), CaseName{});

}  // namespace
