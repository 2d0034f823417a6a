#include "platform/window/window.h"

#include "platform/gdi/gdi.h"
#include "platform/window/focus.h"
#include "platform/window/graphic.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/wndobj.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace platform {
namespace {

Presenter g_headless;

std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

LRESULT Deliver(HWND h, UINT msg, WPARAM w, LPARAM l) {
    auto it = M().wnds.find(h);
    if (it == M().wnds.end()) return 0;
    std::shared_ptr<Wnd> keep = it->second; // lives until the handler returns
    std::shared_ptr<const WndProc> proc = keep->proc;
    if (!proc || !*proc) return DefWindowProc(h, msg, w, l);
    return (*proc)(h, msg, w, l);
}

bool IsTopmost(const Wnd& w) {
    return (w.exStyle & WS_EX_TOPMOST) != 0;
}

// Places a top-level window in the z-order: above everything of its band (top-most or not),
// or at the bottom, then lifts the windows it owns above it.
void PlaceTop(HWND h, bool atTop) {
    Model& m = M();
    std::erase(m.tops, h);
    Wnd* w = W(h);
    if (!w) return;
    if (atTop) {
        auto pos = m.tops.end();
        if (!IsTopmost(*w)) {
            pos = std::find_if(m.tops.begin(), m.tops.end(), [](HWND t) {
                Wnd* o = W(t);
                return o && IsTopmost(*o);
            });
        }
        m.tops.insert(pos, h);
        std::vector<HWND> owned;
        for (HWND t : m.tops)
            if (Wnd* o = W(t); o && o->owner == h) owned.push_back(t);
        for (HWND t : owned)
            PlaceTop(t, true);
    } else {
        auto pos = m.tops.begin();
        if (IsTopmost(*w)) {
            pos = std::find_if(m.tops.begin(), m.tops.end(), [](HWND t) {
                Wnd* o = W(t);
                return o && IsTopmost(*o);
            });
        }
        m.tops.insert(pos, h);
    }
}

void PlaceChild(Wnd& parent, HWND h, HWND after) {
    auto& c = parent.children;
    std::erase(c, h);
    if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
        c.push_back(h);
    } else if (after == HWND_BOTTOM) {
        c.insert(c.begin(), h);
    } else {
        // "After" in the z-order is below it.
        auto it = std::find(c.begin(), c.end(), after);
        c.insert(it, h);
    }
}

bool HasPixels(const Surface& s) {
    return s.pixels.size() == std::size_t(s.width) * std::size_t(s.height);
}

// The rows that stay keep their pixels; what the surface gains is white, as a new surface is.
// The pixels keep their memory across resizes that fit in it.
void ResizeSurface(Wnd& w, int width, int height) {
    Surface& s = *w.surface;
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (s.width == width && s.height == height) return;
    if (HasPixels(s) && !s.pixels.empty()) {
        s.Unturn();
        const std::size_t oldW = std::size_t(s.width), newW = std::size_t(width);
        const std::size_t rows = std::size_t(std::min(height, s.height));
        const std::size_t cols = std::min(oldW, newW);
        const std::size_t n = newW * std::size_t(height);
        if (n > s.pixels.size()) s.pixels.resize(n);
        std::uint32_t* px = s.pixels.data();
        if (newW < oldW) {
            for (std::size_t y = 0; y < rows; ++y)
                std::copy_n(px + y * oldW, cols, px + y * newW);
        } else if (newW > oldW) {
            for (std::size_t y = rows; y-- > 0;) {
                std::copy_backward(px + y * oldW, px + y * oldW + cols, px + y * newW + cols);
                std::fill_n(px + y * newW + cols, newW - cols, 0xFFFFFFFFu);
            }
        }
        std::fill(px + rows * newW, px + n, 0xFFFFFFFFu);
        s.pixels.resize(n);
    } else {
        s.pixels.clear();
    }
    s.top = 0;
    s.width = width;
    s.height = height;
    ++s.changes;
    w.dirty.Clear();
    w.dirty.Add({0, 0, width, height});
}

} // namespace

void EnsurePixels(Surface& s) {
    if (!HasPixels(s)) {
        s.pixels.assign(std::size_t(s.width) * std::size_t(s.height), 0xFFFFFFFFu);
        s.top = 0;
    }
}

namespace {

// The region a window and its descendants show, surface coordinates.
Region SubtreeRegion(const Wnd& w) {
    return VisibleRegion(w, false, false);
}

void SendSizeMove(Wnd& w, bool sized, bool moved) {
    HWND h = w.h;
    TRect c = ClientRect(w);
    if (sized) {
        WPARAM kind = w.minimized ? SIZE_MINIMIZED : w.maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
        SendMessage(h, WM_SIZE, kind, MAKELPARAM(std::uint16_t(c.Right), std::uint16_t(c.Bottom)));
    }
    if (moved && W(h)) {
        TPoint p{0, 0};
        ClientToScreen(h, &p);
        if (Wnd* parent = W(w.parent)) ScreenToClient(parent->h, &p);
        SendMessage(h, WM_MOVE, 0, MAKELPARAM(std::uint16_t(p.X), std::uint16_t(p.Y)));
    }
}

} // namespace

// ---- model state -------------------------------------------------------------------------

Model::Model() {
    platform::SetScreenSize(screenW, screenH);
}

