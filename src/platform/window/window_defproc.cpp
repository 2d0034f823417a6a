// The default window procedure.
#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "platform/window/wndobj.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform {
namespace {

// The caption of an MDI child carries its minimise, maximise/restore and close buttons, as its
// styles give them (none without a system menu); window coordinates, the rightmost first.
struct CaptionButton {
    LRESULT hit;
    TRect r;
};

TRect CaptionRect(const Wnd& w) {
    const TRect f = FrameInsets(w.style, w.exStyle);
    const int edge = (w.exStyle & WS_EX_CLIENTEDGE) ? 2 : 0;
    const int b = f.Left - edge;
    return {b, b, w.rect.Width() - b, f.Top - edge - 1};
}

std::vector<CaptionButton> CaptionButtons(const Wnd& w) {
    std::vector<CaptionButton> buttons;
    if (!(w.exStyle & WS_EX_MDICHILD) || (w.style & WS_CAPTION) != WS_CAPTION ||
        !(w.style & WS_SYSMENU))
        return buttons;
    const TRect cap = CaptionRect(w);
    const int height = std::max(cap.Height() - 4, 0), width = height + 2;
    const int top = cap.Top + (cap.Height() - height) / 2;
    int right = cap.Right - 2;
    auto add = [&](LRESULT hit, int gapAfter) {
        if (right - width < cap.Left) return;
        buttons.push_back({hit, {right - width, top, right, top + height}});
        right -= width + gapAfter;
    };
    add(HTCLOSE, 2);
    if (w.style & WS_MAXIMIZEBOX) add(HTMAXBUTTON, 0);
    if (w.style & WS_MINIMIZEBOX) add(HTMINBUTTON, 0);
    return buttons;
}

void FillBox(HDC dc, int left, int top, int right, int bottom, HBRUSH b) {
    const TRect r{left, top, right, bottom};
    FillRect(dc, &r, b);
}

// A raised button face with its glyph: a cross, a bar at the foot, a window, or two windows
// for restore.
void PaintCaptionButton(HDC dc, const Wnd& w, const CaptionButton& button) {
    const TRect& r = button.r;
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    HBRUSH light = CreateSolidBrush(GetSysColor(COLOR_BTNHIGHLIGHT));
    HBRUSH shadow = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
    HBRUSH dark = CreateSolidBrush(GetSysColor(COLOR_3DDKSHADOW));
    HBRUSH ink = CreateSolidBrush(GetSysColor(COLOR_BTNTEXT));
    FillRect(dc, &r, face);
    FillBox(dc, r.Left, r.Top, r.Right - 1, r.Top + 1, light);
    FillBox(dc, r.Left, r.Top, r.Left + 1, r.Bottom - 1, light);
    FillBox(dc, r.Left + 1, r.Bottom - 2, r.Right - 1, r.Bottom - 1, shadow);
    FillBox(dc, r.Right - 2, r.Top + 1, r.Right - 1, r.Bottom - 1, shadow);
    FillBox(dc, r.Left, r.Bottom - 1, r.Right, r.Bottom, dark);
    FillBox(dc, r.Right - 1, r.Top, r.Right, r.Bottom, dark);
    // The glyph: 9 x 8 pixels in the middle of the face.
    const int x = r.Left + (r.Width() - 9) / 2, y = r.Top + (r.Height() - 8) / 2;
    const bool restore = button.hit == HTMINBUTTON ? w.minimized : w.maximized;
    if (button.hit == HTCLOSE) {
        for (int i = 0; i < 7; ++i) {
            FillBox(dc, x + i, y + i, x + i + 2, y + i + 1, ink);
            FillBox(dc, x + 6 - i, y + i, x + 8 - i, y + i + 1, ink);
        }
    } else if (button.hit == HTMINBUTTON && !restore) {
        FillBox(dc, x + 1, y + 5, x + 7, y + 7, ink);
    } else if (!restore) {
        FillBox(dc, x, y, x + 9, y + 2, ink);
        FillBox(dc, x, y + 2, x + 1, y + 8, ink);
        FillBox(dc, x + 8, y + 2, x + 9, y + 8, ink);
        FillBox(dc, x, y + 7, x + 9, y + 8, ink);
    } else {
        // The window behind, then the one in front.
        FillBox(dc, x + 3, y, x + 9, y + 2, ink);
        FillBox(dc, x + 8, y + 2, x + 9, y + 5, ink);
        FillBox(dc, x, y + 3, x + 6, y + 5, ink);
        FillBox(dc, x, y + 5, x + 1, y + 8, ink);
        FillBox(dc, x + 5, y + 5, x + 6, y + 8, ink);
        FillBox(dc, x, y + 7, x + 6, y + 8, ink);
    }
    for (HBRUSH b : {face, light, shadow, dark, ink})
        DeleteObject(b);
}

// Whether the caption shows in the active colours: the active window's, and the active MDI
// child's while its frame is the active window.
bool CaptionActive(Wnd& w) {
    if (!(w.exStyle & WS_EX_MDICHILD)) return GetActiveWindow() == w.h;
    const Wnd* client = W(w.parent);
    const Wnd* root = Root(&w);
    return client && root && client->mdiActive == w.h && GetActiveWindow() == root->h;
}

LRESULT HitTest(const Wnd& w, TPoint screen) {
    TRect r;
    GetWindowRect(w.h, &r);
    if (screen.X < r.Left || screen.X >= r.Right || screen.Y < r.Top || screen.Y >= r.Bottom)
        return HTNOWHERE;
    TPoint c = screen;
    ScreenToClient(w.h, &c);
    TRect cr = ClientRect(w);
    if (c.X >= 0 && c.Y >= 0 && c.X < cr.Right && c.Y < cr.Bottom) return HTCLIENT;
    const int x = screen.X - r.Left, y = screen.Y - r.Top;
    const int wd = r.Width(), ht = r.Height();
    if (w.style & WS_THICKFRAME) {
        constexpr int b = 4, corner = 16;
        const bool left = x < b, right = x >= wd - b, top = y < b, bottom = y >= ht - b;
        if (left || right || top || bottom) {
            const bool nearTop = y < corner, nearBottom = y >= ht - corner;
            const bool nearLeft = x < corner, nearRight = x >= wd - corner;
            if ((left && nearTop) || (top && nearLeft)) return HTTOPLEFT;
            if ((right && nearTop) || (top && nearRight)) return HTTOPRIGHT;
            if ((left && nearBottom) || (bottom && nearLeft)) return HTBOTTOMLEFT;
            if ((right && nearBottom) || (bottom && nearRight)) return HTBOTTOMRIGHT;
            if (left) return HTLEFT;
            if (right) return HTRIGHT;
            if (top) return HTTOP;
            return HTBOTTOM;
        }
    }
    TRect f = FrameInsets(w.style, w.exStyle);
    for (const CaptionButton& b : CaptionButtons(w))
        if (x >= b.r.Left && x < b.r.Right && y >= b.r.Top && y < b.r.Bottom) return b.hit;
    if ((w.style & WS_CAPTION) == WS_CAPTION && y < f.Top && y >= f.Left) return HTCAPTION;
    if (w.menuBar && y >= f.Top && y < f.Top + w.menuBar && x >= f.Left && x < wd - f.Right)
        return HTMENU;
    return HTBORDER;
}

// A plain frame: the border lines in the 3D colours and the caption bar with its text.
void PaintFrame(Wnd& w) {
    TRect f = NonClientInsets(w);
    if (!f.Left && !f.Top && !f.Right && !f.Bottom) return;
    HDC dc = GetWindowDC(w.h);
    const int wd = w.rect.Width(), ht = w.rect.Height();
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    TRect parts[4] = {{0, 0, wd, f.Top},
                      {0, ht - f.Bottom, wd, ht},
                      {0, 0, f.Left, ht},
                      {wd - f.Right, 0, wd, ht}};
    for (const TRect& r : parts)
        FillRect(dc, &r, face);
    DeleteObject(face);
    HBRUSH dark = CreateSolidBrush(GetSysColor(COLOR_3DDKSHADOW));
    TRect outer{0, 0, wd, ht};
    FrameRect(dc, &outer, dark);
    DeleteObject(dark);
    if (w.menuBar && GetMenuBarHooks().Paint) GetMenuBarHooks().Paint(w.h, dc, MenuBarRect(w.h));
    if ((w.style & WS_CAPTION) == WS_CAPTION) {
        const bool active = CaptionActive(w);
        const TRect cap = CaptionRect(w);
        const std::vector<CaptionButton> buttons = CaptionButtons(w);
        HBRUSH br =
            CreateSolidBrush(GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
        FillRect(dc, &cap, br);
        DeleteObject(br);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        TRect text{cap.Left + 4, cap.Top, (buttons.empty() ? cap.Right : buttons.back().r.Left) - 4,
                   cap.Bottom};
        DrawText(dc, w.text, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        SelectObject(dc, old);
        for (const CaptionButton& b : buttons)
            PaintCaptionButton(dc, w, b);
    }
    ReleaseDC(w.h, dc);
}

bool EraseBackground(Wnd& w, HDC dc) {
    HBRUSH_WND br = w.cls->background;
    if (!br) return false;
    TRect r = ClientRect(w);
    FillRect(dc, &r, br);
    return true;
}

HCURSOR SizeCursor(LRESULT hit) {
    switch (hit) {
    case HTLEFT:
    case HTRIGHT:
        return IDC_SIZEWE;
    case HTTOP:
    case HTBOTTOM:
        return IDC_SIZENS;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
        return IDC_SIZENWSE;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT:
        return IDC_SIZENESW;
    default:
        return IDC_ARROW;
    }
}

// Keyboard access to the menu bar of the window's top-level window.
void KeyMenu(Wnd& w, char32_t letter) {
    Wnd* top = Root(&w);
    if (top && GetMenuBarHooks().KeyMenu) GetMenuBarHooks().KeyMenu(top->h, letter);
}

} // namespace

LRESULT DefWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Wnd* w = W(h);
    if (!w) return 0;
    switch (msg) {
    case WM_NCCREATE:
        return 1;
    case WM_NCHITTEST:
        return HitTest(*w, {std::int16_t(LOWORD(lp)), std::int16_t(HIWORD(lp))});
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        EndPaint(h, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return EraseBackground(*w, static_cast<HDC>(wp)) ? 1 : 0;
    case WM_NCPAINT:
        PaintFrame(*w);
        return 0;
    case WM_NCACTIVATE:
        if ((w->style & WS_CAPTION) == WS_CAPTION) w->ncInvalid = true;
        // The active MDI child's caption follows its frame's.
        if (!w->IsChild())
            if (Wnd* child = W(ActiveMdiChildIn(h))) child->ncInvalid = true;
        return 1;
    case WM_CLOSE:
        DestroyWindow(h);
        return 0;
    case WM_SETTEXT:
        w->text = lp ? reinterpret_cast<const char*>(lp) : "";
        if ((w->style & WS_CAPTION) == WS_CAPTION) w->ncInvalid = true;
        return 1;
    case WM_GETTEXT: {
        if (wp == 0 || !lp) return 0;
        std::size_t n = std::min<std::size_t>(w->text.size(), wp - 1);
        std::memcpy(reinterpret_cast<char*>(lp), w->text.data(), n);
        reinterpret_cast<char*>(lp)[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    case WM_SETREDRAW:
        w->redraw = wp != 0;
        return 0;
    case WM_MOUSEACTIVATE:
        if (w->IsChild()) {
            if (LRESULT r = SendMessage(w->parent, WM_MOUSEACTIVATE, wp, lp)) return r;
        }
        return (w->exStyle & WS_EX_NOACTIVATE) ? MA_NOACTIVATE : MA_ACTIVATE;
    case WM_SETCURSOR: {
        if (w->IsChild() && SendMessage(w->parent, WM_SETCURSOR, wp, lp)) return 1;
        if (!W(h)) return 0;
        LRESULT hit = std::int16_t(LOWORD(lp));
        if (hit == HTCLIENT) {
            if (HWND(wp) != h) return 0; // a child's client area: the child decides
            SetCursor(w->cls->cursor ? w->cls->cursor : IDC_ARROW);
            return 1;
        }
        SetCursor(SizeCursor(hit));
        return hit >= HTLEFT && hit <= HTBOTTOMRIGHT ? 1 : 0;
    }
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
        return w->IsChild() ? SendMessage(w->parent, msg, wp, lp) : 0;
    case WM_CANCELMODE:
        if (GetCapture() == h) ReleaseCapture();
        return 0;
    case WM_NCLBUTTONDOWN:
        if (LRESULT(wp) == HTMENU) {
            if (GetMenuBarHooks().Press)
                GetMenuBarHooks().Press(h, {std::int16_t(LOWORD(lp)), std::int16_t(HIWORD(lp))});
            return 0;
        }
        StartSystemMove(h, LRESULT(wp));
        return 0;
    case WM_NCLBUTTONDBLCLK:
        if (LRESULT(wp) == HTCAPTION && (w->style & WS_MAXIMIZEBOX))
            ShowWindow(h, IsZoomed(h) ? SW_RESTORE : SW_MAXIMIZE);
        return 0;
    case WM_SYSKEYDOWN:
        if (wp == VK_F4 && !w->IsChild()) PostMessage(h, WM_CLOSE, 0, 0);
        if (wp == VK_F10 && !(GetKeyState(VK_SHIFT) & 0x8000)) KeyMenu(*w, 0);
        return 0;
    case WM_SYSCHAR:
        // Alt with a letter that no control's accelerator took: the bar item of that letter.
        if ((wp >= 'A' && wp <= 'Z') || (wp >= 'a' && wp <= 'z') || (wp >= '0' && wp <= '9'))
            KeyMenu(*w, char32_t(wp));
        return 0;
    case WM_SYSKEYUP:
        // A lone Alt: pressed and released with nothing in between.
        if (wp == VK_MENU && LastKeyDown() == VK_MENU) KeyMenu(*w, 0);
        return 0;

    case WM_SYSCOMMAND:
        switch (wp & 0xFFF0) {
        case SC_CLOSE:
            SendMessage(h, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            ShowWindow(h, SW_MINIMIZE);
            break;
        case SC_MAXIMIZE:
            ShowWindow(h, SW_MAXIMIZE);
            break;
        case SC_RESTORE:
            ShowWindow(h, SW_RESTORE);
            break;
        case SC_MOVE:
            StartSystemMove(h, HTCAPTION);
            break;
        case SC_SIZE:
            StartSystemMove(h, HTBOTTOMRIGHT);
            break;
        default:
            break;
        }
        return 0;
    default:
        return 0;
    }
}

} // namespace platform
