// Block transfers between contexts with raster operations.
#include "platform/gdi/gdi.h"

#include "platform/gdi/objects.h"
#include "platform/gdi/syscolors.h"

#include <algorithm>

namespace platform {

namespace {

// Copies a source block through the destination's clip. The block has already been limited to
// the source surface; a source inside the destination surface is read from a copy, so an
// overlapping blit behaves as memmove does.
template <class RowOp>
void Transfer(Painter& p, const Surface* src, int sx, int sy, int dx, int dy, int w, int h,
              RowOp&& op) {
    Surface copy;
    if (src == &p.Target()) {
        copy = Surface(w, h, 0);
        for (int y = 0; y < h; ++y)
            std::copy_n(src->Row(sy + y) + sx, w, copy.Row(y));
        src = &copy;
        sx = sy = 0;
    }
    const TRect dest{dx, dy, dx + w, dy + h};
    for (const TRect& c : p.Clip().Rects()) {
        TRect r = IntersectRects(c, dest);
        if (r.IsEmpty()) continue;
        for (int y = r.Top; y < r.Bottom; ++y) {
            const std::uint32_t* s = src ? src->Row(sy + y - dy) + sx + (r.Left - dx) : nullptr;
            op(p.Target().Row(y) + r.Left, s, r.Width());
        }
    }
}

// Limits a block read at (sx, sy) of the source surface to that surface, moving the
// destination along. False when nothing is left.
bool ClipToSource(const Surface& s, int& sx, int& sy, int& dx, int& dy, int& w, int& h) {
    if (sx < 0) {
        dx -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        dy -= sy;
        h += sy;
        sy = 0;
    }
    w = std::min(w, s.width - sx);
    h = std::min(h, s.height - sy);
    return w > 0 && h > 0;
}

// The brush colour for an operation that reads the pattern; false when the brush is hollow.
bool PatternPixel(const DcObj& d, std::uint8_t index, std::uint32_t& pat) {
    if (!Rop3UsesPattern(index)) return true;
    if (!d.brush || d.brush->style == BS_NULL) return false;
    pat = PixelFromColorRef(d.brush->color);
    return true;
}

// A block from another context (or the same one) through the destination's clip.
template <class RowOp>
bool BlitFrom(const DcObj& d, const DcObj& s, int x, int y, int w, int h, int xSrc, int ySrc,
              RowOp&& op) {
    Painter p(d);
    const Surface* ss = s.Target();
    if (!p.Active() || !ss || w <= 0 || h <= 0) return true;
    int sx = xSrc - s.windowOrg.X + s.deviceOrg.X, sy = ySrc - s.windowOrg.Y + s.deviceOrg.Y;
    int dx = x - p.OrgX(), dy = y - p.OrgY();
    if (!ClipToSource(*ss, sx, sy, dx, dy, w, h)) return true;
    Transfer(p, ss, sx, sy, dx, dy, w, h, op);
    return true;
}

} // namespace

bool BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
            std::uint32_t rop) {
    auto d = FindDC(dst);
    if (!d) return false;
    const std::uint8_t index = Rop3Index(rop);
    if (!Rop3UsesSource(index)) return PatBlt(dst, x, y, width, height, rop);
    auto s = FindDC(src);
    if (!s) return false;
    std::uint32_t pat = 0;
    if (!PatternPixel(*d, index, pat)) return true;
    return BlitFrom(
        *d, *s, x, y, width, height, xSrc, ySrc,
        [&](std::uint32_t* o, const std::uint32_t* i, int n) { Rop3Row(index, o, i, n, pat); });
}

bool PatBlt(HDC dc, int x, int y, int width, int height, std::uint32_t rop) {
    auto d = FindDC(dc);
    if (!d) return false;
    const std::uint8_t index = Rop3Index(rop);
    if (width < 0) {
        x += width;
        width = -width;
    }
    if (height < 0) {
        y += height;
        height = -height;
    }
    Painter p(*d);
    if (!p.Active() || width == 0 || height == 0) return true;
    std::uint32_t pat = 0;
    if (!PatternPixel(*d, index, pat)) return true;
    Transfer(
        p, nullptr, 0, 0, x - p.OrgX(), y - p.OrgY(), width, height,
        [&](std::uint32_t* o, const std::uint32_t*, int n) { Rop3Row(index, o, nullptr, n, pat); });
    return true;
}

bool TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
                    int srcWidth, int srcHeight, COLORREF key) {
    auto d = FindDC(dst);
    auto s = FindDC(src);
    if (!d || !s || srcWidth != width || srcHeight != height) return false;
    const std::uint32_t k = PixelFromColorRef(key);
    return BlitFrom(*d, *s, x, y, width, height, xSrc, ySrc,
                    [&](std::uint32_t* o, const std::uint32_t* i, int n) {
                        for (int j = 0; j < n; ++j)
                            if (i[j] != k) o[j] = i[j];
                    });
}

bool DrawMasked(HDC dst, int x, int y, const Surface& image, const std::uint8_t* mask) {
    auto d = FindDC(dst);
    if (!d || !mask) return false;
    Painter p(*d);
    if (!p.Active() || image.width <= 0 || image.height <= 0) return true;
    const int dx = x - p.OrgX(), dy = y - p.OrgY();
    const TRect dest{dx, dy, dx + image.width, dy + image.height};
    for (const TRect& c : p.Clip().Rects()) {
        TRect r = IntersectRects(c, dest);
        for (int row = r.Top; row < r.Bottom; ++row) {
            const std::size_t at = std::size_t(row - dy) * std::size_t(image.width);
            std::uint32_t* o = p.Target().Row(row);
            for (int col = r.Left; col < r.Right; ++col)
                if (mask[at + std::size_t(col - dx)])
                    o[col] = image.pixels[at + std::size_t(col - dx)];
        }
    }
    return true;
}

} // namespace platform
