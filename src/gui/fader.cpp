#include "gui/fader.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/graphics.h"
#include "song/timebase.h"

#include <algorithm>

using namespace platform;

TFader::TFader(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 100;
    height_ = 20;
    color_ = clSilver;
}

void TFader::SetMin(int v) {
    min_ = v;
    Invalidate();
}

void TFader::SetMax(int v) {
    max_ = v;
    Invalidate();
}

void TFader::SetPos(int v) {
    v = std::max(std::min(v, max_), min_);
    if (v == pos_) return;
    pos_ = v;
    Fire(OnChange, this);
    Repaint();
}

bool TFader::ValueAt(int X, int Y, int& value) const {
    const int extent = UpDown ? height_ : width_;
    if (extent <= 0) return false;
    const double at = UpDown ? Y : X;
    value = FloorToInt(static_cast<float>(at / extent * (max_ - min_))) + min_;
    return true;
}

void TFader::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    Dragging = true;
    if (!UpDown && min_ == 0 && max_ == 1) {
        SetPos(pos_ == 1 ? 0 : 1);
        return;
    }
    if (int v; ValueAt(X, Y, v)) SetPos(v);
}

void TFader::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!Dragging || (!UpDown && min_ == 0 && max_ == 1)) return;
    if (int v; ValueAt(X, Y, v)) SetPos(v);
}

void TFader::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    Dragging = false;
}

void TFader::Paint() {
    const int W = width_, H = height_;
    if (W <= 0 || H <= 0) return;
    TBitmap bmp;
    bmp.SetSize(W, H);
    TCanvas& c = bmp.Canvas();
    c.Brush.Style = bsSolid;
    c.Brush.Color = BkColor;
    c.FillRect({0, 0, W, H});
    if (UseFrame) {
        c.Brush.Color = clGray;
        c.FrameRect({0, 0, W, H});
    }
    const int L = (UpDown ? H : W) - ThumbSize;
    // A range without extent (Max = Min, or Max 0) draws the thumb at the start.
    int TP = 0;
    if (max_ != 0 && max_ != min_)
        TP = FloorToInt(static_cast<float>(double(pos_ - min_) * L / (max_ - min_)));
    if (ThumbSize > 0) {
        c.Pen.Style = psClear;
        c.Brush.Color = clSilver;
        c.Rectangle(1, TP + 1, W, TP + ThumbSize);
        c.Pen.Style = psSolid;
        c.Pen.Color = clWhite;
        c.MoveTo(1, TP + ThumbSize - 2);
        c.LineTo(1, TP + 1);
        c.LineTo(W - 2, TP + 1);
        c.Pen.Color = clGray;
        c.LineTo(W - 2, TP + ThumbSize - 1);
        c.LineTo(1, TP + ThumbSize - 1);
    }
    const int E = TP + ThumbSize;
    const TColor fills[3] = {RGB(158, 158, 255), RGB(143, 143, 255), RGB(128, 128, 255)};
    const TRect vertical[3] = {{0, E, W, H}, {1, E + 1, W - 1, H}, {3, E + 3, W - 3, H}};
    const TRect horizontal[3] = {{0, 0, E + 1, H}, {0, 1, E, H - 1}, {0, 3, E - 2, H - 3}};
    c.Pen.Style = psSolid;
    for (int i = 0; i < 3; ++i) {
        c.Pen.Color = fills[i];
        c.Brush.Color = fills[i];
        c.Rectangle(UpDown ? vertical[i] : horizontal[i]);
    }
    if (ShowText) {
        c.Font = Font.Get();
        c.Brush.Style = bsClear;
        std::string text;
        if (min_ == 0 && max_ == 1)
            text = pos_ != 0 ? "On" : "Off";
        else
            text = std::to_string(Mirror ? max_ - pos_ : pos_);
        if (Ondraw) Guarded([&] { Ondraw(this, text); });
        const TSize t = c.TextExtent(text);
        if (UpDown) {
            const int xh = c.TextHeight("X");
            if (xh + TP > H - 4) TP = H - xh - 4;
            c.TextOut(W / 2 - t.cx / 2, TP + ThumbSize + 2, text);
        } else {
            if (TP + ThumbSize - t.cx - 10 < 0) TP = t.cx + ThumbSize + 10;
            c.TextOut(TP + ThumbSize - t.cx - 2, H / 2 - t.cy / 2, text);
        }
    }
    if (!Active) {
        Surface& px = bmp.Pixels();
        for (int y = 0; y < H; ++y)
            for (int x = y % 2; x < W; x += 2)
                px.pixels[std::size_t(y) * std::size_t(px.width) + std::size_t(x)] &= 0xFF000000u;
    }
    BitBlt(Canvas().Handle(), 0, 0, W, H, c.Handle(), 0, 0, SRCCOPY);
}
