// The named-item canvas on a form, driven through the harness: hit tests, the mouse protocol,
// the item kinds' input, painting and invalidation, FindControl and border resizing.
#include "gui/unativewnd.h"
#include "gui/xgui.h"
#include "platform/forms/form.h"
#include "platform/window/paint.h"
#include "support/gui_harness.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

struct MouseCall {
    TXGuiBase* item;
    TMouseButton button;
    int x, y, state;
};

class XGuiTest : public ::testing::Test {
protected:
    testsupport::GuiHarness gui;
    TForm* form = new TForm(nullptr);
    TXGui* canvas = nullptr;
    std::vector<TXGuiBase*> owned; // root items: the canvas never frees them
    std::vector<MouseCall> calls;
    std::vector<TXGuiBase*> painted;

    XGuiTest() {
        form->BorderStyle = bsNone;
        form->SetBounds(100, 100, 420, 320);
        canvas = new TXGui(form);
        canvas->Parent = form;
        canvas->SetBounds(10, 10, 400, 300);
        canvas->HostWnd = form->Handle();
        canvas->OnBeforePaint = [](TXGui* s, TCanvas& c) {
            c.Brush.Color = clWhite;
            c.FillRect({0, 0, s->GetWidth(), s->GetHeight()});
        };
        canvas->OnMouse = [this](TXGui*, TXGuiBase* item, TMouseButton b, TShiftState, int x,
                                 int y, int state) { calls.push_back({item, b, x, y, state}); };
        canvas->OnPaintCtrl = [this](TXGui*, TXGuiBase* item, TCanvas&, bool&) {
            painted.push_back(item);
        };
        form->Show();
        gui.Pump();
    }
    ~XGuiTest() override {
        form->Free();
        for (TXGuiBase* i : owned)
            delete i;
    }
    template <class T> T* Add(int x, int y, int w, int h, TXGuiBase* parent = nullptr) {
        auto* item = new T(parent);
        item->SetBounds(x, y, w, h);
        if (!parent) {
            canvas->Items.push_back(item);
            owned.push_back(item);
        }
        return item;
    }
    // A point of the canvas on the screen.
    TPoint At(int x, int y) { return gui.At(form->Handle(), x + 10, y + 10); }
    std::uint32_t Pixel(int x, int y) { return gui.Pixel(form->Handle(), x + 10, y + 10); }
};

TEST_F(XGuiTest, APressOnNothingTellsTheOwnerAndLaterEventsReachNothing) {
    Add<TXGuiUser>(200, 200, 50, 50);
    gui.Press(At(20, 30));
    gui.MoveTo(At(220, 220));
    gui.Release(At(220, 220));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].item, nullptr);
    EXPECT_EQ(calls[0].x, 20);
    EXPECT_EQ(calls[0].y, 30);
    EXPECT_EQ(calls[0].state, 1);
    EXPECT_EQ(canvas->Captured, nullptr);
}

TEST_F(XGuiTest, LaterSiblingsAndChildrenWinDisabledAndInvisibleItemsAreNeverHit) {
    auto* a = Add<TXGuiUser>(10, 10, 100, 100);
    auto* b = Add<TXGuiUser>(50, 50, 100, 100);
    auto* area = Add<TXGuiScroll>(200, 10, 150, 200);
    auto* child = new TXGuiUser(area);
    child->SetBounds(10, 10, 50, 50);
    area->Add(child);
    auto* off = Add<TXGuiUser>(0, 0, 30, 30);
    off->Enabled = false;
    auto* hidden = Add<TXGuiUser>(0, 150, 30, 30);
    hidden->Visible = false;
    struct Case {
        int x, y;
        TXGuiBase* hit;
    };
    const Case cases[] = {
        {20, 20, a},     {60, 60, b},      {110, 110, b},       {150, 150, b},
        {215, 25, child}, {260, 100, area}, {15, 15, a}, // the disabled one lets a through
        {10, 160, nullptr}, {199, 5, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(canvas->HitTest(c.x, c.y), c.hit) << c.x << "," << c.y;
    // An item with its edges: a press gives the owner the item's own coordinates.
    gui.Press(At(215, 25));
    gui.Release(At(215, 25));
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].item, child);
    EXPECT_EQ(calls[0].x, 5);
    EXPECT_EQ(calls[0].y, 5);
    EXPECT_EQ(calls.back().state, 2);
    // Invisible items are not painted, nor their children.
    painted.clear();
    hidden->Visible = false;
    canvas->Invalidate();
    gui.Pump();
    EXPECT_EQ(std::count(painted.begin(), painted.end(), hidden), 0);
    EXPECT_EQ(std::count(painted.begin(), painted.end(), a), 1);
    area->Visible = false;
    painted.clear();
    canvas->Invalidate();
    gui.Pump();
    EXPECT_EQ(std::count(painted.begin(), painted.end(), child), 0);
}

