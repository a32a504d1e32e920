// What the MIDI end-to-end test sees of the guest's ALSA sequencer: ports found by name, who
// sends to a port, kernel MIDI drivers loaded and unloaded, raw MIDI bytes written to a card.
#pragma once

#include <alsa/asoundlib.h>

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vm_test {

using SeqAddress = std::pair<int, int>;  // client, port

inline const SeqAddress SystemAnnounce{SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE};

// A client of our own: it looks at the graph and may own a software port.
class SequencerWatch {
public:
    SequencerWatch() {
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0) seq_ = nullptr;
        if (seq_ != nullptr) snd_seq_set_client_name(seq_, "vm test watch");
    }
    ~SequencerWatch() {
        if (seq_ != nullptr) snd_seq_close(seq_);
    }
    SequencerWatch(const SequencerWatch&) = delete;
    SequencerWatch& operator=(const SequencerWatch&) = delete;

    bool Ok() const { return seq_ != nullptr; }

    // A readable port typed as an application's, as a software player offers.
    std::optional<SeqAddress> CreateSoftwarePort() {
        const int port = snd_seq_create_simple_port(seq_, "player", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                                    SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        if (port < 0) return std::nullopt;
        return SeqAddress{snd_seq_client_id(seq_), port};
    }

    // The first port whose client and port names are these.
    std::optional<SeqAddress> FindPort(const std::string& clientName, const std::string& portName) {
        std::optional<SeqAddress> found;
        ForEachPort([&](int client, const char* cname, const snd_seq_port_info_t* port) {
            if (!found && clientName == cname && portName == snd_seq_port_info_get_name(port))
                found = SeqAddress{client, snd_seq_port_info_get_port(port)};
        });
        return found;
    }

    // Every readable port that is not hidden, with the sequencer's type bits.
    std::vector<std::pair<SeqAddress, unsigned>> ReadablePorts() {
        std::vector<std::pair<SeqAddress, unsigned>> ports;
        ForEachPort([&](int client, const char*, const snd_seq_port_info_t* port) {
            const unsigned caps = snd_seq_port_info_get_capability(port);
            if ((caps & SND_SEQ_PORT_CAP_SUBS_READ) != 0 && (caps & SND_SEQ_PORT_CAP_NO_EXPORT) == 0)
                ports.push_back({{client, snd_seq_port_info_get_port(port)}, snd_seq_port_info_get_type(port)});
        });
        return ports;
    }

    // The ports subscribed to send to this one.
    std::set<SeqAddress> SendersTo(SeqAddress port) {
        std::set<SeqAddress> senders;
        snd_seq_query_subscribe_t* query = nullptr;
        snd_seq_query_subscribe_alloca(&query);
        const snd_seq_addr_t root{static_cast<unsigned char>(port.first), static_cast<unsigned char>(port.second)};
        snd_seq_query_subscribe_set_root(query, &root);
        snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_WRITE);
        snd_seq_query_subscribe_set_index(query, 0);
        while (snd_seq_query_port_subscribers(seq_, query) >= 0) {
            const snd_seq_addr_t* sender = snd_seq_query_subscribe_get_addr(query);
            senders.insert({sender->client, sender->port});
            snd_seq_query_subscribe_set_index(query, snd_seq_query_subscribe_get_index(query) + 1);
        }
        return senders;
    }

private:
    void ForEachPort(const std::function<void(int, const char*, const snd_seq_port_info_t*)>& visit) {
        snd_seq_client_info_t* clientInfo = nullptr;
        snd_seq_port_info_t* portInfo = nullptr;
        snd_seq_client_info_alloca(&clientInfo);
        snd_seq_port_info_alloca(&portInfo);
        snd_seq_client_info_set_client(clientInfo, -1);
        while (snd_seq_query_next_client(seq_, clientInfo) >= 0) {
            const int client = snd_seq_client_info_get_client(clientInfo);
            snd_seq_port_info_set_client(portInfo, client);
            snd_seq_port_info_set_port(portInfo, -1);
            while (snd_seq_query_next_port(seq_, portInfo) >= 0)
                visit(client, snd_seq_client_info_get_name(clientInfo), portInfo);
        }
    }

    snd_seq_t* seq_ = nullptr;
};

// Runs modprobe in the guest; the output says why when it fails.
inline std::pair<bool, std::string> Modprobe(const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("modprobe", args);
    const bool finished = process.waitForFinished(30000);
    const std::string said = process.readAll().toStdString();
    return {finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
            "modprobe " + args.join(' ').toStdString() + ": " + said};
}

// Writes raw MIDI bytes to the first device of a sound card, as a keyboard's cable would bring them.
inline bool WriteMidiBytes(int card, const std::vector<uint8_t>& bytes) {
    snd_rawmidi_t* out = nullptr;
    const std::string name = "hw:" + std::to_string(card) + ",0";
    if (snd_rawmidi_open(nullptr, &out, name.c_str(), 0) < 0) return false;
    const bool written = snd_rawmidi_write(out, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    snd_rawmidi_drain(out);
    snd_rawmidi_close(out);
    return written;
}

}  // namespace vm_test
