#include "app/editorstrips.h"

#include "app/main.h"
#include "gui/mscroll.h"
#include "platform/forms/extctrls.h"

using namespace platform;

namespace {
constexpr int kButton = 16;
}

TEditorStrips BuildEditorStrips(TMScroll* Vert, TMScroll* Horz, TMScroll* Columns, HWND Wnd) {
    void* skin = fmMdi ? fmMdi->Skin : nullptr;
    for (TMScroll* s : {Vert, Horz, Columns}) {
        s->Clear();
        s->Skin = static_cast<TSkinObject>(skin);
    }
    TEditorStrips strips;
    strips.ScrollY = new TGuiScrollbar(Vert);
    strips.ScrollY->Id = "scrolly";
    strips.ScrollY->Vertical = true;
    strips.ScrollY->Align = alClient;
    strips.ScrollY->Max = 0;
    Vert->Add(strips.ScrollY);
    Vert->AddIconButton("zoomVertIn", "", 8, alBottom, 0, nullptr, Wnd)->Bottom = kButton;
    Vert->AddIconButton("zoomVertOut", "", 7, alBottom, 0, nullptr, Wnd)->Bottom = kButton;

    strips.ScrollX = new TGuiScrollbar(Horz);
    strips.ScrollX->Id = "scrollx";
    strips.ScrollX->Align = alClient;
    strips.ScrollX->Max = 1000;
    Horz->Add(strips.ScrollX);
    Horz->AddIconButton("zoomOff", "", 12, alRight, 0, nullptr, Wnd)->SetWidth(kButton);
    Horz->AddIconButton("zoomHorzIn", "", 10, alRight, 0, nullptr, Wnd)->SetWidth(kButton);
    Horz->AddIconButton("zoomHorzOut", "", 9, alRight, 0, nullptr, Wnd)->SetWidth(kButton);

    TGuiAlign* cols = Columns->AddAlign(alClient, 0, 0, nullptr);
    cols->Color = 0xC0C0C0;
    Columns->AddIconButton("less", "", 9, alLeft, 0, cols, Wnd);
    Columns->AddIconButton("more", "", 10, alLeft, 0, cols, Wnd);
    Columns->AddIconButton("all", "", 11, alLeft, 0, cols, Wnd);
    Columns->AddIconButton("last", "Last", 0, alLeft, 0, cols, Wnd)->SetWidth(32);
    for (TMScroll* s : {Vert, Horz, Columns})
        s->AlignControls();
    return strips;
}

TPanel* MakeAlignedPanel(TComponent* Owner, TWinControl* Parent, TAlign Align, int Size) {
    auto* p = new TPanel(Owner);
    p->Parent = Parent;
    p->Align = Align;
    if (Align == alLeft || Align == alRight) p->Width = Size;
    if (Align == alTop || Align == alBottom) p->Height = Size;
    p->BevelOuter = bvNone;
    p->Caption = "";
    return p;
}
