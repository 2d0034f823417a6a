#include "platform/window/input.h"

#include "platform/core/clock.h"
#include "platform/window/focus.h"
#include "platform/window/graphic.h"
#include "platform/window/wndobj.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace platform {
namespace {

struct HotKey {
    HWND h;
    int id;
    UINT mods;
    UINT vk;
};

struct Press {
    bool valid = false;
    MouseButton button = MouseButton::Left;
    HWND h = 0;
    TPoint pt;
    std::uint32_t time = 0;
};

struct Drop {
    std::vector<std::string> paths;
    TPoint client;
};

struct Input {
    std::array<bool, 256> down{};
    std::array<bool, 256> toggled{};
    WPARAM buttons = 0;
    HWND pressTarget = 0; // the window of a press inside the program, until all buttons are up
    HWND hover = 0;
    GraphicControl* hoverGraphic = nullptr;
    Press last;
    bool swallowChar = false;
    UINT lastDown = 0; // LastKeyDown()

    HWND sysDrag = 0;
    LRESULT sysHit = 0;
    TPoint sysStart;
    TRect sysRect;

    std::vector<HotKey> hotKeys;
    ShortcutHook shortcut;
    MenuKeyHook menuKeys;

    HCURSOR cursor = IDC_ARROW;
    HCURSOR screenCursor = 0;
    HCURSOR dragCursor = 0;
    HCURSOR shown = IDC_ARROW;
    std::map<int, HCURSOR> numbered;
    std::map<HCURSOR, CursorImage> images;
    HCURSOR nextCursor = 0x20000;

    HWND dragSource = 0;
    bool dragPending = false, dragging = false;
    TPoint dragOrigin;
    HWND dragTarget = 0;
    bool dragAccept = false;

