#pragma once
// The objects behind gdi handles, the handle table and the state of a device context. Internal
// to the painting layer; callers use gdi.h.

#include "platform/gdi/fonts.h"
#include "platform/gdi/region.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/types.h"

#include <memory>
#include <optional>
#include <string>

namespace platform {

enum class ObjKind { Pen, Brush, Font, Bitmap, Region, DC };

struct GdiObject {
    explicit GdiObject(ObjKind k) : kind(k) {}
    virtual ~GdiObject() = default;
    ObjKind kind;
    bool stock = false;
};

struct PenObj : GdiObject {
    PenObj() : GdiObject(ObjKind::Pen) {}
    int style = 0; // PS_*
    int width = 1;
    COLORREF color = 0;
};

struct BrushObj : GdiObject {
    BrushObj() : GdiObject(ObjKind::Brush) {}
    int style = 0; // BS_SOLID or BS_NULL
    COLORREF color = 0;
};

struct FontObj : GdiObject {
    FontObj() : GdiObject(ObjKind::Font) {}
    FontDesc desc;
    std::shared_ptr<SizedFont> sized; // opened on first use
    SizedFont* Sized();
};

struct BitmapObj : GdiObject {
    BitmapObj() : GdiObject(ObjKind::Bitmap) {}
    std::shared_ptr<Surface> surface;
};

struct RegionObj : GdiObject {
    RegionObj() : GdiObject(ObjKind::Region) {}
    Region region;
};

struct DcObj : GdiObject {
    DcObj() : GdiObject(ObjKind::DC) {}
    bool screen = false; // the screen context: serves compatibility, draws nothing
    HGDIOBJ penH = 0, brushH = 0, fontH = 0, bitmapH = 0;
    std::shared_ptr<PenObj> pen;
    std::shared_ptr<BrushObj> brush;
    std::shared_ptr<FontObj> font;
    std::shared_ptr<BitmapObj> bitmap;
    int rop2 = 13;  // R2_COPYPEN
    int bkMode = 2; // OPAQUE
    COLORREF bkColor = 0xFFFFFF;
    COLORREF textColor = 0;
    unsigned textAlign = 0;
    TPoint pos;                      // current position, logical
    TPoint windowOrg;                // logical point shown at device (0, 0)
    TPoint deviceOrg;                // surface pixel of device (0, 0); the window layer moves it
    std::optional<Region> paintClip; // device coordinates; set by the window layer
    std::optional<Region> userClip;  // device coordinates; selected by the program

    Surface* Target() const { return (screen || !bitmap) ? nullptr : bitmap->surface.get(); }
    // The effective clip in surface coordinates: the surface, the paint region and the
    // selected clip region, intersected. Cached until InvalidateClip.
    const Region& Clip() const;
    void InvalidateClip() { clipValid_ = false; }

private:
    mutable Region clip_;
    mutable bool clipValid_ = false;
};

// The handle table. Handles are never reused within a run.
HGDIOBJ AddObject(std::shared_ptr<GdiObject> obj);
std::shared_ptr<GdiObject> FindObject(HGDIOBJ h);
bool RemoveObject(HGDIOBJ h);
template <class T> std::shared_ptr<T> FindAs(HGDIOBJ h, ObjKind kind) {
    auto o = FindObject(h);
    if (!o || o->kind != kind) return nullptr;
    return std::static_pointer_cast<T>(o);
}
inline std::shared_ptr<DcObj> FindDC(HDC h) {
    return FindAs<DcObj>(h, ObjKind::DC);
}

// Writes through a DC's clip: spans and pixels in device coordinates.
class Painter {
public:
    explicit Painter(const DcObj& dc);
    bool Active() const { return surface_ != nullptr && !clip_->IsEmpty(); }
    Surface& Target() { return *surface_; }
    const Region& Clip() const { return *clip_; }
    int OrgX() const { return org_.X; }
    int OrgY() const { return org_.Y; }

    // Calls fn(pointer, count, x) for every clipped piece of row y from x0 to x1 (exclusive).
    template <class F> void Span(int y, int x0, int x1, F&& fn) {
        if (x1 <= x0) return;
        for (const TRect& r : clip_->Rects()) {
            if (y < r.Top || y >= r.Bottom) continue;
            int a = x0 < r.Left ? r.Left : x0;
            int b = x1 > r.Right ? r.Right : x1;
            if (a < b) fn(surface_->Row(y) + a, b - a, a);
        }
    }
    std::uint32_t* Pixel(int x, int y) {
        return clip_->Contains(x, y) ? surface_->Row(y) + x : nullptr;
    }

private:
    Surface* surface_ = nullptr;
    const Region* clip_;
    TPoint org_;
};

} // namespace platform
