// The sample renderer: SDL's audio callback. Integer arithmetic only; no
// allocation, lock or system call.
#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/ksynth.h"
#ifdef KSYNTH_FRAME_HOOK
#include "engine/frame_hook.h"
#endif

namespace ksynth {

#ifdef KSYNTH_FRAME_HOOK
void (*BeforeFrame)() = nullptr;
#endif

namespace {

constexpr int RenderedVoices = EngineConfig::LastVoice + 1;
static_assert(RenderedVoices <= VoiceCount);

// An oscillator's two curves weighted by its level, one entry per position: the
// waveform value in the low 16 bits, the strength value in the high 16 bits, so
// that one addition mixes both oscillators for both sums (each at most 510).
// Levels change only at ticks, so the tables are rebuilt once per run of frames
// between two ticks, and each frame needs only two table reads.
using OscillatorTable = std::array<uint32_t, 256>;
struct WeightedOscillators {
    OscillatorTable osc1, osc2;
};
WeightedOscillators Weighted[RenderedVoices];   // audio thread only

void WeighOscillator(const ShapeCurve& waveform, const ShapeCurve& strength, unsigned level, OscillatorTable& out) {
    const CurvePoints w = waveform.Snapshot();
    const CurvePoints a = strength.Snapshot();
    for (unsigned segment = 0; segment < 8; ++segment) {
        for (unsigned t = 0; t < 32; ++t) {
            const unsigned wave = CurveBetween(w[segment], w[segment + 1], t) * level / 255;
            const unsigned amplitude = CurveBetween(a[segment], a[segment + 1], t) * level / 255;
            out[segment * 32 + t] = wave | amplitude << 16;
        }
    }
}

// What one voice needs per frame, held in registers for the length of a run.
struct VoiceRun {
    uint32_t phase;
    uint32_t step;
    unsigned shift2;      // oscillator 2's shift of Phase
    bool noise;
    unsigned osc1Level;
    unsigned osc2Level;
    unsigned pulseWidth;
    unsigned xorSource;
    int filter;
    int filterState;
    int volume;
    unsigned leftShift;
    unsigned rightShift;
    unsigned index1;
    unsigned index2;
    uint8_t output;
};

// Rebuilds what a voice derives from its curves and detune, and returns
// oscillator 2's shift: at the start of a run, and again at the next frame
// whenever the window edits them. Takes values, not the run, so that the run
// stays in registers.
[[gnu::noinline]] unsigned DeriveShape(int k, unsigned osc1Level, unsigned osc2Level, bool noise) {
    const VoiceState& v = Voices[k];
    WeighOscillator(v.Osc1Waveform, v.Osc1Strength, osc1Level, Weighted[k].osc1);
    WeighOscillator(v.Osc2Waveform, v.Osc2Strength, osc2Level, Weighted[k].osc2);
    // Oscillator 2 shifts by (16 - detune) where oscillator 1 shifts by 16
    // (20 against 20 in noise mode), keeping the low five bits of the count.
    const int detune = v.Osc2Detune;
    return static_cast<unsigned>((noise ? 20 : 16) - detune) & 31u;
}

// The other fields change only at ticks or, under the callback lock, at a note start.
VoiceRun BeginRun(int k) {
    const VoiceState& v = Voices[k];
    // Shifts above 16 and XOR sources above 8 are never stored; the masks only keep
    // such values from reaching outside the voices or the shift width.
    VoiceRun r{v.Phase, v.PhaseStep, 0, v.NoiseMode != 0, v.Osc1Level, v.Osc2Level, v.PulseWidth,
               v.XorSource, v.Filter, v.FilterState, v.Volume, v.LeftShift & 31u, v.RightShift & 31u,
               v.Osc1Index, v.Osc2Index, v.Output};
    r.shift2 = DeriveShape(k, r.osc1Level, r.osc2Level, r.noise);
    return r;
}

void EndRun(int k, const VoiceRun& run) {
    VoiceState& v = Voices[k];
    v.Phase = run.phase;
    v.Osc1Index = static_cast<uint8_t>(run.index1);
    v.Osc2Index = static_cast<uint8_t>(run.index2);
    v.Output = run.output;
    v.FilterState = static_cast<uint8_t>(run.filterState);
}

// Writes one frame: left then right, signed 16-bit little-endian.
inline void StoreFrame(uint8_t* out, int left, int right) {
    const uint32_t frame = static_cast<uint16_t>(left) | static_cast<uint32_t>(static_cast<uint16_t>(right)) << 16;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &frame, sizeof frame);
    } else {
        for (int b = 0; b < 4; ++b) out[b] = static_cast<uint8_t>(frame >> (8 * b));
    }
}

