// Engine variables and the shape-curve evaluation.
#include "engine/ksynth.h"

namespace ksynth {

uint16_t FramesPerCallback = 0;
uint16_t FramesPerTick = 0;
std::array<VoiceState, VoiceCount> Voices{};
std::array<uint8_t, VoiceCount> VoiceInstrument{};
Relaxed<int16_t> TickCountdown{};
std::atomic<uint32_t> ShapeEdits{0};
std::array<InstrumentSlot, InstrumentSlotCount> InstrumentSlots{};

void ShapeCurve::Assign(const CurvePoints& points) {
    for (int k = 0; k < CurvePointCount; ++k) Points[k] = points[k];
}

CurvePoints ShapeCurve::Snapshot() const {
    CurvePoints points{};
    for (int k = 0; k < CurvePointCount; ++k) points[k] = Points[k];
    return points;
}

ShapeCurve& VoiceState::Curve(unsigned oscillator, unsigned kind) {
    static constexpr ShapeCurve VoiceState::*curves[2][2] = {
        {&VoiceState::Osc1Waveform, &VoiceState::Osc1Strength},
        {&VoiceState::Osc2Waveform, &VoiceState::Osc2Strength},
    };
    return this->*curves[oscillator][kind];
}

const ShapeCurve& VoiceState::Curve(unsigned oscillator, unsigned kind) const {
    return const_cast<VoiceState*>(this)->Curve(oscillator, kind);
}

uint8_t ShapeCurveAt(const ShapeCurve& curve, uint8_t position) {
    const unsigned segment = position >> 5;
    return CurveBetween(curve[segment], curve[segment + 1], position & 31u);
}

uint8_t ShapeCurveAt(const CurvePoints& curve, uint8_t position) {
    const unsigned segment = position >> 5;
    return CurveBetween(curve[segment], curve[segment + 1], position & 31u);
}

void ResetEngine() {
    for (VoiceState& voice : Voices) voice = VoiceState{};
    VoiceInstrument.fill(0);
    InstrumentSlots.fill(InstrumentSlot{});
    TickCountdown = 0;
}

}  // namespace ksynth
