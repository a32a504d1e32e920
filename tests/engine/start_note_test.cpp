// StartNote on its own: the pitch and the five fields a note start clears on
// voice 0, the five envelopes loaded afresh into slot 0 (counts, increments,
// start levels, masks) with the tick countdown at 0, everything else left as it
// was, and the first tick's outputs; all worked out by hand from the load rules.
#include <array>
#include <cstdint>
#include <string>

#include "tests/engine/engine_fixture.h"

using namespace ksynth;

namespace {

// The voice fields the first tick writes, in envelope order.
struct TickOutputs {
    uint8_t volume;
    uint8_t osc1Level;
    uint8_t osc2Level;
    uint8_t pulseWidth;
    uint8_t filter;
};

struct StartNoteCase {
    std::string name;
    std::array<EnvelopeParams, EnvelopeCount> envelopes;
    std::array<EnvelopeState, EnvelopeCount> loaded;
    TickOutputs firstTick;
};
void PrintTo(const StartNoteCase& c, std::ostream* os) { *os << c.name; }

// EnvelopeState fields: lengths, targets, remaining ticks, increments, Invert, Repeat, Level.
const StartNoteCase StartNoteCases[] = {
    {"default_instrument",
     {{{0, 255, 80, 0, 0, 0, 0, 0, 0, 0},
       {0, 255, 128, 0, 0, 0, 0, 0, 0, 0},
       {0, 255, 0, 0, 0, 0, 0, 0, 0, 0},
       {96, 255, 0, 0, 0, 0, 0, 0, 0, 0},
       {0, 192, 80, 0, 0, 0, 0, 0, 0, 0}}},
     {{// Step 1 of length 0 stands at 255 x 256 = 65280 at once; its increment
       // stays undivided. Step 2: -65280 / 80 = -816.
       {{0, 80, 0, 0}, {255, 0, 0, 0}, {0, 80, 0, 0}, {65280, -816, 0, 0}, 0, 0, 65280},
       // -65280 / 128 = -510.
       {{0, 128, 0, 0}, {255, 0, 0, 0}, {0, 128, 0, 0}, {65280, -510, 0, 0}, 0, 0, 65280},
       // No step of nonzero length: every increment undivided, no step runs.
       {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 0, 0}, {65280, -65280, 0, 0}, 0, 0, 65280},
       // 65280 / 96 = 680 from level 0.
       {{96, 0, 0, 0}, {255, 0, 0, 0}, {96, 0, 0, 0}, {680, -65280, 0, 0}, 0, 0, 0},
       // 192 x 256 = 49152; -49152 / 80 = -614.4, truncated toward zero.
       {{0, 80, 0, 0}, {192, 0, 0, 0}, {0, 80, 0, 0}, {49152, -614, 0, 0}, 0, 0, 49152}}},
     // 64464 / 256 = 251; 64770 -> 253; held 65280 -> 255; 680 -> 2;
     // 48538 -> 189, and the filter writes 255 - 189 = 66 when not inverted.
     {251, 253, 255, 2, 66}},
    {"inverted_repeating_truncated",
     {{{7, 255, 10, 0, 3, 100, 255, 37, 255, 7},
       {0, 77, 0, 0, 0, 0, 0, 0, 0, 1},
       {1, 128, 2, 64, 0, 200, 4, 0, 0, 0},
       {255, 1, 0, 0, 0, 0, 0, 0, 255, 0},
       {2, 255, 0, 0, 0, 0, 0, 0, 255, 0}}},
     {{// 65280 / 7 = 9325; -65280 / 10 = -6528; 25600 / 3 = 8533;
       // -16128 / 255 = -63; Repeat 7 loads as 1.
       {{7, 10, 3, 255}, {255, 0, 100, 37}, {7, 10, 3, 255}, {9325, -6528, 8533, -63}, 255, 1, 0},
       // All lengths 0 and repeating: stands at 77 x 256 = 19712.
       {{0, 0, 0, 0}, {77, 0, 0, 0}, {0, 0, 0, 0}, {19712, -19712, 0, 0}, 0, 1, 19712},
       // 32768 / 1; -16384 / 2 = -8192; step 3 of length 0 keeps 34816; -51200 / 4 = -12800.
       {{1, 2, 0, 4}, {128, 64, 200, 0}, {1, 2, 0, 4}, {32768, -8192, 34816, -12800}, 0, 0, 0},
       // 256 / 255 = 1.
       {{255, 0, 0, 0}, {1, 0, 0, 0}, {255, 0, 0, 0}, {1, -256, 0, 0}, 255, 0, 0},
       // 65280 / 2 = 32640.
       {{2, 0, 0, 0}, {255, 0, 0, 0}, {2, 0, 0, 0}, {32640, -65280, 0, 0}, 255, 0, 0}}},
     // 9325 -> 36, inverted 219; the repeating one restarts at 77; step 1 ends
     // on 128 at once; 1 -> 0, inverted 255; 32640 -> 127, an inverted filter
     // writes it as it is.
     {219, 77, 128, 255, 127}},
};

