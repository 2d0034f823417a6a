#include "gui/dragrect.h"

#include "platform/gdi/gdi.h"

#include <algorithm>
#include <utility>

using namespace platform;

TSelect* DragRect = nullptr;
bool SelectBitmapReady = false;

TBitmap& SelectBitmap() {
    static TBitmap* bitmap = [] {
        auto* b = new TBitmap();
        b->Transparent = true;
        b->SetTransparentColor(clBlack);
        return b;
    }();
    return *bitmap;
}

int TSelect::Snapped(int X) const {
    // A grid below one pixel would divide by zero: no grid.
    const int s = std::max(Snap, 1);
    return X - X % s;
}

void TSelect::SetStart(int X, int Y) {
    StartX = std::max(X, 0);
    StartY = std::max(Y, 0);
}

void TSelect::SetCur(int X, int Y) {
    CurX = std::max(X, 0);
    CurY = std::clamp(Y, 0, std::max(MaxY, 0));
}

void TSelect::XorRect(TCanvas& Canvas, int L, int T, int R, int B) {
    Canvas.Brush.Style = bsClear;
    Canvas.Pen.Mode = pmXor;
    Canvas.Pen.Style = psDot;
    Canvas.Pen.Color = clWhite;
    Canvas.Pen.Width = 1;
    Canvas.Rectangle(L, T, R, B);
}

void TSelect::XorLine(TCanvas& Canvas) {
    Canvas.Brush.Style = bsClear;
    Canvas.Pen.Mode = pmXor;
    Canvas.Pen.Style = psDot;
    Canvas.Pen.Color = clWhite;
    Canvas.Pen.Width = 1;
    Canvas.MoveTo(StartX, StartY);
    Canvas.LineTo(CurX, CurY);
}

void TSelect::DrawMoved(TCanvas& Canvas) {
    const int dx = CurX - StartX, dy = CurY - StartY;
    const int l = Snapped(Rect.Left + dx), r = Snapped(Rect.Right + dx);
    const int t = Rect.Top + dy, b = Rect.Bottom + dy;
    if (SelectBitmapReady && Kind == 1) {
        TBitmap& bmp = SelectBitmap();
        BitBlt(Canvas.Handle(), l, t, bmp.Width(), bmp.Height(), bmp.Canvas().Handle(), 0, 0,
               SRCINVERT);
        return;
    }
    XorRect(Canvas, l, t, r, b);
}

void TSelect::DrawEdge(TCanvas& Canvas) {
    TRect r = Rect;
    if (Mode == 5)
        r.Right += CurX - StartX;
    else
        r.Left += CurX - StartX;
    XorRect(Canvas, r.Left, r.Top, r.Right, r.Bottom);
}

void TSelect::DrawShape(TCanvas& Canvas) {
    switch (Mode) {
    case 1:
        XorRect(Canvas, StartX, StartY, CurX, CurY);
        break;
    case 2:
    case 3:
        DrawMoved(Canvas);
        break;
    case 4:
        XorLine(Canvas);
        break;
    case 5:
    case 6:
        DrawEdge(Canvas);
        break;
    default:
        break;
    }
}

void TSelect::BeginDrag(int AMode, int AKind, TCanvas& Canvas, int X, int Y, int AMaxY) {
    SelectBitmapReady = false;
    Mode = AMode;
    Kind = AKind;
    MaxY = AMaxY;
    switch (Mode) {
    case 1:
    case 4:
        SetStart(X, Y);
        SetCur(X, Y);
        DrawShape(Canvas);
        break;
    case 2:
    case 3:
    case 5:
    case 6:
        // Nothing is drawn until the first move.
        FirstMove = true;
        SetStart(Snapped(X), Y);
        SetCur(Snapped(X), Y);
        break;
    default:
        break;
    }
}

void TSelect::DragTo(TCanvas& Canvas, int X, int Y) {
    switch (Mode) {
    case 1:
    case 4:
        DrawShape(Canvas);
        SetCur(X, Y);
        DrawShape(Canvas);
        break;
    case 2:
    case 3: {
        if (!FirstMove) DrawShape(Canvas);
        FirstMove = false;
        SetCur(Snapped(X), Y);
        // Keep the shape inside the surface by sliding the start point.
        if (const int over = Rect.Left + CurX - StartX; over < 0) StartX += over;
        if (const int over = Rect.Top + CurY - StartY; over < 0) StartY += over;
        if (const int over = Rect.Bottom + CurY - StartY - MaxY; over > 0) StartY += over;
        DrawShape(Canvas);
        break;
    }
    case 5:
    case 6:
        if (FirstMove) {
            FirstMove = false;
        } else {
            DrawShape(Canvas);
            SetCur(Snapped(X), Y);
        }
        DrawShape(Canvas);
        break;
    default:
        break;
    }
}

void TSelect::EndDrag(TCanvas& Canvas, int X, int Y) {
    switch (Mode) {
    case 1:
        DrawShape(Canvas);
        SetCur(X, Y);
        break;
    case 2:
    case 3:
        if (!FirstMove) DrawShape(Canvas);
        SetCur(Snapped(X), Y);
        break;
    case 4:
        DrawShape(Canvas);
        break;
    case 5:
    case 6:
        if (!FirstMove) DrawShape(Canvas);
        break;
    default:
        break;
    }
    Mode = 0;
    Snap = 1;
}

void TSelect::Redraw(TCanvas& Canvas) {
    // The shape exactly as the next DragTo or EndDrag erases it: snapped, and none before the
    // first move.
    if (FirstMove && Mode >= 2 && Mode != 4 && Mode <= 6) return;
    DrawShape(Canvas);
}

void TSelect::Normalize() {
    if (StartX > CurX) std::swap(StartX, CurX);
    if (StartY > CurY) std::swap(StartY, CurY);
}

void TSelect::PrepareDragBitmap(const TRect& R) {
    TBitmap& b = SelectBitmap();
    b.SetSize(R.Width() + 2, R.Height() + 2);
    TCanvas& c = b.Canvas();
    c.Pen.Color = clBlack;
    c.Pen.Mode = pmCopy;
    c.Pen.Style = psSolid;
    c.Brush.Color = clBlack;
    c.Brush.Style = bsSolid;
    c.FillRect({0, 0, b.Width(), b.Height()});
    SelectBitmapReady = true;
}
