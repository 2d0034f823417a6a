// Text controls, menus and the pop-up list window.
#include "gui/mscroll.h"

#include "platform/forms/extctrls.h"
#include "platform/gdi/gdi.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/keylayout.h"

#include <algorithm>

using namespace platform;

namespace {

// A point of one window's client area in another's.
TPoint MapPoint(HWND from, HWND to, TPoint p) {
    ClientToScreen(from, &p);
    ScreenToClient(to, &p);
    return p;
}

} // namespace

// ---- TGuiLabel

TGuiLabel::TGuiLabel(TMScroll* AOwner) : TGuiBase(AOwner) {
    TextMargin = 4;
    Transparent = true;
    AutoSize = true;
    CaptureOnHover = false;
}

void TGuiLabel::Changed() {
    Owner->Report(Id, Tag, Caption);
}

void TGuiLabel::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiBase::MouseDown(Button, Shift, X, Y);
}

void TGuiLabel::MouseUp(TMouseButton, TShiftState, int, int) {
    Pressed = false;
    Changed();
}

void TGuiLabel::Enter() {
    TGuiBase::Enter();
    Redraw();
}

void TGuiLabel::Exit() {
    TGuiBase::Exit();
    Redraw();
}

unsigned TGuiLabel::TextFormat() const {
    const unsigned align = Alignment == 0 ? DT_LEFT : Alignment == 1 ? DT_RIGHT : DT_CENTER;
    return align | DT_SINGLELINE | DT_VCENTER;
}

void TGuiLabel::PaintOpaque(TCanvas& C, int W, int H) {
    GuiFillRect(C, kGuiAccent, {0, 0, W, H});
    if (Caption == "-") {
        C.Pen.Color = kGuiBlack;
        C.MoveTo(0, H / 2);
        C.LineTo(W, H / 2);
        return;
    }
    TFont f = GuiFont(FontColor);
    if (UnderlineHot && Hot) f.Style = fsUnderline;
    C.Font = f;
    TRect r{TextMargin, 0, W - TextMargin, H};
    CanvasDrawText(C, Caption, &r, TextFormat(), FontColor);
}

void TGuiLabel::Paint(TCanvas& Canvas) {
    int w = 0, h = 0;
    if (!PaintSize(w, h)) return;
    const int dy = ParentScrollY();
    TvSkinPaintRec rec{};
    // The skin has always been given the vertical offset for X as well.
    rec.X = Left - dy;
    rec.Y = Top - dy;
    rec.Flags = (Hot ? TV_SKIN_HOT : 0) | (Pressed ? TV_SKIN_PRESSED : 0) |
                (UnderlineHot ? TV_SKIN_UNDERLINE : 0) | (Transparent ? TV_SKIN_TRANSPARENT : 0);
    rec.Tail.Text = {Caption.c_str(), 0};
    if (Transparent) {
        rec.Rect = {Left, Top - dy, Left + w, Top - dy + h};
        if (SkinPaint("label", Canvas.Handle(), rec)) return;
        const TRect area{Left, Top - dy, Left + w, Top - dy + h};
        if (Caption == "-") {
            Canvas.Pen.Color = kGuiBlack;
            Canvas.Pen.Mode = pmCopy;
            Canvas.MoveTo(area.Left, area.Top + h / 2);
            Canvas.LineTo(area.Right, area.Top + h / 2);
            return;
        }
        TFont f = GuiFont(FontColor);
        if (UnderlineHot && Hot) f.Style = fsUnderline;
        Canvas.Font = f;
        TRect r{Left + TextMargin, Top - dy, Left + w - TextMargin, Top - dy + h};
        CanvasDrawText(Canvas, Caption, &r, TextFormat(), FontColor);
        return;
    }
    TOffscreenScope off(Owner, w, h);
    rec.Rect = {0, 0, w, h};
    if (!SkinPaint(dynamic_cast<TGuiMenuLabel*>(this) ? "menuitem" : "label", off.DC(), rec))
        PaintOpaque(off.Canvas(), w, h);
    CopyScrolled(Canvas, off.DC(), Parent);
}

// ---- TGuiMenuLabel

