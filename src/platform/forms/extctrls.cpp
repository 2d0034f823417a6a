#include "platform/forms/extctrls.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace platform {

void Frame3D(TCanvas& canvas, TRect& rect, TColor topColor, TColor bottomColor, int width) {
    canvas.Pen.Width = 1;
    canvas.Pen.Style = psSolid;
    canvas.Pen.Mode = pmCopy;
    --rect.Bottom;
    --rect.Right;
    while (width-- > 0) {
        const TPoint topLeft{rect.Left, rect.Top}, topRight{rect.Right, rect.Top},
            bottomLeft{rect.Left, rect.Bottom}, bottomRight{rect.Right, rect.Bottom};
        canvas.Pen.Color = topColor;
        const TPoint upper[] = {bottomLeft, topLeft, topRight};
        canvas.Polyline(upper);
        canvas.Pen.Color = bottomColor;
        const TPoint lower[] = {topRight, bottomRight, {bottomLeft.X - 1, bottomLeft.Y}};
        canvas.Polyline(lower);
        rect = {rect.Left + 1, rect.Top + 1, rect.Right - 1, rect.Bottom - 1};
    }
    ++rect.Bottom;
    ++rect.Right;
}

int CanvasDrawText(TCanvas& canvas, std::string_view text, TRect* rect, unsigned format,
                   TColor color) {
    canvas.TextExtent(""); // selects the canvas's font
    SetBkMode(canvas.Handle(), TRANSPARENT);
    SetTextColor(canvas.Handle(), ColorToRGB(color));
    return DrawText(canvas.Handle(), text, rect, format);
}

// ---- TPanel

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner) {
    width_ = 185;
    height_ = 41;
}

void TPanel::CreateParams(TCreateParams& p) {
    TCustomControl::CreateParams(p);
    if (borderStyle_ == bsSingleBorder) p.Style |= WS_BORDER;
}

void TPanel::BoundsChanged() {
    TCustomControl::BoundsChanged();
    if (width_ == resizedWidth_ && height_ == resizedHeight_) return;
    resizedWidth_ = width_;
    resizedHeight_ = height_;
    Fire(OnResize, this);
}

void TPanel::Changed() {
    Realign();
    Invalidate();
}

void TPanel::SetBevelInner(TBevelCut v) {
    if (v == bevelInner_) return;
    bevelInner_ = v;
    Changed();
}

void TPanel::SetBevelOuter(TBevelCut v) {
    if (v == bevelOuter_) return;
    bevelOuter_ = v;
    Changed();
}

void TPanel::SetBevelWidth(int v) {
    if (v == bevelWidth_ || v < 1) return;
    bevelWidth_ = v;
    Changed();
}

void TPanel::SetBorderWidth(int v) {
    if (v == borderWidth_ || v < 0) return;
    borderWidth_ = v;
    Changed();
}

