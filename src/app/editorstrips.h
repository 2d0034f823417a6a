#pragma once
// What the arrange window and the editors build alike: their scroll and zoom strips (a scroll
// bar "scrolly" with "zoomVertIn" and "zoomVertOut" below it, a scroll bar "scrollx" with
// "zoomOff", "zoomHorzIn" and "zoomHorzOut" at its right, and a light grey column strip with
// "less", "more", "all" and "Last"), and their borderless aligned panels.

#include "platform/core/messages.h"
#include "platform/forms/controls.h"

namespace platform {
class TPanel;
}
class TMScroll;
class TGuiScrollbar;

struct TEditorStrips {
    TGuiScrollbar* ScrollY = nullptr;
    TGuiScrollbar* ScrollX = nullptr;
};
// Empties the three hosts, gives them the main window's skin and builds the strips; the
// caller sets the steps and binds OnControl. The vertical range starts at 0, the horizontal
// one at 1000.
TEditorStrips BuildEditorStrips(TMScroll* Vert, TMScroll* Horz, TMScroll* Columns,
                                platform::HWND Wnd);

// A panel without bevel or caption aligned in Parent; Size is its width or height as the
// alignment takes one.
platform::TPanel* MakeAlignedPanel(platform::TComponent* Owner, platform::TWinControl* Parent,
                                   platform::TAlign Align, int Size);
