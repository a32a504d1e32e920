// The program's ALSA sequencer client: one writable port that hardware MIDI
// sources are connected to, now and when plugged in later. Non-blocking; the
// owner polls its descriptors and drains it on its own thread.
#pragma once

#include "midi/decode.h"

#include <functional>
#include <string>
#include <vector>

namespace midi {

inline constexpr const char* ClientName = "TONARE Wave Generator";
inline constexpr const char* PortName = "MIDI In";

// A port is connected automatically when it belongs to another, non-system
// client, can be read and subscribed to, is not hidden, and is typed as
// hardware: kernel MIDI devices (USB keyboards, sound-card MIDI ports) are;
// software players connect themselves to our port.
bool IsHardwareMidiSource(int client, unsigned capability, unsigned type, int ownClient);

class MidiInput {
public:
    MidiInput() = default;
    ~MidiInput();
    MidiInput(const MidiInput&) = delete;
    MidiInput& operator=(const MidiInput&) = delete;

    // Opens the sequencer without blocking, creates the port, listens on
    // System:Announce and connects every hardware MIDI source present.
    // On failure returns false, Error() says why and the object stays closed.
    bool Open();
    void Close();
    bool IsOpen() const { return seq_ != nullptr; }
    const std::string& Error() const { return error_; }

    int ClientId() const { return client_; }
    int PortId() const { return port_; }

    // Descriptors that become readable when events wait; empty when closed.
    std::vector<int> PollDescriptors() const;

    // Reads every pending event without blocking: connects newly announced
    // hardware sources and hands each decoded note or stop to onAction.
    void Drain(const std::function<void(const MidiAction&)>& onAction);

private:
    void ConnectIfHardwareSource(int client, int port);
    void ConnectPresentSources();
    bool Fail(const char* what, int err);

    snd_seq_t* seq_ = nullptr;
    int client_ = -1;
    int port_ = -1;
    std::string error_;
};

}  // namespace midi
