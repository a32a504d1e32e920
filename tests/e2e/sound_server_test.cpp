// The real program under Xvfb playing through a private sound server, PulseAudio
// or PipeWire, with a null sink, heard by recording the sink's monitor: a key
// sounds exactly as the offline render, "Stop" silences it, a frozen server
// neither delays the window nor holds up Quit, and a restarted server is used
// again on the next key.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <cstdint>
#include <iostream>
#include <string>
#include <tuple>
#include <vector>

#include "engine/ksynth.h"
#include "tests/e2e/window_points.h"
#include "tests/support/capture.h"
#include "tests/support/program.h"
#include "tests/support/sound_server.h"
#include "tests/support/xvfb.h"

namespace {

using tonare_test::CaptureFrameBytes;
using tonare_test::FirstSoundingFrame;
using tonare_test::ServerKind;

constexpr int FramesCompared = 44100;            // one second of the note
constexpr int SampleRate = 44100;
constexpr qint64 PromptMs = 1000;                // window shown, Quit done
constexpr qint64 QuitHangsMs = 10000;            // a Quit still running then hangs
#ifdef TONARE_SANITIZED
// The slowed program may underrun and misses the prompt limits by its slowness
// alone: both are reported, not held. A Quit that hangs still fails.
constexpr bool HoldExactSound = false;
constexpr bool HoldPromptness = false;
#else
constexpr bool HoldExactSound = true;
constexpr bool HoldPromptness = true;
#endif

// Holds `ms` to PromptMs, or in a sanitizer build says when it was over.
void ExpectPrompt(const char* what, qint64 ms) {
    if (HoldPromptness) {
        EXPECT_LE(ms, PromptMs) << what;
    } else if (ms > PromptMs) {
        std::cout << what << " took " << ms << " ms, over " << PromptMs << " ms (sanitizer build)\n";
    }
}

// Each server with SDL's `pulse` driver and with its `alsa` driver through the
// pulse ALSA plugin.
using Setup = std::tuple<ServerKind, const char*>;

class SoundServer : public ::testing::TestWithParam<Setup> {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        ASSERT_TRUE(xvfb_.Start()) << xvfb_.Error().toStdString();
        const QStringList missing = server_.MissingPrograms();
        if (!missing.isEmpty()) GTEST_SKIP() << "not installed: " << missing.join(", ").toStdString();
        ASSERT_TRUE(server_.WriteAsoundrc());
        ASSERT_TRUE(server_.Start()) << "the " << tonare_test::ServerName(server_.Kind())
                                     << " server did not start: " << server_.Log().toStdString();
        env_ = server_.ClientEnvironment(xvfb_.Environment());
        env_.insert("SDL_AUDIODRIVER", QString::fromStdString(Driver()));
    }

    static std::string Driver() { return std::get<1>(GetParam()); }

    // Starts the program and returns its window, or "" when none showed in time.
    QString StartProgram(qint64* shownAfterMs = nullptr) {
        QElapsedTimer timer;
        timer.start();
        const QString window = program_.StartAndWaitForWindow(env_);
        if (shownAfterMs) *shownAfterMs = timer.elapsed();
        return window;
    }

    // Why no window showed, for the failure message.
    std::string NoWindow() const {
        return std::string("the window did not show") + (xvfb_.Running() ? "" : "; Xvfb has ended") +
               (program_.Running() ? "" : "; the program has ended");
    }

    void click(const QString& window, Point p) const { program_.Click(window, p.x, p.y); }

    void QuitPromptly(const QString& window) {
        QElapsedTimer timer;
        timer.start();
        click(window, QuitButton);
        ASSERT_TRUE(program_.WaitForExit(static_cast<int>(QuitHangsMs))) << "Quit did not end the program";
        std::cout << "Quit took " << timer.elapsed() << " ms after the click\n";
        ExpectPrompt("Quit", timer.elapsed());
        EXPECT_TRUE(program_.ExitedNormally());
        EXPECT_EQ(program_.ExitCode(), 0);
    }

    // Destroyed from the bottom up: the program ends first, then the recording,
    // the server, the display and the folder.
    QTemporaryDir tmp_;
    tonare_test::Xvfb xvfb_;
    tonare_test::SoundServer server_{std::get<0>(GetParam()), tmp_.path()};
    tonare_test::MonitorCapture capture_{server_, tmp_.filePath("capture.raw")};
    tonare_test::ProgramUnderTest program_{TONARE_KURVIL};
    QProcessEnvironment env_;
};

