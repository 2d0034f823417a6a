#pragma once
// The window model: a tree of windows with classes, styles and procedures, and their geometry
// on one screen. Every top-level window owns a retained gdi surface covering its window
// rectangle; a child window is a view into its top-level's surface. A Presenter shows the
// top-level windows on a real display; without one the model runs headless. GUI thread only.

#include "platform/core/messages.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using DWORD = std::uint32_t;
using ATOM = std::uint16_t;
using LONG_PTR = std::intptr_t;
using HMENU = std::intptr_t;
using HCURSOR = std::intptr_t;
using HBRUSH_WND = std::uintptr_t; // a gdi brush, or a system colour index + 1

// Class styles.
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr UINT CS_DBLCLKS = 0x0008;
inline constexpr UINT CS_PARENTDC = 0x0080;
inline constexpr UINT CS_SAVEBITS = 0x0800;

// Window styles.
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_MINIMIZE = 0x20000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_MAXIMIZE = 0x01000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_DLGFRAME = 0x00400000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_THICKFRAME = 0x00040000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

inline constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
inline constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;
inline constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
inline constexpr DWORD WS_EX_MDICHILD = 0x00000040;
inline constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
inline constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
inline constexpr DWORD WS_EX_CONTROLPARENT = 0x00010000;
inline constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
inline constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;

inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

inline constexpr int GWLP_WNDPROC = -4;
inline constexpr int GWLP_HWNDPARENT = -8;
inline constexpr int GWLP_ID = -12;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWLP_USERDATA = -21;

inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOREDRAW = 0x0008;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_FRAMECHANGED = 0x0020;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline constexpr UINT SWP_NOCOPYBITS = 0x0100;
inline constexpr UINT SWP_NOOWNERZORDER = 0x0200;

inline constexpr HWND HWND_TOP = 0;
inline constexpr HWND HWND_BOTTOM = 1;
inline constexpr HWND HWND_TOPMOST = -1;
inline constexpr HWND HWND_NOTOPMOST = -2;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_MAXIMIZE = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;

inline constexpr UINT GW_HWNDFIRST = 0;
inline constexpr UINT GW_HWNDLAST = 1;
inline constexpr UINT GW_HWNDNEXT = 2;
inline constexpr UINT GW_HWNDPREV = 3;
inline constexpr UINT GW_OWNER = 4;
inline constexpr UINT GW_CHILD = 5;
inline constexpr UINT GA_PARENT = 1;
inline constexpr UINT GA_ROOT = 2;
inline constexpr UINT GA_ROOTOWNER = 3;

// Hit-test codes (WM_NCHITTEST).
inline constexpr LRESULT HTERROR = -2;
inline constexpr LRESULT HTTRANSPARENT = -1;
inline constexpr LRESULT HTNOWHERE = 0;
inline constexpr LRESULT HTCLIENT = 1;
inline constexpr LRESULT HTCAPTION = 2;
inline constexpr LRESULT HTSYSMENU = 3;
inline constexpr LRESULT HTMENU = 5;
inline constexpr LRESULT HTLEFT = 10;
inline constexpr LRESULT HTRIGHT = 11;
inline constexpr LRESULT HTTOP = 12;
inline constexpr LRESULT HTTOPLEFT = 13;
inline constexpr LRESULT HTTOPRIGHT = 14;
inline constexpr LRESULT HTBOTTOM = 15;
inline constexpr LRESULT HTBOTTOMLEFT = 16;
inline constexpr LRESULT HTBOTTOMRIGHT = 17;
inline constexpr LRESULT HTBORDER = 18;
inline constexpr LRESULT HTMINBUTTON = 8;
inline constexpr LRESULT HTMAXBUTTON = 9;
inline constexpr LRESULT HTCLOSE = 20;

// WM_SYSCOMMAND commands (the low four bits are the system's own).
inline constexpr WPARAM SC_SIZE = 0xF000;
inline constexpr WPARAM SC_MOVE = 0xF010;
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_MAXIMIZE = 0xF030;
inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WPARAM SC_RESTORE = 0xF120;

inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CXVSCROLL = 2;
inline constexpr int SM_CYHSCROLL = 3;
inline constexpr int SM_CYCAPTION = 4;
inline constexpr int SM_CXBORDER = 5;
inline constexpr int SM_CYBORDER = 6;
inline constexpr int SM_CXDLGFRAME = 7;
inline constexpr int SM_CYDLGFRAME = 8;
inline constexpr int SM_CXFRAME = 32;
inline constexpr int SM_CYFRAME = 33;
inline constexpr int SM_CXDOUBLECLK = 36;
inline constexpr int SM_CYDOUBLECLK = 37;
inline constexpr int SM_CXEDGE = 45;
inline constexpr int SM_CYEDGE = 46;
inline constexpr int SM_CYSMCAPTION = 51;

