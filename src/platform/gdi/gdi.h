#pragma once
// The drawing interface the program paints through: device contexts and objects as integer
// handles, with the platform's pixel rules. Coordinates are logical (shifted by the window
// origin); colours are COLORREFs, system colours ($80000000 + index) accepted everywhere.
// GUI thread.

#include "platform/core/messages.h" // HWND
#include "platform/gdi/raster.h"
#include "platform/gdi/region.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

enum : int {
    PS_SOLID = 0,
    PS_DASH = 1,
    PS_DOT = 2,
    PS_DASHDOT = 3,
    PS_DASHDOTDOT = 4,
    PS_NULL = 5,
    PS_INSIDEFRAME = 6,
};
enum : int { BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = BS_NULL };
enum : int { TRANSPARENT = 1, OPAQUE = 2 };
enum : int {
    WHITE_BRUSH = 0,
    LTGRAY_BRUSH = 1,
    GRAY_BRUSH = 2,
    DKGRAY_BRUSH = 3,
    BLACK_BRUSH = 4,
    NULL_BRUSH = 5,
    HOLLOW_BRUSH = NULL_BRUSH,
    WHITE_PEN = 6,
    BLACK_PEN = 7,
    NULL_PEN = 8,
    OEM_FIXED_FONT = 10,
    ANSI_FIXED_FONT = 11,
    ANSI_VAR_FONT = 12,
    SYSTEM_FONT = 13,
    DEVICE_DEFAULT_FONT = 14,
    SYSTEM_FIXED_FONT = 16,
    DEFAULT_GUI_FONT = 17,
};
enum : int {
    HORZRES = 8,
    VERTRES = 10,
    BITSPIXEL = 12,
    PLANES = 14,
    NUMCOLORS = 24,
    LOGPIXELSX = 88,
    LOGPIXELSY = 90,
};
enum : int {
    OBJ_PEN = 1,
    OBJ_BRUSH = 2,
    OBJ_DC = 3,
    OBJ_FONT = 6,
    OBJ_BITMAP = 7,
    OBJ_REGION = 8,
    OBJ_MEMDC = 10,
};
enum : int { RGN_ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3 };
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// The size of the screen that GetDeviceCaps reports; the window layer sets the real one.
void SetScreenSize(int width, int height);

// Device contexts. GetDC(0) is the screen: it serves CreateCompatibleDC,
// CreateCompatibleBitmap and GetDeviceCaps; drawing on it has no effect. A window's context
// comes from the window layer through the hook.
using WindowDCHook = HDC (*)(HWND wnd);
using ReleaseDCHook = int (*)(HWND wnd, HDC dc);
void SetWindowDCHooks(WindowDCHook get, ReleaseDCHook release);
HDC GetDC(HWND wnd);
int ReleaseDC(HWND wnd, HDC dc);
HDC CreateCompatibleDC(HDC dc);
bool DeleteDC(HDC dc);
int GetDeviceCaps(HDC dc, int index);

// Objects. Selecting returns the object of that kind selected before; a deleted object stays
// in use by the contexts that have it selected until they select another one.
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHollowBrush();
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HGDIOBJ GetStockObject(int index);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);
HGDIOBJ GetCurrentObject(HDC dc, int type);
bool DeleteObject(HGDIOBJ obj);
int GetObjectType(HGDIOBJ obj);

struct BITMAP {
    std::int32_t bmType = 0, bmWidth = 0, bmHeight = 0, bmWidthBytes = 0;
    std::uint16_t bmPlanes = 1, bmBitsPixel = 32;
    void* bmBits = nullptr;
};
bool GetObject(HBITMAP bitmap, BITMAP* out);

// The pixels of a bitmap, for the window layer, the codecs and the tests.
std::shared_ptr<Surface> GetBitmapSurface(HBITMAP bitmap);
// A new bitmap over the given pixels (the image codecs make their bitmaps this way).
HBITMAP CreateBitmapFromSurface(std::shared_ptr<Surface> surface);

