// The preview against pictures worked out by hand.
//
// Rules used in the comments: w(x) and g(x) are the waveform and strength
// curves at x, P(s) + floor((P(s+1) - P(s)) * t / 32) with s = x / 32 and
// t = x % 32. The white column at x covers rows 256 - h .. 254 with
// h = sine(w(x)) * g(x) / 255, sine(a) = 128 + round(127 sin(2 pi (a - 64) / 255)).
// A curve value v sits on row 255 - v. The segment from (x, a) to (x + 1, b)
// with |b - a| = 8 puts rows a .. a +- 3 in column x and the next four in column
// x + 1 (the midpoint row goes on to x + 1), the end point left out.
#include <gtest/gtest.h>

#include <string>

#include "engine/ksynth.h"
#include "tests/ui/preview/guarded_bitmap.h"
#include "ui/ParameterStore.h"
#include "ui/preview.h"

namespace {

constexpr QRgb Black = qRgb(0, 0, 0);
constexpr QRgb White = qRgb(255, 255, 255);
constexpr QRgb Red = qRgb(255, 0, 0);
constexpr QRgb Blue = qRgb(0, 0, 255);
constexpr QRgb Green = qRgb(0, 255, 0);   // left over from before the paint if it shows

constexpr QSize ClientArea(671, 575);

constexpr ksynth::CurvePoints Flat(uint8_t value) {
    return {value, value, value, value, value, value, value, value, value};
}

const OscillatorShape DefaultOscillator1 = DefaultOscillatorCurves[0];

class Preview : public testing::Test {
protected:
    static void SetUpTestSuite() { ksynth::BuildTables(); }

