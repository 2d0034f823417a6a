#include "platform/forms/form.h"

#include "platform/forms/application.h"
#include "platform/forms/buttons.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/modal.h"
#include "platform/window/paint.h"

#include <algorithm>
#include <functional>

namespace platform {
namespace {

TForm::ShortCutHandler& ShortCuts() {
    static TForm::ShortCutHandler handler;
    return handler;
}

bool Within(const TControl* c, const TControl* ancestor) {
    for (; c; c = c->GetParent())
        if (c == ancestor) return true;
    return false;
}

constexpr char kMdiClientClass[] = "MDICLIENT";

void RegisterMdiClient() {
    static bool done = false;
    if (done) return;
    WNDCLASS wc;
    wc.lpszClassName = kMdiClientClass;
    wc.hbrBackground = HBRUSH_WND(COLOR_APPWORKSPACE + 1);
    wc.hCursor = IDC_ARROW;
    RegisterClass(wc);
    done = true;
}

} // namespace

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner) {
    visible_ = false;
    width_ = 320;
    height_ = 240;
    left_ = 0;
    top_ = 0;
    Handle();
}

TForm::~TForm() {
    *alive_ = false;
    if (!destroyedEvent_) DoDestroy();
    BeginDestroy();
    if (Application && Application->MainForm == this) Application->MainForm = nullptr;
    if (Reference && *Reference == this) *Reference = nullptr;
    // The controls go while the form is still a form.
    DestroyComponents();
    while (ControlCount() > 0)
        delete Controls(ControlCount() - 1);
    activeControl_ = entered_ = nullptr;
}

void TForm::DoCreate() {
    if (createdEvent_) return;
    createdEvent_ = true;
    Fire(OnCreate, this);
}

void TForm::DoDestroy() {
    if (destroyedEvent_) return;
    destroyedEvent_ = true;
    Fire(OnDestroy, this);
}

void TForm::Free() {
    DoDestroy();
    delete this;
}

void TForm::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.Style = WS_CLIPCHILDREN;
    p.ExStyle = 0;
    p.WndParent = 0;
    switch (borderStyle_) {
    case bsNone:
        p.Style |= WS_POPUP;
        break;
    case bsSingle:
        p.Style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_BORDER;
        break;
    case bsSizeable:
        p.Style |= WS_OVERLAPPEDWINDOW;
        break;
    case bsDialog:
        p.Style |= WS_CAPTION | WS_SYSMENU | WS_DLGFRAME;
        p.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    case bsToolWindow:
        p.Style |= WS_CAPTION | WS_SYSMENU | WS_BORDER;
        p.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    case bsSizeToolWin:
        p.Style |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        p.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    }
    if (!(borderIcons_ & biSystemMenu)) p.Style &= ~WS_SYSMENU;
    if (!(borderIcons_ & biMinimize)) p.Style &= ~WS_MINIMIZEBOX;
    if (!(borderIcons_ & biMaximize)) p.Style &= ~WS_MAXIMIZEBOX;
    if (formStyle_ == fsStayOnTop) p.ExStyle |= WS_EX_TOPMOST;
    if (formStyle_ == fsMDIChild) {
        TForm* frame = Application ? Application->MainForm : nullptr;
        if (!frame || frame == this || frame->formStyle_ != fsMDIForm || !frame->clientHandle_)
            throw EInvalidOperation("Cannot create form. No MDI forms are currently active");
        p.Style = (p.Style & ~WS_POPUP) | WS_CHILD | WS_CLIPSIBLINGS;
        p.ExStyle |= WS_EX_MDICHILD;
        p.WndParent = frame->clientHandle_;
    }
    if (visible_) p.Style |= WS_VISIBLE;
    if (!enabled_) p.Style |= WS_DISABLED;
}

void TForm::CreateWnd() {
    SetKeyPreview(keyPreview_);
    if (formStyle_ == fsMDIForm && !clientHandle_) {
        RegisterMdiClient();
        TRect r = ClientRect();
        clientHandle_ = CreateWindowEx(WS_EX_CLIENTEDGE, kMdiClientClass, "",
                                       WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, r.Width(),
                                       r.Height(), ExistingHandle());
        Realign();
    }
    ApplyMenu();
}

