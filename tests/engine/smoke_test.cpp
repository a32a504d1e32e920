#include <gtest/gtest.h>
#include "engine/ksynth.h"
using namespace ksynth;
TEST(Smoke, WorkedFrame) {
    BuildTables(); ResetEngine();
    VoiceState& v = Voices[0];
    v.Phase = 305419896u - 1000; v.PhaseStep = 1000; v.Osc2Detune = -1;
    v.Osc1Waveform.Assign({0,32,64,96,128,160,192,224,255});
    v.Osc2Waveform.Assign({255,0,255,0,255,0,255,0,255});
    v.Osc1Strength.Assign({255,255,255,255,255,255,255,255,255});
    v.Osc2Strength.Assign({128,128,128,128,128,128,128,128,128});
    TickCountdown = 5;
    v.Osc1Level = 200; v.Osc2Level = 100; v.PulseWidth = 60; v.Filter = 128; v.FilterState = 100; v.Volume = 200; v.RightShift = 1;
    uint8_t buf[4];
    RenderAudio(nullptr, buf, 4);
    EXPECT_EQ(buf[0], 0xE0); EXPECT_EQ(buf[1], 0xFC); EXPECT_EQ(buf[2], 0x70); EXPECT_EQ(buf[3], 0xFE);
    EXPECT_EQ(FramesPerCallback, 2048); EXPECT_EQ(FramesPerTick, 882);
}
