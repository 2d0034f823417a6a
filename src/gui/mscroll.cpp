// The host of the windowless controls and the control base.
#include "gui/mscroll.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

using namespace platform;

namespace {

// The host's window DC goes back once the messages posted so far are done.
constexpr UINT kReleaseCanvas = WM_USER + 0x3F1;

std::vector<TMScroll*>& LiveHosts() {
    static std::vector<TMScroll*> hosts;
    return hosts;
}

} // namespace

// ---- drawing helpers

int GuiRound(double v) {
    return int(std::nearbyint(v)); // the default rounding mode: halves to even
}

TColor GuiBlendColor(TColor A, TColor B, double Divisor) {
    const COLORREF a = ColorToRGB(A), b = ColorToRGB(B);
    auto ch = [&](int shift) {
        const int x = int((a >> shift) & 0xFF), y = int((b >> shift) & 0xFF);
        return std::clamp(GuiRound(x + (y - x) / Divisor), 0, 255);
    };
    return TColor(ch(0) | (ch(8) << 8) | (ch(16) << 16));
}

TColor GuiFace() {
    return GuiBlendColor(kGuiBlack, kGuiAccent, 2);
}

void GuiFrame(TCanvas& Canvas, const TRect& R, TColor C1, TColor C2) {
    Canvas.Pen.Color = C1;
    Canvas.Pen.Style = psSolid;
    Canvas.Pen.Mode = pmCopy;
    Canvas.Pen.Width = 1;
    Canvas.MoveTo(R.Left, R.Bottom - 1);
    Canvas.LineTo(R.Left, R.Top);
    Canvas.LineTo(R.Right - 1, R.Top);
    Canvas.Pen.Color = C2;
    Canvas.LineTo(R.Right - 1, R.Bottom - 1);
    Canvas.LineTo(R.Left, R.Bottom - 1);
}

void GuiFillRect(TCanvas& Canvas, TColor Colour, const TRect& R) {
    Canvas.Pen.Color = Colour;
    Canvas.Pen.Style = psSolid;
    Canvas.Pen.Mode = pmCopy;
    Canvas.Brush.Color = Colour;
    Canvas.Brush.Style = bsSolid;
    Canvas.Rectangle(R);
}

void GuiFrameRect(TCanvas& Canvas, const TRect& R, TColor Colour) {
    Canvas.Brush.Style = bsClear;
    Canvas.Pen.Color = Colour;
    Canvas.Pen.Style = psSolid;
    Canvas.Pen.Mode = pmCopy;
    Canvas.Rectangle(R);
    Canvas.Brush.Style = bsSolid;
}

void GuiArrow(TCanvas& Canvas, TColor Colour, const TRect& R, int Direction) {
    Canvas.Pen.Color = Colour;
    Canvas.Pen.Style = psSolid;
    Canvas.Pen.Mode = pmCopy;
    const double cx = R.Left + (R.Right - R.Left) * 0.5, cy = R.Top + (R.Bottom - R.Top) * 0.5;
    const bool horizontalStrokes = Direction == 1 || Direction == 2;
    const double extent = horizontalStrokes ? R.Right - R.Left : R.Bottom - R.Top;
    const double step = 0.125 * (extent + 1);
    for (int i = 0; i < 3; ++i) {
        // The shortest stroke is at the point of the arrow.
        const int half = GuiRound((i + 1) * step);
        const int offset = (i - 1) * 3;
        if (horizontalStrokes) {
            const int y = GuiRound(cy) + (Direction == 1 ? offset : -offset);
            Canvas.MoveTo(GuiRound(cx) - half, y);
            Canvas.LineTo(GuiRound(cx) + half + 1, y);
        } else {
            const int x = GuiRound(cx) + (Direction == 3 ? offset : -offset);
            Canvas.MoveTo(x, GuiRound(cy) - half);
            Canvas.LineTo(x, GuiRound(cy) + half + 1);
        }
    }
}

