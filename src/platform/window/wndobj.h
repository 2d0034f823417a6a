#pragma once
// The state behind window handles. Internal to the window layer; callers use window.h,
// paint.h, graphic.h, input.h, focus.h and modal.h.

#include "platform/gdi/region.h"
#include "platform/gdi/types.h"
#include "platform/window/window.h"

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {

class GraphicControl;

struct WndClass {
    UINT style = 0;
    std::shared_ptr<const WndProc> proc;
    HCURSOR cursor = 0;
    HBRUSH_WND background = 0;
    std::string name;
};

struct Wnd {
    HWND h = 0;
    std::shared_ptr<const WndClass> cls;
    std::shared_ptr<const WndProc> proc;
    DWORD style = 0, exStyle = 0;
    HWND parent = 0;            // children only
    HWND owner = 0;             // top-level windows only
    std::vector<HWND> children; // bottom of the z-order first
    TRect rect;                 // parent's client coordinates; screen for a top-level
    std::string text;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;

    Region invalid; // client coordinates
    bool erase = false;
    bool ncInvalid = false;
    bool redraw = true; // WM_SETREDRAW
    int paints = 0;     // BeginPaint calls, to see whether a handler painted

    bool destroying = false;
    bool minimized = false, maximized = false;
    bool restoresMaximized = false; // a minimised MDI child that was maximised
    TRect restoreRect;

    std::shared_ptr<Surface> surface; // top-level windows; its pixels made by EnsurePixels
    std::uintptr_t bitmap = 0;        // gdi bitmap over the surface
    Region dirty;                     // surface parts not yet presented
    std::uint64_t presentedChanges = 0;

    std::vector<GraphicControl*> graphics; // bottom first
    HWND lastFocus = 0;                    // top-level: the focus to give back on activation
    bool keyPreview = false;
    HWND defaultButton = 0, cancelButton = 0;
    HWND mdiActive = 0; // an MDI client area: its active child
    int menuBar = 0;    // top-level: height of the menu bar above the client area

    bool IsChild() const { return (style & WS_CHILD) != 0; }
};

struct Model {
    Model();
    std::unordered_map<HWND, std::shared_ptr<Wnd>> wnds;
    std::vector<HWND> tops;                                         // bottom of the z-order first
    std::map<std::string, std::shared_ptr<const WndClass>> classes; // lower-case names
    HWND active = 0, focus = 0, capture = 0;
    bool appActive = true;
    TPoint cursor{512, 384};
    int screenW = 1024, screenH = 768, depth = 32;
    Presenter* presenter = nullptr;
    int nextDefault = 0; // cascade of CW_USEDEFAULT positions
};

Model& M();
// The live window of a handle (nullptr once destruction began for destroying=false callers).
Wnd* W(HWND h);
Wnd* Root(Wnd* w);
inline Presenter& P() {
    return CurrentPresenter();
}

// Geometry inside a top-level's surface.
TPoint WindowOriginInSurface(const Wnd& w);
TPoint ClientOriginInSurface(const Wnd& w);
TRect WindowRectInSurface(const Wnd& w);
TRect ClientRectInSurface(const Wnd& w);
TRect ClientRect(const Wnd& w); // (0, 0, width, height)
// The non-client thickness on each side: the frame, and the menu bar at the top.
TRect NonClientInsets(const Wnd& w);
bool VisibleChain(const Wnd& w);
// A minimised window that does not show: all but an MDI child, which shows its caption.
bool ShownAsIcon(const Wnd& w);
// The pixels of w that show (surface coordinates): its client area or whole window, without
// the parts covered by siblings above it or its ancestors' siblings, and without its children's
// rectangles when clipChildren.
Region VisibleRegion(const Wnd& w, bool client, bool clipChildren);
// Invalidates (with erase) whatever shows within area (surface coordinates of root): the client
// parts of every window in the tree and their frames.
void ExposeArea(Wnd& root, const Region& area);
void MarkDirty(Wnd& root, const TRect& surfaceRect);
// A top-level's surface has its size from the start and its pixels (white) from the first time
// they are drawn on, read or presented: a form that is never shown never has them.
void EnsurePixels(Surface& s);
// Copies pixels within a surface: every pixel of dst takes the pixel at (x - dx, y - dy).
void CopyPixels(Surface& s, const Region& dst, int dx, int dy);
// Window DCs (paint.cpp).
std::uintptr_t MakeWindowDC(Wnd& w, bool wholeWindow, bool clipChildren);
void InstallPaintHooks();
// Focus and activation (focus.cpp).
void ActivateWindow(HWND top, UINT how); // WA_ACTIVE or WA_CLICKACTIVE; 0 deactivates all
void ForgetWindow(HWND h);               // focus, activation, capture leaving a window
HWND NextActivationCandidate(HWND leaving);
// The MDI child h is in (itself or its nearest WS_EX_MDICHILD ancestor), 0 when none.
HWND MdiChildOf(HWND h);
// The active MDI child goes (hidden or destroyed): the next one up becomes active.
void MdiChildLeaving(HWND h);
// Input (input.cpp).
void InputForgetWindow(HWND h);
void ForgetGraphicControl(GraphicControl* g);
// Graphic controls (graphic.cpp).
void ForgetGraphicControls(Wnd& w);
void SetGraphicCapture(GraphicControl* g);

} // namespace platform
