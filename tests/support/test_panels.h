#pragma once
// Plug-in panels for tests: every window has a display window behind it with a made-up id, as
// on an X11 display, so that plug-ins open their editors. Installed for the object's life.

#include "devices/mfx.h"

#include <cstdint>
#include <string>
#include <vector>

class TestPanels : public TPluginPanels {
public:
    static constexpr std::uintptr_t IdBase = 0x5A000000;
    // The id a window gets.
    static std::uintptr_t IdOf(platform::HWND Wnd) {
        return IdBase + static_cast<std::uintptr_t>(Wnd);
    }

    TestPanels() { SetPluginPanels(this); }
    ~TestPanels() override { SetPluginPanels(nullptr); }
    TestPanels(const TestPanels&) = delete;
    TestPanels& operator=(const TestPanels&) = delete;

    bool MakePanels = true; // false: CreatePanel fails
    std::vector<std::string> Log;

    platform::HWND CreatePanel(platform::HWND Parent) override {
        Log.push_back("create " + std::to_string(Parent));
        return MakePanels ? ++lastPanel_ : 0;
    }
    void ShowPanel(platform::HWND Panel, int Width, int Height) override {
        Log.push_back("show " + std::to_string(Panel) + " " + std::to_string(Width) + "x" +
                      std::to_string(Height));
    }
    void FreePanel(platform::HWND Panel) override {
        Log.push_back("free " + std::to_string(Panel));
    }
    std::uintptr_t NativeWindowId(platform::HWND Wnd) override { return IdOf(Wnd); }

private:
    platform::HWND lastPanel_ = 0x7000;
};
