// Starting and stopping the private server of a load run.
#include "bench/load/server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace load_bench {
namespace {

constexpr int LaunchMs = 5000;
constexpr int ReadyMs = 15000;
constexpr int PollMs = 100;

// The graph at the engine's rate: the monitor hears the program's frames unchanged.
constexpr const char* PipeWireDropIn = R"(context.properties = {
    default.clock.rate = 44100
    default.clock.allowed-rates = [ 44100 ]
}
context.objects = [
    { factory = adapter
      args = {
          factory.name = support.null-audio-sink
          node.name = "tonare"
          node.description = "TONARE bench sink"
          media.class = "Audio/Sink"
          audio.rate = 44100
          audio.position = [ FL FR ]
          object.linger = true
          monitor.channel-volumes = true
      }
    }
]
)";
// Headless WirePlumber: no devices to look for and no portal.
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
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) >= 0;
}

}  // namespace

const char* ServerName(ServerKind kind) {
    return kind == ServerKind::PulseAudio ? "pulseaudio" : "pipewire";
}

SoundServer::SoundServer(ServerKind kind, const QString& folder) : kind_(kind), folder_(folder) {
    if (kind_ == ServerKind::PulseAudio) {
        commands_.push_back({"pulseaudio",
                             {"-n", "--daemonize=no", "--exit-idle-time=-1", "--realtime=no", "--use-pid-file=no",
                              "--disallow-exit", "--log-target=stderr",
                              "--load=module-native-protocol-unix auth-anonymous=1 socket=" + Path("run/pulse/native"),
                              "--load=module-null-sink sink_name=tonare rate=44100 format=s16le channels=2"}});
    } else {
        commands_.push_back({"pipewire", {}});
        commands_.push_back({"wireplumber", {}});
        commands_.push_back({"pipewire-pulse", {}});
    }
}

SoundServer::~SoundServer() {
    Stop();
}

QString SoundServer::Path(const QString& relative) const {
    return QDir(folder_).filePath(relative);
}

QProcessEnvironment SoundServer::ClientEnvironment(QProcessEnvironment base) const {
    base.insert("HOME", folder_);
    base.insert("XDG_RUNTIME_DIR", Path("run"));
    base.insert("XDG_CONFIG_HOME", Path("config"));
    base.insert("XDG_STATE_HOME", Path("state"));
    base.insert("PULSE_RUNTIME_PATH", Path("run/pulse"));
    base.insert("PULSE_SERVER", "unix:" + Path("run/pulse/native"));
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_REMOTE", "PULSE_SINK"}) {
        base.remove(name);
    }
    return base;
}

bool SoundServer::WriteAsoundrc() const {
    return WriteFile(Path(".asoundrc"), AsoundrcToPulse);
}

bool SoundServer::WriteConfiguration() const {
    if (!QDir().mkpath(Path("run/pulse")) || !QDir().mkpath(Path("state"))) return false;
    QFile::setPermissions(Path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(Path("run/pulse"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (kind_ != ServerKind::PipeWire) return true;
    return WriteFile(Path("config/pipewire/pipewire.conf.d/50-tonare-null-sink.conf"), PipeWireDropIn) &&
           WriteFile(Path("config/wireplumber/main.lua.d/60-tonare-headless.lua"), WirePlumberMainDropIn) &&
           WriteFile(Path("config/wireplumber/bluetooth.lua.d/60-tonare-headless.lua"), WirePlumberBluetoothDropIn);
}

bool SoundServer::Start() {
    if (!WriteConfiguration()) {
        failure_ = "cannot write the server's folders in " + folder_;
        return false;
    }
    QProcessEnvironment env = ClientEnvironment();
    env.remove("PULSE_SERVER");
    for (const auto& [program, args] : commands_) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->setStandardOutputFile(Path(program + ".log"));
        process->start(program, args);
        if (!process->waitForStarted(LaunchMs)) {
            failure_ = program + " did not start";
            return false;
        }
        processes_.push_back(std::move(process));
        // WirePlumber and pipewire-pulse connect to a listening pipewire.
        if (program == "pipewire") {
            QElapsedTimer timer;
            timer.start();
            while (!QFile::exists(Path("run/pipewire-0")) && timer.elapsed() < ReadyMs) QThread::msleep(PollMs);
        }
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ReadyMs) {
        QProcess info;
        info.setProcessEnvironment(ClientEnvironment());
        info.start("pactl", {"info"});
        if (info.waitForFinished(LaunchMs) && info.readAllStandardOutput().contains("Default Sink: tonare")) {
            return true;
        }
        QThread::msleep(PollMs);
    }
    failure_ = "the server showed no sink \"tonare\" in time";
    return false;
}

void SoundServer::Stop() {
    for (auto process = processes_.rbegin(); process != processes_.rend(); ++process) {
        (*process)->kill();
        (*process)->waitForFinished(LaunchMs);
    }
    processes_.clear();
}

}  // namespace load_bench
