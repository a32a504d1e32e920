// The MIDI event decoder: note numbers to semitone and octave index, the two
// "all off" controllers to stop.
#include "midi/decode.h"

namespace midi {

std::optional<MidiAction> DecodeMidiEvent(const snd_seq_event_t& event) {
    switch (event.type) {
    case SND_SEQ_EVENT_NOTEON: {
        // A Note On with velocity 0 is a Note Off, and releases do nothing here.
        if (event.data.note.velocity == 0)
            return std::nullopt;
        const int note = event.data.note.note;
        const int octaveIndex = note / MidiNotesPerOctave - FirstMidiOctave;
        if (octaveIndex < 0 || octaveIndex >= OctaveIndexCount)
            return std::nullopt;
        return MidiAction{MidiActionKind::Play, note % MidiNotesPerOctave, octaveIndex};
    }
    case SND_SEQ_EVENT_CONTROLLER:
        if (event.data.control.param == ControllerAllSoundOff ||
            event.data.control.param == ControllerAllNotesOff)
            return MidiAction{MidiActionKind::Stop};
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

}  // namespace midi