// Renders `frames` frames without a tick in between. `Plain` is the voice set
// this program always plays: tonal positions, no XOR, both channels at full
// level. The general path runs the same arithmetic with those stages added.
template <bool Plain>
void RenderRun(VoiceRun (&runs)[RenderedVoices], uint32_t shapeEdits, uint8_t* stream, int frames) {
    // Outputs of this frame for slots already rendered, of the last frame for the
    // others: what the XOR stage reads.
    uint8_t outputs[VoiceCount];
    for (int k = 0; k < VoiceCount; ++k) outputs[k] = Voices[k].Output;

    for (int frame = 0; frame < frames; ++frame) {
#ifdef KSYNTH_FRAME_HOOK
        if (BeforeFrame) BeforeFrame();
#endif
        const uint32_t edits = ShapeEdits.load(std::memory_order_acquire);
        if (edits != shapeEdits) [[unlikely]] {
            shapeEdits = edits;
            for (int k = 0; k < RenderedVoices; ++k) {
                runs[k].shift2 = DeriveShape(k, runs[k].osc1Level, runs[k].osc2Level, runs[k].noise);
            }
        }
        int left = 0;
        int right = 0;
        for (int k = 0; k < RenderedVoices; ++k) {
            VoiceRun& r = runs[k];
            const WeightedOscillators& w = Weighted[k];
            r.phase += r.step;
            if (!Plain && r.noise) {
                r.index1 = NoiseTable[r.phase >> 20];
                r.index2 = NoiseTable[(r.phase >> r.shift2) & 4095u];
            } else {
                r.index1 = (r.phase >> 16) & 255u;
                r.index2 = (r.phase >> r.shift2) & 255u;
            }
            const uint32_t mix = w.osc1[r.index1] + w.osc2[r.index2];
            const unsigned waveIndex = mix & 255u;   // the sum wraps at 256
            const unsigned amplitude = mix >> 16;
            unsigned output = (amplitude * SineTable[waveIndex] / 255u) & 255u;
            if (r.index1 < r.pulseWidth) output = 255u - output;
            if (!Plain && r.xorSource != 0) {
                outputs[k] = static_cast<uint8_t>(output);   // a voice XORed with itself gives 0
                output ^= outputs[(r.xorSource - 1) & 7u];
            }
            outputs[k] = static_cast<uint8_t>(output);

            // One-pole smoothing; the signed division truncates toward zero.
            r.filterState += (static_cast<int>(output) - r.filterState) * r.filter / 255;
            const int sample = (r.filterState - 128) * r.volume;
            if (Plain) {
                left += sample;
                right += sample;
            } else {
                left += sample >> r.leftShift;
                right += sample >> r.rightShift;
            }
        }
        StoreFrame(stream + 4 * frame, left, right);
    }
    for (int k = 0; k < RenderedVoices; ++k) runs[k].output = outputs[k];
}

void RenderFrames(uint8_t* stream, int frames) {
    VoiceRun runs[RenderedVoices];
    const uint32_t shapeEdits = ShapeEdits.load(std::memory_order_acquire);
    bool plain = true;
    for (int k = 0; k < RenderedVoices; ++k) {
        runs[k] = BeginRun(k);
        plain = plain && !runs[k].noise && runs[k].xorSource == 0 && runs[k].leftShift == 0 && runs[k].rightShift == 0;
    }
    if (plain) {
        RenderRun<true>(runs, shapeEdits, stream, frames);
    } else {
        RenderRun<false>(runs, shapeEdits, stream, frames);
    }
    for (int k = 0; k < RenderedVoices; ++k) EndRun(k, runs[k]);
}

}  // namespace

void RenderAudio(void* /*userdata*/, uint8_t* stream, int len) {
    // SDL always passes a whole block; anything shorter is filled only as far as it goes.
    const int frames = std::min<int>(std::max(len, 0) / 4, FramesPerCallback);
    int done = 0;
    while (done < frames) {
        int countdown = TickCountdown;
        if (countdown <= 0) {
            countdown = FramesPerTick;
            TickCountdown = static_cast<int16_t>(countdown);
            TickEnvelopes();
        }
        const int run = std::min(countdown, frames - done);
        RenderFrames(stream + 4 * done, run);
        TickCountdown = static_cast<int16_t>(countdown - run);
        done += run;
    }
}

}  // namespace ksynth
