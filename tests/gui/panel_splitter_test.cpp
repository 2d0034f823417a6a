// The background panel and the splitter bar.
#include "gui/bkpanel.h"
#include "gui/splitterex2.h"
#include "widgets_fixture.h"

#include "platform/gdi/gdi.h"
#include "platform/window/input.h"

namespace widgets_test {
namespace {

using BkPanelTest = WidgetsTest;

TEST_F(BkPanelTest, DrawsNothingOfItsOwn) {
    auto* p = new TBkPanel(form);
    p->Parent = form;
    p->SetBounds(10, 10, 60, 40);
    p->Caption = "never shown";
    p->Color = clRed;
    ShowForm();
    HDC dc = GetDC(p->Handle());
    HBRUSH b = CreateSolidBrush(RGB(0, 0x80, 0));
    TRect r{0, 0, 60, 40};
    FillRect(dc, &r, b);
    DeleteObject(b);
    ReleaseDC(p->Handle(), dc);
    p->Invalidate();
    gui.Pump();
    EXPECT_EQ(Count(p->Handle(), {0, 0, 60, 40}, 0x008000), 60 * 40);
}

// A left pane, the splitter beside it and a client pane that is a window of its own.
class SplitterTest : public WidgetsTest {
protected:
    TPanel* left = nullptr;
    TPanel* rest = nullptr;
    TSplitterEx2* s = nullptr;
    int starts = 0, moves = 0;
    SplitterTest() {
        form->ClientWidth = 400;
        form->ClientHeight = 300;
        left = new TPanel(form);
        left->Parent = form;
        left->Align = alLeft;
        left->Width = 100;
        left->Color = clNavy;
        left->BevelOuter = bvNone;
        s = new TSplitterEx2(form);
        s->Parent = form;
        s->Width = 4;
        s->Left = 100;
        s->Color = clGray;
        s->Control = left;
        s->OnStartMove = [this](TObject*) { ++starts; };
        s->OnMoved = [this](TObject*) { ++moves; };
        rest = new TPanel(form);
        rest->Parent = form;
        rest->Align = alClient;
        rest->Color = clWhite;
        rest->BevelOuter = bvNone;
        ShowForm();
    }
    TPoint At(int x, int y = 100) { return gui.At(H(), x, y); }
    void Drag(int from, int to) {
        gui.Press(At(from));
        gui.MoveTo(At((from + to) / 2));
        gui.MoveTo(At(to));
        gui.Release(At(to));
    }
};

TEST_F(SplitterTest, UpdateFollowsTheMouse) {
    EXPECT_EQ(s->GetLeft(), 100);
    EXPECT_EQ(s->Cursor(), crHSplit);
    gui.Press(At(102));
    EXPECT_EQ(starts, 1);
    gui.MoveTo(At(132));
    EXPECT_EQ(left->Width(), 130);
    EXPECT_EQ(s->GetLeft(), 130) << "the splitter stays beside its control";
    gui.MoveTo(At(152));
    EXPECT_EQ(left->Width(), 150);
    gui.Release(At(152));
    EXPECT_EQ(moves, 2);
    EXPECT_EQ(gui.Pixel(H(), 151, 50), 0x808080u);
}

TEST_F(SplitterTest, MinimumSnapsOrStops) {
    Drag(102, 30); // 28 wide would be below 30
    EXPECT_EQ(left->Width(), 0) << "AutoSnap collapses to SnapTo";
    left->Width = 100;
    gui.Pump();
    s->AutoSnap = false;
    Drag(102, 30);
    EXPECT_EQ(left->Width(), 30);
}

TEST_F(SplitterTest, MaximumStopsTheControlAndTheLine) {
    // 400 - 30 - (100 + 4) + 100 = 366
    s->ResizeStyle = rsLine;
    gui.Press(At(102));
    gui.MoveTo(At(390));
    // The band stands at the limit: splitter position 366.
    EXPECT_EQ(gui.Pixel(H(), 367, 50), 0x000000u) << "white inverted";
    EXPECT_EQ(gui.Pixel(H(), 371, 50), 0xFFFFFFu);
    gui.Release(At(390));
    EXPECT_EQ(left->Width(), 366);
}

TEST_F(SplitterTest, LineShowsOverTheChildAndGoesAtTheRelease) {
    s->ResizeStyle = rsLine;
    gui.Press(At(102));
    gui.MoveTo(At(152));
    EXPECT_EQ(left->Width(), 100) << "only the band moves";
    const HWND r = rest->Handle();
    EXPECT_EQ(gui.Pixel(r, 150 - 104 + 1, 50), 0x000000u) << "inverted over the child window";
    // The child repaints under the band: the release must not leave half a band on it.
    rest->Invalidate();
    gui.Pump();
    gui.MoveTo(At(162));
    gui.Release(At(162));
    EXPECT_EQ(left->Width(), 160);
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(Count(r, {0, 0, rest->Width(), rest->Height()}, 0xFFFFFF),
              rest->Width() * rest->Height());
    EXPECT_EQ(Count(H(), {0, 0, 160, 300}, 0x000080), 160 * 300) << "the pane, no band";
}

TEST_F(SplitterTest, PressAndReleaseInPlaceKeepTheSize) {
    for (TResizeStyle style : {rsUpdate, rsLine, rsNone}) {
        s->ResizeStyle = style;
        gui.Click(At(102));
        EXPECT_EQ(left->Width(), 100);
    }
    s->ResizeStyle = rsNone;
    Drag(102, 142);
    EXPECT_EQ(left->Width(), 140);
}

TEST_F(SplitterTest, WithoutControlNothingHappens) {
    s->Control = nullptr;
    Drag(102, 150);
    EXPECT_EQ(left->Width(), 100);
    EXPECT_EQ(starts + moves, 0);
}

TEST_F(SplitterTest, NarrowParentNeverGoesBelowTheMinimum) {
    // A wide right pane: the room left is 400 - 30 - (100 + 4 + 340) + 100 = 26, below
    // MinSize.
    auto* wide = new TPaintBox(form);
    wide->Parent = form;
    wide->Align = alRight;
    wide->Width = 340;
    s->BringToFront();
    gui.Pump();
    s->AutoSnap = false;
    gui.Press(At(102));
    gui.MoveTo(At(110));
    EXPECT_EQ(left->Width(), 30);
    gui.Release(At(110));
    EXPECT_EQ(left->Width(), 30);
}

TEST_F(SplitterTest, RightAndBottomAlignedResizeTheOtherWay) {
    auto* pane = new TPanel(form);
    pane->Parent = form;
    pane->Align = alBottom;
    pane->Height = 80;
    auto* bottom = new TSplitterEx2(form);
    bottom->Parent = form;
    bottom->Align = alBottom;
    bottom->Height = 4;
    bottom->Top = 200;
    bottom->Control = pane;
    EXPECT_EQ(bottom->Cursor(), crVSplit);
    gui.Pump();
    const int top = bottom->GetTop();
    gui.Press(gui.At(H(), 250, top + 2));
    gui.MoveTo(gui.At(H(), 250, top - 18));
    gui.Release(gui.At(H(), 250, top - 18));
    EXPECT_EQ(pane->Height(), 100);
    EXPECT_EQ(pane->GetTop(), 200);
    EXPECT_EQ(bottom->GetTop(), 196);
}

TEST_F(SplitterTest, TopAlignmentTurnsTheCursor) {
    s->Align = alTop;
    EXPECT_EQ(s->Cursor(), crVSplit);
    s->Align = alRight;
    EXPECT_EQ(s->Cursor(), crHSplit);
    s->Cursor = crHandPoint;
    s->Align = alTop;
    EXPECT_EQ(s->Cursor(), crHandPoint) << "only the split cursors follow";
}

} // namespace
} // namespace widgets_test