TEST_P(SoundServer, KeySoundsAsTheOfflineRenderAndStopSilences) {
    const QString window = StartProgram();
    ASSERT_FALSE(window.isEmpty()) << NoWindow();
    ASSERT_TRUE(capture_.Start());
    click(window, InstrumentEditorTab);
    click(window, OctaveItem4);
    const qsizetype framesAtClick = capture_.Frames();
    click(window, KeyA0);

    qsizetype first = -1;
    const QByteArray heard = capture_.WaitForSound(FramesCompared, &first);
    ASSERT_GE(first, 0) << "the key was not heard";
    ASSERT_GE(heard.size() / CaptureFrameBytes, first + FramesCompared);
    std::cout << "click to sound: about " << (first - framesAtClick) * 1000 / SampleRate
              << " ms of captured audio\n";

    // The render of the same note, from its first sounding frame on.
    PlayDefaultA440Offline();
    // In callbacks of 4096 bytes, as SDL's pulse driver asks for them.
    constexpr std::size_t CallbackBytes = 4096;
    constexpr std::size_t Callbacks = (FramesCompared + SampleRate) * CaptureFrameBytes / CallbackBytes;
    std::vector<uint8_t> render(Callbacks * CallbackBytes);
    for (std::size_t at = 0; at < render.size(); at += CallbackBytes) {
        ksynth::RenderAudio(nullptr, render.data() + at, static_cast<int>(CallbackBytes));
    }
    const QByteArray rendered(reinterpret_cast<const char*>(render.data()), static_cast<qsizetype>(render.size()));
    const qsizetype renderFirst = FirstSoundingFrame(rendered);
    ASSERT_GE(renderFirst, 0);
    const QByteArray expected = rendered.mid(renderFirst * CaptureFrameBytes, FramesCompared * CaptureFrameBytes);
    const QByteArray got = heard.mid(first * CaptureFrameBytes, FramesCompared * CaptureFrameBytes);
    qsizetype differ = 0;
    while (differ < expected.size() && expected[differ] == got[differ]) ++differ;
    // Through the ALSA plugin the start of a stream may still lose frames (seen
    // under load), and so may a sanitizer build; those are reported, not held.
    const auto message = [&] {
        const qsizetype at = differ / CaptureFrameBytes * CaptureFrameBytes;
        return "the capture differs from the render at frame " + std::to_string(differ / CaptureFrameBytes) +
               ": heard " + got.mid(at, 16).toHex(' ').toStdString() + ", rendered " +
               expected.mid(at, 16).toHex(' ').toStdString();
    };
    if (Driver() == "pulse" && HoldExactSound) {
        EXPECT_EQ(differ, expected.size()) << message();
    } else if (differ != expected.size()) {
        std::cout << Driver() << ": " << message() << "\n";
    }

    click(window, StopButton);
    QThread::msleep(500);   // what the server still held drains
    const qsizetype afterStop = capture_.Pcm().size();
    QThread::msleep(500);
    const QByteArray tail = capture_.Pcm().mid(afterStop);
    ASSERT_GT(tail.size(), 0) << "the capture stopped";
    EXPECT_EQ(tail.count('\0'), tail.size()) << "sound after Stop";
    capture_.Stop();
    QuitPromptly(window);
}

TEST_P(SoundServer, QuitEndsTheProgramWhileTheServerIsFrozen) {
    const QString window = StartProgram();
    ASSERT_FALSE(window.isEmpty()) << NoWindow();
    click(window, InstrumentEditorTab);
    click(window, KeyA0);
    QThread::msleep(300);
    server_.Freeze();
    QuitPromptly(window);
}

TEST_P(SoundServer, WindowShowsAndQuitsPromptlyWithTheServerFrozenAtStart) {
    server_.Freeze();
    qint64 shownAfter = 0;
    const QString window = StartProgram(&shownAfter);
    ASSERT_FALSE(window.isEmpty()) << NoWindow();
    std::cout << "window shown " << shownAfter << " ms after start\n";
    ExpectPrompt("showing the window", shownAfter);
    click(window, InstrumentEditorTab);
    click(window, KeyA0);   // the note waits for the device; the window stays usable
    QuitPromptly(window);
}

TEST_P(SoundServer, NextKeySoundsAfterTheServerRestarts) {
    const QString window = StartProgram();
    ASSERT_FALSE(window.isEmpty()) << NoWindow();
    click(window, InstrumentEditorTab);
    click(window, KeyA0);
    QThread::msleep(300);

    server_.Stop();
    QThread::msleep(1000);   // SDL's audio thread notices the lost server and ends, also under load
    ASSERT_TRUE(server_.Start()) << server_.Log().toStdString();
    ASSERT_TRUE(capture_.Start());
    click(window, KeyA0);
    qsizetype first = -1;
    capture_.WaitForSound(SampleRate / 10, &first);
    EXPECT_GE(first, 0) << "no sound after the server restarted";
    capture_.Stop();
    QuitPromptly(window);
}

std::string SetupName(const ::testing::TestParamInfo<Setup>& info) {
    return std::string(tonare_test::ServerName(std::get<0>(info.param))) + "_" + std::get<1>(info.param);
}

// One instantiation per server, so that ctest runs the two side by side.
INSTANTIATE_TEST_SUITE_P(pulseaudio, SoundServer,
                         ::testing::Combine(::testing::Values(ServerKind::PulseAudio),
                                            ::testing::Values("pulse", "alsa")),
                         SetupName);
INSTANTIATE_TEST_SUITE_P(pipewire, SoundServer,
                         ::testing::Combine(::testing::Values(ServerKind::PipeWire),
                                            ::testing::Values("pulse", "alsa")),
                         SetupName);

}  // namespace