void TPanel::SetBorderStyle(TBorderStyle v) {
    if (v == borderStyle_) return;
    borderStyle_ = v;
    if (HWND h = ExistingHandle()) {
        DWORD s = GetWindowStyle(h);
        SetWindowLongPtr(h, GWL_STYLE, v == bsSingleBorder ? (s | WS_BORDER) : (s & ~WS_BORDER));
        SetWindowPos(h, 0, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    Changed();
}

void TPanel::SetAlignment(TAlignment v) {
    if (v == alignment_) return;
    alignment_ = v;
    Invalidate();
}

void TPanel::TextChanged() {
    Invalidate();
}

void TPanel::AdjustClientRect(TRect& r) const {
    int inset = borderWidth_;
    if (bevelOuter_ != bvNone) inset += bevelWidth_;
    if (bevelInner_ != bvNone) inset += bevelWidth_;
    r = {r.Left + inset, r.Top + inset, r.Right - inset, r.Bottom - inset};
}

void TPanel::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    auto colors = [](TBevelCut cut, TColor& top, TColor& bottom) {
        top = cut == bvLowered ? clBtnShadow : clBtnHighlight;
        bottom = cut == bvLowered ? clBtnHighlight : clBtnShadow;
    };
    TColor top, bottom;
    if (bevelOuter_ != bvNone) {
        colors(bevelOuter_, top, bottom);
        if (bevelOuter_ == bvSpace) top = bottom = GetColor();
        Frame3D(c, r, top, bottom, bevelWidth_);
    }
    Frame3D(c, r, GetColor(), GetColor(), borderWidth_);
    if (bevelInner_ != bvNone) {
        colors(bevelInner_, top, bottom);
        if (bevelInner_ == bvSpace) top = bottom = GetColor();
        Frame3D(c, r, top, bottom, bevelWidth_);
    }
    c.Brush.Color = GetColor();
    c.Brush.Style = bsSolid;
    c.FillRect(r);
    const std::string caption = GetText();
    if (caption.empty()) return;
    c.Font = Font.Get();
    unsigned fmt = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
    fmt |= alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT;
    CanvasDrawText(c, caption, &r, fmt, Font.Get().Color);
}

// ---- TPaintBox

TPaintBox::TPaintBox(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 105;
    height_ = 105;
}

void TPaintBox::Paint() {
    Fire(OnPaint, this);
}

// ---- TImage

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 105;
    height_ = 105;
}

void TImage::PictureChanged() {
    if (autoSize_ && picture_.Width() > 0 && picture_.Height() > 0)
        SetBounds(left_, top_, picture_.Width(), picture_.Height());
    Invalidate();
}

void TImage::SetStretch(bool v) {
    stretch_ = v;
    Invalidate();
}

void TImage::SetCenter(bool v) {
    center_ = v;
    Invalidate();
}

void TImage::SetTransparent(bool v) {
    transparent_ = v;
    Invalidate();
}

void TImage::SetAutoSize(bool v) {
    autoSize_ = v;
    if (v) PictureChanged();
}

void TImage::Paint() {
    TBitmap& b = picture_.Bitmap();
    if (b.Empty()) return;
    const int w = b.Width(), h = b.Height();
    TRect dest{0, 0, w, h};
    if (stretch_) {
        dest = {0, 0, width_, height_};
    } else if (center_) {
        dest = {(width_ - w) / 2, (height_ - h) / 2, (width_ - w) / 2 + w, (height_ - h) / 2 + h};
    }
    if (dest.IsEmpty()) return;
    // Stretching picks the nearest source pixel.
    TBitmap scaled;
    TBitmap* src = &b;
    if (dest.Width() != w || dest.Height() != h) {
        scaled.SetSize(dest.Width(), dest.Height());
        const Surface& from = b.Pixels();
        Surface& to = scaled.Pixels();
        for (int y = 0; y < to.height; ++y)
            for (int x = 0; x < to.width; ++x)
                to.Row(y)[x] = from.Row(y * h / to.height)[x * w / to.width];
        ++to.changes;
        scaled.Transparent = b.Transparent;
        scaled.SetTransparentColor(b.TransparentColor());
        src = &scaled;
    }
    const bool wasTransparent = src->Transparent;
    if (transparent_) src->Transparent = true;
    Canvas().Draw(dest.Left, dest.Top, *src);
    src->Transparent = wasTransparent;
}

// ---- TShape

TShape::TShape(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 65;
    height_ = 65;
}

void TShape::SetShape(TShapeType v) {
    if (v == shape_) return;
    shape_ = v;
    Invalidate();
}