Model& M() {
    static Model* m = [] {
        auto* model = new Model;
        InstallPaintHooks();
        return model;
    }();
    return *m;
}

Wnd* W(HWND h) {
    auto& map = M().wnds;
    auto it = map.find(h);
    return it == map.end() ? nullptr : it->second.get();
}

Wnd* Root(Wnd* w) {
    while (w && w->IsChild())
        w = W(w->parent);
    return w;
}

TRect FrameInsets(DWORD style, DWORD exStyle) {
    int b = 0;
    if (style & WS_THICKFRAME)
        b = 4;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        b = 3;
    else if (style & WS_BORDER)
        b = 1;
    if (exStyle & WS_EX_CLIENTEDGE) b += 2;
    int caption = 0;
    if ((style & WS_CAPTION) == WS_CAPTION) caption = (exStyle & WS_EX_TOOLWINDOW) ? 15 : 19;
    return {b, b + caption, b, b};
}

TRect NonClientInsets(const Wnd& w) {
    TRect f = FrameInsets(w.style, w.exStyle);
    f.Top += w.menuBar;
    return f;
}

TPoint WindowOriginInSurface(const Wnd& w) {
    if (!w.IsChild()) return {0, 0};
    const Wnd* p = W(w.parent);
    if (!p) return {0, 0};
    TPoint o = ClientOriginInSurface(*p);
    return {o.X + w.rect.Left, o.Y + w.rect.Top};
}

TPoint ClientOriginInSurface(const Wnd& w) {
    TPoint o = WindowOriginInSurface(w);
    TRect f = NonClientInsets(w);
    return {o.X + f.Left, o.Y + f.Top};
}

TRect WindowRectInSurface(const Wnd& w) {
    TPoint o = WindowOriginInSurface(w);
    return {o.X, o.Y, o.X + w.rect.Width(), o.Y + w.rect.Height()};
}

TRect ClientRect(const Wnd& w) {
    TRect f = NonClientInsets(w);
    return {0, 0, std::max(0, w.rect.Width() - f.Left - f.Right),
            std::max(0, w.rect.Height() - f.Top - f.Bottom)};
}

TRect ClientRectInSurface(const Wnd& w) {
    TPoint o = ClientOriginInSurface(w);
    TRect c = ClientRect(w);
    return {o.X, o.Y, o.X + c.Right, o.Y + c.Bottom};
}

bool ShownAsIcon(const Wnd& w) {
    return w.minimized && !(w.exStyle & WS_EX_MDICHILD);
}

bool VisibleChain(const Wnd& w) {
    const Wnd* p = &w;
    while (p) {
        if (!(p->style & WS_VISIBLE) || ShownAsIcon(*p) || p->destroying) return false;
        if (!p->IsChild()) return true;
        p = W(p->parent);
    }
    return false;
}

Region VisibleRegion(const Wnd& w, bool client, bool clipChildren) {
    Region r;
    if (!VisibleChain(w)) return r;
    r.Add(client ? ClientRectInSurface(w) : WindowRectInSurface(w));
    const Wnd* p = &w;
    while (p->IsChild()) {
        const Wnd* parent = W(p->parent);
        if (!parent) break;
        r.Intersect(ClientRectInSurface(*parent));
        auto& sib = parent->children;
        auto it = std::find(sib.begin(), sib.end(), p->h);
        if (it != sib.end()) ++it;
        for (; it != sib.end(); ++it)
            if (Wnd* s = W(*it); s && (s->style & WS_VISIBLE)) r.Subtract(WindowRectInSurface(*s));
        p = parent;
    }
    if (clipChildren)
        for (HWND c : w.children)
            if (Wnd* cw = W(c); cw && (cw->style & WS_VISIBLE))
                r.Subtract(WindowRectInSurface(*cw));
    return r;
}

void ExposeArea(Wnd& w, const Region& area) {
    if (area.IsEmpty() || !VisibleChain(w)) return;
    Region client = VisibleRegion(w, true, true);
    client.Intersect(area);
    if (!client.IsEmpty()) {
        TPoint o = ClientOriginInSurface(w);
        client.Offset(-o.X, -o.Y);
        for (const TRect& r : client.Rects())
            w.invalid.Add(r);
        w.erase = true;
    }
    TRect f = NonClientInsets(w);
    if (f.Left || f.Top || f.Right || f.Bottom) {
        Region frame = VisibleRegion(w, false, true);
        frame.Subtract(ClientRectInSurface(w));
        frame.Intersect(area);
        if (!frame.IsEmpty()) w.ncInvalid = true;
    }
    std::vector<HWND> kids = w.children;
    for (HWND c : kids)
        if (Wnd* cw = W(c)) ExposeArea(*cw, area);
}

void MarkDirty(Wnd& root, const TRect& r) {
    TRect b = IntersectRects(r, {0, 0, root.surface->width, root.surface->height});
    if (!b.IsEmpty()) root.dirty.Add(b);
}

