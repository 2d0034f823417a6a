// Containers, splitter, size grip, caption bar and the control factories.
#include "gui/mscroll.h"

#include "platform/forms/extctrls.h"
#include "platform/gdi/gdi.h"
#include "platform/window/input.h"

#include <algorithm>

using namespace platform;

// ---- TGuiAlign

TGuiAlign::TGuiAlign(TMScroll* AOwner) : TGuiBase(AOwner) {
    Align = alNone;
    Id = "TAlignControl";
    Transparent = true;
    HitTest = false;
}

TGuiScrollbar* TGuiAlign::AddScrollbar(TAlign AAlign, TGuiAlign* AParent) {
    auto* bar = new TGuiScrollbar(Owner);
    bar->Align = AAlign;
    bar->Top = 0;
    bar->Bottom = 16;
    bar->Margin = 0;
    bar->Parent = AParent;
    ScrollBar = bar;
    bar->Container = this;
    Owner->Add(bar);
    return bar;
}

int TGuiAlign::ContentHeight() {
    int h = 0;
    for (TGuiBase* c : Owner->Controls)
        if (c->Parent == this) h = std::max(h, c->Bottom + c->Margin - Top);
    return h;
}

void TGuiAlign::AlignChildren() {
    int y = Top, yb = Bottom, x = Left, xr = Right;
    const int W = GetWidth();
    for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (TGuiBase* c : Owner->Controls) {
            if (c->Parent != this || !c->IsShowing() || c->Align != a) continue;
            const int M = c->Margin;
            switch (a) {
            case alTop: {
                const int h = c->GetHeight();
                c->Left = Left + M, c->Top = y + M, c->Right = Left + W - M, c->Bottom = y + M + h;
                y += M + h;
                break;
            }
            case alBottom: {
                const int h = c->GetHeight();
                c->Left = Left + M, c->Top = yb - M - h, c->Right = Left + W - M,
                c->Bottom = yb - M;
                yb -= M + h;
                break;
            }
            case alLeft: {
                const int w = c->GetWidth();
                c->Left = x + M, c->Top = y + M, c->Right = x + M + w, c->Bottom = yb - M;
                x += M + w;
                break;
            }
            case alRight: {
                const int w = c->GetWidth();
                c->Left = xr - M - w, c->Top = y + M, c->Right = xr - M, c->Bottom = yb - M;
                xr -= M + w;
                break;
            }
            default:
                c->Left = x + M, c->Top = y + M, c->Right = xr - M, c->Bottom = yb - M;
                break;
            }
            if (a != alClient) c->AlignChildren();
        }
    }
}

void TGuiAlign::Paint(TCanvas& Canvas) {
    int w = 0, h = 0;
    if (!PaintSize(w, h)) return;
    const int content = ContentHeight();
    ScrollY = content > h ? std::min(ScrollY, content - h) : 0;
    ScrollY = std::max(ScrollY, 0);
    if (ScrollBar) ScrollBar->Paint(Canvas);
    std::unique_ptr<TOffscreenScope> off;
    if (!Transparent) {
        off = std::make_unique<TOffscreenScope>(Owner, w, h);
        TvSkinPaintRec rec = SkinRecord(w, h, false);
        rec.Tail.Text = {BkgndName.c_str(), 0};
        if (!SkinPaint("bkgnd", off->DC(), rec)) {
            if (OnPaintBackground)
                OnPaintBackground(this, off->Canvas(), {0, 0, w, h}, 0);
            else
                GuiFillRect(off->Canvas(), Color, {0, 0, w, h});
        }
        SetWindowOrgEx(off->DC(), Left, Top, nullptr);
    }
    TCanvas& target = off ? off->Canvas() : Canvas;
    for (TGuiBase* c : std::vector<TGuiBase*>(Owner->Controls)) {
        if (c->Parent != this) continue;
        if (TGuiAlign* sc = Owner->GetScrollAlign(c)) {
            const int dy = c->ParentScrollY();
            if (!(c->Top - dy < sc->Bottom && c->Bottom - dy >= sc->Top)) continue;
        }
        c->Paint(target);
    }
    if (off) {
        SetWindowOrgEx(off->DC(), 0, 0, nullptr);
        BitBlt(Canvas.Handle(), Left, Top, w, h, off->DC(), 0, 0, SRCCOPY);
        off.reset();
    }
    const TRect r{Left, Top, Right, Bottom};
    if (BorderStyle == 2) {
        TvSkinPaintRec rec{};
        rec.Rect = {r.Left, r.Top, r.Right, r.Bottom};
        rec.X = Left;
        rec.Y = Top;
        rec.Tail.Border = {2, 0};
        if (!SkinPaint("border", Canvas.Handle(), rec)) {
            if (FlatBorder == 0) {
                GuiFrame(Canvas, r, kGuiSilver, kGuiWhite);
                GuiFrame(Canvas, {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1}, kGuiGrey,
                         kGuiSilver);
            } else {
                GuiFrame(Canvas, r, kGuiSilver, kGuiSilver);
                GuiFrame(Canvas, {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1}, kGuiSilver,
                         kGuiSilver);
            }
        }
    }
    if (OnAfterPaint) OnAfterPaint(this, Canvas, r, 0);
    if (DebugFrame) GuiFrameRect(Canvas, r, kGuiRed);
}