TGuiMenuLabel::TGuiMenuLabel(TMScroll* AOwner) : TGuiLabel(AOwner) {
    Caption = "MenuLabel";
    Transparent = false;
    Alignment = 0;
    AutoSize = false;
    CaptureOnHover = true;
    UnderlineHot = true;
    TextMargin = 8;
}

void TGuiMenuLabel::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiLabel::MouseDown(Button, Shift, X, Y);
    Redraw();
}

void TGuiMenuLabel::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiLabel::MouseUp(Button, Shift, X, Y);
    Redraw();
}

void TGuiMenuLabel::MouseLeave() {
    Pressed = false;
    TGuiBase::MouseLeave();
    if (!HoverRedraws()) Redraw();
}

void TGuiMenuLabel::Paint(TCanvas& Canvas) {
    int w = 0, h = 0;
    if (!PaintSize(w, h)) return;
    TOffscreenScope off(Owner, w, h);
    TCanvas& c = off.Canvas();
    TvSkinPaintRec rec = SkinRecord(w, h, false);
    rec.Flags = (Pressed ? TV_SKIN_PRESSED : 0) | (Focused ? TV_SKIN_MENUFOCUS : 0);
    rec.Tail.Text = {Caption.c_str(), 0};
    if (!SkinPaint("menuitem", off.DC(), rec)) {
        GuiFillRect(c, kGuiSilver, {0, 0, w, h});
        if (Caption == "-") {
            c.Pen.Color = kGuiGrey;
            c.MoveTo(8, h / 2);
            c.LineTo(w - 8, h / 2);
        } else {
            TColor text = kGuiBlack;
            if (Focused) {
                GuiFillRect(c, kGuiBlack, {1, 0, w - 1, h});
                text = kGuiWhite;
            }
            TFont f = GuiFont(text);
            if (UnderlineHot && Hot) f.Style = fsUnderline;
            c.Font = f;
            TRect r{TextMargin, 0, w, h};
            CanvasDrawText(c, Caption, &r, TextFormat(), text);
        }
    }
    CopyScrolled(Canvas, off.DC(), Parent);
}

// ---- TGuiEdit

TGuiEdit::TGuiEdit(TMScroll* AOwner) : TGuiBase(AOwner) {
    TextMargin = 4;
    Cursor = crIBeam;
    CaretTimer.Enabled = false;
    CaretTimer.Interval = 400;
    CaretTimer.OnTimer = [this] { BlinkCaret(); };
}

void TGuiEdit::Changed() {
    if (Modified) {
        Modified = false;
        Owner->Report(Id, 0, Text);
    }
}

void TGuiEdit::Enter() {
    TGuiBase::Enter();
    SavedText = Text;
    Redraw();
    caretShown_ = false;
    CaretTimer.Enabled = true;
    CaretPos = int(Text.size());
    PrevFocus = GetFocus();
    if (HWND top = Owner->HandleAllocated() ? GetParent(Owner->ExistingHandle()) : 0) SetFocus(top);
}

void TGuiEdit::Exit() {
    TGuiBase::Exit();
    CaretTimer.Enabled = false;
    Redraw();
    Changed();
    if (PrevFocus && IsWindow(PrevFocus)) SetFocus(PrevFocus);
    PrevFocus = 0;
}

int TGuiEdit::TextWidthOf(int Chars) {
    Chars = std::clamp(Chars, 0, int(Text.size()));
    return Owner->MeasureCanvas().TextWidth(std::string_view(Text).substr(0, std::size_t(Chars)));
}

void TGuiEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiBase::MouseDown(Button, Shift, X, Y);
    X -= TextMargin;
    CaretPos = 0;
    for (int i = 1; i <= int(Text.size()); ++i) {
        const int before = TextWidthOf(i - 1);
        const int half = (TextWidthOf(i) - before) / 2;
        if (before + half < X) CaretPos = i;
    }
    Moved();
}

void TGuiEdit::BlinkCaret() {
    CaretPos = std::clamp(CaretPos, 0, int(Text.size()));
    caretShown_ = !caretShown_;
    TCanvas& c = Owner->Canvas();
    const int x = Left + TextMargin + TextWidthOf(CaretPos);
    c.Pen.Color = kGuiWhite;
    c.Pen.Mode = pmXor;
    c.Pen.Style = psSolid;
    c.MoveTo(x, Top);
    c.LineTo(x, Bottom);
    c.Pen.Mode = pmCopy;
}

