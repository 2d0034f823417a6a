#include "platform/gdi/canvas.h"

#include "platform/gdi/graphics.h"
#include "platform/gdi/syscolors.h"

#include <array>

namespace platform {

int PenModeToRop2(TPenMode mode) {
    static constexpr std::array<int, 16> kModes = {
        R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,        R2_COPYPEN,  R2_NOTCOPYPEN,
        R2_MERGEPENNOT, R2_MASKPENNOT, R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN, R2_NOTMERGEPEN,
        R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
    return kModes[std::size_t(mode) & 15];
}

TCanvas::~TCanvas() {
    Release();
}

void TCanvas::Release() {
    // Objects still selected stay alive in the context until it selects others.
    if (pen_) DeleteObject(pen_);
    if (brush_) DeleteObject(brush_);
    if (font_) DeleteObject(font_);
    pen_ = brush_ = font_ = 0;
    penValid_ = brushValid_ = fontValid_ = false;
}

void TCanvas::SetHandle(HDC dc) {
    if (dc_ && dc != dc_) {
        SelectObject(dc_, GetStockObject(BLACK_PEN));
        SelectObject(dc_, GetStockObject(WHITE_BRUSH));
        SelectObject(dc_, GetStockObject(SYSTEM_FONT));
    }
    Release();
    dc_ = dc;
}

void TCanvas::RequirePen() {
    if (penValid_ && realizedPen_ == Pen) return;
    static constexpr std::array<int, 7> kStyles = {
        PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    HPEN pen = CreatePen(kStyles[std::size_t(Pen.Style) % 7], Pen.Width, ColorToRGB(Pen.Color));
    SelectObject(dc_, pen);
    SetROP2(dc_, PenModeToRop2(Pen.Mode));
    if (pen_) DeleteObject(pen_);
    pen_ = pen;
    realizedPen_ = Pen;
    penValid_ = true;
}

void TCanvas::RequireBrush() {
    if (brushValid_ && realizedBrush_ == Brush) return;
    COLORREF color = ColorToRGB(Brush.Color);
    HBRUSH brush = Brush.Style == bsClear ? CreateHollowBrush() : CreateSolidBrush(color);
    SelectObject(dc_, brush);
    // The brush decides the background of text and of the gaps of dotted lines.
    if (Brush.Style == bsSolid) {
        SetBkColor(dc_, color);
        SetBkMode(dc_, OPAQUE);
    } else {
        SetBkColor(dc_, ~color & 0xFFFFFF);
        SetBkMode(dc_, TRANSPARENT);
    }
    if (brush_) DeleteObject(brush_);
    brush_ = brush;
    realizedBrush_ = Brush;
    brushValid_ = true;
}

void TCanvas::RequireFont() {
    if (fontValid_ && realizedFont_ == Font) {
        return;
    }
    LOGFONT lf;
    lf.lfHeight = Font.Height;
    lf.lfEscapement = lf.lfOrientation = Font.Orientation;
    lf.lfWeight = (Font.Style & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (Font.Style & fsItalic) != 0;
    lf.lfUnderline = (Font.Style & fsUnderline) != 0;
    lf.lfStrikeOut = (Font.Style & fsStrikeOut) != 0;
    Font.Name.copy(lf.lfFaceName, sizeof lf.lfFaceName - 1);
    HFONT font = CreateFontIndirect(&lf);
    SelectObject(dc_, font);
    if (font_) DeleteObject(font_);
    font_ = font;
    realizedFont_ = Font;
    fontValid_ = true;
}

void TCanvas::MoveTo(int x, int y) {
    PenPos = {x, y};
}

void TCanvas::LineTo(int x, int y) {
    RequirePen();
    RequireBrush();
    MoveToEx(dc_, PenPos.X, PenPos.Y, nullptr);
    platform::LineTo(dc_, x, y);
    PenPos = {x, y};
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    RequirePen();
    RequireBrush();
    platform::Rectangle(dc_, x1, y1, x2, y2);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    RequirePen();
    RequireBrush();
    platform::Ellipse(dc_, x1, y1, x2, y2);
}

void TCanvas::Polygon(std::span<const TPoint> points) {
    RequirePen();
    RequireBrush();
    platform::Polygon(dc_, points.data(), int(points.size()));
}

void TCanvas::Polyline(std::span<const TPoint> points) {
    RequirePen();
    RequireBrush();
    platform::Polyline(dc_, points.data(), int(points.size()));
}

void TCanvas::FillRect(const TRect& r) {
    RequireBrush();
    platform::FillRect(dc_, &r, brush_);
}

void TCanvas::FrameRect(const TRect& r) {
    RequireBrush();
    platform::FrameRect(dc_, &r, brush_);
}

void TCanvas::DrawFocusRect(const TRect& r) {
    RequireBrush();
    platform::DrawFocusRect(dc_, &r);
}

void TCanvas::Draw(int x, int y, TBitmap& bitmap) {
    if (bitmap.Empty()) return;
    HDC src = bitmap.Canvas().Handle();
    if (bitmap.Transparent) {
        TransparentBlt(dc_, x, y, bitmap.Width(), bitmap.Height(), src, 0, 0, bitmap.Width(),
                       bitmap.Height(), ColorToRGB(bitmap.TransparentColor()));
    } else {
        BitBlt(dc_, x, y, bitmap.Width(), bitmap.Height(), src, 0, 0, SRCCOPY);
    }
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& canvas, const TRect& source) {
    RequireBrush();
    BitBlt(dc_, dest.Left, dest.Top, std::min(dest.Width(), source.Width()),
           std::min(dest.Height(), source.Height()), canvas.Handle(), source.Left, source.Top,
           CopyMode);
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
    RequireFont();
    RequireBrush();
    SetTextColor(dc_, ColorToRGB(Font.Color));
    platform::TextOut(dc_, x, y, text);
    PenPos = {x + TextWidth(text), y};
}

void TCanvas::TextRect(const TRect& r, int x, int y, std::string_view text) {
    RequireFont();
    RequireBrush();
    SetTextColor(dc_, ColorToRGB(Font.Color));
    unsigned options = ETO_CLIPPED | (Brush.Style != bsClear ? unsigned(ETO_OPAQUE) : 0u);
    ExtTextOut(dc_, x, y, options, &r, text);
}

TSize TCanvas::TextExtent(std::string_view text) {
    RequireFont();
    TSize size;
    GetTextExtentPoint32(dc_, text, &size);
    return size;
}

TColor TCanvas::Pixel(int x, int y) {
    return TColor(GetPixel(dc_, x, y));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    RequirePen();
    platform::SetPixel(dc_, x, y, ColorToRGB(color));
}

TRect TCanvas::ClipRect() {
    TRect r;
    GetClipBox(dc_, &r);
    return r;
}

} // namespace platform
