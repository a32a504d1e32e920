// Pitch lookup and the note start for the piano keys.
#include "engine/ksynth.h"

namespace ksynth {

uint32_t NoteToPhaseStep(uint8_t note, uint8_t octave) {
    // The note byte keeps only the low 8 bits of 256..511 Hz; put bit 8 back,
    // then scale from octave index 4 by powers of two.
    const unsigned hertz = ((256u + note) * 8u) >> (7u - octave);
    return FrequencyTable[hertz];
}

void StartNote(uint32_t phaseStep, const std::array<EnvelopeParams, EnvelopeCount>& envelopes) {
    VoiceState& voice = Voices[0];
    voice.PhaseStep = phaseStep;
    // No XOR source, no pulse inversion until the next tick, tonal positions,
    // both channels at full level.
    voice.XorSource = 0;
    voice.PulseWidth = 0;
    voice.NoiseMode = 0;
    voice.LeftShift = 0;
    voice.RightShift = 0;
    for (uint8_t e = 0; e < EnvelopeCount; ++e) LoadEnvelope(0, e, envelopes[e]);
}

}  // namespace ksynth
