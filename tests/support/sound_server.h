// A private sound server for tests that play through a real one: PulseAudio, or
// PipeWire with WirePlumber and its PulseAudio service, headless, with a null
// sink "tonare" at 44100 Hz, every file of it inside a given temporary folder.
// Clients reach it through the PulseAudio protocol, SDL's alsa driver through
// ALSA's pulse plugin (WriteAsoundrc).
//
// Typical use, with a QTemporaryDir `tmp` that outlives the server:
//   tonare_test::Xvfb xvfb;                                   // xvfb.h
//   tonare_test::SoundServer server(tonare_test::ServerKind::PipeWire, tmp.path());
//   xvfb.Start(); server.WriteAsoundrc(); server.Start();     // each false on failure
//   QProcessEnvironment env = server.ClientEnvironment(xvfb.Environment());
//   env.insert("SDL_AUDIODRIVER", "alsa");                    // or "pulse"
//   tonare_test::MonitorCapture capture(server, tmp.filePath("capture.raw"));  // capture.h
//   tonare_test::ProgramUnderTest program(TONARE_KURVIL);     // program.h
//   capture.Start(); QString window = program.StartAndWaitForWindow(env);
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

namespace tonare_test {

enum class ServerKind { PulseAudio, PipeWire, ServerKindCount };

inline constexpr std::array<ServerKind, static_cast<std::size_t>(ServerKind::ServerKindCount)> ServerKinds = {
    ServerKind::PulseAudio, ServerKind::PipeWire};

// "pulseaudio" or "pipewire": the name tests and ctest entries carry.
const char* ServerName(ServerKind kind);

class SoundServer {
public:
    static constexpr const char* SinkName = "tonare";
    static constexpr const char* MonitorName = "tonare.monitor";

    // `folder` must exist and stay until the server is destroyed; the server's
    // runtime, configuration, state and logs go below it, and clients get it as HOME.
    SoundServer(ServerKind kind, const QString& folder);
    ~SoundServer();   // thaws and kills every process of the server
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    // The server's programs and the client tools (pactl, parec) not installed:
    // a test cannot run without them, so it skips and names them.
    QStringList MissingPrograms() const;

    // Starts the server and waits until it serves the PulseAudio protocol with
    // the null sink as default. False, with Log() telling why, when it did not.
    bool Start();
    // Kills every process of the server (SIGKILL, as a crash would) and waits.
    void Stop();
    bool Restart() { Stop(); return Start(); }
    // SIGSTOP / SIGCONT to every process of the server: a server that hangs.
    void Freeze();
    void Thaw();

    ServerKind Kind() const { return kind_; }
    // "unix:<socket>" of the PulseAudio protocol.
    QString PulseServer() const;
    // The end of each process's output and the reason of a failed Start.
    QString Log() const;

    // `base` with everything a client needs to find this server and nothing of
    // the user's session: HOME, the XDG folders, PULSE_SERVER, no D-Bus.
    QProcessEnvironment ClientEnvironment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;

    // Writes ~/.asoundrc (in the client HOME) whose default PCM and control go to
    // this server through ALSA's pulse plugin; false when it cannot be written.
    bool WriteAsoundrc() const;

private:
    struct Daemon {
        QString program;
        QStringList args;
        std::unique_ptr<QProcess> process;
    };

    bool WriteConfiguration();
    bool Launch(Daemon& daemon);
    bool WaitForPipeWireSocket();
    bool WaitForDefaultSink();
    QString Path(const QString& relative) const;

    ServerKind kind_;
    QString folder_;
    std::vector<Daemon> daemons_;   // in start order
    QString failure_;
};

}  // namespace tonare_test
