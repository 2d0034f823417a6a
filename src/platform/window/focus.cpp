#include "platform/window/focus.h"

#include "platform/window/input.h"
#include "platform/window/wndobj.h"

namespace platform {
namespace {

bool CanActivate(const Wnd& w) {
    return (w.style & WS_VISIBLE) && !w.minimized && !(w.style & WS_DISABLED) && !w.destroying;
}

bool InsideOf(HWND top, HWND h) {
    return h == top || IsChild(top, h);
}

// Deactivation ends a capture: the holder hears WM_CANCELMODE and loses it.
void CancelCapture() {
    HWND c = GetCapture();
    if (!c) return;
    SendMessage(c, WM_CANCELMODE, 0, 0);
    if (GetCapture() == c) ReleaseCapture();
}

} // namespace

void ActivateWindow(HWND top, UINT how) {
    Model& m = M();
    Wnd* w = W(top);
    if (w) w = Root(w);
    if (w && !CanActivate(*w)) return;
    top = w ? w->h : 0;
    if (top == m.active) {
        if (top && !InsideOf(top, m.focus))
            SetFocus(W(w->lastFocus) && InsideOf(top, w->lastFocus) ? w->lastFocus : top);
        return;
    }
    const HWND old = m.active;
    CancelCapture();
    m.active = top;
    if (W(old)) {
        SendMessage(old, WM_NCACTIVATE, 0, 0);
        SendMessage(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(old) ? 1 : 0), top);
    }
    if (top && W(top) && m.active == top) {
        SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        P().WindowActivated(top);
        SendMessage(top, WM_NCACTIVATE, 1, 0);
        SendMessage(top, WM_ACTIVATE, MAKEWPARAM(std::uint16_t(how), 0), old);
        if ((w = W(top)) && m.active == top && !InsideOf(top, m.focus)) {
            HWND f = w->lastFocus;
            SetFocus(W(f) && InsideOf(top, f) && IsWindowVisible(f) && IsWindowEnabled(f) ? f
                                                                                          : top);
        }
    } else if (!top && m.focus) {
        SetFocus(0);
    }
}

HWND NextActivationCandidate(HWND leaving) {
    Wnd* w = W(leaving);
    if (w && !w->IsChild()) {
        Wnd* o = W(w->owner);
        if (o && CanActivate(*o) && !(o->exStyle & WS_EX_NOACTIVATE)) return o->h;
    }
    auto tops = M().tops;
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        Wnd* t = W(*it);
        if (!t || t->h == leaving || !CanActivate(*t) || (t->exStyle & WS_EX_NOACTIVATE)) continue;
        if (t->owner == leaving) continue;
        return t->h;
    }
    return 0;
}

void ForgetWindow(HWND h) {
    Model& m = M();
    MdiChildLeaving(h);
    if (m.focus && (m.focus == h || IsChild(h, m.focus))) {
        HWND f = m.focus;
        m.focus = 0;
        SendMessage(f, WM_KILLFOCUS, 0, 0);
    }
    if (m.capture && (m.capture == h || IsChild(h, m.capture))) ReleaseCapture();
    if (m.active == h) {
        HWND next = NextActivationCandidate(h);
        m.active = 0;
        SendMessage(h, WM_NCACTIVATE, 0, 0);
        SendMessage(h, WM_ACTIVATE, WA_INACTIVE, next);
        ActivateWindow(next, WA_ACTIVE);
    }
    for (auto& [handle, wnd] : m.wnds) {
        if (wnd->lastFocus == h) wnd->lastFocus = 0;
        if (wnd->mdiActive == h) wnd->mdiActive = 0;
    }
}

HWND MdiChildOf(HWND h) {
    for (Wnd* w = W(h); w && w->IsChild(); w = W(w->parent))
        if (w->exStyle & WS_EX_MDICHILD) return w->h;
    return 0;
}

