// Value controls: fader, enumeration, check box, push and glyph buttons.
#include "gui/mscroll.h"

#include "platform/forms/extctrls.h"
#include "platform/gdi/gdi.h"

#include <algorithm>

using namespace platform;

namespace {

void DrawCentred(TCanvas& c, const std::string& text, TRect r, TColor color, unsigned extra = 0) {
    CanvasDrawText(c, text, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | extra,
                   color);
}

TvRect Tv(const TRect& r) {
    return TvRect{r.Left, r.Top, r.Right, r.Bottom};
}

} // namespace

// ---- TGuiFader

int TGuiFader::ValueAt(int X) {
    const int w = GetWidth();
    // A fader with no width has no pixel scale: every position is its lowest value.
    if (w <= 0) return Min;
    return std::clamp(GuiRound(double(X) * (Max - Min) / w) + Min, std::min(Min, Max),
                      std::max(Min, Max));
}

void TGuiFader::Clamp() {
    Position = std::clamp(Position, std::min(Min, Max), std::max(Min, Max));
}

void TGuiFader::Changed() {
    Owner->Report(Id, Position, std::to_string(Position));
}

void TGuiFader::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiBase::MouseDown(Button, Shift, X, Y);
    if (Shift & ssCtrl) {
        DragStart = {X, Y};
        return;
    }
    if (Button == mbLeft)
        Position = ValueAt(X);
    else if (Button == mbRight && !OnMouse)
        Position += X < GetWidth() / 2 ? -1 : 1;
    Clamp();
    Changed();
    if (OnMouse)
        OnMouse(this, Button, Shift, X, Y, 0);
    else if (OnChange)
        OnChange(this, Button, Shift);
    Redraw();
}

void TGuiFader::MouseMove(TShiftState Shift, int X, int Y) {
    if (!Pressed) return;
    if (Shift & ssCtrl) {
        Position += (X - DragStart.X) * ((Shift & ssShift) ? 10 : 1);
        DragStart.X = X;
    } else {
        Position = ValueAt(X);
    }
    Clamp();
    Redraw();
    Changed();
    if (OnMouse)
        OnMouse(this, mbLeft, Shift, X, Y, 1);
    else if (OnChange)
        OnChange(this, mbLeft, Shift);
}

void TGuiFader::MouseUp(TMouseButton, TShiftState Shift, int X, int Y) {
    Pressed = false;
    if (OnMouse) OnMouse(this, mbLeft, Shift, X, Y, 2);
    Redraw();
}

void TGuiFader::Step(int Delta) {
    Position -= Delta;
    Clamp();
    Changed();
    if (OnChange) OnChange(this, mbLeft, 0);
    Redraw();
}

void TGuiFader::PaintCross(TCanvas& Canvas) {
    const int w = GetWidth(), h = GetHeight();
    Canvas.Pen.Color = kGuiRed;
    Canvas.Pen.Mode = pmCopy;
    Canvas.MoveTo(0, 0);
    Canvas.LineTo(w, h);
    Canvas.MoveTo(w, 0);
    Canvas.LineTo(0, h);
}

void TGuiFader::Paint(TCanvas& Canvas) {
    int w = 0, h = 0;
    if (!PaintSize(w, h)) return;
    std::string text = std::to_string(Position);
    if (OnGetText) OnGetText(this, text);
    TOffscreenScope off(Owner, w, h);
    TCanvas& c = off.Canvas();
    TvSkinPaintRec rec = SkinRecord(w, h, true);
    rec.Flags = (Pressed ? TV_SKIN_PRESSED : 0) | (Enabled ? 0 : TV_SKIN_DISABLED);
    rec.Tail.Fader = {text.c_str(), Min, Max, Position};
    if (!SkinPaint("fader", off.DC(), rec)) {
        if (OnCustomDraw) {
            OnCustomDraw(this, c, text, {0, 0, w, h});
        } else {
            GuiFillRect(c, GuiFace(), {0, 0, w, h});
            // Max = Min has no scale: nothing is filled.
            const int x = Max != Min ? GuiRound(double(Position - Min) * w / (Max - Min)) : 0;
            if (x > 0) {
                GuiFillRect(c, kGuiSilver, {0, 0, x, h});
                GuiFrame(c, {0, 0, x, h}, kGuiWhite, kGuiGrey);
            }
            c.Font = GuiFont(kGuiBlack);
            DrawCentred(c, text, {0, 0, w, h}, kGuiBlack);
        }
    }
    CopyScrolled(Canvas, off.DC(), Owner->GetScrollAlign(this));
}