void CopyPixels(Surface& s, const Region& dst, int dx, int dy) {
    EnsurePixels(s);
    if (dst.IsEmpty() || (dx == 0 && dy == 0)) return;
    // The source may overlap the destination: take the source block aside first.
    const TRect b = dst.Bounds();
    const TRect src = IntersectRects({b.Left - dx, b.Top - dy, b.Right - dx, b.Bottom - dy},
                                     {0, 0, s.width, s.height});
    if (src.IsEmpty()) return;
    if (dst.Rects().size() == 1) {
        // One block (a scroll): rows move in place, taken in the order that reads each source
        // row before it is overwritten.
        TRect c = IntersectRects(dst.Rects().front(),
                                 {src.Left + dx, src.Top + dy, src.Right + dx, src.Bottom + dy});
        c = IntersectRects(c, {0, 0, s.width, s.height});
        if (c.IsEmpty()) return;
        const std::size_t n = std::size_t(c.Width()) * sizeof(std::uint32_t);
        const std::int64_t area = std::int64_t(s.width) * s.height,
                           block = std::int64_t(c.Width()) * c.Height();
        if (dx == 0 && 2 * (area - block) < block) {
            // Most of the surface moves up or down: turn the rows instead of moving them, and
            // put back the pixels outside the block (its sides, the rows above and below) as
            // they were.
            auto outside = [&](auto&& span) {
                for (int y = 0; y < s.height; ++y) {
                    if (y < c.Top || y >= c.Bottom) {
                        span(y, 0, s.width);
                        continue;
                    }
                    if (c.Left > 0) span(y, 0, c.Left);
                    if (c.Right < s.width) span(y, c.Right, s.width);
                }
            };
            std::unique_ptr<std::uint32_t[]> aside(new std::uint32_t[std::size_t(area - block)]);
            std::uint32_t* at = aside.get();
            outside(
                [&](int y, int x0, int x1) { at = std::copy(s.Row(y) + x0, s.Row(y) + x1, at); });
            s.Turn(dy);
            at = aside.get();
            outside([&](int y, int x0, int x1) {
                std::copy_n(at, x1 - x0, s.Row(y) + x0);
                at += x1 - x0;
            });
            ++s.changes;
            return;
        }
        for (int i = 0; i < c.Height(); ++i) {
            const int y = dy > 0 ? c.Bottom - 1 - i : c.Top + i;
            std::memmove(s.Row(y) + c.Left, s.Row(y - dy) + c.Left - dx, n);
        }
        ++s.changes;
        return;
    }
    const int w = src.Width();
    std::vector<std::uint32_t> copy(std::size_t(w) * std::size_t(src.Height()));
    for (int y = src.Top; y < src.Bottom; ++y)
        std::copy_n(s.Row(y) + src.Left, w, copy.data() + std::size_t(y - src.Top) * w);
    for (const TRect& r : dst.Rects()) {
        TRect c = IntersectRects(r, {src.Left + dx, src.Top + dy, src.Right + dx, src.Bottom + dy});
        c = IntersectRects(c, {0, 0, s.width, s.height});
        for (int y = c.Top; y < c.Bottom; ++y) {
            const std::uint32_t* from =
                copy.data() + std::size_t(y - dy - src.Top) * w + (c.Left - dx - src.Left);
            std::copy_n(from, c.Width(), s.Row(y) + c.Left);
        }
    }
    ++s.changes;
}

// ---- classes and windows -------------------------------------------------------------------

ATOM RegisterClass(const WNDCLASS& wc) {
    if (wc.lpszClassName.empty()) return 0;
    std::string key = Lower(wc.lpszClassName);
    auto& classes = M().classes;
    if (classes.count(key)) return 0;
    auto c = std::make_shared<WndClass>();
    c->style = wc.style;
    if (wc.lpfnWndProc) c->proc = std::make_shared<const WndProc>(wc.lpfnWndProc);
    c->cursor = wc.hCursor;
    c->background = wc.hbrBackground;
    c->name = wc.lpszClassName;
    classes.emplace(key, std::move(c));
    return static_cast<ATOM>(0xC000 + classes.size());
}

bool UnregisterClass(std::string_view name) {
    return M().classes.erase(Lower(name)) > 0;
}