inline constexpr UINT SIZE_RESTORED = 0;
inline constexpr UINT SIZE_MINIMIZED = 1;
inline constexpr UINT SIZE_MAXIMIZED = 2;

struct WNDCLASS {
    UINT style = 0;
    WndProc lpfnWndProc; // empty: DefWindowProc
    HCURSOR hCursor = 0;
    HBRUSH_WND hbrBackground = 0; // 0: WM_ERASEBKGND erases nothing
    std::string lpszClassName;
};

// lParam of WM_NCCREATE and WM_CREATE.
struct CREATESTRUCT {
    void* lpCreateParams = nullptr;
    HWND hwndParent = 0;
    int cy = 0, cx = 0, y = 0, x = 0;
    DWORD style = 0;
    std::string_view lpszName;
    std::string_view lpszClass;
    DWORD dwExStyle = 0;
};

// lParam of WM_WINDOWPOSCHANGING (changes by the handler are applied) and WM_WINDOWPOSCHANGED.
struct WINDOWPOS {
    HWND hwnd = 0;
    HWND hwndInsertAfter = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    UINT flags = 0;
};

// Classes are matched without regard to case. 0 when the name is taken or empty.
ATOM RegisterClass(const WNDCLASS& wc);
bool UnregisterClass(std::string_view name);

// A child (WS_CHILD) is placed in parent's client area; any other window is top-level, owned
// by the top-level window of parent when one is given, and placed on the screen. menuOrId is
// a child's control id.
HWND CreateWindowEx(DWORD exStyle, std::string_view className, std::string_view windowName,
                    DWORD style, int x, int y, int width, int height, HWND parent,
                    HMENU menuOrId = 0, void* param = nullptr);
// Destroys owned windows and children too. A window may destroy itself inside its own handler:
// later messages to it are dropped, and its state is freed once the handler has returned.
bool DestroyWindow(HWND h);
LRESULT DefWindowProc(HWND h, UINT msg, WPARAM w, LPARAM l);
LRESULT CallWindowProc(const WndProc& proc, HWND h, UINT msg, WPARAM w, LPARAM l);
// Subclassing: the procedure in place; setting returns the previous one.
WndProc GetWindowProc(HWND h);
WndProc SetWindowProc(HWND h, WndProc proc);

LONG_PTR GetWindowLongPtr(HWND h, int index);
LONG_PTR SetWindowLongPtr(HWND h, int index, LONG_PTR value);
inline DWORD GetWindowStyle(HWND h) {
    return static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE));
}

// A child's parent, else a top-level window's owner.
HWND GetParent(HWND h);
HWND SetParent(HWND h, HWND parent);
HWND GetWindow(HWND h, UINT cmd);
HWND GetAncestor(HWND h, UINT flags);
bool IsChild(HWND parent, HWND h);
bool IsWindowVisible(HWND h); // WS_VISIBLE on the window and all its ancestors
bool IsWindowEnabled(HWND h);
bool EnableWindow(HWND h, bool enable); // returns whether it was disabled before
bool IsIconic(HWND h);
bool IsZoomed(HWND h);
bool SetWindowText(HWND h, std::string_view text);
std::string GetWindowText(HWND h);
std::string GetClassName(HWND h);
// Top-level windows, front first.
std::vector<HWND> TopLevelWindows();
// Children, top of the z-order first.
std::vector<HWND> ChildWindows(HWND parent);