    std::map<HDROP, Drop> drops;
    HDROP nextDrop = 0x1000;
};

Input& I() {
    static Input input;
    return input;
}

LPARAM PointParam(TPoint p) {
    return MAKELPARAM(std::uint16_t(p.X), std::uint16_t(p.Y));
}

WPARAM ButtonFlag(MouseButton b) {
    switch (b) {
    case MouseButton::Left:
        return MK_LBUTTON;
    case MouseButton::Right:
        return MK_RBUTTON;
    default:
        return MK_MBUTTON;
    }
}

UINT ButtonMessage(MouseButton b, int kind) { // kind 0 down, 1 up, 2 double-click
    UINT base = b == MouseButton::Left    ? WM_LBUTTONDOWN
                : b == MouseButton::Right ? WM_RBUTTONDOWN
                                          : WM_MBUTTONDOWN;
    return base + kind;
}

void ShowCursorNow() {
    Input& in = I();
    HCURSOR c = in.dragCursor ? in.dragCursor : in.screenCursor ? in.screenCursor : in.cursor;
    if (c == in.shown) return;
    in.shown = c;
    P().CursorChanged(c);
}

bool IsCaptionButton(LRESULT hit) {
    return hit == HTMINBUTTON || hit == HTMAXBUTTON || hit == HTCLOSE;
}

bool Disabled(HWND h) {
    for (Wnd* w = W(h); w; w = w->IsChild() ? W(w->parent) : nullptr)
        if (w->style & WS_DISABLED) return true;
    return false;
}

void UpdateHover(HWND h, TPoint screen) {
    Input& in = I();
    if (h != in.hover) {
        HWND old = in.hover;
        if (in.hoverGraphic) {
            GraphicControl* g = in.hoverGraphic;
            in.hoverGraphic = nullptr;
            g->MouseLeave();
        }
        in.hover = h;
        if (W(old)) {
            SendMessage(old, WM_MOUSELEAVE, 0, 0);
            SendMessage(old, CM_MOUSELEAVE, 0, 0);
        }
        if (W(h)) SendMessage(h, CM_MOUSEENTER, 0, 0);
    }
    GraphicControl* g = nullptr;
    if (W(h)) {
        TPoint c = screen;
        ScreenToClient(h, &c);
        g = GraphicControlAt(h, c);
    }
    if (g != in.hoverGraphic) {
        if (in.hoverGraphic) in.hoverGraphic->MouseLeave();
        in.hoverGraphic = g;
        if (g) g->MouseEnter();
    }
}

// Where a mouse message at screen point p goes, and its hit-test code.
HWND MouseTarget(TPoint p, LRESULT* hit) {
    Input& in = I();
    *hit = HTCLIENT;
    if (HWND c = GetCapture()) return c;
    if (W(in.pressTarget)) return in.pressTarget;
    HWND h = WindowFromPoint(p);
    if (!h) return 0;
    *hit = SendMessage(h, WM_NCHITTEST, 0, PointParam(p));
    return h;
}

void DeliverClient(HWND h, UINT msg, TPoint screen) {
    TPoint c = screen;
    ScreenToClient(h, &c);
    WPARAM keys = MouseKeyFlags();
    if (GraphicControl* g = GraphicCapture(); g && g->Parent() == h) {
        g->MouseMessage(msg, keys, {c.X - g->Bounds().Left, c.Y - g->Bounds().Top});
        return;
    }
    if (GetCapture() == 0 || GetCapture() == h) {
        if (GraphicControl* g = GraphicControlAt(h, c)) {
            bool press = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN ||
                         msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK ||
                         msg == WM_MBUTTONDBLCLK;
            if (press) {
                SetCapture(h);
                SetGraphicCapture(g);
            }
            g->MouseMessage(msg, keys, {c.X - g->Bounds().Left, c.Y - g->Bounds().Top});
            return;
        }
    }
    SendMessage(h, msg, keys, PointParam(c));
}

void DragOver(TPoint p) {
    Input& in = I();
    HWND h = WindowFromPoint(p);
    if (h && Disabled(h)) h = 0;
    TDragRecord rec;
    rec.Source = in.dragSource;
    if (h != in.dragTarget) {
        if (W(in.dragTarget)) {
            rec.Pos = p;
            ScreenToClient(in.dragTarget, &rec.Pos);
            SendMessage(in.dragTarget, CM_DRAG, dmDragLeave, reinterpret_cast<LPARAM>(&rec));
        }
        in.dragTarget = h;
        in.dragAccept = false;
        if (h) {
            rec.Pos = p;
            ScreenToClient(h, &rec.Pos);
            rec.Accept = false;
            SendMessage(h, CM_DRAG, dmDragEnter, reinterpret_cast<LPARAM>(&rec));
            in.dragAccept = rec.Accept;
        }
    }
    if (W(in.dragTarget)) {
        rec.Pos = p;
        ScreenToClient(in.dragTarget, &rec.Pos);
        rec.Accept = in.dragAccept;
        SendMessage(in.dragTarget, CM_DRAG, dmDragMove, reinterpret_cast<LPARAM>(&rec));
        in.dragAccept = rec.Accept;
    }
    in.dragCursor = in.dragAccept ? IDC_DRAG : IDC_NODROP;
    ShowCursorNow();
}

void EndDrag(bool drop) {
    Input& in = I();
    HWND source = in.dragSource, target = in.dragTarget;
    bool accepted = drop && in.dragAccept && W(target);
    in.dragging = in.dragPending = false;
    in.dragSource = in.dragTarget = 0;
    in.dragAccept = false;
    in.dragCursor = 0;
    ShowCursorNow();
    TDragRecord rec;
    rec.Source = source;
    TPoint p = M().cursor;
    if (W(target)) {
        rec.Pos = p;
        ScreenToClient(target, &rec.Pos);
        SendMessage(target, CM_DRAG, accepted ? dmDragDrop : dmDragLeave,
                    reinterpret_cast<LPARAM>(&rec));
    }
    if (W(source)) {
        rec.Target = accepted ? target : 0;
        rec.Pos = p;
        if (accepted) ScreenToClient(target, &rec.Pos);
        SendMessage(source, CM_DRAG, dmEndDrag, reinterpret_cast<LPARAM>(&rec));
    }
}

void SystemMoveStep(TPoint p) {
    Input& in = I();
    Wnd* w = W(in.sysDrag);
    if (!w) {
        in.sysDrag = 0;
        return;
    }
    if (IsCaptionButton(in.sysHit)) return; // a caption button acts on the release
    int dx = p.X - in.sysStart.X, dy = p.Y - in.sysStart.Y;
    TRect r = in.sysRect;
    switch (in.sysHit) {
    case HTCAPTION:
        r = {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
        break;
    default:
        if (in.sysHit == HTLEFT || in.sysHit == HTTOPLEFT || in.sysHit == HTBOTTOMLEFT)
            r.Left += dx;
        if (in.sysHit == HTRIGHT || in.sysHit == HTTOPRIGHT || in.sysHit == HTBOTTOMRIGHT)
            r.Right += dx;
        if (in.sysHit == HTTOP || in.sysHit == HTTOPLEFT || in.sysHit == HTTOPRIGHT) r.Top += dy;
        if (in.sysHit == HTBOTTOM || in.sysHit == HTBOTTOMLEFT || in.sysHit == HTBOTTOMRIGHT)
            r.Bottom += dy;
        break;
    }
    SetWindowPos(w->h, 0, r.Left, r.Top, std::max(0, r.Width()), std::max(0, r.Height()),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window that previews the keys of the focus: the form the focus is in, an MDI child
// being a form of its own inside its frame; 0 when that form does not preview keys.
HWND KeyPreviewer(HWND target) {
    HWND form = MdiChildOf(target);
    if (!form) form = GetAncestor(target, GA_ROOT);
    Wnd* f = W(form);
    return f && f->keyPreview ? form : 0;
}

} // namespace

void StartSystemMove(HWND h, LRESULT hit) {
    Wnd* w = W(h);
    if (!w) return;
    bool edge = hit >= HTLEFT && hit <= HTBOTTOMRIGHT;
    Input& in = I();
    if (IsCaptionButton(hit)) {
        // Held until the release, which acts when it is over the same button.
        in.sysDrag = h;
        in.sysHit = hit;
        return;
    }
    if (hit != HTCAPTION && !edge) return;
    if (!w->IsChild() && P().StartSystemMove(h, hit)) return;
    in.sysDrag = h;
    in.sysHit = hit;
    in.sysStart = M().cursor;
    in.sysRect = w->rect; // parent's client coordinates for a child, as SetWindowPos takes it
    SendMessage(h, WM_ENTERSIZEMOVE, 0, 0);
}

void RouteMouseMove(int x, int y) {
    Input& in = I();
    const TPoint p{x, y};
    M().cursor = p;
    if (in.sysDrag) {
        SystemMoveStep(p);
        return;
    }
    if (in.dragPending &&
        (std::abs(x - in.dragOrigin.X) >= 5 || std::abs(y - in.dragOrigin.Y) >= 5)) {
        in.dragPending = false;
        in.dragging = true;
    }
    if (in.dragging) {
        DragOver(p);
        return;
    }
    HWND under = WindowFromPoint(p);
    UpdateHover(GetCapture() ? GetCapture() : under, p);
    LRESULT hit;
    HWND h = MouseTarget(p, &hit);
    if (!h || (Disabled(h) && !GetCapture())) {
        in.cursor = IDC_ARROW;
        ShowCursorNow();
        return;
    }
    if (!GetCapture() && !in.pressTarget)
        SendMessage(h, WM_SETCURSOR, h, MAKELPARAM(std::uint16_t(hit), WM_MOUSEMOVE));
    if (!W(h)) return;
    if (hit == HTCLIENT)
        DeliverClient(h, WM_MOUSEMOVE, p);
    else
        SendMessage(h, WM_NCMOUSEMOVE, WPARAM(hit), PointParam(p));
}

void RouteMouseButton(MouseButton b, bool down, int x, int y) {
    Input& in = I();
    Model& m = M();
    const TPoint p{x, y};
    m.cursor = p;
    const WPARAM flag = ButtonFlag(b);
    if (!down) {
        in.buttons &= ~flag;
        if (in.sysDrag && b == MouseButton::Left) {
            HWND h = in.sysDrag;
            in.sysDrag = 0;
            if (!IsCaptionButton(in.sysHit)) {
                SendMessage(h, WM_EXITSIZEMOVE, 0, 0);
            } else if (W(h) && SendMessage(h, WM_NCHITTEST, 0, PointParam(p)) == in.sysHit) {
                const WPARAM command = in.sysHit == HTCLOSE ? SC_CLOSE
                                       : in.sysHit == HTMINBUTTON
                                           ? (IsIconic(h) ? SC_RESTORE : SC_MINIMIZE)
                                       : IsZoomed(h) ? SC_RESTORE
                                                     : SC_MAXIMIZE;
                SendMessage(h, WM_SYSCOMMAND, command, PointParam(p));
            }
            return;
        }
        if (in.dragging && b == MouseButton::Left) {
            EndDrag(true);
            in.pressTarget = 0;
            return;
        }
        if (b == MouseButton::Left) in.dragPending = false;
        LRESULT hit;
        HWND h = MouseTarget(p, &hit);
        if (in.buttons == 0) in.pressTarget = 0;
        if (!h) return;
        if (hit == HTCLIENT)
            DeliverClient(h, ButtonMessage(b, 1), p);
        else
            SendMessage(h, WM_NCLBUTTONUP + (ButtonMessage(b, 1) - WM_LBUTTONUP), WPARAM(hit),
                        PointParam(p));
        if (in.buttons == 0 && GraphicCapture()) {
            SetGraphicCapture(nullptr);
            ReleaseCapture();
        }
        return;
    }

    in.lastDown = b == MouseButton::Left    ? VK_LBUTTON
                  : b == MouseButton::Right ? VK_RBUTTON
                                            : VK_MBUTTON;
    if (in.dragging) return;
    LRESULT hit;
    HWND h = MouseTarget(p, &hit);
    if (!h) return;
    if (!GetCapture() && Disabled(h)) return; // a modal form disables the others
    in.buttons |= flag;

    if (!GetCapture()) {
        Wnd* root = Root(W(h));
        const UINT msg = ButtonMessage(b, 0);
        LRESULT ma = SendMessage(h, WM_MOUSEACTIVATE, root ? root->h : 0,
                                 MAKELPARAM(std::uint16_t(hit), std::uint16_t(msg)));
        if (!W(h)) return;
        const bool noActivate = ma == MA_NOACTIVATE || ma == MA_NOACTIVATEANDEAT ||
                                (root && (root->exStyle & WS_EX_NOACTIVATE));
        if (noActivate && root) {
            // Comes to the front; the activation stays where it was.
            SetWindowPos(root->h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        } else if (root && GetActiveWindow() != root->h) {
            ActivateWindow(root->h, WA_CLICKACTIVE);
        }
        if (!noActivate && W(h))
            if (HWND mdi = MdiChildOf(h)) MdiActivate(mdi);
        if (ma == MA_ACTIVATEANDEAT || ma == MA_NOACTIVATEANDEAT || !W(h)) {
            in.buttons &= ~flag;
            return;
        }
        if (hit == HTCLIENT) in.pressTarget = h;
    }

    const std::uint32_t now = TimeGetTime();
    const bool dbl = in.last.valid && in.last.button == b && in.last.h == h &&
                     !ClockReached(now, in.last.time + kDoubleClickTime) &&
                     std::abs(p.X - in.last.pt.X) <= kDoubleClickSize / 2 &&
                     std::abs(p.Y - in.last.pt.Y) <= kDoubleClickSize / 2;
    if (dbl)
        in.last.valid = false;
    else
        in.last = Press{true, b, h, p, now};
    Wnd* w = W(h);
    const bool wantsDbl = dbl && w && (w->cls->style & CS_DBLCLKS);
    const UINT msg = ButtonMessage(b, wantsDbl ? 2 : 0);
    if (hit == HTCLIENT)
        DeliverClient(h, msg, p);
    else
        SendMessage(h, WM_NCLBUTTONDOWN + (msg - WM_LBUTTONDOWN), WPARAM(hit), PointParam(p));
}

void RouteWheel(int delta, int x, int y, bool horizontal) {
    M().cursor = {x, y};
    HWND h = GetFocus();
    if (!h) h = GetActiveWindow();
    if (!h || Disabled(h)) return;
    SendMessage(h, horizontal ? WM_MOUSEHWHEEL : WM_MOUSEWHEEL,
                MAKEWPARAM(std::uint16_t(MouseKeyFlags()), std::uint16_t(std::int16_t(delta))),
                PointParam({x, y}));
}

void RouteKey(UINT vk, bool down, bool extended) {
    Input& in = I();
    vk &= 0xFF;
    auto alias = [](UINT k) -> UINT {
        switch (k) {
        case VK_LSHIFT:
        case VK_RSHIFT:
            return VK_SHIFT;
        case VK_LCONTROL:
        case VK_RCONTROL:
            return VK_CONTROL;
        case VK_LMENU:
        case VK_RMENU:
            return VK_MENU;
        default:
            return k;
        }
    };
    vk = alias(vk);
    const bool repeat = down && in.down[vk];
    if (down && !repeat) in.toggled[vk] = !in.toggled[vk];
    in.down[vk] = down;
    const bool alt = in.down[VK_MENU], ctrl = in.down[VK_CONTROL], shift = in.down[VK_SHIFT];
    LPARAM l = 1 | (LPARAM(vk) << 16);
    if (extended) l |= KF_EXTENDED_BIT;
    if (alt) l |= KF_ALTDOWN_BIT;
    if (repeat || !down) l |= KF_REPEAT_BIT;
    if (!down) l |= KF_UP_BIT;
    // The release of Alt itself is a system key too.
    const bool sys = ((alt || (vk == VK_MENU && !down)) && !ctrl) || vk == VK_F10;

    HWND target = GetFocus();
    if (!target) target = GetActiveWindow();

    if (!down) {
        if (target && !Disabled(target)) SendMessage(target, sys ? WM_SYSKEYUP : WM_KEYUP, vk, l);
        return;
    }
    in.swallowChar = false;
    in.lastDown = vk;
    if (in.dragging || in.dragPending) {
        if (vk == VK_ESCAPE) {
            CancelDrag();
            in.swallowChar = true;
            return;
        }
    }
    // Ctrl+F4 closes the active MDI child of the active window, before anything else hears it.
    if (vk == VK_F4 && ctrl && !alt && !shift) {
        const HWND child = ActiveMdiChildIn(GetActiveWindow());
        if (child && !Disabled(child) && (GetWindowStyle(child) & WS_SYSMENU)) {
            in.swallowChar = true;
            SendMessage(child, WM_SYSCOMMAND, SC_CLOSE, 0);
            return;
        }
    }
    const UINT mods = (alt ? MOD_ALT : 0) | (ctrl ? MOD_CONTROL : 0) | (shift ? MOD_SHIFT : 0);
    const bool modifier = vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU;
    if (!modifier && in.menuKeys && in.menuKeys(vk, mods)) {
        in.swallowChar = true;
        return;
    }
    if (!target) return;
    if (!modifier) {
        for (const HotKey& k : in.hotKeys) {
            if (k.vk == vk && k.mods == mods && W(k.h)) {
                PostMessage(k.h, WM_HOTKEY, WPARAM(k.id),
                            MAKELPARAM(std::uint16_t(mods), std::uint16_t(vk)));
                in.swallowChar = true;
                return;
            }
        }
    }
    if (Disabled(target)) return;
    HWND form = GetAncestor(target, GA_ROOT);
    if (!modifier && in.shortcut && in.shortcut(form, vk, mods)) {
        in.swallowChar = true;
        return;
    }
    if (!W(target)) return;
    const HWND previewer = KeyPreviewer(target);
    if (previewer && previewer != target) {
        if (SendMessage(previewer, CM_KEYPREVIEW, vk, l)) {
            in.swallowChar = true;
            return;
        }
        if (!W(target)) return;
    }
    Wnd* f = W(form);
    if (f && (vk == VK_RETURN || vk == VK_ESCAPE) && !alt && !ctrl) {
        HWND button = vk == VK_RETURN ? f->defaultButton : f->cancelButton;
        if (W(button) && IsWindowVisible(button) && IsWindowEnabled(button) &&
            !(SendMessage(target, WM_GETDLGCODE, vk, 0) & DLGC_WANTALLKEYS)) {
            SendMessage(button, BM_CLICK, 0, 0);
            in.swallowChar = true;
            return;
        }
    }
    if (W(target)) SendMessage(target, sys ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, l);
}

void RouteChar(char32_t cp) {
    Input& in = I();
    if (in.swallowChar) {
        in.swallowChar = false;
        return;
    }
    HWND target = GetFocus();
    if (!target) target = GetActiveWindow();
    if (!target || Disabled(target)) return;
    const bool alt = in.down[VK_MENU], ctrl = in.down[VK_CONTROL];
    LPARAM l = 1 | (alt ? KF_ALTDOWN_BIT : 0);
    const HWND previewer = KeyPreviewer(target);
    if (previewer && previewer != target && SendMessage(previewer, CM_CHARPREVIEW, cp, l)) return;
    if (W(target)) SendMessage(target, (alt && !ctrl) ? WM_SYSCHAR : WM_CHAR, cp, l);
}

void RouteFileDrop(int x, int y, const std::vector<std::string>& paths) {
    HWND h = WindowFromPoint({x, y});
    while (h && !(GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_ACCEPTFILES))
        h = (GetWindowStyle(h) & WS_CHILD) ? GetParent(h) : 0;
    if (!h || Disabled(h)) return;
    Input& in = I();
    Drop d;
    for (const std::string& p : paths) {
        std::error_code ec;
        auto full = std::filesystem::absolute(p, ec);
        d.paths.push_back(ec ? p : full.lexically_normal().string());
    }
    d.client = {x, y};
    ScreenToClient(h, &d.client);
    HDROP drop = in.nextDrop++;
    in.drops.emplace(drop, std::move(d));
    PostMessage(h, WM_DROPFILES, drop, 0);
}

std::int16_t GetKeyState(int vk) {
    Input& in = I();
    if (vk < 0 || vk > 255) return 0;
    bool down = in.down[vk];
    if (vk == VK_LBUTTON) down = (in.buttons & MK_LBUTTON) != 0;
    if (vk == VK_RBUTTON) down = (in.buttons & MK_RBUTTON) != 0;
    if (vk == VK_MBUTTON) down = (in.buttons & MK_MBUTTON) != 0;
    return static_cast<std::int16_t>((down ? 0x8000 : 0) | (in.toggled[vk] ? 1 : 0));
}

void ForgetKeysReleasedElsewhere(bool Shift, bool Ctrl, bool Alt) {
    Input& in = I();
    for (std::size_t vk = 0; vk < in.down.size(); ++vk) {
        const bool held =
            (vk == VK_SHIFT && Shift) || (vk == VK_CONTROL && Ctrl) || (vk == VK_MENU && Alt);
        if (!held) in.down[vk] = false;
    }
}

std::int16_t GetAsyncKeyState(int vk) {
    return static_cast<std::int16_t>(GetKeyState(vk) & 0x8000);
}

UINT LastKeyDown() {
    return I().lastDown;
}

WPARAM MouseKeyFlags() {
    Input& in = I();
    return in.buttons | (in.down[VK_SHIFT] ? MK_SHIFT : 0) | (in.down[VK_CONTROL] ? MK_CONTROL : 0);
}

HWND SetCapture(HWND h) {
    Model& m = M();
    HWND old = m.capture;
    if (h && !W(h)) return old;
    m.capture = h;
    if (old && old != h && W(old)) SendMessage(old, WM_CAPTURECHANGED, 0, h);
    if (old != h) P().CaptureChanged(h);
    return old;
}

bool ReleaseCapture() {
    Model& m = M();
    HWND old = m.capture;
    SetGraphicCapture(nullptr);
    if (!old) return true;
    m.capture = 0;
    if (W(old)) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
    P().CaptureChanged(0);
    return true;
}

HWND GetCapture() {
    return M().capture;
}

bool RegisterHotKey(HWND h, int id, UINT modifiers, UINT vk) {
    Input& in = I();
    if (!W(h)) return false;
    for (const HotKey& k : in.hotKeys)
        if ((k.h == h && k.id == id) || (k.mods == modifiers && k.vk == vk)) return false;
    in.hotKeys.push_back({h, id, modifiers & (MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN), vk});
    P().HotKeysChanged();
    return true;
}

bool UnregisterHotKey(HWND h, int id) {
    if (std::erase_if(I().hotKeys, [&](const HotKey& k) { return k.h == h && k.id == id; }) == 0)
        return false;
    P().HotKeysChanged();
    return true;
}

std::vector<HotKeyEntry> RegisteredHotKeys() {
    std::vector<HotKeyEntry> out;
    for (const HotKey& k : I().hotKeys)
        out.push_back({k.h, k.id, k.mods, k.vk});
    return out;
}

bool DeliverHotKey(UINT modifiers, UINT vk) {
    for (const HotKey& k : I().hotKeys)
        if (k.vk == vk && k.mods == modifiers && W(k.h))
            return PostMessage(k.h, WM_HOTKEY, WPARAM(k.id),
                               MAKELPARAM(std::uint16_t(modifiers), std::uint16_t(vk)));
    return false;
}

ShortcutHook SetShortcutHook(ShortcutHook hook) {
    std::swap(I().shortcut, hook);
    return hook;
}

void SetMenuKeyHook(MenuKeyHook hook) {
    I().menuKeys = std::move(hook);
}

void SetKeyPreview(HWND form, bool on) {
    if (Wnd* w = W(form)) w->keyPreview = on;
}

void SetDialogButtons(HWND form, HWND defaultButton, HWND cancelButton) {
    if (Wnd* w = W(form)) {
        w->defaultButton = defaultButton;
        w->cancelButton = cancelButton;
    }
}

HCURSOR LoadCursor(std::uintptr_t, HCURSOR id) {
    return id;
}

HCURSOR CursorOf(int number) {
    switch (number) {
    case crDefault:
    case crArrow:
        return IDC_ARROW;
    case crNone:
        return 0;
    case crCross:
        return IDC_CROSS;
    case crIBeam:
        return IDC_IBEAM;
    case crSizeNESW:
        return IDC_SIZENESW;
    case crSizeNS:
    case crVSplit:
        return IDC_SIZENS;
    case crSizeNWSE:
        return IDC_SIZENWSE;
    case crSizeWE:
    case crHSplit:
        return IDC_SIZEWE;
    case crUpArrow:
        return IDC_UPARROW;
    case crHourGlass:
        return IDC_WAIT;
    case crDrag:
    case crMultiDrag:
        return IDC_DRAG;
    case crNoDrop:
        return IDC_NODROP;
    case crNo:
        return IDC_NO;
    case crAppStart:
        return IDC_APPSTARTING;
    case crHelp:
        return IDC_HELP;
    case crHandPoint:
        return IDC_HAND;
    case crSizeAll:
        return IDC_SIZEALL;
    default: {
        auto it = I().numbered.find(number);
        return it == I().numbered.end() ? IDC_ARROW : it->second;
    }
    }
}

HCURSOR RegisterCursor(int number, const std::string& imagePath, TPoint hotSpot) {
    Input& in = I();
    HCURSOR c = in.nextCursor++;
    in.images[c] = CursorImage{imagePath, hotSpot};
    in.numbered[number] = c;
    return c;
}

const CursorImage* FindCursorImage(HCURSOR cursor) {
    auto it = I().images.find(cursor);
    return it == I().images.end() ? nullptr : &it->second;
}

HCURSOR SetCursor(HCURSOR cursor) {
    Input& in = I();
    HCURSOR old = in.cursor;
    in.cursor = cursor;
    ShowCursorNow();
    return old;
}

HCURSOR GetCursor() {
    Input& in = I();
    return in.dragCursor ? in.dragCursor : in.screenCursor ? in.screenCursor : in.cursor;
}

void SetScreenCursor(HCURSOR cursor) {
    I().screenCursor = cursor;
    ShowCursorNow();
}

void BeginDrag(HWND source, bool immediate) {
    Input& in = I();
    if (!W(source) || in.dragging) return;
    in.dragSource = source;
    in.dragOrigin = M().cursor;
    in.dragTarget = 0;
    if (immediate) {
        in.dragPending = false;
        in.dragging = true;
        DragOver(M().cursor);
    } else {
        in.dragPending = true;
    }
}

void CancelDrag() {
    Input& in = I();
    if (in.dragging) {
        EndDrag(false);
    } else {
        in.dragPending = false;
        in.dragSource = 0;
    }
}

bool Dragging() {
    return I().dragging;
}

void DragAcceptFiles(HWND h, bool accept) {
    if (Wnd* w = W(h)) {
        if (accept)
            w->exStyle |= WS_EX_ACCEPTFILES;
        else
            w->exStyle &= ~WS_EX_ACCEPTFILES;
    }
}

UINT DragQueryFile(HDROP drop, UINT index, std::string* path) {
    auto it = I().drops.find(drop);
    if (it == I().drops.end()) return 0;
    const auto& paths = it->second.paths;
    if (index == 0xFFFFFFFF) return static_cast<UINT>(paths.size());
    if (index >= paths.size()) return 0;
    if (path) *path = paths[index];
    return static_cast<UINT>(paths[index].size());
}

bool DragQueryPoint(HDROP drop, TPoint* client) {
    auto it = I().drops.find(drop);
    if (it == I().drops.end() || !client) return false;
    *client = it->second.client;
    return true;
}

void DragFinish(HDROP drop) {
    I().drops.erase(drop);
}

void InputForgetWindow(HWND h) {
    Input& in = I();
    if (in.pressTarget == h) in.pressTarget = 0;
    if (in.hover == h) {
        in.hover = 0;
        in.hoverGraphic = nullptr;
    }
    if (in.last.h == h) in.last.valid = false;
    if (in.sysDrag == h) in.sysDrag = 0;
    if (in.dragSource == h || in.dragTarget == h) {
        if (in.dragTarget == h) in.dragTarget = 0;
        if (in.dragSource == h) CancelDrag();
    }
    if (std::erase_if(in.hotKeys, [&](const HotKey& k) { return k.h == h; })) P().HotKeysChanged();
}

void ForgetGraphicControl(GraphicControl* g) {
    if (I().hoverGraphic == g) I().hoverGraphic = nullptr;
}

} // namespace platform
