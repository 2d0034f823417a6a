#include "platform/forms/controls.h"

#include "platform/core/nocase.h"
#include "platform/forms/form.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"
#include "platform/window/focus.h"
#include "platform/window/graphic.h"
#include "platform/window/paint.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace platform {
namespace {

std::unordered_map<HWND, TWinControl*>& ControlMap() {
    static std::unordered_map<HWND, TWinControl*> map;
    return map;
}

std::set<std::string>& Classes() {
    static std::set<std::string> names;
    return names;
}

TControl::PopupHook& Popup() {
    static TControl::PopupHook hook;
    return hook;
}

// A Tab that moved the focus also types a tab character; the new control must not get it.
bool g_swallowTab = false;

TPoint PointOf(LPARAM l) {
    return {std::int16_t(LOWORD(l)), std::int16_t(HIWORD(l))};
}

} // namespace

TShiftState KeyboardShiftState() {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) & 0x8000) s |= ssShift;
    if (GetKeyState(VK_CONTROL) & 0x8000) s |= ssCtrl;
    if (GetKeyState(VK_MENU) & 0x8000) s |= ssAlt;
    return s;
}

TShiftState ShiftStateOfKeys(WPARAM keys) {
    TShiftState s = 0;
    if (keys & MK_SHIFT) s |= ssShift;
    if (keys & MK_CONTROL) s |= ssCtrl;
    if (GetKeyState(VK_MENU) & 0x8000) s |= ssAlt;
    if (keys & MK_LBUTTON) s |= ssLeft;
    if (keys & MK_RBUTTON) s |= ssRight;
    if (keys & MK_MBUTTON) s |= ssMiddle;
    return s;
}

// ---- TComponent

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    DestroyComponents();
    if (owner_) owner_->RemoveComponent(this);
}

void TComponent::DestroyComponents() {
    destroying_ = true;
    while (!components_.empty()) {
        TComponent* c = components_.back();
        components_.pop_back();
        c->owner_ = nullptr;
        delete c;
    }
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (SameText(c->Name, name)) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* c) {
    if (!c || c->owner_ == this) return;
    if (c->owner_) c->owner_->RemoveComponent(c);
    components_.push_back(c);
    c->owner_ = this;
}

void TComponent::RemoveComponent(TComponent* c) {
    if (!c || c->owner_ != this) return;
    std::erase(components_, c);
    c->owner_ = nullptr;
    Notification(c);
}

// ---- TControlFont

TControlFont& TControlFont::operator=(const TFont& f) {
    c_->parentFont_ = false;
    if (f == f_) return *this;
    f_ = f;
    c_->FontChanged();
    return *this;
}

// ---- TControl

namespace {

// The live controls, so that a pop-up menu going away can be taken out of their PopupMenu.
std::unordered_set<TControl*>& Controls() {
    static auto* all = new std::unordered_set<TControl*>;
    return *all;
}

} // namespace

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
    Controls().insert(this);
}

TControl::~TControl() {
    Controls().erase(this);
    HintControlGoing(this);
    if (TForm* f = ParentForm(); f && f != this) f->ControlGoing(this);
    if (parent_) parent_->RemoveControl(this);
}

void ControlsPopupMenuGoing(TPopupMenu* menu) {
    for (TControl* c : Controls())
        if (c->PopupMenu == menu) c->PopupMenu = nullptr;
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent_) parent_->RemoveControl(this);
    parent_ = parent;
    if (parent_) {
        parent_->InsertControl(this);
        if (parentFont_) ParentFontChanged();
    }
}

void TControl::SetBounds(int left, int top, int width, int height) {
    width = std::max(0, width);
    height = std::max(0, height);
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    BoundsChanged();
    if (align_ != alNone) RequestAlign();
}

void TControl::SetClientSize(int width, int height) {
    TRect c = ClientRect();
    SetBounds(left_, top_, width_ + width - c.Width(), height_ + height - c.Height());
}

TPoint TControl::ClientOrigin() const {
    return {left_, top_};
}

TPoint TControl::ClientToScreen(TPoint p) const {
    TPoint o = ClientOrigin();
    p.X += o.X;
    p.Y += o.Y;
    return parent_ ? parent_->ClientToScreen(p) : p;
}

