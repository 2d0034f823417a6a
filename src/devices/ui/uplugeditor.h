#pragma once
// The plug-in editor window: the floating window that shows one plug-in instance, with the
// plug-in's own editor under a skinned title bar, its own editor alone, or a generic page of
// labelled faders, and the windows a plug-in's own editor lives in. GUI thread only.

#include "devices/mfx.h"

// Plug-in panels as native hosts of the window layer: on an X11 display each has a window of
// the display that a plug-in's editor takes as its parent; elsewhere they have none.
class TNativePluginPanels : public TPluginPanels {
public:
    platform::HWND CreatePanel(platform::HWND Parent) override;
    void ShowPanel(platform::HWND Panel, int Width, int Height) override;
    void FreePanel(platform::HWND Panel) override;
    std::uintptr_t NativeWindowId(platform::HWND Wnd) override;
};

// Installs the real plug-in panels and editor windows (the main window's creation).
void InstallPluginWindows();
