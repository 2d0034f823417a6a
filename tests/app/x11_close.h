#pragma once
// What a window manager sends when the user closes a window with its close box
// (WM_DELETE_WINDOW), sent to a window of the X server of `display`. Xlib stays out of the
// tests' own units (its macros clash with theirs).

#include <string>

bool SendDeleteWindow(const std::string& display, unsigned long window);