void TGuiEdit::Moved() {
    Redraw();
    caretShown_ = false;
    BlinkCaret();
}

void TGuiEdit::Edited() {
    Modified = true;
    Moved();
}

bool TGuiEdit::KeyMessage(TGuiKeyMsg& Msg) {
    const int len = int(Text.size());
    CaretPos = std::clamp(CaretPos, 0, len);
    switch (Msg.Key) {
    case VK_END:
        CaretPos = len;
        Moved();
        break;
    case VK_HOME:
        CaretPos = 0;
        Moved();
        break;
    case VK_LEFT:
        CaretPos = std::max(0, CaretPos - 1);
        Moved();
        break;
    case VK_RIGHT:
        CaretPos = std::min(len, CaretPos + 1);
        Moved();
        break;
    case VK_TAB:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_INSERT:
        break;
    case VK_BACK:
        if (CaretPos > 0) Text.erase(std::size_t(--CaretPos), 1);
        Edited();
        break;
    case VK_DELETE:
        if (CaretPos < len) Text.erase(std::size_t(CaretPos), 1);
        Edited();
        break;
    default: {
        if (GetKeyState(VK_CONTROL) & 0x8000) break;
        std::uint8_t state[256];
        GetKeyboardState(state);
        char32_t ch[4];
        const int n = ToUnicode(UINT(Msg.Key), UINT((Msg.KeyData >> 16) & 0xFF), state, ch, 4, 0);
        if (n != 1 || ch[0] < 0x20 || ch[0] > 0xFF) break;
        Text.insert(std::size_t(CaretPos), 1, char(ch[0]));
        ++CaretPos;
        Edited();
        break;
    }
    }
    return true;
}

void TGuiEdit::KeyPress(int Key) {
    const int len = int(Text.size());
    CaretPos = std::clamp(CaretPos, 0, len);
    switch (Key) {
    case 8:
    case 46: {
        TGuiKeyMsg m;
        m.Key = WPARAM(Key == 8 ? VK_BACK : VK_DELETE);
        KeyMessage(m);
        break;
    }
    case 9:
        break;
    case 13:
        Owner->SetCaptureControl(nullptr);
        break;
    case 27:
        Text = SavedText;
        Owner->SetCaptureControl(nullptr);
        break;
    case 35:
    case 36:
    case 37:
    case 39: {
        TGuiKeyMsg m;
        m.Key = WPARAM(Key);
        KeyMessage(m);
        break;
    }
    default:
        if (Key < 1 || Key > 0xFF) break;
        Text.insert(std::size_t(CaretPos), 1, char(Key));
        ++CaretPos;
        Edited();
        break;
    }
}

void TGuiEdit::Paint(TCanvas& Canvas) {
    int w = 0, h = 0;
    if (!PaintSize(w, h)) return;
    TOffscreenScope off(Owner, w, h);
    TCanvas& c = off.Canvas();
    TvSkinPaintRec rec = SkinRecord(w, h, true);
    rec.Flags = Focused ? TV_SKIN_FOCUSED : 0;
    rec.Tail.Text = {Text.c_str(), 0};
    if (!SkinPaint("edit", off.DC(), rec)) {
        GuiFillRect(c, Focused ? GuiBlendColor(kGuiBlack, kGuiGrey, 1.5) : GuiFace(), {0, 0, w, h});
        c.Font = GuiFont(kGuiWhite);
        TRect r{TextMargin, 0, w, h};
        CanvasDrawText(c, Text, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, kGuiWhite);
        GuiFrameRect(c, {0, 0, w, h}, GuiFace());
    }
    BitBlt(Canvas.Handle(), Left, Top, w, h, off.DC(), 0, 0, SRCCOPY);
}

// ---- TGuiMenu

