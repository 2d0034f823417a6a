#pragma once
// Free drawing routines on the framework's canvas and device contexts: a one-pixel 3D frame,
// a colour gradient, a small arrow glyph, a tiled bitmap, text turned a quarter turn and a
// rectangle inset. They keep no state.

#include "platform/gdi/canvas.h"
#include "platform/gdi/graphics.h"
#include "platform/gdi/types.h"

#include <string_view>

// Frame one pixel inside Rect: left and top edges in TopLeftColor, right and bottom edges in
// BottomRightColor. Only the pen's colour is changed.
void DrawFrame3D(platform::TCanvas& Canvas, const platform::TRect& Rect,
                 platform::TColor TopLeftColor, platform::TColor BottomRightColor);
// Lines from Color1 towards Color2: rows for Direction 0, columns otherwise. The last line
// stops one step short of Color2.
void DrawGradient(platform::TCanvas& Canvas, platform::TColor Color1, platform::TColor Color2,
                  int Direction, const platform::TRect& Rect);
// Direction 0 two corners, 1 up, 2 down, 3 left, 4 right; Style 0 filled, 1 outline,
// 2 three lines (down and right only). Every point is moved by Offset in X and Y.
void DrawArrow(platform::TCanvas& Canvas, platform::TColor Color, int Direction,
               const platform::TRect& Rect, int Offset, int Style);
// Covers Rect with copies of Bitmap, the first column and row starting at PhaseX, PhaseY
// inside it. An empty bitmap draws nothing.
void TileBitmap(platform::HDC DC, platform::TBitmap& Bitmap, const platform::TRect& Rect,
                int PhaseX, int PhaseY);
// Text in Arial, turned a quarter turn counter-clockwise: it reads from bottom to top, starts
// near Y + TextLength and has its top edge towards X. Only the text's own pixels are set.
void DrawVerticalText(platform::TCanvas& Canvas, std::string_view Text, int X, int Y,
                      int TextHeight, int TextLength, platform::TColor Color);
platform::TRect RectInset(const platform::TRect& Rect, int DX, int DY);
