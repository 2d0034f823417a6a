#include "gui/iconbutton.h"

using namespace platform;

TIconButton::TIconButton(TComponent* AOwner) : TImage(AOwner) {
    SetAlign(alClient);
}

void TIconButton::SetState(TIconState Value) {
    state_ = Value;
    if (auto* panel = dynamic_cast<TPanel*>(GetParent()))
        panel->BevelOuter = Value == stNone ? bvNone : Value == stUp ? bvRaised : bvLowered;
    Invalidate();
}

void TIconButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbRight) return;
    if (state_ == stNone) {
        // A button without a state does nothing, up to and including the release.
        ignoreRelease_ = true;
        return;
    }
    TImage::MouseDown(Button, Shift, X, Y);
    before_ = state_;
    SetState(stNone);
}

void TIconButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbRight) return;
    if (ignoreRelease_) {
        ignoreRelease_ = false;
        noClick_ = true;
        return;
    }
    if (X >= 1 && X < GetWidth() && Y >= 1 && Y < GetHeight()) {
        SetState(stNone);
        TImage::MouseUp(Button, Shift, X, Y);
    } else {
        SetState(before_);
        noClick_ = true;
    }
}

void TIconButton::Click() {
    // The release raised no event: neither does the click that follows it.
    if (noClick_) {
        noClick_ = false;
        return;
    }
    TImage::Click();
}