// ---- TGuiSplit

void TGuiSplit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiBase::MouseDown(Button, Shift, X, Y);
    Pressed = true;
    PressPoint = {X, Y};
}

void TGuiSplit::MouseMove(TShiftState, int X, int Y) {
    if (!Pressed || !Control) return; // without a neighbour there is nothing to move
    const int dX = X - PressPoint.X, dY = Y - PressPoint.Y;
    if (Align == alLeft) {
        Left += dX;
        Right += dX;
        Control->Right = std::max(Control->Right + dX, Control->Left + MinSize);
    } else if (Align == alTop) {
        Top += dY;
        Bottom += dY;
        Control->Bottom = std::max(Control->Bottom + dY, Control->Top + MinSize);
    } else {
        return;
    }
    Owner->AlignControls();
    Owner->PaintAlign(Parent);
}

void TGuiSplit::Paint(TCanvas& Canvas) {
    if (!IsShowing() || GetWidth() <= 0 || GetHeight() <= 0) return;
    GuiFillRect(Canvas, kGuiBlack, {Left, Top, Right, Bottom});
}

// ---- TGuiSize

TGuiSize::TGuiSize(TMScroll* AOwner) : TGuiBase(AOwner) {
    Margin = 2;
}

void TGuiSize::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiBase::MouseDown(Button, Shift, X, Y);
    Pressed = true;
    Redraw();
    GetCursorPos(&LastCursor);
}

void TGuiSize::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiBase::MouseUp(Button, Shift, X, Y);
    Redraw();
}

void TGuiSize::MouseMove(TShiftState, int, int) {
    if (!Pressed || !Wnd) return;
    TRect r;
    GetWindowRect(Wnd, &r);
    TPoint cur;
    GetCursorPos(&cur);
    const int dx = cur.X - LastCursor.X, dy = cur.Y - LastCursor.Y;
    LastCursor = cur;
    int height = r.Height() + dy, width = r.Width() + dx;
    // Below the minimum the grip waits for the cursor to come back to where it stopped.
    if (height < MinHeight) {
        LastCursor.Y += MinHeight - height;
        height = MinHeight;
    }
    if (width < MinWidth) {
        LastCursor.X += MinWidth - width;
        width = MinWidth;
    }
    MoveWindow(Wnd, r.Left, r.Top, width, height, true);
    Owner->AlignControls();
    Owner->Paint();
}

void TGuiSize::Paint(TCanvas& Canvas) {
    int w = 0, h = 0;
    if (!PaintSize(w, h)) return;
    TOffscreenScope off(Owner, w, h);
    TCanvas& c = off.Canvas();
    TvSkinPaintRec rec = SkinRecord(w, h, true);
    rec.Flags = Pressed ? TV_SKIN_PRESSED : 0;
    rec.Tail.Image = {"sizebottomright", "", {0, 0, w, h}, {0, 0, w, h}, 0};
    if (!SkinPaint("imagebutton", off.DC(), rec)) {
        GuiFillRect(c, kGuiAccent, {0, 0, w, h});
        GuiFillRect(c, kGuiSilver, {1, 1, w - 1, h - 1});
        c.Pen.Color = Pressed ? kGuiBlue : kGuiGrey;
        for (int i = 1; i <= 3; ++i) {
            const int k = i * std::min(w, h) / 4;
            c.MoveTo(w - 2, h - 2 - k);
            c.LineTo(w - 2 - k, h - 2);
        }
    }
    BitBlt(Canvas.Handle(), Left, Top, w, h, off.DC(), 0, 0, SRCCOPY);
}

// ---- TGuiDrag

