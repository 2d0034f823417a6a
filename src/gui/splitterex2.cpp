#include "gui/splitterex2.h"

#include "platform/gdi/gdi.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"

#include <algorithm>

using namespace platform;

TSplitterEx2::TSplitterEx2(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 30;
    height_ = 100;
    TControl::SetAlign(alLeft);
    SetCursor(crHSplit);
}

TSplitterEx2::~TSplitterEx2() {
    ReleaseLineDC();
}

void TSplitterEx2::Notification(TComponent* gone) {
    if (gone == Control) Control = nullptr;
    TGraphicControl::Notification(gone);
}

void TSplitterEx2::SetAlign(TAlign a) {
    TControl::SetAlign(a);
    UpdateCursor();
}

void TSplitterEx2::BoundsChanged() {
    TGraphicControl::BoundsChanged();
    UpdateCursor();
}

void TSplitterEx2::UpdateCursor() {
    if (cursor_ != crHSplit && cursor_ != crVSplit) return;
    const TAlign a = GetAlign();
    SetCursor(a == alTop || a == alBottom ? crVSplit : crHSplit);
}

bool TSplitterEx2::Horizontal() const {
    return GetAlign() == alLeft || GetAlign() == alRight;
}

int TSplitterEx2::ControlSize() const {
    return Horizontal() ? Control->GetWidth() : Control->GetHeight();
}

void TSplitterEx2::Paint() {
    TCanvas& c = Canvas();
    c.Brush.Color = GetColor();
    c.Brush.Style = bsSolid;
    c.FillRect(ClientRect());
}

TRect TSplitterEx2::LineRect() const {
    TRect r = BoundsRect();
    if (Horizontal()) {
        r.Left += split_;
        r.Right += split_;
    } else {
        r.Top += split_;
        r.Bottom += split_;
    }
    return r;
}

void TSplitterEx2::DrawLine() {
    if (!lineDC_) return;
    const TRect r = LineRect();
    PatBlt(lineDC_, r.Left, r.Top, r.Width(), r.Height(), DSTINVERT);
    swept_ = swept_.IsEmpty()
                 ? r
                 : TRect{std::min(swept_.Left, r.Left), std::min(swept_.Top, r.Top),
                         std::max(swept_.Right, r.Right), std::max(swept_.Bottom, r.Bottom)};
}

void TSplitterEx2::ReleaseLineDC() {
    if (lineDC_) ReleaseDC(lineWnd_, lineDC_);
    lineDC_ = 0;
    lineWnd_ = 0;
}

void TSplitterEx2::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Control || !GetParent()) return;
    TWinControl* p = GetParent();
    const bool h = Horizontal();
    int max = (h ? p->GetClientWidth() : p->GetClientHeight()) - MinSize;
    for (int i = 0; i < p->ControlCount(); ++i) {
        TControl* c = p->Controls(i);
        if (!c->GetVisible()) continue;
        const TAlign a = c->GetAlign();
        if (h && (a == alLeft || a == alRight)) max -= c->GetWidth();
        if (!h && (a == alTop || a == alBottom)) max -= c->GetHeight();
    }
    // In a narrow parent the room left can fall below the minimum: the minimum still holds.
    maxSize_ = std::max(max + ControlSize(), MinSize);
    down_ = {X, Y};
    newSize_ = ControlSize();
    // The band goes over the child windows too: no clipping of children.
    ReleaseLineDC();
    lineWnd_ = p->Handle();
    lineDC_ = GetDCEx(lineWnd_, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
    split_ = 0;
    swept_ = {};
    dragging_ = true;
    if (ResizeStyle == rsLine) DrawLine();
    Fire(OnStartMove, this);
}

void TSplitterEx2::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!dragging_ || !(Shift & ssLeft) || !Control) return;
    const TAlign a = GetAlign();
    const bool grows = a == alTop || a == alLeft; // size grows with the movement
    int s = Horizontal() ? X - down_.X : Y - down_.Y;
    int size = ControlSize() + (grows ? s : -s);
    const int clamped = std::clamp(size, MinSize, maxSize_);
    if (clamped != size) {
        s += grows ? clamped - size : size - clamped;
        size = clamped;
    }
    if (size <= MinSize && AutoSnap) size = SnapTo;
    newSize_ = size;
    switch (ResizeStyle) {
    case rsLine:
        DrawLine();
        split_ = s;
        DrawLine();
        break;
    case rsUpdate:
        ApplySize();
        break;
    case rsNone:
        break;
    }
}

void TSplitterEx2::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!dragging_) return;
    dragging_ = false;
    if (!Control) {
        ReleaseLineDC();
        return;
    }
    if (ResizeStyle == rsLine) {
        DrawLine();
        // A child that repainted under the band while it showed keeps what the next erase
        // inverted again: paint every place the band went afresh, children included.
        const TRect r = swept_;
        const HWND p = lineWnd_;
        ReleaseLineDC();
        RedrawWindow(p, &r, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    } else {
        ReleaseLineDC();
    }
    split_ = 0;
    ApplySize();
}

void TSplitterEx2::ApplySize() {
    if (newSize_ == oldSize_ || !Control) return;
    TWinControl* p = GetParent();
    switch (GetAlign()) {
    case alTop:
        Control->Height = newSize_;
        break;
    case alBottom:
        if (p) p->DisableAlign();
        Control->SetBounds(Control->GetLeft(), Control->GetTop() + Control->GetHeight() - newSize_,
                           Control->GetWidth(), newSize_);
        if (p) p->EnableAlign();
        break;
    case alRight:
        if (p) p->DisableAlign();
        Control->SetBounds(Control->GetLeft() + Control->GetWidth() - newSize_, Control->GetTop(),
                           newSize_, Control->GetHeight());
        if (p) p->EnableAlign();
        break;
    default:
        Control->Width = newSize_;
        break;
    }
    Update();
    oldSize_ = newSize_;
    // Keep the splitter beside its control.
    switch (GetAlign()) {
    case alTop:
        if (Control->GetTop() > GetTop()) SetTop(Control->GetTop() + Control->GetHeight());
        break;
    case alBottom:
        if (GetTop() > Control->GetTop()) Control->Top = GetTop() + GetHeight();
        break;
    case alRight:
        if (GetLeft() > Control->GetLeft()) Control->Left = GetLeft() + GetWidth();
        break;
    default:
        if (Control->GetLeft() > GetLeft()) SetLeft(Control->GetLeft() + Control->GetWidth());
        break;
    }
    Fire(OnMoved, this);
}
