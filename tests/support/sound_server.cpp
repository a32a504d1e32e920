// The private PulseAudio or PipeWire: configuration written into the folder,
// daemons started in order and waited for until a client sees the null sink.
#include "tests/support/sound_server.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstring>

#include "tests/support/tools.h"

namespace tonare_test {
namespace {

constexpr int LaunchMs = 5000;
constexpr int ReadyMs = 15000;
constexpr int StopMs = 5000;
constexpr int PactlMs = 3000;
constexpr qint64 LogTailBytes = 3000;

// PipeWire's graph runs at the engine's rate, so nothing is resampled and the
// sink's monitor hears exactly what the program rendered.
constexpr const char* PipeWireDropIn = R"(context.properties = {
    default.clock.rate = 44100
    default.clock.allowed-rates = [ 44100 ]
}
context.objects = [
    { factory = adapter
      args = {
          factory.name = support.null-audio-sink
          node.name = "tonare"
          node.description = "TONARE test sink"
          media.class = "Audio/Sink"
          audio.rate = 44100
          audio.position = [ FL FR ]
          object.linger = true
          monitor.channel-volumes = true
      }
    }
]
)";

// No devices, cameras or portal to look for: without a session bus WirePlumber
// would exit. Named to sort after the packaged *-config.lua files it overrides.
constexpr const char* WirePlumberMainDropIn = R"(alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
default_access.properties["enable-flatpak-portal"] = false
)";
constexpr const char* WirePlumberBluetoothDropIn = "bluez_monitor.enabled = false\n";

constexpr const char* AsoundrcToPulse = "pcm.!default { type pulse }\nctl.!default { type pulse }\n";

bool WriteFile(const QString& path, const char* contents) {
    if (!QDir().mkpath(QFileInfo(path).path())) return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const qint64 size = static_cast<qint64>(std::strlen(contents));
    return file.write(contents, size) == size;
}

bool MakePrivateFolder(const QString& path) {
    return QDir().mkpath(path) &&
           QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A connect() that succeeds, unlike the socket file, proves a listening daemon:
// a killed one leaves its file behind.
bool CanConnect(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (static_cast<std::size_t>(name.size()) >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

void Signal(QProcess& process, int signal) {
    if (process.state() != QProcess::NotRunning) ::kill(static_cast<pid_t>(process.processId()), signal);
}

}  // namespace

const char* ServerName(ServerKind kind) {
    switch (kind) {
    case ServerKind::PulseAudio:
        return "pulseaudio";
    case ServerKind::PipeWire:
        return "pipewire";
    case ServerKind::ServerKindCount:
        break;
    }
    return "unknown";
}

SoundServer::SoundServer(ServerKind kind, const QString& folder) : kind_(kind), folder_(folder) {
    if (kind_ == ServerKind::PulseAudio) {
        // Root may run the per-user daemon; it only warns. No D-Bus, no
        // real-time, no idle exit, and the null sink as its only sink.
        daemons_.push_back({"pulseaudio",
                            {"-n", "--daemonize=no", "--exit-idle-time=-1", "--realtime=no", "--use-pid-file=no",
                             "--disallow-exit", "--log-target=stderr",
                             "--load=module-native-protocol-unix auth-anonymous=1 socket=" +
                                 Path("run/pulse/native"),
                             QStringLiteral("--load=module-null-sink sink_name=%1 rate=44100 format=s16le channels=2")
                                 .arg(SinkName)},
                            nullptr});
    } else {
        // WirePlumber links the streams; pipewire-pulse serves the PulseAudio protocol.
        daemons_.push_back({"pipewire", {}, nullptr});
        daemons_.push_back({"wireplumber", {}, nullptr});
        daemons_.push_back({"pipewire-pulse", {}, nullptr});
    }
}

SoundServer::~SoundServer() {
    Stop();
}

QStringList SoundServer::MissingPrograms() const {
    QStringList programs;
    for (const Daemon& daemon : daemons_) programs << daemon.program;
    programs << "pactl" << "parec";
    QStringList missing;
    for (const QString& program : programs) {
        if (QStandardPaths::findExecutable(program).isEmpty()) missing << program;
    }
    return missing;
}

QString SoundServer::Path(const QString& relative) const {
    return QDir(folder_).filePath(relative);
}

QString SoundServer::PulseServer() const {
    return "unix:" + Path("run/pulse/native");
}

QProcessEnvironment SoundServer::ClientEnvironment(QProcessEnvironment base) const {
    base.insert("HOME", folder_);
    base.insert("XDG_RUNTIME_DIR", Path("run"));
    base.insert("XDG_CONFIG_HOME", Path("config"));
    base.insert("XDG_STATE_HOME", Path("state"));
    base.insert("PULSE_RUNTIME_PATH", Path("run/pulse"));
    base.insert("PULSE_SERVER", PulseServer());
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_REMOTE", "PULSE_COOKIE",
                             "PULSE_SINK", "PULSE_SOURCE"}) {
        base.remove(name);
    }
    return base;
}

