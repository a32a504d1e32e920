// libFuzzer target for the engine: voice 0, the five envelopes and the tick
// countdown set from the input, including values no control stores, then a run
// of loads, ticks, edits and renders of any length up to 100000 bytes.
//
// Input, read front to back (missing bytes read as 0):
//   PhaseStep (4 bytes, little-endian), the 50 byte fields of voice 0 in
//   SetVoiceByte's order, Phase (4), five envelopes of 10 bytes (each loaded),
//   TickCountdown (2), then up to MaxOperations operations, each an opcode byte
//   (its value modulo OperationCount) and its arguments:
//     Render  3 bytes: len = value modulo (MaxLen + 1)
//     Tick    1 byte: number of TickEnvelopes calls
//     Load    1 byte (voice in bits 4..6, envelope = low nibble modulo 5), 10 parameter bytes
//     Edit    1 byte field index modulo VoiceByteCount, 1 byte value
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/ksynth.h"

using namespace ksynth;

namespace {

constexpr int MaxLen = 100000;
constexpr int MaxOperations = 32;
constexpr std::size_t Guard = 64;
constexpr int MaxLevel = 255 * 256;

enum Operation : uint8_t { Render, Tick, Load, Edit, OperationCount };

// Every single-byte field of a voice in its order: seven plain settings, the
// detune, the 36 curve points, then the renderer's four carried bytes and the
// two channel shifts.
enum VoiceByteIndex : unsigned {
    DetuneByte = 7,
    FirstCurvePoint = DetuneByte + 1,
    FirstTailByte = FirstCurvePoint + 4 * CurvePointCount,
    VoiceByteCount = FirstTailByte + 6,
};

void SetVoiceByte(VoiceState& v, unsigned index, uint8_t value) {
    Relaxed<uint8_t>* const settings[] = {&v.XorSource, &v.PulseWidth, &v.Volume,   &v.Osc1Level,
                                          &v.Osc2Level, &v.Filter,     &v.NoiseMode};
    Relaxed<uint8_t>* const tailBytes[] = {&v.Output,      &v.Osc1Index, &v.Osc2Index,
                                            &v.FilterState, &v.LeftShift, &v.RightShift};
    static_assert(sizeof settings / sizeof settings[0] == DetuneByte);
    static_assert(sizeof tailBytes / sizeof tailBytes[0] == VoiceByteCount - FirstTailByte);
    if (index < DetuneByte) {
        *settings[index] = value;
    } else if (index == DetuneByte) {
        v.Osc2Detune = static_cast<int8_t>(value);
    } else if (index < FirstTailByte) {
        const unsigned point = index - FirstCurvePoint;
        const unsigned curve = point / CurvePointCount;
        v.Curve(curve / 2, curve % 2)[point % CurvePointCount] = value;
    } else {
        *tailBytes[index - FirstTailByte] = value;
    }
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "engine_fuzz: %s\n", what);
    std::abort();
}

class Input {
public:
    Input(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool AtEnd() const { return at_ >= size_; }
    uint8_t Byte() { return AtEnd() ? 0 : data_[at_++]; }
    uint32_t Bytes(int count) {
        uint32_t value = 0;
        for (int b = 0; b < count; ++b) value |= static_cast<uint32_t>(Byte()) << (8 * b);
        return value;
    }
    EnvelopeParams Envelope() {
        EnvelopeParams params{};
        for (auto field : EnvelopeFields) params.*field = Byte();
        return params;
    }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

void CheckLevels() {
    for (const EnvelopeState& env : InstrumentSlots[0].Envelopes) {
        if (env.Level < 0 || env.Level > MaxLevel) Fail("envelope level outside 0..65280");
    }
}

// One render into a buffer with guard bytes on both sides, all filled with `fill`:
// only the first min(len / 4, FramesPerCallback) frames may change.
void RenderChecked(int len, uint8_t fill, std::vector<uint8_t>& written) {
    std::vector<uint8_t> buffer(Guard + static_cast<std::size_t>(len) + Guard, fill);
    uint8_t* const stream = buffer.data() + Guard;
    RenderAudio(nullptr, stream, len);
    const std::size_t bytes = 4 * static_cast<std::size_t>(std::min(len / 4, int{FramesPerCallback}));
    const auto untouched = [fill](uint8_t b) { return b == fill; };
    if (!std::all_of(buffer.begin(), buffer.begin() + Guard, untouched)) Fail("write before the buffer");
    if (!std::all_of(stream + bytes, buffer.data() + buffer.size(), untouched)) Fail("write past the rendered frames");
    written.insert(written.end(), stream, stream + bytes);
    CheckLevels();
}

// Runs the whole input from a reset engine; returns every rendered byte and the
// voice's carried state, for the comparison of two runs.
std::vector<uint8_t> Run(const uint8_t* data, std::size_t size, uint8_t fill) {
    ResetEngine();
    Input in(data, size);
    VoiceState& v = Voices[0];
    v.PhaseStep = in.Bytes(4);
    for (unsigned index = 0; index < VoiceByteCount; ++index) SetVoiceByte(v, index, in.Byte());
    v.Phase = in.Bytes(4);
    for (uint8_t e = 0; e < EnvelopeCount; ++e) LoadEnvelope(0, e, in.Envelope());
    TickCountdown = static_cast<int16_t>(in.Bytes(2));

    std::vector<uint8_t> written;
    for (int op = 0; op < MaxOperations && !in.AtEnd(); ++op) {
        switch (in.Byte() % OperationCount) {
            case Render:
                RenderChecked(static_cast<int>(in.Bytes(3) % (MaxLen + 1)), fill, written);
                break;
            case Tick:
                for (int ticks = in.Byte(); ticks > 0; --ticks) {
                    TickEnvelopes();
                    CheckLevels();
                }
                break;
            case Load: {
                const uint8_t target = in.Byte();
                LoadEnvelope((target >> 4) & 7, (target & 15) % EnvelopeCount, in.Envelope());
                break;
            }
            default: {
                const unsigned index = in.Byte() % VoiceByteCount;
                SetVoiceByte(v, index, in.Byte());
                break;
            }
        }
    }
    const uint32_t phase = v.Phase;
    const int16_t countdown = TickCountdown;
    for (int b = 0; b < 4; ++b) written.push_back(static_cast<uint8_t>(phase >> (8 * b)));
    written.insert(written.end(), {v.FilterState, v.Output, v.Osc1Index, v.Osc2Index, static_cast<uint8_t>(countdown),
                                   static_cast<uint8_t>(countdown >> 8)});
    return written;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    BuildTables();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // Two runs with different fill bytes: a stray write that happens to store the
    // fill byte of one run still changes the other's.
    const std::vector<uint8_t> first = Run(data, size, 0xA5);
    const std::vector<uint8_t> second = Run(data, size, 0x5A);
    if (first != second) Fail("the same input rendered differently");
    return 0;
}