void GuiTriangle(TCanvas& Canvas, TColor Colour, int Direction, int Offset, const TRect& R,
                 bool Filled) {
    Canvas.Pen.Color = Colour;
    Canvas.Pen.Style = psSolid;
    Canvas.Pen.Mode = pmCopy;
    Canvas.Brush.Color = Colour;
    Canvas.Brush.Style = Filled ? bsSolid : bsClear;
    const int cx = R.Left + (R.Right - R.Left + 1) / 2 + Offset;
    const int cy = R.Top + (R.Bottom - R.Top + 1) / 2 + Offset;
    auto tri = [&](TPoint a, TPoint b, TPoint c) {
        const TPoint p[3] = {a, b, c};
        Canvas.Polygon(p);
    };
    switch (Direction) {
    case 0:
        tri({cx - 4, cy + 1}, {cx - 4, cy + 4}, {cx - 1, cy + 4});
        tri({cx + 1, cy - 4}, {cx + 4, cy - 4}, {cx + 4, cy - 1});
        break;
    case 1:
        tri({cx - 3, cy + 1}, {cx + 3, cy + 1}, {cx, cy - 2});
        break;
    case 2:
        tri({cx - 3, cy - 2}, {cx + 3, cy - 2}, {cx, cy + 1});
        break;
    case 3:
        tri({cx + 1, cy - 3}, {cx + 1, cy + 3}, {cx - 2, cy});
        break;
    case 4:
        tri({cx - 2, cy - 3}, {cx - 2, cy + 3}, {cx + 1, cy});
        break;
    default:
        break;
    }
    Canvas.Brush.Style = bsSolid;
}

void GuiGradient(TCanvas& Canvas, TColor From, TColor To, const TRect& R, bool Columns) {
    const COLORREF a = ColorToRGB(From), b = ColorToRGB(To);
    const int extent = Columns ? R.Right - R.Left : R.Bottom - R.Top;
    Canvas.Pen.Style = psSolid;
    Canvas.Pen.Mode = pmCopy;
    for (int i = 0; i < extent; ++i) {
        auto ch = [&](int shift) {
            const double x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
            const double v = x + (y - x) / (extent + 1) * i;
            return std::clamp(Columns ? GuiRound(v) : GuiRound(v - 0.5), 0, 255);
        };
        Canvas.Pen.Color = TColor(ch(0) | (ch(8) << 8) | (ch(16) << 16));
        if (Columns) {
            Canvas.MoveTo(R.Left + i, R.Top);
            Canvas.LineTo(R.Left + i, R.Bottom);
        } else {
            Canvas.MoveTo(R.Left, R.Top + i);
            Canvas.LineTo(R.Right, R.Top + i);
        }
    }
}

TFont GuiFont(TColor Color) {
    TFont f;
    f.Name = "Arial";
    f.SetSize(8);
    f.Color = Color;
    return f;
}

// ---- off-screen drawing

TGuiOffscreen::TGuiOffscreen() : dc_(CreateCompatibleDC(0)) {
    canvas_.SetHandle(dc_);
}

TGuiOffscreen::~TGuiOffscreen() {
    canvas_.SetHandle(0);
    if (old_) SelectObject(dc_, old_);
    if (bitmap_) DeleteObject(bitmap_);
    DeleteDC(dc_);
}

TCanvas& TGuiOffscreen::Begin(int w, int h) {
    if (w > w_ || h > h_) {
        w_ = std::max(w, w_);
        h_ = std::max(h, h_);
        HBITMAP b = CreateCompatibleBitmap(GetDC(0), w_, h_);
        HBITMAP prev = SelectObject(dc_, b);
        if (!old_) old_ = prev;
        if (bitmap_) DeleteObject(bitmap_);
        bitmap_ = b;
    }
    SetWindowOrgEx(dc_, 0, 0, nullptr);
    SelectClipRgn(dc_, 0);
    IntersectClipRect(dc_, 0, 0, w, h);
    canvas_.Font = GuiFont();
    canvas_.Brush = TBrush{};
    canvas_.Pen = TPen{};
    return canvas_;
}

// ---- TGuiBase

TGuiBase::TGuiBase(TMScroll* AOwner) : Owner(AOwner) {}

TGuiBase::~TGuiBase() = default;

void TGuiBase::MouseDown(TMouseButton Button, TShiftState, int, int) {
    if (Button == mbLeft) Pressed = true;
}

void TGuiBase::MouseUp(TMouseButton, TShiftState, int, int) {
    Pressed = false;
}

void TGuiBase::MouseEnter() {
    Hot = true;
    if (Owner) Owner->SetHostCursor(Cursor);
    if (HoverRedraws()) Redraw();
}

void TGuiBase::MouseLeave() {
    Hot = false;
    if (HoverRedraws()) Redraw();
}