TPoint TControl::ScreenToClient(TPoint p) const {
    TPoint o = ClientToScreen({0, 0});
    return {p.X - o.X, p.Y - o.Y};
}

void TControl::RequestAlign() {
    if (parent_) parent_->Realign();
}

void TControl::SetAlign(TAlign a) {
    if (a == align_) return;
    align_ = a;
    RequestAlign();
}

void TControl::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    VisibleChanged();
    if (align_ != alNone) RequestAlign();
}

bool TControl::Showing() const {
    for (const TControl* c = this; c; c = c->parent_) {
        if (!c->visible_) return false;
        if (!c->parent_) return dynamic_cast<const TForm*>(c) != nullptr;
    }
    return false;
}

void TControl::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    EnabledChanged();
}

TColor TControl::GetColor() const {
    return parentColor_ && parent_ ? parent_->GetColor() : color_;
}

void TControl::SetColor(TColor c) {
    parentColor_ = false;
    if (c == color_) return;
    color_ = c;
    Invalidate();
}

void TControl::SetParentColor(bool v) {
    if (v == parentColor_) return;
    parentColor_ = v;
    Invalidate();
}

void TControl::SetParentFont(bool v) {
    parentFont_ = v;
    if (v) ParentFontChanged();
}

void TControl::ParentFontChanged() {
    if (!parentFont_ || !parent_) return;
    const TFont& pf = parent_->Font.Get();
    if (pf == Font.f_) return;
    Font.f_ = pf;
    FontChanged();
}

bool TControl::GetShowHint() const {
    return parentShowHint_ && parent_ ? parent_->GetShowHint() : showHint_;
}

void TControl::SetShowHint(bool v) {
    showHint_ = v;
    parentShowHint_ = false;
}

void TControl::SetText(const std::string& s) {
    if (s == text_) return;
    text_ = s;
    TextChanged();
}

void TControl::SetCursor(TCursor c) {
    cursor_ = c;
}

void TControl::Show() {
    if (parent_) parent_->ShowControl(this);
    SetVisible(true);
}

void TControl::Click() {
    Fire(OnClick, this);
}