// ---- TGuiEnum

TGuiEnum::TGuiEnum(TMScroll* AOwner) : TGuiBase(AOwner) {
    ListWindow = new TGuiPopup(nullptr);
    ListWindow->Control = this;
    ListHost = new TMScroll(ListWindow);
    ListHost->Parent = ListWindow;
    ListHost->Align = alClient;
    ListHost->Border = 2;
    ListHost->Gradient = bmTransparent;
}

TGuiEnum::~TGuiEnum() {
    CloseList();
    ClearItems();
    ListWindow->Control = nullptr;
    delete ListWindow; // with ListHost
}

void TGuiEnum::AddItemValue(const std::string& Name, int Value) {
    auto item = std::make_unique<TGuiEnumItem>();
    item->Name = Name;
    item->Value = Value;
    Items.push_back(std::move(item));
}

void TGuiEnum::ClearItems() {
    Items.clear();
    ItemIndex = -1;
}

void TGuiEnum::GetItemName(int Index, std::string& Name) {
    Name = Index >= 0 && Index < int(Items.size()) ? Items[std::size_t(Index)]->Name : "";
}

void TGuiEnum::Changed() {
    CloseList();
    Owner->Report(Id, ItemIndex, Text());
}

void TGuiEnum::MouseDown(TMouseButton, TShiftState, int X, int) {
    const int count = int(Items.size());
    if (count == 0) return;
    const int w = GetWidth();
    if (!DropDown && X >= 0 && X < 16) {
        ItemIndex = (count + ItemIndex - 1) % count;
        PressedZone = 1;
        Redraw();
        Changed();
    } else if (!DropDown && X >= w - 16 && X <= w) {
        ItemIndex = (ItemIndex + 1) % count;
        PressedZone = 3;
        Redraw();
        Changed();
    } else if (ListClosed) {
        ShowList();
    } else {
        CloseList();
    }
}

void TGuiEnum::MouseUp(TMouseButton, TShiftState, int, int) {
    PressedZone = 0;
    Redraw();
}

void TGuiEnum::Step(int Delta) {
    const int count = int(Items.size());
    if (count == 0) return;
    ItemIndex -= Delta;
    if (ItemIndex < 0)
        ItemIndex = count - 1;
    else if (ItemIndex >= count)
        ItemIndex = 0;
    Redraw();
    Changed();
}

void TGuiEnum::Exit() {
    TGuiBase::Exit();
    CloseList();
}

void TGuiEnum::ShowList() {
    if (!Owner->HandleAllocated() && !Owner->GetParent()) return;
    const int count = int(Items.size());
    TPoint at{Left, Bottom};
    ClientToScreen(Owner->Handle(), &at);
    const int w = GetWidth();
    TMScroll* host = ListHost;
    host->Clear();
    host->LayoutInit();
    host->Skin = Owner->Skin;
    TGuiAlign* box = host->AddAlign(alClient, 0, 0, nullptr);
    TGuiScrollbar* bar = box->AddScrollbar(alRight, nullptr);
    bar->Vertical = true;
    bar->SetWidth(16);
    for (int i = 0; i < count; ++i) {
        TGuiMenuLabel* l = host->AddMenuLabel(Items[std::size_t(i)]->Name);
        l->Parent = box;
        l->Tag = i;
        l->Alignment = 0;
    }
    bar->LineStep = 16;
    bar->PageStep = 48;
    const int border = 2 * host->Border;
    int height;
    if (DropDownCount != -1 && DropDownCount < count) {
        height = DropDownCount * 16 + border;
    } else {
        height = count * 16 + border;
        bar->Visible = false;
    }
    ListWindow->ShowAt(at.X, at.Y, w, height);
    host->AlignControls();
    ListClosed = false;
    host->Paint();
}