bool TGuiBase::PaintSize(int& W, int& H) {
    W = GetWidth();
    H = GetHeight();
    return IsShowing() && W > 0 && H > 0;
}

TvSkinPaintRec TGuiBase::SkinRecord(int W, int H, bool Scrolled) const {
    TvSkinPaintRec rec{};
    rec.Rect = {0, 0, W, H};
    rec.X = Scrolled ? Left - ParentScrollXOffset() : Left;
    rec.Y = Scrolled ? Top - ParentScrollYOffset() : Top;
    return rec;
}

void TGuiBase::Exit() {
    Focused = false;
    Pressed = false;
}

int TGuiBase::PreferredWidth() {
    return Owner->MeasureCanvas().TextWidth(Text()) + 2 * TextMargin;
}

int TGuiBase::PreferredHeight() {
    return Owner->MeasureCanvas().TextHeight(Text()) + TextMargin;
}

bool TGuiBase::HandleShortcut(TGuiKeyMsg& Msg) {
    if (Msg.Key != ShortCut) return false;
    Changed();
    return true;
}

int TGuiBase::GetWidth() {
    if (AutoSize) return Owner->MeasureCanvas().TextWidth(Text()) + 2 * TextMargin;
    return Right - Left;
}

bool TGuiBase::IsShowing() const {
    if (!Visible) return false;
    return !Parent || static_cast<const TGuiBase*>(Parent)->IsShowing();
}

int TGuiBase::ParentScrollY() const {
    int sum = 0;
    for (const TGuiBase* p = static_cast<const TGuiBase*>(Parent); p;
         p = static_cast<const TGuiBase*>(p->Parent))
        sum += p->ScrollY;
    return sum;
}

int TGuiBase::ParentScrollYOffset() const {
    return Parent ? static_cast<const TGuiBase*>(Parent)->ScrollY : 0;
}

int TGuiBase::ParentScrollXOffset() const {
    return Parent ? static_cast<const TGuiBase*>(Parent)->ScrollX : 0;
}

bool TGuiBase::IsOutside(int X, int Y) {
    Y += ParentScrollY();
    return !(X >= 0 && X < GetWidth() && Y >= 0 && Y < GetHeight());
}

void TGuiBase::SetScrollY(int V) {
    ScrollY = std::clamp(V, 0, std::max(0, ContentHeight() - GetHeight()));
}

void TGuiBase::SetScrollX(int V) {
    ScrollX = std::clamp(V, 0, std::max(0, ContentWidth() - GetWidth()));
}

void TGuiBase::Redraw() {
    if (Owner) Paint(Owner->Canvas());
}

bool TGuiBase::SkinPaint(const char* Type, HDC DC, TvSkinPaintRec& Rec) {
    TSkinObject skin = Owner ? Owner->Skin : nullptr;
    if (!skin || !skin->Dispatch) return false;
    Rec.Empty = "";
    return skin->Dispatch(skin, TV_SKIN_PAINT, intptr_t(DC), reinterpret_cast<intptr_t>(Type),
                          reinterpret_cast<intptr_t>(&Rec)) == 1;
}

void TGuiBase::CopyScrolled(TCanvas& Target, HDC Src, TGuiBase* Clip) {
    const int w = GetWidth(), h = GetHeight();
    const int y = Top - ParentScrollY();
    int dy1 = 0, dy2 = 0;
    if (Clip) {
        dy1 = std::max(0, Clip->Top - y);
        dy2 = std::max(0, y + h - Clip->Bottom);
    }
    if (dy1 + dy2 >= h) return;
    BitBlt(Target.Handle(), Left, y + dy1, w, h - dy1 - dy2, Src, 0, dy1, SRCCOPY);
}

// ---- TMScroll

TMScroll::TMScroll(TComponent* AOwner) : TCustomControl(AOwner), measureDC_(CreateCompatibleDC(0)) {
    measure_.SetHandle(measureDC_);
    measure_.Font = GuiFont();
    LiveHosts().push_back(this);
    LayoutInit();
}

TMScroll::~TMScroll() {
    std::erase(LiveHosts(), this);
    CaptureControl = nullptr;
    HoverControl = nullptr;
    Clear();
    ReleaseCanvas();
    offscreens_.clear();
    measure_.SetHandle(0);
    DeleteDC(measureDC_);
}

