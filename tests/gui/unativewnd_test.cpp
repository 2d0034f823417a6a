// The native pop-up window through the harness: never active, border drags, hiding, its frame
// and the user message.
#include "gui/unativewnd.h"
#include "platform/forms/edit.h"
#include "platform/forms/form.h"
#include "platform/window/focus.h"
#include "support/gui_harness.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

class TRecordingWin : public TNativeWin {
public:
    using TNativeWin::TNativeWin;
    std::vector<WPARAM> user;
    int bounds = 0, hidden = 0;
    void UserMessage(WPARAM WParam) override { user.push_back(WParam); }
    void BoundsChanged() override { ++bounds; }
    void Hidden() override {
        ++hidden;
        TNativeWin::Hidden();
    }
};

class NativeWinTest : public ::testing::Test {
protected:
    testsupport::GuiHarness gui;
    TForm* owner = new TForm(nullptr);
    TEdit* edit = nullptr;
    NativeWinTest() {
        owner->SetBounds(50, 50, 400, 300);
        edit = new TEdit(owner);
        edit->Parent = owner;
        edit->SetBounds(10, 10, 100, 20);
        edit->TabStop = true;
        owner->Show();
        gui.Pump();
        edit->SetFocus();
        gui.Pump();
    }
    ~NativeWinTest() override { owner->Free(); }
    TRect Rect(const TNativeWin& w) {
        TRect r;
        GetWindowRect(w.Handle, &r);
        return r;
    }
};

