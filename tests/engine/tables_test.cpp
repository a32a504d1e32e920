// The lookup tables and frame counts built at start.
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "tests/engine/engine_fixture.h"

using namespace ksynth;

namespace {

using TablesTest = EngineTest;

TEST_F(TablesTest, SineTableHasTheCheckValuesAndOnePeriodOf255Entries) {
    const std::pair<int, int> checks[] = {{0, 1},    {16, 10},   {32, 38},   {48, 79},   {64, 128}, {96, 218},
                                          {128, 255}, {160, 217}, {191, 130}, {192, 126}, {224, 37}, {240, 10},
                                          {255, 1}};
    for (const auto& [a, value] : checks) EXPECT_EQ(SineTable[a], value) << "entry " << a;

    EXPECT_EQ(SineTable[255], SineTable[0]);
    EXPECT_EQ(std::count(SineTable.begin(), SineTable.end(), 0), 0);

    std::vector<int> minima, maxima;
    for (int a = 0; a < 256; ++a) {
        if (SineTable[a] == 1) minima.push_back(a);
        if (SineTable[a] == 255) maxima.push_back(a);
    }
    EXPECT_EQ(minima, (std::vector<int>{0, 1, 2, 3, 252, 253, 254, 255}));
    EXPECT_EQ(maxima, (std::vector<int>{125, 126, 127, 128, 129, 130, 131}));

    // One trough-to-trough period: rising up to the crest, falling after it.
    EXPECT_TRUE(std::is_sorted(SineTable.begin(), SineTable.begin() + 132));
    EXPECT_TRUE(std::is_sorted(SineTable.begin() + 125, SineTable.end(), std::greater<>()));
}

TEST_F(TablesTest, FrequencyTableIsTheFlooredStepOfEveryWholeHertz) {
    EXPECT_EQ(FrequencyTable[0], 0u);
    EXPECT_EQ(FrequencyTable[1], 380u);
    EXPECT_EQ(FrequencyTable[2], 760u);
    EXPECT_EQ(FrequencyTable[3], 1141u);
    // 440 * 16777216 = 7381975040; / 44100 = 167391.72...
    EXPECT_EQ(FrequencyTable[440], 167391u);

    for (uint64_t f = 0; f < FrequencyTable.size(); ++f) {
        const uint64_t exact = (f << 24) / 44100;   // floor(f * 2^24 / 44100) in integers
        ASSERT_EQ(FrequencyTable[f], exact) << "f = " << f;
        ASSERT_EQ(FrequencyStep(static_cast<uint16_t>(f)), exact) << "f = " << f;
    }
}

TEST_F(TablesTest, NoiseTableIsTheShiftRegisterSequenceFromSeedOne) {
    const std::vector<int> first = {1, 2, 4, 8, 16, 32, 64, 128, 0, 0, 0, 0, 0, 0, 0, 29,
                                    58, 116, 232, 208, 160, 64, 128, 0};
    EXPECT_EQ(std::vector<int>(NoiseTable.begin(), NoiseTable.begin() + 24), first);
    EXPECT_EQ(std::vector<int>(NoiseTable.begin() + 4088, NoiseTable.end()),
              (std::vector<int>{143, 30, 33, 95, 163, 70, 140, 24}));

    std::array<int, 256> occurrences{};
    for (uint8_t entry : NoiseTable) ++occurrences[entry];
    EXPECT_EQ(std::count(occurrences.begin(), occurrences.end(), 0), 0) << "some byte value never occurs";
    EXPECT_EQ(occurrences[0], 33);
}

TEST_F(TablesTest, NoteTableAndFrameCounts) {
    // Low bytes of 262, 277, 294, 311, 330, 349, 370, 392, 415, 440, 466, 494 Hz.
    EXPECT_EQ(NoteTable, (std::array<uint8_t, 12>{6, 21, 38, 55, 74, 93, 114, 136, 159, 184, 210, 238}));
    EXPECT_EQ(FramesPerCallback, 2048);   // 44100 * 512 / 11025
    EXPECT_EQ(FramesPerTick, 882);        // 44100 / 50
}

}  // namespace
