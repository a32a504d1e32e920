// LoadEnvelope and TickEnvelopes: loads, per-tick outputs, holds, repeats,
// the invert masks and steps of length 0.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/engine/engine_fixture.h"

using namespace ksynth;

namespace {

using EnvelopeTest = EngineTest;

const EnvelopeState& SlotZero(int envelope) { return InstrumentSlots[0].Envelopes[envelope]; }

TEST_F(EnvelopeTest, LoadSetsCountsIncrementsStartLevelAndTheCountdown) {
    TickCountdown = 77;
    // Step 1 of length 0 starts at its value; step 2: (0 - 255) * 256 / 80 = -816.
    LoadEnvelope(0, 0, {0, 255, 80, 0, 0, 0, 0, 0, 0x5A, 7});
    EXPECT_EQ(SlotZero(0).Level, 65280);
    EXPECT_EQ(SlotZero(0).StepRemaining, (std::array<int32_t, 4>{0, 80, 0, 0}));
    EXPECT_EQ(SlotZero(0).StepIncrement[1], -816);
    EXPECT_EQ(SlotZero(0).Invert, 0x5A);
    EXPECT_EQ(SlotZero(0).Repeat, 1) << "any nonzero Repeat loads as 1";
    EXPECT_EQ(TickCountdown, 0);

    // 255 * 256 / 7 = 9325.7, truncated.
    LoadEnvelope(0, 1, {7, 255, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(SlotZero(1).Level, 0);
    EXPECT_EQ(SlotZero(1).StepRemaining, (std::array<int32_t, 4>{7, 0, 0, 0}));
    EXPECT_EQ(SlotZero(1).StepIncrement[0], 9325);
    EXPECT_EQ(SlotZero(1).Repeat, 0);
}

struct SequenceCase {
    std::string name;
    EnvelopeParams params;
    std::vector<std::pair<int, int>> volumeAtTick;   // (tick number from 1, Volume written)
};
void PrintTo(const SequenceCase& c, std::ostream* os) { *os << c.name; }

const SequenceCase SequenceCases[] = {
    // 65280 - 816 = 64464 -> 251; tick 79: 65280 - 79 * 816 = 816 -> 3; tick 80 ends on 0, then holds.
    {"first_step_of_length_0", {0, 255, 80, 0, 0, 0, 0, 0, 0, 0}, {{1, 251}, {79, 3}, {80, 0}, {81, 0}, {120, 0}}},
    // 9325 * 6 = 55950 -> 218; tick 7 ends exactly on 65280.
    {"truncated_increments", {7, 255, 0, 0, 0, 0, 0, 0, 0, 0}, {{1, 36}, {6, 218}, {7, 255}, {8, 255}, {50, 255}}},
    // +-6528 per tick: up in 10 (25, ..., 255), down in 10 (58752 -> 229, ..., 0), tick 21 restarts at 0.
    {"repeat_cycle_of_21_ticks",
     {10, 255, 10, 0, 0, 0, 0, 0, 0, 255},
     {{1, 25}, {10, 255}, {11, 229}, {20, 0}, {21, 0}, {22, 25}, {31, 255}, {41, 0}, {42, 0}, {43, 25}}},
    // Starts at 100, +12800 per tick to 200, restart tick back at step 1's value: 3 ticks a cycle.
    {"repeat_with_first_step_of_length_0",
     {0, 100, 2, 200, 0, 0, 0, 0, 0, 1},
     {{1, 150}, {2, 200}, {3, 100}, {4, 150}, {5, 200}, {6, 100}}},
};

using EnvelopeSequenceTest = EngineCaseTest<SequenceCase>;

TEST_P(EnvelopeSequenceTest, WritesTheHandWorkedVolumes) {
    const SequenceCase& c = GetParam();
    LoadEnvelope(0, 0, c.params);
    int tick = 0;
    for (const auto& [at, volume] : c.volumeAtTick) {
        while (tick < at) {
            TickEnvelopes();
            ++tick;
        }
        EXPECT_EQ(Voices[0].Volume, volume) << "tick " << tick;
    }
}

INSTANTIATE_TEST_SUITE_P(Sequences, EnvelopeSequenceTest, ::testing::ValuesIn(SequenceCases), CaseName{});

// With all four lengths 0 a restart rebuilds exactly the loaded state, so holding
// and repeating sound the same. Moving Level away before each tick tells them apart:
// a held envelope keeps the moved level, a repeating one restarts at step 1's value.
struct AllLengthsZeroCase {
    std::string name;
    uint8_t repeat;
    int volumeAfterMove;
};
void PrintTo(const AllLengthsZeroCase& c, std::ostream* os) { *os << c.name; }

constexpr int MovedLevel = 10;

const AllLengthsZeroCase AllLengthsZeroCases[] = {
    {"holds", 0, MovedLevel},
    {"repeating_restarts_each_tick", 255, 77},
};

using AllLengthsZeroTest = EngineCaseTest<AllLengthsZeroCase>;

TEST_P(AllLengthsZeroTest, StandsAtStepOneUntilMoved) {
    const AllLengthsZeroCase& c = GetParam();
    LoadEnvelope(0, 0, {0, 77, 0, 9, 0, 9, 0, 9, 0, c.repeat});
    for (int tick = 1; tick <= 3; ++tick) {
        TickEnvelopes();
        EXPECT_EQ(Voices[0].Volume, 77) << "tick " << tick;
    }
    for (int tick = 4; tick <= 6; ++tick) {
        InstrumentSlots[0].Envelopes[0].Level = MovedLevel * 256;
        TickEnvelopes();
        EXPECT_EQ(Voices[0].Volume, c.volumeAfterMove) << "tick " << tick;
    }
}

INSTANTIATE_TEST_SUITE_P(Repeat, AllLengthsZeroTest, ::testing::ValuesIn(AllLengthsZeroCases), CaseName{});

// A step of length 0 after the first jumps to its value, so the step after it
// runs from that value and Level stays within 0..65280.
struct ZeroLengthCase {
    std::string name;
    EnvelopeParams params;
    std::vector<int> volumes;   // ticks 1, 2, ...
};
void PrintTo(const ZeroLengthCase& c, std::ostream* os) { *os << c.name; }

const ZeroLengthCase ZeroLengthCases[] = {
    // Step 1: +2560 a tick, 10, 20, ..., 100. Step 3 starts from 200 * 256 = 51200 with
    // (50 - 200) * 256 / 10 = -3840: tick 11 gives 47360 -> 185, then -15 a tick to 50 at tick 20.
    {"falling_after_jump",
     {10, 100, 0, 200, 10, 50, 0, 0, 0, 0},
     {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 185, 170, 155, 140, 125, 110, 95, 80, 65, 50, 50, 50}},
    // Step 1: 20 a tick to 200. Step 3 starts from 20 * 256 with 230 * 256 / 10 = 5888 (23 a tick).
    {"rising_after_jump",
     {10, 200, 0, 20, 10, 250, 0, 0, 0, 0},
     {20, 40, 60, 80, 100, 120, 140, 160, 180, 200, 43, 66, 89, 112, 135, 158, 181, 204, 227, 250, 250, 250}},
    // Load stands at 100; step 2 jumps to 200, step 3 falls -3840 a tick from there.
    {"jump_right_after_first_step",
     {0, 100, 0, 200, 10, 50, 0, 0, 0, 0},
     {185, 170, 155, 140, 125, 110, 95, 80, 65, 50, 50, 50}},
};

using ZeroLengthStepTest = EngineCaseTest<ZeroLengthCase>;

TEST_P(ZeroLengthStepTest, NextStepRunsFromItsValue) {
    const ZeroLengthCase& c = GetParam();
    LoadEnvelope(0, 0, c.params);
    std::vector<int> volumes;
    for (std::size_t tick = 1; tick <= c.volumes.size(); ++tick) {
        TickEnvelopes();
        volumes.push_back(Voices[0].Volume);
        const int32_t level = SlotZero(0).Level;
        EXPECT_TRUE(level >= 0 && level <= 65280) << "tick " << tick << " Level " << level;
    }
    EXPECT_EQ(volumes, c.volumes);
}

INSTANTIATE_TEST_SUITE_P(Steps, ZeroLengthStepTest, ::testing::ValuesIn(ZeroLengthCases), CaseName{});

uint8_t VoiceFieldOf(int envelope) {
    const VoiceState& v = Voices[0];
    switch (envelope) {
        case 0: return v.Volume;
        case 1: return v.Osc1Level;
        case 2: return v.Osc2Level;
        case 3: return v.PulseWidth;
        default: return v.Filter;
    }
}

struct InvertCase {
    std::string name;
    int envelope;
    uint8_t invert;
    uint8_t level;   // held value of the envelope
    uint8_t written;
};
void PrintTo(const InvertCase& c, std::ostream* os) { *os << c.name; }

// The first four envelopes write level XOR Invert; the filter's writes level XOR (NOT Invert).
const InvertCase InvertCases[] = {
    {"volume_plain", 0, 0, 100, 100},
    {"volume_inverted_at_0", 0, 255, 0, 255},
    {"osc1_any_mask", 1, 0x0F, 100, 0x6B},   // 0x64 ^ 0x0F
    {"osc2_inverted", 2, 255, 100, 155},
    {"pulse_width_inverted", 3, 255, 100, 155},
    {"filter_unticked_at_0_is_open", 4, 0, 0, 255},
    {"filter_unticked_reversed", 4, 0, 100, 155},
    {"filter_ticked_at_0_is_closed", 4, 255, 0, 0},
    {"filter_ticked_passes_level", 4, 255, 100, 100},
    {"filter_any_mask", 4, 0x0F, 100, 0x94},   // 0x64 ^ 0xF0
};

using EnvelopeInvertTest = EngineCaseTest<InvertCase>;

TEST_P(EnvelopeInvertTest, WritesTheMaskedLevelIntoItsField) {
    const InvertCase& c = GetParam();
    LoadEnvelope(0, static_cast<uint8_t>(c.envelope), {0, c.level, 0, 0, 0, 0, 0, 0, c.invert, 0});
    TickEnvelopes();
    EXPECT_EQ(VoiceFieldOf(c.envelope), c.written);
}

INSTANTIATE_TEST_SUITE_P(Masks, EnvelopeInvertTest, ::testing::ValuesIn(InvertCases), CaseName{});

TEST_F(EnvelopeTest, ZeroedStateWritesSilenceAndAnOpenFilter) {
    VoiceState& v = Voices[0];
    v.Volume = 9;
    v.Osc1Level = 9;
    v.Osc2Level = 9;
    v.PulseWidth = 9;
    v.Filter = 9;
    TickEnvelopes();
    EXPECT_EQ(v.Volume, 0);
    EXPECT_EQ(v.Osc1Level, 0);
    EXPECT_EQ(v.Osc2Level, 0);
    EXPECT_EQ(v.PulseWidth, 0);
    EXPECT_EQ(v.Filter, 255);
}

TEST_F(EnvelopeTest, LoadWithVoiceOneChangesInstrumentSlotZero) {
    LoadEnvelope(1, 2, {0, 123, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(SlotZero(2).Level, 123 * 256);
    const auto& slotOne = InstrumentSlots[1].Envelopes;
    EXPECT_TRUE(std::all_of(slotOne.begin(), slotOne.end(), [](const EnvelopeState& e) { return e.Level == 0; }));
    TickEnvelopes();
    EXPECT_EQ(Voices[0].Osc2Level, 123);
}

}  // namespace
