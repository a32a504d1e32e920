// The audio device against SDL's disk writer: it opens paused, plays exactly the
// blocks the renderer produces while resumed, stops on pause, and stays harmless
// when no device can be opened.
#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio/SDLaudio.h"
#include "disk_audio.h"
#include "test_note.h"
#include "engine/ksynth.h"

namespace {

using disk_audio::Block;
using disk_audio::BlockBytes;
using namespace ksynth;
using test_note::SetUpNote;
using test_note::RenderOffline;
using test_note::FirstDifference;

TEST(AudioDevice, OpensPausedPlaysTheRenderedBlocksAndStopsOnPause) {
    disk_audio::ScratchFolder folder;
    ASSERT_TRUE(folder.Valid());
    const auto file = folder.Path() / "device.raw";
    disk_audio::UseDiskDriver(file, 5);
    SetUpNote();   // would sound at once if the device opened playing

    ASSERT_TRUE(SDLaudio::AudioOpen());
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    ASSERT_TRUE(disk_audio::WaitForFileBytes(file, 4 * BlockBytes));
    EXPECT_EQ(Voices[0].Phase.load(), 0u) << "the renderer ran while paused";
    // Everything SDL has written so far was written before the resume.
    const std::uintmax_t pausedBytes = disk_audio::FileBytes(file);

    SDLaudio::AudioSetPaused(false);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
    ASSERT_TRUE(disk_audio::WaitForFileBytes(file, pausedBytes + 8 * BlockBytes));

    SDLaudio::AudioSetPaused(true);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    // A callback under way at the pause may still finish; none can start after
    // the next blocks of silence.
    ASSERT_TRUE(disk_audio::WaitForFileBytes(file, disk_audio::FileBytes(file) + 3 * BlockBytes));
    const uint32_t phaseAtStop = Voices[0].Phase;
    const int16_t countdownAtStop = TickCountdown;
    ASSERT_TRUE(disk_audio::WaitForFileBytes(file, disk_audio::FileBytes(file) + 3 * BlockBytes));
    EXPECT_EQ(Voices[0].Phase.load(), phaseAtStop) << "the renderer ran after the pause";

    SDLaudio::AudioClose();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED);

    // The file: silence while paused, the rendered run, silence after the pause.
    const std::vector<Block> written = disk_audio::ReadBlocks(file);
    std::size_t first = 0;
    while (first < written.size() && disk_audio::IsSilent(written[first])) ++first;
    std::size_t end = written.size();
    while (end > first && disk_audio::IsSilent(written[end - 1])) --end;
    ASSERT_LT(first, written.size()) << "nothing was rendered";
    EXPECT_GE(first, pausedBytes / BlockBytes) << "sound reached the file before the resume";
    EXPECT_GE(written.size() - end, 3u) << "no silence after the pause";
    const std::size_t played = end - first;
    ASSERT_GE(played, 4u);

    const std::vector<Block> expected = RenderOffline(played);
    for (std::size_t i = 0; i < played; ++i) {
        ASSERT_FALSE(disk_audio::IsSilent(expected[i])) << "the note must not fall silent, block " << i;
        EXPECT_TRUE(written[first + i] == expected[i])
            << "played block " << i << " of " << played << " differs from byte "
            << FirstDifference(written[first + i], expected[i]);
    }
    // The renderer ran exactly once per played block.
    EXPECT_EQ(Voices[0].Phase.load(), phaseAtStop);
    EXPECT_EQ(TickCountdown.load(), countdownAtStop);
}

TEST(AudioDevice, OpensAgainAfterClose) {
    disk_audio::ScratchFolder folder;
    ASSERT_TRUE(folder.Valid());
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        disk_audio::UseDiskDriver(folder.Path() / ("round" + std::to_string(round) + ".raw"), 2);
        SetUpNote();
        ASSERT_TRUE(SDLaudio::AudioOpen());
        EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
        SDLaudio::AudioSetPaused(false);
        // The renderer advances the phase from its first frame on.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (Voices[0].Phase == 0u && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        EXPECT_NE(Voices[0].Phase.load(), 0u) << "no callback after the open";
        SDLaudio::AudioClose();
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    }
}

struct UnavailableDevice {
    const char* name;
    void (*select)(const std::filesystem::path& folder);
};

class AudioDeviceUnavailable : public testing::TestWithParam<UnavailableDevice> {};

TEST_P(AudioDeviceUnavailable, OpenFailsAndEveryOtherCallIsHarmless) {
    disk_audio::ScratchFolder folder;
    ASSERT_TRUE(folder.Valid());
    GetParam().select(folder.Path());
    SetUpNote();

    EXPECT_FALSE(SDLaudio::AudioOpen());
    SDLaudio::AudioSetPaused(false);
    SDLaudio::AudioSetPaused(true);
    SDLaudio::AudioSetPaused(false);
    SDLaudio::AudioLock();
    SDLaudio::AudioUnlock();
    { SDLaudio::AudioLockGuard lock; }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Voices[0].Phase.load(), 0u) << "something rendered without a device";
    SDLaudio::AudioClose();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    SDLaudio::AudioClose();   // a second close is as harmless
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, AudioDeviceUnavailable,
    testing::Values(
        // SDL knows no such driver: no device to open.
        UnavailableDevice{"NoSuchDriver",
                          [](const std::filesystem::path&) { setenv("SDL_AUDIODRIVER", "nonexistent", 1); }},
        // The disk writer starts but cannot create its file.
        UnavailableDevice{"DiskFileInMissingFolder",
                          [](const std::filesystem::path& folder) {
                              disk_audio::UseDiskDriver(folder / "missing" / "device.raw", 2);
                          }}),
    [](const testing::TestParamInfo<UnavailableDevice>& info) { return std::string(info.param.name); });

}  // namespace
