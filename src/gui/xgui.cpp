#include "gui/xgui.h"

#include "gui/glib.h"
#include "gui/unativewnd.h"
#include "platform/core/dialogs.h"
#include "platform/forms/extctrls.h"
#include "platform/window/paint.h"
#include "song/timebase.h"

#include <algorithm>

using namespace platform;

namespace {

TPoint CursorNow() {
    TPoint p;
    GetCursorPos(&p);
    return p;
}

bool Inside(int x, int y, int l, int t, int r, int b) {
    return x >= l && x <= r && y >= t && y <= b;
}

// Text on one line, vertically centred, with a transparent background.
void ItemText(TCanvas& c, std::string_view text, TRect r, unsigned flags, TColor color) {
    CanvasDrawText(c, text, &r, flags | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, color);
}

// Frees the items of a list the caller owns; the list is empty before the first goes.
void FreeItems(std::vector<TXGuiBase*>& list) {
    std::vector<TXGuiBase*> gone;
    gone.swap(list);
    for (TXGuiBase* item : gone)
        delete item;
}

bool IsCollection(TXGuiBase* item) {
    return dynamic_cast<TXGuiCollection*>(item) != nullptr;
}

} // namespace

// ---- items

TXGuiBase::TXGuiBase(TXGuiBase* AParent) : Parent(AParent) {}

void TXGuiBase::GetRect(TRect& R) {
    R = {AbsX(), AbsY(), AbsRight(), AbsBottom()};
}

int TXGuiBase::Mouse(int, int, TShiftState, int State, TXGuiBase*&) {
    if (State == 1) Pressed = true;
    if (State == 2) Pressed = false;
    return 0;
}

int TXGuiBase::ScrollBy(int DX, int DY) {
    ScrollX += DX;
    ScrollY += DY;
    return 0;
}

void TXGuiBase::SetBounds(int AX, int AY, int AW, int AH) {
    X = AX;
    Y = AY;
    W = AW;
    H = AH;
}

int TXGuiBase::AbsX() const {
    int x = X;
    for (const TXGuiBase* p = Parent; p; p = p->Parent)
        x += p->X;
    return x;
}

int TXGuiBase::AbsY() const {
    int y = Y;
    // The bar of a scroll area stays in place while the area's content scrolls.
    const bool bar = dynamic_cast<const TXGuiScrollbar2*>(this) &&
                     dynamic_cast<const TXGuiScroll*>(Parent);
    for (const TXGuiBase* p = Parent; p; p = p->Parent) {
        y += p->Y;
        if (!(bar && p == Parent)) y -= p->ScrollY;
    }
    return y;
}

TXGuiLabel::TXGuiLabel(TXGuiBase* AParent)
    : TXGuiBase(AParent), DrawFlags(DT_SINGLELINE | DT_VCENTER) {
    Name = "label";
}

void TXGuiLabel::Paint(TCanvas& Canvas) {
    TRect r;
    GetRect(r);
    CanvasDrawText(Canvas, Caption, &r, DrawFlags, Canvas.Font.Color);
}

int TXGuiLabel::Mouse(int X, int Y, TShiftState Shift, int State, TXGuiBase*& Capture) {
    TXGuiBase::Mouse(X, Y, Shift, State, Capture);
    if (State == 2) return X >= 0 && X < W && Y >= 0 && Y < H ? xgNotify : 0;
    return xgNotify;
}

void TXGuiFader::Paint(TCanvas& Canvas) {
    TRect r;
    GetRect(r);
    Canvas.Brush.Style = bsSolid;
    Canvas.Brush.Color = clBlack;
    Canvas.FillRect(r);
    // The fader always fills from the left. An empty range fills nothing.
    if (Max != Min) {
        const int fillX =
            Round(double(Pos - Min) * double(r.Right - r.Left) / double(Max - Min) + r.Left);
        const TRect fill{r.Left, r.Top, fillX, r.Bottom};
        TileBitmap(Canvas.Handle(), XLayout().VertGradient, fill, 0, 0);
        if (Pos > Min) DrawFrame3D(Canvas, fill, XLayout().DarkColor, XLayout().LightColor);
    }
    const TColor color = Pressed ? clBlue : clWhite;
    const TRect text{r.Left + 2, r.Top, r.Right - 2, r.Bottom};
    ItemText(Canvas, std::to_string(Pos), text, DT_RIGHT, color);
    ItemText(Canvas, Text, text, DT_LEFT, color);
}