void TControl::DblClick() {
    Fire(OnDblClick, this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    Fire(OnMouseDown, this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    Fire(OnMouseMove, this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    Fire(OnMouseUp, this, button, shift, x, y);
}

void TControl::Invalidate() {}
void TControl::Update() {}
void TControl::BringToFront() {}
void TControl::SendToBack() {}

TForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c->parent_)
        c = c->parent_;
    // An MDI child sits in its frame's client area but is a form of its own.
    for (const TControl* p = this; p; p = p->parent_)
        if (auto* f = dynamic_cast<const TForm*>(p)) return const_cast<TForm*>(f);
    return const_cast<TForm*>(dynamic_cast<const TForm*>(c));
}

void TControl::SetPopupHook(PopupHook hook) {
    Popup() = std::move(hook);
}

bool TControl::HandleMouse(UINT msg, WPARAM keys, TPoint pt) {
    TShiftState s = ShiftStateOfKeys(keys);
    if (msg != WM_MOUSEMOVE) CancelHint();
    switch (msg) {
    case WM_LBUTTONDOWN:
        clickPending_ = true;
        MouseDown(mbLeft, s, pt.X, pt.Y);
        return true;
    case WM_RBUTTONDOWN:
        MouseDown(mbRight, s, pt.X, pt.Y);
        return true;
    case WM_MBUTTONDOWN:
        MouseDown(mbMiddle, s, pt.X, pt.Y);
        return true;
    case WM_LBUTTONDBLCLK:
        DblClick();
        MouseDown(mbLeft, s | ssDouble, pt.X, pt.Y);
        return true;
    case WM_RBUTTONDBLCLK:
        MouseDown(mbRight, s | ssDouble, pt.X, pt.Y);
        return true;
    case WM_MBUTTONDBLCLK:
        MouseDown(mbMiddle, s | ssDouble, pt.X, pt.Y);
        return true;
    case WM_MOUSEMOVE:
        MouseMove(s, pt.X, pt.Y);
        return true;
    case WM_LBUTTONUP: {
        const bool click = clickPending_;
        clickPending_ = false;
        MouseUp(mbLeft, s, pt.X, pt.Y);
        if (click && pt.X >= 0 && pt.Y >= 0 && pt.X < width_ && pt.Y < height_) Click();
        return true;
    }
    case WM_RBUTTONUP:
        MouseUp(mbRight, s, pt.X, pt.Y);
        if (PopupMenu && Popup()) {
            TPopupMenu* menu = PopupMenu;
            TPoint screen = ClientToScreen(pt);
            Guarded([&] { Popup()(this, menu, screen); });
        }
        return true;
    case WM_MBUTTONUP:
        MouseUp(mbMiddle, s, pt.X, pt.Y);
        return true;
    default:
        return false;
    }
}

// ---- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

void TWinControl::ShowControl(TControl*) {
    if (parent_) parent_->ShowControl(this);
}

TWinControl::~TWinControl() {
    BeginDestroy();
    FocusControlGoing(this);
    // Children go with their parent.
    while (!controls_.empty())
        delete controls_.back();
    DestroyHandle();
}

void TWinControl::CreateParams(TCreateParams& p) {
    p.ClassName = std::string(ClassName());
    if (visible_) p.Style |= WS_VISIBLE;
    if (!enabled_) p.Style |= WS_DISABLED;
    if (tabStop_) p.Style |= WS_TABSTOP;
    p.X = left_;
    p.Y = top_;
    p.Width = width_;
    p.Height = height_;
    if (parent_) p.WndParent = parent_->Handle();
}

HWND TWinControl::Handle() {
    if (!handle_) CreateHandle();
    return handle_;
}

void TWinControl::CreateHandle() {
    if (handle_) return;
    TCreateParams p;
    CreateParams(p);
    if ((p.Style & WS_CHILD) && !p.WndParent) return;
    if (!Classes().count(p.ClassName)) {
        WNDCLASS wc;
        wc.style = p.ClassStyle;
        wc.lpfnWndProc = &TWinControl::StaticProc;
        wc.hCursor = IDC_ARROW;
        wc.lpszClassName = p.ClassName;
        RegisterClass(wc);
        Classes().insert(p.ClassName);
    }
    classProc_ = nullptr;
    syncing_ = true;
    HWND h = CreateWindowEx(p.ExStyle, p.ClassName, text_, p.Style, p.X, p.Y, p.Width, p.Height,
                            p.WndParent, 0, this);
    syncing_ = false;
    if (!h) return;
    handle_ = h;
    ControlMap()[h] = this;
    // Children made before the window get theirs now, in z-order.
    for (TControl* c : controls_) {
        if (auto* w = dynamic_cast<TWinControl*>(c))
            w->CreateHandle();
        else if (auto* g = dynamic_cast<TGraphicControl*>(c))
            g->Attach();
    }
    CreateWnd();
    Realign();
}

void TWinControl::DestroyHandle() {
    if (!handle_) return;
    HWND h = handle_;
    ControlMap().erase(h);
    handle_ = 0;
    SetWindowLongPtr(h, GWLP_USERDATA, 0);
    DestroyWindow(h);
}

LRESULT TWinControl::StaticProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    TWinControl* c = nullptr;
    if (msg == WM_NCCREATE) {
        c = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCT*>(l)->lpCreateParams);
        SetWindowLongPtr(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(c));
        if (c) {
            c->handle_ = h;
            ControlMap()[h] = c;
        }
    } else {
        c = reinterpret_cast<TWinControl*>(GetWindowLongPtr(h, GWLP_USERDATA));
    }
    if (!c) return DefWindowProc(h, msg, w, l);
    if (msg == WM_NCDESTROY) {
        ControlMap().erase(h);
        if (c->handle_ == h) c->handle_ = 0;
        return DefWindowProc(h, msg, w, l);
    }
    LRESULT r = 0;
    try {
        r = c->WndProc(msg, w, l);
    } catch (...) {
        HandleDispatchException();
    }
    return r;
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM w, LPARAM l) {
    if (!handle_) return 0;
    if (classProc_) return CallWindowProc(classProc_, handle_, msg, w, l);
    return DefWindowProc(handle_, msg, w, l);
}

