// The real program under Xvfb playing through a private PulseAudio daemon with
// a null sink, heard by recording the sink's monitor: a key sounds exactly as
// the offline render, "Stop" silences it, a frozen server neither delays the
// window nor holds up Quit, and a restarted server is used again on the next key.
#include <gtest/gtest.h>

#include <signal.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "engine/ksynth.h"
#include "tests/e2e/window_points.h"

namespace {

constexpr int FrameBytes = 4;                    // s16le stereo
constexpr int FramesCompared = 44100;            // one second of the note
constexpr int SampleRate = 44100;
constexpr qint64 PromptMs = 1000;                // window shown, Quit done
#ifdef TONARE_SANITIZED
constexpr bool HoldExactSound = false;           // the slowed program may underrun
#else
constexpr bool HoldExactSound = true;
#endif

QByteArray RunTool(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    process.waitForFinished(20000);
    return process.readAllStandardOutput().trimmed();
}

// Index of the first frame with a nonzero sample, from frame `from`; -1 if none.
qsizetype FirstSoundingFrame(const QByteArray& pcm, qsizetype from = 0) {
    for (qsizetype f = from; (f + 1) * FrameBytes <= pcm.size(); ++f) {
        const char* frame = pcm.constData() + f * FrameBytes;
        if (frame[0] || frame[1] || frame[2] || frame[3]) return f;
    }
    return -1;
}

// Run with SDL's `pulse` driver and with its `alsa` driver through the pulse ALSA plugin.
class SoundServer : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        xvfb_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        ASSERT_TRUE(xvfb_.waitForStarted(5000));
        QElapsedTimer timer;
        timer.start();
        while (!xvfb_.canReadLine() && timer.elapsed() < 10000) xvfb_.waitForReadyRead(200);
        const QByteArray display = xvfb_.readLine().trimmed();
        ASSERT_FALSE(display.isEmpty()) << "Xvfb did not report its display";