int TXGuiFader::Mouse(int X, int Y, TShiftState Shift, int State, TXGuiBase*& Capture) {
    TXGuiBase::Mouse(X, Y, Shift, State, Capture);
    int v = Pos;
    if ((Shift & ssLeft) && (State == 1 || State == 4)) {
        // A fader of no length keeps its value.
        if (Horizontal && W != 0)
            v = Round(double(X) / W * (Max - Min) + Min);
        else if (!Horizontal && H != 0)
            v = Round(double(H - Y) / H * (Max - Min) + Min);
    } else if (State == 1 && (Shift & ssRight)) {
        if (Horizontal)
            v += X >= W / 2 ? 1 : -1;
        else
            v += Y < H / 2 ? 1 : -1;
    }
    v = std::clamp(v, std::min(Min, Max), std::max(Min, Max));
    if (v != Pos) {
        Pos = v;
        return xgRepaint | xgNotify;
    }
    return State == 4 ? 0 : xgRepaint | xgNotify;
}

int TXGuiFader::Step(int Delta) {
    Pos = std::clamp(Pos + Delta, std::min(Min, Max), std::max(Min, Max));
    return xgRepaint | xgNotify;
}

int TXGuiKnob::Mouse(int X, int Y, TShiftState Shift, int State, TXGuiBase*& Capture) {
    TXGuiBase::Mouse(X, Y, Shift, State, Capture);
    if (State == 1) {
        LastCursor = CursorNow();
        return xgNotify;
    }
    if (State != 4) return 0;
    const TPoint c = CursorNow();
    const int v = std::clamp(Value + (LastCursor.Y - c.Y), std::min(Min, Max), std::max(Min, Max));
    LastCursor = c;
    if (v == Value) return 0;
    Value = v;
    return xgRepaint | xgNotify;
}

int TXGuiUser::Mouse(int X, int Y, TShiftState Shift, int State, TXGuiBase*& Capture) {
    TXGuiBase::Mouse(X, Y, Shift, State, Capture);
    return xgNotify;
}

TXGuiDrag::TXGuiDrag(TXGuiBase* AParent) : TXGuiBase(AParent) {
    Name = "drag";
}

void TXGuiDrag::Paint(TCanvas& Canvas) {
    TRect r;
    GetRect(r);
    r.Left += 4;
    ItemText(Canvas, Caption, r, DT_LEFT, Pressed ? clBlue : clWhite);
}

