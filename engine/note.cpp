// Pitch lookup for the piano keys.
#include "engine/ksynth.h"

namespace ksynth {

uint32_t NoteToPhaseStep(uint8_t note, uint8_t octave) {
    // The note byte keeps only the low 8 bits of 256..511 Hz; put bit 8 back,
    // then scale from octave index 4 by powers of two.
    const unsigned hertz = ((256u + note) * 8u) >> (7u - octave);
    return FrequencyTable[hertz];
}

}  // namespace ksynth
