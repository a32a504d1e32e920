// Turns ALSA sequencer events into the two things a MIDI keyboard can ask of the
// instrument: play one note, or stop. Pure; knows nothing of the sequencer handle.
#pragma once

#include <alsa/asoundlib.h>

#include <optional>

namespace midi {

inline constexpr int MidiNotesPerOctave = 12;
// MIDI note 12 (C0 in the scientific naming) starts octave index 0, so note 69
// (A 440 Hz) lands on octave index 4 like the engine's A.
inline constexpr int FirstMidiOctave = 1;
inline constexpr int OctaveIndexCount = 8;
inline constexpr int ControllerAllSoundOff = 120;
inline constexpr int ControllerAllNotesOff = 123;

enum class MidiActionKind { Play, Stop };

struct MidiAction {
    MidiActionKind kind = MidiActionKind::Stop;
    int semitone = 0;     // 0..11, C to B; Play only
    int octaveIndex = 0;  // 0..7; Play only

    friend bool operator==(const MidiAction&, const MidiAction&) = default;
};

// Note On with velocity > 0 on any channel plays its note when its octave index
// is 0..7; controllers 120 and 123 on any channel stop; everything else,
// Note Off and Note On with velocity 0 included, gives nothing.
std::optional<MidiAction> DecodeMidiEvent(const snd_seq_event_t& event);

}  // namespace midi
