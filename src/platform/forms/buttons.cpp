#include "platform/forms/buttons.h"

#include "platform/forms/extctrls.h"
#include "platform/forms/form.h"
#include "platform/gdi/gdi.h"
#include "platform/window/input.h"

namespace platform {

// ---- TButton

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
    width_ = 75;
    height_ = 25;
    SetTabStop(true);
}

TButton::~TButton() = default;

void TButton::CreateWnd() {
    if (TForm* f = ParentForm()) f->UpdateDialogButtons();
}

void TButton::SetDefault(bool v) {
    if (v == default_) return;
    default_ = v;
    if (TForm* f = ParentForm()) {
        f->UpdateDialogButtons();
        FocusChanged(f->GetActiveControl());
    }
}

void TButton::SetCancel(bool v) {
    if (v == cancel_) return;
    cancel_ = v;
    if (TForm* f = ParentForm()) f->UpdateDialogButtons();
}

void TButton::Click() {
    if (ModalResult != 0)
        if (TForm* f = ParentForm()) f->ModalResult = ModalResult;
    TWinControl::Click();
}

void TButton::FocusChanged(TWinControl* focused) {
    const bool active = dynamic_cast<TButton*>(focused) ? focused == this : default_;
    SetButtonStyle(active);
}

bool TButton::DialogChar(char32_t ch) {
    if (!IsAccel(ch, GetText()) || !CanFocus()) return false;
    SetFocus();
    Click();
    return true;
}

void TButton::SetButtonStyle(bool isDefault) {
    if (isDefault == active_) return;
    active_ = isDefault;
    Invalidate();
}

void TButton::SetPressed(bool pressed, bool inside) {
    if (pressed == pressed_ && inside == inside_) return;
    const bool before = IsPressed();
    pressed_ = pressed;
    inside_ = inside;
    if (before != IsPressed()) Invalidate();
}

LRESULT TButton::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case BM_CLICK:
        Click();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetPressed(true, true);
        break;
    case WM_MOUSEMOVE:
        if (pressed_) {
            const int x = std::int16_t(LOWORD(l)), y = std::int16_t(HIWORD(l));
            SetPressed(true, x >= 0 && y >= 0 && x < width_ && y < height_);
        }
        break;
    case WM_LBUTTONUP:
        // The click comes from the release inside (TControl's mouse handling).
        SetPressed(false, false);
        break;
    case WM_KEYDOWN:
        if (w == VK_SPACE && !spaceDown_) {
            LRESULT r = TWinControl::WndProc(msg, w, l);
            spaceDown_ = true;
            SetPressed(true, true);
            return r;
        }
        break;
    case WM_KEYUP:
        if (w == VK_SPACE && spaceDown_) {
            spaceDown_ = false;
            SetPressed(false, false);
            HWND h = ExistingHandle();
            LRESULT r = TWinControl::WndProc(msg, w, l);
            if (IsWindow(h)) Click();
            return r;
        }
        break;
    case WM_KILLFOCUS:
        spaceDown_ = false;
        SetPressed(false, false);
        break;
    default:
        break;
    }
    return TWinControl::WndProc(msg, w, l);
}

void TButton::PaintWindow(HDC dc) {
    TDrawItemStruct ds;
    ds.hDC = dc;
    ds.rcItem = ClientRect();
    if (IsPressed()) ds.itemState |= ODS_SELECTED;
    if (!enabled_) ds.itemState |= ODS_DISABLED;
    if (Focused()) ds.itemState |= ODS_FOCUS;
    DrawItem(ds);
}

void TButton::DrawItem(const TDrawItemStruct& ds) {
    TCanvas c(ds.hDC);
    TRect r = ds.rcItem;
    const bool pressed = ds.itemState & ODS_SELECTED;
    if (active_) {
        c.Brush.Color = clBlack;
        c.FrameRect(r);
        r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
    }
    if (pressed) {
        Frame3D(c, r, clBtnShadow, clBtnShadow, 1);
    } else {
        Frame3D(c, r, clBtnHighlight, cl3DDkShadow, 1);
        Frame3D(c, r, cl3DLight, clBtnShadow, 1);
    }
    c.Brush.Color = GetColor();
    c.Brush.Style = bsSolid;
    c.FillRect(r);
    TRect text = ds.rcItem;
    if (pressed) text = {text.Left + 1, text.Top + 1, text.Right + 1, text.Bottom + 1};
    c.Font = Font.Get();
    const unsigned fmt = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
    if (ds.itemState & ODS_DISABLED) {
        TRect shifted{text.Left + 1, text.Top + 1, text.Right + 1, text.Bottom + 1};
        CanvasDrawText(c, GetText(), &shifted, fmt, clBtnHighlight);
        CanvasDrawText(c, GetText(), &text, fmt, clBtnShadow);
    } else {
        CanvasDrawText(c, GetText(), &text, fmt, Font.Get().Color);
    }
    if (ds.itemState & ODS_FOCUS) {
        TRect f{ds.rcItem.Left + 4, ds.rcItem.Top + 4, ds.rcItem.Right - 4, ds.rcItem.Bottom - 4};
        c.DrawFocusRect(f);
    }
}

