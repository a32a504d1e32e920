// The load benchmark's dropout count: inserted silence and lost frames found
// frame by frame against a render whose every frame differs.
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "bench/load/gaps.h"

namespace {

constexpr std::size_t RenderFrames = 10000;
constexpr int64_t MaxLost = 4000;
constexpr int MatchFrames = 16;

enum class Edit { Insert, Lose };

struct Gap {
    Edit edit;
    std::size_t at;      // render frame
    std::size_t frames;
};

struct DropoutCase {
    const char* name;
    std::vector<Gap> gaps;   // in render order
    std::size_t captureEnd;  // render frame the capture stops at
    int count;
    int64_t frames;
};

const DropoutCase DropoutCases[] = {
    {"Clean", {}, RenderFrames, 0, 0},
    {"SilenceInserted", {{Edit::Insert, 1000, 100}}, RenderFrames, 1, 100},
    {"FramesLost", {{Edit::Lose, 2000, 50}}, RenderFrames, 1, 50},
    {"BothInOneCapture", {{Edit::Insert, 1000, 30}, {Edit::Lose, 5000, 700}}, RenderFrames, 2, 730},
    {"CaptureStopsEarly", {}, RenderFrames / 2, 0, 0},
};

// Frames 1, 2, 3, ...: none silent, none repeated.
std::vector<uint32_t> Render() {
    std::vector<uint32_t> render(RenderFrames);
    std::iota(render.begin(), render.end(), 1u);
    return render;
}

std::vector<uint32_t> Capture(const std::vector<uint32_t>& render, const DropoutCase& c) {
    std::vector<uint32_t> capture;
    std::size_t r = 0;
    for (const Gap& gap : c.gaps) {
        capture.insert(capture.end(), render.begin() + static_cast<std::ptrdiff_t>(r),
                       render.begin() + static_cast<std::ptrdiff_t>(gap.at));
        r = gap.at;
        if (gap.edit == Edit::Insert) capture.insert(capture.end(), gap.frames, 0u);
        if (gap.edit == Edit::Lose) r += gap.frames;
    }
    capture.insert(capture.end(), render.begin() + static_cast<std::ptrdiff_t>(r),
                   render.begin() + static_cast<std::ptrdiff_t>(c.captureEnd));
    return capture;
}

class Dropouts : public ::testing::TestWithParam<DropoutCase> {};

TEST_P(Dropouts, AreCountedWithTheirLength) {
    const std::vector<uint32_t> render = Render();
    const load_bench::Dropouts d = load_bench::FindDropouts(Capture(render, GetParam()), render, MaxLost, MatchFrames);
    EXPECT_EQ(d.count, GetParam().count);
    EXPECT_EQ(d.frames, GetParam().frames);
    EXPECT_FALSE(d.lostTrack);
    ASSERT_EQ(d.at.size(), GetParam().gaps.size());
    for (std::size_t g = 0; g < d.at.size(); ++g) EXPECT_EQ(d.at[g], static_cast<int64_t>(GetParam().gaps[g].at));
}

INSTANTIATE_TEST_SUITE_P(Cases, Dropouts, ::testing::ValuesIn(DropoutCases),
                         [](const ::testing::TestParamInfo<DropoutCase>& info) { return info.param.name; });

TEST(DropoutsBeyondTheSearch, LoseTrack) {
    const std::vector<uint32_t> render = Render();
    const DropoutCase tooLong{"TooLong", {{Edit::Lose, 1000, MaxLost + 100}}, RenderFrames, 1, 0};
    EXPECT_TRUE(load_bench::FindDropouts(Capture(render, tooLong), render, MaxLost, MatchFrames).lostTrack);
}

}  // namespace
