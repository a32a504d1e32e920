// Lookup tables, the only place where the engine uses floating point.
#include <cmath>
#include <numbers>

#include "engine/ksynth.h"

namespace ksynth {

std::array<uint8_t, 256> SineTable{};
std::array<uint32_t, 4096> FrequencyTable{};
std::array<uint8_t, 4096> NoiseTable{};

// Low 8 bits of the equal-tempered frequencies 262..494 Hz (C to B from middle C).
const std::array<uint8_t, 12> NoteTable = {6, 21, 38, 55, 74, 93, 114, 136, 159, 184, 210, 238};

uint32_t FrequencyStep(uint16_t frequency) {
    // One period spans 2^24 phase units, so f Hz advances f * 2^24 / rate per frame.
    return static_cast<uint32_t>((static_cast<uint64_t>(frequency) << 24) / EngineConfig::SampleRate);
}

uint8_t SineEntry(uint8_t position) {
    // The divisor 255 makes one period 255 entries long: entry 255 repeats entry 0.
    const int32_t angle = 2 * static_cast<int32_t>(position) - 128;
    const double x = angle * std::numbers::pi / 255.0;
    return static_cast<uint8_t>(std::nearbyint(127.0 * std::sin(x)) + 128);
}

void FillNoiseTable(uint16_t seed) {
    uint16_t r = seed;
    for (uint8_t& entry : NoiseTable) {
        entry = static_cast<uint8_t>(r);
        r = static_cast<uint16_t>(r << 1);
        if (r & 0x8000u) r ^= 0x1Du;
    }
}

void BuildTables() {
    for (uint16_t f = 0; f < FrequencyTable.size(); ++f) FrequencyTable[f] = FrequencyStep(f);
    for (unsigned a = 0; a < SineTable.size(); ++a) SineTable[a] = SineEntry(static_cast<uint8_t>(a));
    FillNoiseTable(1);
    FramesPerCallback = static_cast<uint16_t>(uint32_t{EngineConfig::SampleRate} * 512u / 11025u);
    FramesPerTick = static_cast<uint16_t>(EngineConfig::SampleRate / EngineConfig::TickRate);
}

}  // namespace ksynth
