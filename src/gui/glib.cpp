#include "gui/glib.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"
#include "song/subengine.h"
#include "song/timebase.h"

#include <algorithm>
#include <array>
#include <string>

using namespace platform;

void DrawFrame3D(TCanvas& Canvas, const TRect& Rect, TColor TopLeftColor, TColor BottomRightColor) {
    Canvas.Pen.Color = TopLeftColor;
    Canvas.MoveTo(Rect.Left, Rect.Bottom - 1);
    Canvas.LineTo(Rect.Left, Rect.Top);
    Canvas.LineTo(Rect.Right - 1, Rect.Top);
    Canvas.Pen.Color = BottomRightColor;
    Canvas.LineTo(Rect.Right - 1, Rect.Bottom - 1);
    Canvas.LineTo(Rect.Left, Rect.Bottom - 1);
}

void DrawGradient(TCanvas& Canvas, TColor Color1, TColor Color2, int Direction, const TRect& Rect) {
    const COLORREF c1 = ColorToRGB(Color1), c2 = ColorToRGB(Color2);
    const bool rows = Direction == 0;
    const int n = rows ? Rect.Bottom - Rect.Top + 1 : Rect.Right - Rect.Left + 1;
    if (n <= 0) return;
    double r = GetRValue(c1), g = GetGValue(c1), b = GetBValue(c1);
    const double dr = double(GetRValue(c2) - GetRValue(c1)) / n;
    const double dg = double(GetGValue(c2) - GetGValue(c1)) / n;
    const double db = double(GetBValue(c2) - GetBValue(c1)) / n;
    Canvas.Pen.Style = psSolid;
    for (int i = 0; i < n; ++i) {
        Canvas.Pen.Color = TColor(RGB(Round(r), Round(g), Round(b)));
        if (rows) {
            Canvas.MoveTo(Rect.Left, Rect.Top + i);
            Canvas.LineTo(Rect.Right, Rect.Top + i);
        } else {
            Canvas.MoveTo(Rect.Left + i, Rect.Top);
            Canvas.LineTo(Rect.Left + i, Rect.Bottom);
        }
        r += dr;
        g += dg;
        b += db;
    }
}

void DrawArrow(TCanvas& Canvas, TColor Color, int Direction, const TRect& Rect, int Offset,
               int Style) {
    Canvas.Pen.Color = Color;
    Canvas.Brush.Color = Color;
    Canvas.Brush.Style = Style == 1 ? bsClear : bsSolid;
    const int cx = Rect.Left + (Rect.Right - Rect.Left + 1) / 2 + Offset;
    const int cy = Rect.Top + (Rect.Bottom - Rect.Top + 1) / 2 + Offset;
    auto triangle = [&](TPoint a, TPoint b, TPoint c) {
        const std::array<TPoint, 3> p{TPoint{cx + a.X, cy + a.Y}, TPoint{cx + b.X, cy + b.Y},
                                      TPoint{cx + c.X, cy + c.Y}};
        Canvas.Polygon(p);
    };
    auto line = [&](int x1, int y1, int x2, int y2) {
        Canvas.MoveTo(cx + x1, cy + y1);
        Canvas.LineTo(cx + x2, cy + y2);
    };
    if (Style == 0 || Style == 1) {
        switch (Direction) {
        case 0:
            triangle({-4, -1}, {-4, 3}, {0, 3});
            triangle({2, 1}, {2, -3}, {-2, -3});
            break;
        case 1:
            triangle({-4, 1}, {-1, -2}, {2, 1});
            break;
        case 2:
            triangle({-4, -2}, {-1, 1}, {2, -2});
            break;
        case 3:
            triangle({0, -3}, {-3, 0}, {0, 3});
            break;
        case 4:
            triangle({-2, -3}, {1, 0}, {-2, 3});
            break;
        default:
            break;
        }
    } else if (Style == 2) {
        if (Direction == 2) {
            line(-5, -2, 5, -2);
            line(-3, 0, 3, 0);
            line(-1, 2, 1, 2);
        } else if (Direction == 4) {
            line(-2, -5, -2, 5);
            line(0, -3, 0, 3);
            line(2, -1, 2, 1);
        }
    }
}

void TileBitmap(HDC DC, TBitmap& Bitmap, const TRect& Rect, int PhaseX, int PhaseY) {
    const int w = Bitmap.Width(), h = Bitmap.Height();
    // An empty bitmap would never advance the walk.
    if (w <= 0 || h <= 0) return;
    PhaseX %= w;
    if (PhaseX < 0) PhaseX += w;
    PhaseY %= h;
    if (PhaseY < 0) PhaseY += h;
    const HDC src = Bitmap.Canvas().Handle();
    for (int y = Rect.Top, sy = PhaseY; y < Rect.Bottom; sy = 0) {
        const int th = std::min(h - sy, Rect.Bottom - y);
        for (int x = Rect.Left, sx = PhaseX; x < Rect.Right; sx = 0) {
            const int tw = std::min(w - sx, Rect.Right - x);
            BitBlt(DC, x, y, tw, th, src, sx, sy, SRCCOPY);
            x += tw;
        }
        y += th;
    }
}

void DrawVerticalText(TCanvas& Canvas, std::string_view Text, int X, int Y, int TextHeight,
                      int TextLength, TColor Color) {
    if (TextHeight <= 0 || TextLength <= 0) return;
    const std::uint32_t ink = PixelFromColorRef(ColorToRGB(Color));
    // The background must differ from the ink, or every pixel would count as text.
    const COLORREF paper = ColorToRGB(Color) == RGB(255, 0, 0) ? RGB(0, 0, 0) : RGB(255, 0, 0);
    TBitmap bitmap;
    bitmap.SetSize(TextLength, TextHeight);
    TCanvas& c = bitmap.Canvas();
    c.Brush.Style = bsSolid;
    c.Brush.Color = TColor(paper);
    c.FillRect(TRect{0, 0, TextLength, TextHeight});
    c.Font.Name = "Arial";
    c.Font.Style = 0;
    c.Font.Color = Color;
    c.Brush.Style = bsClear;
    c.TextOut(4, 0, Text);
    const Surface& s = bitmap.Pixels();
    for (int j = 0; j < TextHeight; ++j) {
        const std::uint32_t* row = s.Row(j);
        for (int i = 0; i < TextLength; ++i)
            if (row[i] == ink) Canvas.SetPixel(X + j, Y + TextLength - i, Color);
    }
}

TRect RectInset(const TRect& Rect, int DX, int DY) {
    return TRect{Rect.Left + DX, Rect.Top + DY, Rect.Right - DX, Rect.Bottom - DY};
}

namespace {
// The engine's mixer strips write their names with this routine; the engine cannot include
// the toolkit, so the toolkit hands it over as soon as it is part of the program.
const bool verticalTextInstalled = (SetVerticalTextProc(&DrawVerticalText), true);
} // namespace