void TForm::UpdateStyles() {
    if (!HandleAllocated()) return;
    // Styles decide the kind of window: make it anew, the controls with it.
    const bool wasVisible = visible_;
    HWND old = ExistingHandle();
    if (clientHandle_) clientHandle_ = 0;
    TCreateParams p;
    CreateParams(p); // may refuse before anything is lost
    DestroyHandle();
    (void)old;
    visible_ = false;
    CreateHandle();
    if (wasVisible) SetVisible(true);
}

void TForm::SetBorderStyle(TFormBorderStyle v) {
    if (v == borderStyle_) return;
    borderStyle_ = v;
    UpdateStyles();
}

void TForm::SetBorderIcons(TBorderIcons v) {
    if (v == borderIcons_) return;
    borderIcons_ = v;
    UpdateStyles();
}

void TForm::SetFormStyle(TFormStyle v) {
    if (v == formStyle_) return;
    const TFormStyle old = formStyle_;
    formStyle_ = v;
    try {
        UpdateStyles();
    } catch (...) {
        formStyle_ = old;
        UpdateStyles();
        throw;
    }
}

TWindowState TForm::GetWindowState() const {
    if (HWND h = ExistingHandle()) {
        if (IsIconic(h)) return wsMinimized;
        if (IsZoomed(h)) return wsMaximized;
        if (IsWindowVisible(h)) return wsNormal;
    }
    return state_;
}

void TForm::SetWindowState(TWindowState v) {
    state_ = v;
    if (!visible_ || !HandleAllocated()) return;
    ShowWindow(ExistingHandle(), v == wsMinimized   ? SW_SHOWMINIMIZED
                                 : v == wsMaximized ? SW_SHOWMAXIMIZED
                                                    : SW_RESTORE);
}

void TForm::SetKeyPreview(bool v) {
    keyPreview_ = v;
    if (HandleAllocated()) ::platform::SetKeyPreview(ExistingHandle(), v);
}

TPoint TForm::ClientOrigin() const {
    TPoint p{0, 0};
    if (HWND h = ExistingHandle()) {
        ::platform::ClientToScreen(h, &p);
        if (GetParent()) return GetParent()->ScreenToClient(p);
    }
    return p;
}

TForm* TForm::ActiveMDIChild() const {
    if (!clientHandle_) return nullptr;
    return dynamic_cast<TForm*>(FindControl(MdiGetActive(clientHandle_)));
}

void TForm::AlignControls(TRect& rect) {
    TWinControl::AlignControls(rect);
    if (clientHandle_)
        MoveWindow(clientHandle_, rect.Left, rect.Top, rect.Width(), rect.Height(), true);
}

void TForm::PlaceOnShow() {
    if (Position != poScreenCenter || formStyle_ == fsMDIChild) return;
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    SetBounds((sw - width_) / 2, (sh - height_) / 2, width_, height_);
}

void TForm::SetVisible(bool v) {
    if (v == visible_) return;
    HWND h = Handle();
    if (v) {
        DoCreate();
        if (!shownOnce_) {
            shownOnce_ = true;
            PlaceOnShow();
        }
        DoShow();
        if (!*alive_ || visible_) return;
        visible_ = true;
        if (!IsWindow(h)) return;
        const bool noActivate = (GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_NOACTIVATE) != 0;
        ShowWindow(h, state_ == wsMinimized   ? SW_SHOWMINIMIZED
                      : state_ == wsMaximized ? SW_SHOWMAXIMIZED
                      : noActivate            ? SW_SHOWNA
                                              : SW_SHOW);
        if (!noActivate && state_ != wsMinimized) {
            // The first control is chosen before the form hears of its activation, so that its
            // activation handler may clear it again.
            if (!activeControl_) activeControl_ = FindNextControl(nullptr, true, true);
            if (formStyle_ == fsMDIChild)
                MdiActivate(h);
            else
                SetActiveWindow(h);
            if (activeControl_ && activeControl_->CanFocus())
                ::platform::SetFocus(activeControl_->Handle());
            else if (!activeControl_ && formStyle_ == fsMDIChild && Active())
                ::platform::SetFocus(h);
        }
    } else {
        visible_ = false;
        // The focused control is left (OnExit) when the form goes away.
        if (entered_) {
            TWinControl* e = entered_;
            entered_ = nullptr;
            ExitChain(e, this);
        }
        if (IsWindow(h)) ShowWindow(h, SW_HIDE);
        DoHide();
    }
}

