#include "gui/nybutton.h"

#include "platform/forms/extctrls.h"
#include "platform/gdi/gdi.h"

using namespace platform;

TColor ButtonBkColor = 0x1F1F1F;
TColor ButtonTextColor = 0xC0C0C0;

void SetButtonColors(TColor Bk, TColor Text) {
    ButtonBkColor = Bk;
    ButtonTextColor = Text;
}

tnybutton::tnybutton(TComponent* AOwner) : TButton(AOwner) {
    ownerDraw_ = true;
}

void tnybutton::DrawItem(const TDrawItemStruct& item) {
    // The face and caption use the system pair, not the [Layout] one: the active button's
    // caption is black, which would vanish on a dark face.
    const TColor face = clBtnFace, text = clBlack;
    TCanvas c(item.hDC);
    TRect r = item.rcItem;
    c.Brush.Color = face;
    c.Brush.Style = bsSolid;
    c.FillRect(r);
    const bool pressed = item.itemState & ODS_SELECTED;
    const bool disabled = item.itemState & ODS_DISABLED;
    const bool focused = item.itemState & ODS_FOCUS;
    TRect f = r;
    Frame3D(c, f, pressed ? clGray : clSilver, pressed ? clSilver : clGray, 2);
    if (IsActive() && focused) {
        const TRect focus{r.Left + 4, r.Top + 4, r.Right - 4, r.Bottom - 4};
        c.Brush.Color = face;
        c.DrawFocusRect(focus);
    }
    TFont font = Font.Get();
    font.Style = 0;
    c.Font = font;
    TRect t = r;
    if (pressed) {
        t.Left += 2;
        t.Top += 2;
    }
    const TColor color = disabled ? clGray : (IsActive() || focused) ? clBlack : text;
    CanvasDrawText(c, GetText(), &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE, color);
}