    // Paints over a green bitmap so that a missed pixel of the background shows.
    static GuardedBitmap Paint(const OscillatorShape& shape) {
        GuardedBitmap bitmap(Green);
        PaintPreview(bitmap.image, shape, ClientArea);
        return bitmap;
    }
};

struct Pixel {
    int x;
    int y;
    QRgb colour;
};

void ExpectPixels(const QImage& image, std::initializer_list<Pixel> pixels) {
    for (const Pixel& p : pixels)
        EXPECT_EQ(image.pixel(p.x, p.y), p.colour) << "pixel (" << p.x << ", " << p.y << ")";
}

TEST_F(Preview, DefaultOscillator1) {
    // Waveform 255, 0, 255, ...: w falls across even segments, 255 + floor(-255 t / 32),
    // and rises across odd ones, floor(255 t / 32); period 64. Strength 255 everywhere.
    const GuardedBitmap bitmap = Paint(DefaultOscillator1);
    const QImage& image = bitmap.image;
    ExpectPixels(image, {
        // x = 0: w = 255 (row 0), w(1) = 247 (row 8): red rows 0..3 here, 4..7 in column 1.
        // Blue also starts at (0, 0) and is drawn after red. sine(255) = 1, so h = 1: no white.
        {0, 0, Blue}, {0, 1, Red}, {0, 3, Red}, {0, 4, Black}, {0, 254, Black},
        // x = 1: red 4..7 from segment 0, 8..11 from segment 1 (w(2) = 239, row 16).
        // sine(247) = 128 + round(127 sin(2 pi 183/255)) = 128 + round(-124.4) = 4: white 252..254.
        {1, 0, Blue}, {1, 3, Black}, {1, 4, Red}, {1, 11, Red}, {1, 12, Black},
        {1, 251, Black}, {1, 252, White}, {1, 254, White},
        // x = 8: w = 255 + floor(-63.75) = 191 (row 64); w(7) = 199 (row 56), w(9) = 183 (row 72):
        // red 60..63 from segment 7, 64..67 from segment 8. sine(191) = 128 + round(127 sin(pi/255))
        // = 128 + round(1.56) = 130: white 126..254.
        {8, 0, Blue}, {8, 59, Black}, {8, 60, Red}, {8, 67, Red}, {8, 68, Black},
        {8, 125, Black}, {8, 126, White}, {8, 254, White},
        // x = 24: w = 255 + floor(-191.25) = 63 (row 192); w(23) = 71 (row 184), w(25) = 55 (row 200):
        // red 188..195 over the white column. sine(63) = 128 + round(127 sin(-2 pi/255))
        // = 128 + round(-3.13) = 125: white 131..254.
        {24, 130, Black}, {24, 131, White}, {24, 187, White}, {24, 188, Red}, {24, 195, Red},
        {24, 196, White}, {24, 254, White},
        // x = 31: w = 7 (row 248); segment 30 from row 240 (w(30) = 15) gives rows 244..247 here.
        // x = 32: w = 0 (row 255, outside). Segment 31 from row 248 down to 255 gives rows
        // 248..251 to column 31 and 252..254 to column 32; segment 32 climbs back from row 255
        // to row 248 at x = 33, row 255 clipped, rows 254..252 here. sine(0) = 1: no white.
        {31, 243, Black}, {31, 244, Red}, {31, 251, Red}, {31, 252, Black},
        {32, 251, Black}, {32, 252, Red}, {32, 254, Red},
        // x = 33: w = 7, red 249..251 from segment 32 and 248..245 from segment 33 (w(34) = 15,
        // row 240). sine(7) = 128 + round(127 sin(-2 pi 57/255)) = 128 + round(-125.3) = 3: white 253..254.
        {33, 244, Black}, {33, 245, Red}, {33, 251, Red}, {33, 252, Black}, {33, 253, White},
        // x = 64 starts the second period: segment 63 climbs from row 8 (w = 247) and puts
        // rows 4..1 here, segment 64 starts on row 0 (w = 255) with rows 0..3; blue on row 0.
        {64, 0, Blue}, {64, 1, Red}, {64, 4, Red}, {64, 5, Black}, {63, 5, Red}, {63, 4, Black},
    });

    // Blue runs flat along row 0 and wins every pixel there over the red peaks.
    EXPECT_EQ(PixelsOf(image, Blue), Row(0, 0, 254));
    // One zig-zag period is 64 columns: every column with both neighbours in the same
    // phase repeats 64 columns on (column x shows segments x - 1 and x).
    for (int x = 1; x + 64 <= 254; ++x)
        for (int y = 0; y < 255; ++y) ASSERT_EQ(image.pixel(x, y), image.pixel(x + 64, y)) << x << ", " << y;
    EXPECT_TRUE(PixelsOf(image, Green).empty());
    EXPECT_TRUE(bitmap.MarginIntact());
}

TEST_F(Preview, StrengthZeroLeavesOnlyTheRedCurve) {
    // g = 0 makes every h = 0, so no white, and puts blue on row 255, outside.
    const GuardedBitmap bitmap = Paint({DefaultOscillator1.Waveform, Flat(0)});
    const QImage& image = bitmap.image;
    EXPECT_TRUE(PixelsOf(image, White).empty());
    EXPECT_TRUE(PixelsOf(image, Blue).empty());
    EXPECT_EQ(PixelsOf(image, Black).size() + PixelsOf(image, Red).size(), 255u * 255u);
    ExpectPixels(image, {
        // The red peaks on row 0 now show (x = 0, 64, 128, 192 have w = 255), nothing between.
        {0, 0, Red}, {1, 0, Black}, {64, 0, Red}, {128, 0, Red}, {192, 0, Red},
        // The same red pixels as with full strength; the white below them is gone.
        {8, 60, Red}, {8, 67, Red}, {8, 126, Black}, {8, 254, Black},
        {24, 187, Black}, {24, 188, Red}, {24, 195, Red}, {24, 196, Black},
    });
    EXPECT_TRUE(bitmap.MarginIntact());
}

TEST_F(Preview, MidWaveformMakesAWhiteBlock) {
    // w = 64 everywhere: sine(64) = 128 and h = 128 * 255 / 255 = 128, so every column is
    // white from row 256 - 128 = 128 to 254. Red lies flat on row 255 - 64 = 191, blue
    // (g = 255) on row 0.
    const GuardedBitmap bitmap = Paint({Flat(64), Flat(255)});
    const QImage& image = bitmap.image;
    for (int y = 0; y < 255; ++y) {
        const QRgb expected = y == 0 ? Blue : y == 191 ? Red : y >= 128 ? White : Black;
        for (int x = 0; x < 255; ++x) ASSERT_EQ(image.pixel(x, y), expected) << x << ", " << y;
    }
    EXPECT_TRUE(bitmap.MarginIntact());
}

TEST_F(Preview, BlueIsDrawnOverRedAtTheSameX) {
    // Both curves flat at 255 share row 0; at each x blue comes after red. sine(255) = 1
    // gives h = 1, no white. So row 0 is all blue and nothing else is coloured.
    const GuardedBitmap bitmap = Paint({Flat(255), Flat(255)});
    const QImage& image = bitmap.image;
    EXPECT_EQ(PixelsOf(image, Blue), Row(0, 0, 254));
    EXPECT_EQ(PixelsOf(image, Black).size(), 254u * 255u);
    EXPECT_TRUE(bitmap.MarginIntact());
}

TEST_F(Preview, ALaterXIsDrawnOverAnEarlierOne) {
    // Red flat at w = 125, row 130; sine(125) = 255. Strength rises 0 -> 255 over segment 0:
    // g(14) = 111, g(15) = 119, g(16) = 127, g(17) = 135 on rows 144, 136, 128, 120.
    // Blue segment 14 covers (14, 144..141), (15, 140..137); segment 15 (15, 136..133),
    // (16, 132..129); segment 16 (16, 128..125), (17, 124..121).
    // White: column 15 h = 119, rows 137..254; column 16 h = 127, rows 129..254.
    ksynth::CurvePoints strength = Flat(255);
    strength[0] = 0;
    const GuardedBitmap bitmap = Paint({Flat(125), strength});
    ExpectPixels(bitmap.image, {
        // (16, 130) is blue from x = 15, then red from x = 16.
        {16, 124, Black}, {16, 125, Blue}, {16, 128, Blue}, {16, 129, Blue}, {16, 130, Red},
        {16, 131, Blue}, {16, 132, Blue}, {16, 133, White},
        // In column 15 red comes first and blue misses row 130; blue lies over the white top.
        {15, 130, Red}, {15, 132, Black}, {15, 133, Blue}, {15, 137, Blue}, {15, 140, Blue}, {15, 141, White},
    });
    EXPECT_TRUE(bitmap.MarginIntact());
}

TEST_F(Preview, RepaintLeavesNothingOfThePreviousPicture) {
    // Oscillator 2 first, then oscillator 1, on one bitmap: as at window creation.
    GuardedBitmap reused(Green);
    PaintPreview(reused.image, DefaultOscillatorCurves[1], ClientArea);
    PaintPreview(reused.image, DefaultOscillator1, ClientArea);
    const GuardedBitmap fresh = Paint(DefaultOscillator1);
    EXPECT_EQ(reused.image, fresh.image);
    EXPECT_TRUE(reused.MarginIntact());
}

}  // namespace