LRESULT TWinControl::Perform(UINT msg, WPARAM w, LPARAM l) {
    return WndProc(msg, w, l);
}

bool TWinControl::EraseBackground(HDC dc) {
    TRect r;
    GetClientRect(handle_, &r);
    HBRUSH b = CreateSolidBrush(ColorToRGB(GetColor()));
    FillRect(dc, &r, b);
    DeleteObject(b);
    return true;
}

bool TWinControl::HandleKeyDownFilter(WPARAM w, WPARAM* passed) {
    g_swallowTab = false;
    CancelHint();
    std::uint16_t key = std::uint16_t(w);
    const TShiftState shift = KeyboardShiftState();
    if (key == VK_TAB && !(shift & (ssCtrl | ssAlt)) && !(DialogCode() & DLGC_WANTTAB)) {
        if (TForm* f = ParentForm()) {
            g_swallowTab = true;
            f->SelectNext(this, !(shift & ssShift), true);
            return true;
        }
    }
    const bool dropped = DoKeyDown(key, shift);
    *passed = key;
    return dropped;
}

bool TWinControl::ConsumeSwallowedTab(char32_t ch) {
    if (ch != '\t' || !g_swallowTab) return false;
    g_swallowTab = false;
    return true;
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM w, LPARAM l) {
    // A control that goes, or whose form goes, hears only the default handling: its events
    // would reach handlers whose objects are half freed.
    if (Destroying()) return DefaultHandler(msg, w, l);
    if (TForm* f = ParentForm(); f && f != this && f->Going()) return DefaultHandler(msg, w, l);
    switch (msg) {
    case WM_ERASEBKGND:
        return EraseBackground(HDC(w)) ? 1 : 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(handle_, &ps);
        HWND h = handle_;
        Guarded([&] { PaintWindow(dc); });
        if (IsWindow(h)) EndPaint(h, &ps);
        return 0;
    }
    case WM_SETFOCUS:
        if (TForm* f = ParentForm()) f->FocusEntered(this);
        return DefaultHandler(msg, w, l);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        WPARAM key = w;
        if (HandleKeyDownFilter(w, &key)) return 0;
        return DefaultHandler(msg, key, l);
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        std::uint16_t key = std::uint16_t(w);
        if (DoKeyUp(key, KeyboardShiftState())) return 0;
        return DefaultHandler(msg, key, l);
    }
    case WM_CHAR:
    case WM_SYSCHAR: {
        char32_t ch = char32_t(w);
        if (ConsumeSwallowedTab(ch)) return 0;
        if (DoKeyPress(ch)) return 0;
        if (msg == WM_SYSCHAR)
            if (TForm* f = ParentForm(); f && f->DialogCharToControls(ch)) return 0;
        return DefaultHandler(msg, WPARAM(ch), l);
    }
    case WM_GETDLGCODE:
        return DialogCode();
    case WM_SETCURSOR:
        if (LOWORD(l) == HTCLIENT && HWND(w) == handle_) {
            // A windowless control under the pointer shows its own cursor.
            TCursor c = cursor_;
            TPoint p;
            GetCursorPos(&p);
            ::platform::ScreenToClient(handle_, &p);
            for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
                TControl* g = *it;
                if (!dynamic_cast<TGraphicControl*>(g) || !g->visible_) continue;
                const TRect b = g->BoundsRect();
                if (p.X >= b.Left && p.Y >= b.Top && p.X < b.Right && p.Y < b.Bottom) {
                    if (g->cursor_ != crDefault) c = g->cursor_;
                    break;
                }
            }
            if (c != crDefault) {
                ::platform::SetCursor(CursorOf(c));
                return 1;
            }
        }
        return DefaultHandler(msg, w, l);
    case CM_MOUSEENTER:
        HintMouseEnter(this);
        MouseEnter();
        return 0;
    case CM_MOUSELEAVE:
        HintMouseLeave(this);
        MouseLeave();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (tabStop_ && CanFocus() && GetFocus() != handle_) {
            HWND h = handle_;
            SetFocus();
            if (!IsWindow(h)) return 0;
        }
        [[fallthrough]];
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        HandleMouse(msg, w, PointOf(l));
        return DefaultHandler(msg, w, l);
    case WM_SIZE:
    case WM_MOVE:
        if (!syncing_ && handle_) {
            TRect r;
            GetWindowRect(handle_, &r);
            TPoint p{r.Left, r.Top};
            if (GetWindowStyle(handle_) & WS_CHILD)
                ::platform::ScreenToClient(::platform::GetParent(handle_), &p);
            if (p.X != left_ || p.Y != top_ || r.Width() != width_ || r.Height() != height_) {
                left_ = p.X;
                top_ = p.Y;
                width_ = r.Width();
                height_ = r.Height();
                if (msg == WM_SIZE) Realign();
            }
        }
        return DefaultHandler(msg, w, l);
    default:
        return DefaultHandler(msg, w, l);
    }
}