const std::vector<TMScroll*>& TMScroll::Hosts() {
    return LiveHosts();
}

TCanvas& TMScroll::Canvas() {
    if (!canvasDC_ && (HandleAllocated() || GetParent())) {
        HWND h = Handle();
        if (h) {
            canvasDC_ = GetDC(h);
            canvas_.SetHandle(canvasDC_);
            canvas_.Font = GuiFont();
            // Outside any message of ours the DC goes back from the queue.
            if (messageDepth_ == 0 && !releasePosted_)
                releasePosted_ = PostMessage(h, kReleaseCanvas, 0, 0);
        }
    }
    return canvas_;
}

void TMScroll::ReleaseCanvas() {
    if (!canvasDC_) return;
    canvas_.SetHandle(0);
    ReleaseDC(ExistingHandle(), canvasDC_);
    canvasDC_ = 0;
}

TGuiOffscreen& TMScroll::Offscreen() {
    if (offscreenDepth_ >= int(offscreens_.size()))
        offscreens_.push_back(std::make_unique<TGuiOffscreen>());
    return *offscreens_[std::size_t(offscreenDepth_++)];
}

LRESULT TMScroll::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == kReleaseCanvas) {
        releasePosted_ = false;
        if (messageDepth_ == 0) ReleaseCanvas();
        return 0;
    }
    if (msg == WM_DESTROY || msg == WM_WINDOWPOSCHANGED) ReleaseCanvas();
    // The host keeps the mouse while a button is held, so drags go on outside it.
    const bool press = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN ||
                       msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK ||
                       msg == WM_MBUTTONDBLCLK;
    if (press && GetCapture() == 0) SetCapture(Handle());
    ++messageDepth_;
    LRESULT r = 0;
    try {
        r = TCustomControl::WndProc(msg, w, l);
    } catch (...) {
        --messageDepth_;
        throw;
    }
    --messageDepth_;
    const bool release = msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP;
    if (release && HandleAllocated() && GetCapture() == ExistingHandle() &&
        !(MouseKeyFlags() & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)))
        ReleaseCapture();
    if (messageDepth_ == 0) ReleaseCanvas();
    return r;
}

void TMScroll::Add(TGuiBase* Control) {
    if (Control) Controls.push_back(Control);
}

void TMScroll::AddMatrixedControl(TGuiBase* Control, int X, int Y, int W, int H) {
    Control->Left = 8 * X;
    Control->Top = 8 * Y;
    Control->Right = 8 * (X + W);
    Control->Bottom = 8 * (Y + H);
    Add(Control);
}

void TMScroll::Forget(TGuiBase* C) {
    if (CaptureControl == C) CaptureControl = nullptr;
    if (HoverControl == C) HoverControl = nullptr;
    if (static_cast<TGuiBase*>(SizeGrip) == C) SizeGrip = nullptr;
    for (TGuiBase* o : Controls) {
        if (o == C) continue;
        if (static_cast<TGuiBase*>(o->ScrollBar) == C) o->ScrollBar = nullptr;
        if (auto* bar = dynamic_cast<TGuiScrollbar*>(o); bar && bar->Container == C)
            bar->Container = nullptr;
        if (auto* split = dynamic_cast<TGuiSplit*>(o); split && split->Control == C)
            split->Control = nullptr;
        if (static_cast<TGuiBase*>(o->Parent) == C) o->Parent = nullptr;
    }
}

void TMScroll::Free(TGuiBase* C) {
    C->Removing();
    Forget(C);
    std::erase(Controls, C);
    delete C;
}

void TMScroll::Clear() {
    CaptureControl = nullptr;
    HoverControl = nullptr;
    SizeGrip = nullptr;
    std::vector<TGuiBase*> all;
    all.swap(Controls);
    for (TGuiBase* c : all)
        c->Removing();
    for (TGuiBase* c : all)
        delete c;
}

void TMScroll::ClearAlign(TGuiAlign* Container) {
    for (bool removed = true; removed;) {
        removed = false;
        for (TGuiBase* c : Controls) {
            if (c->Parent != Container || c->Keep) continue;
            if (auto* inner = dynamic_cast<TGuiAlign*>(c)) ClearAlign(inner);
            if (CaptureControl == c) SetCaptureControl(nullptr);
            Free(c);
            removed = true;
            break;
        }
    }
}

