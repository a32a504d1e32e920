// The window's own copy of the instrument and of the editor's selections.
#pragma once

#include <array>
#include <cstdint>

#include "engine/ksynth.h"

// One oscillator's two curves, in the order of the voice's curve fields.
struct OscillatorShape {
    ksynth::CurvePoints Waveform;   // "Distortion Waveform"
    ksynth::CurvePoints Strength;   // "Distortion Strength"
};

struct ParameterStore {
    std::array<OscillatorShape, 2> OscillatorCurves;
    std::array<ksynth::EnvelopeParams, ksynth::EnvelopeCount> Envelopes;
    uint8_t NoteValue;
    uint8_t Octave;          // selected item of the "Octave" group, 0..5
    uint8_t VoiceIndex;      // the engine voice the curve bars write
    uint8_t OscillatorTab;   // 0..1
    uint8_t EnvelopeTab;     // 0..4
};

// The instrument a new window starts with.
inline constexpr std::array<OscillatorShape, 2> DefaultOscillatorCurves = {{
    {{255, 0, 255, 0, 255, 0, 255, 0, 255}, {255, 255, 255, 255, 255, 255, 255, 255, 255}},
    {{0, 128, 128, 128, 0, 128, 0, 255, 0}, {255, 255, 255, 255, 255, 255, 255, 255, 255}},
}};

inline constexpr std::array<ksynth::EnvelopeParams, ksynth::EnvelopeCount> DefaultEnvelopes = {{
    {0, 255, 80, 0, 0, 0, 0, 0, 0, 0},    // Volume
    {0, 255, 128, 0, 0, 0, 0, 0, 0, 0},   // Oscillator 1
    {0, 255, 0, 0, 0, 0, 0, 0, 0, 0},     // Oscillator 2
    {96, 255, 0, 0, 0, 0, 0, 0, 0, 0},    // Pulsewidth
    {0, 192, 80, 0, 0, 0, 0, 0, 0, 0},    // Filter
}};