        // Everything of the daemon and its clients stays in the temporary folder.
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("HOME", tmp_.path());
        env_.insert("XDG_RUNTIME_DIR", tmp_.path());
        env_.insert("PULSE_RUNTIME_PATH", tmp_.path());
        env_.insert("XDG_CONFIG_HOME", tmp_.filePath("config"));
        env_.insert("PULSE_SERVER", "unix:" + socket());
        env_.insert("DISPLAY", ":" + QString::fromLatin1(display));
        env_.insert("QT_QPA_PLATFORM", "xcb");
        env_.insert("SDL_AUDIODRIVER", GetParam());
        // ALSA reads ~/.asoundrc: its default device goes to the daemon at PULSE_SERVER.
        QFile asoundrc(tmp_.filePath(".asoundrc"));
        ASSERT_TRUE(asoundrc.open(QIODevice::WriteOnly));
        asoundrc.write("pcm.!default { type pulse }\nctl.!default { type pulse }\n");
        asoundrc.close();
        env_.remove("XAUTHORITY");
        env_.remove("DBUS_SESSION_BUS_ADDRESS");
        if (!StartDaemon()) GTEST_SKIP() << "no PulseAudio daemon could be started: " << daemonLog_.toStdString();
    }

    void TearDown() override {
        for (QProcess* process : {&program_, &parec_, &daemon_}) {
            if (process->state() == QProcess::NotRunning) continue;
            ::kill(static_cast<pid_t>(process->processId()), SIGCONT);
            process->kill();
            process->waitForFinished(5000);
        }
        xvfb_.terminate();
        xvfb_.waitForFinished(5000);
    }

    QString socket() const { return tmp_.filePath("pulse.sock"); }
    QString capturePath() const { return tmp_.filePath("capture.raw"); }

    // Root may run the per-user daemon; it only warns. No D-Bus, no real-time, no idle exit.
    bool StartDaemon() {
        daemon_.setProcessEnvironment(env_);
        daemon_.setProcessChannelMode(QProcess::MergedChannels);
        daemon_.start("pulseaudio",
                      {"-n", "--daemonize=no", "--exit-idle-time=-1", "--realtime=no", "--use-pid-file=no",
                       "--disallow-exit", "--log-target=stderr",
                       "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket(),
                       "--load=module-null-sink sink_name=tonare rate=44100 format=s16le channels=2"});
        if (!daemon_.waitForStarted(5000)) return false;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000) {
            QProcess info;
            info.setProcessEnvironment(env_);
            info.start("pactl", {"info"});
            if (info.waitForFinished(3000) && info.exitCode() == 0) return true;
            if (daemon_.state() == QProcess::NotRunning) break;
            QThread::msleep(100);
        }
        daemonLog_ = QString::fromLocal8Bit(daemon_.readAll());
        return false;
    }

    void StopDaemon() {
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }

    void Freeze(QProcess& process) { ::kill(static_cast<pid_t>(process.processId()), SIGSTOP); }

    void StartCapture() {
        parec_.setProcessEnvironment(env_);
        parec_.setStandardOutputFile(capturePath(), QIODevice::Truncate);
        parec_.start("parec", {"--raw", "--format=s16le", "--channels=2", "--rate=44100", "--latency-msec=20",
                               "-d", "tonare.monitor"});
        ASSERT_TRUE(parec_.waitForStarted(5000));
        QThread::msleep(300);
    }

    void StopCapture() {
        parec_.kill();
        parec_.waitForFinished(5000);
    }

    QByteArray Capture() const {
        QFile file(capturePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Starts the program and returns its window, or "" when none showed in time.
    QString StartProgram(qint64* shownAfterMs = nullptr) {
        QElapsedTimer timer;
        timer.start();
        program_.setProcessEnvironment(env_);
        program_.start(TONARE_KURVIL);
        if (!program_.waitForStarted(5000)) return {};
        const QString window =
            xdotool({"search", "--sync", "--onlyvisible", "--name", "^TONARE Wave Generator$"}).section('\n', 0, 0);
        if (shownAfterMs) *shownAfterMs = timer.elapsed();
        return window;
    }

    QString xdotool(const QStringList& args) const { return QString::fromLatin1(RunTool("xdotool", args, env_)); }

    void click(const QString& window, Point p) const {
        xdotool({"mousemove", "--sync", "--window", window, QString::number(p.x), QString::number(p.y), "click",
                 "1"});
        QThread::msleep(150);
    }

    // Waits until the capture holds sound and `frames` more frames after its start.
    QByteArray WaitForSound(qsizetype frames, qsizetype* first) {
        QElapsedTimer timer;
        timer.start();
        QByteArray pcm;
        while (timer.elapsed() < 15000) {
            pcm = Capture();
            *first = FirstSoundingFrame(pcm);
            if (*first >= 0 && pcm.size() / FrameBytes >= *first + frames) break;
            QThread::msleep(50);
        }
        return pcm;
    }

    void QuitWithin(const QString& window, qint64 limitMs) {
        QElapsedTimer timer;
        timer.start();
        click(window, QuitButton);
        ASSERT_TRUE(program_.waitForFinished(static_cast<int>(limitMs + 2000))) << "Quit did not end the program";
        std::cout << "Quit took " << timer.elapsed() << " ms after the click\n";
        EXPECT_LE(timer.elapsed(), limitMs);
        EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program_.exitCode(), 0);
    }

    QTemporaryDir tmp_;
    QProcess xvfb_;
    QProcess daemon_;
    QProcess parec_;
    QProcess program_;
    QProcessEnvironment env_;
    QString daemonLog_;
};

