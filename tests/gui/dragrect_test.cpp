// The drag rectangle on a bitmap's canvas: what it leaves on the pixels, and its points.
#include "gui/dragrect.h"

#include "platform/gdi/gdi.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace platform;

constexpr TColor kGround = 0x204060;

class DragRectTest : public ::testing::Test {
protected:
    TBitmap surface;
    TSelect s;
    DragRectTest() {
        surface.SetSize(400, 300);
        Repaint();
    }
    TCanvas& C() { return surface.Canvas(); }
    // What the editors' repaint does: the whole surface drawn afresh, the XOR shape gone.
    void Repaint() {
        TCanvas& c = surface.Canvas();
        c.Pen.Mode = pmCopy;
        c.Brush.Style = bsSolid;
        c.Brush.Color = kGround;
        c.FillRect({0, 0, 400, 300});
        // A few marks so that a wrong XOR shows on more than one colour.
        c.Brush.Color = 0x00FF00;
        c.FillRect({100, 100, 130, 120});
    }
    std::vector<std::uint32_t> Snapshot() {
        const Surface& p = surface.Pixels();
        return std::vector<std::uint32_t>(p.pixels.begin(), p.pixels.end());
    }
    int Diff(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
        int n = 0;
        for (std::size_t i = 0; i < a.size(); ++i)
            n += a[i] != b[i];
        return n;
    }
    // XOR marks of the white pen on the ground in r.
    int Marks(TRect r) {
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                n += C().Pixel(x, y) == (kGround ^ 0xFFFFFF);
        return n;
    }
    void PaintPicture(TSelect& o, TRect rect) {
        o.PrepareDragBitmap(rect);
        TCanvas& b = SelectBitmap().Canvas();
        b.Brush.Color = 0x8080FF;
        b.FillRect({1, 1, rect.Width() + 1, rect.Height() + 1});
    }
};

TEST_F(DragRectTest, RubberBandPointsAndNormalize) {
    s.BeginDrag(1, 1, C(), 50, 50, 2000);
    s.DragTo(C(), 30, 60);
    s.DragTo(C(), 10, 80);
    s.EndDrag(C(), 10, 80);
    EXPECT_EQ(s.StartX, 50);
    EXPECT_EQ(s.StartY, 50);
    EXPECT_EQ(s.CurX, 10);
    EXPECT_EQ(s.CurY, 80);
    s.Normalize();
    EXPECT_EQ((TRect{s.StartX, s.StartY, s.CurX, s.CurY}), (TRect{10, 50, 50, 80}));
    EXPECT_EQ(s.Mode, 0);
}

TEST_F(DragRectTest, RubberBandDrawsDottedWhiteXorAndEndLeavesNothing) {
    const auto clean = Snapshot();
    s.BeginDrag(1, 1, C(), 20, 20, 2000);
    s.DragTo(C(), 60, 50);
    EXPECT_GT(Diff(clean, Snapshot()), 20);
    // Dotted: along the top edge pixels alternate between the XOR colour and the ground.
    EXPECT_NE(C().Pixel(20, 20), kGround);
    EXPECT_EQ(C().Pixel(21, 20), kGround);
    EXPECT_EQ(C().Pixel(20, 20), kGround ^ 0xFFFFFF);
    EXPECT_EQ(C().Brush.Style, bsClear) << "the hollow brush stays selected";
    EXPECT_EQ(C().Pen.Mode, pmXor);
    s.EndDrag(C(), 60, 50);
    EXPECT_EQ(Diff(clean, Snapshot()), 0);
}

TEST_F(DragRectTest, SnapStartsAndMovesOnTheGrid) {
    s.Rect = {40, 10, 90, 30};
    s.Snap = 16;
    s.BeginDrag(2, 1, C(), 37, 20, 2000);
    EXPECT_EQ(s.StartX, 32);
    EXPECT_TRUE(s.FirstMove);
    s.DragTo(C(), 70, 20);
    EXPECT_EQ(s.CurX, 64);
    // Moved by 32: 72 and 122 snap down to 64 and 112 (the outline ends a pixel inside).
    EXPECT_GT(Marks({64, 10, 65, 30}), 0);
    EXPECT_EQ(Marks({65, 11, 111, 29}), 0);
    EXPECT_GT(Marks({111, 10, 112, 30}), 0);
    EXPECT_EQ(Marks({112, 0, 200, 300}), 0);
    s.EndDrag(C(), 70, 20);
    EXPECT_EQ(s.Mode, 0);
    EXPECT_EQ(s.Snap, 1);
}

TEST_F(DragRectTest, SnapBelowOneIsNoGrid) {
    s.Rect = {40, 10, 90, 30};
    s.Snap = 0;
    s.BeginDrag(2, 1, C(), 37, 20, 2000);
    s.DragTo(C(), 45, 20);
    EXPECT_EQ(s.CurX, 45);
    s.Snap = -3;
    s.DragTo(C(), 47, 20);
    EXPECT_EQ(s.CurX, 47);
}

TEST_F(DragRectTest, KeepsTheShapeInsideAndFollowsBackAtOnce) {
    s.Rect = {10, 20, 50, 40};
    s.BeginDrag(2, 1, C(), 100, 30, 2000);
    s.DragTo(C(), 70, 30); // left by 30: the left edge would be at -20
    EXPECT_EQ(s.Rect.Left + s.CurX - s.StartX, 0);
    s.DragTo(C(), 71, 30); // back by one: the shape follows at once
    EXPECT_EQ(s.Rect.Left + s.CurX - s.StartX, 1);
    // The bottom stops at MaxY.
    TSelect b;
    b.Rect = {10, 20, 50, 40};
    b.BeginDrag(2, 1, C(), 100, 30, 100);
    b.DragTo(C(), 100, 100);
    EXPECT_EQ(b.Rect.Bottom + b.CurY - b.StartY, 100);
}