bool TWinControl::DoKeyDown(std::uint16_t& key, TShiftState shift) {
    Fire(OnKeyDown, this, key, shift);
    return key == 0;
}

bool TWinControl::DoKeyUp(std::uint16_t& key, TShiftState shift) {
    Fire(OnKeyUp, this, key, shift);
    return key == 0;
}

bool TWinControl::DoKeyPress(char32_t& key) {
    Fire(OnKeyPress, this, key);
    return key == 0;
}

void TWinControl::DoEnter() {
    Fire(OnEnter, this);
}

void TWinControl::DoExit() {
    Fire(OnExit, this);
}

void TWinControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    TControl::SetParent(parent);
    if (handle_) {
        if (parent_ && parent_->handle_) {
            ::platform::SetParent(handle_, parent_->handle_);
            syncing_ = true;
            MoveWindow(handle_, left_, top_, width_, height_, true);
            syncing_ = false;
        } else {
            // No window to live in: made again when the new parent gets its own.
            DestroyHandle();
        }
    } else if (parent_ && parent_->handle_) {
        CreateHandle();
    }
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
}

void TWinControl::BoundsChanged() {
    if (handle_) {
        syncing_ = true;
        MoveWindow(handle_, left_, top_, width_, height_, true);
        syncing_ = false;
    }
    Realign();
}

TRect TWinControl::ClientRect() const {
    TRect r;
    if (handle_ && GetClientRect(handle_, &r)) return r;
    return {0, 0, width_, height_};
}

void TWinControl::SetText(const std::string& s) {
    if (s == text_) return;
    text_ = s;
    if (handle_) SetWindowText(handle_, s);
    TextChanged();
}

void TWinControl::SetColor(TColor c) {
    parentColor_ = false;
    if (c == color_) return;
    color_ = c;
    if (handle_) InvalidateRect(handle_, nullptr, true);
    for (TControl* child : controls_)
        if (child->parentColor_) child->Invalidate();
}

void TWinControl::Invalidate() {
    if (handle_) InvalidateRect(handle_, nullptr, true);
}

void TWinControl::Update() {
    if (handle_) UpdateWindow(handle_);
}

