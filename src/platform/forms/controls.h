#pragma once
// The form framework's class base: components with owners and names, controls with geometry,
// alignment, colours, fonts and mouse events, windowed controls with a window of the model,
// focus, tab order and keys, and windowless (graphic) controls. Forms, the application object
// and the concrete controls build on it. GUI thread only.
//
// Properties read and assign like fields where setting them does something:
//   panel->Width = 120; int w = panel->Width(); if (edit->Text == "abc") ...
// Plain data (Name, Tag, Hint, the events) are plain members.

#include "platform/gdi/canvas.h"
#include "platform/gdi/types.h"
#include "platform/window/input.h"
#include "platform/window/window.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class TComponent;
class TControl;
class TWinControl;
class TForm;
class TMainMenu;
class TPopupMenu;
class GraphicControl;

// A property: reads through Get, assigns through Set of its owner.
template <class O, class T, auto Get, auto Set> class TProperty {
public:
    explicit TProperty(O* owner) : o_(owner) {}
    TProperty(const TProperty&) = delete;
    TProperty& operator=(const T& v) {
        (o_->*Set)(v);
        return *this;
    }
    TProperty& operator=(const TProperty& other) { return *this = other(); }
    T operator()() const { return (o_->*Get)(); }
    operator T() const { return (o_->*Get)(); }
    TProperty& operator+=(const T& v) { return *this = T((o_->*Get)() + v); }
    TProperty& operator-=(const T& v) { return *this = T((o_->*Get)() - v); }
    friend bool operator==(const TProperty& p, const T& v) { return p() == v; }

private:
    O* o_;
};

// The framework's error for operations a control cannot do now.
class EInvalidOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
inline constexpr const char* SCannotFocus = "Cannot focus a disabled or invisible window";

class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Shift state of key and mouse events.
using TShiftState = unsigned;
inline constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16,
                             ssMiddle = 32, ssDouble = 64;
enum TMouseButton { mbLeft, mbRight, mbMiddle };
using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
// Key := 0 drops the key.
using TKeyEvent = std::function<void(TObject* Sender, std::uint16_t& Key, TShiftState Shift)>;
// Key := 0 drops the character; a changed character is passed on changed.
using TKeyPressEvent = std::function<void(TObject* Sender, char32_t& Key)>;

// The shift state of the keys now down (and of the buttons in a mouse message's keys).
TShiftState KeyboardShiftState();
TShiftState ShiftStateOfKeys(WPARAM mouseKeys);

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
using TCursor = int; // crDefault, crHourGlass... (input.h)

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* AOwner);
    // Destroys the owned components, last first.
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    std::string Name;
    int Tag = 0;

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return int(components_.size()); }
    TComponent* Components(int i) const { return components_.at(std::size_t(i)); }
    // The owned component of that name (case-insensitive), nullptr when none.
    TComponent* FindComponent(std::string_view name) const;
    template <class T> T* Find(std::string_view name) const {
        return dynamic_cast<T*>(FindComponent(name));
    }
    void InsertComponent(TComponent* c);
    void RemoveComponent(TComponent* c);
    bool Destroying() const { return destroying_; }

protected:
    // Another component goes away: drop references to it.
    virtual void Notification(TComponent* /*gone*/) {}
    // Sets the destroying state and frees the owned components (derived destructors call it
    // first so that owned controls go while the derived parts still stand).
    void DestroyComponents();
    // Sets the destroying state alone: a destructor that sends messages before the owned
    // components go says first that no handler of this object runs any more.
    void BeginDestroy() { destroying_ = true; }

private:
    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    bool destroying_ = false;
};

// A control's font: assigning a field marks the font as the control's own (ParentFont off)
// and repaints.
class TControlFont {
public:
    explicit TControlFont(TControl* c) : c_(c) {}
    TControlFont(const TControlFont&) = delete;
    TControlFont& operator=(const TFont& f);
    TControlFont& operator=(const TControlFont& f) { return *this = f.Get(); }
    const TFont& Get() const { return f_; }
    operator const TFont&() const { return f_; }

    template <class T, T TFont::*M> class Field {
    public:
        explicit Field(TControlFont* f) : f_(f) {}
        Field(const Field&) = delete;
        Field& operator=(const T& v) {
            TFont n = f_->f_;
            n.*M = v;
            *f_ = n;
            return *this;
        }
        T operator()() const { return f_->f_.*M; }
        operator T() const { return f_->f_.*M; }

    private:
        TControlFont* f_;
    };
    Field<std::string, &TFont::Name> Name{this};
    Field<TColor, &TFont::Color> Color{this};
    Field<int, &TFont::Height> Height{this};
    Field<TFontStyles, &TFont::Style> Style{this};
    int Size() const { return f_.Size(); }
    void SetSize(int points) {
        TFont n = f_;
        n.SetSize(points);
        *this = n;
    }

private:
    friend class TControl;
    TControl* c_;
    TFont f_;
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    virtual std::string_view ClassName() const { return "TControl"; }

