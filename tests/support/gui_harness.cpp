#include "support/gui_harness.h"

#include "platform/core/clock.h"
#include "platform/core/timers.h"
#include "platform/gdi/png.h"
#include "platform/window/focus.h"
#include "platform/window/modal.h"
#include "support/pump.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace testsupport {

using namespace platform;

namespace {

// Keys and buttons a test left down, a capture or a drag: gone, so tests stay independent.
void ResetInput() {
    TPoint p;
    GetCursorPos(&p);
    for (int vk = 1; vk < 256; ++vk)
        if (vk != VK_LBUTTON && vk != VK_RBUTTON && vk != VK_MBUTTON && (GetKeyState(vk) & 0x8000))
            RouteKey(UINT(vk), false);
    for (MouseButton b : {MouseButton::Left, MouseButton::Right, MouseButton::Middle})
        if (MouseKeyFlags() & (b == MouseButton::Left    ? MK_LBUTTON
                               : b == MouseButton::Right ? MK_RBUTTON
                                                         : MK_MBUTTON))
            RouteMouseButton(b, false, p.X, p.Y);
    CancelDrag();
    ReleaseCapture();
    SetScreenCursor(0);
    SetAppActive(true);
}

} // namespace

GuiHarness::GuiHarness(int screenWidth, int screenHeight) {
    SetGuiThread();
    SetScreenGeometry(screenWidth, screenHeight);
    ResetInput();
    SetModalIdleHook([this](HWND form) { return OnModalIdle(form); });
    RouteMouseMove(screenWidth / 2, screenHeight / 2);
}

GuiHarness::~GuiHarness() {
    SetModalIdleHook(nullptr);
    for (HWND h : TopLevelWindows())
        DestroyWindow(h);
    PumpAll();
    ResetInput();
    for (const ModalAnswer& a : modal_)
        if (!a.used) ADD_FAILURE() << "modal form \"" << a.caption << "\" was never shown";
    SetScreenGeometry(1024, 768);
}

void GuiHarness::Pump() {
    PumpAll();
}

TPoint GuiHarness::At(HWND h, int x, int y) {
    TPoint p{x, y};
    ClientToScreen(h, &p);
    return p;
}

void GuiHarness::MoveTo(TPoint p) {
    RouteMouseMove(p.X, p.Y);
    Pump();
}

void GuiHarness::Press(TPoint p, MouseButton b) {
    RouteMouseMove(p.X, p.Y);
    RouteMouseButton(b, true, p.X, p.Y);
    Pump();
}

void GuiHarness::Release(TPoint p, MouseButton b) {
    RouteMouseMove(p.X, p.Y);
    RouteMouseButton(b, false, p.X, p.Y);
    Pump();
}

void GuiHarness::Click(TPoint p, MouseButton b) {
    Press(p, b);
    Release(p, b);
}

void GuiHarness::Drag(TPoint from, TPoint to, int steps) {
    Press(from);
    for (int i = 1; i <= steps; ++i)
        MoveTo({from.X + (to.X - from.X) * i / steps, from.Y + (to.Y - from.Y) * i / steps});
    Release(to);
}

void GuiHarness::DragAlong(const std::vector<TPoint>& path, std::initializer_list<UINT> keys) {
    if (path.empty()) return;
    Advance(1000);
    for (UINT key : keys)
        KeyDown(key);
    MoveTo(path.front());
    Press(path.front());
    for (std::size_t i = 1; i < path.size(); ++i)
        MoveTo(path[i]);
    Release(path.back());
    for (UINT key : keys)
        KeyUp(key);
    Pump();
}

void GuiHarness::Wheel(TPoint p, int delta) {
    RouteWheel(delta, p.X, p.Y);
    Pump();
}

TPoint GuiHarness::Pointer() const {
    TPoint p;
    GetCursorPos(&p);
    return p;
}

void GuiHarness::KeyDown(UINT vk) {
    RouteKey(vk, true);
    Pump();
}

void GuiHarness::KeyUp(UINT vk) {
    RouteKey(vk, false);
    Pump();
}