void TWinControl::BringToFront() {
    if (parent_) parent_->ApplyZOrder(this, true);
    if (handle_)
        SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::SendToBack() {
    if (parent_) parent_->ApplyZOrder(this, false);
    if (handle_)
        SetWindowPos(handle_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::ApplyZOrder(TControl* c, bool top) {
    auto it = std::find(controls_.begin(), controls_.end(), c);
    if (it == controls_.end()) return;
    controls_.erase(it);
    if (top)
        controls_.push_back(c);
    else
        controls_.insert(controls_.begin(), c);
}

void TWinControl::VisibleChanged() {
    if (handle_) ShowWindow(handle_, visible_ ? SW_SHOWNA : SW_HIDE);
    if (!visible_)
        if (TForm* f = ParentForm(); f && f != this) f->ControlHidden(this);
}

void TWinControl::EnabledChanged() {
    if (handle_) EnableWindow(handle_, enabled_);
    if (!enabled_)
        if (TForm* f = ParentForm(); f && f != this) f->ControlHidden(this);
    Invalidate();
}

void TWinControl::FontChanged() {
    Invalidate();
    for (TControl* c : controls_)
        c->ParentFontChanged();
}

void TWinControl::InsertControl(TControl* c) {
    controls_.push_back(c);
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
        tabList_.push_back(w);
        if (handle_) w->CreateHandle();
    } else if (auto* g = dynamic_cast<TGraphicControl*>(c)) {
        g->Attach();
    }
    if (c->align_ != alNone) Realign();
}

void TWinControl::RemoveControl(TControl* c) {
    std::erase(controls_, c);
    // By address: from ~TControl the object is no longer a TWinControl to dynamic_cast, and a
    // freed control left in the tab list would be walked by the next Tab.
    std::erase_if(tabList_, [c](TWinControl* w) { return static_cast<TControl*>(w) == c; });
    c->parent_ = nullptr;
    if (auto* g = dynamic_cast<TGraphicControl*>(c)) g->Attach();
    if (c->align_ != alNone && !Destroying()) Realign();
}

void TWinControl::DisableAlign() {
    ++alignLevel_;
}

void TWinControl::EnableAlign() {
    if (alignLevel_ > 0 && --alignLevel_ == 0 && alignPending_) {
        alignPending_ = false;
        Realign();
    }
}

void TWinControl::Realign() {
    if (alignLevel_ > 0) {
        alignPending_ = true;
        return;
    }
    if (aligning_) return;
    aligning_ = true;
    TRect r = ClientRect();
    AdjustClientRect(r);
    AlignControls(r);
    aligning_ = false;
}

void TWinControl::AlignControls(TRect& rect) {
    for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
        std::vector<TControl*> list;
        for (TControl* c : controls_)
            if (c->align_ == a && c->visible_) list.push_back(c);
        std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
            switch (a) {
            case alTop:
                return x->top_ < y->top_;
            case alBottom:
                return x->top_ + x->height_ > y->top_ + y->height_;
            case alLeft:
                return x->left_ < y->left_;
            case alRight:
                return x->left_ + x->width_ > y->left_ + y->width_;
            default:
                return false;
            }
        });
        for (TControl* c : list) {
            const int w = c->width_, h = c->height_;
            switch (a) {
            case alTop:
                c->SetBounds(rect.Left, rect.Top, rect.Width(), h);
                rect.Top += h;
                break;
            case alBottom:
                c->SetBounds(rect.Left, rect.Bottom - h, rect.Width(), h);
                rect.Bottom -= h;
                break;
            case alLeft:
                c->SetBounds(rect.Left, rect.Top, w, rect.Height());
                rect.Left += w;
                break;
            case alRight:
                c->SetBounds(rect.Right - w, rect.Top, w, rect.Height());
                rect.Right -= w;
                break;
            default:
                c->SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
                break;
            }
        }
    }
}

int TWinControl::GetTabOrder() const {
    if (!parent_) return -1;
    const auto& l = parent_->tabList_;
    auto it = std::find(l.begin(), l.end(), this);
    return it == l.end() ? -1 : int(it - l.begin());
}

void TWinControl::SetTabOrder(int v) {
    if (!parent_) return;
    auto& l = parent_->tabList_;
    std::erase(l, this);
    v = std::clamp(v, 0, int(l.size()));
    l.insert(l.begin() + v, this);
}

bool TWinControl::CanFocus() const {
    // The form itself may still be hidden: the focus then waits for it to show.
    for (const TControl* c = this; c; c = c->parent_) {
        if (dynamic_cast<const TForm*>(c)) return c == this ? c->visible_ && c->enabled_ : true;
        if (!c->visible_ || !c->enabled_) return false;
    }
    return false;
}

bool TWinControl::Focused() const {
    return handle_ && GetFocus() == handle_;
}

