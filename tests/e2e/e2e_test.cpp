// The real program under Xvfb, driven with xdotool, heard through SDL's disk driver:
// a key press must put exactly the engine's offline rendering of that note into the
// audio file, and "Quit" must end the program cleanly.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <array>
#include <cstring>
#include <vector>

#include "engine/ksynth.h"
#include "tests/e2e/window_points.h"
#include "tests/support/program.h"
#include "tests/support/tools.h"
#include "tests/support/xvfb.h"

namespace {

constexpr int BlockBytes = 8192;

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        ASSERT_TRUE(xvfb_.Start()) << xvfb_.Error().toStdString();
        env_ = xvfb_.Environment();
        env_ = tonare_test::WithDiskAudio(env_, audioPath());
    }

    // Starts the program and returns its window's X id, once the window is shown.
    QString startProgram() { return program_.StartAndWaitForWindow(env_); }

    QString audioPath() const { return tmp_.filePath("audio.raw"); }

    QString xdotool(const QStringList& args) const { return program_.Xdotool(args); }

    void click(const QString& window, Point p) const { program_.Click(window, p.x, p.y); }

    // Blocks of the audio file after the silence of the paused device.
    std::vector<QByteArray> renderedBlocks() const {
        return tonare_test::SoundingBlocks(audioPath(), BlockBytes);
    }

    // Destroyed from the bottom up: the program ends before its display.
    QTemporaryDir tmp_;
    tonare_test::Xvfb xvfb_;
    tonare_test::ProgramUnderTest program_{TONARE_KURVIL};
    QProcessEnvironment env_;
};

TEST_F(EndToEnd, KeyA0PlaysTheDefaultInstrumentAndQuitEndsTheProgram) {
    const QString window = startProgram();
    ASSERT_FALSE(window.isEmpty()) << "the window did not show";
    const QString geometry = xdotool({"getwindowgeometry", "--shell", window});
    EXPECT_TRUE(geometry.contains("WIDTH=671") && geometry.contains("HEIGHT=575")) << geometry.toStdString();

    QThread::msleep(300);
    EXPECT_TRUE(renderedBlocks().empty()) << "sound before any key was pressed";

    click(window, InstrumentEditorTab);
    click(window, OctaveItem4);
    click(window, KeyA0);

    constexpr std::size_t BlocksCompared = 12;
    QElapsedTimer timer;
    timer.start();
    while (renderedBlocks().size() < BlocksCompared && timer.elapsed() < 15000) QThread::msleep(50);

    QDir().mkpath(TONARE_ARTIFACTS);
    QProcess grab;
    grab.setProcessEnvironment(env_);
    grab.start(TONARE_SCREENGRAB, {QString(TONARE_ARTIFACTS) + "/e2e-window.png"});
    grab.waitForFinished(10000);

    const std::vector<QByteArray> heard = renderedBlocks();
    ASSERT_GE(heard.size(), BlocksCompared) << "the key press was not heard";
    PlayDefaultA440Offline();
    std::array<uint8_t, BlockBytes> expected{};
    for (std::size_t b = 0; b < BlocksCompared; ++b) {
        ksynth::RenderAudio(nullptr, expected.data(), BlockBytes);
        ASSERT_EQ(0, memcmp(expected.data(), heard[b].constData(), BlockBytes)) << "block " << b << " differs";
    }

    click(window, QuitButton);
    ASSERT_TRUE(program_.WaitForExit(10000)) << "Quit did not end the program";
    EXPECT_TRUE(program_.ExitedNormally());
    EXPECT_EQ(program_.ExitCode(), 0);
}

}  // namespace

namespace {

// The default instrument's blocks as the engine renders them offline.
QByteArray RenderBlock() {
    QByteArray block(BlockBytes, '\0');
    ksynth::RenderAudio(nullptr, reinterpret_cast<uint8_t*>(block.data()), BlockBytes);
    return block;
}

bool Silent(const QByteArray& block) {
    return block.count('\0') == BlockBytes;
}

}  // namespace

// Q, then Y held down long enough for X to repeat it, then Escape: the file holds
// one note of each, each started once (a repeat would restart the envelopes), then silence.
TEST_F(EndToEnd, ComputerKeysPlayOneNoteEachAndEscapeStops) {
    env_.insert("SDL_DISKAUDIODELAY", "46");   // about real time, so a held key spans a few dozen blocks
    const QString window = startProgram();
    ASSERT_FALSE(window.isEmpty()) << "the window did not show";
    xdotool({"windowfocus", "--sync", window});
    QThread::msleep(300);

    xdotool({"key", "q"});
    QThread::msleep(300);
    xdotool({"keydown", "y"});
    QThread::msleep(1100);   // past X's repeat delay: a burst of repeats
    xdotool({"keyup", "y"});
    xdotool({"key", "Escape"});
    QThread::msleep(800);

    const std::vector<QByteArray> heard = renderedBlocks();
    ASSERT_GE(heard.size(), 20u) << "the keys were not heard";

    // "Octave" item "1": Q plays ButtonC0 and Y ButtonA0, both at octave index 1.
    PlayDefaultA440Offline();
    ksynth::Voices[0].PhaseStep = ksynth::NoteToPhaseStep(ksynth::NoteTable[0], 1);
    // Compares block by block and stops at the first difference, leaving the
    // engine where the heard sound left the note.
    std::size_t at = 0;
    for (;; ++at) {
        ASSERT_LT(at, heard.size()) << "Y was not heard";
        const ksynth::VoiceState before = ksynth::Voices[0];
        const std::array<ksynth::EnvelopeState, 5> envelopesBefore = ksynth::InstrumentSlots[0].Envelopes;
        const int16_t countdown = ksynth::TickCountdown;
        if (heard[at] == RenderBlock()) continue;
        ksynth::Voices[0] = before;
        ksynth::InstrumentSlots[0].Envelopes = envelopesBefore;
        ksynth::TickCountdown = countdown;
        break;
    }
    ASSERT_GE(at, 1u) << "Q did not play its note";

    // Y starts once, at a block boundary, from where Q left the voice.
    ksynth::StartNote(ksynth::NoteToPhaseStep(ksynth::NoteTable[9], 1), DefaultInstrumentEnvelopes);
    const std::size_t yStart = at;
    QByteArray expected = RenderBlock();
    while (at < heard.size() && heard[at] == expected) {
        ++at;
        expected = RenderBlock();
    }
    EXPECT_GE(at - yStart, 15u) << "Y was cut short or restarted after " << at - yStart << " blocks";
    ASSERT_LT(at, heard.size()) << "Escape did not stop the note";
    EXPECT_FALSE(Silent(expected)) << "the note had died away before Escape";
    for (std::size_t b = at; b < heard.size(); ++b) {
        ASSERT_TRUE(Silent(heard[b])) << "block " << b << " after the note is not silence";
    }

    click(window, QuitButton);
    ASSERT_TRUE(program_.WaitForExit(10000));
    EXPECT_EQ(program_.ExitCode(), 0);
}