HWND CreateWindowEx(DWORD exStyle, std::string_view className, std::string_view windowName,
                    DWORD style, int x, int y, int width, int height, HWND parent, HMENU menuOrId,
                    void* param) {
    Model& m = M();
    auto cit = m.classes.find(Lower(className));
    if (cit == m.classes.end()) return 0;
    const bool child = (style & WS_CHILD) != 0;
    Wnd* pw = W(parent);
    if (child && !pw) return 0;

    auto w = std::make_shared<Wnd>();
    w->cls = cit->second;
    w->proc = w->cls->proc;
    w->style = style & ~WS_VISIBLE;
    w->exStyle = exStyle;
    w->text = std::string(windowName);
    if (child) {
        w->parent = parent;
        w->id = menuOrId;
    } else if (pw) {
        w->owner = Root(pw)->h;
    }
    if (!child && x == CW_USEDEFAULT) {
        x = y = 40 + 24 * (m.nextDefault++ % 8);
    }
    if (width == CW_USEDEFAULT) {
        width = 400;
        height = 300;
    }
    w->rect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    w->restoreRect = w->rect;

    HWND h = RegisterWindowProc(Deliver);
    w->h = h;
    m.wnds.emplace(h, w);
    if (child) {
        pw->children.push_back(h);
    } else {
        w->surface = std::make_shared<Surface>();
        w->surface->width = w->rect.Width();
        w->surface->height = w->rect.Height();
        w->bitmap = CreateBitmapFromSurface(w->surface);
        PlaceTop(h, true);
        P().WindowCreated(h);
    }

    CREATESTRUCT cs;
    cs.lpCreateParams = param;
    cs.hwndParent = parent;
    cs.x = x;
    cs.y = y;
    cs.cx = width;
    cs.cy = height;
    cs.style = style;
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    if (!SendMessage(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) || !W(h) ||
        SendMessage(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(h);
        return 0;
    }
    if (!W(h)) return 0;
    w->invalid.Add(ClientRect(*w));
    w->erase = true;
    w->ncInvalid = true;
    SendSizeMove(*w, true, true);
    if ((style & WS_VISIBLE) && W(h)) ShowWindow(h, SW_SHOW);
    return W(h) ? h : 0;
}

bool DestroyWindow(HWND h) {
    Wnd* w = W(h);
    if (!w || w->destroying) return false;
    Model& m = M();
    std::shared_ptr<Wnd> keep = m.wnds[h];

    // Owned windows go first.
    std::vector<HWND> owned;
    for (HWND t : m.tops)
        if (Wnd* o = W(t); o && o->owner == h) owned.push_back(t);
    for (HWND t : owned)
        DestroyWindow(t);

    if (w->style & WS_VISIBLE)
        SetWindowPos(h, 0, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    w->destroying = true;
    ForgetWindow(h);
    InputForgetWindow(h);

    SendMessage(h, WM_DESTROY, 0, 0);
    std::vector<HWND> kids = w->children;
    for (HWND c : kids)
        DestroyWindow(c);
    SendMessage(h, WM_NCDESTROY, 0, 0);

    ForgetGraphicControls(*w);
    if (Wnd* p = W(w->parent)) std::erase(p->children, h);
    if (!w->IsChild()) {
        std::erase(m.tops, h);
        P().WindowDestroyed(h);
        DeleteObject(w->bitmap);
    }
    UnregisterWindowProc(h);
    m.wnds.erase(h);
    return true;
}

LRESULT CallWindowProc(const WndProc& proc, HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (!proc) return DefWindowProc(h, msg, w, l);
    return proc(h, msg, w, l);
}

WndProc GetWindowProc(HWND h) {
    Wnd* w = W(h);
    if (!w || !w->proc) return {};
    return *w->proc;
}

WndProc SetWindowProc(HWND h, WndProc proc) {
    Wnd* w = W(h);
    if (!w) return {};
    WndProc old = w->proc ? *w->proc : WndProc{};
    w->proc = std::make_shared<const WndProc>(std::move(proc));
    return old;
}

LONG_PTR GetWindowLongPtr(HWND h, int index) {
    Wnd* w = W(h);
    if (!w) return 0;
    switch (index) {
    case GWL_STYLE:
        return static_cast<LONG_PTR>(w->style | (w->minimized ? WS_MINIMIZE : 0) |
                                     (w->maximized ? WS_MAXIMIZE : 0));
    case GWL_EXSTYLE:
        return w->exStyle;
    case GWLP_USERDATA:
        return w->userData;
    case GWLP_ID:
        return w->id;
    case GWLP_HWNDPARENT:
        return w->IsChild() ? w->parent : w->owner;
    default:
        return 0;
    }
}

LONG_PTR SetWindowLongPtr(HWND h, int index, LONG_PTR value) {
    Wnd* w = W(h);
    if (!w) return 0;
    LONG_PTR old = GetWindowLongPtr(h, index);
    switch (index) {
    case GWL_STYLE: {
        DWORD v = static_cast<DWORD>(value);
        bool show = (v & WS_VISIBLE) != (w->style & WS_VISIBLE);
        w->style = (v & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE)) | (w->style & WS_VISIBLE);
        if (show) ShowWindow(h, (v & WS_VISIBLE) ? SW_SHOWNA : SW_HIDE);
        break;
    }
    case GWL_EXSTYLE:
        w->exStyle = static_cast<DWORD>(value);
        break;
    case GWLP_USERDATA:
        w->userData = value;
        break;
    case GWLP_ID:
        w->id = value;
        break;
    case GWLP_HWNDPARENT:
        if (!w->IsChild()) w->owner = W(value) ? Root(W(value))->h : 0;
        break;
    default:
        return 0;
    }
    return old;
}

HWND GetParent(HWND h) {
    Wnd* w = W(h);
    if (!w) return 0;
    return w->IsChild() ? w->parent : w->owner;
}

HWND SetParent(HWND h, HWND parent) {
    Wnd* w = W(h);
    Wnd* p = W(parent);
    if (!w || !w->IsChild() || !p || IsChild(h, parent) || h == parent) return 0;
    HWND old = w->parent;
    bool shown = (w->style & WS_VISIBLE) != 0;
    if (shown) ShowWindow(h, SW_HIDE);
    if (Wnd* op = W(old)) std::erase(op->children, h);
    w->parent = parent;
    p->children.push_back(h);
    if (shown) ShowWindow(h, SW_SHOWNA);
    return old;
}

HWND GetWindow(HWND h, UINT cmd) {
    Wnd* w = W(h);
    if (!w) return 0;
    if (cmd == GW_OWNER) return w->IsChild() ? 0 : w->owner;
    if (cmd == GW_CHILD) return w->children.empty() ? 0 : w->children.back();
    const std::vector<HWND>* list = &M().tops;
    if (w->IsChild()) {
        Wnd* p = W(w->parent);
        if (!p) return 0;
        list = &p->children;
    }
    if (list->empty()) return 0;
    auto it = std::find(list->begin(), list->end(), h);
    switch (cmd) {
    case GW_HWNDFIRST:
        return list->back();
    case GW_HWNDLAST:
        return list->front();
    case GW_HWNDNEXT: // lower in the z-order
        return it == list->begin() ? 0 : *(it - 1);
    case GW_HWNDPREV:
        return (it == list->end() || it + 1 == list->end()) ? 0 : *(it + 1);
    default:
        return 0;
    }
}

HWND GetAncestor(HWND h, UINT flags) {
    Wnd* w = W(h);
    if (!w) return 0;
    if (flags == GA_PARENT) return w->IsChild() ? w->parent : 0;
    Wnd* r = Root(w);
    if (flags == GA_ROOTOWNER)
        while (r && W(r->owner))
            r = W(r->owner);
    return r ? r->h : 0;
}

bool IsChild(HWND parent, HWND h) {
    Wnd* w = W(h);
    while (w && w->IsChild()) {
        if (w->parent == parent) return true;
        w = W(w->parent);
    }
    return false;
}

bool IsWindowVisible(HWND h) {
    Wnd* w = W(h);
    while (w) {
        if (!(w->style & WS_VISIBLE)) return false;
        if (!w->IsChild()) return true;
        w = W(w->parent);
    }
    return false;
}

bool IsWindowEnabled(HWND h) {
    Wnd* w = W(h);
    return w && !(w->style & WS_DISABLED);
}

bool EnableWindow(HWND h, bool enable) {
    Wnd* w = W(h);
    if (!w) return false;
    bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !enable) return wasDisabled;
    if (enable) {
        w->style &= ~WS_DISABLED;
    } else {
        w->style |= WS_DISABLED;
        // A disabled window loses the focus and the capture.
        if (GetFocus() == h || IsChild(h, GetFocus())) SetFocus(0);
        if (GetCapture() == h) ReleaseCapture();
    }
    SendMessage(h, WM_ENABLE, enable ? 1 : 0, 0);
    return wasDisabled;
}