void GuiHarness::Key(UINT vk) {
    KeyDown(vk);
    KeyUp(vk);
}

void GuiHarness::Chord(std::initializer_list<UINT> keys) {
    for (UINT k : keys)
        KeyDown(k);
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it)
        KeyUp(*it);
}

void GuiHarness::Type(std::string_view text) {
    for (unsigned char c : text) {
        UINT vk = 0;
        bool shift = false;
        if (c >= 'a' && c <= 'z')
            vk = c - 'a' + 'A';
        else if (c >= 'A' && c <= 'Z')
            vk = c, shift = true;
        else if (c >= '0' && c <= '9')
            vk = c;
        else if (c == ' ')
            vk = VK_SPACE;
        else if (c == '\r' || c == '\n')
            vk = VK_RETURN;
        else if (c == '\t')
            vk = VK_TAB;
        if (shift) RouteKey(VK_SHIFT, true);
        if (vk) RouteKey(vk, true);
        RouteChar(c == '\n' ? U'\r' : char32_t(c));
        if (vk) RouteKey(vk, false);
        if (shift) RouteKey(VK_SHIFT, false);
        Pump();
    }
}

void GuiHarness::HoldKey(UINT vk, std::uint32_t ms) {
    KeyDown(vk);
    std::uint32_t t = 500;
    std::uint32_t at = 0;
    while (t <= ms) {
        Advance(t - at);
        at = t;
        KeyDown(vk);
        t += 33;
    }
    if (ms > at) Advance(ms - at);
    KeyUp(vk);
}

GuiHarness& GuiHarness::OnModal(std::string caption, std::function<void(HWND)> action) {
    modal_.push_back({std::move(caption), std::move(action), false});
    return *this;
}

bool GuiHarness::OnModalIdle(HWND form) {
    const std::string caption = GetWindowText(form);
    const std::uint64_t loop = ModalLoopId();
    if (std::find(answered_.begin(), answered_.end(), loop) == answered_.end()) {
        for (ModalAnswer& a : modal_) {
            if (a.used || a.caption != caption) continue;
            a.used = true;
            answered_.push_back(loop);
            a.action(form);
            return true;
        }
        ADD_FAILURE() << "unexpected modal form \"" << caption << "\"";
        return false;
    }
    // Answered but still open: let the timers it waits for fall due, up to a minute.
    std::uint32_t due;
    if (NextTimerDue(due)) {
        std::int32_t wait = static_cast<std::int32_t>(due - TimeGetTime());
        if (wait <= 60000) {
            Advance(wait > 0 ? static_cast<std::uint32_t>(wait) : 0);
            return true;
        }
    }
    ADD_FAILURE() << "modal form \"" << caption << "\" stays open with nothing to wait for";
    return false;
}

std::uint32_t GuiHarness::Pixel(HWND h, int x, int y) const {
    Surface s;
    if (!ReadWindowPixels(h, s) || x < 0 || y < 0 || x >= s.width || y >= s.height)
        return 0xFFFFFFFFu;
    return s.Row(y)[x] & 0xFFFFFF;
}

Surface GuiHarness::Capture(HWND h, bool client) const {
    Surface s;
    ReadWindowPixels(h, s, client);
    return s;
}

Surface GuiHarness::Screen() const {
    Surface screen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 0xFF3A6EA5u);
    auto tops = TopLevelWindows();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        if (!IsWindowVisible(*it) || IsIconic(*it)) continue;
        auto s = GetWindowSurface(*it);
        TRect r;
        GetWindowRect(*it, &r);
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x) {
                int sx = r.Left + x, sy = r.Top + y;
                if (sx >= 0 && sy >= 0 && sx < screen.width && sy < screen.height)
                    screen.Row(sy)[sx] = s->Row(y)[x];
            }
    }
    return screen;
}

bool GuiHarness::SavePng(HWND h, const std::string& path) const {
    return platform::SavePng(h ? Capture(h, false) : Screen(), path);
}

} // namespace testsupport
