// `make bench-load`: the real program plays a repeating note through a private
// PulseAudio or PipeWire while stress-ng loads the machine; per run it prints
// the dropouts heard on the sink's monitor (against the offline render), the
// program's CPU and whether its audio thread ran real-time.
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "bench/load/gaps.h"
#include "engine/ksynth.h"
#include "tests/e2e/window_points.h"
#include "tests/support/capture.h"
#include "tests/support/sound_server.h"
#include "tests/support/tools.h"
#include "tests/support/xvfb.h"

namespace {

using tonare_test::ServerKind;

constexpr int SampleRate = ksynth::EngineConfig::SampleRate;
constexpr int FrameBytes = 4;
constexpr int PausedSeconds = 5;
constexpr int SettleMs = 1500;               // window shown to device open
constexpr int ClickMs = 150;
constexpr int ToolMs = 20000;
constexpr int MatchFrames = 64;              // frames that must agree after a gap
constexpr int64_t MaxLostFrames = SampleRate;
constexpr int StressSlackSeconds = 30;       // stress-ng outlives the run by this
// The volume envelope's "Repeat" box on the default "Volume" tab: the note keeps sounding.
constexpr Point VolumeRepeatBox{591, 252};

enum class Load { None, CpuAll, Cpu4, Cpu8, Cpu4SameSession, LoadCount };

struct LoadCase {
    const char* name;
    int workers;        // stress-ng --cpu N; 0 is one per processor
    bool run;           // stress-ng runs at all
    bool sameSession;   // in the program's session (and autogroup)
};
constexpr std::array<LoadCase, static_cast<std::size_t>(Load::LoadCount)> Loads = {{
    {"none", 0, false, false},
    {"--cpu 0", 0, true, false},
    {"--cpu 4", 4, true, false},
    {"--cpu 8", 8, true, false},
    {"--cpu 4, program's session", 4, true, true},
}};

enum class Driver { Pulse, AlsaPulsePlugin, AlsaPipeWirePlugin, DriverCount };
struct DriverCase {
    const char* option;   // --drivers
    const char* sdl;      // SDL_AUDIODRIVER
    const char* shown;
};
constexpr std::array<DriverCase, static_cast<std::size_t>(Driver::DriverCount)> Drivers = {{
    {"pulse", "pulse", "pulse"},
    {"alsa", "alsa", "alsa (pulse plugin)"},
    {"alsa-pipewire", "alsa", "alsa (PipeWire plugin)"},
}};

// PipeWire's ALSA plugin, unpacked from Debian's pipewire-alsa (which cannot be
// installed beside pulseaudio); "" runs no PipeWire-plugin case.
QString PipeWirePlugin;
constexpr const char* PipeWirePcm = "tonare_pipewire";

struct Result {
    QString failure;
    double pausedCpuPercent = 0;
    double playingCpuSeconds = 0;
    load_bench::Dropouts dropouts;
    QString audioThread;
};

QList<QByteArray> StatFields(const QString& path, QByteArray* comm = nullptr) {
    QFile stat(path);
    if (!stat.open(QIODevice::ReadOnly)) return {};
    const QByteArray line = stat.readAll();
    const qsizetype open = line.indexOf('(');
    const qsizetype close = line.lastIndexOf(')');
    if (comm) *comm = line.mid(open + 1, close - open - 1);
    // From field 3 (state) on.
    return line.mid(close + 2).split(' ');
}

double CpuSeconds(pid_t pid) {
    const QList<QByteArray> fields = StatFields(QStringLiteral("/proc/%1/stat").arg(pid));
    if (fields.size() < 13) return 0;
    // utime and stime, fields 14 and 15, in clock ticks.
    return static_cast<double>(fields[11].toLongLong() + fields[12].toLongLong()) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The program's threads under a real-time policy, as "none" or "FIFO 11 x2".
// Before this program stopped raising it, SDL's audio thread was one of them;
// PipeWire's ALSA plugin raises its own data thread.
QString RealtimeThreads(pid_t pid) {
    QMap<QString, int> counts;
    for (const QString& task : QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QList<QByteArray> fields = StatFields(QStringLiteral("/proc/%1/task/%2/stat").arg(pid).arg(task));
        if (fields.size() < 39) continue;
        // rt_priority and policy are fields 40 and 41.
        const int priority = fields[37].toInt();
        const int policy = fields[38].toInt();
        if (policy == SCHED_FIFO) ++counts[QStringLiteral("FIFO %1").arg(priority)];
        if (policy == SCHED_RR) ++counts[QStringLiteral("RR %1").arg(priority)];
    }
    QStringList shown;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) shown << QStringLiteral("%1 x%2").arg(it.key()).arg(it.value());
    return shown.isEmpty() ? QStringLiteral("none") : shown.join(", ");
}

QByteArray Run(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    return tonare_test::RunTool(program, args, env, ToolMs).out;
}

void Click(const QProcessEnvironment& env, const QString& window, Point p) {
    Run("xdotool", {"mousemove", "--sync", "--window", window, QString::number(p.x), QString::number(p.y), "click", "1"},
        env);
    QThread::msleep(ClickMs);
}

std::vector<uint32_t> Frames(const QByteArray& pcm) {
    std::vector<uint32_t> frames(static_cast<std::size_t>(pcm.size() / FrameBytes));
    std::memcpy(frames.data(), pcm.constData(), frames.size() * FrameBytes);
    return frames;
}

std::size_t FirstSounding(const std::vector<uint32_t>& frames) {
    std::size_t f = 0;
    while (f < frames.size() && frames[f] == 0) ++f;
    return f;
}

// The note as the program renders it, in SDL callbacks of `callbackBytes`: the
// renderer writes a whole block whatever the length, so a shorter callback
// keeps only the block's start.
std::vector<uint32_t> Render(std::size_t frames, std::size_t callbackBytes) {
    PlayDefaultA440Offline();
    ksynth::EnvelopeParams volume = DefaultInstrumentEnvelopes[0];
    volume.Repeat = 255;
    ksynth::LoadEnvelope(0, 0, volume);
    const std::size_t BlockBytes = static_cast<std::size_t>(ksynth::FramesPerCallback) * FrameBytes;
    std::vector<uint8_t> bytes(frames * FrameBytes + BlockBytes);
    for (std::size_t at = 0; at + BlockBytes <= bytes.size(); at += callbackBytes) {
        ksynth::RenderAudio(nullptr, bytes.data() + at, static_cast<int>(callbackBytes));
    }
    bytes.resize(frames * FrameBytes);
    return Frames(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
}

load_bench::Dropouts Analyse(const QByteArray& pcm, int seconds) {
    std::vector<uint32_t> capture = Frames(pcm);
    capture.erase(capture.begin(), capture.begin() + static_cast<std::ptrdiff_t>(FirstSounding(capture)));
    capture.resize(std::min<std::size_t>(capture.size(), static_cast<std::size_t>(seconds) * SampleRate));
    load_bench::Dropouts best;
    best.lostTrack = true;
    // SDL's pulse driver calls back for half blocks, its alsa driver for whole ones.
    for (std::size_t callbackBytes : {std::size_t{4096}, std::size_t{8192}}) {
        std::vector<uint32_t> render = Render(capture.size() + MaxLostFrames, callbackBytes);
        render.erase(render.begin(), render.begin() + static_cast<std::ptrdiff_t>(FirstSounding(render)));
        const load_bench::Dropouts d = load_bench::FindDropouts(capture, render, MaxLostFrames, MatchFrames);
        if (best.lostTrack || (!d.lostTrack && d.frames < best.frames)) best = d;
    }
    return best;
}

QString Program = TONARE_KURVIL;

Result RunOnce(ServerKind kind, Driver driver, const LoadCase& load, int seconds, const tonare_test::Xvfb& xvfb) {
    Result result;
    QTemporaryDir folder;
    tonare_test::SoundServer server(kind, folder.path());
    if (!server.Start()) {
        result.failure = server.Log().section('\n', 0, 0);
        return result;
    }
    QProcessEnvironment env = server.ClientEnvironment(xvfb.Environment());
    env.insert("SDL_AUDIODRIVER", Drivers[static_cast<std::size_t>(driver)].sdl);
    if (driver == Driver::AlsaPulsePlugin) server.WriteAsoundrc();
    if (driver == Driver::AlsaPipeWirePlugin) {
        // A named PCM: Debian's pulse hook takes over the default PCM while a server runs.
        QFile asoundrc(folder.filePath(".asoundrc"));
        if (!asoundrc.open(QIODevice::WriteOnly)) {
            result.failure = "cannot write .asoundrc";
            return result;
        }
        asoundrc.write(QStringLiteral("pcm_type.pipewire { lib \"%1\" }\npcm.%2 { type pipewire }\n")
                           .arg(PipeWirePlugin, PipeWirePcm)
                           .toUtf8());
        env.insert("AUDIODEV", PipeWirePcm);
    }

    const QStringList stress = {"stress-ng", "--quiet", "--cpu", QString::number(load.workers), "--timeout",
                                QString::number(seconds + PausedSeconds + StressSlackSeconds) + "s"};
    QProcess stressor;
    if (load.run && !load.sameSession) {
        stressor.start("setsid", stress);
        stressor.waitForStarted();
    }
    // The program leads a session of its own; a same-session load is started by its shell.
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList args = {Program};
    if (load.run && load.sameSession) {
        args = {"sh", "-c", stress.join(' ') + " & exec \"$0\"", Program};
    }
    program.start("setsid", args);
    program.waitForStarted();
    const pid_t pid = static_cast<pid_t>(program.processId());
    const QString window = QString::fromLatin1(
        Run("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^TONARE Wave Generator$"}, env))
                               .section('\n', 0, 0);
    if (window.isEmpty()) {
        result.failure = "the window did not show";
    } else {
        Click(env, window, InstrumentEditorTab);
        Click(env, window, VolumeRepeatBox);
        Click(env, window, OctaveItem4);
        QThread::msleep(SettleMs);
        const double pausedStart = CpuSeconds(pid);
        QThread::sleep(PausedSeconds);
        result.pausedCpuPercent = (CpuSeconds(pid) - pausedStart) * 100.0 / PausedSeconds;

        tonare_test::MonitorCapture capture(server, folder.filePath("capture.raw"));
        capture.Start();
        Click(env, window, KeyA0);
        const double playingStart = CpuSeconds(pid);
        QThread::sleep(1);
        result.audioThread = RealtimeThreads(pid);
        QThread::sleep(static_cast<unsigned>(seconds));
        result.playingCpuSeconds = CpuSeconds(pid) - playingStart;
        capture.Stop();
        Click(env, window, StopButton);
        Click(env, window, QuitButton);
        result.dropouts = Analyse(capture.Pcm(), seconds);
    }
    if (!program.waitForFinished(5000)) program.kill();
    // The loads lead sessions and process groups of their own (or share the program's).
    if (load.run) ::kill(-(load.sameSession ? pid : static_cast<pid_t>(stressor.processId())), SIGKILL);
    stressor.waitForFinished();
    return result;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    int seconds = 60;
    QStringList servers = {"pulseaudio", "pipewire"};
    QStringList drivers = {"pulse", "alsa", "alsa-pipewire"};
    QStringList loads;
    for (int a = 1; a + 1 < argc; a += 2) {
        if (std::strcmp(argv[a], "--seconds") == 0) seconds = std::atoi(argv[a + 1]);
        if (std::strcmp(argv[a], "--servers") == 0) servers = QString(argv[a + 1]).split(',');
        if (std::strcmp(argv[a], "--program") == 0) Program = argv[a + 1];
        if (std::strcmp(argv[a], "--pipewire-plugin") == 0) PipeWirePlugin = argv[a + 1];
        if (std::strcmp(argv[a], "--drivers") == 0) drivers = QString(argv[a + 1]).split(',');
        if (std::strcmp(argv[a], "--loads") == 0) loads = QString(argv[a + 1]).split(',');
    }
    tonare_test::Xvfb xvfb;
    if (!xvfb.Start()) {
        std::fprintf(stderr, "no X server: %s\n", qPrintable(xvfb.Error()));
        return 1;
    }

    const QString user = QString::fromLocal8Bit(Run("id", {"-un"}, QProcessEnvironment::systemEnvironment()));
    std::printf("| server | SDL driver | load | user | CPU paused | CPU playing (%d s) | dropouts | dropped ms | real-time threads |\n",
                seconds);
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    std::fflush(stdout);
    for (ServerKind kind : {ServerKind::PulseAudio, ServerKind::PipeWire}) {
        if (!servers.contains(tonare_test::ServerName(kind))) continue;
        for (std::size_t d = 0; d < Drivers.size(); ++d) {
            if (!drivers.contains(Drivers[d].option)) continue;
            if (static_cast<Driver>(d) == Driver::AlsaPipeWirePlugin &&
                (kind != ServerKind::PipeWire || PipeWirePlugin.isEmpty())) {
                continue;
            }
            for (std::size_t l = 0; l < Loads.size(); ++l) {
                const LoadCase& load = Loads[l];
                if (!loads.isEmpty() && !loads.contains(QString::number(l))) continue;
                const Result r = RunOnce(kind, static_cast<Driver>(d), load, seconds, xvfb);
                const std::string driver = Drivers[d].shown;
                if (!r.failure.isEmpty()) {
                    std::printf("| %s | %s | %s | %s | failed: %s |\n", tonare_test::ServerName(kind), driver.c_str(),
                                load.name, qPrintable(user), qPrintable(r.failure.simplified()));
                } else {
                    std::printf("| %s | %s | %s | %s | %.1f %% | %.2f s (%.1f %%) | %d%s | %.0f | %s |\n",
                                tonare_test::ServerName(kind), driver.c_str(), load.name, qPrintable(user),
                                r.pausedCpuPercent, r.playingCpuSeconds, r.playingCpuSeconds * 100.0 / (seconds + 1),
                                r.dropouts.count, r.dropouts.lostTrack ? " (lost track)" : "",
                                static_cast<double>(r.dropouts.frames) * 1000.0 / SampleRate,
                                qPrintable(r.audioThread));
                }
                if (!r.dropouts.at.empty()) {
                    QStringList where;
                    for (int64_t at : r.dropouts.at) where << QString::number(static_cast<double>(at) / SampleRate, 'f', 2);
                    std::fprintf(stderr, "  gaps start at %s s of the note\n", qPrintable(where.join(", ")));
                }
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
