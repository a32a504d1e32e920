// Envelope generator: five four-step linear envelopes per instrument slot,
// advanced once per tick by the renderer.
#include "engine/ksynth.h"

namespace ksynth {
namespace {

// Puts an envelope at the start of its first step, from its loaded lengths and targets.
void StartEnvelope(EnvelopeState& env) {
    env.Level = 0;
    int previous = 0;
    for (int j = 0; j < StepCount; ++j) {
        const int length = env.StepLength[j];
        const int target = env.StepTarget[j];
        env.StepRemaining[j] = length;
        env.StepIncrement[j] = (target - previous) * 256;
        if (length > 0) {
            env.StepIncrement[j] /= length;
        } else if (j == 0) {
            env.Level = target * 256;   // a first step of length 0 jumps to its value
        }
        previous = target;
    }
}

void AdvanceEnvelope(EnvelopeState& env) {
    int j = 0;
    while (j < StepCount && env.StepRemaining[j] <= 0) ++j;
    if (j == StepCount) {
        if (env.Repeat) StartEnvelope(env);
        return;
    }
    // Each step runs from the value of the step before it, also when a step of
    // length 0 lies between them; otherwise Level could leave 0..65280 and wrap.
    if (j > 0 && env.StepRemaining[j] == env.StepLength[j]) env.Level = env.StepTarget[j - 1] * 256;
    env.Level += env.StepIncrement[j];
    if (--env.StepRemaining[j] == 0) env.Level = env.StepTarget[j] * 256;
}

uint8_t OutputByte(const EnvelopeState& env) {
    return static_cast<uint8_t>(env.Level / 256);
}

}  // namespace

void LoadEnvelope(uint8_t voice, uint8_t envelope, const EnvelopeParams& params) {
    EnvelopeState& env = InstrumentSlots[VoiceInstrument[voice]].Envelopes[envelope];
    env.StepLength = {params.Step1Length, params.Step2Length, params.Step3Length, params.Step4Length};
    env.StepTarget = {params.Step1Value, params.Step2Value, params.Step3Value, params.Step4Value};
    StartEnvelope(env);
    env.Invert = params.Invert;
    env.Repeat = params.Repeat != 0 ? 1 : 0;
    TickCountdown = 0;
}

void TickEnvelopes() {
    auto& envelopes = InstrumentSlots[VoiceInstrument[0]].Envelopes;
    for (EnvelopeState& env : envelopes) AdvanceEnvelope(env);

    VoiceState& voice = Voices[0];
    voice.Volume = OutputByte(envelopes[0]) ^ envelopes[0].Invert;
    voice.Osc1Level = OutputByte(envelopes[1]) ^ envelopes[1].Invert;
    voice.Osc2Level = OutputByte(envelopes[2]) ^ envelopes[2].Invert;
    voice.PulseWidth = OutputByte(envelopes[3]) ^ envelopes[3].Invert;
    // The filter passes the sound at 255, so its envelope is reversed.
    voice.Filter = OutputByte(envelopes[4]) ^ static_cast<uint8_t>(~envelopes[4].Invert);
}

}  // namespace ksynth