void TGuiEnum::CloseList() {
    if (ListClosed) return;
    ListClosed = true;
    ListHost->Skin = nullptr;
    ListWindow->HideList();
}

void TGuiEnum::PopupMouse(UINT Msg, TPoint P) {
    TMScroll* host = ListHost;
    const bool inside =
        P.X >= 0 && P.Y >= 0 && P.X < host->GetClientWidth() && P.Y < host->GetClientHeight();
    const TShiftState shift = ShiftStateOfKeys(MouseKeyFlags());
    switch (Msg) {
    case WM_LBUTTONDOWN:
        if (!inside) {
            CloseList();
            return;
        }
        host->MouseDown(mbLeft, shift, P.X, P.Y);
        break;
    case WM_MOUSEMOVE:
        host->MouseMove(shift, P.X, P.Y);
        if (!dynamic_cast<TGuiMenuLabel*>(host->GetControlAtPos(P.X, P.Y)) &&
            dynamic_cast<TGuiMenuLabel*>(host->CaptureControl))
            host->SetCaptureControl(nullptr);
        break;
    case WM_LBUTTONUP: {
        TGuiBase* c = inside ? host->GetControlAtPos(P.X, P.Y) : nullptr;
        if (auto* bar = dynamic_cast<TGuiScrollbar*>(host->CaptureControl);
            bar && bar->PressedPart) {
            host->MouseUp(mbLeft, shift, P.X, P.Y);
        } else if (dynamic_cast<TGuiScrollbar*>(c)) {
            host->MouseUp(mbLeft, shift, P.X, P.Y);
        } else if (auto* entry = dynamic_cast<TGuiMenuLabel*>(c)) {
            const int index = entry->Tag;
            CloseList();
            ItemIndex = index;
            Redraw();
            Changed();
        }
        break;
    }
    default:
        break;
    }
}

void TGuiEnum::Paint(TCanvas& Canvas) {
    int w = 0, h = 0;
    if (!PaintSize(w, h)) return;
    const std::string name = Text();
    TOffscreenScope off(Owner, w, h);
    TCanvas& c = off.Canvas();
    TvSkinPaintRec rec = SkinRecord(w, h, false);
    rec.Tail.Combo.Text = name.c_str();
    if (DropDown) {
        rec.Tail.Combo.Zones = 1;
        rec.Tail.Combo.Zone1 = {w - 16, 0, w, h};
    } else {
        rec.Tail.Combo.Zones = 2;
        rec.Tail.Combo.Zone1 = {0, 0, 16, h};
        rec.Tail.Combo.Zone2 = {w - 16, 0, w, h};
    }
    if (!SkinPaint("combo", off.DC(), rec)) {
        GuiFillRect(c, GuiFace(), {0, 0, w, h});
        c.Font = GuiFont(kGuiWhite);
        if (DropDown) {
            TRect t{4, 0, w - 16, h};
            CanvasDrawText(c, name, &t, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX,
                           kGuiWhite);
            const TRect z{w - 16, 0, w, h};
            GuiGradient(c, GuiFace(), kGuiAccent, z, true);
            GuiArrow(c, PressedZone == 3 ? kGuiBlack : kGuiWhite, z, 2);
        } else {
            DrawCentred(c, name, {16, 0, w - 16, h}, kGuiWhite);
            for (int zone : {1, 3}) {
                const TRect z = zone == 1 ? TRect{0, 0, 16, h} : TRect{w - 16, 0, w, h};
                GuiFillRect(c, kGuiSilver, z);
                const bool held = PressedZone == zone;
                GuiFrame(c, z, held ? kGuiGrey : kGuiWhite, held ? kGuiWhite : kGuiGrey);
                GuiTriangle(c, kGuiBlack, zone == 1 ? 3 : 4, held ? 1 : 0, z, true);
            }
        }
    }
    BitBlt(Canvas.Handle(), Left, Top, w, h, off.DC(), 0, 0, SRCCOPY);
}