TGuiMenu::TGuiMenu(TMScroll* AOwner) : TGuiBase(AOwner), RootHost(AOwner) {
    AutoSize = true;
    TextMargin = 4;
    CaptureOnHover = false;
    PopupWindow = new TGuiPopup(nullptr);
    PopupWindow->Control = this;
    MenuHost = new TMScroll(PopupWindow);
    MenuHost->Parent = PopupWindow;
    MenuHost->Align = alClient;
    MenuHost->Gradient = bmNone;
    MenuHost->Border = 2;
    SubMenuTimer.Enabled = false;
    SubMenuTimer.Interval = 300;
    SubMenuTimer.OnTimer = [this] { TimerTick(); };
}

TGuiMenu::~TGuiMenu() {
    SubMenuTimer.Enabled = false;
    if (!Closed) {
        Closed = true;
        PopupWindow->HideList();
    }
    Items.clear();
    PopupWindow->Control = nullptr;
    delete PopupWindow; // with MenuHost and its entries
}

void TGuiMenu::Removing() {
    SubMenuTimer.Enabled = false;
    if (!Closed) {
        Closed = true;
        MenuHost->Skin = nullptr;
        PopupWindow->HideList();
    }
}

TGuiMenu* TGuiMenu::ParentMenu() const {
    if (!IsSubMenu) return nullptr;
    auto* popup = dynamic_cast<TGuiPopup*>(Owner->GetParent());
    return popup ? dynamic_cast<TGuiMenu*>(popup->Control) : nullptr;
}

int TGuiMenu::PreferredWidth() {
    return TGuiBase::PreferredWidth() + (IsSubMenu ? 16 : 0);
}

void TGuiMenu::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiBase::MouseDown(Button, Shift, X, Y);
    if (IsSubMenu) {
        if (Closed) ShowPopup();
        return;
    }
    if (Closed) {
        ShowPopup();
        Redraw();
    } else {
        Pressed = false;
        Owner->SetCaptureControl(nullptr);
    }
}

void TGuiMenu::MouseUp(TMouseButton, TShiftState, int X, int Y) {
    Pressed = false;
    Redraw();
    if (X < 0 || X > GetWidth() || Y < 0 || Y > GetHeight()) Owner->SetCaptureControl(nullptr);
}

void TGuiMenu::MouseLeave() {
    TGuiBase::MouseLeave();
    Redraw();
}

void TGuiMenu::Enter() {
    TGuiBase::Enter();
    if (IsSubMenu) SubMenuTimer.Enabled = true;
    Redraw();
}

void TGuiMenu::Exit() {
    TGuiBase::Exit();
    if (!IsSubMenu && !Closed) HidePopup();
    if (IsSubMenu) {
        SubMenuTimer.Enabled = false;
        SubMenuTimer.Enabled = true;
    }
    Pressed = false;
    Redraw();
}

void TGuiMenu::TimerTick() {
    SubMenuTimer.Enabled = false;
    if (!Focused)
        HidePopup();
    else if (Closed)
        ShowPopup();
}

void TGuiMenu::ShowPopup() {
    if (!Owner->HandleAllocated() && !Owner->GetParent()) return;
    int width = MenuHost->ControlsWidth() + 2 + (MaxHeight ? 16 : 0);
    PopupWindow->SetBounds(PopupWindow->GetLeft(), PopupWindow->GetTop(), width, 10);
    MenuHost->AlignControls();
    int height = MenuHost->ControlsHeight() + 2;
    if (MaxHeight) height = std::min(height, MaxHeight);
    PopupWindow->SetBounds(PopupWindow->GetLeft(), PopupWindow->GetTop(), width, height);
    MenuHost->AlignControls();
    MenuHost->Skin = Owner->Skin;
    MenuHost->SetCaptureControl(nullptr);
    TPoint at;
    if (OpenToRight) {
        at = {Left + GetWidth() + 1, Top - 1};
    } else {
        at = {Left, Bottom + 1};
    }
    ClientToScreen(Owner->Handle(), &at);
    if (!OpenToRight && at.Y + height > GetSystemMetrics(SM_CYSCREEN))
        at.Y = GetSystemMetrics(SM_CYSCREEN) - height;
    PopupWindow->ShowAt(at.X, at.Y, width, height);
    Closed = false;
    MenuHost->Paint();
}