// State.
int SetROP2(HDC dc, int mode);
int GetROP2(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
bool SetWindowOrgEx(HDC dc, int x, int y, TPoint* old);
bool GetWindowOrgEx(HDC dc, TPoint* org);

// Clipping. Regions are in device coordinates, as on the platform.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
int SelectClipRgn(HDC dc, HRGN rgn); // 0 removes the clip region
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int GetClipBox(HDC dc, TRect* box);
// The window layer limits drawing to a window's invalid region during its paint (device
// coordinates), and places a child window's device (0, 0) inside its top-level surface.
void SetPaintRegion(HDC dc, const Region* region);
void SetDeviceOrigin(HDC dc, int x, int y);

// Primitives.
bool MoveToEx(HDC dc, int x, int y, TPoint* old);
bool LineTo(HDC dc, int x, int y);
bool Polyline(HDC dc, const TPoint* points, int count);
bool Polygon(HDC dc, const TPoint* points, int count);
bool Rectangle(HDC dc, int left, int top, int right, int bottom);
bool Ellipse(HDC dc, int left, int top, int right, int bottom);
// brush may also be a system colour index + 1.
int FillRect(HDC dc, const TRect* rect, HBRUSH brush);
int FrameRect(HDC dc, const TRect* rect, HBRUSH brush);
bool DrawFocusRect(HDC dc, const TRect* rect);
COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);

// Blits.
bool BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
            std::uint32_t rop);
bool PatBlt(HDC dc, int x, int y, int width, int height, std::uint32_t rop);
// Copies every source pixel except those of the key colour. Source and destination sizes
// must be equal (no stretching).
bool TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
                    int srcWidth, int srcHeight, COLORREF key);
// Draws the pixels of image whose mask byte is not 0 (one byte per pixel) at (x, y).
bool DrawMasked(HDC dst, int x, int y, const Surface& image, const std::uint8_t* mask);

// Text. Strings are UTF-8; text that is not valid UTF-8 is read as Windows-1252. Text is
// drawn without antialiasing, in exactly the text colour, and ignores the pen's mode.
enum : int { FW_NORMAL = 400, FW_BOLD = 700 };
enum : unsigned {
    TA_NOUPDATECP = 0,
    TA_UPDATECP = 1,
    TA_LEFT = 0,
    TA_RIGHT = 2,
    TA_CENTER = 6,
    TA_TOP = 0,
    TA_BOTTOM = 8,
    TA_BASELINE = 24,
};
enum : unsigned { ETO_OPAQUE = 2, ETO_CLIPPED = 4 };
enum : unsigned {
    DT_TOP = 0,
    DT_LEFT = 0,
    DT_CENTER = 1,
    DT_RIGHT = 2,
    DT_VCENTER = 4,
    DT_BOTTOM = 8,
    DT_WORDBREAK = 0x10,
    DT_SINGLELINE = 0x20,
    DT_EXPANDTABS = 0x40,
    DT_NOCLIP = 0x100,
    DT_CALCRECT = 0x400,
    DT_NOPREFIX = 0x800,
};

struct LOGFONT {
    std::int32_t lfHeight = 0, lfWidth = 0, lfEscapement = 0, lfOrientation = 0,
                 lfWeight = FW_NORMAL;
    std::uint8_t lfItalic = 0, lfUnderline = 0, lfStrikeOut = 0, lfCharSet = 0, lfOutPrecision = 0,
                 lfClipPrecision = 0, lfQuality = 0, lfPitchAndFamily = 0;
    char lfFaceName[32] = {};
};

struct TEXTMETRIC {
    std::int32_t tmHeight = 0, tmAscent = 0, tmDescent = 0, tmInternalLeading = 0,
                 tmExternalLeading = 0, tmAveCharWidth = 0, tmMaxCharWidth = 0, tmWeight = 0;
    std::uint8_t tmItalic = 0, tmUnderlined = 0, tmStruckOut = 0;
};

// Rounded to the nearest, halves away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);

HFONT CreateFontIndirect(const LOGFONT* lf);
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight,
                 unsigned italic, unsigned underline, unsigned strikeOut, unsigned charSet,
                 unsigned outPrecision, unsigned clipPrecision, unsigned quality,
                 unsigned pitchAndFamily, const char* faceName);
bool GetObject(HFONT font, LOGFONT* out);
// The family of the face the selected font is drawn with.
std::string GetFontFamily(HDC dc);
bool GetTextMetrics(HDC dc, TEXTMETRIC* tm);
bool GetTextExtentPoint32(HDC dc, std::string_view text, TSize* size);
unsigned SetTextAlign(HDC dc, unsigned align);
unsigned GetTextAlign(HDC dc);
bool TextOut(HDC dc, int x, int y, std::string_view text);
bool ExtTextOut(HDC dc, int x, int y, unsigned options, const TRect* rect, std::string_view text);
// Returns the height of the text (with DT_VCENTER or DT_BOTTOM: from the rectangle's top to
// the bottom of the text); DT_CALCRECT sets the rectangle's right and bottom instead of drawing.
int DrawText(HDC dc, std::string_view text, TRect* rect, unsigned format);

} // namespace platform
