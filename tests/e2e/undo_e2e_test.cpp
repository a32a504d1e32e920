// The real program under Xvfb: "New" twice, then Ctrl+Z twice, put the default
// instrument back; the next note is its offline render and the preview is the
// picture the window started with.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcessEnvironment>
#include <QRect>
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
#include "ui/ParameterStore.h"
#include "ui/preview.h"

namespace {

constexpr int BlockBytes = 8192;
constexpr std::size_t BlocksCompared = 12;
constexpr Point NewButton{0 + 32, 8};
// Image1 in client coordinates: the page control at (-1, 23), its pages 4 and 24
// inside it, TabControl1 at (1, 24) on the page and Image1 at (41, 33) on that.
constexpr QRect PreviewArea{-1 + 4 + 1 + 41, 23 + 24 + 24 + 33, 255, 255};
constexpr QSize ClientArea{671, 575};
constexpr unsigned long KeySettleMs = 150;   // for the event loop to handle a key

class UndoEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        ASSERT_TRUE(xvfb_.Start()) << xvfb_.Error().toStdString();
        env_ = xvfb_.Environment();
        env_ = tonare_test::WithDiskAudio(env_, tmp_.filePath("audio.raw"));
    }

    void Click(const QString& window, Point p) const { program_.Click(window, p.x, p.y); }

    // Typed as on the keyboard, to the focused window.
    void Keys(const QString& keys) const {
        program_.Xdotool({"key", keys});
        QThread::msleep(KeySettleMs);
    }

    // The preview as the screen shows it, the window's client area at `origin`.
    QImage ShownPreview(QPoint origin) const {
        const QString file = tmp_.filePath("screen.png");
        QFile::remove(file);
        tonare_test::RunTool(TONARE_SCREENGRAB, {file}, env_);
        const QImage screen(file);
        if (screen.isNull()) return {};
        return screen.copy(PreviewArea.translated(origin)).convertToFormat(QImage::Format_RGB32);
    }

    QPoint ClientOrigin(const QString& window) const {
        const QStringList lines = program_.Xdotool({"getwindowgeometry", "--shell", window}).split('\n');
        QPoint origin;
        for (const QString& line : lines) {
            if (line.startsWith("X=")) origin.setX(line.mid(2).toInt());
            if (line.startsWith("Y=")) origin.setY(line.mid(2).toInt());
        }
        return origin;
    }

    // Blocks of the audio file after the silence of the paused device.
    std::vector<QByteArray> RenderedBlocks() const {
        return tonare_test::SoundingBlocks(tmp_.filePath("audio.raw"), BlockBytes);
    }

    // Destroyed from the bottom up: the program ends before its display.
    QTemporaryDir tmp_;
    tonare_test::Xvfb xvfb_;
    tonare_test::ProgramUnderTest program_{TONARE_KURVIL};
    QProcessEnvironment env_;
};

TEST_F(UndoEndToEnd, NewTwiceThenCtrlZTwiceGivesBackTheDefaultInstrument) {
    ksynth::BuildTables();
    const QString window = program_.StartAndWaitForWindow(env_);
    ASSERT_FALSE(window.isEmpty()) << "the window did not show";
    program_.Xdotool({"windowfocus", "--sync", window});
    const QPoint origin = ClientOrigin(window);
    Click(window, InstrumentEditorTab);

    // The start-up picture: oscillator 1 of the default instrument.
    const QImage atStart = ShownPreview(origin);
    ASSERT_FALSE(atStart.isNull()) << "no screen picture";
    QImage defaultPreview(PreviewArea.size(), QImage::Format_RGB32);
    PaintPreview(defaultPreview, DefaultOscillatorCurves[0], ClientArea);
    ASSERT_EQ(atStart, defaultPreview) << "the preview at start is not the default oscillator's";

    Click(window, NewButton);
    Click(window, NewButton);
    EXPECT_NE(ShownPreview(origin), atStart) << "New did not change the preview";

    Keys("ctrl+z");
    Keys("ctrl+z");
    EXPECT_EQ(ShownPreview(origin), atStart) << "the preview after undoing both is not the start-up picture";

    Click(window, OctaveItem4);
    Click(window, KeyA0);
    QElapsedTimer timer;
    timer.start();
    while (RenderedBlocks().size() < BlocksCompared && timer.elapsed() < 15000) QThread::msleep(50);
    const std::vector<QByteArray> heard = RenderedBlocks();
    ASSERT_GE(heard.size(), BlocksCompared) << "the key press was not heard";
    PlayDefaultA440Offline();
    std::array<uint8_t, BlockBytes> expected{};
    for (std::size_t b = 0; b < BlocksCompared; ++b) {
        ksynth::RenderAudio(nullptr, expected.data(), BlockBytes);
        ASSERT_EQ(0, std::memcmp(expected.data(), heard[b].constData(), BlockBytes)) << "block " << b << " differs";
    }

    Click(window, QuitButton);
    ASSERT_TRUE(program_.WaitForExit(10000)) << "Quit did not end the program";
    EXPECT_TRUE(program_.ExitedNormally());
    EXPECT_EQ(program_.ExitCode(), 0);
}

}  // namespace