    TWinControl* GetParent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);
    TProperty<TControl, TWinControl*, &TControl::GetParent, &TControl::SetParent> Parent{this};

    // Geometry in the parent's client coordinates (screen coordinates for a form).
    int GetLeft() const { return left_; }
    int GetTop() const { return top_; }
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    TProperty<TControl, int, &TControl::GetLeft, &TControl::SetLeft> Left{this};
    TProperty<TControl, int, &TControl::GetTop, &TControl::SetTop> Top{this};
    TProperty<TControl, int, &TControl::GetWidth, &TControl::SetWidth> Width{this};
    TProperty<TControl, int, &TControl::GetHeight, &TControl::SetHeight> Height{this};
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
    void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
    // (0, 0, ClientWidth, ClientHeight).
    virtual TRect ClientRect() const { return {0, 0, width_, height_}; }
    int GetClientWidth() const { return ClientRect().Width(); }
    int GetClientHeight() const { return ClientRect().Height(); }
    virtual void SetClientSize(int width, int height);
    void SetClientWidth(int v) { SetClientSize(v, GetClientHeight()); }
    void SetClientHeight(int v) { SetClientSize(GetClientWidth(), v); }
    TProperty<TControl, int, &TControl::GetClientWidth, &TControl::SetClientWidth> ClientWidth{
        this};
    TProperty<TControl, int, &TControl::GetClientHeight, &TControl::SetClientHeight> ClientHeight{
        this};
    TPoint ClientToScreen(TPoint p) const;
    TPoint ScreenToClient(TPoint p) const;
    // The origin of the client area in the parent's client coordinates.
    virtual TPoint ClientOrigin() const;

    TAlign GetAlign() const { return align_; }
    void SetAlign(TAlign a);
    TProperty<TControl, TAlign, &TControl::GetAlign, &TControl::SetAlign> Align{this};

    bool GetVisible() const { return visible_; }
    virtual void SetVisible(bool v);
    TProperty<TControl, bool, &TControl::GetVisible, &TControl::SetVisible> Visible{this};
    // Shows the control, first asking its parents to bring it into view (a page control makes
    // the page holding it the shown one).
    void Show();
    void Hide() { SetVisible(false); }
    // Visible with every parent up to a visible form.
    bool Showing() const;

    bool GetEnabled() const { return enabled_; }
    virtual void SetEnabled(bool v);
    TProperty<TControl, bool, &TControl::GetEnabled, &TControl::SetEnabled> Enabled{this};

    // With ParentColor the control shows its parent's colour; setting Color ends that.
    TColor GetColor() const;
    virtual void SetColor(TColor c);
    TProperty<TControl, TColor, &TControl::GetColor, &TControl::SetColor> Color{this};
    bool GetParentColor() const { return parentColor_; }
    void SetParentColor(bool v);
    TProperty<TControl, bool, &TControl::GetParentColor, &TControl::SetParentColor> ParentColor{
        this};

    TControlFont Font{this};
    bool GetParentFont() const { return parentFont_; }
    void SetParentFont(bool v);
    TProperty<TControl, bool, &TControl::GetParentFont, &TControl::SetParentFont> ParentFont{this};

    // Caption and Text are the same string.
    virtual std::string GetText() const { return text_; }
    virtual void SetText(const std::string& s);
    TProperty<TControl, std::string, &TControl::GetText, &TControl::SetText> Caption{this};
    TProperty<TControl, std::string, &TControl::GetText, &TControl::SetText> Text{this};

    // Hint text, shown after the pointer rests on the control; a CR starts a new line. With
    // ParentShowHint (the default) ShowHint is the parent's; setting it ends that.
    std::string Hint;
    bool GetShowHint() const;
    void SetShowHint(bool v);
    TProperty<TControl, bool, &TControl::GetShowHint, &TControl::SetShowHint> ShowHint{this};
    bool GetParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool v) { parentShowHint_ = v; }
    TProperty<TControl, bool, &TControl::GetParentShowHint, &TControl::SetParentShowHint>
        ParentShowHint{this};

    TCursor GetCursor() const { return cursor_; }
    void SetCursor(TCursor c);
    TProperty<TControl, TCursor, &TControl::GetCursor, &TControl::SetCursor> Cursor{this};

    // The menu a right-click opens (the menus fill in how).
    TPopupMenu* PopupMenu = nullptr;

    TNotifyEvent OnClick, OnDblClick;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    virtual void Click();
    virtual void DblClick();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}

    // Alt and the accelerator character ('&' in the caption) of the control: true when it
    // acted on it.
    virtual bool DialogChar(char32_t /*ch*/) { return false; }

    virtual void Invalidate();
    virtual void Update();
    void Repaint() {
        Invalidate();
        Update();
    }
    virtual void BringToFront();
    virtual void SendToBack();

    // The form the control sits on (itself for a form), nullptr when none.
    TForm* ParentForm() const;

    // A right button release over the control shows its PopupMenu through this hook.
    using PopupHook = std::function<bool(TControl* control, TPopupMenu* menu, TPoint screen)>;
    static void SetPopupHook(PopupHook hook);

