// The canvas against pixel lists worked out by hand. Lines follow Bresenham's
// rule: each step along the longer axis takes the pixel nearest the ideal line,
// an exact half goes on toward the end point, and the end point is left out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>

#include "tests/ui/preview/guarded_bitmap.h"
#include "ui/canvas.h"

namespace {

constexpr QRgb Black = qRgb(0, 0, 0);
constexpr QRgb Pen = qRgb(255, 0, 0);

struct LineCase {
    std::string name;
    QPoint from;
    QPoint to;
    std::vector<QPoint> pixels;   // every pixel the pen must colour
};

void PrintTo(const LineCase& c, std::ostream* out) { *out << c.name; }

std::vector<LineCase> LineCases() {
    return {
        // End point excluded in every direction.
        {"VerticalDown", {10, 10}, {10, 14}, Column(10, 10, 13)},
        {"VerticalUp", {10, 14}, {10, 10}, Column(10, 14, 11)},
        {"HorizontalRight", {3, 7}, {7, 7}, Row(7, 3, 6)},
        {"HorizontalLeft", {7, 7}, {3, 7}, Row(7, 7, 4)},
        {"DiagonalDownRight", {0, 0}, {4, 4}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {"DiagonalUpLeft", {4, 4}, {0, 0}, {{4, 4}, {3, 3}, {2, 2}, {1, 1}}},
        {"DiagonalUpRight", {2, 6}, {5, 3}, {{2, 6}, {3, 5}, {4, 4}}},
        // Ideal x = y / 8: rows 0..3 lie nearer column 0, row 4 (x = 0.5) goes on to column 1.
        {"SteepDown", {0, 0}, {1, 8}, Join({Column(0, 0, 3), Column(1, 4, 7)})},
        // Reversed: rows 8..5 nearer column 1, row 4 (x = 0.5) goes on toward column 0.
        {"SteepUp", {1, 8}, {0, 0}, Join({Column(1, 8, 5), Column(0, 4, 1)})},
        // Ideal x = 2y/5: 0, 0.4, 0.8, 1.2, 1.6 round to 0, 0, 1, 1, 2.
        {"Steep", {0, 0}, {2, 5}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}}},
        // Ideal y = x/3: 0, 0.33, 0.67 round to 0, 0, 1.
        {"Shallow", {0, 0}, {3, 1}, {{0, 0}, {1, 0}, {2, 1}}},
        {"LengthZero", {5, 5}, {5, 5}, {}},
        // Clipping: column and row 255 lie outside, as do negative coordinates.
        {"VerticalIntoRow255", {254, 250}, {254, 260}, Column(254, 250, 254)},
        {"VerticalFromBelow", {7, 300}, {7, 252}, Column(7, 254, 253)},
        {"HorizontalIntoColumn255", {250, 3}, {260, 3}, Row(3, 250, 254)},
        {"DiagonalFromNegative", {-3, -3}, {3, 3}, {{0, 0}, {1, 1}, {2, 2}}},
        {"RowAcrossFromOutside", {300, 10}, {-10, 10}, Row(10, 254, 0)},
        // Ideal x = 254 + y/4: rows 0, 1 in column 254; rows 2..5 in 255 and 6, 7 in 256 are clipped.
        {"SteepIntoColumn255", {254, 0}, {256, 8}, {{254, 0}, {254, 1}}},
    };
}

class LineTo : public testing::TestWithParam<LineCase> {};

TEST_P(LineTo, DrawsExactlyTheseStartIncludedEndExcluded) {
    const LineCase& c = GetParam();
    GuardedBitmap bitmap(Black);
    Canvas canvas(bitmap.image);
    canvas.PenColor = Pen;
    canvas.MoveTo(c.from.x(), c.from.y());
    canvas.LineTo(c.to.x(), c.to.y());

    EXPECT_EQ(PixelsOf(bitmap.image, Pen), RowMajor(c.pixels));
    EXPECT_EQ(PixelsOf(bitmap.image, Black).size(), 255u * 255u - c.pixels.size());
    EXPECT_EQ(canvas.PenPos(), c.to);
    EXPECT_TRUE(bitmap.MarginIntact());
}

