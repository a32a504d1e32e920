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
#include "engine/ksynth.h"

namespace {

using disk_audio::Block;
using disk_audio::BlockBytes;
using namespace ksynth;

// A sounding A (440 Hz) at full volume whose oscillator 2 fades in over the
// first blocks, so every block is loud and no two are alike.
void SetUpNote() {
    BuildTables();
    ResetEngine();
    VoiceState& v = Voices[0];
    v.PhaseStep = NoteToPhaseStep(184, 4);
    v.Osc2Detune = -1;
    v.Osc1Waveform.Assign({0, 32, 64, 96, 128, 160, 192, 224, 255});
    v.Osc1Strength.Assign({255, 255, 255, 255, 255, 255, 255, 255, 255});
    v.Osc2Waveform.Assign({255, 0, 255, 0, 255, 0, 255, 0, 255});
    v.Osc2Strength.Assign({128, 128, 128, 128, 128, 128, 128, 128, 128});
    const std::array<EnvelopeParams, EnvelopeCount> envelopes = {{
        {0, 255, 0, 0, 0, 0, 0, 0, 0, 0},      // volume 255 from the first tick
        {0, 200, 0, 0, 0, 0, 0, 0, 0, 0},      // oscillator 1 steady
        {40, 255, 0, 0, 0, 0, 0, 0, 0, 0},     // oscillator 2 rising over 40 ticks
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},        // no pulse inversion
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},        // filter open
    }};
    for (uint8_t k = 0; k < EnvelopeCount; ++k) LoadEnvelope(0, k, envelopes[k]);
}

std::vector<Block> RenderOffline(std::size_t count) {
    SetUpNote();
    std::vector<Block> blocks(count);
    for (Block& block : blocks) RenderAudio(nullptr, block.data(), static_cast<int>(BlockBytes));
    return blocks;
}

// Index of the first byte where two blocks differ, for a readable failure.
std::size_t FirstDifference(const Block& a, const Block& b) {
    std::size_t i = 0;
    while (i < BlockBytes && a[i] == b[i]) ++i;
    return i;
}

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
