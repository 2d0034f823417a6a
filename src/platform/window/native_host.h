#pragma once
// Native hosts: child windows that the display backs with a window of its own, the parent a
// plug-in's editor draws into. GUI thread only.

#include "platform/window/window.h"

#include <cstdint>

namespace platform {

// A visible child of parent (client coordinates) backed by a native window.
HWND CreateNativeHost(HWND parent, int x, int y, int width, int height);
bool IsNativeHost(HWND h);
// The X11 window id behind a native host; 0 for any other window and where the display has no
// X11 windows (headless, offscreen), in which case plug-ins open without their editors.
std::uintptr_t NativeWindowId(HWND h);

} // namespace platform