constexpr uint32_t A440PhaseStep = 167391;   // floor(440 x 2^24 / 44100)

// Every field of a voice set to a value no note start writes.
void FillVoice(VoiceState& v, uint8_t seed) {
    v.PhaseStep = 0x01020304u * seed;
    v.XorSource = seed;
    v.PulseWidth = static_cast<uint8_t>(seed + 1);
    v.Volume = static_cast<uint8_t>(seed + 2);
    v.Osc1Level = static_cast<uint8_t>(seed + 3);
    v.Osc2Level = static_cast<uint8_t>(seed + 4);
    v.Filter = static_cast<uint8_t>(seed + 5);
    v.NoiseMode = static_cast<uint8_t>(seed + 6);
    v.Osc2Detune = static_cast<int8_t>(-seed);
    v.Osc1Waveform.Assign({1, 2, 3, 4, 5, 6, 7, 8, seed});
    v.Osc1Strength.Assign({9, 8, 7, 6, 5, 4, 3, 2, seed});
    v.Osc2Waveform.Assign({seed, 10, 20, 30, 40, 50, 60, 70, 80});
    v.Osc2Strength.Assign({seed, 90, 80, 70, 60, 50, 40, 30, 20});
    v.Output = static_cast<uint8_t>(seed + 7);
    v.Osc1Index = static_cast<uint8_t>(seed + 8);
    v.Osc2Index = static_cast<uint8_t>(seed + 9);
    v.FilterState = static_cast<uint8_t>(seed + 10);
    v.LeftShift = static_cast<uint8_t>(seed + 11);
    v.RightShift = static_cast<uint8_t>(seed + 12);
    v.Phase = 0x0A0B0C0Du * seed;
}

void ExpectSameCurve(const ShapeCurve& got, const ShapeCurve& expected, const char* name) {
    EXPECT_EQ(got.Snapshot(), expected.Snapshot()) << name;
}

void ExpectEnvelope(const EnvelopeState& got, const EnvelopeState& expected, int envelope) {
    EXPECT_EQ(got.StepLength, expected.StepLength) << "envelope " << envelope;
    EXPECT_EQ(got.StepTarget, expected.StepTarget) << "envelope " << envelope;
    EXPECT_EQ(got.StepRemaining, expected.StepRemaining) << "envelope " << envelope;
    EXPECT_EQ(got.StepIncrement, expected.StepIncrement) << "envelope " << envelope;
    EXPECT_EQ(got.Invert, expected.Invert) << "envelope " << envelope;
    EXPECT_EQ(got.Repeat, expected.Repeat) << "envelope " << envelope;
    EXPECT_EQ(got.Level, expected.Level) << "envelope " << envelope;
}

using StartNoteTest = EngineCaseTest<StartNoteCase>;

