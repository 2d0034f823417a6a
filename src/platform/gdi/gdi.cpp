// Device contexts, objects, state and clipping.
#include "platform/gdi/gdi.h"

#include "platform/gdi/objects.h"
#include "platform/gdi/syscolors.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <unordered_map>

namespace platform {

namespace {

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<HGDIOBJ, std::shared_ptr<GdiObject>> objects;
    // Above the range where a brush argument may be a system colour index + 1.
    HGDIOBJ next = 0x10000;
};

HandleTable& Table() {
    static HandleTable table;
    return table;
}

// Bitmaps up to 256 M pixels.
constexpr long long kMaxPixels = 1LL << 28;

std::shared_ptr<Surface> NewSurface(int w, int h, std::uint32_t fill) {
    if (w < 0 || h < 0 || (long long)w * h > kMaxPixels) return nullptr;
    return std::make_shared<Surface>(w, h, fill);
}

struct Stock {
    std::array<HGDIOBJ, 18> objects{};
    HBITMAP bitmap = 0; // the 1 x 1 bitmap of a new memory context
    HDC screen = 0;
};

HGDIOBJ AddStock(std::shared_ptr<GdiObject> o) {
    o->stock = true;
    return AddObject(std::move(o));
}

HGDIOBJ StockPen(int style, COLORREF color) {
    auto p = std::make_shared<PenObj>();
    p->style = style;
    p->color = color;
    return AddStock(p);
}

HGDIOBJ StockBrush(int style, COLORREF color) {
    auto b = std::make_shared<BrushObj>();
    b->style = style;
    b->color = color;
    return AddStock(b);
}

HGDIOBJ StockFont(const char* face, int height) {
    auto f = std::make_shared<FontObj>();
    f->desc.faceName = face;
    f->desc.height = height;
    return AddStock(f);
}

const Stock& Stocks() {
    static const Stock stock = [] {
        Stock s;
        s.objects[WHITE_BRUSH] = StockBrush(BS_SOLID, RGB(255, 255, 255));
        s.objects[LTGRAY_BRUSH] = StockBrush(BS_SOLID, RGB(192, 192, 192));
        s.objects[GRAY_BRUSH] = StockBrush(BS_SOLID, RGB(128, 128, 128));
        s.objects[DKGRAY_BRUSH] = StockBrush(BS_SOLID, RGB(64, 64, 64));
        s.objects[BLACK_BRUSH] = StockBrush(BS_SOLID, 0);
        s.objects[NULL_BRUSH] = StockBrush(BS_NULL, 0);
        s.objects[WHITE_PEN] = StockPen(PS_SOLID, RGB(255, 255, 255));
        s.objects[BLACK_PEN] = StockPen(PS_SOLID, 0);
        s.objects[NULL_PEN] = StockPen(PS_NULL, 0);
        s.objects[OEM_FIXED_FONT] = StockFont("Courier New", -13);
        s.objects[ANSI_FIXED_FONT] = StockFont("Courier New", -13);
        s.objects[ANSI_VAR_FONT] = StockFont("MS Sans Serif", -11);
        s.objects[SYSTEM_FONT] = StockFont("System", -13);
        s.objects[DEVICE_DEFAULT_FONT] = StockFont("System", -13);
        s.objects[SYSTEM_FIXED_FONT] = StockFont("Courier New", -13);
        s.objects[DEFAULT_GUI_FONT] = StockFont("MS Sans Serif", -11);
        auto bm = std::make_shared<BitmapObj>();
        bm->surface = NewSurface(1, 1, 0xFF000000u);
        s.bitmap = AddStock(bm);
        auto screen = std::make_shared<DcObj>();
        screen->screen = true;
        s.screen = AddStock(screen);
        return s;
    }();
    return stock;
}

// Selects the defaults of a new context.
void InitDC(DcObj& dc) {
    const Stock& s = Stocks();
    dc.penH = s.objects[BLACK_PEN];
    dc.pen = FindAs<PenObj>(dc.penH, ObjKind::Pen);
    dc.brushH = s.objects[WHITE_BRUSH];
    dc.brush = FindAs<BrushObj>(dc.brushH, ObjKind::Brush);
    dc.fontH = s.objects[SYSTEM_FONT];
    dc.font = FindAs<FontObj>(dc.fontH, ObjKind::Font);
    if (!dc.screen) {
        dc.bitmapH = s.bitmap;
        dc.bitmap = FindAs<BitmapObj>(dc.bitmapH, ObjKind::Bitmap);
    }
}

struct WindowHooks {
    WindowDCHook get = nullptr;
    ReleaseDCHook release = nullptr;
    int screenWidth = 1920;
    int screenHeight = 1080;
};

WindowHooks& Hooks() {
    static WindowHooks hooks;
    return hooks;
}

int RegionType(const Region& r) {
    if (r.IsEmpty()) return NULLREGION;
    return r.Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

TRect DeviceRect(const DcObj& dc, int l, int t, int r, int b) {
    return {l - dc.windowOrg.X, t - dc.windowOrg.Y, r - dc.windowOrg.X, b - dc.windowOrg.Y};
}

// A clip region without limit, for excluding from "no clip region".
constexpr TRect kEverything{-(1 << 30), -(1 << 30), 1 << 30, 1 << 30};

} // namespace

HGDIOBJ AddObject(std::shared_ptr<GdiObject> obj) {
    HandleTable& t = Table();
    std::lock_guard lock(t.mutex);
    HGDIOBJ h = t.next;
    t.next += 4;
    t.objects.emplace(h, std::move(obj));
    return h;
}

std::shared_ptr<GdiObject> FindObject(HGDIOBJ h) {
    if (h == 0) return nullptr;
    HandleTable& t = Table();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(h);
    return it == t.objects.end() ? nullptr : it->second;
}

bool RemoveObject(HGDIOBJ h) {
    HandleTable& t = Table();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(h);
    if (it == t.objects.end() || it->second->stock) return false;
    t.objects.erase(it);
    return true;
}

const Region& DcObj::Clip() const {
    if (clipValid_) return clip_;
    clip_.Clear();
    if (Surface* s = Target()) {
        clip_.Add({0, 0, s->width, s->height});
        // Paint and selected regions are in device coordinates.
        auto intersect = [&](const Region& r) {
            if (deviceOrg.X == 0 && deviceOrg.Y == 0) return clip_.Intersect(r);
            Region moved = r;
            moved.Offset(deviceOrg.X, deviceOrg.Y);
            clip_.Intersect(moved);
        };
        if (paintClip) intersect(*paintClip);
        if (userClip) intersect(*userClip);
    }
    clipValid_ = true;
    return clip_;
}

Painter::Painter(const DcObj& dc)
    : clip_(&dc.Clip()), org_{dc.windowOrg.X - dc.deviceOrg.X, dc.windowOrg.Y - dc.deviceOrg.Y} {
    surface_ = dc.Target();
    if (surface_ && !clip_->IsEmpty()) ++surface_->changes;
}

void SetScreenSize(int width, int height) {
    Hooks().screenWidth = width;
    Hooks().screenHeight = height;
}

void SetWindowDCHooks(WindowDCHook get, ReleaseDCHook release) {
    Hooks().get = get;
    Hooks().release = release;
}

HDC GetDC(HWND wnd) {
    if (wnd != 0 && Hooks().get) return Hooks().get(wnd);
    return Stocks().screen;
}

int ReleaseDC(HWND wnd, HDC dc) {
    if (dc == Stocks().screen) return 1;
    if (Hooks().release) return Hooks().release(wnd, dc);
    return 0;
}

HDC CreateCompatibleDC(HDC) {
    auto dc = std::make_shared<DcObj>();
    InitDC(*dc);
    return AddObject(dc);
}

bool DeleteDC(HDC dc) {
    if (!FindDC(dc)) return false;
    return RemoveObject(dc);
}

int GetDeviceCaps(HDC dc, int index) {
    auto d = FindDC(dc);
    if (!d) return 0;
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    case BITSPIXEL:
        return 32;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return -1;
    case HORZRES:
        return Hooks().screenWidth;
    case VERTRES:
        return Hooks().screenHeight;
    default:
        return 0;
    }
}

