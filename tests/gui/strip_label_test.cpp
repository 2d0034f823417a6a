// A mixer strip's label: the engine makes it, the toolkit's vertical text writes its name.

#include "gui/glib.h"
#include "song/subengine.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(StripLabel, BlueGreyWithTheNameInWhiteFromBottomToTop) {
    TChannel strip(StripLabelWidth, StripLabelHeight, "Reverb", true, ckBus, nullptr);
    ASSERT_EQ(strip.Label.Width(), 16);
    ASSERT_EQ(strip.Label.Height(), 128);
    EXPECT_EQ(strip.Label.Canvas().Pixel(0, 0), TColor(RGB(84, 100, 126)));
    // The same name through the routine itself on the same ground.
    TBitmap want;
    want.SetSize(16, 128);
    want.Canvas().Brush.Color = TColor(RGB(84, 100, 126));
    want.Canvas().FillRect(TRect{0, 0, 16, 128});
    DrawVerticalText(want.Canvas(), "Reverb", 0, 0, 16, 128, clWhite);
    int white = 0, lowest = 0, highest = 128;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 16; ++x) {
            const TColor c = strip.Label.Canvas().Pixel(x, y);
            ASSERT_EQ(c, want.Canvas().Pixel(x, y)) << x << "," << y;
            if (c == clWhite) {
                ++white;
                lowest = std::max(lowest, y);
                highest = std::min(highest, y);
            } else {
                ASSERT_EQ(c, TColor(RGB(84, 100, 126)));
            }
        }
    EXPECT_GT(white, 30);
    // The name starts 4 pixels above the bottom and reads upwards.
    EXPECT_GE(lowest, 120);
    EXPECT_LT(highest, 110);
    EXPECT_GT(highest, 40);
}
