// Containers, the size grip, the caption bar, the splitter and the scroll bar.
#include "mscroll_fixture.h"

namespace gui_test {
namespace {

using Layout = HostTest;

TEST_F(Layout, ContainerContentScrollsAndClampsWhenPainted) {
    TGuiAlign* box = host->AddAlign(alNone, 0, 0, nullptr);
    box->Left = 0, box->Top = 20, box->Right = 200, box->Bottom = 120;
    box->Transparent = false;
    box->Color = 0x303030;
    std::vector<TGuiFader*> faders;
    for (int i = 0; i < 5; ++i) {
        TGuiFader* f = host->AddFader("f" + std::to_string(i), 0, 100, 0, 150, box);
        f->Top = 20 + i * 50, f->Bottom = 20 + i * 50 + 20;
        f->Left = 10, f->Right = 160;
        f->OnGetText = [](TGuiFader*, std::string& t) { t.clear(); };
        faders.push_back(f);
    }
    faders[4]->Bottom = 20 + 250;
    EXPECT_EQ(box->ContentHeight(), 250);
    box->ScrollY = 1000;
    host->Paint();
    EXPECT_EQ(box->ScrollY, 150);
    // The fader at 220 shows at 70; the one at 20 is scrolled away above the box and skipped.
    EXPECT_EQ(Pixel(50, 75), Rgb(GuiFace()));
    EXPECT_EQ(Pixel(50, 50), Rgb(0x303030));
    EXPECT_EQ(Pixel(50, 15), 0xFFFFFFu); // nothing drawn above the box
    box->ScrollY = 0;
    box->SetScrollY(-5);
    EXPECT_EQ(box->ScrollY, 0);
}

TEST_F(Layout, ContainerLaysOutItsChildrenInsideItsRectangle) {
    TGuiAlign* box = host->AddAlign(alNone, 0, 0, nullptr);
    box->Left = 10, box->Top = 40, box->Right = 210, box->Bottom = 200;
    TGuiLabel* a = host->AddLabel("a", alTop, box);
    TGuiLabel* b = host->AddLabel("b", alTop, box);
    a->Top = 0, a->Bottom = 16, b->Top = 0, b->Bottom = 16;
    TGuiAlign* side = host->AddAlign(alLeft, 16, 0, box);
    EXPECT_EQ(side->GetWidth(), 16);
    TGuiAlign* rest = host->AddAlign(alClient, 99, 99, box);
    host->AlignControls();
    EXPECT_EQ(std::pair(a->Top, b->Top), std::pair(42, 60));
    EXPECT_EQ(std::pair(a->Left, a->Right), std::pair(12, 208));
    EXPECT_EQ(TRect(side->Left, side->Top, side->Right, side->Bottom), TRect(10, 76, 26, 200));
    EXPECT_EQ(TRect(rest->Left, rest->Top, rest->Right, rest->Bottom), TRect(26, 76, 210, 200));
}

TEST_F(Layout, SizeGripStopsAtTheMinimumAndRegrowsOnlyPastIt) {
    TForm tool(nullptr);
    tool.BorderStyle = bsNone;
    tool.SetBounds(500, 300, 60, 60);
    TMScroll* strip = new TMScroll(&tool);
    strip->Parent = &tool;
    strip->Align = alClient;
    tool.Show();
    gui.Pump();
    TGuiSize* grip = new TGuiSize(strip);
    grip->Left = 44, grip->Top = 44, grip->Right = 58, grip->Bottom = 58;
    grip->Wnd = tool.Handle();
    strip->Add(grip);
    const TPoint start = gui.At(strip->Handle(), 50, 50);
    gui.Press(start);
    gui.MoveTo({start.X - 50, start.Y - 50});
    TRect r;
    GetWindowRect(tool.Handle(), &r);
    EXPECT_EQ(std::pair(r.Width(), r.Height()), std::pair(32, 32));
    gui.MoveTo({start.X - 40, start.Y - 40}); // back 10: not yet where the minimum was reached
    GetWindowRect(tool.Handle(), &r);
    EXPECT_EQ(std::pair(r.Width(), r.Height()), std::pair(32, 32));
    gui.MoveTo({start.X - 20, start.Y - 20});
    GetWindowRect(tool.Handle(), &r);
    EXPECT_EQ(std::pair(r.Width(), r.Height()), std::pair(40, 40));
    EXPECT_EQ(std::pair(r.Left, r.Top), std::pair(500, 300));
    gui.Release({start.X - 20, start.Y - 20});
}

TEST_F(Layout, CaptionBarRollsTheWindowUpAndBack) {
    TForm tool(nullptr);
    tool.BorderStyle = bsNone;
    tool.SetBounds(500, 300, 120, 150);
    TMScroll* strip = new TMScroll(&tool);
    strip->Parent = &tool;
    strip->Align = alClient;
    tool.Show();
    gui.Pump();
    TGuiDrag* bar = strip->AddDrag(alTop, "Faders", nullptr, tool.Handle());
    strip->AlignControls();
    const TPoint p = gui.At(strip->Handle(), 20, bar->Top + 5);
    gui.Click(p);
    gui.Click(p);
    TRect r;
    GetWindowRect(tool.Handle(), &r);
    EXPECT_EQ(r.Height(), 20);
    EXPECT_FALSE(bar->Expanded);
    gui.Click(p);
    gui.Advance(600);
    gui.Click(p);
    gui.Click(p);
    GetWindowRect(tool.Handle(), &r);
    EXPECT_EQ(r.Height(), 150);
    // A drag moves the window with the pointer.
    gui.Advance(600);
    gui.Drag(p, {p.X + 30, p.Y + 10});
    GetWindowRect(tool.Handle(), &r);
    EXPECT_EQ(std::pair(r.Left, r.Top), std::pair(530, 310));
}

class Bars : public HostTest {
protected:
    TGuiScrollbar* bar = nullptr;
    void SetUp() override {
        HostTest::SetUp();
        bar = new TGuiScrollbar(host);
        bar->Id = "scrollx";
        bar->Left = 0, bar->Top = 100, bar->Right = 200, bar->Bottom = 116;
        host->Add(bar);
    }
};

TEST_F(Bars, FreeStandingGeometryPressesAndThumbDrag) {
    EXPECT_DOUBLE_EQ(bar->ThumbLength(), 112.0);
    EXPECT_EQ(bar->ThumbPos(), 0);
    gui.Click(At(10, 108));
    EXPECT_EQ(bar->Position, 0);
    EXPECT_EQ(reports, (std::vector<Report>{{"scrollx", 0, ""}}));
    reports.clear();
    gui.Press(At(20, 108));
    gui.MoveTo(At(34, 108));
    gui.MoveTo(At(48, 108));
    gui.Release(At(48, 108));
    EXPECT_EQ(bar->Position, 25); // Round(28 x 100 / 112)
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports.front(), (Report{"scrollx", -1, ""}));
    EXPECT_EQ(reports[reports.size() - 2], (Report{"scrollx", 25, ""}));
    EXPECT_EQ(reports.back(), (Report{"scrollx", -2, ""}));
    // Page zone after the thumb and the second arrow.
    bar->PageStep = 20;
    reports.clear();
    bar->SetPosition(0);
    gui.Click(At(170, 108));
    EXPECT_EQ(bar->Position, 20);
    gui.Click(At(195, 108));
    EXPECT_EQ(bar->Position, 28);
}

TEST_F(Bars, SetPositionClampsSilentlyAndMaxZeroIgnoresPresses) {
    bar->SetPosition(-5);
    EXPECT_EQ(bar->Position, 0);
    bar->SetPosition(bar->Max + 10);
    EXPECT_EQ(bar->Position, 50);
    EXPECT_TRUE(reports.empty());
    bar->Max = 0;
    bar->SetPosition(0);
    gui.Click(At(10, 108));
    gui.Click(At(100, 108));
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(bar->PressedPart, 0);
    host->Paint();
    // No thumb: the classic track, the face and the highlight in alternate pixels.
    EXPECT_EQ(Pixel(100, 108), Rgb(kGuiWhite));
    EXPECT_EQ(Pixel(101, 108), Rgb(kGuiSilver));
    EXPECT_EQ(Pixel(100, 109), Rgb(kGuiSilver));
    EXPECT_EQ(Pixel(101, 109), Rgb(kGuiWhite));
}

TEST_F(Bars, VerticalThumbPressAndReleaseReportOnlyTheRelease) {
    bar->Vertical = true;
    bar->Left = 300, bar->Top = 0, bar->Right = 316, bar->Bottom = 200;
    gui.Click(At(308, 30));
    EXPECT_EQ(reports, (std::vector<Report>{{"scrollx", -2, ""}}));
}

TEST_F(Bars, TooShortABarOrAnEmptyContainerHasNoThumbAndIgnoresDrags) {
    bar->Right = 30; // shorter than its two arrows
    EXPECT_LE(bar->ThumbLength(), 0);
    gui.Press(At(15, 108));
    gui.MoveTo(At(25, 108));
    gui.Release(At(25, 108));
    EXPECT_EQ(bar->Position, 0);
    EXPECT_EQ(reports, (std::vector<Report>{{"scrollx", 0, ""}})); // the first arrow only
    gui.Click(At(28, 108));
    EXPECT_EQ(bar->Position, 8);
    TGuiAlign* box = host->AddAlign(alNone, 0, 0, nullptr);
    box->Left = 0, box->Top = 150, box->Right = 100, box->Bottom = 150; // 0 high
    TGuiScrollbar* linked = box->AddScrollbar(alNone, nullptr);
    linked->Vertical = true;
    linked->Left = 350, linked->Top = 0, linked->Right = 366, linked->Bottom = 200;
    TGuiLabel* l = host->AddLabel("x", alNone, box);
    l->Top = 150, l->Bottom = 400;
    EXPECT_EQ(linked->ThumbLength(), 0);
    gui.Press(At(358, 100));
    gui.MoveTo(At(358, 150));
    gui.Release(At(358, 150));
    EXPECT_EQ(box->ScrollY, 0);
}

TEST_F(Bars, LinkedBarScrollsItsContainer) {
    TGuiAlign* box = host->AddAlign(alNone, 0, 0, nullptr);
    box->Left = 0, box->Top = 0, box->Right = 100, box->Bottom = 100;
    TGuiScrollbar* linked = box->AddScrollbar(alNone, nullptr);
    linked->Vertical = true;
    linked->Left = 100, linked->Top = 0, linked->Right = 116, linked->Bottom = 100;
    linked->LineStep = 16;
    TGuiLabel* l = host->AddLabel("x", alNone, box);
    l->Top = 0, l->Bottom = 200;
    gui.Click(At(108, 95));
    EXPECT_EQ(box->ScrollY, 16);
    linked->Step(1);
    EXPECT_EQ(box->ScrollY, 0);
    linked->Step(-100);
    EXPECT_EQ(box->ScrollY, 102); // the label's bottom and margin, less the box's height
    EXPECT_TRUE(reports.empty()); // a linked bar moves its container instead
}

} // namespace
} // namespace gui_test
