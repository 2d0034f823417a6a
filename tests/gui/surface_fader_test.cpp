// The drawing surface, the fader and the fader panel.
#include "gui/fader.h"
#include "gui/mmaux.h"
#include "gui/scroll.h"
#include "widgets_fixture.h"

#include "platform/window/input.h"

#include <vector>

namespace widgets_test {
namespace {

using ScrollTest = WidgetsTest;

// Content row y is painted in red y.
void PaintRows(TCanvas& dc, std::vector<TRect>* clips) {
    const TRect clip = dc.ClipRect();
    if (clips) clips->push_back(clip);
    for (int y = clip.Top; y < clip.Bottom; ++y) {
        dc.Brush.Color = RGB(y & 0xFF, 0x40, 0);
        dc.FillRect({clip.Left, y, clip.Right, y + 1});
    }
}

TEST_F(ScrollTest, ScrollingRepaintsOnlyTheUncoveredStrip) {
    auto* s = new TScroll(form);
    s->Parent = form;
    EXPECT_EQ(s->Width(), 300);
    EXPECT_EQ(s->Height(), 150);
    EXPECT_EQ(s->Color(), clBlack);
    std::vector<TRect> clips;
    s->OnPaint = [&](TCanvas& dc) { PaintRows(dc, &clips); };
    ShowForm();
    const HWND h = s->Handle();
    ASSERT_FALSE(clips.empty());
    EXPECT_EQ(gui.Pixel(h, 5, 10), 0x0A4000u);
    clips.clear();
    s->SetOffsetY(-40);
    gui.Pump();
    ASSERT_EQ(clips.size(), 1u);
    // Content rows 150..190 show in window rows 110..150.
    EXPECT_EQ(clips[0], (TRect{0, 150, 300, 190}));
    EXPECT_EQ(gui.Pixel(h, 5, 0), 0x284000u) << "moved up by 40";
    EXPECT_EQ(gui.Pixel(h, 5, 149), 0xBD4000u) << "the new strip, in content coordinates";
    // Sideways likewise.
    clips.clear();
    s->SetOffsetX(-16);
    gui.Pump();
    ASSERT_EQ(clips.size(), 1u);
    EXPECT_EQ(clips[0], (TRect{300, 40, 316, 190}));
}

TEST_F(ScrollTest, OwnersDrawInContentCoordinatesOutsidePaint) {
    auto* s = new TScroll(form);
    s->Parent = form;
    s->OnPaint = [&](TCanvas& dc) { PaintRows(dc, nullptr); };
    ShowForm();
    s->SetOffsetY(-40);
    s->SetOffsetX(-10);
    gui.Pump();
    TCanvas& c = s->Canvas();
    s->ApplyOrigin();
    c.Brush.Color = clWhite;
    c.FillRect({20, 50, 22, 52}); // content (20, 50): window (10, 10)
    EXPECT_EQ(gui.Pixel(s->Handle(), 10, 10), 0xFFFFFFu);
    EXPECT_EQ(gui.Pixel(s->Handle(), 12, 10), 0x324000u);
}

TEST_F(ScrollTest, EraseOnlyWhenAsked) {
    auto* s = new TScroll(form);
    s->Parent = form;
    s->SetBounds(0, 0, 50, 50);
    ShowForm();
    // No OnPaint: nothing is drawn, not even the background.
    EXPECT_EQ(gui.Pixel(s->Handle(), 5, 5), 0xFFFFFFu) << "the form's white stays";
    s->EraseBkgnd = true;
    s->Invalidate();
    gui.Pump();
    EXPECT_EQ(gui.Pixel(s->Handle(), 5, 5), 0x000000u);
}

class FaderTest : public WidgetsTest {
protected:
    TFader* f = nullptr;
    int changes = 0, draws = 0;
    std::string shown;
    void Make(int min, int max, int width = 128) {
        f = new TFader(form);
        f->Parent = form;
        f->SetBounds(10, 10, width, 20);
        f->Max = max;
        f->Min = min;
        f->ShowText = true;
        f->OnChange = [this](TObject*) { ++changes; };
        f->Ondraw = [this](TObject*, std::string& s) {
            ++draws;
            shown = s;
        };
        ShowForm();
    }
    TPoint At(int x) { return gui.At(H(), 10 + x, 20); }
};

TEST_F(FaderTest, ClickAndDragRoundDownAndClamp) {
    Make(0, 127);
    gui.Press(At(64));
    EXPECT_EQ(f->Pos(), 63);
    EXPECT_TRUE(f->Dragging);
    gui.MoveTo(At(128));
    EXPECT_EQ(f->Pos(), 126);
    gui.MoveTo(At(130));
    EXPECT_EQ(f->Pos(), 127);
    gui.Release(At(130));
    EXPECT_FALSE(f->Dragging);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(shown, "127");
}

TEST_F(FaderTest, FillReachesTheValueAndTheTextSitsLeftOfIt) {
    Make(0, 127);
    f->Pos = 64; // thumb offset 64 x 128 / 127 = 64.5, rounded down 64
    gui.Pump();
    EXPECT_EQ(gui.Pixel(H(), 10 + 64, 10), 0x9E9EFFu);
    EXPECT_EQ(gui.Pixel(H(), 10 + 65, 10), 0xC0C0C0u);
    EXPECT_EQ(gui.Pixel(H(), 10 + 10, 10 + 3), 0x8080FFu);
    EXPECT_GT(Count(H(), {10 + 30, 10, 10 + 64, 30}, 0x000000), 5) << "the number";
    f->Mirror = true;
    f->Invalidate();
    gui.Pump();
    EXPECT_EQ(shown, "63");
}

TEST_F(FaderTest, OnOffFaderTogglesAndIgnoresDrags) {
    Make(0, 1, 60);
    EXPECT_EQ(shown, "Off");
    gui.Press(At(5));
    EXPECT_EQ(f->Pos(), 1);
    EXPECT_EQ(shown, "On");
    gui.MoveTo(At(1));
    gui.MoveTo(At(59));
    gui.Release(At(59));
    EXPECT_EQ(f->Pos(), 1);
    gui.Click(At(50));
    EXPECT_EQ(f->Pos(), 0);
    EXPECT_EQ(changes, 2);
}

TEST_F(FaderTest, WritingClampsAndTheSameValueDoesNothing) {
    Make(0, 127);
    const int before = draws;
    f->Pos = 500;
    EXPECT_EQ(f->Pos(), 127);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(draws, before + 1) << "repainted at once";
    f->Pos = 127;
    gui.Pump();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(draws, before + 1);
    f->Pos = -5;
    EXPECT_EQ(f->Pos(), 0);
}

TEST_F(FaderTest, EmptyRangesAndSizesNeitherDivideNorMove) {
    Make(5, 5);
    EXPECT_EQ(gui.Pixel(H(), 10, 10), 0x9E9EFFu);
    EXPECT_EQ(gui.Pixel(H(), 11, 15), 0xC0C0C0u) << "drawn with the thumb at the start";
    gui.Click(At(100));
    EXPECT_EQ(f->Pos(), 5);
    auto* thin = new TFader(form);
    thin->Parent = form;
    thin->SetBounds(10, 50, 0, 20);
    thin->Max = 127;
    thin->Pos = 40;
    thin->MouseDown(mbLeft, 0, 0, 5);
    thin->MouseMove(0, 3, 5);
    EXPECT_EQ(thin->Pos(), 40);
    thin->UpDown = true;
    thin->SetBounds(10, 50, 20, 0);
    thin->MouseMove(0, 3, 5);
    EXPECT_EQ(thin->Pos(), 40);
    gui.Pump();
}

TEST_F(FaderTest, VerticalValueGrowsDownwards) {
    Make(0, 100, 20);
    f->UpDown = true;
    f->SetBounds(10, 10, 20, 100);
    gui.Pump();
    gui.Press(gui.At(H(), 15, 10 + 25)); // 25 / 100 x 100 = 25, rounded down (odd) 24
    EXPECT_EQ(f->Pos(), 24);
    gui.Release(gui.At(H(), 15, 10 + 25));
}

TEST_F(FaderTest, InactiveChecksBlackOnEvenPixels) {
    Make(0, 127);
    f->Active = false;
    f->Repaint();
    const Surface s = gui.Capture(H());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 128; ++x)
            if ((x + y) % 2 == 0) {
                ASSERT_EQ(s.Row(10 + y)[10 + x] & 0xFFFFFFu, 0u) << x << "," << y;
            }
    EXPECT_NE(gui.Pixel(H(), 10 + 101, 10 + 10), 0u);
}

using MMAuxTest = WidgetsTest;

TEST_F(MMAuxTest, WmUserSwitchesTheLine) {
    form->Color = clNavy;
    auto* m = new TMMAux(form);
    m->Parent = form;
    m->SetBounds(10, 10, 150, 40);
    m->BBB->Caption = "Line In";
    ShowForm();
    EXPECT_EQ(m->BBB->Caption(), "Line In");
    EXPECT_EQ(m->AAA->Max(), 127);
    const HWND h = m->Handle();
    const TRect fader = m->AAA->BoundsRect();
    SendMessage(h, WM_USER, 1, 0);
    gui.Pump();
    EXPECT_FALSE(m->Active());
    EXPECT_EQ(m->BBB->Font.Color(), clGray);
    EXPECT_EQ(gui.Pixel(h, fader.Left + 2, fader.Top + 4), 0u);
    EXPECT_GT(Count(h, m->BBB->BoundsRect(), 0x808080), 5) << "grey name";
    SendMessage(h, WM_USER, 2, 1);
    gui.Pump();
    EXPECT_FALSE(m->Active());
    SendMessage(h, WM_USER, 1, 1);
    gui.Pump();
    EXPECT_TRUE(m->Active());
    EXPECT_EQ(m->BBB->Font.Color(), clWhite);
    EXPECT_EQ(gui.Pixel(h, fader.Left + 2, fader.Top + 4), 0xC0C0C0u);
}

} // namespace
} // namespace widgets_test

namespace widgets_test {
namespace {

TEST_F(ScrollTest, GrowingWhileHiddenPaintsTheWholeSurface) {
    auto* side = new TPanel(form);
    side->Parent = form;
    side->Align = alLeft;
    side->Width = 170;
    auto* s = new TScroll(side);
    s->Parent = side;
    s->Align = alClient;
    s->OnPaint = [&](TCanvas& dc) { PaintRows(dc, nullptr); };
    ShowForm();
    // Aligned while the form was hidden: the surface grew from its first 150 pixels.
    EXPECT_GT(s->Height(), 150);
    EXPECT_EQ(gui.Pixel(s->Handle(), 5, 200), 0xC84000u);
}

} // namespace
} // namespace widgets_test