bool IsIconic(HWND h) {
    Wnd* w = W(h);
    return w && w->minimized;
}

bool IsZoomed(HWND h) {
    Wnd* w = W(h);
    return w && w->maximized;
}

namespace {
MenuBarHooks g_menuBarHooks;
} // namespace

void SetMenuBarHooks(MenuBarHooks hooks) {
    g_menuBarHooks = std::move(hooks);
}

const MenuBarHooks& GetMenuBarHooks() {
    return g_menuBarHooks;
}

void SetMenuBarHeight(HWND h, int height) {
    Wnd* w = W(h);
    height = std::max(0, height);
    if (!w || w->IsChild() || w->menuBar == height) return;
    w->menuBar = height;
    Region all;
    all.Add(WindowRectInSurface(*w));
    ExposeArea(*w, all);
    w->ncInvalid = true;
    SendSizeMove(*w, true, false);
}

int GetMenuBarHeight(HWND h) {
    Wnd* w = W(h);
    return w ? w->menuBar : 0;
}

TRect MenuBarRect(HWND h) {
    Wnd* w = W(h);
    if (!w || !w->menuBar) return {};
    TRect f = FrameInsets(w->style, w->exStyle);
    return {f.Left, f.Top, w->rect.Width() - f.Right, f.Top + w->menuBar};
}

bool SetWindowText(HWND h, std::string_view text) {
    if (!W(h)) return false;
    std::string copy(text);
    return SendMessage(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str())) != 0;
}

std::string GetWindowText(HWND h) {
    Wnd* w = W(h);
    return w ? w->text : std::string();
}

std::string GetClassName(HWND h) {
    Wnd* w = W(h);
    return w ? w->cls->name : std::string();
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> r(M().tops.rbegin(), M().tops.rend());
    return r;
}

std::vector<HWND> ChildWindows(HWND parent) {
    Wnd* w = W(parent);
    if (!w) return {};
    return std::vector<HWND>(w->children.rbegin(), w->children.rend());
}

// ---- geometry ------------------------------------------------------------------------------

bool GetWindowRect(HWND h, TRect* r) {
    Wnd* w = W(h);
    if (!w || !r) return false;
    if (!w->IsChild()) {
        *r = w->rect;
        return true;
    }
    TPoint o = WindowOriginInSurface(*w);
    const TRect& root = Root(w)->rect;
    *r = {root.Left + o.X, root.Top + o.Y, root.Left + o.X + w->rect.Width(),
          root.Top + o.Y + w->rect.Height()};
    return true;
}

bool GetClientRect(HWND h, TRect* r) {
    Wnd* w = W(h);
    if (!w || !r) return false;
    *r = ClientRect(*w);
    return true;
}

bool ClientToScreen(HWND h, TPoint* p) {
    Wnd* w = W(h);
    if (!w || !p) return false;
    TPoint o = ClientOriginInSurface(*w);
    const TRect& root = Root(w)->rect;
    p->X += root.Left + o.X;
    p->Y += root.Top + o.Y;
    return true;
}

bool ScreenToClient(HWND h, TPoint* p) {
    Wnd* w = W(h);
    if (!w || !p) return false;
    TPoint o = ClientOriginInSurface(*w);
    const TRect& root = Root(w)->rect;
    p->X -= root.Left + o.X;
    p->Y -= root.Top + o.Y;
    return true;
}