void MdiActivate(HWND child) {
    Wnd* w = W(child);
    if (!w || !(w->exStyle & WS_EX_MDICHILD)) return;
    Wnd* client = W(w->parent);
    if (!client) return;
    const HWND old = client->mdiActive;
    SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (old == child) return;
    client->mdiActive = child;
    if (W(old)) {
        SendMessage(old, WM_NCACTIVATE, 0, 0);
        SendMessage(old, WM_MDIACTIVATE, old, child);
    }
    if (W(child)) {
        SendMessage(child, WM_NCACTIVATE, 1, 0);
        SendMessage(child, WM_MDIACTIVATE, old, child);
    }
}

void MdiChildLeaving(HWND h) {
    Wnd* w = W(h);
    Wnd* client = w ? W(w->parent) : nullptr;
    if (!client || client->mdiActive != h) return;
    client->mdiActive = 0;
    for (auto it = client->children.rbegin(); it != client->children.rend(); ++it) {
        Wnd* c = W(*it);
        if (c && c->h != h && (c->exStyle & WS_EX_MDICHILD) && (c->style & WS_VISIBLE) &&
            !c->destroying) {
            MdiActivate(c->h);
            return;
        }
    }
}

HWND MdiGetActive(HWND client) {
    Wnd* w = W(client);
    return w && W(w->mdiActive) ? w->mdiActive : 0;
}

HWND ActiveMdiChildIn(HWND top) {
    Wnd* w = W(top);
    if (!w) return 0;
    if (W(w->mdiActive)) return w->mdiActive;
    for (HWND c : w->children)
        if (Wnd* k = W(c); k && !(k->exStyle & WS_EX_MDICHILD))
            if (HWND a = ActiveMdiChildIn(c)) return a;
    return 0;
}

HWND GetActiveWindow() {
    return M().active;
}

HWND SetActiveWindow(HWND h) {
    HWND old = M().active;
    ActivateWindow(h, WA_ACTIVE);
    return old;
}

HWND GetForegroundWindow() {
    return M().appActive ? M().active : 0;
}

bool SetForegroundWindow(HWND h) {
    SetAppActive(true);
    ActivateWindow(h, WA_ACTIVE);
    return GetActiveWindow() == GetAncestor(h, GA_ROOT);
}

HWND GetFocus() {
    return M().focus;
}

HWND SetFocus(HWND h) {
    Model& m = M();
    const HWND old = m.focus;
    if (h == old) return old;
    Wnd* w = W(h);
    if (h && (!w || w->destroying || !IsWindowEnabled(h))) return 0;
    if (w) {
        Wnd* root = Root(w);
        root->lastFocus = h;
        if (m.active != root->h) {
            ActivateWindow(root->h, WA_ACTIVE);
            if (m.active != root->h) return 0;
            if (m.focus == h) return old;
        }
    }
    if (HWND mdi = MdiChildOf(h)) MdiActivate(mdi);
    if (m.focus == h) return old;
    m.focus = h;
    if (W(old)) SendMessage(old, WM_KILLFOCUS, h, 0);
    if (h && W(h) && m.focus == h) SendMessage(h, WM_SETFOCUS, old, 0);
    return old;
}

bool IsAppActive() {
    return M().appActive;
}

void SetAppActive(bool active) {
    Model& m = M();
    if (m.appActive == active) return;
    m.appActive = active;
    if (!active) CancelCapture();
    for (HWND t : TopLevelWindows())
        SendMessage(t, WM_ACTIVATEAPP, active ? 1 : 0, 0);
    if (!active && W(m.active)) {
        SendMessage(m.active, WM_NCACTIVATE, 0, 0);
        SendMessage(m.active, WM_ACTIVATE, WA_INACTIVE, 0);
    } else if (active && W(m.active)) {
        SendMessage(m.active, WM_NCACTIVATE, 1, 0);
        SendMessage(m.active, WM_ACTIVATE, WA_ACTIVE, 0);
    }
}

} // namespace platform
