#include "gui/mmaux.h"

#include "platform/window/input.h"

using namespace platform;

TMMAux::TMMAux(TComponent* AOwner) : TPanel(AOwner) {
    SetBevelOuter(bvNone);
    SetParentColor(true);
    BBB = new TLabel(this);
    BBB->Parent = this;
    BBB->Transparent = true;
    BBB->Align = alTop;
    BBB->ParentFont = true;
    BBB->ParentColor = true;
    BBB->Caption = "Test";
    AAA = new TFader(this);
    AAA->Parent = this;
    AAA->Min = 0;
    AAA->Max = 127;
    AAA->UpDown = false;
    AAA->ShowText = true;
    AAA->Align = alClient;
    AAA->Cursor = crHandPoint;
}

void TMMAux::SetActive(bool v) {
    active_ = v;
    AAA->Active = v;
    AAA->Repaint();
    BBB->Font.Color = v ? clWhite : clGray;
}

void TMMAux::Input(WPARAM w, LPARAM l) {
    if (w == 1) SetActive(l == 1);
}

LRESULT TMMAux::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_USER) {
        Input(w, l);
        return 0;
    }
    return TPanel::WndProc(msg, w, l);
}