TGuiBase* TMScroll::GetControlAtPos(int X, int Y) {
    for (TGuiBase* c : Controls) {
        if (!c->HitTest || !c->IsShowing()) continue;
        const int dy = c->ParentScrollY();
        if (X >= c->Left && X < c->Right && Y >= c->Top - dy && Y < c->Bottom - dy) return c;
    }
    return nullptr;
}

void TMScroll::SetCaptureControl(TGuiBase* Control) {
    if (Control == CaptureControl) return;
    TGuiBase* old = CaptureControl;
    if (old) old->Exit();
    // Exit may have moved the capture itself (a list that closed, an edit that reported).
    if (Control) Control->Enter();
    CaptureControl = Control;
}

TGuiBase* TMScroll::GetControlWithID(const std::string& AId) {
    for (TGuiBase* c : Controls)
        if (c->Id == AId) return c;
    return nullptr;
}

TGuiAlign* TMScroll::GetScrollAlign(TGuiBase* Control) {
    for (TGuiAlign* p = Control ? Control->Parent : nullptr; p;
         p = static_cast<TGuiBase*>(p)->Parent)
        if (static_cast<TGuiBase*>(p)->ScrollBar) return p;
    return nullptr;
}

void TMScroll::AlignPass(TAlign A, int& y, int& yb, int& x, int& xr) {
    const int B = Border, W = GetClientWidth(), H = GetClientHeight();
    (void)H;
    for (TGuiBase* c : Controls) {
        if (!c->Parent && c->IsShowing() && c->Align == A) {
            const int M = c->Margin;
            switch (A) {
            case alTop: {
                const int h = c->GetHeight();
                c->Left = B + M, c->Top = y + M, c->Right = W - B - M, c->Bottom = y + M + h;
                y += M + h;
                break;
            }
            case alBottom: {
                const int h = c->GetHeight();
                c->Left = B + M, c->Top = yb - M - h, c->Right = W - B - M, c->Bottom = yb - M;
                yb -= M + h;
                break;
            }
            case alLeft: {
                const int w = c->GetWidth();
                c->Left = x + M, c->Top = y + B + M, c->Right = x + M + w, c->Bottom = yb - B - M;
                x += M + w;
                break;
            }
            case alRight: {
                const int w = c->GetWidth();
                c->Left = xr - M - w, c->Top = y + M, c->Right = xr - M, c->Bottom = yb - M;
                xr -= M + w;
                break;
            }
            case alClient:
                c->Left = x + M, c->Top = y + M, c->Right = xr - M, c->Bottom = yb - M;
                break;
            default:
                break;
            }
        }
        c->AlignChildren();
    }
}

void TMScroll::AlignControls() {
    const int B = Border;
    int y = B, yb = GetClientHeight() - B, x = B, xr = GetClientWidth() - B;
    for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient})
        AlignPass(a, y, yb, x, xr);
}

int TMScroll::ControlsHeight() {
    int h = 0;
    for (TGuiBase* c : Controls)
        h = std::max(h, c->Bottom);
    return h;
}

int TMScroll::ControlsWidth() {
    int w = 0;
    for (TGuiBase* c : Controls)
        w = std::max(w, c->PreferredWidth());
    return w;
}

void TMScroll::PaintAlign(TGuiAlign* Container) {
    TCanvas& cv = Canvas();
    if (Container) static_cast<TGuiBase*>(Container)->Paint(cv);
    std::vector<TGuiBase*> list = Controls;
    for (TGuiBase* c : list) {
        if (c->Parent != Container) continue;
        if (auto* inner = dynamic_cast<TGuiAlign*>(c))
            PaintAlign(inner);
        else
            c->Paint(cv);
    }
}

void TMScroll::Paint() {
    TCanvas& cv = Canvas();
    const TRect client{0, 0, GetClientWidth(), GetClientHeight()};
    if (OnPaint)
        Fire(OnPaint, this, cv, client, 0);
    else if (Gradient == bmSolid)
        GuiFillRect(cv, BkColor, client);
    std::vector<TGuiBase*> list = Controls;
    for (TGuiBase* c : list)
        if (!c->Parent) c->Paint(cv);
    if (Border == 2) {
        GuiFrame(cv, client, kGuiSilver, kGuiBlack);
        GuiFrame(cv, {1, 1, client.Right - 1, client.Bottom - 1}, kGuiWhite, kGuiGrey);
    }
    if (OnAfterPaint) Fire(OnAfterPaint, this, cv, client, 0);
}

