#pragma once
// The framework's canvas: pen, brush and font as plain properties over a device context. A
// changed property is re-selected lazily, when the next drawing call needs it.

#include "platform/gdi/gdi.h"
#include "platform/gdi/types.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace platform {

class TBitmap;

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                 clLtGray = clSilver, clDkGray = clGray, clNone = 0x1FFFFFFF,
                 clDefault = 0x20000000;
constexpr TColor SysColor(int index) {
    return TColor(0x80000000u | std::uint32_t(index));
}
constexpr TColor clScrollBar = SysColor(0), clBackground = SysColor(1),
                 clActiveCaption = SysColor(2), clInactiveCaption = SysColor(3),
                 clMenu = SysColor(4), clWindow = SysColor(5), clWindowFrame = SysColor(6),
                 clMenuText = SysColor(7), clWindowText = SysColor(8), clCaptionText = SysColor(9),
                 clActiveBorder = SysColor(10), clInactiveBorder = SysColor(11),
                 clAppWorkSpace = SysColor(12), clHighlight = SysColor(13),
                 clHighlightText = SysColor(14), clBtnFace = SysColor(15),
                 clBtnShadow = SysColor(16), clGrayText = SysColor(17), clBtnText = SysColor(18),
                 clInactiveCaptionText = SysColor(19), clBtnHighlight = SysColor(20),
                 cl3DDkShadow = SysColor(21), cl3DLight = SysColor(22), clInfoText = SysColor(23),
                 clInfoBk = SysColor(24);

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor
};
enum TBrushStyle { bsSolid, bsClear };

using TCopyMode = std::uint32_t;
constexpr TCopyMode cmSrcCopy = SRCCOPY, cmSrcAnd = SRCAND, cmSrcPaint = SRCPAINT,
                    cmSrcInvert = SRCINVERT, cmSrcErase = SRCERASE, cmNotSrcCopy = NOTSRCCOPY,
                    cmNotSrcErase = NOTSRCERASE, cmMergeCopy = MERGECOPY, cmMergePaint = MERGEPAINT,
                    cmPatCopy = PATCOPY, cmPatPaint = PATPAINT, cmPatInvert = PATINVERT,
                    cmDstInvert = DSTINVERT, cmBlackness = BLACKNESS, cmWhiteness = WHITENESS;

int PenModeToRop2(TPenMode mode);

struct TPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
    TPenMode Mode = pmCopy;
    friend bool operator==(const TPen&, const TPen&) = default;
};

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    friend bool operator==(const TBrush&, const TBrush&) = default;
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

struct TFont {
    std::string Name = "MS Sans Serif";
    TColor Color = clWindowText;
    int Height = -11; // pixels; negative: the em height
    TFontStyles Style = 0;
    int Orientation = 0; // tenths of a degree, counter-clockwise
    // Points at 96 pixels per inch.
    int Size() const { return -MulDiv(Height, 72, 96); }
    void SetSize(int points) { Height = -MulDiv(points, 96, 72); }
    friend bool operator==(const TFont&, const TFont&) = default;
};

class TCanvas {
public:
    TCanvas() = default;
    explicit TCanvas(HDC dc) { SetHandle(dc); }
    virtual ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TPen Pen;
    TBrush Brush;
    TFont Font;
    TPoint PenPos;
    TCopyMode CopyMode = cmSrcCopy;

    HDC Handle() const { return dc_; }
    // Attaches the canvas to a context (0 detaches); every property is selected anew.
    void SetHandle(HDC dc);

    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void Ellipse(int x1, int y1, int x2, int y2);
    void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
    void Polygon(std::span<const TPoint> points);
    void Polyline(std::span<const TPoint> points);
    void FillRect(const TRect& r);
    void FrameRect(const TRect& r);
    void DrawFocusRect(const TRect& r);
    // Draws the bitmap at (x, y); a transparent bitmap leaves its transparent colour out.
    void Draw(int x, int y, TBitmap& bitmap);
    // Copies source from the other canvas to dest with CopyMode (sizes equal: no stretching).
    void CopyRect(const TRect& dest, TCanvas& canvas, const TRect& source);
    // Text in Font, on the brush colour unless the brush is clear; the pen moves to its end.
    void TextOut(int x, int y, std::string_view text);
    // Text at (x, y) clipped to r, which is first filled unless the brush is clear.
    void TextRect(const TRect& r, int x, int y, std::string_view text);
    TSize TextExtent(std::string_view text);
    int TextWidth(std::string_view text) { return TextExtent(text).cx; }
    int TextHeight(std::string_view text) { return TextExtent(text).cy; }
    TColor Pixel(int x, int y);
    void SetPixel(int x, int y, TColor color);
    TRect ClipRect();

protected:
    void RequirePen();
    void RequireBrush();
    void RequireFont();

private:
    void Release();

    HDC dc_ = 0;
    HPEN pen_ = 0;
    HBRUSH brush_ = 0;
    HFONT font_ = 0;
    TFont realizedFont_;
    bool fontValid_ = false;
    TPen realizedPen_;
    TBrush realizedBrush_;
    bool penValid_ = false;
    bool brushValid_ = false;
};

} // namespace platform