int MapWindowPoints(HWND from, HWND to, TPoint* points, int count) {
    TPoint a{0, 0}, b{0, 0};
    if (from) ClientToScreen(from, &a);
    if (to) ClientToScreen(to, &b);
    int dx = a.X - b.X, dy = a.Y - b.Y;
    for (int i = 0; i < count; ++i) {
        points[i].X += dx;
        points[i].Y += dy;
    }
    return MAKELPARAM(std::uint16_t(dx), std::uint16_t(dy));
}

bool MoveWindow(HWND h, int x, int y, int width, int height, bool repaint) {
    return SetWindowPos(h, 0, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

bool SetWindowPos(HWND h, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    Wnd* w = W(h);
    if (!w) return false;
    std::shared_ptr<Wnd> keep = M().wnds[h];
    WINDOWPOS wp{h, insertAfter, x, y, cx, cy, flags};
    if (!w->destroying) SendMessage(h, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    if (!W(h)) return false;
    flags = wp.flags;
    Wnd* root = Root(w);
    if (!root) return false;

    const bool child = w->IsChild();
    const bool wasVisible = (w->style & WS_VISIBLE) != 0;
    const Region before = child ? SubtreeRegion(*w) : Region();
    const TRect oldRect = w->rect;
    const TRect oldClient = ClientRectInSurface(*w);

    TRect nr = w->rect;
    if (!(flags & SWP_NOMOVE)) nr = {wp.x, wp.y, wp.x + nr.Width(), wp.y + nr.Height()};
    if (!(flags & SWP_NOSIZE))
        nr.Right = nr.Left + std::max(wp.cx, 0), nr.Bottom = nr.Top + std::max(wp.cy, 0);
    const bool moved = nr.Left != oldRect.Left || nr.Top != oldRect.Top;
    const bool sized = nr.Width() != oldRect.Width() || nr.Height() != oldRect.Height();
    w->rect = nr;
    if (!w->minimized && !w->maximized) w->restoreRect = nr;

    bool zChanged = false;
    if (!(flags & SWP_NOZORDER)) {
        zChanged = true;
        if (child) {
            if (Wnd* p = W(w->parent)) PlaceChild(*p, h, wp.hwndInsertAfter);
        } else {
            if (wp.hwndInsertAfter == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
            if (wp.hwndInsertAfter == HWND_NOTOPMOST) w->exStyle &= ~WS_EX_TOPMOST;
            if (wp.hwndInsertAfter == HWND_BOTTOM) {
                PlaceTop(h, false);
            } else if (wp.hwndInsertAfter > 1) {
                auto& t = M().tops;
                std::erase(t, h);
                t.insert(std::find(t.begin(), t.end(), wp.hwndInsertAfter), h);
            } else {
                PlaceTop(h, true);
            }
        }
    }
    bool shown = false, hidden = false;
    if ((flags & SWP_SHOWWINDOW) && !wasVisible) {
        w->style |= WS_VISIBLE;
        shown = true;
    } else if ((flags & SWP_HIDEWINDOW) && wasVisible) {
        w->style &= ~WS_VISIBLE;
        hidden = true;
    }
    if (shown || hidden) SendMessage(h, WM_SHOWWINDOW, shown ? 1 : 0, 0);
    if (!W(h)) return true;

    if (!child && sized) ResizeSurface(*w, nr.Width(), nr.Height());

    if (!(flags & SWP_NOREDRAW)) {
        const bool redrawAll = (w->cls->style & (CS_HREDRAW | CS_VREDRAW)) != 0;
        if (child) {
            const Region after = SubtreeRegion(*w);
            Region kept;
            if (!shown && (moved || sized) && !(flags & SWP_NOCOPYBITS)) {
                TPoint d{nr.Left - oldRect.Left, nr.Top - oldRect.Top};
                kept = before;
                kept.Offset(d.X, d.Y);
                kept.Intersect(after);
                if (sized) {
                    TRect c = oldClient;
                    c = {c.Left + d.X, c.Top + d.Y, c.Right + d.X, c.Bottom + d.Y};
                    kept.Intersect(IntersectRects(c, ClientRectInSurface(*w)));
                }
                if (sized && redrawAll) kept.Clear();
                CopyPixels(*root->surface, kept, d.X, d.Y);
            } else if (!shown && !hidden && !zChanged) {
                kept = after;
            } else if (!shown && !hidden) {
                kept = before; // raised or lowered in place: what showed before still does
                kept.Intersect(after);
            }
            Region exposed = after;
            for (const TRect& r : kept.Rects())
                exposed.Subtract(r);
            Region uncovered = before;
            for (const TRect& r : after.Rects())
                uncovered.Subtract(r);
            ExposeArea(*root, exposed);
            ExposeArea(*root, uncovered);
            // A hidden window exposes nothing as it grows: it paints whole when it shows.
            if (sized && (redrawAll || !VisibleChain(*w))) {
                w->invalid.Add(ClientRect(*w));
                w->erase = true;
                w->ncInvalid = true;
            }
            TRect b = before.Bounds(), a = after.Bounds();
            if (!before.IsEmpty()) MarkDirty(*root, b);
            if (!after.IsEmpty()) MarkDirty(*root, a);
        } else if (sized) {
            if (redrawAll) {
                w->invalid.Add(ClientRect(*w));
                w->erase = true;
            } else {
                Region exposed(ClientRectInSurface(*w));
                exposed.Subtract(oldClient);
                ExposeArea(*w, exposed);
            }
            w->ncInvalid = true;
        }
    }

    if (!child) {
        if (moved || sized) P().WindowMoved(h, w->rect);
        if (zChanged) P().ZOrderChanged();
        if (shown) {
            MarkDirty(*w, {0, 0, w->surface->width, w->surface->height});
            P().WindowShown(h, !(flags & SWP_NOACTIVATE));
        }
        if (hidden) P().WindowHidden(h);
    }

    if (!(flags & SWP_NOACTIVATE) && !child && (shown || (!hidden && zChanged)) &&
        (w->style & WS_VISIBLE) && !(w->exStyle & WS_EX_NOACTIVATE))
        ActivateWindow(h, WA_ACTIVE);
    if (hidden) {
        if (child) {
            MdiChildLeaving(h);
            if (GetFocus() == h || IsChild(h, GetFocus())) SetFocus(w->parent);
        } else if (GetActiveWindow() == h) {
            ActivateWindow(NextActivationCandidate(h), WA_ACTIVE);
        }
        if (GetCapture() == h || IsChild(h, GetCapture())) ReleaseCapture();
    }

    SendMessage(h, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    if (W(h) && (moved || sized)) SendSizeMove(*w, sized, moved);
    return true;
}

bool ShowWindow(HWND h, int cmd) {
    Wnd* w = W(h);
    if (!w) return false;
    const bool was = (w->style & WS_VISIBLE) != 0;
    constexpr UINT keep = SWP_NOMOVE | SWP_NOSIZE;
    switch (cmd) {
    case SW_HIDE:
        SetWindowPos(h, 0, 0, 0, 0, 0, keep | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
        break;
    case SW_SHOWNOACTIVATE:
        SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, keep | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        break;
    case SW_SHOWNA:
        SetWindowPos(h, 0, 0, 0, 0, 0, keep | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE: {
        if (!w->minimized && (w->exStyle & WS_EX_MDICHILD) && W(w->parent)) {
            // A minimised MDI child stays in its client area as its caption, in a row along the
            // foot: one button restores it.
            const TRect client = ClientRect(*W(w->parent));
            const TRect f = FrameInsets(w->style, w->exStyle);
            const int width = 160, height = f.Top + f.Bottom;
            int left = 0;
            for (HWND sibling : W(w->parent)->children)
                if (Wnd* o = W(sibling); o && o != w && o->minimized && (o->style & WS_VISIBLE))
                    left = std::max(left, o->rect.Right);
            const bool resized = w->rect.Width() != width || w->rect.Height() != height;
            w->restoresMaximized = w->maximized;
            w->minimized = true;
            w->maximized = false;
            SetWindowPos(h, 0, left, client.Bottom - height, width, height,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_FRAMECHANGED);
            if (W(h) && !resized) SendSizeMove(*w, true, false);
        } else if (!w->minimized) {
            w->minimized = true;
            w->style |= WS_VISIBLE;
            SendSizeMove(*w, true, false);
            if (!W(h)) return was;
            if (w->IsChild()) {
                if (Wnd* root = Root(w)) {
                    Region r(WindowRectInSurface(*w));
                    ExposeArea(*root, r);
                }
            } else {
                P().WindowHidden(h);
                if (GetActiveWindow() == h) ActivateWindow(NextActivationCandidate(h), WA_ACTIVE);
            }
        }
        break;
    }
    case SW_MAXIMIZE:
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOW:
    default: {
        const bool wasMin = w->minimized;
        w->minimized = false;
        TRect target = w->rect;
        // A minimised MDI child restores to what it was, maximised or not.
        if (wasMin && w->restoresMaximized && (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL))
            cmd = SW_MAXIMIZE;
        w->restoresMaximized = false;
        if (cmd == SW_MAXIMIZE) {
            if (!w->maximized && !wasMin) w->restoreRect = w->rect;
            w->maximized = true;
            if (Wnd* p = W(w->parent))
                target = ClientRect(*p);
            else
                target = {0, 0, M().screenW, M().screenH};
        } else if ((cmd == SW_RESTORE || cmd == SW_SHOWNORMAL ||
                    (wasMin && (w->exStyle & WS_EX_MDICHILD))) &&
                   (w->maximized || wasMin)) {
            w->maximized = false;
            target = w->restoreRect;
        }
        if (wasMin && !(w->exStyle & WS_EX_MDICHILD)) {
            w->style &= ~WS_VISIBLE;
            if (!w->IsChild()) {
                w->invalid.Add(ClientRect(*w));
                w->erase = true;
            }
        }
        SetWindowPos(h, HWND_TOP, target.Left, target.Top, target.Width(), target.Height(),
                     SWP_SHOWWINDOW | SWP_FRAMECHANGED);
        if (wasMin && W(h) && target == w->rect) SendSizeMove(*w, true, false);
        break;
    }
    }
    return was;
}

bool BringWindowToTop(HWND h) {
    return SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

namespace {

HWND ChildAt(Wnd& w, TPoint screen) {
    // Children, top first; HTTRANSPARENT answers pass the point on.
    for (auto it = w.children.rbegin(); it != w.children.rend(); ++it) {
        Wnd* c = W(*it);
        if (!c || !(c->style & WS_VISIBLE) || ShownAsIcon(*c)) continue;
        TRect r;
        GetWindowRect(c->h, &r);
        if (screen.X < r.Left || screen.X >= r.Right || screen.Y < r.Top || screen.Y >= r.Bottom)
            continue;
        TRect cr;
        GetClientRect(c->h, &cr);
        TPoint cp = screen;
        ScreenToClient(c->h, &cp);
        if (cp.X >= 0 && cp.Y >= 0 && cp.X < cr.Right && cp.Y < cr.Bottom)
            if (HWND deeper = ChildAt(*c, screen)) return deeper;
        LRESULT hit = SendMessage(c->h, WM_NCHITTEST, 0,
                                  MAKELPARAM(std::uint16_t(screen.X), std::uint16_t(screen.Y)));
        if (hit == HTTRANSPARENT) continue;
        return c->h;
    }
    return 0;
}

} // namespace

HWND WindowFromPoint(TPoint screen) {
    auto tops = M().tops;
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        Wnd* w = W(*it);
        if (!w || !(w->style & WS_VISIBLE) || w->minimized) continue;
        const TRect& r = w->rect;
        if (screen.X < r.Left || screen.X >= r.Right || screen.Y < r.Top || screen.Y >= r.Bottom)
            continue;
        TPoint cp = screen;
        ScreenToClient(w->h, &cp);
        TRect cr = ClientRect(*w);
        if (cp.X >= 0 && cp.Y >= 0 && cp.X < cr.Right && cp.Y < cr.Bottom)
            if (HWND c = ChildAt(*w, screen)) return c;
        LRESULT hit = SendMessage(w->h, WM_NCHITTEST, 0,
                                  MAKELPARAM(std::uint16_t(screen.X), std::uint16_t(screen.Y)));
        if (hit == HTTRANSPARENT) continue;
        return w->h;
    }
    return 0;
}

HWND ChildWindowFromPoint(HWND parent, TPoint client) {
    Wnd* w = W(parent);
    if (!w) return 0;
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        Wnd* c = W(*it);
        if (!c || !(c->style & WS_VISIBLE)) continue;
        const TRect& r = c->rect;
        if (client.X >= r.Left && client.X < r.Right && client.Y >= r.Top && client.Y < r.Bottom)
            return c->h;
    }
    TRect cr = ClientRect(*w);
    return (client.X >= 0 && client.Y >= 0 && client.X < cr.Right && client.Y < cr.Bottom) ? parent
                                                                                           : 0;
}

bool GetCursorPos(TPoint* p) {
    if (!p) return false;
    *p = M().cursor;
    return true;
}

bool SetCursorPos(int x, int y) {
    P().CursorMoved(x, y);
    RouteMouseMove(x, y);
    return true;
}

int GetSystemMetrics(int index) {
    const Model& m = M();
    switch (index) {
    case SM_CXSCREEN:
        return m.screenW;
    case SM_CYSCREEN:
        return m.screenH;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 17;
    case SM_CYCAPTION:
        return 19;
    case SM_CYSMCAPTION:
        return 15;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    default:
        return 0;
    }
}

void SetScreenGeometry(int width, int height, int depth) {
    Model& m = M();
    m.screenW = width;
    m.screenH = height;
    m.depth = depth;
    platform::SetScreenSize(width, height);
}

int ScreenDepth() {
    return M().depth;
}

// ---- surfaces and presentation -----------------------------------------------------------

std::shared_ptr<Surface> GetWindowSurface(HWND top) {
    Wnd* w = W(top);
    if (!w || w->IsChild()) return nullptr;
    EnsurePixels(*w->surface);
    return w->surface;
}

TRect SurfaceRect(HWND h, bool client) {
    Wnd* w = W(h);
    if (!w) return {};
    return client ? ClientRectInSurface(*w) : WindowRectInSurface(*w);
}

bool ReadWindowPixels(HWND h, Surface& out, bool client) {
    Wnd* w = W(h);
    Wnd* root = Root(w);
    if (!root) return false;
    TRect r = SurfaceRect(h, client);
    EnsurePixels(*root->surface);
    const Surface& s = *root->surface;
    out = Surface(std::max(0, r.Width()), std::max(0, r.Height()), 0xFF000000u);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            int sx = r.Left + x, sy = r.Top + y;
            if (sx >= 0 && sy >= 0 && sx < s.width && sy < s.height) out.Row(y)[x] = s.Row(sy)[sx];
        }
    return true;
}

Presenter* SetPresenter(Presenter* presenter) {
    Presenter* old = M().presenter;
    M().presenter = presenter;
    return old;
}

Presenter& CurrentPresenter() {
    Presenter* p = M().presenter;
    return p ? *p : g_headless;
}

void FlushSurfaces() {
    auto tops = M().tops;
    for (HWND t : tops) {
        Wnd* w = W(t);
        if (!w) continue;
        if (w->surface->changes != w->presentedChanges && w->dirty.IsEmpty())
            w->dirty.Add({0, 0, w->surface->width, w->surface->height});
        w->presentedChanges = w->surface->changes;
        if (w->dirty.IsEmpty()) continue;
        TRect b = w->dirty.Bounds();
        w->dirty.Clear();
        if (w->style & WS_VISIBLE) P().SurfaceUpdated(t, b);
    }
}

} // namespace platform
