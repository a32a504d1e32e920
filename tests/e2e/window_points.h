// What the end-to-end tests click and hear: points of the real window and the
// engine set up as the default instrument's A (440 Hz) after start.
#pragma once

#include <array>

#include "engine/ksynth.h"

// Points to click, in client coordinates of the 671 x 575 window.
struct Point {
    int x;
    int y;
};
constexpr Point InstrumentEditorTab{150, 33};
constexpr Point OctaveItem4{512, 435};
constexpr Point KeyA0{538, 520};
constexpr Point StopButton{355 + 32, 8};
constexpr Point QuitButton{604 + 32, 8};

// The five envelopes of the default instrument.
inline constexpr std::array<ksynth::EnvelopeParams, 5> DefaultInstrumentEnvelopes = {{
    {0, 255, 80, 0, 0, 0, 0, 0, 0, 0},
    {0, 255, 128, 0, 0, 0, 0, 0, 0, 0},
    {0, 255, 0, 0, 0, 0, 0, 0, 0, 0},
    {96, 255, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 192, 80, 0, 0, 0, 0, 0, 0, 0},
}};

// The default instrument, as a musician meets it after start.
inline void PlayDefaultA440Offline() {
    using namespace ksynth;
    BuildTables();
    ResetEngine();
    VoiceState& v = Voices[0];
    v.Osc1Waveform.Assign({255, 0, 255, 0, 255, 0, 255, 0, 255});
    v.Osc1Strength.Assign({255, 255, 255, 255, 255, 255, 255, 255, 255});
    v.Osc2Waveform.Assign({0, 128, 128, 128, 0, 128, 0, 255, 0});
    v.Osc2Strength.Assign({255, 255, 255, 255, 255, 255, 255, 255, 255});
    for (int e = 0; e < 5; ++e) LoadEnvelope(0, static_cast<uint8_t>(e), DefaultInstrumentEnvelopes[e]);
    // "Octave" item "4" with ButtonA0: octave index 4, 440 Hz.
    v.PhaseStep = FrequencyTable[440];
}
