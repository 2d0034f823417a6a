#include "platform/window/paint.h"

#include "platform/gdi/gdi.h"
#include "platform/window/graphic.h"
#include "platform/window/wndobj.h"

#include <unordered_map>

namespace platform {
namespace {

struct WindowDC {
    HWND h = 0;
    bool paint = false;
    Region region; // device (client or window) coordinates: where it may draw
    TPoint origin; // surface position of device (0, 0)
};

std::unordered_map<HDC, WindowDC>& DCs() {
    static std::unordered_map<HDC, WindowDC> dcs;
    return dcs;
}

HDC NewDC(Wnd& w, bool wholeWindow, const Region& region) {
    Wnd* root = Root(&w);
    EnsurePixels(*root->surface);
    HDC dc = CreateCompatibleDC(0);
    SelectObject(dc, root->bitmap);
    TPoint o = wholeWindow ? WindowOriginInSurface(w) : ClientOriginInSurface(w);
    SetDeviceOrigin(dc, o.X, o.Y);
    SetPaintRegion(dc, &region);
    DCs()[dc] = WindowDC{w.h, false, region, o};
    return dc;
}

void Finish(HDC dc) {
    auto it = DCs().find(dc);
    if (it == DCs().end()) return;
    const WindowDC& rec = it->second;
    Wnd* w = W(rec.h);
    if (Wnd* root = Root(w); root && !rec.region.IsEmpty()) {
        TRect b = rec.region.Bounds();
        MarkDirty(*root, {b.Left + rec.origin.X, b.Top + rec.origin.Y, b.Right + rec.origin.X,
                          b.Bottom + rec.origin.Y});
    }
    DCs().erase(it);
    DeleteDC(dc);
}

HDC HookGetDC(HWND h) {
    Wnd* w = W(h);
    if (!w) return 0;
    return GetDCEx(h, nullptr, DCX_CACHE | ((w->style & WS_CLIPCHILDREN) ? DCX_CLIPCHILDREN : 0));
}

int HookReleaseDC(HWND, HDC dc) {
    if (!DCs().count(dc)) return 0;
    Finish(dc);
    return 1;
}

bool PaintOne(Wnd& w) {
    const HWND h = w.h;
    bool painted = false;
    if (w.ncInvalid) {
        w.ncInvalid = false;
        SendMessage(h, WM_NCPAINT, 1, 0);
        painted = true;
    }
    Wnd* live = W(h);
    if (!live || live->invalid.IsEmpty()) return painted;
    const Region was = live->invalid;
    const int before = live->paints;
    SendMessage(h, WM_PAINT, 0, 0);
    // A handler that did not paint has its region counted as painted, or it would come back
    // for ever.
    if ((live = W(h)) && live->paints == before)
        for (const TRect& r : was.Rects())
            live->invalid.Subtract(r);
    return true;
}

int PaintTree(HWND h) {
    Wnd* w = W(h);
    if (!w || !VisibleChain(*w) || !w->redraw) return 0;
    int n = PaintOne(*w) ? 1 : 0;
    if (!(w = W(h))) return n;
    std::vector<HWND> kids = w->children;
    for (HWND c : kids)
        n += PaintTree(c);
    return n;
}

} // namespace

std::uintptr_t MakeWindowDC(Wnd& w, bool wholeWindow, bool clipChildren) {
    Region vis;
    if (w.redraw) vis = VisibleRegion(w, !wholeWindow, clipChildren);
    TPoint o = wholeWindow ? WindowOriginInSurface(w) : ClientOriginInSurface(w);
    vis.Offset(-o.X, -o.Y);
    return NewDC(w, wholeWindow, vis);
}

void InstallPaintHooks() {
    SetWindowDCHooks(HookGetDC, HookReleaseDC);
    SetPaintHook(PaintWindows);
}

HDC BeginPaint(HWND h, PAINTSTRUCT* ps) {
    Wnd* w = W(h);
    if (!w || !ps) return 0;
    Region region;
    if (w->redraw) {
        region = VisibleRegion(*w, true, true);
        TPoint o = ClientOriginInSurface(*w);
        region.Offset(-o.X, -o.Y);
        region.Intersect(w->invalid);
    }
    w->invalid.Clear();
    ++w->paints;
    HDC dc = NewDC(*w, false, region);
    DCs()[dc].paint = true;
    const bool erase = w->erase;
    w->erase = false;
    ps->hdc = dc;
    ps->fErase = erase && SendMessage(h, WM_ERASEBKGND, dc, 0) == 0;
    ps->rcPaint = region.Bounds();
    return dc;
}

bool EndPaint(HWND h, const PAINTSTRUCT* ps) {
    if (!ps) return false;
    auto it = DCs().find(ps->hdc);
    if (it == DCs().end()) return false;
    if (Wnd* w = W(h); w && it->second.paint) PaintGraphicControls(h, it->second.region);
    Finish(ps->hdc);
    return true;
}

bool InvalidateRect(HWND h, const TRect* r, bool erase) {
    Wnd* w = W(h);
    if (!w) return false;
    TRect c = ClientRect(*w);
    if (r) c = IntersectRects(c, *r);
    if (!c.IsEmpty()) {
        w->invalid.Add(c);
        w->erase = w->erase || erase;
    }
    return true;
}

bool InvalidateRgn(HWND h, const Region* rgn, bool erase) {
    if (!rgn) return InvalidateRect(h, nullptr, erase);
    for (const TRect& r : rgn->Rects())
        InvalidateRect(h, &r, erase);
    return W(h) != nullptr;
}

bool ValidateRect(HWND h, const TRect* r) {
    Wnd* w = W(h);
    if (!w) return false;
    if (r)
        w->invalid.Subtract(*r);
    else
        w->invalid.Clear();
    return true;
}

bool GetUpdateRect(HWND h, TRect* r, bool) {
    Wnd* w = W(h);
    if (!w) return false;
    if (r) *r = w->invalid.Bounds();
    return !w->invalid.IsEmpty();
}

bool GetUpdateRgn(HWND h, Region* rgn) {
    Wnd* w = W(h);
    if (!w || !rgn) return false;
    *rgn = w->invalid;
    return true;
}

bool UpdateWindow(HWND h) {
    Wnd* w = W(h);
    if (!w) return false;
    if (VisibleChain(*w) && w->redraw) PaintOne(*w);
    FlushSurfaces();
    return true;
}

bool RedrawWindow(HWND h, const TRect* r, UINT flags) {
    Wnd* w = W(h);
    if (!w) return false;
    if (flags & RDW_INVALIDATE) {
        if (flags & RDW_ALLCHILDREN) {
            TRect c = ClientRectInSurface(*w);
            if (r) {
                TPoint o = ClientOriginInSurface(*w);
                c = IntersectRects(c,
                                   {r->Left + o.X, r->Top + o.Y, r->Right + o.X, r->Bottom + o.Y});
            }
            if (Wnd* root = Root(w)) {
                (void)root;
                ExposeArea(*w, Region(c));
            }
        } else {
            InvalidateRect(h, r, (flags & RDW_ERASE) != 0);
        }
        if (flags & RDW_FRAME) w->ncInvalid = true;
    }
    if (flags & RDW_VALIDATE) ValidateRect(h, r);
    if (flags & RDW_UPDATENOW) {
        if (flags & RDW_ALLCHILDREN)
            PaintTree(h);
        else
            UpdateWindow(h);
        FlushSurfaces();
    }
    return true;
}

int ScrollWindowEx(HWND h, int dx, int dy, const TRect* scroll, const TRect* clip, Region* update,
                   TRect* updateRect, UINT flags) {
    Wnd* w = W(h);
    if (!w) return RGN_ERROR;
    const TRect client = ClientRect(*w);
    const TRect area = scroll ? IntersectRects(*scroll, client) : client;
    const TRect limit = clip ? IntersectRects(*clip, area) : area;
    const TPoint o = ClientOriginInSurface(*w);

    // What shows of the window, in client coordinates.
    Region vis = VisibleRegion(*w, true, true);
    vis.Offset(-o.X, -o.Y);
    Region src = vis;
    src.Intersect(area);
    Region moved = src;
    moved.Offset(dx, dy);
    moved.Intersect(limit);
    moved.Intersect(vis);
    if (Wnd* root = Root(w)) {
        Region inSurface = moved;
        inSurface.Offset(o.X, o.Y);
        // The display moves what it shows of one block itself rather than taking every pixel
        // again from the surface; what was drawn before reaches it first.
        const bool block = inSurface.Rects().size() == 1 && (root->style & WS_VISIBLE);
        if (block) FlushSurfaces();
        CopyPixels(*root->surface, inSurface, dx, dy);
        if (block) {
            P().SurfaceScrolled(root->h, inSurface.Bounds(), dx, dy);
            root->presentedChanges = root->surface->changes;
        } else if (!inSurface.IsEmpty()) {
            MarkDirty(*root, inSurface.Bounds());
        }
    }

    // Pending invalid parts inside the area move with the pixels.
    Region pending = w->invalid;
    pending.Intersect(area);
    if (!pending.IsEmpty()) {
        w->invalid.Subtract(area);
        Region keepOutside = w->invalid;
        pending.Offset(dx, dy);
        pending.Intersect(limit);
        w->invalid = keepOutside;
        for (const TRect& r : pending.Rects())
            w->invalid.Add(r);
    }

    Region exposed(limit);
    exposed.Intersect(vis);
    for (const TRect& r : moved.Rects())
        exposed.Subtract(r);
    if (flags & SW_INVALIDATE) {
        for (const TRect& r : exposed.Rects())
            w->invalid.Add(r);
        if (!exposed.IsEmpty() && (flags & SW_ERASE)) w->erase = true;
    }
    if (flags & SW_SCROLLCHILDREN) {
        std::vector<HWND> kids = w->children;
        for (HWND c : kids) {
            Wnd* cw = W(c);
            if (!cw || (scroll && IntersectRects(cw->rect, area).IsEmpty())) continue;
            SetWindowPos(c, 0, cw->rect.Left + dx, cw->rect.Top + dy, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (update) *update = exposed;
    if (updateRect) *updateRect = exposed.Bounds();
    if (exposed.IsEmpty()) return NULLREGION;
    return exposed.Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

HDC GetDCEx(HWND h, const Region* clip, DWORD flags) {
    Wnd* w = W(h);
    if (!w) return 0;
    HDC dc = MakeWindowDC(*w, (flags & DCX_WINDOW) != 0, (flags & DCX_CLIPCHILDREN) != 0);
    if (clip) {
        WindowDC& rec = DCs()[dc];
        rec.region.Intersect(*clip);
        SetPaintRegion(dc, &rec.region);
    }
    return dc;
}

HDC GetWindowDC(HWND h) {
    return GetDCEx(h, nullptr, DCX_WINDOW);
}

int PaintWindows() {
    int n = 0;
    auto tops = M().tops;
    for (HWND t : tops)
        n += PaintTree(t);
    FlushSurfaces();
    return n;
}

} // namespace platform