TEST_F(XGuiTest, ButtonRepaintsOnReleaseAndTellsTheOwnerOnlyForAClickInside) {
    auto* button = Add<TXGuiButton>(20, 20, 60, 20);
    button->Caption = "Close";
    gui.Press(At(30, 30));
    EXPECT_TRUE(button->Pressed);
    // Pressed: framed, its text blue.
    EXPECT_EQ(Pixel(20, 20), 0xC0C0C0u);
    EXPECT_EQ(Pixel(79, 39), 0x808080u);
    gui.MoveTo(At(200, 200));
    gui.Release(At(200, 200));
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(button->Pressed);
    gui.Press(At(30, 30));
    gui.Release(At(80, 40)); // the edges count as inside
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].item, button);
    EXPECT_EQ(calls[0].state, 2);
    EXPECT_EQ(calls[0].x, 60);
}

TEST_F(XGuiTest, FaderFollowsTheLeftButtonAndKnobFollowsTheMouseUp) {
    auto* fader = Add<TXGuiFader>(50, 20, 100, 16);
    gui.Press(At(100, 25));
    EXPECT_EQ(fader->Pos, 50);
    gui.MoveTo(At(200, 25)); // captured: outside the item still moves it
    EXPECT_EQ(fader->Pos, 100);
    gui.Release(At(200, 25));
    EXPECT_EQ(calls.back().state, 2);
    // Painted: filled up to the value from the left, black beyond.
    fader->Pos = 25;
    canvas->InvalidateControl(fader);
    gui.Pump();
    EXPECT_NE(Pixel(60, 28), 0u);
    EXPECT_EQ(Pixel(90, 22), 0u);

    auto* knob = Add<TXGuiKnob>(200, 100, 30, 30);
    knob->Value = 95;
    gui.Press(At(210, 110));
    gui.MoveTo(At(210, 105));
    EXPECT_EQ(knob->Value, 100);
    gui.MoveTo(At(210, 100));
    EXPECT_EQ(knob->Value, 100);
    gui.MoveTo(At(210, 103));
    EXPECT_EQ(knob->Value, 97);
    gui.Release(At(210, 103));
}

// Faders and bars of no length keep their values.
TEST(XGuiItems, DivisionsByNothingLeaveTheValueUnchanged) {
    TXGuiBase* capture = nullptr;
    TXGuiFader f(nullptr);
    f.SetBounds(0, 0, 0, 10);
    f.Pos = 30;
    capture = &f;
    EXPECT_EQ(f.Mouse(5, 5, ssLeft, 1, capture), 3);
    EXPECT_EQ(f.Pos, 30);
    f.Horizontal = false;
    f.SetBounds(0, 0, 10, 0);
    f.Mouse(5, 5, ssLeft, 4, capture);
    EXPECT_EQ(f.Pos, 30);
    // A vertical fader has Min at the bottom; a right press steps by one.
    f.SetBounds(0, 0, 10, 100);
    f.Mouse(5, 25, ssLeft, 4, capture);
    EXPECT_EQ(f.Pos, 75);
    f.Mouse(5, 80, ssRight, 1, capture);
    EXPECT_EQ(f.Pos, 74);

    TXGuiScrollbar2 bar(nullptr);
    bar.SetBounds(0, 0, 16, 50); // 50 - 2 x 16 - 20: no room to travel
    bar.Pos = 10;
    bar.Mouse(5, 40, ssLeft, 1, capture);
    const int afterJump = bar.Pos;
    bar.Mouse(5, 45, ssLeft, 4, capture);
    EXPECT_EQ(bar.Pos, afterJump);
    bar.SetBounds(0, 0, 16, 0);
    bar.Pos = 10;
    bar.Mouse(5, 40, ssLeft, 1, capture);
    EXPECT_EQ(bar.Pos, 10);

    // An empty range paints no fill.
    TXGuiFader empty(nullptr);
    empty.SetBounds(0, 0, 40, 10);
    empty.Min = empty.Max = empty.Pos = 5;
    TBitmap bmp;
    bmp.SetSize(40, 10);
    empty.Paint(bmp.Canvas());
    EXPECT_EQ(bmp.Pixels().Row(5)[1] & 0xFFFFFF, 0u);
}