// Geometry. Top-level rectangles are in screen coordinates; a child's window rectangle as the
// platform reports it is in screen coordinates too.
bool GetWindowRect(HWND h, TRect* r);
bool GetClientRect(HWND h, TRect* r);
bool ClientToScreen(HWND h, TPoint* p);
bool ScreenToClient(HWND h, TPoint* p);
int MapWindowPoints(HWND from, HWND to, TPoint* points, int count);
bool MoveWindow(HWND h, int x, int y, int width, int height, bool repaint);
bool SetWindowPos(HWND h, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
bool ShowWindow(HWND h, int cmd); // returns whether it was visible before
bool BringWindowToTop(HWND h);
// The deepest visible window at a screen point; HTTRANSPARENT windows are passed through.
HWND WindowFromPoint(TPoint screen);
HWND ChildWindowFromPoint(HWND parent, TPoint client);
// The frame around the client area: left, top, right and bottom thickness.
TRect FrameInsets(DWORD style, DWORD exStyle);

bool GetCursorPos(TPoint* p);
bool SetCursorPos(int x, int y); // moves the pointer; the router sees a move
int GetSystemMetrics(int index);
// The screen's size (and the gdi layer's idea of it). 1024 x 768 until set.
void SetScreenGeometry(int width, int height, int depth = 32);
int ScreenDepth();

// Surfaces. A top-level window's surface covers its window rectangle.
std::shared_ptr<Surface> GetWindowSurface(HWND top);
// The window's client rectangle (or window rectangle) within its top-level's surface.
TRect SurfaceRect(HWND h, bool client = true);
// Copies the window's client pixels as they stand in the surface.
bool ReadWindowPixels(HWND h, Surface& out, bool client = true);

// The menu bar of a top-level window: a strip of the non-client area between the caption and
// the client area. The model keeps its height and hit-tests it (HTMENU); the menu layer draws
// it and opens it through these hooks.
struct MenuBarHooks {
    // bar: the strip in window coordinates.
    std::function<void(HWND top, std::uintptr_t dc, const TRect& bar)> Paint;
    // A left press on the strip.
    std::function<void(HWND top, TPoint screen)> Press;
    // F10 or a lone Alt reached the default handling (letter 0), or Alt with a letter or digit
    // did (WM_SYSCHAR, the character).
    std::function<void(HWND top, char32_t letter)> KeyMenu;
};
void SetMenuBarHooks(MenuBarHooks hooks);
const MenuBarHooks& GetMenuBarHooks();
// 0 removes the strip. The client area shrinks or grows (WM_SIZE) and the window repaints.
void SetMenuBarHeight(HWND top, int height);
int GetMenuBarHeight(HWND top);
// The strip in window coordinates (empty without one).
TRect MenuBarRect(HWND top);

// What a display needs to know of the model. The default does nothing (headless). A display
// installs one, feeds its input to the router (input.h: RouteMouseMove, RouteKey, ...), tells
// the model of the screen's size (SetScreenGeometry) and of the program's activation
// (SetAppActive), pumps when MessageEventFd() turns readable or a timer falls due, and calls
// FlushSurfaces each turn; it blits GetWindowSurface(top) for the rectangles it hears of.
class Presenter {
public:
    virtual ~Presenter() = default;
    virtual void WindowCreated(HWND /*top*/) {}
    virtual void WindowDestroyed(HWND /*top*/) {}
    virtual void WindowMoved(HWND /*top*/, const TRect& /*windowRect*/) {}
    virtual void WindowShown(HWND /*top*/, bool /*activate*/) {}
    virtual void WindowHidden(HWND /*top*/) {}
    virtual void ZOrderChanged() {}
    virtual void WindowActivated(HWND /*top*/) {}
    virtual void SurfaceUpdated(HWND /*top*/, const TRect& /*surfaceRect*/) {}
    // The pixels of surfaceRect were moved there from (dx, dy) back within the surface (a
    // scroll), after everything drawn before was reported: a display may move what it shows
    // of them itself. By default the rectangle is reported as updated.
    virtual void SurfaceScrolled(HWND top, const TRect& surfaceRect, int /*dx*/, int /*dy*/) {
        SurfaceUpdated(top, surfaceRect);
    }
    virtual void CursorChanged(HCURSOR /*cursor*/) {}
    virtual void CaptureChanged(HWND /*capture*/) {}
    virtual void CursorMoved(int /*x*/, int /*y*/) {}
    // A press on a caption or edge: true when the display moves or sizes the window itself.
    virtual bool StartSystemMove(HWND /*top*/, LRESULT /*hitTest*/) { return false; }
    // The registered hot keys changed (RegisteredHotKeys() in input.h lists them).
    virtual void HotKeysChanged() {}
    // A native host window (native_host.h) was created, moved or shown: the id of the display's
    // window for it, 0 when the display has none. NativeHostGone when it goes away.
    virtual std::uintptr_t NativeHostId(HWND /*host*/) { return 0; }
    virtual void NativeHostGone(HWND /*host*/) {}
};
// nullptr restores the headless default. Returns the previous one.
Presenter* SetPresenter(Presenter* presenter);
Presenter& CurrentPresenter();
// Tells the presenter which parts of the surfaces changed since the last call (drawing
// outside a paint included). The paint pass calls it; a display also calls it each turn.
void FlushSurfaces();

} // namespace platform
