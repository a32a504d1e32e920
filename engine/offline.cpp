// Offline note render: the live renderer run on a state swapped in for the
// length of a call, and the rule for how long an exported note lasts.
#include "engine/offline.h"

#include <algorithm>
#include <utility>

namespace ksynth {
namespace {

uint32_t StepSum(const EnvelopeParams& params) {
    return uint32_t{params.Step1Length} + params.Step2Length + params.Step3Length + params.Step4Length;
}

// The byte an envelope that does not repeat holds after its last step.
uint8_t FinalOutput(const EnvelopeParams& params) {
    const std::array<std::pair<uint8_t, uint8_t>, StepCount> steps = {{
        {params.Step1Length, params.Step1Value},
        {params.Step2Length, params.Step2Value},
        {params.Step3Length, params.Step3Value},
        {params.Step4Length, params.Step4Value},
    }};
    uint8_t value = params.Step1Value;   // all four lengths 0: the load's value stays
    for (const auto& [length, target] : steps) {
        if (length > 0) value = target;
    }
    return static_cast<uint8_t>(value ^ params.Invert);
}

// A second of ticks: the shortest note that does not end in silence.
constexpr uint32_t ShortestSoundingTicks = EngineConfig::TickRate;

// Swaps two relaxed values field by field; no store is announced as a shape edit.
template <typename T>
void SwapValue(Relaxed<T>& a, Relaxed<T>& b) {
    const T value = a.load();
    a.store(b.load());
    b.store(value);
}

// Lists every field of VoiceState: a new field must join it (the size tells).
constexpr std::size_t SwappedVoiceBytes = 60;
static_assert(sizeof(VoiceState) == SwappedVoiceBytes, "SwapVoice must swap every field of VoiceState");
void SwapVoice(VoiceState& a, VoiceState& b) {
    SwapValue(a.PhaseStep, b.PhaseStep);
    SwapValue(a.XorSource, b.XorSource);
    SwapValue(a.PulseWidth, b.PulseWidth);
    SwapValue(a.Volume, b.Volume);
    SwapValue(a.Osc1Level, b.Osc1Level);
    SwapValue(a.Osc2Level, b.Osc2Level);
    SwapValue(a.Filter, b.Filter);
    SwapValue(a.NoiseMode, b.NoiseMode);
    SwapValue<int8_t>(a.Osc2Detune, b.Osc2Detune);
    for (unsigned curve = 0; curve < CurveSlotCount; ++curve) {
        ShapeCurve& ca = a.Curve(curve / 2, curve % 2);
        ShapeCurve& cb = b.Curve(curve / 2, curve % 2);
        for (int point = 0; point < CurvePointCount; ++point) SwapValue<uint8_t>(ca[point], cb[point]);
    }
    SwapValue(a.Output, b.Output);
    SwapValue(a.Osc1Index, b.Osc1Index);
    SwapValue(a.Osc2Index, b.Osc2Index);
    SwapValue(a.FilterState, b.FilterState);
    SwapValue(a.LeftShift, b.LeftShift);
    SwapValue(a.RightShift, b.RightShift);
    SwapValue(a.Phase, b.Phase);
}

}  // namespace

void ExchangeEngineState(EngineState& other) {
    for (int k = 0; k < VoiceCount; ++k) SwapVoice(Voices[k], other.Voices[k]);
    // One announcement for the whole swap: a renderer rebuilds its curve tables.
    ShapeEdits.fetch_add(1, std::memory_order_release);
    std::swap(InstrumentSlots[VoiceInstrument[0]], other.Slot);
    const int16_t countdown = TickCountdown;
    TickCountdown = other.TickCountdown;
    other.TickCountdown = countdown;
}

uint32_t NoteTicks(const std::array<EnvelopeParams, EnvelopeCount>& envelopes) {
    const EnvelopeParams& volume = envelopes[0];
    if (volume.Repeat == 0 && FinalOutput(volume) == 0) return StepSum(volume);
    uint32_t longest = ShortestSoundingTicks;
    for (const EnvelopeParams& envelope : envelopes) longest = std::max(longest, StepSum(envelope));
    return longest;
}

uint32_t NoteFrames(const std::array<EnvelopeParams, EnvelopeCount>& envelopes) {
    return NoteTicks(envelopes) * FramesPerTick;
}

OfflineNote::OfflineNote(const NoteInstrument& instrument, uint32_t phaseStep)
    : instrument_(instrument), phaseStep_(phaseStep) {}

// Runs swapped in: the state at program start after the window's creation put the
// instrument into voice 0, then the note start a key press makes.
void OfflineNote::Start() {
    VoiceState& voice = Voices[0];
    for (unsigned curve = 0; curve < CurveSlotCount; ++curve) {
        voice.Curve(curve / 2, curve % 2).Assign(instrument_.Curves[curve]);
    }
    voice.Osc2Detune = instrument_.Osc2Detune;
    StartNote(phaseStep_, instrument_.Envelopes);
    started_ = true;
}

void OfflineNote::Render(uint8_t* out, uint32_t frames) {
    ExchangeEngineState(state_);
    if (!started_) Start();
    constexpr uint32_t FrameBytes = 4;
    while (frames > 0) {
        const uint32_t block = std::min<uint32_t>(frames, FramesPerCallback);
        RenderAudio(nullptr, out, static_cast<int>(block * FrameBytes));
        out += block * FrameBytes;
        frames -= block;
    }
    ExchangeEngineState(state_);
}

}  // namespace ksynth