TEST_F(XGuiTest, ScrollBarMovesTheContentAndShrunkContentScrollsBack) {
    auto* area = Add<TXGuiScroll>(20, 20, 200, 100);
    for (int i = 0; i < 5; ++i) {
        auto* row = new TXGuiFader(area);
        row->SetBounds(0, i * 50, 150, 40);
        area->Add(row);
    }
    EXPECT_EQ(area->Scrollbar->Max, 140);
    EXPECT_EQ(area->Scrollbar->X, 184);
    EXPECT_EQ(area->Scrollbar->ThumbLength, 10); // 100 / 240 x 100 - 32
    // A press low on the bar jumps there; the content follows, the bar stays.
    gui.Press(At(210, 110));
    gui.Release(At(210, 110));
    EXPECT_EQ(canvas->Captured, nullptr);
    EXPECT_EQ(area->Scrollbar->Pos, 126); // 90 / 100 x 140
    EXPECT_EQ(area->ScrollY, 126);
    EXPECT_EQ(area->Scrollbar->AbsY(), 20);
    EXPECT_EQ(area->Children[4]->AbsY(), 20 + 200 - 126);
    EXPECT_EQ(calls.back().item, area->Scrollbar.get());

    // The content shrinks: the next paint of the area moves the bar and the offset to Max.
    area->Clear();
    auto* row = new TXGuiFader(area);
    row->SetBounds(0, 0, 150, 130);
    area->Add(row);
    EXPECT_EQ(area->Scrollbar->Max, 30);
    EXPECT_EQ(area->Scrollbar->Pos, 126);
    canvas->InvalidateControl(area);
    gui.Pump();
    EXPECT_EQ(area->Scrollbar->Pos, 30);
    EXPECT_EQ(area->ScrollY, 30);
}

TEST_F(XGuiTest, RightReleaseOffersThePopupAndOwnersMayFreeItemsInOnMouse) {
    auto* user = Add<TXGuiUser>(20, 20, 50, 50);
    std::vector<TXGuiBase*> popups;
    canvas->OnPopup = [&](TXGui*, TXGuiBase* item, TMouseButton, TShiftState, int, int) {
        popups.push_back(item);
    };
    gui.Press(At(30, 30), MouseButton::Right);
    gui.Release(At(300, 200), MouseButton::Right);
    gui.Press(At(300, 200), MouseButton::Right);
    gui.Release(At(300, 200), MouseButton::Right);
    EXPECT_EQ(popups, (std::vector<TXGuiBase*>{user, nullptr}));

    // A rebuild in the owner's handler: it clears the captured item before freeing the items,
    // and neither the rest of the press nor the release touches them again.
    auto* scroll = Add<TXGuiScroll>(100, 100, 100, 100);
    auto* child = new TXGuiUser(scroll);
    child->SetBounds(0, 0, 50, 50);
    scroll->Add(child);
    canvas->OnMouse = [&](TXGui* s, TXGuiBase* item, TMouseButton, TShiftState, int, int, int) {
        if (item == child) {
            s->Captured = nullptr;
            scroll->Clear();
        }
    };
    popups.clear();
    gui.Press(At(110, 110), MouseButton::Right);
    gui.Release(At(110, 110), MouseButton::Right);
    EXPECT_TRUE(scroll->Children.empty());
    EXPECT_EQ(popups, (std::vector<TXGuiBase*>{nullptr}));
}