HPEN CreatePen(int style, int width, COLORREF color) {
    auto p = std::make_shared<PenObj>();
    p->style = (style >= PS_SOLID && style <= PS_INSIDEFRAME) ? style : PS_SOLID;
    p->width = width < 1 ? 1 : width;
    p->color = color;
    return AddObject(p);
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto b = std::make_shared<BrushObj>();
    b->color = color;
    return AddObject(b);
}

HBRUSH CreateHollowBrush() {
    auto b = std::make_shared<BrushObj>();
    b->style = BS_NULL;
    return AddObject(b);
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (!FindDC(dc)) return 0;
    return CreateBitmapFromSurface(NewSurface(width, height, 0xFF000000u));
}

HBITMAP CreateBitmapFromSurface(std::shared_ptr<Surface> surface) {
    if (!surface) return 0;
    auto b = std::make_shared<BitmapObj>();
    b->surface = std::move(surface);
    return AddObject(b);
}

HGDIOBJ GetStockObject(int index) {
    if (index < 0 || index >= int(Stocks().objects.size())) return 0;
    return Stocks().objects[std::size_t(index)];
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
    auto d = FindDC(dc);
    auto o = FindObject(obj);
    if (!d || !o) return 0;
    HGDIOBJ old = 0;
    switch (o->kind) {
    case ObjKind::Pen:
        old = d->penH;
        d->penH = obj;
        d->pen = std::static_pointer_cast<PenObj>(o);
        return old;
    case ObjKind::Brush:
        old = d->brushH;
        d->brushH = obj;
        d->brush = std::static_pointer_cast<BrushObj>(o);
        return old;
    case ObjKind::Font:
        old = d->fontH;
        d->fontH = obj;
        d->font = std::static_pointer_cast<FontObj>(o);
        return old;
    case ObjKind::Bitmap:
        if (d->screen) return 0;
        old = d->bitmapH;
        d->bitmapH = obj;
        d->bitmap = std::static_pointer_cast<BitmapObj>(o);
        d->InvalidateClip();
        return old;
    case ObjKind::Region:
        return HGDIOBJ(SelectClipRgn(dc, obj));
    case ObjKind::DC:
        return 0;
    }
    return 0;
}