void TForm::Show() {
    SetVisible(true);
    if (HWND h = ExistingHandle(); h && IsWindowVisible(h)) {
        if (formStyle_ == fsMDIChild)
            MdiActivate(h);
        else if (!(GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_NOACTIVATE))
            SetActiveWindow(h);
    }
}

bool TForm::Active() const {
    HWND h = ExistingHandle();
    if (!h) return false;
    if (formStyle_ == fsMDIChild)
        return MdiGetActive(GetParent() ? 0 : ::platform::GetParent(h)) == h;
    return GetActiveWindow() == h;
}

void TForm::SetActiveControl(TWinControl* c) {
    if (c == this) c = nullptr;
    if (c && !Within(c, this)) return;
    if (!c) {
        if (entered_) {
            TWinControl* e = entered_;
            entered_ = nullptr;
            ExitChain(e, this);
        }
        activeControl_ = nullptr;
        // The form itself takes the keyboard, away from the control that had it, when the focus
        // is inside or the form is the active one (a control of another MDI child may have it).
        if (HWND h = ExistingHandle(); h && IsWindowVisible(h)) {
            const HWND f = GetFocus();
            const bool active = Active() && GetActiveWindow() == GetAncestor(h, GA_ROOT);
            if (f != h && ((f && IsChild(h, f)) || active)) ::platform::SetFocus(h);
        }
        return;
    }
    FocusControl(c);
}

void TForm::FocusControl(TWinControl* c) {
    if (!c->CanFocus()) throw EInvalidOperation(SCannotFocus);
    activeControl_ = c;
    HWND h = ExistingHandle();
    if (!h || !IsWindowVisible(h)) return;
    const bool active = formStyle_ == fsMDIChild ? true : GetActiveWindow() == h;
    if (active) ::platform::SetFocus(c->Handle());
}

void TForm::ExitChain(TWinControl* from, TControl* keep) {
    if (Going()) return;
    for (TWinControl* c = from; c && c != keep && c != this; c = c->GetParent())
        c->DoExit();
}

void TForm::EnterChain(TWinControl* to, TControl* keep) {
    if (Going()) return;
    std::vector<TWinControl*> chain;
    for (TWinControl* c = to; c && c != keep && c != this; c = c->GetParent())
        chain.push_back(c);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        (*it)->DoEnter();
}

void TForm::FocusEntered(TWinControl* c) {
    if (c == this) return;
    activeControl_ = c;
    if (entered_ == c) return;
    // The nearest container of both: the chain between is left and entered.
    TControl* common = this;
    for (TControl* a = entered_; a && a != this; a = a->GetParent())
        if (Within(c, a)) {
            common = a;
            break;
        }
    TWinControl* old = entered_;
    entered_ = c;
    if (old) ExitChain(old, common);
    EnterChain(c, common);
    BroadcastFocus(c);
}

void TForm::BroadcastFocus(TWinControl* focused) {
    std::vector<TWinControl*> all;
    GetTabOrderList(all);
    for (TWinControl* w : all)
        w->FocusChanged(focused);
    UpdateDialogButtons();
}

