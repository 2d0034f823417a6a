#pragma once
// The one drag object of the drawing surfaces: rubber band, moved or copied outlines (or a
// picture of them) snapped to a horizontal grid, a straight line and a dragged right or left
// edge. Everything is drawn in XOR, so drawing a shape again removes it; the object remembers
// the shape on the canvas and erases it before drawing the next. GUI thread only.

#include "platform/gdi/canvas.h"
#include "platform/gdi/graphics.h"
#include "platform/gdi/types.h"

class TSelect {
public:
    TSelect() = default;

    int Mode = 0; // 0 idle, 1 rubber band, 2 move, 3 copy, 4 line, 5 right edge, 6 left edge
    int StartX = 0, StartY = 0;
    int CurX = 0, CurY = 0;
    platform::TRect Rect; // the dragged objects at the start (modes 2, 3, 5 and 6)
    bool FirstMove = false;
    int Snap = 1; // horizontal grid in pixels
    int Kind = 0; // the caller's tag; only 1 drags the picture
    int MaxY = 0;

    void BeginDrag(int AMode, int AKind, platform::TCanvas& Canvas, int X, int Y, int AMaxY);
    void DragTo(platform::TCanvas& Canvas, int X, int Y);
    void EndDrag(platform::TCanvas& Canvas, int X, int Y);
    // Draws the current shape again after a repaint wiped it.
    void Redraw(platform::TCanvas& Canvas);
    // StartX <= CurX and StartY <= CurY, each axis on its own.
    void Normalize();
    // Sizes SelectBitmap to the rectangle plus 2 each way, black (transparent) all over.
    void PrepareDragBitmap(const platform::TRect& R);

private:
    int Snapped(int X) const;
    void SetStart(int X, int Y);
    void SetCur(int X, int Y);
    void XorRect(platform::TCanvas& Canvas, int L, int T, int R, int B);
    void XorLine(platform::TCanvas& Canvas);
    void DrawMoved(platform::TCanvas& Canvas);
    void DrawEdge(platform::TCanvas& Canvas);
    // The shape of the current mode, as DragTo and EndDrag draw and erase it.
    void DrawShape(platform::TCanvas& Canvas);
};

// The drag of the whole program, made by the main window at start-up.
extern TSelect* DragRect;
// The picture of the dragged objects (black is transparent); made on first use, lives for the
// run.
platform::TBitmap& SelectBitmap();
// SelectBitmap holds the picture of the drag in progress.
extern bool SelectBitmapReady;
