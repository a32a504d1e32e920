// The synthesis engine: process-wide state, lookup tables, the sample renderer,
// the envelope generator and the pitch lookup. Integer arithmetic only on the
// audio path; nothing is allocated after program start.
//
// Threading. RenderAudio (and the TickEnvelopes it calls) runs on the audio
// thread. Beside it, the window thread may store curve points and Osc2Detune
// at any time: they are single atomic bytes, heard from the next frame. Everything
// else a note start writes (StartNote, LoadEnvelope, TickCountdown) must not
// overlap a rendered frame: call it with the audio device locked, or while no
// device plays. BuildTables runs once before any device opens; ResetEngine only
// while none plays.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace ksynth {

struct EngineConfig {
    static constexpr uint8_t LastVoice = 0;     // highest voice slot the renderer plays
    static constexpr uint16_t SampleRate = 44100;
    static constexpr uint16_t TickRate = 50;    // envelope ticks per second
};

constexpr int VoiceCount = 8;
constexpr int EnvelopeCount = 5;
constexpr int StepCount = 4;
constexpr int InstrumentSlotCount = 256;
constexpr int CurvePointCount = 9;

// A value shared between the window thread and the audio thread. Every access
// is a relaxed atomic load or store, so a reader sees the old or the new value
// and never a torn one, while callers keep plain assignment syntax.
template <typename T>
class Relaxed {
public:
    constexpr Relaxed() noexcept = default;
    constexpr Relaxed(T value) noexcept : value_(value) {}
    Relaxed(const Relaxed& other) noexcept : value_(other.load()) {}
    Relaxed& operator=(const Relaxed& other) noexcept { store(other.load()); return *this; }
    Relaxed& operator=(T value) noexcept { store(value); return *this; }
    operator T() const noexcept { return load(); }

    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    void store(T value) noexcept { value_.store(value, std::memory_order_relaxed); }

private:
    std::atomic<T> value_{};
};

// Counts stores into the curve points and the detune, the only voice fields that
// change while a run of frames renders; the renderer rebuilds what it derived
// from them at the next frame after a store.
extern std::atomic<uint32_t> ShapeEdits;

// A shared value whose every store is announced through ShapeEdits.
template <typename T>
class ShapeValue : public Relaxed<T> {
public:
    using Relaxed<T>::Relaxed;
    ShapeValue(const ShapeValue& other) noexcept : Relaxed<T>(other.load()) {}
    ShapeValue& operator=(const ShapeValue& other) noexcept { return *this = other.load(); }
    ShapeValue& operator=(T value) noexcept {
        this->store(value);
        ShapeEdits.fetch_add(1, std::memory_order_release);
        return *this;
    }
};

// Nine control points as plain bytes: the window's own copy of a curve.
using CurvePoints = std::array<uint8_t, CurvePointCount>;

// Nine control points P0..P8 at positions 0, 32, ..., 256, linear in between.
struct ShapeCurve {
    std::array<ShapeValue<uint8_t>, CurvePointCount> Points;

    ShapeValue<uint8_t>& operator[](std::size_t point) { return Points[point]; }
    const ShapeValue<uint8_t>& operator[](std::size_t point) const { return Points[point]; }

    void Assign(const CurvePoints& points);
    CurvePoints Snapshot() const;
};

enum CurveKind : uint8_t { Waveform = 0, Strength = 1 };

struct VoiceState {
    Relaxed<uint32_t> PhaseStep;
    Relaxed<uint8_t> XorSource;
    Relaxed<uint8_t> PulseWidth;
    Relaxed<uint8_t> Volume;
    Relaxed<uint8_t> Osc1Level;
    Relaxed<uint8_t> Osc2Level;
    Relaxed<uint8_t> Filter;
    Relaxed<uint8_t> NoiseMode;
    ShapeValue<int8_t> Osc2Detune;
    ShapeCurve Osc1Waveform;
    ShapeCurve Osc1Strength;
    ShapeCurve Osc2Waveform;
    ShapeCurve Osc2Strength;
    Relaxed<uint8_t> Output;
    Relaxed<uint8_t> Osc1Index;
    Relaxed<uint8_t> Osc2Index;
    Relaxed<uint8_t> FilterState;
    Relaxed<uint8_t> LeftShift;
    Relaxed<uint8_t> RightShift;
    Relaxed<uint32_t> Phase;