int TXGuiDrag::Mouse(int X, int Y, TShiftState Shift, int State, TXGuiBase*& Capture) {
    TXGuiBase::Mouse(X, Y, Shift, State, Capture);
    const TPoint c = CursorNow();
    TRect wr;
    if (State == 1 && (Shift & ssLeft) && GetWindowRect(Wnd, &wr)) {
        GrabX = c.X - wr.Left;
        GrabY = c.Y - wr.Top;
    }
    if (State == 4 && Pressed && (Shift & ssLeft))
        SetWindowPos(Wnd, 0, c.X - GrabX, c.Y - GrabY, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const bool right = (Shift & ssRight) != 0;
    int r = (State == 1 || State == 2) && !right ? xgRepaint : 0;
    if (right || (Shift & ssDouble)) {
        r |= xgNotify;
        Pressed = false;
    }
    return r;
}

TXGuiButton::TXGuiButton(TXGuiBase* AParent) : TXGuiBase(AParent) {
    Name = "button";
}

void TXGuiButton::Paint(TCanvas& Canvas) {
    TRect r;
    GetRect(r);
    TileBitmap(Canvas.Handle(), XLayout().VertGradient, r, 0, 0);
    if (Pressed) DrawFrame3D(Canvas, r, XLayout().LightColor, XLayout().DarkColor);
    if (Caption.empty()) return;
    if (Pressed) r = {r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1};
    ItemText(Canvas, Caption, r, DT_CENTER, Pressed ? clBlue : clBlack);
}

int TXGuiButton::Mouse(int X, int Y, TShiftState Shift, int State, TXGuiBase*& Capture) {
    TXGuiBase::Mouse(X, Y, Shift, State, Capture);
    if (State == 1) return xgRepaint;
    if (State == 2) return Inside(X, Y, 0, 0, W, H) ? xgRepaint | xgNotify : xgRepaint;
    return 0;
}

int TXGuiScrollbar2::ThumbPos() const {
    if (Max == Min) return 0;
    const int L = Vertical ? H : W;
    return Round(double(Pos - Min) / (Max - Min) * (L - 2 * ButtonSize - ThumbLength)) +
           ButtonSize;
}

int TXGuiScrollbar2::Mouse(int X, int Y, TShiftState Shift, int State, TXGuiBase*& Capture) {
    int r = TXGuiBase::Mouse(X, Y, Shift, State, Capture);
    if (State == 2) return xgNotify;
    if (State != 1 && State != 4) return r;
    const int L = Vertical ? H : W;
    const int P = Vertical ? Y : X;
    int v = Pos;
    if (State == 1) {
        LastX = X;
        LastY = Y;
        const int thumb = ThumbPos();
        if (P >= thumb && P <= thumb + ThumbLength) return r; // the thumb is grabbed
        if (L != 0) v = Round(double(P) / L * (Max - Min) + Min);
    } else {
        int& last = Vertical ? LastY : LastX;
        // A bar with no room for its thumb to travel keeps its value.
        const int travel = L - 2 * ButtonSize - ThumbLength;
        if (travel > 0)
            v = Round(double(ThumbPos() + (P - last) - ButtonSize) / travel * (Max - Min) + Min);
        last = P;
    }
    v = std::clamp(v, std::min(Min, Max), std::max(Min, Max));
    if (v != Pos) {
        Pos = v;
        r = xgRepaint | xgNotify;
    }
    if (auto* area = dynamic_cast<TXGuiScroll*>(Parent)) area->ScrollY = Pos;
    if (r & xgRepaint) r |= xgRepaintParent;
    return r;
}

TXGuiScroll::TXGuiScroll(TXGuiBase* AParent)
    : TXGuiBase(AParent), Scrollbar(std::make_unique<TXGuiScrollbar2>(this)) {
    Scrollbar->Name = "Scrolly";
    Scrollbar->Min = 0;
    Scrollbar->Max = 100;
    Scrollbar->Pos = 0;
    Scrollbar->Y = 0;
    Scrollbar->W = 16;
}

TXGuiScroll::~TXGuiScroll() {
    Clear();
}

void TXGuiScroll::Add(TXGuiBase* Item) {
    Children.push_back(Item);
    UpdateRange();
}

void TXGuiScroll::Clear() {
    FreeItems(Children);
}

void TXGuiScroll::UpdateRange() {
    TXGuiScrollbar2& bar = *Scrollbar;
    bar.H = H;
    bar.X = W - bar.W;
    int content = 0;
    for (TXGuiBase* c : Children)
        content = std::max(content, c->Y + c->H);
    bar.Max = content > H ? content - H : 0;
    bar.ThumbLength =
        bar.Max == 0 ? 0 : std::max(4, Round(double(H) / (bar.Max + H) * H) - 32);
}

void TXGuiScroll::Paint(TCanvas&) {
    // Content that shrank below the scrolled position scrolls back.
    if (Scrollbar->Max < Scrollbar->Pos) {
        Scrollbar->Pos = Scrollbar->Max;
        ScrollY = Scrollbar->Max;
    }
}

int TXGuiScroll::Mouse(int X, int Y, TShiftState Shift, int State, TXGuiBase*& Capture) {
    TXGuiBase::Mouse(X, Y, Shift, State, Capture);
    TXGuiScrollbar2& bar = *Scrollbar;
    if (bar.Visible && Inside(X, Y, bar.X, bar.Y, bar.X + bar.W, bar.Y + bar.H)) {
        Capture = &bar;
        return bar.Mouse(X - bar.X, Y - bar.Y, Shift, State, Capture);
    }
    return xgNotify;
}

TXGuiCollection::~TXGuiCollection() {
    FreeItems(Children);
}

int TXGuiCollection::Mouse(int X, int Y, TShiftState Shift, int State, TXGuiBase*& Capture) {
    int r = TXGuiBase::Mouse(X, Y, Shift, State, Capture);
    if (State == 4 && Pressed) return r;
    for (TXGuiBase* c : Children)
        if (Inside(X, Y, c->X, c->Y, c->X + c->W, c->Y + c->H)) {
            Capture = c;
            r = c->Mouse(X - c->X, Y - c->Y, Shift, State, Capture);
        }
    return r;
}

void TXGuiPage::Paint(TCanvas& Canvas) {
    TRect r;
    GetRect(r);
    const TXLayout& look = XLayout();
    Canvas.Brush.Style = bsSolid;
    Canvas.Brush.Color = look.DarkColor;
    Canvas.FillRect({r.Left, r.Top, r.Right, r.Top + 16});
    for (std::size_t i = 0; i < Children.size(); ++i) {
        const int left = r.Left + int(i) * TabWidth;
        const TRect tab{left, r.Top, left + TabWidth, r.Top + 16};
        if (int(i) == ActivePage) DrawGradient(Canvas, look.DarkColor, look.LightColor, 0, tab);
        DrawFrame3D(Canvas, tab, look.DarkColor, look.LightColor);
        if (auto* page = dynamic_cast<TXGuiPageItem*>(Children[i]))
            ItemText(Canvas, page->Caption, tab, DT_CENTER, Canvas.Font.Color);
    }
    for (std::size_t i = 0; i < Children.size(); ++i) {
        TXGuiBase* page = Children[i];
        page->Enabled = int(i) == ActivePage;
        if (!page->Enabled) continue;
        Canvas.Brush.Color = clWhite;
        Canvas.FillRect({r.Left, r.Top + 16, r.Right, r.Bottom});
        page->SetBounds(0, 16, W, H - 16);
    }
}

int TXGuiPage::Mouse(int X, int Y, TShiftState Shift, int State, TXGuiBase*& Capture) {
    TXGuiBase::Mouse(X, Y, Shift, State, Capture);
    if (Y > 16) {
        if (ActivePage < 0 || ActivePage >= int(Children.size())) return 0;
        TXGuiBase* page = Children[std::size_t(ActivePage)];
        Capture = page;
        return page->Mouse(X - page->X, Y - page->Y, Shift, State, Capture);
    }
    if (TabWidth <= 0 || X < 0) return 0;
    const int tab = X / TabWidth;
    if (tab >= int(Children.size()) || tab == ActivePage) return 0;
    ActivePage = tab;
    return xgRepaint;
}

TXGuiBase* AsXGuiBase(TXGuiBase* Item) {
    return Item;
}
TXGuiFader* AsXGuiFader(TXGuiBase* Item) {
    return static_cast<TXGuiFader*>(Item);
}
TXGuiLabel* AsXGuiLabel(TXGuiBase* Item) {
    return static_cast<TXGuiLabel*>(Item);
}

TXLayout::TXLayout() {
    HorzGradient.SetSize(16, 16);
    VertGradient.SetSize(16, 16);
    DrawGradient(HorzGradient.Canvas(), DarkColor, LightColor, 1, {0, 0, 16, 16});
    DrawGradient(VertGradient.Canvas(), DarkColor, LightColor, 0, {0, 0, 16, 16});
}

TXLayout& XLayout() {
    static TXLayout layout;
    return layout;
}

// ---- the canvas

TXGui::TXGui(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 200;
    height_ = 200;
}

TXGuiBase* TXGui::FindControl(const std::string& Name) {
    std::function<TXGuiBase*(const std::vector<TXGuiBase*>&)> walk =
        [&](const std::vector<TXGuiBase*>& list) -> TXGuiBase* {
        for (TXGuiBase* item : list) {
            if (item->Name == Name) return item;
            const std::vector<TXGuiBase*>* children = nullptr;
            if (auto* c = dynamic_cast<TXGuiCollection*>(item))
                children = &c->Children;
            else if (auto* s = dynamic_cast<TXGuiScroll*>(item))
                children = &s->Children;
            if (children)
                if (TXGuiBase* found = walk(*children)) return found;
        }
        return nullptr;
    };
    if (TXGuiBase* found = walk(Items)) return found;
    MessageBox("Control not found: " + Name, "Error", MB_OK | MB_ICONERROR);
    return nullptr;
}

void TXGui::InvalidateControl(TXGuiBase* Item) {
    if (!Item) return;
    TRect r;
    Item->GetRect(r);
    r = {r.Left + GetLeft(), r.Top + GetTop(), r.Right + GetLeft(), r.Bottom + GetTop()};
    InvalidateRect(HostWnd, &r, false);
}

TXGuiBase* TXGui::HitTest(int X, int Y) {
    TXGuiBase* found = nullptr;
    std::function<void(const std::vector<TXGuiBase*>&, int, int)> walk =
        [&](const std::vector<TXGuiBase*>& list, int x, int y) {
            for (TXGuiBase* item : list) {
                if (!item->Enabled || !item->Visible) continue;
                TRect r;
                item->GetRect(r);
                const bool in = Inside(x, y, r.Left, r.Top, r.Right, r.Bottom);
                if (in) found = item;
                if (auto* s = dynamic_cast<TXGuiScroll*>(item)) {
                    if (in) walk(s->Children, x, y);
                } else if (auto* c = dynamic_cast<TXGuiCollection*>(item)) {
                    // As the program always had it: the point shifted by the collection's own
                    // place against its children's canvas rectangles.
                    walk(c->Children, x - item->X, y - item->Y);
                }
            }
        };
    walk(Items, X, Y);
    return found;
}

void TXGui::Apply(int Result) {
    if ((Result & xgRepaint) && Captured) InvalidateControl(Captured);
    if ((Result & xgRepaintParent) && Captured && Captured->Parent)
        InvalidateControl(Captured->Parent);
}

void TXGui::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    DownButton = Button;
    if (Sizeable) {
        SizeZone = BorderZone(X, Y, GetWidth(), GetHeight());
        GetCursorPos(&LastCursor);
        if (SizeZone != 0) return;
    }
    if (TXGuiBase* item = HitTest(X, Y)) {
        Captured = item;
        const int r = item->Mouse(X - item->AbsX(), Y - item->AbsY(), Shift, 1, Captured);
        Apply(r);
        if ((r & xgNotify) && OnMouse && Captured)
            OnMouse(this, Captured, Button, Shift, X - Captured->AbsX(), Y - Captured->AbsY(), 1);
    } else if (OnMouse) {
        OnMouse(this, nullptr, Button, Shift, X, Y, 1);
    }
    TGraphicControl::MouseDown(Button, Shift, X, Y);
}

