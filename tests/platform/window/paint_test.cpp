// Window tree, geometry and painting of the window model.
#include "window_fixture.h"

#include "platform/core/timers.h"
#include "platform/gdi/raster.h"
#include "platform/window/graphic.h"

namespace forms_test {
namespace {

TEST_F(FormsTest, PaintsParentsBeforeChildrenAfterPostsAndBeforeTimers) {
    HWND top = Make(kPopup, {100, 100, 300, 250});
    HWND child = Make(kChild, {10, 10, 60, 60}, top, RGB(255, 0, 0));
    gui.Pump();
    order.clear();
    InvalidateRect(top, nullptr, true);
    InvalidateRect(child, nullptr, true);
    SetTimer(top, 1, 10);
    PostMessage(top, WM_USER + 1, 0, 0);
    gui.Advance(10);
    std::vector<std::pair<HWND, UINT>> seen;
    for (auto& e : order)
        if (e.second == WM_USER + 1 || e.second == WM_PAINT || e.second == WM_TIMER)
            seen.push_back(e);
    std::vector<std::pair<HWND, UINT>> want{
        {top, WM_USER + 1}, {top, WM_PAINT}, {child, WM_PAINT}, {top, WM_TIMER}};
    EXPECT_EQ(seen, want);
    EXPECT_EQ(gui.Pixel(top, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(gui.Pixel(top, 10, 10), 0xFF0000u); // the child, in the parent's surface
    EXPECT_EQ(gui.Pixel(child, 49, 49), 0xFF0000u);
    KillTimer(top, 1);
}

TEST_F(FormsTest, EraseBackgroundComesFirstAndANonZeroAnswerSkipsErasing) {
    HWND top = Make(kPopup, {0, 0, 100, 100});
    gui.Pump();
    S(top).msgs.clear();
    S(top).handler = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_ERASEBKGND) return 1;
        return std::nullopt;
    };
    InvalidateRect(top, nullptr, true);
    UpdateWindow(top); // at once, without the pump
    ASSERT_EQ(S(top).msgs.size(), 2u);
    EXPECT_EQ(S(top).msgs[0].msg, WM_PAINT);
    EXPECT_EQ(S(top).msgs[1].msg, WM_ERASEBKGND); // from inside BeginPaint
    InvalidateRect(top, nullptr, false);
    gui.Pump();
    EXPECT_EQ(S(top).Count(WM_ERASEBKGND), 1);
}

TEST_F(FormsTest, ScrollWindowExRepaintsOnlyTheExposedStrip) {
    HWND top = Make(kPopup, {50, 50, 250, 150});
    int offset = 0; // the content scrolled by; column x shows content x + offset
    S(top).painter = [&](HDC dc, const TRect& r) {
        for (int x = r.Left; x < r.Right; ++x) {
            HBRUSH b = CreateSolidBrush(RGB(x + offset, 0, 0));
            TRect col{x, r.Top, x + 1, r.Bottom};
            FillRect(dc, &col, b);
            DeleteObject(b);
        }
    };
    gui.Pump();
    S(top).paints.clear();
    offset = 10;
    Region update;
    int kind = ScrollWindowEx(top, -10, 0, nullptr, nullptr, &update, nullptr, SW_INVALIDATE);
    EXPECT_EQ(kind, SIMPLEREGION);
    EXPECT_EQ(update.Bounds(), (TRect{190, 0, 200, 100}));
    gui.Pump();
    ASSERT_EQ(S(top).paints.size(), 1u);
    EXPECT_EQ(S(top).paints[0], (TRect{190, 0, 200, 100}));
    for (int x : {0, 100, 189, 190, 199})
        EXPECT_EQ(gui.Pixel(top, x, 50), std::uint32_t(x + 10) << 16) << x;
}

// A scroll moves exactly the pixels it names and leaves every other one as it was, whether
// the surface moves its rows or turns them (a vertical move of most of the surface); drawing
// and resizing after a turn land where they should.
TEST_F(FormsTest, ScrollsMoveExactlyTheirPixelsInAnyOrder) {
    constexpr int W = 120, H = 90;
    HWND top = Make(kPopup, {0, 0, W, H});
    gui.Pump();
    std::shared_ptr<Surface> s = GetWindowSurface(top);
    std::vector<std::uint32_t> want(std::size_t(W) * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            s->Row(y)[x] = want[std::size_t(y) * W + x] =
                0xFF000000u | std::uint32_t(x << 16 | y << 8);
    auto same = [&](const char* what) {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (s->Row(y)[x] != want[std::size_t(y) * W + x]) {
                    ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ")";
                    return;
                }
    };
    struct Case {
        const char* what;
        TRect area;
        int dx, dy;
    } cases[] = {
        {"whole, up", {0, 0, W, H}, 0, -7},
        {"whole, down", {0, 0, W, H}, 0, 13},
        {"left columns kept", {10, 0, W, H}, 0, -5},
        {"rows above and below kept", {0, 4, W, 86}, 0, 3},
        {"both sides kept", {6, 0, W - 3, H}, 0, 21},
        {"half the width", {0, 0, 60, H}, 0, -5},
        {"sideways", {0, 0, W, H}, -4, 0},
        {"both ways", {0, 0, W, H}, 3, 2},
        {"whole, up again", {0, 0, W, H}, 0, -40},
    };
    for (const Case& c : cases) {
        ScrollWindowEx(top, c.dx, c.dy, &c.area, nullptr, nullptr, nullptr, 0);
        std::vector<std::uint32_t> was = want;
        for (int y = c.area.Top; y < c.area.Bottom; ++y)
            for (int x = c.area.Left; x < c.area.Right; ++x)
                if (x - c.dx >= c.area.Left && x - c.dx < c.area.Right && y - c.dy >= c.area.Top &&
                    y - c.dy < c.area.Bottom)
                    want[std::size_t(y) * W + x] = was[std::size_t(y - c.dy) * W + x - c.dx];
        same(c.what);
    }
    EXPECT_NE(s->top, 0); // the rows are turned: what follows goes through the turn
    HDC dc = GetDC(top);
    HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
    const TRect bottom{0, H - 2, W, H};
    FillRect(dc, &bottom, b);
    DeleteObject(b);
    ReleaseDC(top, dc);
    for (int y = H - 2; y < H; ++y)
        for (int x = 0; x < W; ++x)
            want[std::size_t(y) * W + x] = 0xFF010203u;
    same("drawn after the turn");
    EXPECT_EQ(gui.Pixel(top, 0, H - 1), 0x010203u);
    EXPECT_EQ(gui.Pixel(top, 5, 0), want[5] & 0xFFFFFFu);
    SetWindowPos(top, 0, 0, 0, W, H + 10, SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW);
    ASSERT_EQ(s->height, H + 10);
    same("resized");
}

// A resize keeps the pixels of the rows and columns that stay and makes what the surface gains
// white, narrower or wider, shorter or taller, in any order.
TEST_F(FormsTest, ResizesKeepThePixelsThatStayAndWhitenWhatIsGained) {
    HWND top = Make(kPopup, {0, 0, 60, 40});
    gui.Pump();
    std::shared_ptr<Surface> s = GetWindowSurface(top);
    auto first = [](int x, int y) { return 0xFF000000u | std::uint32_t(x << 16 | y << 8 | 7); };
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            s->Row(y)[x] = first(x, y);
    int keptW = 60, keptH = 40; // what still holds the first pixels
    for (const auto& [w, h] : {std::pair{40, 30}, {80, 30}, {80, 50}, {30, 60}, {100, 70}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        SetWindowPos(top, 0, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW);
        ASSERT_EQ(s->width, w);
        ASSERT_EQ(s->height, h);
        keptW = std::min(keptW, w);
        keptH = std::min(keptH, h);
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                wrong += s->Row(y)[x] != (x < keptW && y < keptH ? first(x, y) : 0xFFFFFFFFu);
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(FormsTest, XorMarkDrawnFromATimerOutsidePaintShowsAndASecondDrawRemovesIt) {
    HWND top = Make(kPopup, {0, 0, 100, 100}, 0, RGB(0, 128, 0));
    gui.Pump();
    const std::size_t paints = S(top).paints.size();
    S(top).handler = [](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_TIMER) return std::nullopt;
        HDC dc = GetDC(h);
        SetROP2(dc, R2_NOT);
        MoveToEx(dc, 10, 20, nullptr);
        LineTo(dc, 90, 20);
        ReleaseDC(h, dc);
        return 0;
    };
    SetTimer(top, 1, 100);
    gui.Advance(100);
    EXPECT_EQ(gui.Pixel(top, 50, 20), 0xFF7FFFu);
    EXPECT_EQ(gui.Pixel(top, 50, 21), 0x008000u);
    auto s = GetWindowSurface(top);
    gui.Advance(100);
    EXPECT_EQ(gui.Pixel(top, 50, 20), 0x008000u);
    EXPECT_EQ(S(top).paints.size(), paints); // never repainted to get there
    KillTimer(top, 1);
}

TEST_F(FormsTest, MovingAChildRepaintsTheStripOfTheParentItUncovers) {
    HWND top = Make(kPopup, {0, 0, 200, 200}, 0, RGB(0, 0, 255));
    HWND child = Make(kChild, {10, 10, 60, 60}, top, RGB(255, 0, 0));
    gui.Pump();
    S(top).paints.clear();
    S(child).paints.clear();
    MoveWindow(child, 20, 10, 50, 50, true);
    gui.Pump();
    ASSERT_EQ(S(top).paints.size(), 1u);
    EXPECT_EQ(S(top).paints[0], (TRect{10, 10, 20, 60}));
    EXPECT_TRUE(S(child).paints.empty()); // its pixels moved with it
    EXPECT_EQ(gui.Pixel(top, 15, 30), 0x0000FFu);
    EXPECT_EQ(gui.Pixel(top, 20, 30), 0xFF0000u);
    EXPECT_EQ(gui.Pixel(top, 69, 59), 0xFF0000u);

    // Hiding uncovers all of it; showing paints the child again.
    ShowWindow(child, SW_HIDE);
    gui.Pump();
    EXPECT_EQ(S(top).paints.back(), (TRect{20, 10, 70, 60}));
    EXPECT_EQ(gui.Pixel(top, 30, 30), 0x0000FFu);
    ShowWindow(child, SW_SHOWNA);
    gui.Pump();
    EXPECT_EQ(S(child).paints.size(), 1u);
    EXPECT_EQ(gui.Pixel(top, 30, 30), 0xFF0000u);
}

TEST_F(FormsTest, ADcWithoutClippingChildrenDrawsOverThemAndPaintKeepsThemApart) {
    HWND top = Make(WS_POPUP | WS_VISIBLE, {0, 0, 100, 100}, 0, RGB(0, 0, 255));
    HWND child = Make(kChild, {10, 10, 50, 50}, top, RGB(255, 0, 0));
    gui.Pump();
    EXPECT_EQ(gui.Pixel(top, 20, 20), 0xFF0000u);
    HDC dc = GetDC(top); // no WS_CLIPCHILDREN on top
    HBRUSH b = CreateSolidBrush(RGB(0, 255, 0));
    TRect r{0, 20, 100, 22};
    FillRect(dc, &r, b);
    DeleteObject(b);
    ReleaseDC(top, dc);
    EXPECT_EQ(gui.Pixel(top, 20, 21), 0x00FF00u); // over the child
    HDC clipped = GetDCEx(top, nullptr, DCX_CLIPCHILDREN);
    TRect r2{0, 30, 100, 32};
    FillRect(clipped, &r2, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(top, clipped);
    EXPECT_EQ(gui.Pixel(top, 20, 31), 0xFF0000u);
    EXPECT_EQ(gui.Pixel(top, 5, 31), 0x000000u);
    (void)child;
}

TEST_F(FormsTest, RedrawLockHoldsPaintingUntilReleased) {
    HWND top = Make(kPopup, {0, 0, 50, 50});
    gui.Pump();
    S(top).paints.clear();
    SendMessage(top, WM_SETREDRAW, 0, 0);
    InvalidateRect(top, nullptr, true);
    gui.Pump();
    EXPECT_TRUE(S(top).paints.empty());
    SendMessage(top, WM_SETREDRAW, 1, 0);
    gui.Pump();
    EXPECT_EQ(S(top).paints.size(), 1u);
}

class Swatch : public GraphicControl {
public:
    Swatch(HWND parent, COLORREF c) : GraphicControl(parent), color(c) {}
    void Paint(HDC dc) override {
        ++paints;
        under = GetPixel(dc, 0, 0); // the parent's paint is already there
        TRect r{0, 0, Bounds().Width(), Bounds().Height()};
        HBRUSH b = CreateSolidBrush(color);
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    void MouseMessage(UINT msg, WPARAM, TPoint pt) override { mouse.push_back({msg, pt}); }
    COLORREF color;
    int paints = 0;
    COLORREF under = 0;
    std::vector<std::pair<UINT, TPoint>> mouse;
};

TEST_F(FormsTest, GraphicControlPaintsOverItsParentAndInvalidatesOnlyItsRectangle) {
    HWND top = Make(kPopup, {100, 100, 300, 300}, 0, RGB(0, 0, 255));
    Swatch a(top, RGB(255, 255, 0)), b(top, RGB(0, 255, 255));
    a.SetBounds({20, 20, 60, 50});
    b.SetBounds({40, 30, 80, 70}); // above a
    a.SetVisible(true);
    b.SetVisible(true);
    gui.Pump();
    EXPECT_EQ(gui.Pixel(top, 25, 25), 0xFFFF00u);
    EXPECT_EQ(gui.Pixel(top, 45, 35), 0x00FFFFu);
    EXPECT_EQ(gui.Pixel(top, 10, 10), 0x0000FFu);
    EXPECT_EQ(a.under, RGB(0, 0, 255));
    S(top).paints.clear();
    const int aPaints = a.paints, bPaints = b.paints;
    a.Invalidate();
    gui.Pump();
    ASSERT_EQ(S(top).paints.size(), 1u);
    EXPECT_EQ(S(top).paints[0], (TRect{20, 20, 60, 50}));
    EXPECT_EQ(a.paints, aPaints + 1);
    EXPECT_EQ(b.paints, bPaints + 1); // overlaps a, so it paints over again in its order
    EXPECT_EQ(gui.Pixel(top, 45, 35), 0x00FFFFu);

    // Mouse: the topmost control under the point, captured from press to release.
    gui.Press(gui.At(top, 45, 35));
    gui.MoveTo(gui.At(top, 150, 150));
    gui.Release(gui.At(top, 150, 150));
    ASSERT_EQ(b.mouse.size(), 5u); // move, down, move, move, up
    EXPECT_EQ(b.mouse[1].first, WM_LBUTTONDOWN);
    EXPECT_EQ(b.mouse[1].second, (TPoint{5, 5}));
    EXPECT_EQ(b.mouse[4].first, WM_LBUTTONUP);
    EXPECT_EQ(b.mouse[4].second, (TPoint{110, 120}));
    EXPECT_TRUE(a.mouse.empty());
    EXPECT_EQ(S(top).Count(WM_LBUTTONDOWN), 0);
    EXPECT_EQ(GetCapture(), 0);
}

TEST_F(FormsTest, WindowDestroyedInsideItsOwnHandlerDropsLaterMessages) {
    HWND top = Make(kPopup, {0, 0, 100, 100});
    HWND child = Make(kChild, {0, 0, 10, 10}, top);
    bool after = false;
    S(top).handler = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_USER) return std::nullopt;
        DestroyWindow(h);
        after = !IsWindow(h) && GetWindowText(h).empty();
        return 0;
    };
    PostMessage(top, WM_USER, 0, 0);
    PostMessage(top, WM_USER + 2, 0, 0);
    gui.Pump();
    EXPECT_TRUE(after);
    EXPECT_FALSE(IsWindow(top));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(S(top).Count(WM_USER + 2), 0);
    // Destruction order: WM_DESTROY parent first, WM_NCDESTROY child first.
    std::vector<std::pair<HWND, UINT>> ends;
    for (auto& e : order)
        if (e.second == WM_DESTROY || e.second == WM_NCDESTROY) ends.push_back(e);
    std::vector<std::pair<HWND, UINT>> want{
        {top, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {top, WM_NCDESTROY}};
    EXPECT_EQ(ends, want);
}

TEST_F(FormsTest, GeometryOfFramesClientAreasAndPoints) {
    HWND top = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, {100, 50, 500, 350});
    HWND child = Make(kChild | WS_BORDER, {10, 20, 110, 70}, top);
    TRect wr, cr;
    GetWindowRect(top, &wr);
    GetClientRect(top, &cr);
    EXPECT_EQ(wr, (TRect{100, 50, 500, 350}));
    EXPECT_EQ(cr, (TRect{0, 0, 400 - 8, 300 - 8 - 19}));
    TPoint p{0, 0};
    ClientToScreen(child, &p);
    EXPECT_EQ(p, (TPoint{100 + 4 + 10 + 1, 50 + 4 + 19 + 20 + 1}));
    EXPECT_EQ(WindowFromPoint(p), child);
    EXPECT_EQ(WindowFromPoint({p.X - 1, p.Y}), child); // its border
    EXPECT_EQ(WindowFromPoint({p.X - 2, p.Y}), top);
    EXPECT_EQ(WindowFromPoint({90, 40}), 0);
    GetWindowRect(child, &wr);
    EXPECT_EQ(wr, (TRect{114, 93, 214, 143}));
    ScreenToClient(child, &p);
    EXPECT_EQ(p, (TPoint{0, 0}));

    // Hit tests: caption, edges, corners.
    auto hit = [&](int x, int y) {
        return SendMessage(top, WM_NCHITTEST, 0, MAKELPARAM(std::uint16_t(x), std::uint16_t(y)));
    };
    EXPECT_EQ(hit(300, 60), HTCAPTION);
    EXPECT_EQ(hit(101, 200), HTLEFT);
    EXPECT_EQ(hit(498, 348), HTBOTTOMRIGHT);
    EXPECT_EQ(hit(300, 200), HTCLIENT);

    // Dragging the caption moves the window; dragging the bottom-right edge sizes it.
    gui.Drag({300, 60}, {340, 90});
    GetWindowRect(top, &wr);
    EXPECT_EQ(wr, (TRect{140, 80, 540, 380}));
    gui.Drag({538, 378}, {600, 400});
    GetWindowRect(top, &wr);
    EXPECT_EQ(wr, (TRect{140, 80, 602, 402}));
    EXPECT_EQ(GetWindowSurface(top)->width, 462);
}

TEST_F(FormsTest, ZOrderKeepsTopmostWindowsAndOwnedWindowsAbove) {
    HWND main = Make(kPopup, {0, 0, 100, 100});
    HWND tool = Make(kPopup, {10, 10, 50, 50}, main); // owned by main
    HWND other = Make(kPopup, {20, 20, 80, 80});
    HWND pinned = Make(kPopup, {30, 30, 60, 60});
    SetWindowPos(pinned, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    BringWindowToTop(main);
    std::vector<HWND> want{pinned, tool, main, other};
    EXPECT_EQ(TopLevelWindows(), want);
    BringWindowToTop(other);
    want = {pinned, other, tool, main};
    EXPECT_EQ(TopLevelWindows(), want);
    SetWindowPos(pinned, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_FALSE(GetWindowLongPtr(pinned, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(WindowFromPoint({35, 35}), pinned);
}

TEST_F(FormsTest, MinimizeMaximizeAndRestore) {
    HWND top = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, {100, 100, 300, 300});
    ShowWindow(top, SW_MAXIMIZE);
    TRect r;
    GetWindowRect(top, &r);
    EXPECT_EQ(r, (TRect{0, 0, 1024, 768}));
    EXPECT_TRUE(IsZoomed(top));
    ShowWindow(top, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(top));
    EXPECT_TRUE(IsWindowVisible(top));
    EXPECT_EQ(WindowFromPoint({500, 500}), 0);
    ShowWindow(top, SW_RESTORE);
    EXPECT_FALSE(IsIconic(top));
    ShowWindow(top, SW_RESTORE);
    GetWindowRect(top, &r);
    EXPECT_EQ(r, (TRect{100, 100, 300, 300}));
    auto sizes = S(top).Of(WM_SIZE);
    ASSERT_GE(sizes.size(), 3u);
    EXPECT_EQ(sizes[sizes.size() - 1].w, SIZE_RESTORED);
}

TEST_F(FormsTest, HarnessSavesSurfacesAsPng) {
    HWND top = Make(kPopup, {0, 0, 30, 20}, 0, RGB(10, 20, 30));
    gui.Pump();
    std::string path = ::testing::TempDir() + "forms_surface.png";
    ASSERT_TRUE(gui.SavePng(top, path));
    Surface screen = gui.Screen();
    EXPECT_EQ(screen.Row(5)[5] & 0xFFFFFF, 0x0A141Eu);
}

} // namespace
} // namespace forms_test
