// The ALSA wake-up cap: SDL's request of one block is cut to one period, and a
// buffer SDL sized alone gets quarter-buffer periods, on a real libasound PCM
// (ALSA's "null" device) and as the rules alone.
#include <gtest/gtest.h>

#include <alsa/asoundlib.h>

#include <memory>

#include "audio/AlsaWakeup.h"

namespace {

constexpr snd_pcm_uframes_t SdlBlock = 2048;        // what SDL asks as avail_min
constexpr snd_pcm_uframes_t SdlBuffer = 2 * SdlBlock;

struct ThresholdCase {
    const char* name;
    snd_pcm_uframes_t requested;
    snd_pcm_uframes_t period;
    snd_pcm_uframes_t expected;
};

// The pulse plugin's 227-frame period (three or more periods in SDL's buffer),
// a device that grants SDL's own period, a larger period, and no period yet.
constexpr ThresholdCase ThresholdCases[] = {
    {"PulsePluginPeriod", SdlBlock, 227, 227},
    {"PeriodOfOneBlock", SdlBlock, SdlBlock, SdlBlock},
    {"PeriodAboveTheRequest", 100, SdlBlock, 100},
    {"NoPeriodYet", SdlBlock, 0, SdlBlock},
};

class Threshold : public ::testing::TestWithParam<ThresholdCase> {};

TEST_P(Threshold, IsTheRequestCappedAtOnePeriod) {
    const ThresholdCase& c = GetParam();
    EXPECT_EQ(SDLaudio::WakeupThreshold(c.requested, c.period), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Threshold, ::testing::ValuesIn(ThresholdCases),
                         [](const ::testing::TestParamInfo<ThresholdCase>& info) { return info.param.name; });

TEST(PeriodForBuffer, IsAQuarterOfSdlsBuffer) {
    EXPECT_EQ(SDLaudio::PeriodForBuffer(SdlBuffer), SdlBlock / 2);
}

TEST(WakeupCap, IsWhatSharedLibrariesBindTo) {
    EXPECT_TRUE(SDLaudio::WakeupCapInstalled());
}

using Pcm = std::unique_ptr<snd_pcm_t, decltype(&snd_pcm_close)>;

// Opens ALSA's null device with SDL's buffer and the given period.
Pcm OpenNull(snd_pcm_uframes_t period) {
    snd_pcm_t* raw = nullptr;
    if (snd_pcm_open(&raw, "null", SND_PCM_STREAM_PLAYBACK, 0) < 0) return Pcm(nullptr, &snd_pcm_close);
    Pcm pcm(raw, &snd_pcm_close);
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    snd_pcm_uframes_t buffer = SdlBuffer;
    if (snd_pcm_hw_params_any(raw, hw) < 0 ||
        snd_pcm_hw_params_set_access(raw, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(raw, hw, SND_PCM_FORMAT_S16_LE) < 0 ||
        snd_pcm_hw_params_set_channels(raw, hw, 2) < 0 ||
        snd_pcm_hw_params_set_rate(raw, hw, 44100, 0) < 0 ||
        snd_pcm_hw_params_set_period_size(raw, hw, period, 0) < 0 ||
        snd_pcm_hw_params_set_buffer_size_near(raw, hw, &buffer) < 0 || snd_pcm_hw_params(raw, hw) < 0) {
        return Pcm(nullptr, &snd_pcm_close);
    }
    return pcm;
}

// SDL's own sequence: current software parameters, avail_min of one block, apply.
snd_pcm_uframes_t AvailMinAfterSdlsRequest(snd_pcm_t* pcm) {
    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    snd_pcm_uframes_t availMin = 0;
    EXPECT_GE(snd_pcm_sw_params_current(pcm, sw), 0);
    EXPECT_GE(snd_pcm_sw_params_set_avail_min(pcm, sw, SdlBlock), 0);
    EXPECT_GE(snd_pcm_sw_params(pcm, sw), 0);
    EXPECT_GE(snd_pcm_sw_params_current(pcm, sw), 0);
    EXPECT_GE(snd_pcm_sw_params_get_avail_min(sw, &availMin), 0);
    return availMin;
}

struct PcmCase {
    const char* name;
    snd_pcm_uframes_t period;
    snd_pcm_uframes_t expected;
};

constexpr PcmCase PcmCases[] = {
    {"ShortPeriodGetsOnePeriod", 256, 256},
    {"TwoPeriodsKeepTheBlock", SdlBlock, SdlBlock},
};

class NullDevice : public ::testing::TestWithParam<PcmCase> {};

TEST_P(NullDevice, WakesAfterAtMostOnePeriod) {
    const Pcm pcm = OpenNull(GetParam().period);
    ASSERT_TRUE(pcm) << "ALSA's null device did not open with a period of " << GetParam().period;
    EXPECT_EQ(AvailMinAfterSdlsRequest(pcm.get()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, NullDevice, ::testing::ValuesIn(PcmCases),
                         [](const ::testing::TestParamInfo<PcmCase>& info) { return info.param.name; });

}  // namespace

namespace {

// SDL's fallback when two periods are refused: only the buffer size is set.
TEST(NullDeviceSizedByBuffer, GetsQuarterBufferPeriods) {
    snd_pcm_t* raw = nullptr;
    ASSERT_GE(snd_pcm_open(&raw, "null", SND_PCM_STREAM_PLAYBACK, 0), 0);
    const Pcm pcm(raw, &snd_pcm_close);
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    snd_pcm_uframes_t buffer = SdlBuffer;
    ASSERT_GE(snd_pcm_hw_params_any(raw, hw), 0);
    ASSERT_GE(snd_pcm_hw_params_set_access(raw, hw, SND_PCM_ACCESS_RW_INTERLEAVED), 0);
    ASSERT_GE(snd_pcm_hw_params_set_format(raw, hw, SND_PCM_FORMAT_S16_LE), 0);
    ASSERT_GE(snd_pcm_hw_params_set_channels(raw, hw, 2), 0);
    ASSERT_GE(snd_pcm_hw_params_set_rate(raw, hw, 44100, 0), 0);
    ASSERT_GE(snd_pcm_hw_params_set_buffer_size_near(raw, hw, &buffer), 0);
    ASSERT_GE(snd_pcm_hw_params(raw, hw), 0);
    snd_pcm_uframes_t gotBuffer = 0;
    snd_pcm_uframes_t gotPeriod = 0;
    ASSERT_GE(snd_pcm_get_params(raw, &gotBuffer, &gotPeriod), 0);
    EXPECT_EQ(gotBuffer, SdlBuffer);
    EXPECT_EQ(gotPeriod, SdlBuffer / 4);
    EXPECT_EQ(AvailMinAfterSdlsRequest(raw), SdlBuffer / 4);
}

}  // namespace
