// The "About" logo as compiled into the program.
#include <gtest/gtest.h>

#include <set>

#include "ui/logo.h"

namespace {

TEST(Logo, IsA512By160PalettePicture) {
    const QImage logo = LogoImage();
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(logo.size(), QSize(512, 160));
    EXPECT_EQ(logo.format(), QImage::Format_Indexed8);
    EXPECT_EQ(logo.depth(), 8);
    EXPECT_GT(logo.colorCount(), 2);
}

TEST(Logo, IsNotBlank) {
    // A picture, not a fill: many palette entries in use, and the
    // top-left corner's colour is not everywhere.
    const QImage logo = LogoImage();
    ASSERT_EQ(logo.format(), QImage::Format_Indexed8);
    std::set<QRgb> colours;
    int differentFromCorner = 0;
    const QRgb corner = logo.pixel(0, 0);
    for (int y = 0; y < logo.height(); ++y)
        for (int x = 0; x < logo.width(); ++x) {
            colours.insert(logo.pixel(x, y));
            differentFromCorner += logo.pixel(x, y) != corner;
        }
    EXPECT_GT(colours.size(), 16u);
    EXPECT_GT(differentFromCorner, logo.width() * logo.height() / 2);
}

}  // namespace