void TGuiMenu::HidePopup() {
    if (!Closed) {
        MenuHost->Skin = nullptr;
        Closed = true;
        PopupWindow->HideList();
    }
    for (TGuiBase* c : std::vector<TGuiBase*>(MenuHost->Controls))
        if (auto* sub = dynamic_cast<TGuiMenu*>(c); sub && !sub->Closed) sub->HidePopup();
    if (Owner->CaptureControl == this) Owner->SetCaptureControl(nullptr);
    SubMenuTimer.Enabled = false; // closed already: nothing left for the timer to do
    Redraw();
    // The list this one was opened from keeps the pointer.
    if (TGuiMenu* parent = ParentMenu(); parent && !parent->Closed && !GetCapture())
        SetCapture(parent->PopupWindow->Handle());
}

void TGuiMenu::ListCancelled() {
    if (!Closed) HidePopup();
    if (TGuiMenu* parent = ParentMenu()) parent->ListCancelled();
}

bool TGuiMenu::HandleShortcut(TGuiKeyMsg& Msg) {
    for (TGuiBase* c : std::vector<TGuiBase*>(MenuHost->Controls)) {
        if (c->ShortCut == 0 || c->ShortCut != Msg.Key) continue;
        Owner->Report(Id, c->GetValue(), c->Text());
        return true;
    }
    return false;
}

void TGuiMenu::PopupMouse(UINT Msg, TPoint P) {
    TMScroll* host = MenuHost;
    const int w = PopupWindow->GetClientWidth(), h = PopupWindow->GetClientHeight();
    const bool inside = P.X >= 0 && P.Y >= 0 && P.X <= w && P.Y <= h;
    const TShiftState shift = ShiftStateOfKeys(MouseKeyFlags());
    // The pointer back over the list this one was opened from works that list.
    TGuiMenu* parent = ParentMenu();
    if (!inside && parent && !parent->Closed && Msg != WM_LBUTTONDOWN) {
        TPoint q = MapPoint(PopupWindow->Handle(), parent->PopupWindow->Handle(), P);
        if (q.X >= 0 && q.Y >= 0 && q.X < parent->PopupWindow->GetClientWidth() &&
            q.Y < parent->PopupWindow->GetClientHeight()) {
            parent->PopupMouse(Msg, q);
            return;
        }
    }
    switch (Msg) {
    case WM_LBUTTONDOWN:
        if (!inside) {
            HidePopup();
            return;
        }
        host->MouseDown(mbLeft, shift, P.X, P.Y);
        break;
    case WM_MOUSEMOVE:
        if (Owner->CaptureControl != this) Owner->SetCaptureControl(this);
        host->MouseMove(shift, P.X, P.Y);
        if (dynamic_cast<TGuiMenuLabel*>(host->CaptureControl) && !host->GetControlAtPos(P.X, P.Y))
            host->SetCaptureControl(nullptr);
        break;
    case WM_LBUTTONUP: {
        host->MouseUp(mbLeft, shift, P.X, P.Y);
        TGuiBase* c = inside ? host->GetControlAtPos(P.X, P.Y) : nullptr;
        if (!c || dynamic_cast<TGuiScrollbar*>(c) || dynamic_cast<TGuiMenu*>(c)) break;
        const std::string caption = c->Text();
        if (caption == "-") break;
        const int tag = c->Tag;
        const std::string id = Id;
        // Choices in a sub-menu are the whole menu's: they report where the top menu does.
        TMScroll* reportTo = IsSubMenu ? RootHost : Owner;
        if (RootHost) {
            RootHost->SetCaptureControl(nullptr);
            // The title of a menu opened by program holds no capture: its list closes here.
            for (TGuiMenu* m = this; m; m = m->ParentMenu())
                if (!m->Closed) m->HidePopup();
        }
        if (reportTo) reportTo->Report(id, tag, caption);
        host->SetCaptureControl(nullptr);
        break;
    }
    default:
        break;
    }
}

