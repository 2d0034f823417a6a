#pragma once
// What the X server of $DISPLAY shows of a window. Xlib stays out of the tests' own units (its
// macros clash with theirs).

#include <cstdint>

// The colour on the screen at the middle of the window, 0xRRGGBB; 0xFFFFFFFF when unknown.
std::uint32_t X11ScreenColourAt(unsigned long Window);
// The window's parent; 0 when it has none or is not known.
unsigned long X11ParentOf(unsigned long Window);