bool TForm::DialogCharToControls(char32_t ch) {
    std::vector<TControl*> all;
    std::function<void(TWinControl*)> walk = [&](TWinControl* p) {
        for (int i = 0; i < p->ControlCount(); ++i) {
            TControl* c = p->Controls(i);
            if (!c->GetVisible() || !c->GetEnabled() || dynamic_cast<TForm*>(c)) continue;
            all.push_back(c);
            if (auto* w = dynamic_cast<TWinControl*>(c)) walk(w);
        }
    };
    walk(this);
    for (TControl* c : all)
        if (c->DialogChar(ch)) return true;
    return false;
}

void TForm::UpdateDialogButtons() {
    if (!HandleAllocated()) return;
    std::vector<TWinControl*> all;
    GetTabOrderList(all);
    TButton* def = dynamic_cast<TButton*>(activeControl_);
    TButton* cancel = nullptr;
    for (TWinControl* w : all)
        if (auto* b = dynamic_cast<TButton*>(w); b && b->ParentForm() == this) {
            if (!def && b->GetDefault()) def = b;
            if (!cancel && b->GetCancel()) cancel = b;
        }
    SetDialogButtons(ExistingHandle(), def ? def->Handle() : 0, cancel ? cancel->Handle() : 0);
}

void TForm::ControlHidden(TWinControl* c) {
    if (!activeControl_ || !Within(activeControl_, c)) return;
    if (entered_ && Within(entered_, c)) {
        TWinControl* e = entered_;
        entered_ = nullptr;
        ExitChain(e, this);
    }
    activeControl_ = nullptr;
    if (HWND h = ExistingHandle();
        h && c->HandleAllocated() &&
        (GetFocus() == c->ExistingHandle() || IsChild(c->ExistingHandle(), GetFocus())))
        ::platform::SetFocus(h);
}

void TForm::ControlGoing(TControl* c) {
    if (activeControl_ && Within(activeControl_, c)) activeControl_ = nullptr;
    if (entered_ && Within(entered_, c)) entered_ = nullptr;
}

bool TForm::CloseQuery() {
    if (formStyle_ == fsMDIForm && clientHandle_) {
        for (HWND h : ChildWindows(clientHandle_))
            if (auto* f = dynamic_cast<TForm*>(FindControl(h)); f && !f->CloseQuery()) return false;
    }
    bool can = true;
    if (!Going()) Fire(OnCloseQuery, this, can);
    return can;
}

void TForm::DoClose(TCloseAction& action) {
    if (!Going()) Fire(OnClose, this, action);
}

