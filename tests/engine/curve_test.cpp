// ShapeCurveAt: linear between nine points, the fraction floored (toward minus infinity).
#include <string>

#include "tests/engine/engine_fixture.h"

using namespace ksynth;

namespace {

struct CurveCase {
    std::string name;
    CurvePoints points;
    uint8_t position;
    uint8_t expected;
};
void PrintTo(const CurveCase& c, std::ostream* os) { *os << c.name; }

// Expected values by hand: P(s) + floor((P(s+1) - P(s)) * t / 32).
const CurveCase CurveCases[] = {
    {"falling_start", {10, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 10},
    {"falling_floors_down", {10, 0, 0, 0, 0, 0, 0, 0, 0}, 1, 9},          // 10 + floor(-10/32)
    {"falling_end_of_segment", {10, 0, 0, 0, 0, 0, 0, 0, 0}, 31, 0},      // 10 + floor(-310/32)
    {"rising_first_step", {0, 255, 0, 0, 0, 0, 0, 0, 0}, 1, 7},           // floor(255/32)
    {"rising_middle", {0, 255, 0, 0, 0, 0, 0, 0, 0}, 16, 127},            // floor(4080/32)
    {"rising_end_of_segment", {0, 255, 0, 0, 0, 0, 0, 0, 0}, 31, 247},    // floor(7905/32)
    {"next_point_exactly", {0, 255, 0, 0, 0, 0, 0, 0, 0}, 32, 255},
    {"top_segment_start", {0, 0, 0, 0, 0, 0, 0, 0, 255}, 224, 0},
    {"top_rising_falls_short", {0, 0, 0, 0, 0, 0, 0, 0, 255}, 255, 247},   // floor(31*255/32)
    {"top_falling_falls_short", {0, 0, 0, 0, 0, 0, 0, 255, 0}, 255, 7},    // 255 + floor(-7905/32) = 255 - 248
    {"top_drop_of_one_reaches_p8", {0, 0, 0, 0, 0, 0, 0, 100, 99}, 255, 99},   // 100 + floor(-31/32)
    {"drop_below_32_reaches_next", {0, 0, 0, 50, 40, 0, 0, 0, 0}, 127, 40},    // 50 + floor(-310/32)
};

class ShapeCurveAtTest : public ::testing::TestWithParam<CurveCase> {};

TEST_P(ShapeCurveAtTest, BothOverloadsGiveTheHandValue) {
    const CurveCase& c = GetParam();
    ShapeCurve curve;
    curve.Assign(c.points);
    EXPECT_EQ(ShapeCurveAt(c.points, c.position), c.expected);
    EXPECT_EQ(ShapeCurveAt(curve, c.position), c.expected);
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, ShapeCurveAtTest, ::testing::ValuesIn(CurveCases), CaseName{});

TEST(ShapeCurveAtFlat, GivesItsValueAtEveryPosition) {
    for (int value : {0, 77, 255}) {
        CurvePoints points;
        points.fill(static_cast<uint8_t>(value));
        ShapeCurve curve;
        curve.Assign(points);
        for (int position = 0; position < 256; ++position) {
            ASSERT_EQ(ShapeCurveAt(points, static_cast<uint8_t>(position)), value) << "position " << position;
            ASSERT_EQ(ShapeCurveAt(curve, static_cast<uint8_t>(position)), value) << "position " << position;
        }
    }
}

}  // namespace
