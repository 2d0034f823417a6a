// The drawing functions exported with C linkage for loadable libraries (tolvern_gdi.h).
#include "tolvern_gdi.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"

static_assert(sizeof(TvRect) == sizeof(platform::TRect) &&
              sizeof(TvPoint) == sizeof(platform::TPoint));
static_assert(sizeof(TvSize) == sizeof(platform::TSize));
static_assert(sizeof(TvHandle) == sizeof(platform::HGDIOBJ));

namespace {
const platform::TRect* R(const TvRect* r) {
    return reinterpret_cast<const platform::TRect*>(r);
}
platform::TRect* R(TvRect* r) {
    return reinterpret_cast<platform::TRect*>(r);
}
const platform::TPoint* P(const TvPoint* p) {
    return reinterpret_cast<const platform::TPoint*>(p);
}
platform::TPoint* P(TvPoint* p) {
    return reinterpret_cast<platform::TPoint*>(p);
}
} // namespace

extern "C" {

int32_t tv_gdi_version(void) {
    return TOLVERN_GDI_VERSION;
}

TvHandle tv_CreateCompatibleDC(TvHandle dc) {
    return platform::CreateCompatibleDC(dc);
}
int32_t tv_DeleteDC(TvHandle dc) {
    return platform::DeleteDC(dc);
}
TvHandle tv_CreateCompatibleBitmap(TvHandle dc, int32_t w, int32_t h) {
    return platform::CreateCompatibleBitmap(dc, w, h);
}
TvHandle tv_CreatePen(int32_t style, int32_t width, TvColor color) {
    return platform::CreatePen(style, width, color);
}
TvHandle tv_CreateSolidBrush(TvColor color) {
    return platform::CreateSolidBrush(color);
}
TvHandle tv_GetStockObject(int32_t index) {
    return platform::GetStockObject(index);
}
TvHandle tv_SelectObject(TvHandle dc, TvHandle obj) {
    return platform::SelectObject(dc, obj);
}
int32_t tv_DeleteObject(TvHandle obj) {
    return platform::DeleteObject(obj);
}
TvColor tv_GetSysColor(int32_t index) {
    return platform::GetSysColor(index);
}

int32_t tv_SetROP2(TvHandle dc, int32_t mode) {
    return platform::SetROP2(dc, mode);
}
int32_t tv_SetBkMode(TvHandle dc, int32_t mode) {
    return platform::SetBkMode(dc, mode);
}
TvColor tv_SetBkColor(TvHandle dc, TvColor color) {
    return platform::SetBkColor(dc, color);
}
TvColor tv_SetTextColor(TvHandle dc, TvColor color) {
    return platform::SetTextColor(dc, color);
}
int32_t tv_SetWindowOrgEx(TvHandle dc, int32_t x, int32_t y, TvPoint* old) {
    return platform::SetWindowOrgEx(dc, x, y, P(old));
}
int32_t tv_IntersectClipRect(TvHandle dc, int32_t l, int32_t t, int32_t r, int32_t b) {
    return platform::IntersectClipRect(dc, l, t, r, b);
}
int32_t tv_GetClipBox(TvHandle dc, TvRect* box) {
    return platform::GetClipBox(dc, R(box));
}

int32_t tv_MoveToEx(TvHandle dc, int32_t x, int32_t y, TvPoint* old) {
    return platform::MoveToEx(dc, x, y, P(old));
}
int32_t tv_LineTo(TvHandle dc, int32_t x, int32_t y) {
    return platform::LineTo(dc, x, y);
}
int32_t tv_Polyline(TvHandle dc, const TvPoint* points, int32_t count) {
    return platform::Polyline(dc, P(points), count);
}
int32_t tv_Polygon(TvHandle dc, const TvPoint* points, int32_t count) {
    return platform::Polygon(dc, P(points), count);
}
int32_t tv_Rectangle(TvHandle dc, int32_t l, int32_t t, int32_t r, int32_t b) {
    return platform::Rectangle(dc, l, t, r, b);
}
int32_t tv_Ellipse(TvHandle dc, int32_t l, int32_t t, int32_t r, int32_t b) {
    return platform::Ellipse(dc, l, t, r, b);
}
int32_t tv_FillRect(TvHandle dc, const TvRect* rect, TvHandle brush) {
    return platform::FillRect(dc, R(rect), brush);
}
int32_t tv_FrameRect(TvHandle dc, const TvRect* rect, TvHandle brush) {
    return platform::FrameRect(dc, R(rect), brush);
}
int32_t tv_DrawFocusRect(TvHandle dc, const TvRect* rect) {
    return platform::DrawFocusRect(dc, R(rect));
}
TvColor tv_GetPixel(TvHandle dc, int32_t x, int32_t y) {
    return platform::GetPixel(dc, x, y);
}
TvColor tv_SetPixel(TvHandle dc, int32_t x, int32_t y, TvColor color) {
    return platform::SetPixel(dc, x, y, color);
}
int32_t tv_BitBlt(TvHandle dst, int32_t x, int32_t y, int32_t w, int32_t h, TvHandle src,
                  int32_t xs, int32_t ys, uint32_t rop) {
    return platform::BitBlt(dst, x, y, w, h, src, xs, ys, rop);
}
int32_t tv_PatBlt(TvHandle dc, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rop) {
    return platform::PatBlt(dc, x, y, w, h, rop);
}

TvHandle tv_CreateFont(int32_t height, int32_t escapement, int32_t weight, int32_t italic,
                       int32_t underline, int32_t strikeOut, const char* faceName) {
    return platform::CreateFont(height, 0, escapement, escapement, weight, unsigned(italic),
                                unsigned(underline), unsigned(strikeOut), 0, 0, 0, 0, 0, faceName);
}
int32_t tv_TextOut(TvHandle dc, int32_t x, int32_t y, const char* text) {
    return text && platform::TextOut(dc, x, y, text);
}
int32_t tv_DrawText(TvHandle dc, const char* text, TvRect* rect, uint32_t format) {
    return text ? platform::DrawText(dc, text, R(rect), format) : 0;
}
int32_t tv_GetTextExtent(TvHandle dc, const char* text, TvSize* size) {
    return text &&
           platform::GetTextExtentPoint32(dc, text, reinterpret_cast<platform::TSize*>(size));
}

} // extern "C"
