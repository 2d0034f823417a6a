#pragma once
// Painting of the window model. A window's invalid region collects what must be painted; the
// paint pass sends WM_PAINT (parents before children) once the posted messages are handled and
// before the timers. Drawing through a DC taken outside a paint goes into the same retained
// surface and shows. GUI thread only.

#include "platform/gdi/region.h"
#include "platform/gdi/types.h"
#include "platform/window/window.h"

namespace platform {

struct PAINTSTRUCT {
    std::uintptr_t hdc = 0;
    bool fErase = false; // the background still needs erasing (WM_ERASEBKGND answered 0)
    TRect rcPaint;
};

// Starts painting: the DC is clipped to the invalid region, which becomes valid; with erase
// pending, WM_ERASEBKGND goes first.
std::uintptr_t BeginPaint(HWND h, PAINTSTRUCT* ps);
// Ends painting: the window's graphic controls paint over the same region.
bool EndPaint(HWND h, const PAINTSTRUCT* ps);

// r in client coordinates; nullptr is the whole client area.
bool InvalidateRect(HWND h, const TRect* r, bool erase);
bool InvalidateRgn(HWND h, const Region* rgn, bool erase);
bool ValidateRect(HWND h, const TRect* r);
// The bounds of the invalid region; false when it is empty.
bool GetUpdateRect(HWND h, TRect* r, bool erase);
bool GetUpdateRgn(HWND h, Region* rgn);
// Paints the window's invalid region at once (no child windows).
bool UpdateWindow(HWND h);

inline constexpr UINT RDW_INVALIDATE = 0x0001;
inline constexpr UINT RDW_ERASE = 0x0004;
inline constexpr UINT RDW_VALIDATE = 0x0008;
inline constexpr UINT RDW_ALLCHILDREN = 0x0080;
inline constexpr UINT RDW_UPDATENOW = 0x0100;
inline constexpr UINT RDW_FRAME = 0x0400;
bool RedrawWindow(HWND h, const TRect* r, UINT flags);

inline constexpr UINT SW_SCROLLCHILDREN = 0x0001;
inline constexpr UINT SW_INVALIDATE = 0x0002;
inline constexpr UINT SW_ERASE = 0x0004;
// Moves the pixels of scroll (client coordinates, nullptr: the client area) by (dx, dy),
// limited to clip; only the strip that nothing was moved into is invalidated (SW_INVALIDATE)
// and returned. Returns NULLREGION, SIMPLEREGION or COMPLEXREGION.
int ScrollWindowEx(HWND h, int dx, int dy, const TRect* scroll, const TRect* clip, Region* update,
                   TRect* updateRect, UINT flags);

inline constexpr DWORD DCX_WINDOW = 0x0001;
inline constexpr DWORD DCX_CACHE = 0x0002;
inline constexpr DWORD DCX_CLIPCHILDREN = 0x0008;
inline constexpr DWORD DCX_CLIPSIBLINGS = 0x0010;
// A DC on the window's surface outside a paint. Without DCX_CLIPCHILDREN it draws over the
// child windows (an overlay for marks across them); GetDC clips them when the window has
// WS_CLIPCHILDREN. Release it with ReleaseDC.
std::uintptr_t GetDCEx(HWND h, const Region* clip, DWORD flags);
std::uintptr_t GetWindowDC(HWND h);

// The paint pass: paints every window with an invalid region, parents before children, and
// reports the changed surfaces. The message pump calls it. Returns how many windows painted.
int PaintWindows();

} // namespace platform
