#include "platform/gdi/region.h"

#include <algorithm>

namespace platform {

TRect IntersectRects(const TRect& a, const TRect& b) {
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
    if (r.IsEmpty()) return TRect{};
    return r;
}

namespace {

// Appends the up to four pieces of a that lie outside b.
void AppendDifference(const TRect& a, const TRect& b, std::vector<TRect>& out) {
    TRect i = IntersectRects(a, b);
    if (i.IsEmpty()) {
        out.push_back(a);
        return;
    }
    if (a.Top < i.Top) out.push_back({a.Left, a.Top, a.Right, i.Top});
    if (i.Bottom < a.Bottom) out.push_back({a.Left, i.Bottom, a.Right, a.Bottom});
    if (a.Left < i.Left) out.push_back({a.Left, i.Top, i.Left, i.Bottom});
    if (i.Right < a.Right) out.push_back({i.Right, i.Top, a.Right, i.Bottom});
}

} // namespace

void Region::Add(const TRect& r) {
    if (r.IsEmpty()) return;
    std::vector<TRect> pieces{r};
    for (const TRect& have : rects_) {
        std::vector<TRect> next;
        for (const TRect& p : pieces)
            AppendDifference(p, have, next);
        pieces.swap(next);
        if (pieces.empty()) return;
    }
    rects_.insert(rects_.end(), pieces.begin(), pieces.end());
}

void Region::Intersect(const TRect& r) {
    std::vector<TRect> out;
    for (const TRect& have : rects_) {
        TRect i = IntersectRects(have, r);
        if (!i.IsEmpty()) out.push_back(i);
    }
    rects_.swap(out);
}

void Region::Intersect(const Region& other) {
    std::vector<TRect> out;
    for (const TRect& a : rects_)
        for (const TRect& b : other.rects_) {
            TRect i = IntersectRects(a, b);
            if (!i.IsEmpty()) out.push_back(i);
        }
    rects_.swap(out);
}

void Region::Subtract(const TRect& r) {
    std::vector<TRect> out;
    for (const TRect& have : rects_)
        AppendDifference(have, r, out);
    rects_.swap(out);
}

void Region::Offset(int dx, int dy) {
    for (TRect& r : rects_)
        r = {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

bool Region::Contains(int x, int y) const {
    for (const TRect& r : rects_)
        if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) return true;
    return false;
}

TRect Region::Bounds() const {
    if (rects_.empty()) return TRect{};
    TRect b = rects_.front();
    for (const TRect& r : rects_) {
        b.Left = std::min(b.Left, r.Left);
        b.Top = std::min(b.Top, r.Top);
        b.Right = std::max(b.Right, r.Right);
        b.Bottom = std::max(b.Bottom, r.Bottom);
    }
    return b;
}

} // namespace platform