INSTANTIATE_TEST_SUITE_P(Canvas, LineTo, testing::ValuesIn(LineCases()),
                         [](const testing::TestParamInfo<LineCase>& info) { return info.param.name; });

// Nearest pixel to the ideal line, exact halves going on toward the end point:
// offset i * minor / major rounded, with the sign of `minor` applied afterwards.
int RoundedOffset(int i, int minor, int major) {
    const int magnitude = (2 * i * std::abs(minor) + major) / (2 * major);
    return minor < 0 ? -magnitude : magnitude;
}

TEST(Canvas, EveryDirectionTakesTheNearestPixels) {
    const QPoint start(100, 100);
    for (int dx = -12; dx <= 12; ++dx)
        for (int dy = -12; dy <= 12; ++dy) {
            const int major = std::max(std::abs(dx), std::abs(dy));
            std::vector<QPoint> expected;
            for (int i = 0; i < major; ++i) {
                if (std::abs(dx) >= std::abs(dy))
                    expected.emplace_back(start.x() + (dx < 0 ? -i : i), start.y() + RoundedOffset(i, dy, major));
                else
                    expected.emplace_back(start.x() + RoundedOffset(i, dx, major), start.y() + (dy < 0 ? -i : i));
            }
            GuardedBitmap bitmap(Black);
            Canvas canvas(bitmap.image);
            canvas.PenColor = Pen;
            canvas.MoveTo(start.x(), start.y());
            canvas.LineTo(start.x() + dx, start.y() + dy);
            ASSERT_EQ(PixelsOf(bitmap.image, Pen), RowMajor(expected)) << "dx " << dx << " dy " << dy;
        }
}

TEST(Canvas, TheCurrentPointMovesEvenOffTheBitmap) {
    GuardedBitmap bitmap(Black);
    Canvas canvas(bitmap.image);
    canvas.PenColor = Pen;
    canvas.MoveTo(5, 5);
    canvas.LineTo(5, 300);    // rows 5..254 show
    canvas.LineTo(10, 300);   // wholly below the bitmap
    canvas.LineTo(10, 0);     // from row 300 up: rows 254..1 show, row 0 is the end point
    EXPECT_EQ(PixelsOf(bitmap.image, Pen), RowMajor(Join({Column(5, 5, 254), Column(10, 254, 1)})));
    EXPECT_TRUE(bitmap.MarginIntact());
}

struct FillCase {
    std::string name;
    QRect rect;
    QRect filled;   // the pixels that take the brush colour
};

void PrintTo(const FillCase& c, std::ostream* out) { *out << c.name; }

class FillRect : public testing::TestWithParam<FillCase> {};

TEST_P(FillRect, FillsOnlyThePartOnTheBitmap) {
    const FillCase& c = GetParam();
    GuardedBitmap bitmap(Black);
    Canvas canvas(bitmap.image);
    canvas.BrushColor = Pen;
    canvas.FillRect(c.rect);

    std::vector<QPoint> expected;
    for (int y = c.filled.top(); y <= c.filled.bottom(); ++y)
        for (int x = c.filled.left(); x <= c.filled.right(); ++x) expected.emplace_back(x, y);
    EXPECT_EQ(PixelsOf(bitmap.image, Pen), expected);
    EXPECT_TRUE(bitmap.MarginIntact());
}

INSTANTIATE_TEST_SUITE_P(Canvas, FillRect,
                         testing::Values(
                             // The main window's client area from the origin covers the whole bitmap.
                             FillCase{"LargerThanBitmap", QRect(0, 0, 671, 575), QRect(0, 0, 255, 255)},
                             FillCase{"Inside", QRect(10, 20, 3, 2), QRect(10, 20, 3, 2)},
                             FillCase{"OverTheTopLeft", QRect(-5, -5, 10, 10), QRect(0, 0, 5, 5)},
                             FillCase{"OverTheBottomRight", QRect(250, 252, 10, 10), QRect(250, 252, 5, 3)},
                             FillCase{"AllOutside", QRect(255, 0, 10, 10), QRect()}),
                         [](const testing::TestParamInfo<FillCase>& info) { return info.param.name; });

}  // namespace
