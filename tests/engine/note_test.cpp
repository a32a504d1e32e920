// NoteToPhaseStep: the phase step of the whole-hertz frequency a key reaches.
#include <array>
#include <cstdint>
#include <string>

#include "tests/engine/engine_fixture.h"

using namespace ksynth;

namespace {

struct NoteCase {
    std::string name;
    uint8_t note;                 // low byte of the frequency at octave index 4
    std::array<int, 4> hertz;     // at octave indices 0, 3, 4, 7
};
void PrintTo(const NoteCase& c, std::ostream* os) { *os << c.name; }

constexpr std::array<uint8_t, 4> OctaveIndices = {0, 3, 4, 7};

const NoteCase NoteCases[] = {
    {"C", 6, {16, 131, 262, 2096}},     {"C_sharp", 21, {17, 138, 277, 2216}},
    {"D", 38, {18, 147, 294, 2352}},    {"D_sharp", 55, {19, 155, 311, 2488}},
    {"E", 74, {20, 165, 330, 2640}},    {"F", 93, {21, 174, 349, 2792}},
    {"F_sharp", 114, {23, 185, 370, 2960}}, {"G", 136, {24, 196, 392, 3136}},
    {"G_sharp", 159, {25, 207, 415, 3320}}, {"A", 184, {27, 220, 440, 3520}},
    {"A_sharp", 210, {29, 233, 466, 3728}}, {"B", 238, {30, 247, 494, 3952}},
};

using NoteToPhaseStepTest = EngineCaseTest<NoteCase>;

TEST_P(NoteToPhaseStepTest, IsTheFrequencyTableStepOfTheKeysHertz) {
    const NoteCase& c = GetParam();
    for (std::size_t k = 0; k < OctaveIndices.size(); ++k) {
        const uint64_t hz = c.hertz[k];
        const uint32_t step = static_cast<uint32_t>((hz << 24) / 44100);   // floor(hz * 2^24 / 44100)
        EXPECT_EQ(NoteToPhaseStep(c.note, OctaveIndices[k]), step) << "octave index " << int{OctaveIndices[k]};
        EXPECT_EQ(FrequencyTable[hz], step);
    }
}

INSTANTIATE_TEST_SUITE_P(Semitones, NoteToPhaseStepTest, ::testing::ValuesIn(NoteCases), CaseName{});

}  // namespace