TEST_P(SoundServer, KeySoundsAsTheOfflineRenderAndStopSilences) {
    const QString window = StartProgram();
    ASSERT_FALSE(window.isEmpty());
    StartCapture();
    click(window, InstrumentEditorTab);
    click(window, OctaveItem4);
    const qsizetype framesAtClick = Capture().size() / FrameBytes;
    click(window, KeyA0);

    qsizetype first = -1;
    const QByteArray heard = WaitForSound(FramesCompared, &first);
    ASSERT_GE(first, 0) << "the key was not heard";
    ASSERT_GE(heard.size() / FrameBytes, first + FramesCompared);
    std::cout << "click to sound: about " << (first - framesAtClick) * 1000 / SampleRate
              << " ms of captured audio\n";

    // The render of the same note, from its first sounding frame on.
    PlayDefaultA440Offline();
    // In callbacks of 4096 bytes, as SDL's pulse driver asks for them.
    constexpr std::size_t CallbackBytes = 4096;
    constexpr std::size_t Callbacks = (FramesCompared + SampleRate) * FrameBytes / CallbackBytes;
    std::vector<uint8_t> render(Callbacks * CallbackBytes);
    for (std::size_t at = 0; at < render.size(); at += CallbackBytes) {
        ksynth::RenderAudio(nullptr, render.data() + at, static_cast<int>(CallbackBytes));
    }
    const QByteArray rendered(reinterpret_cast<const char*>(render.data()), static_cast<qsizetype>(render.size()));
    const qsizetype renderFirst = FirstSoundingFrame(rendered);
    ASSERT_GE(renderFirst, 0);
    const QByteArray expected = rendered.mid(renderFirst * FrameBytes, FramesCompared * FrameBytes);
    const QByteArray got = heard.mid(first * FrameBytes, FramesCompared * FrameBytes);
    qsizetype differ = 0;
    while (differ < expected.size() && expected[differ] == got[differ]) ++differ;
    // Through the ALSA plugin the start of a stream may still lose frames (seen
    // under load), and so may a sanitizer build; those are reported, not held.
    const std::string driver = GetParam();
    const auto message = [&] {
        return "the capture differs from the render at frame " + std::to_string(differ / FrameBytes) + ": heard " +
               got.mid(differ / FrameBytes * FrameBytes, 16).toHex(' ').toStdString() + ", rendered " +
               expected.mid(differ / FrameBytes * FrameBytes, 16).toHex(' ').toStdString();
    };
    if (driver == "pulse" && HoldExactSound) {
        EXPECT_EQ(differ, expected.size()) << message();
    } else if (differ != expected.size()) {
        std::cout << driver << ": " << message() << "\n";
    }

    click(window, StopButton);
    QThread::msleep(500);   // what the server still held drains
    const qsizetype afterStop = Capture().size();
    QThread::msleep(500);
    const QByteArray tail = Capture().mid(afterStop);
    ASSERT_GT(tail.size(), 0) << "the capture stopped";
    EXPECT_EQ(tail.count('\0'), tail.size()) << "sound after Stop";
    StopCapture();
    QuitWithin(window, PromptMs);
}

TEST_P(SoundServer, QuitEndsTheProgramWhileTheServerIsFrozen) {
    const QString window = StartProgram();
    ASSERT_FALSE(window.isEmpty());
    click(window, InstrumentEditorTab);
    click(window, KeyA0);
    QThread::msleep(300);
    Freeze(daemon_);
    QuitWithin(window, PromptMs);
}

TEST_P(SoundServer, WindowShowsAndQuitsPromptlyWithTheServerFrozenAtStart) {
    Freeze(daemon_);
    qint64 shownAfter = 0;
    const QString window = StartProgram(&shownAfter);
    ASSERT_FALSE(window.isEmpty());
    std::cout << "window shown " << shownAfter << " ms after start\n";
    EXPECT_LE(shownAfter, PromptMs);
    click(window, InstrumentEditorTab);
    click(window, KeyA0);   // the note waits for the device; the window stays usable
    QuitWithin(window, PromptMs);
}

TEST_P(SoundServer, NextKeySoundsAfterTheServerRestarts) {
    const QString window = StartProgram();
    ASSERT_FALSE(window.isEmpty());
    click(window, InstrumentEditorTab);
    click(window, KeyA0);
    QThread::msleep(300);

    StopDaemon();
    QThread::msleep(300);   // SDL's audio thread notices the lost server and ends
    ASSERT_TRUE(StartDaemon()) << daemonLog_.toStdString();
    StartCapture();
    click(window, KeyA0);
    qsizetype first = -1;
    WaitForSound(SampleRate / 10, &first);
    EXPECT_GE(first, 0) << "no sound after the server restarted";
    StopCapture();
    QuitWithin(window, PromptMs);
}

INSTANTIATE_TEST_SUITE_P(Drivers, SoundServer, ::testing::Values("pulse", "alsa"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