TEST_F(XGuiTest, FindControlWalksDepthFirstAndReportsAMissingNameEveryTime) {
    auto* area = Add<TXGuiScroll>(0, 0, 100, 100);
    area->Name = "Client";
    auto* label = new TXGuiLabel(area);
    label->Name = "Name";
    area->Add(label);
    auto* later = Add<TXGuiLabel>(0, 0, 10, 10);
    later->Name = "Name";
    EXPECT_EQ(canvas->FindControl("Client"), area);
    EXPECT_EQ(canvas->FindControl("Name"), label);
    EXPECT_EQ(AsXGuiLabel(canvas->FindControl("Name"))->Caption, "label");
    gui.Dialogs().Answer(IDOK).Answer(IDOK);
    EXPECT_EQ(canvas->FindControl("name"), nullptr);
    EXPECT_EQ(canvas->FindControl("Scrolly"), nullptr); // the bar is not among the children
    const auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Text, "Control not found: name");
    EXPECT_EQ(boxes[0].Caption, "Error");
    EXPECT_EQ(boxes[0].Icon, MB_ICONERROR);
}

TEST_F(XGuiTest, BorderIsDrawnOverTheItemsAndInvalidationRepaintsOneItem) {
    canvas->BorderWidth = 3;
    EXPECT_EQ(canvas->InnerWidth(), 394);
    EXPECT_EQ(canvas->InnerHeight(), 294);
    auto* cover = Add<TXGuiFader>(0, 0, 400, 300);
    cover->Pos = 0;
    auto* other = Add<TXGuiUser>(50, 50, 20, 20);
    canvas->Invalidate();
    gui.Pump();
    EXPECT_EQ(Pixel(0, 0), 0xC0C0C0u);
    EXPECT_EQ(Pixel(399, 299), 0x000000u);
    EXPECT_EQ(Pixel(1, 1), 0xFFFFFFu);
    EXPECT_EQ(Pixel(398, 298), 0x808080u);
    EXPECT_EQ(Pixel(2, 2), 0xC0C0C0u);
    EXPECT_EQ(Pixel(397, 150), 0xC0C0C0u);
    EXPECT_EQ(Pixel(3, 150), 0x000000u); // the item under it

    painted.clear();
    canvas->InvalidateControl(other);
    TRect update;
    ASSERT_TRUE(GetUpdateRect(form->Handle(), &update, false));
    EXPECT_EQ(update, (TRect{60, 60, 80, 80})); // moved by the canvas's place
    gui.Pump();
    // The cover meets the repainted area too; nothing else is painted.
    EXPECT_EQ(painted, (std::vector<TXGuiBase*>{cover, other}));
}

TEST(BorderZones, ZonesRunClockwiseFromTheTopLeft) {
    struct Case {
        int x, y, zone, cursor;
    };
    const int w = 200, h = 100;
    const Case cases[] = {
        {0, 0, 1, crSizeNWSE},     {3, 15, 1, crSizeNWSE},  {15, 3, 1, crSizeNWSE},
        {16, 0, 2, crSizeNS},      {183, 3, 2, crSizeNS},   {184, 0, 3, crSizeNESW},
        {199, 15, 3, crSizeNESW},  {196, 16, 4, crSizeWE},  {199, 83, 4, crSizeWE},
        {199, 84, 5, crSizeNWSE},  {190, 98, 5, crSizeNWSE}, {100, 96, 6, crSizeNS},
        {15, 99, 7, crSizeNESW},   {0, 84, 7, crSizeNESW},  {0, 50, 8, crSizeWE},
        {4, 4, 0, crArrow},        {195, 95, 0, crArrow},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BorderZone(c.x, c.y, w, h), c.zone) << c.x << "," << c.y;
        EXPECT_EQ(BorderZoneCursor(c.zone), c.cursor) << c.zone;
    }
}

TEST_F(XGuiTest, BorderDragsResizeTheWindowAndNeverBelowOnePixel) {
    canvas->Align = alClient;
    canvas->Sizeable = true;
    canvas->SizeWnd = form->Handle();
    ASSERT_EQ(canvas->GetWidth(), 420);
    std::vector<int> downs;
    canvas->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) {
        downs.push_back(1);
    };
    // Bottom-right corner: width and height follow the cursor's movement.
    gui.Drag(gui.At(form->Handle(), 415, 318), gui.At(form->Handle(), 445, 338));
    TRect r;
    GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(r, (TRect{100, 100, 550, 440}));
    EXPECT_TRUE(downs.empty()) << "a border drag raises no OnMouseDown";
    EXPECT_TRUE(calls.empty());
    // The left edge dragged past the right one stops one pixel short of it.
    TPoint from = gui.At(form->Handle(), 1, 200);
    gui.Drag(from, {from.X + 600, from.Y});
    GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(r.Width(), 1);
    EXPECT_EQ(r.Right, 550);
}

} // namespace