// ---- TGuiCheck

void TGuiCheck::Changed() {
    Owner->Report(Id, GetValue(), "");
}

void TGuiCheck::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiBase::MouseDown(Button, Shift, X, Y);
    Pressed = true;
    Redraw();
}

void TGuiCheck::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiBase::MouseUp(Button, Shift, X, Y);
    if (X >= 0 && X < GetWidth() && Y >= 0 && Y < GetHeight()) {
        Checked = !Checked;
        Redraw();
        Changed();
    }
}

void TGuiCheck::Paint(TCanvas& Canvas) {
    int w = 0, h = 0;
    if (!PaintSize(w, h)) return;
    TOffscreenScope off(Owner, w, h);
    TCanvas& c = off.Canvas();
    GuiFillRect(c, kGuiAccent, {0, 0, w, h});
    const int box = std::min(12, h - 2), by = (h - box) / 2;
    const TRect b{3, by, 3 + box, by + box};
    GuiGradient(c, kGuiWhite, kGuiSilver, b, false);
    GuiFrame(c, b, kGuiGrey, kGuiWhite);
    if (Checked) {
        c.Pen.Color = kGuiWhite;
        for (int i = 0; i < 3; ++i) {
            c.MoveTo(b.Left + 2, b.Top + box / 2 - 1 + i);
            c.LineTo(b.Left + box / 2 - 1, b.Bottom - 4 + i);
            c.LineTo(b.Right - 2, b.Top + 1 + i);
        }
    }
    TFont f = GuiFont(kGuiWhite);
    if (Hot) f.Style = fsUnderline;
    c.Font = f;
    TRect t{b.Right + 4, 0, w, h};
    CanvasDrawText(c, Caption, &t, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, kGuiWhite);
    BitBlt(Canvas.Handle(), Left, Top, w, h, off.DC(), 0, 0, SRCCOPY);
}

// ---- TGuiButton

TGuiButton::TGuiButton(TMScroll* AOwner) : TGuiBase(AOwner) {
    Cursor = crHandPoint;
}

void TGuiButton::Changed() {
    Owner->Report(Id, Tag, Caption);
}

void TGuiButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiBase::MouseDown(Button, Shift, X, Y);
    Redraw();
}

void TGuiButton::MouseUp(TMouseButton, TShiftState, int X, int Y) {
    Pressed = false;
    Redraw();
    if (!IsOutside(X, Y)) Changed();
}

void TGuiButton::Paint(TCanvas& Canvas) {
    int w = 0, h = 0;
    if (!PaintSize(w, h)) return;
    TOffscreenScope off(Owner, w, h);
    TCanvas& c = off.Canvas();
    GuiFillRect(c, GuiFace(), {0, 0, w, h});
    const int d = Pressed ? 1 : 0;
    c.Font = GuiFont(kGuiWhite);
    DrawCentred(c, Caption, {4 + d, 2 * d, w + d, h + 2 * d}, kGuiWhite);
    BitBlt(Canvas.Handle(), Left, Top, w, h, off.DC(), 0, 0, SRCCOPY);
}

// ---- TGuiImageButton

const char* TGuiImageButton::GlyphName(int Glyph) {
    static const char* const names[] = {"none",    "close",     "",       "",     "zoomin",
                                        "zoomout", "",          "up",     "down", "left",
                                        "right",   "rightmore", "center", "menu"};
    return Glyph >= 0 && Glyph <= 13 ? names[Glyph] : "";
}

void TGuiImageButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    const bool inside = !IsOutside(X, Y);
    TGuiButton::MouseUp(Button, Shift, X, Y);
    if (!inside) return;
    if (Glyph == 1 && Wnd)
        SendMessage(Wnd, WM_CLOSE, 0, 0);
    else if (Glyph == 3 && Wnd)
        DefWindowProc(Wnd, WM_SYSCOMMAND, 0xF020 /* minimize */, 0);
}

void TGuiImageButton::Paint(TCanvas& Canvas) {
    int w = 0, h = 0;
    if (!PaintSize(w, h)) return;
    TOffscreenScope off(Owner, w, h);
    TCanvas& c = off.Canvas();
    TvSkinPaintRec rec = SkinRecord(w, h, false);
    rec.Flags = (Pressed ? TV_SKIN_PRESSED : 0) | (Down ? TV_SKIN_DOWN : 0);
    rec.Tail.Image = {GlyphName(Glyph), Caption.c_str(), Tv({0, 0, w, h}), Tv({0, 0, w, h}), 1};
    if (!SkinPaint("imagebutton", off.DC(), rec)) {
        const bool menu = Glyph == 13;
        GuiFillRect(c, menu ? kGuiBlack : kGuiSilver, {0, 0, w, h});
        if (!menu && !Pressed && !Down)
            GuiFrame(c, {0, 0, w, h}, kGuiWhite, kGuiGrey);
        else if (!menu && Pressed && Down)
            GuiFrame(c, {0, 0, w, h}, kGuiGrey, kGuiWhite);
        const int d = Pressed ? 1 : 0;
        const TColor textColor = menu ? kGuiWhite : kGuiBlack;
        if (!Caption.empty()) {
            c.Font = GuiFont(textColor);
            TRect r = menu ? TRect{d - 6, d, w + d - 6, h + d} : TRect{d, d, w + d, h + d};
            CanvasDrawText(c, Caption, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX,
                           textColor);
        }
        const int cx = w / 2 + d, cy = h / 2 + d;
        c.Pen.Color = kGuiBlack;
        c.Pen.Mode = pmCopy;
        auto line = [&](int x1, int y1, int x2, int y2) {
            c.MoveTo(x1, y1);
            c.LineTo(x2, y2);
        };
        const TRect shifted{d, d, w + d, h + d};
        switch (Glyph) {
        case 1:
            line(cx - 5, cy - 2, cx + 5, cy - 2);
            line(cx - 3, cy, cx + 3, cy);
            line(cx - 1, cy + 2, cx + 1, cy + 2);
            break;
        case 2:
            GuiFrameRect(c, {cx - 4, cy - 4, cx + 4, cy + 4}, kGuiBlack);
            break;
        case 3:
            GuiFillRect(c, kGuiBlack, {cx - 3, cy + 1, cx + 3, cy + 3});
            break;
        case 4:
            GuiFrameRect(c, {cx - 3, cy - 3, cx + 3, cy + 3}, kGuiBlack);
            GuiFrameRect(c, {cx - 4, cy - 4, cx + 4, cy + 4}, kGuiBlack);
            break;
        case 5:
            GuiFrameRect(c, {cx - 3, cy - 3, cx + 3, cy + 3}, kGuiBlack);
            break;
        case 6:
            for (int i = 0; i < 2; ++i) {
                line(4 + d, cy + i, 8 + d, cy - 4 + i);
                line(4 + d, cy + i, 8 + d, cy + 4 + i);
            }
            line(4 + d, cy, w - 4 + d, cy);
            break;
        case 7:
        case 8:
        case 9:
        case 10:
            GuiTriangle(c, kGuiBlue, Glyph - 6, 0, shifted, true);
            break;
        case 11:
            GuiArrow(c, kGuiBlue, shifted, 4);
            break;
        case 12:
            GuiTriangle(c, kGuiBlue, 0, 0, shifted, true);
            break;
        case 13: {
            GuiTriangle(c, kGuiWhite, 2, 0, {w - 12 + d, d, w - 6 + d, h + d}, true);
            break;
        }
        default:
            break;
        }
    }
    CopyScrolled(Canvas, off.DC(), Owner->GetScrollAlign(this));
}