protected:
    friend class TWinControl;
    friend class TControlFont;
    // The font changed (own or inherited).
    virtual void FontChanged() { Invalidate(); }
    void ParentFontChanged();
    // Moves the control's window or graphic bounds after a change of geometry.
    virtual void BoundsChanged() {}
    // After visibility or enabled state changed.
    virtual void VisibleChanged() {}
    virtual void EnabledChanged() { Invalidate(); }
    virtual void TextChanged() { Invalidate(); }
    // Mouse message handling shared by windowed and graphic controls; true when handled.
    bool HandleMouse(UINT msg, WPARAM keys, TPoint pt);
    void RequestAlign();

    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    TAlign align_ = alNone;
    bool visible_ = true;
    bool enabled_ = true;
    TColor color_ = clBtnFace;
    bool parentColor_ = false;
    bool showHint_ = false, parentShowHint_ = true;
    bool parentFont_ = true;
    std::string text_;
    TCursor cursor_ = crDefault;
    TWinControl* parent_ = nullptr;
    bool clickPending_ = false;
};

// A control with a window of the model.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    std::string_view ClassName() const override { return "TWinControl"; }

    // The window; made when first asked for (a child needs its parent's window).
    HWND Handle();
    bool HandleAllocated() const { return handle_ != 0; }
    HWND ExistingHandle() const { return handle_; }

    int ControlCount() const { return int(controls_.size()); }
    TControl* Controls(int i) const { return controls_.at(std::size_t(i)); }

    void SetParent(TWinControl* parent) override;
    void SetBounds(int left, int top, int width, int height) override;
    TRect ClientRect() const override;
    void SetText(const std::string& s) override;
    void SetColor(TColor c) override;
    void BringToFront() override;
    void SendToBack() override;
    void Invalidate() override;
    void Update() override;

    // Alignment of the children: suspended between DisableAlign and the matching EnableAlign.
    void DisableAlign();
    void EnableAlign();
    void Realign();

    // Focus.
    bool GetTabStop() const { return tabStop_; }
    void SetTabStop(bool v) { tabStop_ = v; }
    TProperty<TWinControl, bool, &TWinControl::GetTabStop, &TWinControl::SetTabStop> TabStop{this};
    int GetTabOrder() const;
    void SetTabOrder(int v);
    TProperty<TWinControl, int, &TWinControl::GetTabOrder, &TWinControl::SetTabOrder> TabOrder{
        this};
    virtual bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();
    // The windowed children in tab order, then their children (the order Tab walks).
    void GetTabOrderList(std::vector<TWinControl*>& list) const;
    // The next (or previous) control that takes Tab after current, wrapping around; nullptr
    // when none.
    TWinControl* FindNextControl(TWinControl* current, bool forward, bool checkTabStop) const;
    void SelectNext(TWinControl* current, bool forward, bool checkTabStop);

    TNotifyEvent OnEnter, OnExit;
    TKeyEvent OnKeyDown, OnKeyUp;
    TKeyPressEvent OnKeyPress;

    // Raise the events; true when Key became 0.
    virtual bool DoKeyDown(std::uint16_t& key, TShiftState shift);
    virtual bool DoKeyUp(std::uint16_t& key, TShiftState shift);
    virtual bool DoKeyPress(char32_t& key);
    virtual void DoEnter();
    virtual void DoExit();

    // The control's message handling; the default passes on to the window class's handling.
    virtual LRESULT WndProc(UINT msg, WPARAM w, LPARAM l);
    LRESULT Perform(UINT msg, WPARAM w, LPARAM l);

