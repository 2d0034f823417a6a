#include "platform/window/graphic.h"

#include "platform/gdi/gdi.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/wndobj.h"

#include <algorithm>

namespace platform {
namespace {

GraphicControl* g_capture = nullptr;

bool Contains(const TRect& r, TPoint p) {
    return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}

} // namespace

GraphicControl::GraphicControl(HWND parent) : parent_(parent) {
    if (Wnd* w = W(parent))
        w->graphics.push_back(this);
    else
        parent_ = 0;
}

GraphicControl::~GraphicControl() {
    if (visible_) Invalidate();
    if (Wnd* w = W(parent_)) std::erase(w->graphics, this);
    ForgetGraphicControl(this);
    if (g_capture == this) g_capture = nullptr;
}

void GraphicControl::SetBounds(const TRect& r) {
    if (r == bounds_) return;
    if (visible_) Invalidate();
    bounds_ = r;
    if (visible_) Invalidate();
}

void GraphicControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    if (visible_) Invalidate();
    visible_ = visible;
    if (visible_) Invalidate();
}

void GraphicControl::BringToFront() {
    Wnd* w = W(parent_);
    if (!w) return;
    std::erase(w->graphics, this);
    w->graphics.push_back(this);
    Invalidate();
}

void GraphicControl::SendToBack() {
    Wnd* w = W(parent_);
    if (!w) return;
    std::erase(w->graphics, this);
    w->graphics.insert(w->graphics.begin(), this);
    Invalidate();
}

void GraphicControl::Invalidate(bool erase) {
    InvalidateRect(parent_, &bounds_, erase);
}

void GraphicControl::Update() {
    UpdateWindow(parent_);
}

bool GraphicControl::ReadPixelsUnder(Surface& out) const {
    Surface client;
    if (!ReadWindowPixels(parent_, client)) return false;
    out = Surface(std::max(0, bounds_.Width()), std::max(0, bounds_.Height()), 0xFF000000u);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            int sx = bounds_.Left + x, sy = bounds_.Top + y;
            if (sx >= 0 && sy >= 0 && sx < client.width && sy < client.height)
                out.Row(y)[x] = client.Row(sy)[sx];
        }
    return true;
}

GraphicControl* GraphicControlAt(HWND parent, TPoint client) {
    Wnd* w = W(parent);
    if (!w) return nullptr;
    for (auto it = w->graphics.rbegin(); it != w->graphics.rend(); ++it)
        if ((*it)->Visible() && (*it)->Enabled() && Contains((*it)->Bounds(), client)) return *it;
    return nullptr;
}

void PaintGraphicControls(HWND parent, const Region& region) {
    Wnd* w = W(parent);
    if (!w || w->graphics.empty()) return;
    std::vector<GraphicControl*> list = w->graphics;
    for (GraphicControl* g : list) {
        if (!W(parent) || std::find(w->graphics.begin(), w->graphics.end(), g) == w->graphics.end())
            continue;
        if (!g->Visible()) continue;
        const TRect b = g->Bounds();
        Region clip = region;
        clip.Intersect(b);
        if (clip.IsEmpty()) continue;
        clip.Offset(-b.Left, -b.Top);
        HDC dc = GetDCEx(parent, nullptr, DCX_CLIPCHILDREN);
        TRect o = SurfaceRect(parent);
        SetDeviceOrigin(dc, o.Left + b.Left, o.Top + b.Top);
        SetPaintRegion(dc, &clip);
        g->Paint(dc);
        ReleaseDC(parent, dc);
    }
}

GraphicControl* GraphicCapture() {
    return g_capture;
}

void SetGraphicCapture(GraphicControl* g) {
    g_capture = g;
}

void ForgetGraphicControls(Wnd& w) {
    for (GraphicControl* g : w.graphics) {
        if (g_capture == g) g_capture = nullptr;
        ForgetGraphicControl(g);
        g->Detach();
    }
    w.graphics.clear();
}

} // namespace platform