TGuiDrag::TGuiDrag(TMScroll* AOwner) : TGuiBase(AOwner) {
    Margin = 2;
}

void TGuiDrag::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiBase::MouseDown(Button, Shift, X, Y);
    if ((Shift & ssDouble) && Wnd) {
        TRect r;
        GetWindowRect(Wnd, &r);
        const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
        if (Expanded) {
            FullHeight = r.Height();
            SetWindowPos(Wnd, 0, 0, 0, Owner->GetWidth(), RolledHeight, flags);
            Expanded = false;
        } else {
            SetWindowPos(Wnd, 0, 0, 0, Owner->GetWidth(), FullHeight, flags);
            Expanded = true;
            Owner->AlignControls();
        }
        Pressed = false;
        return;
    }
    PressPoint = {X, Y};
    Redraw();
}

void TGuiDrag::MouseMove(TShiftState, int, int) {
    if (!Pressed || !Wnd) return;
    TPoint cur;
    GetCursorPos(&cur);
    SetWindowPos(Wnd, 0, cur.X - (Left + PressPoint.X), cur.Y - (Top + PressPoint.Y), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TGuiDrag::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiBase::MouseUp(Button, Shift, X, Y);
    Redraw();
}

void TGuiDrag::Enter() {
    TGuiBase::Enter();
    Redraw();
}

void TGuiDrag::Exit() {
    TGuiBase::Exit();
    Redraw();
}

void TGuiDrag::Paint(TCanvas& Canvas) {
    int w = 0, h = 0;
    if (!PaintSize(w, h)) return;
    TOffscreenScope off(Owner, w, h);
    TCanvas& c = off.Canvas();
    TvSkinPaintRec rec = SkinRecord(w, h, false);
    rec.Flags = Pressed ? TV_SKIN_PRESSED : 0;
    rec.Tail.Text = {Caption.c_str(), 0};
    if (!SkinPaint("caption", off.DC(), rec)) {
        if (OnPaint) {
            OnPaint(this, c, {0, 0, w, h}, 0);
        } else {
            GuiFillRect(c, kGuiSilver, {0, 0, w, h});
            const TColor color = Pressed ? kGuiBlue : kGuiBlack;
            c.Font = GuiFont(color);
            const unsigned align = Alignment == 0 ? DT_LEFT : Alignment == 1 ? DT_RIGHT : DT_CENTER;
            TRect r{4, 0, w - 4, h};
            CanvasDrawText(c, Caption, &r, align | DT_VCENTER | DT_SINGLELINE, color);
        }
    }
    BitBlt(Canvas.Handle(), Left, Top, w, h, off.DC(), 0, 0, SRCCOPY);
}

// ---- factories

TGuiLabel* TMScroll::AddLabel(const std::string& Caption, TAlign AAlign, TGuiAlign* AParent) {
    auto* c = new TGuiLabel(this);
    c->Left = 0, c->Top = LayoutY, c->Right = GetClientWidth(), c->Bottom = 20;
    c->Caption = Caption;
    c->Align = AAlign;
    c->Parent = AParent;
    c->Margin = 2;
    Add(c);
    return c;
}

TGuiMenuLabel* TMScroll::AddMenuLabel(const std::string& Caption) {
    auto* c = new TGuiMenuLabel(this);
    c->Left = 0, c->Top = LayoutY, c->Right = GetClientWidth(),
    c->Bottom = Caption == "-" ? 12 : 20;
    c->Caption = Caption;
    c->Align = alTop;
    c->AutoSize = false;
    c->Transparent = false;
    c->Margin = 0;
    c->CaptureOnHover = true;
    Add(c);
    return c;
}

TGuiFader* TMScroll::AddFader(const std::string& AId, int Min, int Max, int Pos, int Width,
                              TGuiAlign* AParent) {
    auto* c = new TGuiFader(this);
    c->Left = 0, c->Top = LayoutY, c->Right = Width, c->Bottom = 20;
    c->Id = AId;
    c->Parent = AParent;
    c->Min = Min;
    c->Max = Max;
    c->Position = Pos;
    Add(c);
    return c;
}

TGuiEnum* TMScroll::AddEnum(const std::string&, int Width, TAlign AAlign, TGuiAlign* AParent) {
    auto* c = new TGuiEnum(this);
    const int W = GetClientWidth();
    c->Left = W - Width, c->Top = LayoutY, c->Right = W, c->Bottom = 20;
    c->Align = AAlign;
    c->Parent = AParent;
    Add(c);
    return c;
}

TGuiCheck* TMScroll::AddCheck(const std::string& AId, const std::string& Caption, int Width,
                              TAlign AAlign, TGuiAlign* AParent) {
    auto* c = new TGuiCheck(this);
    const int W = GetClientWidth();
    c->Left = W - Width, c->Top = LayoutY, c->Right = W, c->Bottom = 20;
    c->Caption = Caption;
    c->Id = AId;
    c->Align = AAlign;
    c->Parent = AParent;
    Add(c);
    return c;
}

TGuiEdit* TMScroll::AddEdit(const std::string&, const std::string& Text, int Width,
                            TGuiAlign* AParent) {
    auto* c = new TGuiEdit(this);
    const int W = GetClientWidth();
    c->Left = W - Width, c->Top = LayoutY, c->Right = W, c->Bottom = 20;
    c->Text = Text;
    c->Parent = AParent;
    Add(c);
    return c;
}

TGuiButton* TMScroll::AddButton(const std::string& AId, const std::string& Caption, int AMargin,
                                TGuiAlign* AParent) {
    auto* c = new TGuiButton(this);
    c->Caption = Caption;
    c->Id = AId;
    c->Align = alLeft;
    c->Margin = AMargin;
    c->Parent = AParent;
    Add(c);
    return c;
}

TGuiImageButton* TMScroll::AddIconButton(const std::string& AId, const std::string& Caption,
                                         int Glyph, TAlign AAlign, int AMargin, TGuiAlign* AParent,
                                         HWND Wnd) {
    auto* c = new TGuiImageButton(this);
    c->Id = AId;
    c->Caption = Caption;
    c->Glyph = std::uint8_t(Glyph);
    c->Align = AAlign;
    c->Margin = AMargin;
    c->Parent = AParent;
    c->SetWidth(18);
    c->Wnd = Wnd;
    Add(c);
    return c;
}

TGuiMenu* TMScroll::AddMenu(const std::string&, const std::string& AId, const std::string& Caption,
                            TGuiAlign* AParent) {
    auto* c = new TGuiMenu(this);
    c->Id = AId;
    c->Caption = Caption;
    c->Align = alLeft;
    c->Margin = 2;
    c->AutoSize = true;
    c->Parent = AParent;
    c->Bottom = c->Top + 16;
    Add(c);
    return c;
}

TGuiMenu* TMScroll::AddSubMenu(TGuiMenu* ParentMenu, const std::string& AId,
                               const std::string& Caption, TGuiAlign* AParent) {
    TMScroll* host = ParentMenu ? ParentMenu->MenuHost : this;
    auto* c = new TGuiMenu(host);
    c->Id = AId;
    c->Caption = Caption;
    c->Align = alTop;
    c->Margin = 0;
    c->AutoSize = false;
    c->Parent = AParent;
    c->RootHost = ParentMenu ? ParentMenu->RootHost : this;
    c->IsSubMenu = true;
    c->OpenToRight = true;
    c->CaptureOnHover = true;
    c->Alignment = 0;
    c->Bottom = c->Top + 16;
    host->Add(c);
    return c;
}

TGuiAlign* TMScroll::AddAlign(TAlign AAlign, int Width, int Height, TGuiAlign* AParent) {
    auto* c = new TGuiAlign(this);
    c->Align = AAlign;
    c->Parent = AParent;
    c->Left = 0;
    c->Top = 0;
    if (AAlign == alLeft || AAlign == alRight) c->SetWidth(Width);
    if (AAlign == alTop || AAlign == alBottom) c->Bottom = c->Top + Height;
    Add(c);
    return c;
}

TGuiSplit* TMScroll::AddSplit(TAlign AAlign, TGuiBase* Control, TGuiAlign* AParent) {
    auto* c = new TGuiSplit(this);
    c->Align = AAlign;
    c->Control = Control;
    c->Parent = AParent;
    c->Right = c->Left + 4;
    c->Bottom = c->Top + 4;
    c->Cursor = AAlign == alLeft ? crHSplit : crVSplit;
    Add(c);
    return c;
}

TGuiDrag* TMScroll::AddDrag(TAlign AAlign, const std::string& Caption, TGuiAlign* AParent,
                            HWND Wnd) {
    auto* c = new TGuiDrag(this);
    c->Wnd = Wnd;
    c->Parent = AParent;
    c->Align = AAlign;
    c->Caption = Caption;
    Add(c);
    return c;
}
