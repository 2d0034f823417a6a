#include "platform/gdi/canvas.h"
#include "platform/gdi/graphics.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

TBitmap& Blank(TBitmap& b, int w, int h, TColor c) {
    b.SetSize(w, h);
    b.Canvas().Brush.Color = c;
    b.Canvas().Brush.Style = bsSolid;
    b.Canvas().FillRect({0, 0, w, h});
    return b;
}

} // namespace

TEST(Canvas, ChangedPropertiesTakeEffectAtTheNextCall) {
    TBitmap b;
    TCanvas& c = Blank(b, 8, 3, clBlack).Canvas();
    c.Pen.Color = clRed;
    c.MoveTo(0, 0);
    c.LineTo(4, 0);
    c.Pen.Color = clBtnFace; // a system colour
    c.LineTo(8, 0);
    EXPECT_EQ(c.PenPos, (TPoint{8, 0}));
    EXPECT_EQ(c.Pixel(3, 0), clRed);
    EXPECT_EQ(c.Pixel(4, 0), 0xC0C0C0);

    // The XOR drag band: white dotted pen, clear brush, so the gaps stay untouched.
    c.Pen.Color = clWhite;
    c.Pen.Style = psDot;
    c.Pen.Mode = pmXor;
    c.Brush.Style = bsClear;
    c.MoveTo(0, 2);
    c.LineTo(4, 2);
    EXPECT_EQ(c.Pixel(0, 2), clWhite);
    EXPECT_EQ(c.Pixel(1, 2), clBlack);
    c.MoveTo(0, 2);
    c.LineTo(4, 2);
    EXPECT_EQ(c.Pixel(0, 2), clBlack);

    // FillRect ignores the XOR mode.
    c.Brush.Style = bsSolid;
    c.Brush.Color = clBlue;
    c.FillRect({0, 1, 2, 2});
    c.FillRect({0, 1, 2, 2});
    EXPECT_EQ(c.Pixel(1, 1), clBlue);
}

TEST(Canvas, DrawHonoursTransparencyAndCopyRectTheCopyMode) {
    TBitmap sprite;
    Blank(sprite, 2, 2, clFuchsia);
    sprite.Canvas().SetPixel(1, 0, clRed);
    TBitmap target;
    TCanvas& c = Blank(target, 4, 4, clGreen).Canvas();
    sprite.Transparent = true; // the bottom-left pixel's colour
    c.Draw(1, 1, sprite);
    EXPECT_EQ(c.Pixel(2, 1), clRed);
    EXPECT_EQ(c.Pixel(1, 1), clGreen);
    sprite.Transparent = false;
    c.Draw(1, 1, sprite);
    EXPECT_EQ(c.Pixel(1, 1), clFuchsia);

    c.CopyMode = cmSrcInvert;
    c.CopyRect({0, 0, 2, 2}, sprite.Canvas(), {0, 0, 2, 2});
    EXPECT_EQ(c.Pixel(0, 0), clGreen ^ clFuchsia);
    EXPECT_EQ(c.ClipRect(), (TRect{0, 0, 4, 4}));
}