bool SoundServer::WriteAsoundrc() const {
    return WriteFile(Path(".asoundrc"), AsoundrcToPulse);
}

bool SoundServer::WriteConfiguration() {
    if (!MakePrivateFolder(Path("run")) || !MakePrivateFolder(Path("run/pulse")) ||
        !QDir().mkpath(Path("state"))) {
        return false;
    }
    if (kind_ != ServerKind::PipeWire) return true;
    return WriteFile(Path("config/pipewire/pipewire.conf.d/50-tonare-null-sink.conf"), PipeWireDropIn) &&
           WriteFile(Path("config/wireplumber/main.lua.d/60-tonare-headless.lua"), WirePlumberMainDropIn) &&
           WriteFile(Path("config/wireplumber/bluetooth.lua.d/60-tonare-headless.lua"), WirePlumberBluetoothDropIn);
}

bool SoundServer::Launch(Daemon& daemon) {
    daemon.process = std::make_unique<QProcess>();
    QProcessEnvironment env = ClientEnvironment();
    env.remove("PULSE_SERVER");
    daemon.process->setProcessEnvironment(env);
    daemon.process->setProcessChannelMode(QProcess::MergedChannels);
    daemon.process->setStandardOutputFile(Path(daemon.program + ".log"), QIODevice::Append);
    daemon.process->start(daemon.program, daemon.args);
    if (daemon.process->waitForStarted(LaunchMs)) return true;
    failure_ = daemon.program + " did not start: " + daemon.process->errorString();
    return false;
}

bool SoundServer::WaitForPipeWireSocket() {
    const QString socket = Path("run/pipewire-0");
    QProcess& pipewire = *daemons_.front().process;
    const bool up = WaitUntil([&] { return CanConnect(socket) || pipewire.state() == QProcess::NotRunning; },
                              ReadyMs) &&
                    pipewire.state() != QProcess::NotRunning;
    if (!up) failure_ = "pipewire did not listen on " + socket;
    return up;
}

bool SoundServer::WaitForDefaultSink() {
    const QString expected = QStringLiteral("Default Sink: %1").arg(SinkName);
    QString ended;
    const bool ready = WaitUntil(
        [&] {
            for (const Daemon& daemon : daemons_) {
                if (daemon.process->state() == QProcess::NotRunning) {
                    ended = QStringLiteral("%1 exited with status %2")
                                .arg(daemon.program)
                                .arg(daemon.process->exitCode());
                    return true;
                }
            }
            const ToolResult info = RunTool("pactl", {"info"}, ClientEnvironment(), PactlMs);
            return info.exitCode == 0 && QString::fromLocal8Bit(info.out).contains(expected);
        },
        ReadyMs);
    if (!ended.isEmpty()) {
        failure_ = ended;
        return false;
    }
    if (!ready) failure_ = "no client saw \"" + expected + "\" in time";
    return ready;
}

bool SoundServer::Start() {
    failure_.clear();
    if (!WriteConfiguration()) {
        failure_ = "cannot write the server's folders under " + folder_;
        return false;
    }
    for (std::size_t d = 0; d < daemons_.size(); ++d) {
        if (!Launch(daemons_[d])) return false;
        // WirePlumber and pipewire-pulse need a listening pipewire.
        if (kind_ == ServerKind::PipeWire && d == 0 && !WaitForPipeWireSocket()) return false;
    }
    return WaitForDefaultSink();
}

void SoundServer::Stop() {
    for (auto daemon = daemons_.rbegin(); daemon != daemons_.rend(); ++daemon) {
        if (!daemon->process || daemon->process->state() == QProcess::NotRunning) continue;
        Signal(*daemon->process, SIGCONT);
        daemon->process->kill();
        daemon->process->waitForFinished(StopMs);
    }
}

void SoundServer::Freeze() {
    for (Daemon& daemon : daemons_) {
        if (daemon.process) Signal(*daemon.process, SIGSTOP);
    }
}

void SoundServer::Thaw() {
    for (Daemon& daemon : daemons_) {
        if (daemon.process) Signal(*daemon.process, SIGCONT);
    }
}

QString SoundServer::Log() const {
    QString log = failure_;
    for (const Daemon& daemon : daemons_) {
        QFile file(Path(daemon.program + ".log"));
        if (!file.open(QIODevice::ReadOnly)) continue;
        if (file.size() > LogTailBytes) file.seek(file.size() - LogTailBytes);
        log += "\n--- " + daemon.program + ":\n" + QString::fromLocal8Bit(file.readAll());
    }
    return log;
}

}  // namespace tonare_test
