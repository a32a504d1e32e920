// The audio device kept on worker threads: it opens in the background, plays a
// note asked for while it opened from the note's first block, retries after a
// failure, reopens a device whose audio thread ended, and closes harmlessly; a
// worker stuck in SDL is given up at the close deadline, and said so.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioDevice.h"
#include "audio/SDLaudio.h"
#include "disk_audio.h"
#include "test_note.h"

namespace {

using disk_audio::Block;
using disk_audio::BlockBytes;
using SDLaudio::DeviceState;
using namespace std::chrono_literals;

constexpr auto Generous = 10s;       // an open or close that takes longer has hung
constexpr auto CloseDeadline = 500ms;

std::atomic<int> Settled{0};

// What the window does for a key press.
void PressKey() {
    if (SDLaudio::DeviceRequestPlay()) SDLaudio::AudioSetPaused(false);
}

void OpenAndWait() {
    SDLaudio::DeviceOpenAsync([] { ++Settled; });
    ASSERT_TRUE(SDLaudio::DeviceWaitSettled(Generous));
}

void ExpectClosed() {
    EXPECT_TRUE(SDLaudio::DeviceClose(CloseDeadline));
    EXPECT_FALSE(SDLaudio::DeviceAbandoned());
    EXPECT_EQ(SDLaudio::GetDeviceState(), DeviceState::Closed);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

// The sounding part of the file equals the offline render from its first block.
void ExpectNoteFromItsFirstBlock(const std::filesystem::path& file) {
    const std::vector<Block> written = disk_audio::ReadBlocks(file);
    std::size_t first = 0;
    while (first < written.size() && disk_audio::IsSilent(written[first])) ++first;
    // The pause before the close may leave blocks of silence at the end.
    std::size_t end = written.size();
    while (end > first && disk_audio::IsSilent(written[end - 1])) --end;
    ASSERT_LT(first + 4, end) << "the note did not sound";
    const std::size_t played = end - first;
    const std::vector<Block> expected = test_note::RenderOffline(played);
    for (std::size_t i = 0; i < played; ++i) {
        ASSERT_TRUE(written[first + i] == expected[i])
            << "block " << i << " differs from byte " << test_note::FirstDifference(written[first + i], expected[i]);
    }
}

TEST(AudioKeeper, KeyPressedWhileOpeningSoundsFromItsFirstBlock) {
    disk_audio::ScratchFolder folder;
    ASSERT_TRUE(folder.Valid());
    const auto file = folder.Path() / "keeper.raw";
    disk_audio::UseDiskDriver(file, 2);

    SDLaudio::DeviceOpenAsync([] { ++Settled; });
    // The device is opening or open and paused: no callback runs, no lock needed.
    test_note::SetUpNote();
    PressKey();
    ASSERT_TRUE(SDLaudio::DeviceWaitSettled(Generous));
    EXPECT_EQ(SDLaudio::DeviceSettle(), DeviceState::Open);
    EXPECT_EQ(Settled.load(), 1);
    EXPECT_FALSE(SDLaudio::DeviceIsDead());
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
    ASSERT_TRUE(disk_audio::WaitForFileBytes(file, 12 * BlockBytes));

    SDLaudio::DeviceStop();
    ExpectClosed();
    ExpectNoteFromItsFirstBlock(file);
}

TEST(AudioKeeper, FailedOpenIsRetriedOnRequestAndCloseAfterFailureIsHarmless) {
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    OpenAndWait();
    EXPECT_EQ(SDLaudio::DeviceSettle(), DeviceState::Failed);
    EXPECT_STRNE(SDLaudio::AudioError(), "");
    EXPECT_TRUE(SDLaudio::DeviceIsDead());
    EXPECT_FALSE(SDLaudio::DeviceRequestPlay());

    // Still no driver: the retry fails the same way.
    OpenAndWait();
    EXPECT_EQ(SDLaudio::DeviceSettle(), DeviceState::Failed);

    setenv("SDL_AUDIODRIVER", "dummy", 1);
    OpenAndWait();
    EXPECT_EQ(SDLaudio::DeviceSettle(), DeviceState::Open);
    EXPECT_EQ(Settled.load(), 3);
    EXPECT_STREQ(SDLaudio::AudioError(), "");
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED) << "a dropped request must not play";
    ExpectClosed();

    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    OpenAndWait();
    ExpectClosed();
    ExpectClosed();   // closing twice is as harmless
}

TEST(AudioKeeper, DeviceWhoseAudioThreadEndedIsReopened) {
    disk_audio::ScratchFolder folder;
    ASSERT_TRUE(folder.Valid());
    // Every write fails: SDL's audio thread ends after its first block.
    disk_audio::UseDiskDriver("/dev/full", 2);
    test_note::SetUpNote();
    OpenAndWait();
    ASSERT_EQ(SDLaudio::DeviceSettle(), DeviceState::Open);
    const auto deadline = std::chrono::steady_clock::now() + Generous;
    while (!SDLaudio::DeviceIsDead() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(2ms);
    ASSERT_TRUE(SDLaudio::DeviceIsDead());
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED);

    // The next key press: the note waits for the reopened device.
    const auto file = folder.Path() / "reopened.raw";
    disk_audio::UseDiskDriver(file, 2);
    test_note::SetUpNote();
    EXPECT_FALSE(SDLaudio::DeviceRequestPlay());
    OpenAndWait();
    EXPECT_EQ(SDLaudio::DeviceSettle(), DeviceState::Open);
    EXPECT_FALSE(SDLaudio::DeviceIsDead());
    ASSERT_TRUE(disk_audio::WaitForFileBytes(file, 12 * BlockBytes));
    SDLaudio::DeviceStop();
    ExpectClosed();
    ExpectNoteFromItsFirstBlock(file);
}

// A worker stuck in SDL, as on a frozen sound server: a stand-in open or close
// that never returns. Each case needs its own process, since the worker stays.
std::binary_semaphore StuckCallEntered{0};

[[noreturn]] void Stuck() {
    StuckCallEntered.release();
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}
bool StuckOpen() { Stuck(); }
void StuckClose() { Stuck(); }
bool OpenAtOnce() { return true; }

struct StuckCase {
    std::string name;
    SDLaudio::DeviceOpenCall open;
    SDLaudio::DeviceCloseCall close;
    int settledBeforeClose;    // attempts that ended before DeviceClose
    DeviceState stateLeft;     // the stuck worker never publishes its outcome
};
void PrintTo(const StuckCase& c, std::ostream* os) { *os << c.name; }

const StuckCase StuckCases[] = {
    {"open", StuckOpen, nullptr, 0, DeviceState::Opening},
    {"close", OpenAtOnce, StuckClose, 1, DeviceState::Open},
};

class StuckWorker : public ::testing::TestWithParam<StuckCase> {};

TEST_P(StuckWorker, DeviceCloseGivesUpAtItsDeadlineAndSaysSo) {
    const StuckCase& c = GetParam();
    SDLaudio::SetDeviceCalls(c.open, c.close);
    SDLaudio::DeviceOpenAsync([] { ++Settled; });
    if (c.settledBeforeClose > 0) {
        ASSERT_TRUE(SDLaudio::DeviceWaitSettled(Generous));
        EXPECT_EQ(SDLaudio::DeviceSettle(), DeviceState::Open);
    } else {
        ASSERT_TRUE(StuckCallEntered.try_acquire_for(Generous)) << "the open was never tried";
    }
    EXPECT_FALSE(SDLaudio::DeviceAbandoned());

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SDLaudio::DeviceClose(CloseDeadline)) << "DeviceClose said it closed";
    EXPECT_GE(std::chrono::steady_clock::now() - start, CloseDeadline) << "DeviceClose gave up early";
    EXPECT_TRUE(SDLaudio::DeviceAbandoned());
    if (c.settledBeforeClose > 0) {
        EXPECT_TRUE(StuckCallEntered.try_acquire_for(Generous)) << "no close was tried";
    }
    EXPECT_EQ(SDLaudio::GetDeviceState(), c.stateLeft);
    EXPECT_EQ(Settled.load(), c.settledBeforeClose);
}

INSTANTIATE_TEST_SUITE_P(Stuck, StuckWorker, ::testing::ValuesIn(StuckCases),
                         [](const ::testing::TestParamInfo<StuckCase>& info) { return info.param.name; });

}  // namespace