protected:
    struct TCreateParams {
        std::string ClassName;
        DWORD Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
        DWORD ExStyle = 0;
        UINT ClassStyle = CS_DBLCLKS;
        HWND WndParent = 0;
        int X = 0, Y = 0, Width = 0, Height = 0;
    };
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateHandle();
    // The window exists (the place for settings that need it).
    virtual void CreateWnd() {}
    void DestroyHandle();
    // Passes a message to the window class's own handling.
    LRESULT DefaultHandler(UINT msg, WPARAM w, LPARAM l);

    // The background fill of WM_ERASEBKGND; false leaves it to the paint.
    virtual bool EraseBackground(HDC dc);
    // WM_PAINT: paints through PaintWindow between BeginPaint and EndPaint.
    virtual void PaintWindow(HDC /*dc*/) {}
    // Which keys the control keeps for itself instead of the dialog keys (DLGC_ flags).
    virtual LRESULT DialogCode() const { return 0; }
    virtual void AlignControls(TRect& rect);
    // The part of the client area that aligned children fill (inside borders and bevels).
    virtual void AdjustClientRect(TRect& /*rect*/) const {}

public:
    // The focus moved to another control of the form (sent to every control of the form).
    virtual void FocusChanged(TWinControl* /*focused*/) {}
    // A control inside wants to be shown: the default passes the request on up, for this
    // control; a container that shows one child at a time brings that child forward.
    virtual void ShowControl(TControl* control);

protected:
    void BoundsChanged() override;
    void VisibleChanged() override;
    void EnabledChanged() override;
    void FontChanged() override;

    // The key filter of a key-down: Tab moves the focus unless the control wants it, then
    // OnKeyDown. True when the key was used up; *passed is the key to hand on.
    bool HandleKeyDownFilter(WPARAM key, WPARAM* passed);
    // The tab character typed by a Tab that moved the focus: dropped.
    static bool ConsumeSwallowedTab(char32_t ch);

    void InsertControl(TControl* c);
    void RemoveControl(TControl* c);
    void ApplyZOrder(TControl* c, bool top);

private:
    friend class TControl;
    friend class TForm;
    friend class TGraphicControl;
    static LRESULT StaticProc(HWND h, UINT msg, WPARAM w, LPARAM l);

    HWND handle_ = 0;
    ::platform::WndProc classProc_;
    std::vector<TControl*> controls_; // z-order, bottom first
    std::vector<TWinControl*> tabList_;
    bool tabStop_ = false;
    int alignLevel_ = 0;
    bool alignPending_ = false;
    bool aligning_ = false;
    bool syncing_ = false; // the framework moves the window itself
};

// The control that has a window of its own and a canvas to paint it.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* AOwner);
    ~TCustomControl() override;
    std::string_view ClassName() const override { return "TCustomControl"; }
    // Valid inside Paint.
    TCanvas& Canvas() { return canvas_; }

protected:
    virtual void Paint() {}
    void PaintWindow(HDC dc) override;

private:
    TCanvas canvas_;
};

// A control without a window: it paints on its parent and gets its mouse through it.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    std::string_view ClassName() const override { return "TGraphicControl"; }

    void SetParent(TWinControl* parent) override;
    void Invalidate() override;
    void Update() override;
    void BringToFront() override;
    void SendToBack() override;
    // Valid inside Paint.
    TCanvas& Canvas() { return canvas_; }

protected:
    virtual void Paint() {}
    void BoundsChanged() override;
    void VisibleChanged() override;
    void EnabledChanged() override;

private:
    class Adapter;
    friend class Adapter;
    friend class TWinControl;
    void Attach();
    std::unique_ptr<Adapter> adapter_;
    TCanvas canvas_;
};

// The exception boundary of every message and event dispatch: a program exception ends the
// handler and shows its message (the application object's HandleException).
void HandleDispatchException();
template <class F> void Guarded(F&& f) {
    try {
        f();
    } catch (...) {
        HandleDispatchException();
    }
}
// Raises an event of the framework through the boundary.
template <class E, class... A> void Fire(const E& event, A&&... args) {
    if (event) Guarded([&] { event(std::forward<A>(args)...); });
}

// The pointer entered or left a control, a button went down or a key: what the hints hear.
void HintMouseEnter(TControl* c);
void HintMouseLeave(TControl* c);
void HintControlGoing(TControl* c);

// A windowed control goes: labels that focus it forget it (label.cpp).
void FocusControlGoing(TWinControl* c);
// A pop-up menu goes: controls that show it on a right-click forget it.
void ControlsPopupMenuGoing(TPopupMenu* menu);
void CancelHint();

// Whether caption marks ch as its accelerator ("&Open" and 'o'), without regard to case.
bool IsAccel(char32_t ch, std::string_view caption);

// The framework control of a window; nullptr for other windows.
TWinControl* FindControl(HWND h);
// The control that has the keyboard focus, nullptr when none of the framework's has it.
TWinControl* FocusedControl();

} // namespace platform
