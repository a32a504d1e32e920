// Offline render of one note: the frames a key press would produce as the first
// note after program start, made by the live renderer on an engine state kept
// aside from the sounding one.
//
// Threading. OfflineNote::Render swaps its own state into the engine's globals,
// renders and swaps the live state back; it must not overlap a rendered frame
// (hold the audio lock around each call, or call it while no device plays).
// NoteTicks, NoteFrames and the constructor touch no engine state and may run
// beside the audio callback.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "engine/ksynth.h"

namespace ksynth {

// The part of the engine that a note start and the renderer write: every voice,
// the instrument slot the voices play, and the frames until the next tick.
struct EngineState {
    std::array<VoiceState, VoiceCount> Voices{};
    InstrumentSlot Slot{};
    int16_t TickCountdown = 0;
};

// Swaps `other` with the engine's globals. Must not overlap a rendered frame.
void ExchangeEngineState(EngineState& other);

// The four curves in the order of the voice's curve fields.
enum CurveSlot : uint8_t { Osc1WaveformCurve, Osc1StrengthCurve, Osc2WaveformCurve, Osc2StrengthCurve, CurveSlotCount };

// What a note is made of: the editor's curves and envelopes and the voice's detune.
struct NoteInstrument {
    std::array<CurvePoints, CurveSlotCount> Curves{};
    std::array<EnvelopeParams, EnvelopeCount> Envelopes{};
    int8_t Osc2Detune = 0;
};

// Ticks of one playing worth keeping: up to where the volume envelope settles at
// 0 when it does, otherwise until every envelope has run its steps once (at
// least one second). 0 for a note whose volume envelope ends at 0 at once.
uint32_t NoteTicks(const std::array<EnvelopeParams, EnvelopeCount>& envelopes);
uint32_t NoteFrames(const std::array<EnvelopeParams, EnvelopeCount>& envelopes);

// The longest note: four steps of the longest length a byte holds.
constexpr uint32_t LongestNoteTicks = StepCount * uint32_t{std::numeric_limits<uint8_t>::max()};

class OfflineNote {
public:
    OfflineNote(const NoteInstrument& instrument, uint32_t phaseStep);

    // The next `frames` frames of the note, 4 bytes each as the sound card gets
    // them. Must not overlap a rendered frame (see the threading note above).
    void Render(uint8_t* out, uint32_t frames);

private:
    void Start();

    NoteInstrument instrument_;
    uint32_t phaseStep_;
    bool started_ = false;
    EngineState state_{};   // the note's engine while it is not swapped in
};

}  // namespace ksynth