HGDIOBJ GetCurrentObject(HDC dc, int type) {
    auto d = FindDC(dc);
    if (!d) return 0;
    switch (type) {
    case OBJ_PEN:
        return d->penH;
    case OBJ_BRUSH:
        return d->brushH;
    case OBJ_FONT:
        return d->fontH;
    case OBJ_BITMAP:
        return d->bitmapH;
    default:
        return 0;
    }
}

bool DeleteObject(HGDIOBJ obj) {
    auto o = FindObject(obj);
    if (!o || o->kind == ObjKind::DC) return false;
    if (o->stock) return true;
    return RemoveObject(obj);
}

int GetObjectType(HGDIOBJ obj) {
    auto o = FindObject(obj);
    if (!o) return 0;
    switch (o->kind) {
    case ObjKind::Pen:
        return OBJ_PEN;
    case ObjKind::Brush:
        return OBJ_BRUSH;
    case ObjKind::Font:
        return OBJ_FONT;
    case ObjKind::Bitmap:
        return OBJ_BITMAP;
    case ObjKind::Region:
        return OBJ_REGION;
    case ObjKind::DC:
        return static_cast<const DcObj&>(*o).screen ? OBJ_DC : OBJ_MEMDC;
    }
    return 0;
}

bool GetObject(HBITMAP bitmap, BITMAP* out) {
    auto b = FindAs<BitmapObj>(bitmap, ObjKind::Bitmap);
    if (!b || !out) return false;
    out->bmWidth = b->surface->width;
    out->bmHeight = b->surface->height;
    out->bmWidthBytes = b->surface->Stride();
    out->bmPlanes = 1;
    out->bmBitsPixel = 32;
    b->surface->Unturn();
    out->bmBits = b->surface->pixels.data();
    return true;
}

std::shared_ptr<Surface> GetBitmapSurface(HBITMAP bitmap) {
    auto b = FindAs<BitmapObj>(bitmap, ObjKind::Bitmap);
    return b ? b->surface : nullptr;
}

