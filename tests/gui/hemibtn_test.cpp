// The hemisphere button: its pictures, its round hit area and its clicks and groups.
#include "gui/hemibtn.h"
#include "widgets_fixture.h"

#include "platform/window/input.h"

namespace widgets_test {
namespace {

class HemiTest : public WidgetsTest {
protected:
    // One of the program's "Hide" buttons: 17 x 17, grey face, no rings, no outline.
    THemisphereButton* Hide(int left, int top) {
        auto* b = new THemisphereButton(form);
        b->Parent = form;
        b->SetBevelOuter(hbNone);
        b->SetBounds(left, top, 17, 17);
        b->Cursor = crHandPoint;
        b->Hint = "Hide";
        return b;
    }
    static std::uint32_t At(TBitmap& b, int x, int y) { return b.Pixels().Row(y)[x] & 0xFFFFFFu; }
};

TEST_F(HemiTest, HideButtonPicturesLitFromTheUpperLeft) {
    auto* b = Hide(10, 10);
    ASSERT_EQ(b->ImageOut.Width(), 17);
    // The centre faces the viewer: 128 + 74 up, 128 - 74 down.
    EXPECT_EQ(At(b->ImageOut, 8, 8), 0xCACACAu);
    EXPECT_EQ(At(b->ImageIn, 8, 8), 0x363636u);
    // Brighter at the upper left than at the lower right; the mask is round.
    EXPECT_GT(At(b->ImageOut, 3, 3) & 0xFF, At(b->ImageOut, 13, 13) & 0xFF);
    EXPECT_LT(At(b->ImageIn, 3, 3) & 0xFF, At(b->ImageIn, 13, 13) & 0xFF);
    EXPECT_EQ(At(b->ImageMask, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(At(b->ImageMask, 8, 8), 0x000000u);
    EXPECT_EQ(At(b->ImageMask, 0, 8), 0x000000u);
    // An unshaded face keeps its colour.
    b->SetFaceShaded(false);
    EXPECT_EQ(At(b->ImageOut, 8, 8), 0x808080u);
    EXPECT_EQ(At(b->ImageIn, 3, 5), 0x808080u);
}

TEST_F(HemiTest, PaintedRoundOverAPatternedParent) {
    auto* ground = new TPaintBox(form);
    ground->Parent = form;
    ground->SetBounds(0, 0, 60, 60);
    ground->OnPaint = [ground](TObject*) {
        TCanvas& c = ground->Canvas();
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 60; ++x)
                c.SetPixel(x, y, (x + y) % 2 ? clRed : clBlue);
    };
    auto* b = Hide(20, 20);
    ShowForm();
    EXPECT_EQ(gui.Pixel(H(), 20, 20), 0x0000FFu) << "corner: the parent's pattern";
    EXPECT_EQ(gui.Pixel(H(), 21, 20), 0xFF0000u);
    EXPECT_EQ(gui.Pixel(H(), 36, 36), 0x0000FFu);
    EXPECT_EQ(gui.Pixel(H(), 28, 28), 0xCACACAu);
    b->SetDown(true);
    gui.Pump();
    EXPECT_EQ(gui.Pixel(H(), 28, 28), 0x363636u);
    EXPECT_EQ(gui.Pixel(H(), 21, 20), 0xFF0000u);
}

TEST_F(HemiTest, CornersAreNoClickAndMovingOffPopsUp) {
    auto* b = Hide(20, 20);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    ShowForm();
    gui.Press(gui.At(H(), 21, 21));
    EXPECT_FALSE(b->Down());
    gui.Release(gui.At(H(), 21, 21));
    EXPECT_EQ(clicks, 0);
    // Group 0: down only while pressed.
    gui.Press(gui.At(H(), 28, 28));
    EXPECT_TRUE(b->Down());
    gui.MoveTo(gui.At(H(), 60, 60));
    EXPECT_FALSE(b->Down()) << "pops up when the mouse leaves";
    gui.Release(gui.At(H(), 60, 60));
    EXPECT_EQ(clicks, 0);
    gui.Click(gui.At(H(), 28, 28));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(b->Down());
}

TEST_F(HemiTest, AGroupKeepsOneDown) {
    auto* a = Hide(20, 20);
    auto* c = Hide(50, 20);
    a->GroupIndex = c->GroupIndex = 3;
    ShowForm();
    gui.Click(gui.At(H(), 28, 28));
    EXPECT_TRUE(a->Down());
    gui.Click(gui.At(H(), 58, 28));
    EXPECT_TRUE(c->Down());
    EXPECT_FALSE(a->Down());
    gui.Click(gui.At(H(), 58, 28));
    EXPECT_TRUE(c->Down()) << "without AllowAllUp the down button stays down";
    a->SetAllowAllUp(true);
    EXPECT_TRUE(c->AllowAllUp()) << "shared by the group";
    gui.Click(gui.At(H(), 58, 28));
    EXPECT_FALSE(c->Down());
}

TEST_F(HemiTest, RefusedValuesAndDegenerateShapes) {
    auto* b = Hide(20, 20);
    b->SetBevelWidth(0);
    EXPECT_EQ(b->BevelWidth(), 2);
    TBitmap strip;
    strip.SetSize(30, 10);
    b->SetGlyph(&strip);
    EXPECT_EQ(b->NumGlyphs(), 3);
    b->SetGlyphIndex(4);
    EXPECT_EQ(b->GlyphIndex(), 1);
    b->SetGlyphIndex(3);
    EXPECT_EQ(b->GlyphIndex(), 3);
    TBitmap flat;
    flat.SetSize(10, 0);
    b->SetGlyph(&flat);
    EXPECT_EQ(b->NumGlyphs(), 1);
    // Rings that eat the whole face leave nothing to hit, and rendering copes.
    auto* small = new THemisphereButton(form);
    small->Parent = form;
    small->SetBounds(60, 60, 8, 8);
    small->SetBevelInner(hbRaised);
    small->SetBevelOuter(hbLowered);
    EXPECT_FALSE(small->OnButton(4, 4));
    small->SetBounds(60, 60, 1, 1);
    ShowForm();
}

TEST_F(HemiTest, RingsGlyphAndOutline) {
    auto* b = new THemisphereButton(form);
    b->Parent = form;
    b->SetBounds(10, 10, 41, 41);
    b->SetBevelOuter(hbRaised);
    b->SetBevelWidth(4);
    // Raised: the ring is light at the upper left and dark at the lower right.
    const std::uint32_t ul = At(b->ImageOut, 8, 8) & 0xFF, lr = At(b->ImageOut, 32, 32) & 0xFF;
    EXPECT_GT(ul, 128u);
    EXPECT_LT(lr, 128u);
    b->SetBevelOuter(hbLowered);
    EXPECT_EQ(At(b->ImageOut, 8, 8) & 0xFF, lr);
    // A red glyph with a white (transparent) corner colour, unshaded.
    TBitmap g;
    g.SetSize(9, 9);
    g.Canvas().Brush.Color = clWhite;
    g.Canvas().FillRect({0, 0, 9, 9});
    g.Canvas().Brush.Color = clRed;
    g.Canvas().FillRect({2, 2, 7, 7});
    b->SetGlyph(&g);
    b->SetGlyphShaded(false);
    EXPECT_EQ(At(b->ImageOut, 20, 20), 0xFF0000u);
    EXPECT_EQ(At(b->ImageIn, 20, 20), 0xFF0000u);
    EXPECT_NE(At(b->ImageOut, 20, 14), 0xFF0000u) << "white is left out";
    b->SetBorderStyle(bsSingleBorder);
    b->SetBorderColor(clLime);
    EXPECT_EQ(At(b->ImageOut, 20, 4), 0x00FF00u) << "outline inside the ring";
    // Face transparent: the face is cut out of the mask, the glyph stays.
    b->SetFaceTransparent(true);
    EXPECT_EQ(At(b->ImageMask, 12, 20), 0xFFFFFFu);
    EXPECT_EQ(At(b->ImageMask, 20, 20), 0x000000u);
}

} // namespace
} // namespace widgets_test