void TGuiMenu::Paint(TCanvas& Canvas) {
    int w = 0, h = 0;
    if (!PaintSize(w, h)) return;
    TOffscreenScope off(Owner, w, h);
    TCanvas& c = off.Canvas();
    TvSkinPaintRec rec = SkinRecord(w, h, false);
    rec.Flags = (Pressed ? TV_SKIN_PRESSED : 0) | (Focused ? TV_SKIN_MENUFOCUS : 0) |
                (IsSubMenu ? TV_SKIN_SUBMENU : TV_SKIN_TOPMENU);
    rec.Tail.Text = {Caption.c_str(), 0};
    if (!SkinPaint("menuitem", off.DC(), rec)) {
        const TColor face = Focused ? kGuiBlack : kGuiSilver;
        const TColor text = Focused ? kGuiWhite : kGuiBlack;
        GuiFillRect(c, face, {0, 0, w, h});
        c.Font = GuiFont(text);
        const unsigned align = Alignment == 0 ? DT_LEFT : Alignment == 1 ? DT_RIGHT : DT_CENTER;
        TRect r{TextMargin, 0, w - TextMargin - (IsSubMenu ? 16 : 0), h};
        if (IsSubMenu) r.Left = 8;
        CanvasDrawText(c, Caption, &r, align | DT_VCENTER | DT_SINGLELINE, text);
        if (IsSubMenu) GuiTriangle(c, kGuiWhite, 4, 0, {w - 8, 0, w - 4, h}, true);
    }
    BitBlt(Canvas.Handle(), Left, Top, w, h, off.DC(), 0, 0, SRCCOPY);
}

// ---- TGuiPopup

TGuiPopup::TGuiPopup(TComponent* AOwner) : TCustomControl(AOwner) {
    visible_ = false;
}

TGuiPopup::~TGuiPopup() {
    Control = nullptr;
    if (HandleAllocated() && GetCapture() == ExistingHandle()) ReleaseCapture();
}

void TGuiPopup::CreateParams(TCreateParams& p) {
    TCustomControl::CreateParams(p);
    p.Style = WS_POPUP;
    p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    p.WndParent = 0;
    p.ClassStyle |= CS_SAVEBITS;
}

void TGuiPopup::ShowAt(int X, int Y, int W, int H) {
    HWND h = Handle();
    SetBounds(X, Y, W, H);
    ReleaseCapture();
    visible_ = true;
    SetWindowPos(h, HWND_TOPMOST, X, Y, W, H, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    open_ = true;
    SetCapture(h);
}

void TGuiPopup::HideList() {
    if (!open_) return;
    open_ = false;
    hiding_ = true;
    visible_ = false;
    if (HandleAllocated()) {
        if (GetCapture() == ExistingHandle()) ReleaseCapture();
        ShowWindow(ExistingHandle(), SW_HIDE);
    }
    hiding_ = false;
}

LRESULT TGuiPopup::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
        if (Control) {
            // Points come from the cursor, relative to this window.
            TPoint p;
            GetCursorPos(&p);
            ::platform::ScreenToClient(ExistingHandle(), &p);
            TGuiBase* c = Control;
            Guarded([&] { c->PopupMouse(msg == WM_LBUTTONDBLCLK ? WM_LBUTTONDOWN : msg, p); });
        }
        return 0;
    case WM_CANCELMODE:
        // Deactivation ends the capture: the list and those it was opened from close.
        if (open_ && Control) {
            TGuiBase* c = Control;
            Guarded([&] {
                if (auto* m = dynamic_cast<TGuiMenu*>(c))
                    m->ListCancelled();
                else if (auto* e = dynamic_cast<TGuiEnum*>(c))
                    e->CloseList();
            });
        }
        return TCustomControl::WndProc(msg, w, l);
    case WM_SHOWWINDOW:
        // Hidden by anyone else: the model must not believe the list open.
        if (!w && open_ && !hiding_ && Control) {
            TGuiBase* c = Control;
            Guarded([&] {
                if (auto* m = dynamic_cast<TGuiMenu*>(c))
                    m->HidePopup();
                else if (auto* e = dynamic_cast<TGuiEnum*>(c))
                    e->CloseList();
            });
        }
        return TCustomControl::WndProc(msg, w, l);
    default:
        return TCustomControl::WndProc(msg, w, l);
    }
}