TEST_F(DragRectTest, RightEdgeFollowsFromTheSecondMove) {
    s.Rect = {40, 10, 90, 30};
    s.BeginDrag(5, 1, C(), 90, 20, 2000);
    const auto clean = Snapshot();
    s.DragTo(C(), 120, 20);
    EXPECT_EQ(s.CurX, 90) << "the first move draws the edge where it was";
    EXPECT_EQ(C().Pixel(89, 10), kGround) << "dotted";
    EXPECT_EQ(C().Pixel(88, 10), kGround ^ 0xFFFFFF);
    s.DragTo(C(), 120, 20);
    EXPECT_EQ(s.CurX, 120);
    s.EndDrag(C(), 120, 20);
    EXPECT_EQ(Diff(clean, Snapshot()), 0);
}

TEST_F(DragRectTest, EndBeforeAnyMoveLeavesTheSurfaceAsItWas) {
    for (bool redraw : {false, true}) {
        Repaint();
        const auto clean = Snapshot();
        TSelect o;
        o.Rect = {40, 10, 90, 30};
        o.BeginDrag(2, 1, C(), 50, 20, 2000);
        if (redraw) {
            Repaint();
            o.Redraw(C());
        }
        o.EndDrag(C(), 50, 20);
        EXPECT_EQ(Diff(clean, Snapshot()), 0) << "redraw " << redraw;
    }
}

// A repaint in the middle of a drag, the editors' Redraw, then the next move: exactly the one
// shape a clean drag leaves there.
TEST_F(DragRectTest, RepaintRedrawAndMoveLeaveExactlyOneShape) {
    struct Case {
        int mode;
        TRect rect;
        int snap;
        bool afterFirstMove;
        bool bitmap;
    };
    const TRect onGrid{32, 10, 96, 30}, offGrid{37, 10, 91, 30};
    const std::vector<Case> cases = {
        {2, onGrid, 1, false, false},  {3, onGrid, 1, false, false},  {5, onGrid, 1, false, false},
        {6, onGrid, 1, false, false},  {2, onGrid, 16, true, false},  {3, onGrid, 16, true, false},
        {2, offGrid, 16, true, false}, {3, offGrid, 16, true, false}, {2, offGrid, 16, true, true},
        {3, onGrid, 16, true, true},   {2, offGrid, 16, false, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << k.mode << " snap " << k.snap << " after " << k.afterFirstMove
                     << " bitmap " << k.bitmap << " left " << k.rect.Left);
        const int x0 = 53, x1 = 75, x2 = 101;
        // The drag, with or without a repaint and Redraw before the last move.
        auto drag = [&](TSelect& o, bool repaint) {
            Repaint();
            o.Rect = k.rect;
            o.Snap = k.snap;
            o.BeginDrag(k.mode, 1, C(), x0, 60, 2000);
            if (k.bitmap) PaintPicture(o, k.rect);
            if (k.afterFirstMove) o.DragTo(C(), x1, 70);
            if (repaint) {
                Repaint();
                o.Redraw(C());
            }
            o.DragTo(C(), x2, 75);
            if (k.mode >= 5 && !k.afterFirstMove) o.DragTo(C(), x2, 75);
        };
        TSelect ref;
        drag(ref, false);
        const auto expected = Snapshot();
        TSelect o;
        drag(o, true);
        EXPECT_EQ(Diff(expected, Snapshot()), 0);
        // And the end takes it away again.
        Repaint();
        const auto clean = Snapshot();
        o.Redraw(C());
        o.EndDrag(C(), x2, 75);
        EXPECT_EQ(Diff(clean, Snapshot()), 0);
    }
}

TEST_F(DragRectTest, PictureIsXoredWithItsBlackLeftAlone) {
    s.Rect = {40, 40, 60, 50};
    s.BeginDrag(2, 1, C(), 40, 40, 2000);
    EXPECT_FALSE(SelectBitmapReady);
    PaintPicture(s, s.Rect);
    EXPECT_TRUE(SelectBitmapReady);
    EXPECT_EQ(SelectBitmap().Width(), 22);
    EXPECT_EQ(SelectBitmap().Height(), 12);
    s.DragTo(C(), 50, 40);
    EXPECT_EQ(C().Pixel(50, 40), kGround) << "the black border of the picture";
    EXPECT_EQ(C().Pixel(52, 42), kGround ^ 0x8080FF);
    // Another kind draws the outline even with the picture ready.
    s.EndDrag(C(), 50, 40);
    TSelect k2;
    k2.Rect = {40, 40, 60, 50};
    k2.BeginDrag(2, 2, C(), 40, 40, 2000);
    PaintPicture(k2, k2.Rect);
    k2.DragTo(C(), 50, 40);
    EXPECT_EQ(C().Pixel(52, 42), kGround);
    EXPECT_EQ(C().Pixel(50, 40), kGround ^ 0xFFFFFF);
}

TEST_F(DragRectTest, LineAndClamps) {
    s.BeginDrag(4, 1, C(), -5, -7, 100);
    EXPECT_EQ(s.StartX, 0);
    EXPECT_EQ(s.StartY, 0);
    s.DragTo(C(), -10, 500);
    EXPECT_EQ(s.CurX, 0);
    EXPECT_EQ(s.CurY, 100);
    s.DragTo(C(), 40, 0);
    EXPECT_EQ(C().Pixel(0, 0), kGround ^ 0xFFFFFF);
    s.EndDrag(C(), 90, 90);
    EXPECT_EQ(s.CurX, 40) << "the line ends where the last move put it";
    EXPECT_EQ(C().Pixel(0, 0), kGround);
}

} // namespace