// ---- TSpeedButton

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 23;
    height_ = 22;
}

void TSpeedButton::SetDown(bool v) {
    if (groupIndex_ == 0) v = false;
    if (v == down_) return;
    // A group's down button stays down unless the group may be all up.
    if (down_ && !allowAllUp_) return;
    down_ = v;
    Invalidate();
    if (v) UpdateExclusive();
}

void TSpeedButton::SetGroupIndex(int v) {
    if (v == groupIndex_) return;
    groupIndex_ = v;
    UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool v) {
    allowAllUp_ = v;
    // One setting for the whole group.
    if (TWinControl* p = GetParent(); p && groupIndex_ != 0)
        for (int i = 0; i < p->ControlCount(); ++i)
            if (auto* b = dynamic_cast<TSpeedButton*>(p->Controls(i));
                b && b != this && b->groupIndex_ == groupIndex_)
                b->allowAllUp_ = v;
}

void TSpeedButton::SetFlat(bool v) {
    flat_ = v;
    Invalidate();
}

void TSpeedButton::UpdateExclusive() {
    TWinControl* p = GetParent();
    if (!p || groupIndex_ == 0 || !down_) return;
    for (int i = 0; i < p->ControlCount(); ++i)
        if (auto* b = dynamic_cast<TSpeedButton*>(p->Controls(i));
            b && b != this && b->groupIndex_ == groupIndex_ && b->down_) {
            b->down_ = false;
            b->Invalidate();
        }
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || !enabled_) return;
    pressing_ = true;
    pressedLook_ = true;
    Invalidate();
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
    TGraphicControl::MouseMove(shift, x, y);
    if (!pressing_) return;
    const bool inside = x >= 0 && y >= 0 && x < width_ && y < height_;
    if (inside != pressedLook_) {
        pressedLook_ = inside;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    // The click itself comes from TControl's handling of the release inside.
    if (pressing_ && button == mbLeft) {
        pressing_ = false;
        pressedLook_ = false;
        const bool inside = x >= 0 && y >= 0 && x < width_ && y < height_;
        if (inside && groupIndex_ != 0) SetDown(!down_);
        Invalidate();
    }
    TGraphicControl::MouseUp(button, shift, x, y);
}

bool TSpeedButton::DialogChar(char32_t ch) {
    if (!IsAccel(ch, GetText())) return false;
    if (groupIndex_ != 0) SetDown(!down_);
    Click();
    return true;
}

void TSpeedButton::MouseEnter() {
    hot_ = true;
    if (flat_) Invalidate();
}

void TSpeedButton::MouseLeave() {
    hot_ = false;
    if (flat_) Invalidate();
}

void TSpeedButton::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    const bool lowered = down_ || pressedLook_;
    c.Brush.Color = GetColor();
    c.Brush.Style = bsSolid;
    c.FillRect(r);
    if (lowered)
        Frame3D(c, r, clBtnShadow, clBtnHighlight, 1);
    else if (!flat_ || hot_)
        Frame3D(c, r, clBtnHighlight, clBtnShadow, 1);
    const int off = lowered ? 1 : 0;
    int textLeft = 0;
    if (!Glyph.Empty()) {
        const int n = std::max(1, NumGlyphs);
        const int gw = Glyph.Width() / n, gh = Glyph.Height();
        int index = 0;
        if (!enabled_ && n > 1) index = 1;
        if (lowered && n > 2) index = 2;
        TBitmap part;
        part.SetSize(gw, gh);
        for (int y = 0; y < gh; ++y)
            for (int x = 0; x < gw; ++x)
                part.Pixels().Row(y)[x] = Glyph.Pixels().Row(y)[index * gw + x];
        ++part.Pixels().changes;
        part.Transparent = true;
        part.SetTransparentColor(Glyph.TransparentColor());
        const std::string caption = GetText();
        const int total = gw + (caption.empty() ? 0 : 4 + c.TextWidth(caption));
        const int gx = (width_ - total) / 2 + off, gy = (height_ - gh) / 2 + off;
        c.Draw(gx, gy, part);
        textLeft = gx + gw + 4 - off;
    }
    const std::string caption = GetText();
    if (caption.empty()) return;
    c.Font = Font.Get();
    TRect t{off, off, width_ + off, height_ + off};
    unsigned fmt = DT_SINGLELINE | DT_VCENTER;
    if (textLeft > 0)
        t.Left = textLeft + off;
    else
        fmt |= DT_CENTER;
    CanvasDrawText(c, caption, &t, fmt, enabled_ ? Font.Get().Color : clBtnShadow);
}

} // namespace platform
