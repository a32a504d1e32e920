// The MIDI decoder on hand-made sequencer events, and the rule that picks the
// ports connected automatically.
#include "midi/MidiInput.h"
#include "midi/decode.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace {

using midi::DecodeMidiEvent;
using midi::MidiAction;
using midi::MidiActionKind;

snd_seq_event_t NoteOn(int channel, int note, int velocity) {
    snd_seq_event_t event{};
    snd_seq_ev_set_noteon(&event, channel, note, velocity);
    return event;
}

snd_seq_event_t NoteOff(int channel, int note) {
    snd_seq_event_t event{};
    snd_seq_ev_set_noteoff(&event, channel, note, 64);
    return event;
}

snd_seq_event_t Controller(int channel, int number, int value) {
    snd_seq_event_t event{};
    snd_seq_ev_set_controller(&event, channel, number, value);
    return event;
}

snd_seq_event_t ProgramChange(int channel, int program) {
    snd_seq_event_t event{};
    snd_seq_ev_set_pgmchange(&event, channel, program);
    return event;
}

snd_seq_event_t PitchBend(int channel, int value) {
    snd_seq_event_t event{};
    snd_seq_ev_set_pitchbend(&event, channel, value);
    return event;
}

const std::optional<MidiAction> Nothing = std::nullopt;
MidiAction Play(int semitone, int octaveIndex) { return {MidiActionKind::Play, semitone, octaveIndex}; }
const MidiAction Stop{MidiActionKind::Stop};

struct DecodeCase {
    std::string name;
    snd_seq_event_t event;
    std::optional<MidiAction> expected;
};

void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.name; }

class Decode : public testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, GivesTheExpectedAction) {
    const auto& c = GetParam();
    const auto action = DecodeMidiEvent(c.event);
    ASSERT_EQ(action.has_value(), c.expected.has_value());
    if (action) {
        EXPECT_EQ(action->kind, c.expected->kind);
        if (action->kind == MidiActionKind::Play) {
            EXPECT_EQ(action->semitone, c.expected->semitone);
            EXPECT_EQ(action->octaveIndex, c.expected->octaveIndex);
        }
    }
}

// Semitone 9 is A, 0 is C, 11 is B; octave index 4 holds A 440 Hz.
INSTANTIATE_TEST_SUITE_P(Events, Decode, testing::Values(
    DecodeCase{"A440", NoteOn(0, 69, 100), Play(9, 4)},
    DecodeCase{"MiddleC", NoteOn(0, 60, 100), Play(0, 4)},
    DecodeCase{"LowestPlayedC", NoteOn(0, 12, 100), Play(0, 0)},
    DecodeCase{"HighestPlayedB", NoteOn(0, 107, 1), Play(11, 7)},
    DecodeCase{"BelowOctaveZero", NoteOn(0, 11, 100), Nothing},
    DecodeCase{"NoteZero", NoteOn(0, 0, 100), Nothing},
    DecodeCase{"AboveOctaveSeven", NoteOn(0, 108, 100), Nothing},
    DecodeCase{"TopNote", NoteOn(0, 127, 100), Nothing},
    DecodeCase{"VelocityZero", NoteOn(0, 69, 0), Nothing},
    DecodeCase{"NoteOff", NoteOff(0, 69), Nothing},
    DecodeCase{"AllNotesOff", Controller(0, 123, 0), Stop},
    DecodeCase{"AllSoundOff", Controller(0, 120, 0), Stop},
    DecodeCase{"ModWheel", Controller(0, 1, 64), Nothing},
    DecodeCase{"ResetAllControllers", Controller(0, 121, 0), Nothing},
    DecodeCase{"Sustain", Controller(0, 64, 127), Nothing},
    DecodeCase{"Channel10Note", NoteOn(9, 69, 100), Play(9, 4)},
    DecodeCase{"Channel16Note", NoteOn(15, 61, 100), Play(1, 4)},
    DecodeCase{"Channel16VelocityZero", NoteOn(15, 69, 0), Nothing},
    DecodeCase{"Channel5AllNotesOff", Controller(4, 123, 0), Stop},
    DecodeCase{"Channel16AllSoundOff", Controller(15, 120, 0), Stop},
    DecodeCase{"ProgramChange", ProgramChange(0, 123), Nothing},
    DecodeCase{"PitchBend", PitchBend(0, 123), Nothing}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return info.param.name; });

struct SourceCase {
    std::string name;
    int client;
    unsigned capability;
    unsigned type;
    bool connected;
};

void PrintTo(const SourceCase& c, std::ostream* out) { *out << c.name; }

class HardwareSource : public testing::TestWithParam<SourceCase> {};

constexpr int OwnClient = 128;
constexpr unsigned Readable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned HardwareMidi = SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_HARDWARE;

TEST_P(HardwareSource, IsConnectedOnlyWhenReadableHardwareOfAnotherClient) {
    const auto& c = GetParam();
    EXPECT_EQ(midi::IsHardwareMidiSource(c.client, c.capability, c.type, OwnClient), c.connected);
}

INSTANTIATE_TEST_SUITE_P(Ports, HardwareSource, testing::Values(
    SourceCase{"UsbKeyboard", 20, Readable | SND_SEQ_PORT_CAP_DUPLEX, HardwareMidi | SND_SEQ_PORT_TYPE_PORT, true},
    SourceCase{"HardwareOnlyType", 24, Readable, SND_SEQ_PORT_TYPE_HARDWARE, true},
    SourceCase{"SoftwarePort", 129, Readable, SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION, false},
    SourceCase{"MidiThrough", 14, Readable | SND_SEQ_PORT_CAP_WRITE, SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_PORT, false},
    SourceCase{"NotSubscribable", 20, SND_SEQ_PORT_CAP_READ, HardwareMidi, false},
    SourceCase{"OutputOnly", 20, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE, HardwareMidi, false},
    SourceCase{"Hidden", 20, Readable | SND_SEQ_PORT_CAP_NO_EXPORT, HardwareMidi, false},
    SourceCase{"SystemClient", SND_SEQ_CLIENT_SYSTEM, Readable, HardwareMidi, false},
    SourceCase{"Ourselves", OwnClient, Readable, HardwareMidi, false}),
    [](const testing::TestParamInfo<SourceCase>& info) { return info.param.name; });

}  // namespace
