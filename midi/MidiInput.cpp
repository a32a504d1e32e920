// The ALSA sequencer client: opening, the automatic connections from hardware
// sources and the non-blocking read loop.
#include "midi/MidiInput.h"

#include <poll.h>

#include <cerrno>

namespace midi {
namespace {

void IgnoreLibraryMessage(const char*, int, const char*, int, const char*, ...) {}

// alsa-lib prints its own line on standard error when the sequencer is missing;
// our caller reports the failure once, in its own words, so that line is held back.
int OpenQuietly(snd_seq_t** seq) {
    const snd_lib_error_handler_t previous = snd_lib_error;
    snd_lib_error_set_handler(IgnoreLibraryMessage);
    const int err = snd_seq_open(seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK);
    snd_lib_error_set_handler(previous);
    return err;
}

}  // namespace

bool IsHardwareMidiSource(int client, unsigned capability, unsigned type, int ownClient) {
    constexpr unsigned readable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    return client != ownClient && client != SND_SEQ_CLIENT_SYSTEM &&
           (capability & readable) == readable && (capability & SND_SEQ_PORT_CAP_NO_EXPORT) == 0 &&
           (type & SND_SEQ_PORT_TYPE_HARDWARE) != 0;
}

MidiInput::~MidiInput() { Close(); }

bool MidiInput::Fail(const char* what, int err) {
    error_ = std::string(what) + ": " + snd_strerror(err);
    Close();
    return false;
}

bool MidiInput::Open() {
    Close();
    error_.clear();
    int err = OpenQuietly(&seq_);
    if (err < 0) {
        seq_ = nullptr;
        return Fail("cannot open the ALSA sequencer", err);
    }
    if ((err = snd_seq_set_client_name(seq_, ClientName)) < 0)
        return Fail("cannot name the sequencer client", err);
    client_ = snd_seq_client_id(seq_);
    if (client_ < 0)
        return Fail("cannot read the sequencer client id", client_);
    port_ = snd_seq_create_simple_port(seq_, PortName,
                                       SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port_ < 0)
        return Fail("cannot create the sequencer port", port_);
    // Port starts and exits of every client arrive from System:Announce.
    if ((err = snd_seq_connect_from(seq_, port_, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE)) < 0)
        return Fail("cannot listen on System:Announce", err);
    ConnectPresentSources();
    return true;
}

void MidiInput::Close() {
    if (seq_ != nullptr)
        snd_seq_close(seq_);
    seq_ = nullptr;
    client_ = -1;
    port_ = -1;
}

void MidiInput::ConnectIfHardwareSource(int client, int port) {
    snd_seq_port_info_t* info = nullptr;
    snd_seq_port_info_alloca(&info);
    if (snd_seq_get_any_port_info(seq_, client, port, info) < 0)
        return;  // gone again already
    if (IsHardwareMidiSource(client, snd_seq_port_info_get_capability(info),
                             snd_seq_port_info_get_type(info), client_))
        snd_seq_connect_from(seq_, port_, client, port);  // a refused source is simply not heard
}

void MidiInput::ConnectPresentSources() {
    snd_seq_client_info_t* clientInfo = nullptr;
    snd_seq_port_info_t* portInfo = nullptr;
    snd_seq_client_info_alloca(&clientInfo);
    snd_seq_port_info_alloca(&portInfo);
    snd_seq_client_info_set_client(clientInfo, -1);
    while (snd_seq_query_next_client(seq_, clientInfo) >= 0) {
        const int client = snd_seq_client_info_get_client(clientInfo);
        snd_seq_port_info_set_client(portInfo, client);
        snd_seq_port_info_set_port(portInfo, -1);
        while (snd_seq_query_next_port(seq_, portInfo) >= 0) {
            if (IsHardwareMidiSource(client, snd_seq_port_info_get_capability(portInfo),
                                     snd_seq_port_info_get_type(portInfo), client_))
                snd_seq_connect_from(seq_, port_, client, snd_seq_port_info_get_port(portInfo));
        }
    }
}

std::vector<int> MidiInput::PollDescriptors() const {
    if (seq_ == nullptr)
        return {};
    const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
    if (count <= 0)
        return {};
    std::vector<pollfd> fds(static_cast<std::size_t>(count));
    const int filled = snd_seq_poll_descriptors(seq_, fds.data(), static_cast<unsigned>(count), POLLIN);
    std::vector<int> result;
    for (int i = 0; i < filled; ++i)
        result.push_back(fds[static_cast<std::size_t>(i)].fd);
    return result;
}

void MidiInput::Drain(const std::function<void(const MidiAction&)>& onAction) {
    if (seq_ == nullptr)
        return;
    for (;;) {
        snd_seq_event_t* event = nullptr;
        const int result = snd_seq_event_input(seq_, &event);
        if (result == -ENOSPC)
            continue;  // the kernel queue overflowed and dropped events; read on
        if (result < 0 || event == nullptr)
            break;  // -EAGAIN: nothing more waits
        if (event->type == SND_SEQ_EVENT_PORT_START) {
            ConnectIfHardwareSource(event->data.addr.client, event->data.addr.port);
            continue;
        }
        if (const auto action = DecodeMidiEvent(*event))
            onAction(*action);
    }
}

}  // namespace midi