TEST_P(StartNoteTest, SetsPitchClearsFiveFieldsLoadsTheEnvelopesAndLeavesTheRest) {
    const StartNoteCase& c = GetParam();
    // A note already sounding, mid-envelope, and a second voice and slot that
    // must not change.
    FillVoice(Voices[0], 40);
    FillVoice(Voices[1], 90);
    const EnvelopeParams earlier{3, 200, 5, 50, 7, 250, 9, 0, 255, 1};
    for (uint8_t e = 0; e < EnvelopeCount; ++e) LoadEnvelope(0, e, earlier);
    TickEnvelopes();
    TickEnvelopes();
    FillVoice(Voices[0], 40);   // the ticks wrote the five envelope fields
    InstrumentSlots[1].Envelopes = InstrumentSlots[0].Envelopes;
    const InstrumentSlot slotOneBefore = InstrumentSlots[1];
    TickCountdown = 500;
    const VoiceState before = Voices[0];
    const VoiceState otherBefore = Voices[1];

    StartNote(A440PhaseStep, c.envelopes);

    const VoiceState& v = Voices[0];
    EXPECT_EQ(v.PhaseStep, A440PhaseStep);
    EXPECT_EQ(v.XorSource, 0);
    EXPECT_EQ(v.PulseWidth, 0);
    EXPECT_EQ(v.NoiseMode, 0);
    EXPECT_EQ(v.LeftShift, 0);
    EXPECT_EQ(v.RightShift, 0);
    // The oscillators run on; levels and filter wait for the next tick.
    EXPECT_EQ(v.Phase, before.Phase);
    EXPECT_EQ(v.FilterState, before.FilterState);
    EXPECT_EQ(v.Output, before.Output);
    EXPECT_EQ(v.Osc1Index, before.Osc1Index);
    EXPECT_EQ(v.Osc2Index, before.Osc2Index);
    EXPECT_EQ(v.Osc2Detune, before.Osc2Detune);
    EXPECT_EQ(v.Volume, before.Volume);
    EXPECT_EQ(v.Osc1Level, before.Osc1Level);
    EXPECT_EQ(v.Osc2Level, before.Osc2Level);
    EXPECT_EQ(v.Filter, before.Filter);
    ExpectSameCurve(v.Osc1Waveform, before.Osc1Waveform, "Osc1Waveform");
    ExpectSameCurve(v.Osc1Strength, before.Osc1Strength, "Osc1Strength");
    ExpectSameCurve(v.Osc2Waveform, before.Osc2Waveform, "Osc2Waveform");
    ExpectSameCurve(v.Osc2Strength, before.Osc2Strength, "Osc2Strength");

    for (int e = 0; e < EnvelopeCount; ++e) ExpectEnvelope(InstrumentSlots[0].Envelopes[e], c.loaded[e], e);
    EXPECT_EQ(TickCountdown, 0) << "the next frame must begin with a tick";

    // Voice 1 and slot 1 are no part of a note start.
    EXPECT_EQ(Voices[1].PhaseStep, otherBefore.PhaseStep);
    EXPECT_EQ(Voices[1].XorSource, otherBefore.XorSource);
    EXPECT_EQ(Voices[1].PulseWidth, otherBefore.PulseWidth);
    EXPECT_EQ(Voices[1].NoiseMode, otherBefore.NoiseMode);
    EXPECT_EQ(Voices[1].LeftShift, otherBefore.LeftShift);
    EXPECT_EQ(Voices[1].RightShift, otherBefore.RightShift);
    for (int e = 0; e < EnvelopeCount; ++e) {
        ExpectEnvelope(InstrumentSlots[1].Envelopes[e], slotOneBefore.Envelopes[e], e);
    }

    TickEnvelopes();
    EXPECT_EQ(v.Volume, c.firstTick.volume);
    EXPECT_EQ(v.Osc1Level, c.firstTick.osc1Level);
    EXPECT_EQ(v.Osc2Level, c.firstTick.osc2Level);
    EXPECT_EQ(v.PulseWidth, c.firstTick.pulseWidth);
    EXPECT_EQ(v.Filter, c.firstTick.filter);
}

INSTANTIATE_TEST_SUITE_P(Envelopes, StartNoteTest, ::testing::ValuesIn(StartNoteCases), CaseName{});

}  // namespace