    // The four curves as [oscillator 0..1][kind]: Osc1Waveform, Osc1Strength,
    // Osc2Waveform, Osc2Strength.
    ShapeCurve& Curve(unsigned oscillator, unsigned kind);
    const ShapeCurve& Curve(unsigned oscillator, unsigned kind) const;
};

// One envelope as the editor describes it: four (length in ticks, value) steps.
struct EnvelopeParams {
    uint8_t Step1Length;
    uint8_t Step1Value;
    uint8_t Step2Length;
    uint8_t Step2Value;
    uint8_t Step3Length;
    uint8_t Step3Value;
    uint8_t Step4Length;
    uint8_t Step4Value;
    uint8_t Invert;   // XORed into the output byte
    uint8_t Repeat;   // nonzero: start again after the last step
};

// The ten bytes of EnvelopeParams in their order, for callers that address them by index.
inline constexpr std::array<uint8_t EnvelopeParams::*, 10> EnvelopeFields = {
    &EnvelopeParams::Step1Length, &EnvelopeParams::Step1Value,
    &EnvelopeParams::Step2Length, &EnvelopeParams::Step2Value,
    &EnvelopeParams::Step3Length, &EnvelopeParams::Step3Value,
    &EnvelopeParams::Step4Length, &EnvelopeParams::Step4Value,
    &EnvelopeParams::Invert,      &EnvelopeParams::Repeat,
};

// The running copy of one envelope. Level is 8.8 fixed point (level x 256).
struct EnvelopeState {
    std::array<uint8_t, StepCount> StepLength;
    std::array<uint8_t, StepCount> StepTarget;
    std::array<int32_t, StepCount> StepRemaining;
    std::array<int32_t, StepCount> StepIncrement;
    uint8_t Invert;
    uint8_t Repeat;
    int32_t Level;
};

// Envelopes 0..4 move Volume, Osc1Level, Osc2Level, PulseWidth and Filter.
struct InstrumentSlot {
    std::array<EnvelopeState, EnvelopeCount> Envelopes;
};

// Engine variables: one instance each, zero at program start.
extern uint16_t FramesPerCallback;   // 2048 at 44100 Hz
extern uint16_t FramesPerTick;       // 882 at 44100 Hz and 50 ticks/s
extern std::array<VoiceState, VoiceCount> Voices;
extern std::array<uint8_t, 256> SineTable;
extern std::array<uint32_t, 4096> FrequencyTable;
extern std::array<uint8_t, 4096> NoiseTable;
extern const std::array<uint8_t, 12> NoteTable;
extern std::array<uint8_t, VoiceCount> VoiceInstrument;
extern Relaxed<int16_t> TickCountdown;   // frames until the next envelope tick
extern std::array<InstrumentSlot, InstrumentSlotCount> InstrumentSlots;

// Tables: built once at start, read-only afterwards.
void BuildTables();
uint32_t FrequencyStep(uint16_t frequency);
uint8_t SineEntry(uint8_t position);
void FillNoiseTable(uint16_t seed);

// Point of a curve at a position 0..255: P(s) + floor((P(s+1) - P(s)) * t / 32).
constexpr uint8_t CurveBetween(uint8_t from, uint8_t to, unsigned fraction) {
    // The arithmetic shift rounds toward minus infinity on falling segments too.
    return static_cast<uint8_t>(from + (((to - from) * static_cast<int>(fraction)) >> 5));
}
uint8_t ShapeCurveAt(const ShapeCurve& curve, uint8_t position);
uint8_t ShapeCurveAt(const CurvePoints& curve, uint8_t position);

// SDL's audio callback: fills min(len / 4, FramesPerCallback) stereo frames.
void RenderAudio(void* userdata, uint8_t* stream, int len);

// Envelopes. LoadEnvelope must not overlap a rendered frame.
void LoadEnvelope(uint8_t voice, uint8_t envelope, const EnvelopeParams& params);
void TickEnvelopes();

// Phase step of a note byte (NoteTable entry) at octave index 0..7.
uint32_t NoteToPhaseStep(uint8_t note, uint8_t octave);

// A note start on voice 0: its pitch, the five fields a note clears, and the five
// envelopes loaded afresh. Must not overlap a rendered frame (hold the audio lock).
void StartNote(uint32_t phaseStep, const std::array<EnvelopeParams, EnvelopeCount>& envelopes);

// Puts voices, instrument slots and TickCountdown back to their start values;
// the tables stay built. For tests and tools.
void ResetEngine();

}  // namespace ksynth
