#pragma once
// The GUI test harness: a virtual screen and pointer, the virtual clock, input injected through
// the window layer's router, scripted answers for modal forms and message boxes (an unexpected
// one fails the test), and surfaces read back as pixels or PNG files.

#include "platform/gdi/surface.h"
#include "platform/window/input.h"
#include "platform/window/window.h"
#include "support/scripted_dialogs.h"
#include "support/virtual_clock.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

class GuiHarness {
public:
    explicit GuiHarness(int screenWidth = 1024, int screenHeight = 768);
    // Destroys the windows left over and fails the test for scripted answers never used.
    ~GuiHarness();
    GuiHarness(const GuiHarness&) = delete;
    GuiHarness& operator=(const GuiHarness&) = delete;

    VirtualClock& Clock() { return clock_; }
    ScriptedDialogs& Dialogs() { return dialogs_; }
    // Pumps until nothing is left to do (paints included).
    void Pump();
    // Moves time forward, firing timers and pumping on the way.
    void Advance(std::uint32_t ms) { clock_.Advance(ms); }

    // Pointer, screen coordinates. A point in a window's client area: At(h, x, y).
    static platform::TPoint At(platform::HWND h, int x, int y);
    void MoveTo(platform::TPoint p);
    void Press(platform::TPoint p, platform::MouseButton b = platform::MouseButton::Left);
    void Release(platform::TPoint p, platform::MouseButton b = platform::MouseButton::Left);
    void Click(platform::TPoint p, platform::MouseButton b = platform::MouseButton::Left);
    void Drag(platform::TPoint from, platform::TPoint to, int steps = 4);
    // A fresh press (time passes first, so it never pairs with the last click into a double
    // click) at the path's first point, moves through the others, the release at the last;
    // the keys are held down throughout.
    void DragAlong(const std::vector<platform::TPoint>& path,
                   std::initializer_list<platform::UINT> keys = {});
    void Wheel(platform::TPoint p, int delta);
    platform::TPoint Pointer() const;

    // Keys. Type sends each character with its key where it has one; Chord presses the
    // modifiers, the key, and releases them in reverse order.
    void KeyDown(platform::UINT vk);
    void KeyUp(platform::UINT vk);
    void Key(platform::UINT vk);
    void Chord(std::initializer_list<platform::UINT> keys);
    void Type(std::string_view text);
    // Holds a key for ms: repeats after 500 ms, then every 33 ms, then one release.
    void HoldKey(platform::UINT vk, std::uint32_t ms);

    // Runs action inside the modal loop of the form whose caption is `caption`, once.
    GuiHarness& OnModal(std::string caption, std::function<void(platform::HWND)> action);

    // Pixels, 0xRRGGBB, client coordinates.
    std::uint32_t Pixel(platform::HWND h, int x, int y) const;
    platform::Surface Capture(platform::HWND h, bool client = true) const;
    // The virtual screen: desktop grey with the visible top-level windows, back to front.
    platform::Surface Screen() const;
    bool SavePng(platform::HWND h, const std::string& path) const;

private:
    struct ModalAnswer {
        std::string caption;
        std::function<void(platform::HWND)> action;
        bool used = false;
    };
    bool OnModalIdle(platform::HWND form);

    VirtualClock clock_;
    ScriptedDialogs dialogs_;
    std::vector<ModalAnswer> modal_;
    std::vector<std::uint64_t> answered_; // modal loops that got their answer
};

} // namespace testsupport