void TXGui::MouseMove(TShiftState Shift, int X, int Y) {
    if (Captured) {
        TXGuiBase* item = Captured;
        const int r = item->Mouse(X - item->AbsX(), Y - item->AbsY(), Shift, 4, Captured);
        Apply(r);
        if ((r & xgNotify) && OnMouse && Captured)
            OnMouse(this, Captured, DownButton, Shift, X - Captured->AbsX(),
                    Y - Captured->AbsY(), 4);
    }
    if (Sizeable) {
        const int zone = BorderZone(X, Y, GetWidth(), GetHeight());
        SetCursor(zone ? BorderZoneCursor(zone) : crDefault);
        if (SizeZone != 0) SizeStep();
    }
    TGraphicControl::MouseMove(Shift, X, Y);
}

void TXGui::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Captured) {
        TXGuiBase* item = Captured;
        const int r = item->Mouse(X - item->AbsX(), Y - item->AbsY(), Shift, 2, Captured);
        Apply(r);
        if ((r & xgNotify) && OnMouse && Captured)
            OnMouse(this, Captured, Button, Shift, X - Captured->AbsX(), Y - Captured->AbsY(), 2);
    }
    // Read afresh: the owner may have cleared it (and freed its items) in OnMouse.
    if (Button == mbRight && OnPopup) OnPopup(this, Captured, Button, Shift, X, Y);
    Captured = nullptr;
    SizeZone = 0;
    TGraphicControl::MouseUp(Button, Shift, X, Y);
}

