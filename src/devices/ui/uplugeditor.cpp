#include "devices/ui/uplugeditor.h"

#include "platform/window/native_host.h"
#include "platform/window/window.h"

#include <algorithm>

using namespace platform;

// ---- plug-in panels ----

HWND TNativePluginPanels::CreatePanel(HWND Parent) {
    HWND panel = CreateNativeHost(Parent, 0, 0, 1, 1);
    if (panel) ShowWindow(panel, SW_HIDE);
    return panel;
}

void TNativePluginPanels::ShowPanel(HWND Panel, int Width, int Height) {
    if (!IsWindow(Panel)) return;
    SetWindowPos(Panel, HWND_TOP, 0, 0, std::max(Width, 0), std::max(Height, 0),
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void TNativePluginPanels::FreePanel(HWND Panel) {
    if (IsWindow(Panel)) DestroyWindow(Panel);
}

std::uintptr_t TNativePluginPanels::NativeWindowId(HWND Wnd) {
    return platform::NativeWindowId(Wnd);
}

namespace {
TNativePluginPanels nativePanels;
} // namespace

void InstallPluginWindows() {
    SetPluginPanels(&nativePanels);
}