TEST_F(NativeWinTest, AClickAnywhereRaisesItAndLeavesActivationAndFocusWithTheOwner) {
    TRecordingWin win(owner->Handle(), 168, 201);
    EXPECT_FALSE(win.Visible);
    EXPECT_FALSE(IsWindowVisible(win.Handle));
    EXPECT_EQ(Rect(win), (TRect{200, 200, 368, 401}));
    EXPECT_EQ(GetClassName(win.Handle), "NativeWin");
    win.Show();
    gui.Pump();
    EXPECT_TRUE(win.Visible);
    ASSERT_EQ(GetActiveWindow(), owner->Handle());
    // Another window covers it without taking the activation.
    TForm* other = new TForm(nullptr);
    other->SetBounds(300, 300, 300, 300); // over part of it
    SetWindowPos(other->Handle(), HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    gui.Pump();
    ASSERT_EQ(TopLevelWindows().front(), other->Handle());
    for (TPoint p : {TPoint{80, 100}, TPoint{1, 1}}) {
        gui.Click(gui.At(win.Handle, p.X, p.Y));
        EXPECT_EQ(GetActiveWindow(), owner->Handle());
        EXPECT_EQ(GetFocus(), edit->Handle()) << "the focus stays inside the owner";
        EXPECT_EQ(TopLevelWindows().front(), win.Handle);
    }
    // With the focus on no control of the owner, it goes to the owner itself.
    SetFocus(owner->Handle());
    SetFocus(0);
    gui.Click(gui.At(win.Handle, 80, 100));
    EXPECT_EQ(GetFocus(), owner->Handle());
    EXPECT_EQ(GetActiveWindow(), owner->Handle());

    other->Free();
    // A second window registers the class again, harmlessly.
    TNativeWin second(owner->Handle(), 50, 50);
    EXPECT_EQ(GetClassName(second.Handle), "NativeWin");
}

TEST_F(NativeWinTest, BorderDragsPutTheEdgesAtTheCursor) {
    TRecordingWin win(owner->Handle(), 168, 201);
    win.Show();
    gui.Pump();
    // Top-left corner, pressed 2 pixels inside: the edges jump to the cursor.
    gui.Drag(gui.At(win.Handle, 2, 2), {150, 170});
    EXPECT_EQ(Rect(win), (TRect{150, 170, 368, 401}));
    EXPECT_EQ(win.SizeZone, 0);
    EXPECT_GT(win.bounds, 0);
    EXPECT_EQ(GetCapture(), 0);
    // (W - 10, H - 2) is the bottom-right corner.
    const TRect r = Rect(win);
    EXPECT_EQ(BorderZone(r.Width() - 10, r.Height() - 2, r.Width(), r.Height()), 5);
    gui.Drag(gui.At(win.Handle, r.Width() - 10, r.Height() - 2), {420, 480});
    EXPECT_EQ(Rect(win), (TRect{150, 170, 420, 480}));
    // Inside: no zone, nothing moves.
    gui.Drag(gui.At(win.Handle, 80, 80), {600, 600});
    EXPECT_EQ(Rect(win), (TRect{150, 170, 420, 480}));
    // The right edge dragged past the left one keeps one pixel.
    gui.Drag(gui.At(win.Handle, 269, 150), {20, 300});
    EXPECT_EQ(Rect(win), (TRect{150, 170, 151, 480}));
    EXPECT_EQ(GetActiveWindow(), owner->Handle());

    // The sizing routines keep what they do not change.
    win.SetWidth(100);
    win.SetHeight(80);
    win.SetLeft(10);
    win.SetTop(20);
    EXPECT_EQ(Rect(win), (TRect{10, 20, 110, 100}));
    EXPECT_EQ(win.GetLeft(), 10);
    EXPECT_EQ(win.GetHeight(), 80);
}

TEST_F(NativeWinTest, CloseHidesAndShowBringsBackTheSamePlace) {
    TRecordingWin win(owner->Handle(), 168, 201);
    win.Show();
    win.SetLeft(300);
    gui.Pump();
    const TRect before = Rect(win);
    SendMessage(win.Handle, WM_CLOSE, 0, 0);
    gui.Pump();
    EXPECT_TRUE(IsWindow(win.Handle));
    EXPECT_FALSE(IsWindowVisible(win.Handle));
    EXPECT_FALSE(win.Visible);
    EXPECT_EQ(win.hidden, 1);
    win.Hide(); // already hidden: nothing
    EXPECT_EQ(win.hidden, 1);
    win.Show();
    gui.Pump();
    EXPECT_TRUE(IsWindowVisible(win.Handle));
    EXPECT_EQ(Rect(win), before);
    EXPECT_EQ(GetActiveWindow(), owner->Handle());
    win.Hide();
    EXPECT_EQ(win.hidden, 2);
    EXPECT_FALSE(IsWindowVisible(win.Handle));
}

TEST_F(NativeWinTest, UserMessageAndTheFrame) {
    TRecordingWin win(owner->Handle(), 168, 201);
    SendMessage(win.Handle, WM_USER, 5, 0);
    PostMessage(win.Handle, WM_USER + 1, 6, 0);
    PostMessage(win.Handle, WM_USER, 7, 0);
    win.Show();
    gui.Pump();
    EXPECT_EQ(win.user, (std::vector<WPARAM>{5, 7}));
    const int w = 168, h = 201;
    struct Case {
        int x, y;
        std::uint32_t rgb;
    };
    const Case frame[] = {
        {0, 0, 0xC0C0C0},         {0, h - 1, 0xC0C0C0},     {w - 2, 0, 0xC0C0C0},
        {w - 1, 0, 0x000000},     {w - 1, h - 1, 0x000000}, {1, h - 1, 0x000000},
        {1, 1, 0xFFFFFF},         {1, h - 2, 0xFFFFFF},     {w - 3, 1, 0xFFFFFF},
        {w - 2, 1, 0x808080},     {w - 2, h - 2, 0x808080}, {2, h - 2, 0x808080},
    };
    for (const Case& c : frame)
        EXPECT_EQ(gui.Pixel(win.Handle, c.x, c.y), c.rgb) << c.x << "," << c.y;

    // Unframed, the window paints nothing of its own.
    TRecordingWin bare(owner->Handle(), 100, 100);
    bare.Framed = false;
    bare.Show();
    gui.Pump();
    EXPECT_NE(gui.Pixel(bare.Handle, 0, 0), 0xC0C0C0u);
    EXPECT_NE(gui.Pixel(bare.Handle, 98, 98), 0x808080u);
}

} // namespace
