#pragma once
// A set of pixels described by disjoint rectangles: clip regions and invalid areas. Disjoint,
// so that clipping a span against every rectangle touches each pixel at most once (an XOR
// drawn through a clip of overlapping rectangles would cancel itself).

#include "platform/gdi/types.h"

#include <vector>

namespace platform {

class Region {
public:
    Region() = default;
    explicit Region(const TRect& r) { Add(r); }

    // Adds the pixels of r (the parts already in the set are not added twice).
    void Add(const TRect& r);
    void Intersect(const TRect& r);
    void Intersect(const Region& other);
    void Subtract(const TRect& r);
    void Offset(int dx, int dy);
    void Clear() { rects_.clear(); }

    bool IsEmpty() const { return rects_.empty(); }
    bool Contains(int x, int y) const;
    TRect Bounds() const;
    const std::vector<TRect>& Rects() const { return rects_; }

private:
    std::vector<TRect> rects_;
};

TRect IntersectRects(const TRect& a, const TRect& b);

} // namespace platform
