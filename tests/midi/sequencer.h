// Test helpers for the real ALSA sequencer: the skip where it is missing and a
// second client playing into the program's port.
#pragma once

#include "midi/MidiInput.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

namespace midi_test {

using midi::MidiInput;

constexpr unsigned SoftwareType = SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION;
constexpr unsigned HardwareType = SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_HARDWARE;

constexpr const char* SequencerDevice = "/dev/snd/seq";
// Only a bound on waiting for the kernel to deliver; nothing is timed.
constexpr auto DeliveryTimeout = std::chrono::seconds(5);
constexpr int PollSliceMs = 50;

inline bool SequencerPresent() { return std::filesystem::exists(SequencerDevice); }

#define SKIP_WITHOUT_SEQUENCER()                                                    \
    if (!SequencerPresent())                                                        \
    GTEST_SKIP() << "no ALSA sequencer: " << SequencerDevice << " is missing"

// Another program's client with one readable port, playing to its subscribers.
class Sender {
public:
    explicit Sender(unsigned type) {
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0) {
            seq_ = nullptr;
            return;
        }
        snd_seq_set_client_name(seq_, "test sender");
        port_ = snd_seq_create_simple_port(seq_, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ, type);
    }
    ~Sender() {
        if (seq_ != nullptr)
            snd_seq_close(seq_);
    }
    bool Ok() const { return seq_ != nullptr && port_ >= 0; }

    bool ConnectTo(const MidiInput& input) {
        return snd_seq_connect_to(seq_, port_, input.ClientId(), input.PortId()) >= 0;
    }

    bool IsConnectedTo(const MidiInput& input) {
        snd_seq_port_subscribe_t* subscription = nullptr;
        snd_seq_port_subscribe_alloca(&subscription);
        const snd_seq_addr_t from{static_cast<unsigned char>(snd_seq_client_id(seq_)),
                                  static_cast<unsigned char>(port_)};
        const snd_seq_addr_t to{static_cast<unsigned char>(input.ClientId()),
                                static_cast<unsigned char>(input.PortId())};
        snd_seq_port_subscribe_set_sender(subscription, &from);
        snd_seq_port_subscribe_set_dest(subscription, &to);
        return snd_seq_get_port_subscription(seq_, subscription) == 0;
    }

    // Sends at once, unqueued, to every subscriber of the port.
    int Send(const std::function<void(snd_seq_event_t*)>& fill) {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        snd_seq_ev_set_source(&event, port_);
        snd_seq_ev_set_subs(&event);
        snd_seq_ev_set_direct(&event);
        fill(&event);
        return snd_seq_event_output_direct(seq_, &event);
    }

private:
    snd_seq_t* seq_ = nullptr;
    int port_ = -1;
};

}  // namespace midi_test
