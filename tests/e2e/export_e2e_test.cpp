// The real program under Xvfb, driven with xdotool: a piano key, Ctrl+E, a name
// typed into Qt's own save dialog and Enter leave a file that equals the offline
// render of that note as the first key press after start.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include "tests/e2e/window_points.h"
#include "tests/export/export_support.h"
#include "tests/support/program.h"
#include "tests/support/tools.h"
#include "tests/support/xvfb.h"

namespace {

class ExportEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        ASSERT_TRUE(xvfb_.Start()) << xvfb_.Error().toStdString();
        // A home of its own, so that the music folder and whatever the dialog keeps
        // stay in the temporary folder.
        const QString home = tmp_.filePath("home");
        ASSERT_TRUE(QDir().mkpath(home + "/Music"));
        env_ = xvfb_.Environment();
        env_.insert("HOME", home);
        env_.insert("XDG_CONFIG_HOME", home + "/.config");
        env_.insert("XDG_RUNTIME_DIR", tmp_.path());
        // No desktop and no portal: Qt shows its own widget dialog, the same everywhere.
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "QT_QPA_PLATFORMTHEME",
                                 "GNOME_DESKTOP_SESSION_ID", "KDE_FULL_SESSION", "DBUS_SESSION_BUS_ADDRESS"}) {
            env_.remove(name);
        }
        env_ = tonare_test::WithDiskAudio(env_, tmp_.filePath("audio.raw"));
    }

    QString windowNamed(const QString& pattern) const {
        return xdotool({"search", "--sync", "--onlyvisible", "--name", pattern}).section('\n', 0, 0);
    }
    QString xdotool(const QStringList& args) const { return program_.Xdotool(args); }
    void click(const QString& window, Point p) const { program_.Click(window, p.x, p.y); }

    // Destroyed from the bottom up: the program ends before its display.
    QTemporaryDir tmp_;
    tonare_test::Xvfb xvfb_;
    tonare_test::ProgramUnderTest program_{TONARE_KURVIL};
    QProcessEnvironment env_;
};

TEST_F(ExportEndToEnd, KeyCtrlETypedNameAndEnterWriteTheNote) {
    const QString window = program_.StartAndWaitForWindow(env_);
    ASSERT_FALSE(window.isEmpty()) << "the window did not show";
    click(window, InstrumentEditorTab);
    click(window, OctaveItem4);
    click(window, KeyA0);

    xdotool({"windowfocus", "--sync", window});
    xdotool({"key", "--clearmodifiers", "ctrl+e"});
    const QString dialog = windowNamed("^Export note$");
    ASSERT_FALSE(dialog.isEmpty()) << "no save dialog";
    xdotool({"windowfocus", "--sync", dialog});
    QThread::msleep(300);

    const QString target = tmp_.filePath("exported.flac");
    xdotool({"key", "--clearmodifiers", "ctrl+a"});
    xdotool({"type", "--delay", "30", target});
    QThread::msleep(200);
    xdotool({"key", "Return"});

    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(target) && timer.elapsed() < 15000) QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(target)) << "no file was written";
    QThread::msleep(200);

    click(window, QuitButton);
    ASSERT_TRUE(program_.WaitForExit(10000)) << "Quit did not end the program";
    EXPECT_TRUE(program_.ExitedNormally());
    EXPECT_EQ(program_.ExitCode(), 0);

    // Nothing but the file: no temporary left beside it.
    const QStringList beside = QDir(tmp_.path()).entryList({"*.flac*", ".*.flac*"}, QDir::Files | QDir::Hidden);
    EXPECT_EQ(beside, QStringList{"exported.flac"});

    const export_support::SoundFile file = export_support::ReadSoundFile(target.toStdString());
    ASSERT_TRUE(file.Opened);
    EXPECT_EQ(file.Info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
    EXPECT_EQ(file.Title, "A4");
    constexpr uint32_t Frames = 80 * 882;   // the default volume reaches 0 after 80 ticks
    ASSERT_EQ(file.Info.frames, Frames);
    ksynth::BuildTables();
    const std::vector<int16_t> expected =
        export_support::KeyPressFrames(export_support::DefaultInstrument(), ksynth::FrequencyTable[440], Frames);
    EXPECT_TRUE(file.Samples == expected);
}

}  // namespace