void TForm::Close() {
    if (modal_) {
        ModalResult = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = formStyle_ == fsMDIChild ? caMinimize : caHide;
    DoClose(action);
    if (action == caNone) return;
    if (Application && Application->MainForm == this) {
        Application->Terminate();
        return;
    }
    switch (action) {
    case caHide:
        Hide();
        break;
    case caMinimize:
        SetWindowState(wsMinimized);
        break;
    case caFree:
        Release();
        break;
    default:
        break;
    }
}

void TForm::CloseModal() {
    TCloseAction action = caNone;
    if (CloseQuery()) {
        action = caHide;
        DoClose(action);
    }
    if (action == caNone)
        ModalResult = mrNone;
    else if (action == caFree)
        Release();
}

TModalResult TForm::ShowModal() {
    if (visible_ || !enabled_ || modal_)
        throw EInvalidOperation("Cannot make a visible window modal");
    std::shared_ptr<bool> alive = alive_;
    ModalResult = mrNone;
    modal_ = true;
    // The focus comes back where it was when the form closes.
    const HWND focus = GetFocus();
    Show();
    HWND h = ExistingHandle();
    if (*alive && IsWindow(h)) {
        RunModalLoop(h, [this, alive] {
            if (!*alive) return true;
            if (Application && Application->Terminated()) {
                if (ModalResult == mrNone) ModalResult = mrCancel;
                return true;
            }
            if (ModalResult != mrNone) Guarded([this] { CloseModal(); });
            return ModalResult != mrNone;
        });
    }
    if (!*alive) return mrCancel;
    modal_ = false;
    if (ModalResult == mrNone) ModalResult = mrCancel;
    const TModalResult result = ModalResult;
    Hide();
    if (IsWindow(focus) && IsWindowVisible(focus)) ::platform::SetFocus(focus);
    if (releasePending_) {
        releasePending_ = false;
        Release();
    }
    return result;
}

void TForm::Release() {
    if (HWND h = Handle()) PostMessage(h, CM_RELEASE, 0, 0);
}

bool TForm::IsShortCut(std::uint16_t key, TShiftState shift) {
    return ShortCuts() && ShortCuts()(this, key, shift);
}

void TForm::SetShortCutHandler(ShortCutHandler handler) {
    ShortCuts() = std::move(handler);
}

void TForm::DoShow() {
    if (!Going()) Fire(OnShow, this);
}

void TForm::DoHide() {
    if (!Going()) Fire(OnHide, this);
}

void TForm::Activate() {
    if (!Going()) Fire(OnActivate, this);
}

void TForm::Deactivate() {
    if (!Going()) Fire(OnDeactivate, this);
}

void TForm::Resize() {
    if (!Going()) Fire(OnResize, this);
}

void TForm::Paint() {
    if (!Going()) Fire(OnPaint, this);
}

void TForm::PaintWindow(HDC dc) {
    canvas_.SetHandle(dc);
    canvas_.Font = Font.Get();
    canvas_.Brush.Color = GetColor();
    Guarded([this] { Paint(); });
    canvas_.SetHandle(0);
}

LRESULT TForm::WndProc(UINT msg, WPARAM w, LPARAM l) {
    // A form that goes hears only the default handling (a release still pending among them).
    if (Going()) return DefaultHandler(msg, w, l);
    switch (msg) {
    case WM_ACTIVATE:
        if (LOWORD(w) != WA_INACTIVE) {
            Activate();
            if (activeControl_ && activeControl_->HandleAllocated() &&
                GetFocus() != activeControl_->ExistingHandle() && activeControl_->CanFocus())
                ::platform::SetFocus(activeControl_->ExistingHandle());
        } else {
            Deactivate();
        }
        return DefaultHandler(msg, w, l);
    case WM_MDIACTIVATE:
        if (HWND(l) == ExistingHandle())
            Activate();
        else if (HWND(w) == ExistingHandle())
            Deactivate();
        ApplyMenu(); // the frame's bar merges the active child's menu
        return DefaultHandler(msg, w, l);
    case WM_CLOSE:
        Close();
        return 0;
    case WM_SIZE: {
        LRESULT r = TWinControl::WndProc(msg, w, l);
        if (w == SIZE_MINIMIZED)
            state_ = wsMinimized;
        else if (w == SIZE_MAXIMIZED)
            state_ = wsMaximized;
        else if (visible_)
            state_ = wsNormal;
        // The main form's window minimised or restored by the user is the application's.
        if (Application && Application->MainForm == this) {
            if (w == SIZE_MINIMIZED)
                Application->Minimize();
            else if (Application->Minimized())
                Application->Restore();
        }
        Resize();
        return r;
    }
    case WM_SYSCOMMAND:
        if ((w & 0xFFF0) == 0xF020 /* SC_MINIMIZE */ && Application &&
            Application->MainForm == this) {
            Application->Minimize();
            return 0;
        }
        return DefaultHandler(msg, w, l);
    case CM_RELEASE:
        if (modal_) {
            releasePending_ = true;
            return 0;
        }
        Free();
        return 0;
    case CM_KEYPREVIEW: {
        std::uint16_t key = std::uint16_t(w);
        return DoKeyDown(key, KeyboardShiftState()) ? 1 : 0;
    }
    case CM_CHARPREVIEW: {
        char32_t ch = char32_t(w);
        if (DoKeyPress(ch)) return 1;
        if (ch != char32_t(w)) {
            // Handed on changed: the focused control gets the new character.
            if (HWND f = GetFocus()) SendMessage(f, WM_CHAR, WPARAM(ch), l);
            return 1;
        }
        return 0;
    }
    default:
        return TWinControl::WndProc(msg, w, l);
    }
}

} // namespace platform