void TMScroll::SetHostCursor(TCursor C) {
    Cursor = C;
    if (!HandleAllocated()) return;
    TPoint p;
    GetCursorPos(&p);
    if (WindowFromPoint(p) == ExistingHandle() || GetCapture() == ExistingHandle())
        ::platform::SetCursor(C == crDefault ? IDC_ARROW : CursorOf(C));
}

void TMScroll::Report(const std::string& AId, int AVal, const std::string& AStr) {
    if (OnControl) OnControl(this, AId, AVal, AStr);
}

bool TMScroll::InBorderZone(int X, int Y) {
    return X >= GetClientWidth() - 2 * Border || Y >= GetClientHeight() - 2 * Border;
}

void TMScroll::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbRight && PassRightClick) {
        TCustomControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (TGuiBase* c = GetControlAtPos(X, Y)) {
        SetCaptureControl(c);
        c->MouseDown(Button, Shift, X - c->Left, Y - c->Top);
        return;
    }
    SetCaptureControl(nullptr);
    auto* grip = static_cast<TGuiBase*>(SizeGrip);
    if (InBorderZone(X, Y) && grip && grip->IsShowing()) {
        CaptureControl = grip;
        grip->MouseDown(Button, Shift, 0, 0);
    }
}

void TMScroll::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (TGuiBase* c = CaptureControl) c->MouseUp(Button, Shift, X - c->Left, Y - c->Top);
}

void TMScroll::MouseMove(TShiftState Shift, int X, int Y) {
    if (TGuiBase* c = CaptureControl) c->MouseMove(Shift, X - c->Left, Y - c->Top);
    if (TGuiBase* c = HoverControl) c->MouseMove(Shift, X - c->Left, Y - c->Top);
    TGuiBase* now = GetControlAtPos(X, Y);
    if (!HoverControl && now) {
        HoverControl = now;
        now->MouseEnter();
    } else if (HoverControl && !now) {
        TGuiBase* old = HoverControl;
        HoverControl = nullptr;
        old->MouseLeave();
    } else if (HoverControl && now != HoverControl) {
        TGuiBase* old = HoverControl;
        HoverControl = now;
        old->MouseLeave();
        now->MouseEnter();
    }
    if (now && HoverControl == now && now->CaptureOnHover) SetCaptureControl(now);
    if (!now) {
        auto* grip = static_cast<TGuiBase*>(SizeGrip);
        SetHostCursor(InBorderZone(X, Y) && grip && grip->IsShowing() ? crSizeNWSE : crDefault);
    }
}

void TMScroll::SelectNext() {
    if (Controls.empty()) return;
    if (!CaptureControl) {
        SetCaptureControl(Controls.front());
        return;
    }
    auto it = std::find(Controls.begin(), Controls.end(), CaptureControl);
    // A capture outside the list stands after the last control.
    std::size_t next = it == Controls.end() ? 1 : std::size_t(it - Controls.begin()) + 1;
    if (next >= Controls.size()) next = it == Controls.end() && Controls.size() > 1 ? 1 : 0;
    SetCaptureControl(Controls[next]);
}

void TMScroll::KeyDown(std::uint16_t& Key, TShiftState Shift) {
    if (Key == VK_DOWN) SelectNext();
    if (CaptureControl) CaptureControl->KeyDown(Key, Shift);
}

bool TMScroll::KeyboardCaptured(TGuiKeyMsg& Msg) {
    if (TGuiBase* c = CaptureControl) {
        if (Msg.Key == VK_RETURN || Msg.Key == VK_ESCAPE) {
            c->Exit();
            CaptureControl = nullptr;
            return true;
        }
        return c->KeyMessage(Msg);
    }
    std::vector<TGuiBase*> list = Controls;
    for (TGuiBase* c : list)
        if (c->HandleShortcut(Msg)) return true;
    return false;
}

void TMScroll::WmChar(int Key) {
    if (CaptureControl) CaptureControl->KeyPress(Key);
}

void TMScroll::SkinDialog(HWND Wnd) {
    if (Skin && Skin->Dispatch)
        Skin->Dispatch(Skin, TV_SKIN_DIALOG, Wnd, reinterpret_cast<intptr_t>(""), 0);
}
