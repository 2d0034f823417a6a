#include "gui/editnew.h"

using namespace platform;

TEditNew::TEditNew(TComponent* AOwner) : TEdit(AOwner) {}

void TEditNew::ShowColors(bool focus) {
    const TColor color = focus ? FocusColor : NoFocusColor;
    const TColor font = focus ? FocusFontColor : NoFocusFontColor;
    if (GetColor() != color) SetColor(color);
    if (Font.Color() != font) Font.Color = font;
}

void TEditNew::DoEnter() {
    ShowColors(true);
    TEdit::DoEnter();
}

void TEditNew::DoExit() {
    ShowColors(false);
    TEdit::DoExit();
}

void TEditNew::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    mouseDown_ = true;
    TEdit::MouseDown(Button, Shift, X, Y);
}

void TEditNew::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    mouseDown_ = false;
    TEdit::MouseUp(Button, Shift, X, Y);
}

void TEditNew::MouseMove(TShiftState Shift, int X, int Y) {
    // The mouse leaving shows through MouseLeave; no capture is needed to see it.
    if (!Focused()) ShowColors(X >= 0 && X <= GetWidth() && Y >= 0 && Y <= GetHeight());
    TEdit::MouseMove(Shift, X, Y);
}

void TEditNew::MouseLeave() {
    if (!Focused()) ShowColors(false);
    TEdit::MouseLeave();
}