void TWinControl::SetFocus() {
    TForm* f = ParentForm();
    if (f && f != this) {
        f->FocusControl(this);
        return;
    }
    if (HWND h = Handle()) ::platform::SetFocus(h);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
    for (TWinControl* c : tabList_) {
        list.push_back(c);
        c->GetTabOrderList(list);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward,
                                          bool checkTabStop) const {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return nullptr;
    const int n = int(list.size());
    int start = -1;
    for (int i = 0; i < n; ++i)
        if (list[std::size_t(i)] == current) start = i;
    if (start < 0) start = forward ? n - 1 : 0;
    int i = start;
    for (int step = 0; step < n; ++step) {
        i = forward ? (i + 1) % n : (i + n - 1) % n;
        TWinControl* c = list[std::size_t(i)];
        if (c == current) break;
        if (c->CanFocus() && (!checkTabStop || c->tabStop_) && dynamic_cast<TForm*>(c) == nullptr)
            return c;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool forward, bool checkTabStop) {
    if (TWinControl* c = FindNextControl(current, forward, checkTabStop)) c->SetFocus();
}

// ---- TCustomControl

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {}
TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC dc) {
    canvas_.SetHandle(dc);
    canvas_.Font = Font.Get();
    canvas_.Brush.Color = GetColor();
    Guarded([this] { Paint(); });
    canvas_.SetHandle(0);
}

// ---- TGraphicControl

class TGraphicControl::Adapter : public GraphicControl {
public:
    Adapter(HWND parent, TGraphicControl* c) : GraphicControl(parent), c_(c) {}
    void Paint(std::uintptr_t dc) override {
        c_->canvas_.SetHandle(dc);
        c_->canvas_.Font = c_->Font.Get();
        c_->canvas_.Brush.Color = c_->GetColor();
        Guarded([this] { c_->Paint(); });
        c_->canvas_.SetHandle(0);
    }
    void MouseMessage(UINT msg, WPARAM keys, TPoint pt) override {
        Guarded([&] { c_->HandleMouse(msg, keys, pt); });
    }
    void MouseEnter() override {
        HintMouseEnter(c_);
        Guarded([this] { c_->MouseEnter(); });
    }
    void MouseLeave() override {
        HintMouseLeave(c_);
        Guarded([this] { c_->MouseLeave(); });
    }

private:
    TGraphicControl* c_;
};

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}

TGraphicControl::~TGraphicControl() {
    adapter_.reset();
}

void TGraphicControl::Attach() {
    adapter_.reset();
    if (!parent_ || !parent_->HandleAllocated()) return;
    adapter_ = std::make_unique<Adapter>(parent_->ExistingHandle(), this);
    adapter_->SetBounds(BoundsRect());
    adapter_->SetEnabled(enabled_);
    adapter_->SetVisible(visible_);
}

void TGraphicControl::SetParent(TWinControl* parent) {
    TControl::SetParent(parent);
    if (!parent_) adapter_.reset();
}

void TGraphicControl::Invalidate() {
    if (adapter_ && adapter_->Parent()) adapter_->Invalidate(true);
}

void TGraphicControl::Update() {
    if (adapter_ && adapter_->Parent()) adapter_->Update();
}

void TGraphicControl::BringToFront() {
    if (parent_) parent_->ApplyZOrder(this, true);
    if (adapter_ && adapter_->Parent()) adapter_->BringToFront();
}

void TGraphicControl::SendToBack() {
    if (parent_) parent_->ApplyZOrder(this, false);
    if (adapter_ && adapter_->Parent()) adapter_->SendToBack();
}

void TGraphicControl::BoundsChanged() {
    if (adapter_ && adapter_->Parent()) adapter_->SetBounds(BoundsRect());
}

void TGraphicControl::VisibleChanged() {
    if (adapter_ && adapter_->Parent()) adapter_->SetVisible(visible_);
}

void TGraphicControl::EnabledChanged() {
    if (adapter_ && adapter_->Parent()) {
        adapter_->SetEnabled(enabled_);
        adapter_->Invalidate(true);
    }
}

bool IsAccel(char32_t ch, std::string_view caption) {
    auto lower = [](char32_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return lower(char32_t(static_cast<unsigned char>(caption[i + 1]))) == lower(ch);
    }
    return false;
}

TWinControl* FindControl(HWND h) {
    auto it = ControlMap().find(h);
    return it == ControlMap().end() ? nullptr : it->second;
}

TWinControl* FocusedControl() {
    return FindControl(GetFocus());
}

} // namespace platform