namespace {

// Sets one state field of a context and returns its old value (fail for an unknown context).
template <class T> T Exchange(HDC dc, T DcObj::*field, T value, T fail) {
    auto d = FindDC(dc);
    if (!d) return fail;
    T old = (*d).*field;
    (*d).*field = value;
    return old;
}

template <class T> T Read(HDC dc, T DcObj::*field, T fail) {
    auto d = FindDC(dc);
    return d ? (*d).*field : fail;
}

} // namespace

int SetROP2(HDC dc, int mode) {
    if (mode < R2_BLACK || mode > R2_WHITE) return 0;
    return Exchange(dc, &DcObj::rop2, mode, 0);
}
int GetROP2(HDC dc) {
    return Read(dc, &DcObj::rop2, 0);
}

int SetBkMode(HDC dc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return Exchange(dc, &DcObj::bkMode, mode, 0);
}
int GetBkMode(HDC dc) {
    return Read(dc, &DcObj::bkMode, 0);
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
    return Exchange(dc, &DcObj::bkColor, color, CLR_INVALID);
}
COLORREF GetBkColor(HDC dc) {
    return Read(dc, &DcObj::bkColor, CLR_INVALID);
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    return Exchange(dc, &DcObj::textColor, color, CLR_INVALID);
}
COLORREF GetTextColor(HDC dc) {
    return Read(dc, &DcObj::textColor, CLR_INVALID);
}

bool SetWindowOrgEx(HDC dc, int x, int y, TPoint* old) {
    auto d = FindDC(dc);
    if (!d) return false;
    if (old) *old = d->windowOrg;
    d->windowOrg = {x, y};
    return true;
}

bool GetWindowOrgEx(HDC dc, TPoint* org) {
    auto d = FindDC(dc);
    if (!d || !org) return false;
    *org = d->windowOrg;
    return true;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto r = std::make_shared<RegionObj>();
    r->region.Add({std::min(left, right), std::min(top, bottom), std::max(left, right),
                   std::max(top, bottom)});
    return AddObject(r);
}

int SelectClipRgn(HDC dc, HRGN rgn) {
    auto d = FindDC(dc);
    if (!d) return RGN_ERROR;
    if (rgn == 0) {
        d->userClip.reset();
    } else {
        auto r = FindAs<RegionObj>(rgn, ObjKind::Region);
        if (!r) return RGN_ERROR;
        d->userClip = r->region;
    }
    d->InvalidateClip();
    return RegionType(d->Clip());
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
    auto d = FindDC(dc);
    if (!d) return RGN_ERROR;
    TRect r = DeviceRect(*d, left, top, right, bottom);
    if (!d->userClip)
        d->userClip = Region(r);
    else
        d->userClip->Intersect(r);
    d->InvalidateClip();
    return RegionType(d->Clip());
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
    auto d = FindDC(dc);
    if (!d) return RGN_ERROR;
    if (!d->userClip) d->userClip = Region(kEverything);
    d->userClip->Subtract(DeviceRect(*d, left, top, right, bottom));
    d->InvalidateClip();
    return RegionType(d->Clip());
}

int GetClipBox(HDC dc, TRect* box) {
    auto d = FindDC(dc);
    if (!d || !box) return RGN_ERROR;
    const Region& clip = d->Clip();
    TRect b = clip.Bounds();
    if (d->screen) b = {0, 0, Hooks().screenWidth, Hooks().screenHeight};
    const int ox = d->windowOrg.X - d->deviceOrg.X, oy = d->windowOrg.Y - d->deviceOrg.Y;
    *box = {b.Left + ox, b.Top + oy, b.Right + ox, b.Bottom + oy};
    return d->screen ? SIMPLEREGION : RegionType(clip);
}

void SetDeviceOrigin(HDC dc, int x, int y) {
    auto d = FindDC(dc);
    if (!d) return;
    d->deviceOrg = {x, y};
    d->InvalidateClip();
}

void SetPaintRegion(HDC dc, const Region* region) {
    auto d = FindDC(dc);
    if (!d) return;
    if (region)
        d->paintClip = *region;
    else
        d->paintClip.reset();
    d->InvalidateClip();
}

} // namespace platform
