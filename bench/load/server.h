// The private sound server a load run plays through: PulseAudio, or PipeWire with
// WirePlumber and pipewire-pulse, each with a null sink "tonare" at 44100 Hz and
// all its files in one folder. Shaped like the sound-server tests' support
// class, so the benchmark can switch to that one once it is shared.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace load_bench {

enum class ServerKind { PulseAudio, PipeWire, ServerKindCount };

const char* ServerName(ServerKind kind);

class SoundServer {
public:
    static constexpr const char* MonitorName = "tonare.monitor";

    SoundServer(ServerKind kind, const QString& folder);
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    bool Start();   // false with Log() saying why
    void Stop();
    QString Log() const { return failure_; }
    // HOME, the XDG folders and PULSE_SERVER of this server; no D-Bus.
    QProcessEnvironment ClientEnvironment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;
    // ~/.asoundrc whose default PCM goes to this server through ALSA's pulse plugin.
    bool WriteAsoundrc() const;

private:
    QString Path(const QString& relative) const;
    bool WriteConfiguration() const;

    ServerKind kind_;
    QString folder_;
    std::vector<std::pair<QString, QStringList>> commands_;
    std::vector<std::unique_ptr<QProcess>> processes_;
    QString failure_;
};

}  // namespace load_bench
