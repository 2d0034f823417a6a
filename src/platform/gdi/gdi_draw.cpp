// Lines, rectangles, polygons, ellipses and pixels. Every primitive touches each pixel at most
// once, so that a primitive drawn twice in XOR restores the surface.
#include "platform/gdi/gdi.h"

#include "platform/gdi/objects.h"
#include "platform/gdi/syscolors.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace platform {

namespace {

bool PenIsNull(const DcObj& d) {
    return !d.pen || d.pen->style == PS_NULL;
}
bool BrushIsNull(const DcObj& d) {
    return !d.brush || d.brush->style == BS_NULL;
}

// Styled pens draw our dotted pattern: one pixel on, one off, counted from the start of each
// primitive. Wide pens are always solid, as on the platform.
bool PenIsDotted(const PenObj& p) {
    return p.width <= 1 && p.style >= PS_DASH && p.style <= PS_DASHDOTDOT;
}

// Calls plot(x, y) for each pixel from (x0, y0) towards (x1, y1), the last one omitted.
template <class F> void LinePixels(int x0, int y0, int x1, int y1, F&& plot) {
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        plot(x0, y0);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// Calls plot(x, y) once for each pixel of the outline of [l, r) x [t, b), clockwise from the
// top-left corner.
template <class F> void PerimeterPixels(int l, int t, int r, int b, F&& plot) {
    if (r <= l || b <= t) return;
    if (b - t == 1 || r - l == 1) {
        for (int y = t; y < b; ++y)
            for (int x = l; x < r; ++x)
                plot(x, y);
        return;
    }
    for (int x = l; x < r; ++x)
        plot(x, t);
    for (int y = t + 1; y < b; ++y)
        plot(r - 1, y);
    for (int x = r - 2; x >= l; --x)
        plot(x, b - 1);
    for (int y = b - 2; y > t; --y)
        plot(l, y);
}

// Draws the pixels of the current pen of a context, in device coordinates.
class PenWriter {
public:
    PenWriter(Painter& p, const DcObj& d)
        : p_(p), rop_(d.rop2), pen_(PixelFromColorRef(d.pen->color)),
          bk_(PixelFromColorRef(d.bkColor)), dotted_(PenIsDotted(*d.pen)),
          opaqueGaps_(d.bkMode == OPAQUE), width_(d.pen->width) {}

    bool Wide() const { return width_ > 1; }
    int Width() const { return width_; }
    bool Dotted() const { return dotted_; }

    void Plot(int x, int y) {
        bool on = !dotted_ || (index_ & 1) == 0;
        ++index_;
        if (!on && !opaqueGaps_) return;
        if (std::uint32_t* q = p_.Pixel(x, y)) *q = ApplyRop2(rop_, on ? pen_ : bk_, *q);
    }
    void Span(int y, int x0, int x1) {
        auto fn = Rop2Span(rop_);
        p_.Span(y, x0, x1, [&](std::uint32_t* q, int n, int) { fn(q, n, pen_); });
    }
    // A line of a wide pen: a square of the pen's width around every pixel of the path, each
    // covered pixel written once.
    void WideLine(const std::vector<TPoint>& path) {
        std::vector<TPoint> pixels;
        int o = width_ / 2;
        for (TPoint c : path)
            for (int y = 0; y < width_; ++y)
                for (int x = 0; x < width_; ++x)
                    pixels.push_back({c.X - o + x, c.Y - o + y});
        std::sort(pixels.begin(), pixels.end(),
                  [](TPoint a, TPoint b) { return a.Y != b.Y ? a.Y < b.Y : a.X < b.X; });
        pixels.erase(std::unique(pixels.begin(), pixels.end()), pixels.end());
        for (TPoint q : pixels)
            if (std::uint32_t* d = p_.Pixel(q.X, q.Y)) *d = ApplyRop2(rop_, pen_, *d);
    }

private:
    Painter& p_;
    int rop_;
    std::uint32_t pen_, bk_;
    bool dotted_, opaqueGaps_;
    int width_;
    int index_ = 0;
};

// Draws a connected path of device points with the pen; closed paths end at the first point.
void StrokePath(Painter& p, const DcObj& d, const std::vector<TPoint>& pts) {
    if (PenIsNull(d) || pts.size() < 2) return;
    PenWriter pen(p, d);
    if (pen.Wide()) {
        std::vector<TPoint> path;
        for (std::size_t i = 0; i + 1 < pts.size(); ++i)
            LinePixels(pts[i].X, pts[i].Y, pts[i + 1].X, pts[i + 1].Y, [&](int x, int y) {
                path.push_back({x, y});
            });
        pen.WideLine(path);
        return;
    }
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        const TPoint a = pts[i], b = pts[i + 1];
        if (a.Y == b.Y && !pen.Dotted()) { // the common case, a row at a time
            if (a.X < b.X)
                pen.Span(a.Y, a.X, b.X);
            else if (a.X > b.X)
                pen.Span(a.Y, b.X + 1, a.X + 1);
            continue;
        }
        LinePixels(a.X, a.Y, b.X, b.Y, [&](int x, int y) { pen.Plot(x, y); });
    }
}

void FillSpanRop(Painter& p, int rop, std::uint32_t color, int y, int x0, int x1) {
    auto fn = Rop2Span(rop);
    p.Span(y, x0, x1, [&](std::uint32_t* q, int n, int) { fn(q, n, color); });
}

void FillBoxRop(Painter& p, int rop, std::uint32_t color, int l, int t, int r, int b) {
    for (int y = t; y < b; ++y)
        FillSpanRop(p, rop, color, y, l, r);
}

// The interior of a closed shape uses the brush with the pen's mode.
void FillInteriorBox(Painter& p, const DcObj& d, int l, int t, int r, int b) {
    if (BrushIsNull(d)) return;
    FillBoxRop(p, d.rop2, PixelFromColorRef(d.brush->color), l, t, r, b);
}

std::vector<TPoint> ToDevice(const Painter& p, const TPoint* pts, int count) {
    std::vector<TPoint> out;
    out.reserve(std::size_t(count) + 1);
    for (int i = 0; i < count; ++i)
        out.push_back({pts[i].X - p.OrgX(), pts[i].Y - p.OrgY()});
    return out;
}

TRect Normalized(int l, int t, int r, int b) {
    return {std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
}

// The pixels of row y inside the ellipse bounded by [l, r) x [t, b), as [first, last]; a
// pixel is inside when its centre is. Computed in doubled coordinates from the centre, so the
// result is exactly symmetric.
bool EllipseRow(int l, int t, int r, int b, int y, int& first, int& last) {
    int w = r - l, h = b - t;
    if (w <= 0 || h <= 0 || y < t || y >= b) return false;
    double dy = double(2 * y + 1 - (t + b)) / h;
    double q = 1.0 - dy * dy;
    if (q < 0) return false;
    double hw = w * std::sqrt(q);
    int c = l + r;
    first = int(std::ceil((c - hw - 1) / 2));
    last = int(std::floor((c + hw - 1) / 2));
    return first <= last;
}

// Even-odd scan conversion of a polygon in device coordinates; a pixel is inside when its
// centre is.
template <class F> void PolygonSpans(const std::vector<TPoint>& pts, F&& span) {
    int top = pts[0].Y, bottom = pts[0].Y;
    for (TPoint q : pts) {
        top = std::min(top, q.Y);
        bottom = std::max(bottom, q.Y);
    }
    std::vector<double> xs;
    for (int y = top; y < bottom; ++y) {
        double yc = y + 0.5;
        xs.clear();
        for (std::size_t i = 0; i < pts.size(); ++i) {
            TPoint a = pts[i], b = pts[(i + 1) % pts.size()];
            if ((a.Y <= yc && yc < b.Y) || (b.Y <= yc && yc < a.Y))
                xs.push_back(a.X + (yc - a.Y) * (b.X - a.X) / double(b.Y - a.Y));
        }
        std::sort(xs.begin(), xs.end());
        for (std::size_t i = 0; i + 1 < xs.size(); i += 2)
            span(y, int(std::ceil(xs[i] - 0.5)), int(std::ceil(xs[i + 1] - 0.5)));
    }
}

std::uint32_t BrushPixel(HBRUSH brush, bool& hollow) {
    hollow = false;
    if (brush > 0 && brush <= HBRUSH(SysColorCount))
        return PixelFromColorRef(GetSysColor(int(brush) - 1));
    auto b = FindAs<BrushObj>(brush, ObjKind::Brush);
    if (!b || b->style == BS_NULL) {
        hollow = true;
        return 0;
    }
    return PixelFromColorRef(b->color);
}

} // namespace

bool MoveToEx(HDC dc, int x, int y, TPoint* old) {
    auto d = FindDC(dc);
    if (!d) return false;
    if (old) *old = d->pos;
    d->pos = {x, y};
    return true;
}

bool LineTo(HDC dc, int x, int y) {
    auto d = FindDC(dc);
    if (!d) return false;
    Painter p(*d);
    if (p.Active()) {
        TPoint pts[2] = {d->pos, {x, y}};
        StrokePath(p, *d, ToDevice(p, pts, 2));
    }
    d->pos = {x, y};
    return true;
}

bool Polyline(HDC dc, const TPoint* points, int count) {
    auto d = FindDC(dc);
    if (!d || !points || count < 2) return false;
    Painter p(*d);
    if (p.Active()) StrokePath(p, *d, ToDevice(p, points, count));
    return true;
}

bool Polygon(HDC dc, const TPoint* points, int count) {
    auto d = FindDC(dc);
    if (!d || !points || count < 2) return false;
    Painter p(*d);
    if (!p.Active()) return true;
    std::vector<TPoint> pts = ToDevice(p, points, count);
    if (!BrushIsNull(*d)) {
        std::uint32_t color = PixelFromColorRef(d->brush->color);
        PolygonSpans(pts,
                     [&](int y, int x0, int x1) { FillSpanRop(p, d->rop2, color, y, x0, x1); });
    }
    pts.push_back(pts.front());
    StrokePath(p, *d, pts);
    return true;
}

bool Rectangle(HDC dc, int left, int top, int right, int bottom) {
    auto d = FindDC(dc);
    if (!d) return false;
    Painter p(*d);
    if (!p.Active()) return true;
    TRect r = Normalized(left - p.OrgX(), top - p.OrgY(), right - p.OrgX(), bottom - p.OrgY());
    if (PenIsNull(*d)) {
        // Without an outline the interior reaches one pixel less far right and down.
        FillInteriorBox(p, *d, r.Left, r.Top, r.Right - 1, r.Bottom - 1);
        return true;
    }
    PenWriter pen(p, *d);
    int w = pen.Width();
    if (pen.Dotted()) {
        PerimeterPixels(r.Left, r.Top, r.Right, r.Bottom, [&](int x, int y) { pen.Plot(x, y); });
    } else {
        // The outline is a band of the pen's width inside the bounds.
        for (int y = r.Top; y < r.Bottom; ++y) {
            if (y < r.Top + w || y >= r.Bottom - w || r.Right - r.Left <= 2 * w) {
                pen.Span(y, r.Left, r.Right);
            } else {
                pen.Span(y, r.Left, r.Left + w);
                pen.Span(y, r.Right - w, r.Right);
            }
        }
    }
    if (r.Right - r.Left > 2 * w && r.Bottom - r.Top > 2 * w)
        FillInteriorBox(p, *d, r.Left + w, r.Top + w, r.Right - w, r.Bottom - w);
    return true;
}

bool Ellipse(HDC dc, int left, int top, int right, int bottom) {
    auto d = FindDC(dc);
    if (!d) return false;
    Painter p(*d);
    if (!p.Active()) return true;
    TRect r = Normalized(left - p.OrgX(), top - p.OrgY(), right - p.OrgX(), bottom - p.OrgY());
    bool outline = !PenIsNull(*d);
    int w = outline ? d->pen->width : 0;
    bool dotted = outline && PenIsDotted(*d->pen);
    std::uint32_t penColor = outline ? PixelFromColorRef(d->pen->color) : 0;
    std::uint32_t bkColor = PixelFromColorRef(d->bkColor);
    bool fill = !BrushIsNull(*d);
    std::uint32_t brushColor = fill ? PixelFromColorRef(d->brush->color) : 0;
    for (int y = r.Top; y < r.Bottom; ++y) {
        int oa, ob;
        if (!EllipseRow(r.Left, r.Top, r.Right, r.Bottom, y, oa, ob)) continue;
        int ia = ob + 1, ib = ob; // the interior of the row, empty by default
        if (!EllipseRow(r.Left + w, r.Top + w, r.Right - w, r.Bottom - w, y, ia, ib)) {
            ia = ob + 1;
            ib = ob;
        }
        if (fill && ia <= ib) FillSpanRop(p, d->rop2, brushColor, y, ia, ib + 1);
        if (!outline) continue;
        auto band = [&](int x0, int x1) {
            if (!dotted) return FillSpanRop(p, d->rop2, penColor, y, x0, x1);
            for (int x = x0; x < x1; ++x) {
                bool on = ((x - r.Left + y - r.Top) & 1) == 0;
                if (!on && d->bkMode != OPAQUE) continue;
                if (std::uint32_t* q = p.Pixel(x, y))
                    *q = ApplyRop2(d->rop2, on ? penColor : bkColor, *q);
            }
        };
        if (ia > ib) {
            band(oa, ob + 1);
        } else {
            band(oa, ia);
            band(ib + 1, ob + 1);
        }
    }
    return true;
}

int FillRect(HDC dc, const TRect* rect, HBRUSH brush) {
    auto d = FindDC(dc);
    if (!d || !rect) return 0;
    bool hollow;
    std::uint32_t color = BrushPixel(brush, hollow);
    Painter p(*d);
    if (hollow || !p.Active()) return 1;
    FillBoxRop(p, R2_COPYPEN, color, rect->Left - p.OrgX(), rect->Top - p.OrgY(),
               rect->Right - p.OrgX(), rect->Bottom - p.OrgY());
    return 1;
}

int FrameRect(HDC dc, const TRect* rect, HBRUSH brush) {
    auto d = FindDC(dc);
    if (!d || !rect) return 0;
    bool hollow;
    std::uint32_t color = BrushPixel(brush, hollow);
    Painter p(*d);
    if (hollow || !p.Active()) return 1;
    int l = rect->Left - p.OrgX(), t = rect->Top - p.OrgY();
    int r = rect->Right - p.OrgX(), b = rect->Bottom - p.OrgY();
    if (r <= l || b <= t) return 1;
    FillSpanRop(p, R2_COPYPEN, color, t, l, r);
    if (b - t > 1) FillSpanRop(p, R2_COPYPEN, color, b - 1, l, r);
    for (int y = t + 1; y < b - 1; ++y) {
        FillSpanRop(p, R2_COPYPEN, color, y, l, l + 1);
        if (r - l > 1) FillSpanRop(p, R2_COPYPEN, color, y, r - 1, r);
    }
    return 1;
}

bool DrawFocusRect(HDC dc, const TRect* rect) {
    auto d = FindDC(dc);
    if (!d || !rect) return false;
    Painter p(*d);
    if (!p.Active()) return true;
    // Every other pixel of the frame inverted, on a checkerboard of the device, so a second
    // call removes it.
    PerimeterPixels(rect->Left - p.OrgX(), rect->Top - p.OrgY(), rect->Right - p.OrgX(),
                    rect->Bottom - p.OrgY(), [&](int x, int y) {
                        if ((x + y) & 1) return;
                        if (std::uint32_t* q = p.Pixel(x, y)) *q ^= 0x00FFFFFFu;
                    });
    return true;
}

COLORREF GetPixel(HDC dc, int x, int y) {
    auto d = FindDC(dc);
    if (!d || !d->Target()) return CLR_INVALID;
    int dx = x - d->windowOrg.X + d->deviceOrg.X, dy = y - d->windowOrg.Y + d->deviceOrg.Y;
    if (!d->Clip().Contains(dx, dy)) return CLR_INVALID;
    return ColorRefFromPixel(*(d->Target()->Row(dy) + dx));
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
    auto d = FindDC(dc);
    if (!d) return CLR_INVALID;
    Painter p(*d);
    if (!p.Active()) return CLR_INVALID;
    std::uint32_t* q = p.Pixel(x - p.OrgX(), y - p.OrgY());
    if (!q) return CLR_INVALID;
    *q = PixelFromColorRef(color);
    return ColorRefFromPixel(*q);
}

} // namespace platform