void TShape::Paint() {
    TCanvas& c = Canvas();
    c.Pen = Pen;
    c.Brush = Brush;
    const int pw = Pen.Width, half = pw / 2;
    int x = half, y = half;
    int w = width_ - pw + 1, h = height_ - pw + 1;
    if (pw == 0) {
        --w;
        --h;
    }
    if (w < h && (shape_ == stSquare || shape_ == stRoundSquare || shape_ == stCircle)) {
        y += (h - w) / 2;
        h = w;
    } else if (h < w && (shape_ == stSquare || shape_ == stRoundSquare || shape_ == stCircle)) {
        x += (w - h) / 2;
        w = h;
    }
    switch (shape_) {
    case stRectangle:
    case stSquare:
        c.Rectangle(x, y, x + w, y + h);
        break;
    case stRoundRect:
    case stRoundSquare: {
        // Corners of a quarter of the smaller side, as a polygon.
        const int s = std::min(w, h) / 4;
        const double rad = s / 2.0;
        std::vector<TPoint> pts;
        const double cx[4] = {x + w - 1 - rad, x + rad, x + rad, x + w - 1 - rad};
        const double cy[4] = {y + rad, y + rad, y + h - 1 - rad, y + h - 1 - rad};
        for (int q = 0; q < 4; ++q)
            for (int i = 0; i <= 6; ++i) {
                const double a = (q * 90 + i * 15) * 3.14159265358979 / 180;
                pts.push_back({int(std::lround(cx[q] + rad * std::cos(a))),
                               int(std::lround(cy[q] - rad * std::sin(a)))});
            }
        c.Polygon(pts);
        break;
    }
    case stEllipse:
    case stCircle:
        c.Ellipse(x, y, x + w, y + h);
        break;
    }
}

// ---- TSplitter

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 3;
    height_ = 100;
    align_ = alLeft;
    cursor_ = crHSplit;
}

TControl* TSplitter::FindResized() const {
    TWinControl* p = GetParent();
    if (!p) return nullptr;
    for (int i = 0; i < p->ControlCount(); ++i) {
        TControl* c = p->Controls(i);
        if (c == this || !c->GetVisible() || c->GetAlign() != align_) continue;
        const TRect b = c->BoundsRect();
        switch (align_) {
        case alLeft:
            if (b.Right == left_) return c;
            break;
        case alRight:
            if (b.Left == left_ + width_) return c;
            break;
        case alTop:
            if (b.Bottom == top_) return c;
            break;
        case alBottom:
            if (b.Top == top_ + height_) return c;
            break;
        default:
            break;
        }
    }
    return nullptr;
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button != mbLeft) return;
    resized_ = FindResized();
    if (!resized_) return;
    dragging_ = true;
    down_ = ClientToScreen({x, y});
    startSize_ =
        (align_ == alLeft || align_ == alRight) ? resized_->GetWidth() : resized_->GetHeight();
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
    cursor_ = (align_ == alTop || align_ == alBottom) ? crVSplit : crHSplit;
    TGraphicControl::MouseMove(shift, x, y);
    if (!dragging_ || !resized_ || !GetParent()) return;
    const TPoint now = ClientToScreen({x, y});
    const bool horizontal = align_ == alLeft || align_ == alRight;
    int delta = horizontal ? now.X - down_.X : now.Y - down_.Y;
    if (align_ == alRight || align_ == alBottom) delta = -delta;
    // The client area keeps MinSize too.
    const TRect client = GetParent()->ClientRect();
    int room = horizontal ? client.Width() : client.Height();
    for (int i = 0; i < GetParent()->ControlCount(); ++i) {
        TControl* c = GetParent()->Controls(i);
        if (c == resized_ || !c->GetVisible()) continue;
        if (horizontal && (c->GetAlign() == alLeft || c->GetAlign() == alRight))
            room -= c->GetWidth();
        if (!horizontal && (c->GetAlign() == alTop || c->GetAlign() == alBottom))
            room -= c->GetHeight();
    }
    int size = std::clamp(startSize_ + delta, MinSize, std::max(MinSize, room - MinSize));
    if (horizontal)
        resized_->SetWidth(size);
    else
        resized_->SetHeight(size);
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!dragging_) return;
    dragging_ = false;
    resized_ = nullptr;
    Fire(OnMoved, this);
}

void TSplitter::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Color = GetColor();
    c.Brush.Style = bsSolid;
    c.FillRect(r);
    if (Beveled) Frame3D(c, r, clBtnHighlight, clBtnShadow, 1);
}

} // namespace platform
