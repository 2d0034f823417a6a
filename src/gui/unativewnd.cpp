#include "gui/unativewnd.h"

#include "platform/forms/controls.h"
#include "platform/gdi/canvas.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"

#include <algorithm>

using namespace platform;

int BorderZone(int X, int Y, int W, int H) {
    if (X < 4) return Y < 16 ? 1 : Y < H - 16 ? 8 : 7;
    if (Y < 4) return X < 16 ? 1 : X < W - 16 ? 2 : 3;
    if (X >= W - 4) return Y < 16 ? 3 : Y < H - 16 ? 4 : 5;
    if (Y >= H - 4) return X < 16 ? 7 : X < W - 16 ? 6 : 5;
    return 0;
}

int BorderZoneCursor(int Zone) {
    switch (Zone) {
    case 1:
    case 5:
        return crSizeNWSE;
    case 2:
    case 6:
        return crSizeNS;
    case 3:
    case 7:
        return crSizeNESW;
    case 4:
    case 8:
        return crSizeWE;
    default:
        return crArrow;
    }
}

namespace {

constexpr const char* kClassName = "NativeWin";

TNativeWin* ObjectOf(HWND h) {
    return reinterpret_cast<TNativeWin*>(GetWindowLongPtr(h, GWLP_USERDATA));
}

TPoint PointOf(LPARAM l) {
    return {std::int16_t(LOWORD(std::uintptr_t(l))), std::int16_t(HIWORD(std::uintptr_t(l)))};
}

void SetZoneCursor(int zone) {
    SetCursor(CursorOf(BorderZoneCursor(zone)));
}

} // namespace

TNativeWin::TNativeWin(HWND AParentWnd, int AWidth, int AHeight) : ParentWnd(AParentWnd) {
    WNDCLASS wc;
    wc.style = CS_PARENTDC | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &TNativeWin::WindowProc;
    wc.hCursor = LoadCursor(0, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClass(wc); // taken after the first time: harmless
    // Never active: the presenter's frameless window would otherwise take the activation when
    // the window manager sees a click.
    Handle = CreateWindowEx(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kClassName, "", WS_POPUP, 200,
                            200, AWidth, AHeight, AParentWnd);
    SetWindowLongPtr(Handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TNativeWin::~TNativeWin() {
    if (!Handle) return;
    SetWindowLongPtr(Handle, GWLP_USERDATA, 0);
    DestroyWindow(Handle);
}

namespace {
TRect WindowRectOf(HWND h) {
    TRect r;
    GetWindowRect(h, &r);
    return r;
}
} // namespace

int TNativeWin::GetLeft() const {
    return WindowRectOf(Handle).Left;
}
int TNativeWin::GetTop() const {
    return WindowRectOf(Handle).Top;
}
int TNativeWin::GetWidth() const {
    return WindowRectOf(Handle).Width();
}
int TNativeWin::GetHeight() const {
    return WindowRectOf(Handle).Height();
}

void TNativeWin::SetLeft(int X) {
    SetWindowPos(Handle, 0, X, GetTop(), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
void TNativeWin::SetTop(int Y) {
    SetWindowPos(Handle, 0, GetLeft(), Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
void TNativeWin::SetWidth(int W) {
    SetWindowPos(Handle, 0, 0, 0, W, GetHeight(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
void TNativeWin::SetHeight(int H) {
    SetWindowPos(Handle, 0, 0, 0, GetWidth(), H, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TNativeWin::Show() {
    SetWindowPos(Handle, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    Visible = true;
}

void TNativeWin::Hide() {
    if (!Visible) return;
    ShowWindow(Handle, SW_HIDE);
    Hidden();
}

void TNativeWin::Update() {
    UpdateWindow(Handle);
}

void TNativeWin::DragStep() {
    if (InDrag) return;
    InDrag = true;
    TPoint c;
    GetCursorPos(&c);
    if (SizeZone == 0) {
        TPoint p = c;
        ScreenToClient(Handle, &p);
        SetZoneCursor(BorderZone(p.X, p.Y, GetWidth(), GetHeight()));
        InDrag = false;
        return;
    }
    // The dragged edges jump to the cursor; an edge never passes the opposite one (a window of
    // no size could not be found again).
    const TRect r = WindowRectOf(Handle);
    int left = r.Left, top = r.Top, right = r.Right, bottom = r.Bottom;
    const int z = SizeZone;
    if (z == 1 || z == 7 || z == 8) left = std::min(c.X, right - 1);
    if (z == 1 || z == 2 || z == 3) top = std::min(c.Y, bottom - 1);
    if (z == 3 || z == 4 || z == 5) right = std::max(c.X, left + 1);
    if (z == 5 || z == 6 || z == 7) bottom = std::max(c.Y, top + 1);
    SetWindowPos(Handle, 0, left, top, right - left, bottom - top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    LastCursor = c;
    BoundsChanged();
    InDrag = false;
}

void TNativeWin::PaintFrame() {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(Handle, &ps);
    const int w = GetWidth(), h = GetHeight();
    TCanvas c(dc);
    auto line = [&](TColor color, std::initializer_list<TPoint> points) {
        c.Pen.Color = color;
        c.Polyline(std::span<const TPoint>(points.begin(), points.size()));
    };
    line(clSilver, {{0, h - 1}, {0, 0}, {w - 1, 0}});
    line(clBlack, {{w - 1, 0}, {w - 1, h - 1}, {0, h - 1}});
    line(clWhite, {{1, h - 2}, {1, 1}, {w - 2, 1}});
    line(clGray, {{w - 2, 1}, {w - 2, h - 2}, {1, h - 2}});
    c.SetHandle(0);
    EndPaint(Handle, &ps);
}

LRESULT TNativeWin::WindowProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    TNativeWin* self = ObjectOf(h);
    if (!self) return DefWindowProc(h, msg, w, l);
    switch (msg) {
    case WM_LBUTTONDOWN: {
        SetCapture(h);
        const TPoint p = PointOf(l);
        self->SizeZone = BorderZone(p.X, p.Y, self->GetWidth(), self->GetHeight());
        GetCursorPos(&self->LastCursor);
        SetZoneCursor(self->SizeZone);
        return 0;
    }
    case WM_MOUSEMOVE:
        self->DragStep();
        return 0;
    case WM_LBUTTONUP:
        self->SizeZone = 0;
        ReleaseCapture();
        return 0;
    case WM_PAINT:
        if (!self->Framed) return DefWindowProc(h, msg, w, l);
        self->PaintFrame();
        return 0;
    case WM_CLOSE:
        ShowWindow(h, SW_HIDE);
        self->Hidden();
        return 0;
    case WM_MOUSEACTIVATE: {
        SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        // The keyboard stays with the owner. Focus already inside it stays where it is, and an
        // owner that is not active is not activated by a click on its tool window.
        const HWND owner = GetWindow(h, GW_OWNER);
        const HWND focus = GetFocus();
        if (owner && GetActiveWindow() == GetAncestor(owner, GA_ROOT) && focus != owner &&
            !IsChild(owner, focus))
            SetFocus(owner);
        return MA_NOACTIVATE;
    }
    case WM_USER:
        self->UserMessage(w);
        return 0;
    default:
        return DefWindowProc(h, msg, w, l);
    }
}
