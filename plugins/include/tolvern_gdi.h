/* Drawing interface that Tolvern exports to the libraries it loads (skins, editors), so that
 * they can draw into the device contexts they receive. The functions are those of the
 * program's painting layer with C linkage and a tv_ prefix; handles are pointer-sized
 * integers, colours 0x00BBGGRR (0x80000000 + index names a system colour), coordinates
 * logical. Call them on the thread that gave you the context.
 *
 * Version 1. A library checks tv_gdi_version() >= the version it was built for. */
#ifndef TOLVERN_GDI_H
#define TOLVERN_GDI_H

#include <stdint.h>

#define TOLVERN_GDI_VERSION 1

#ifdef __cplusplus
extern "C" {
#endif

typedef uintptr_t TvHandle; /* any object: context, pen, brush, font, bitmap */
typedef uint32_t TvColor;

typedef struct TvRect {
    int32_t left, top, right, bottom;
} TvRect;

typedef struct TvPoint {
    int32_t x, y;
} TvPoint;

typedef struct TvSize {
    int32_t cx, cy;
} TvSize;

enum {
    TV_PS_SOLID = 0,
    TV_PS_DOT = 2,
    TV_PS_NULL = 5,
    TV_WHITE_BRUSH = 0,
    TV_BLACK_BRUSH = 4,
    TV_NULL_BRUSH = 5,
    TV_WHITE_PEN = 6,
    TV_BLACK_PEN = 7,
    TV_NULL_PEN = 8,
    TV_TRANSPARENT = 1,
    TV_OPAQUE = 2,
    TV_R2_NOT = 6,
    TV_R2_XORPEN = 7,
    TV_R2_COPYPEN = 13
};

#define TV_SRCCOPY 0x00CC0020u
#define TV_SRCPAINT 0x00EE0086u
#define TV_SRCAND 0x008800C6u
#define TV_SRCINVERT 0x00660046u
#define TV_SRCERASE 0x00440328u
#define TV_NOTSRCCOPY 0x00330008u
#define TV_PATCOPY 0x00F00021u
#define TV_DSTINVERT 0x00550009u

/* DrawText formats */
#define TV_DT_LEFT 0x0u
#define TV_DT_CENTER 0x1u
#define TV_DT_RIGHT 0x2u
#define TV_DT_VCENTER 0x4u
#define TV_DT_WORDBREAK 0x10u
#define TV_DT_SINGLELINE 0x20u
#define TV_DT_NOPREFIX 0x800u

int32_t tv_gdi_version(void);

TvHandle tv_CreateCompatibleDC(TvHandle dc);
int32_t tv_DeleteDC(TvHandle dc);
TvHandle tv_CreateCompatibleBitmap(TvHandle dc, int32_t width, int32_t height);
TvHandle tv_CreatePen(int32_t style, int32_t width, TvColor color);
TvHandle tv_CreateSolidBrush(TvColor color);
TvHandle tv_GetStockObject(int32_t index);
TvHandle tv_SelectObject(TvHandle dc, TvHandle obj);
int32_t tv_DeleteObject(TvHandle obj);
TvColor tv_GetSysColor(int32_t index);

int32_t tv_SetROP2(TvHandle dc, int32_t mode);
int32_t tv_SetBkMode(TvHandle dc, int32_t mode);
TvColor tv_SetBkColor(TvHandle dc, TvColor color);
TvColor tv_SetTextColor(TvHandle dc, TvColor color);
int32_t tv_SetWindowOrgEx(TvHandle dc, int32_t x, int32_t y, TvPoint* old);
int32_t tv_IntersectClipRect(TvHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t tv_GetClipBox(TvHandle dc, TvRect* box);

int32_t tv_MoveToEx(TvHandle dc, int32_t x, int32_t y, TvPoint* old);
int32_t tv_LineTo(TvHandle dc, int32_t x, int32_t y);
int32_t tv_Polyline(TvHandle dc, const TvPoint* points, int32_t count);
int32_t tv_Polygon(TvHandle dc, const TvPoint* points, int32_t count);
int32_t tv_Rectangle(TvHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t tv_Ellipse(TvHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t tv_FillRect(TvHandle dc, const TvRect* rect, TvHandle brush);
int32_t tv_FrameRect(TvHandle dc, const TvRect* rect, TvHandle brush);
int32_t tv_DrawFocusRect(TvHandle dc, const TvRect* rect);
TvColor tv_GetPixel(TvHandle dc, int32_t x, int32_t y);
TvColor tv_SetPixel(TvHandle dc, int32_t x, int32_t y, TvColor color);
int32_t tv_BitBlt(TvHandle dst, int32_t x, int32_t y, int32_t width, int32_t height, TvHandle src,
                  int32_t xSrc, int32_t ySrc, uint32_t rop);
int32_t tv_PatBlt(TvHandle dc, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop);

/* Text is UTF-8 (text that is not valid UTF-8 is read as Windows-1252). A negative height is
 * the em height in pixels; escapement is in tenths of a degree. */
TvHandle tv_CreateFont(int32_t height, int32_t escapement, int32_t weight, int32_t italic,
                       int32_t underline, int32_t strikeOut, const char* faceName);
int32_t tv_TextOut(TvHandle dc, int32_t x, int32_t y, const char* text);
int32_t tv_DrawText(TvHandle dc, const char* text, TvRect* rect, uint32_t format);
int32_t tv_GetTextExtent(TvHandle dc, const char* text, TvSize* size);

#ifdef __cplusplus
}
#endif

#endif