void TXGui::SizeStep() {
    TPoint c;
    GetCursorPos(&c);
    const int dx = c.X - LastCursor.X, dy = c.Y - LastCursor.Y;
    LastCursor = c;
    TRect wr;
    if (!GetWindowRect(SizeWnd, &wr)) return;
    // The canvas fills the window: its size is the window's. Edges never cross: at least one
    // pixel stays.
    int left = wr.Left, top = wr.Top, right = wr.Left + GetWidth(), bottom = wr.Top + GetHeight();
    const int z = SizeZone;
    if (z == 1 || z == 7 || z == 8) left = std::min(left + dx, right - 1);
    if (z == 1 || z == 2 || z == 3) top = std::min(top + dy, bottom - 1);
    if (z == 3 || z == 4 || z == 5) right = std::max(right + dx, left + 1);
    if (z == 5 || z == 6 || z == 7) bottom = std::max(bottom + dy, top + 1);
    SetWindowPos(SizeWnd, 0, left, top, right - left, bottom - top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TXGui::PaintOwn(TXGuiBase* Item, TCanvas& Canvas) {
    bool done = false;
    if (OnPaintCtrl) OnPaintCtrl(this, Item, Canvas, done);
    if (!done) Item->Paint(Canvas);
}

void TXGui::PaintItem(TXGuiBase* Item, TCanvas& Canvas, const TRect& Clip) {
    if (!Item->Visible) return;
    const int ax = Item->AbsX(), ay = Item->AbsY();
    if (!(Clip.Left <= ax + Item->W && Clip.Right >= ax && Clip.Bottom > ay &&
          Clip.Top < ay + Item->H))
        return;
    if (auto* area = dynamic_cast<TXGuiScroll*>(Item)) {
        // The area draws into a bitmap of its own, which clips its children to it.
        if (area->W <= 0 || area->H <= 0) return;
        TBitmap bmp;
        bmp.SetSize(area->W, area->H);
        TCanvas& c = bmp.Canvas();
        c.Font.Name = Canvas.Font.Name;
        c.Font.Height = Canvas.Font.Height;
        SetWindowOrgEx(c.Handle(), ax, ay, nullptr);
        PaintOwn(area, c);
        if (area->Scrollbar->Visible) PaintItem(area->Scrollbar.get(), c, Clip);
        for (TXGuiBase* child : area->Children)
            PaintItem(child, c, Clip);
        SetWindowOrgEx(c.Handle(), 0, 0, nullptr);
        BitBlt(Canvas.Handle(), ax, ay, area->W, area->H, c.Handle(), 0, 0, SRCCOPY);
        return;
    }
    PaintOwn(Item, Canvas);
    if (auto* page = dynamic_cast<TXGuiPage*>(Item)) {
        // Only the active page shows under the tabs.
        if (page->ActivePage >= 0 && page->ActivePage < int(page->Children.size()))
            PaintItem(page->Children[std::size_t(page->ActivePage)], Canvas, Clip);
    } else if (IsCollection(Item)) {
        for (TXGuiBase* child : static_cast<TXGuiCollection*>(Item)->Children)
            PaintItem(child, Canvas, Clip);
    }
}

void TXGui::Paint() {
    TCanvas& target = Canvas();
    const TRect clip = target.ClipRect();
    if (clip.IsEmpty()) return;
    TBitmap bmp;
    bmp.SetSize(clip.Width(), clip.Height());
    TCanvas& c = bmp.Canvas();
    c.Font.Name = "Arial";
    c.Font.SetSize(8);
    c.Font.Color = clBlack;
    // Items and owners draw in canvas coordinates; the bitmap holds only the clip rectangle.
    SetWindowOrgEx(c.Handle(), clip.Left, clip.Top, nullptr);
    if (OnBeforePaint) OnBeforePaint(this, c);
    for (TXGuiBase* item : Items)
        PaintItem(item, c, clip);
    if (OnAfterPaint) OnAfterPaint(this, c);
    if (BorderWidth == 3) {
        const int w = GetWidth(), h = GetHeight();
        DrawFrame3D(c, {0, 0, w, h}, clSilver, clBlack);
        DrawFrame3D(c, {1, 1, w - 1, h - 1}, clWhite, clGray);
        c.Brush.Style = bsSolid;
        c.Brush.Color = clSilver;
        c.FrameRect({2, 2, w - 2, h - 2});
    }
    SetWindowOrgEx(c.Handle(), 0, 0, nullptr);
    BitBlt(target.Handle(), clip.Left, clip.Top, clip.Width(), clip.Height(), c.Handle(), 0, 0,
           SRCCOPY);
}
