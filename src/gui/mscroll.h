#pragma once
// The windowless control set: one real window (TMScroll) hosting any number of plain control
// objects (TGuiBase descendants) that it paints, hit-tests, routes input to and lays out.
// Every user action is reported through the host's one event, OnControl. Controls repaint
// themselves at once on the host's canvas (no invalidation), offering each paint to the loaded
// skin first (tolvern_skin.h). GUI thread only.

#include "platform/core/timers.h"
#include "platform/forms/controls.h"
#include "platform/gdi/canvas.h"
#include "tolvern_skin.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TMScroll;
class TGuiAlign;
class TGuiScrollbar;
class TGuiSize;
class TGuiPopup;

namespace MScroll {
// The control set's paint event: Sender, the canvas, the rectangle to fill and a tag. (The
// named-item canvas has its own paint event of the same name.)
using TOnPaint = std::function<void(platform::TObject* Sender, platform::TCanvas& Canvas,
                                    const platform::TRect& Rect, int Tag)>;
} // namespace MScroll

// Sender is always the host.
using TOnControl = std::function<void(platform::TObject* Sender, const std::string& AId, int AVal,
                                      const std::string& AStr)>;

enum TBkMode { bmNone, bmTransparent, bmSolid, bmBitmap };

// A key message as a form forwards it: the key code and the key data.
struct TGuiKeyMsg {
    platform::UINT Msg = platform::WM_KEYDOWN;
    platform::WPARAM Key = 0;
    platform::LPARAM KeyData = 0;
};

// The one skin object the program has connected, nil when none.
using TSkinObject = TvSkin*;

// Colours as the platform stores them (blue in the high byte).
inline constexpr platform::TColor kGuiAccent = 0xFF8080;
inline constexpr platform::TColor kGuiSilver = 0xC0C0C0;
inline constexpr platform::TColor kGuiGrey = 0x808080;
inline constexpr platform::TColor kGuiWhite = 0xFFFFFF;
inline constexpr platform::TColor kGuiBlack = 0x000000;
inline constexpr platform::TColor kGuiBlue = 0xFF0000;
inline constexpr platform::TColor kGuiRed = 0x0000FF;

// Round with halves to the even neighbour, as the processor rounds.
int GuiRound(double v);
// Per channel A + (B - A) / Divisor, rounded.
platform::TColor GuiBlendColor(platform::TColor A, platform::TColor B, double Divisor);
// The standard control face: GuiBlendColor(black, accent, 2).
platform::TColor GuiFace();
void GuiFrame(platform::TCanvas& Canvas, const platform::TRect& R, platform::TColor C1,
              platform::TColor C2);
void GuiFillRect(platform::TCanvas& Canvas, platform::TColor Colour, const platform::TRect& R);
void GuiFrameRect(platform::TCanvas& Canvas, const platform::TRect& R, platform::TColor Colour);
// Direction 1 up, 2 down, 3 left, 4 right.
void GuiArrow(platform::TCanvas& Canvas, platform::TColor Colour, const platform::TRect& R,
              int Direction);
// Direction 0 two small corner triangles; 1 up, 2 down, 3 left, 4 right.
void GuiTriangle(platform::TCanvas& Canvas, platform::TColor Colour, int Direction, int Offset,
                 const platform::TRect& R, bool Filled);
void GuiGradient(platform::TCanvas& Canvas, platform::TColor From, platform::TColor To,
                 const platform::TRect& R, bool Columns);
// "Arial" size 8 in the given colour.
platform::TFont GuiFont(platform::TColor Color = kGuiBlack);

// The root of the windowless controls: a plain object, not a component, not a window.
class TGuiBase : public platform::TObject {
public:
    explicit TGuiBase(TMScroll* AOwner);
    ~TGuiBase() override;
    TGuiBase(const TGuiBase&) = delete;
    TGuiBase& operator=(const TGuiBase&) = delete;

    std::uint16_t ShortCut = 0;
    bool Transparent = false;
    TMScroll* Owner;
    std::string Id;
    bool Focused = false;
    TGuiAlign* Parent = nullptr;
    platform::TAlign Align = platform::alNone;
    int Margin = 0;
    bool Pressed = false;
    bool Hot = false;
    bool HitTest = true;
    bool CaptureOnHover = false;
    bool Enabled = true;
    int Left = 0, Top = 0, Right = 40, Bottom = 20;
    bool AutoSize = false;
    int Tag = 0;
    int TextMargin = 0;
    platform::TCursor Cursor = platform::crDefault;
    int ScrollY = 0, ScrollX = 0;
    TGuiScrollbar* ScrollBar = nullptr;
    bool Visible = true;
    bool Keep = false;

    virtual void Changed() {}
    virtual void Paint(platform::TCanvas& /*Canvas*/) {}
    // Mouse messages forwarded from the control's pop-up window.
    virtual void PopupMouse(platform::UINT /*Msg*/, platform::TPoint /*Client*/) {}
    virtual void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                           int Y);
    virtual void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    virtual void MouseMove(platform::TShiftState /*Shift*/, int /*X*/, int /*Y*/) {}
    virtual int GetValue() { return 0; }
    virtual void GetText(std::string& S) { S.clear(); }
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void Enter() { Focused = true; }
    virtual void Exit();
    virtual void KeyDown(std::uint16_t& /*Key*/, platform::TShiftState /*Shift*/) {}
    virtual int PreferredWidth();
    virtual int PreferredHeight();
    virtual void AlignChildren() {}
    virtual bool KeyMessage(TGuiKeyMsg& /*Msg*/) { return false; }
    virtual int ContentHeight() { return GetHeight(); }
    virtual int ContentWidth() { return GetWidth(); }
    virtual bool HandleShortcut(TGuiKeyMsg& Msg);
    virtual void KeyPress(int /*Key*/) {}
    virtual void Step(int /*Delta*/) {}
    virtual void PaintCross(platform::TCanvas& /*Canvas*/) {}
    // The host drops its references before it frees a control (a popup closes, ...).
    virtual void Removing() {}

    int GetWidth();
    int GetHeight() const { return Bottom - Top; }
    void SetWidth(int W) { Right = Left + W; }
    std::string Text() {
        std::string s;
        GetText(s);
        return s;
    }
    bool IsShowing() const;
    int ParentScrollY() const;
    bool IsOutside(int X, int Y);
    void SetScrollY(int V);
    void SetScrollX(int V);
    // Repaints at once on the host's canvas.
    void Redraw();

protected:
    // Whether the pointer's coming and going repaints the control at once.
    virtual bool HoverRedraws() const { return false; }
    // The size a paint fills; false when the control does not show or has no area.
    bool PaintSize(int& W, int& H);
    // A skin record of the control's W x H rectangle where it sits in the host, less the
    // parent's scroll offsets when Scrolled.
    TvSkinPaintRec SkinRecord(int W, int H, bool Scrolled) const;
    // Calls the skin with a paint record for this control; true when it answered 1.
    bool SkinPaint(const char* Type, platform::HDC DC, TvSkinPaintRec& Rec);
    // Copies an off-screen image of the control to (Left, Top - ParentScrollY) on the target,
    // only the rows inside clip's vertical extent (no clip: all of it).
    void CopyScrolled(platform::TCanvas& Target, platform::HDC Src, TGuiBase* Clip);
    // The parent's scroll offsets (0 at top level).
    int ParentScrollYOffset() const;
    int ParentScrollXOffset() const;
};

// Off-screen drawing for opaque controls, one per nesting depth, reused between paints.
class TGuiOffscreen {
public:
    TGuiOffscreen();
    ~TGuiOffscreen();
    TGuiOffscreen(const TGuiOffscreen&) = delete;
    TGuiOffscreen& operator=(const TGuiOffscreen&) = delete;
    // A canvas of at least w x h with the origin at 0 and drawing clipped to (0, 0, w, h).
    platform::TCanvas& Begin(int w, int h);
    platform::HDC DC() const { return dc_; }

private:
    platform::HDC dc_ = 0;
    platform::HBITMAP bitmap_ = 0, old_ = 0;
    int w_ = 0, h_ = 0;
    platform::TCanvas canvas_;
};

class TMScroll : public platform::TCustomControl {
public:
    explicit TMScroll(platform::TComponent* AOwner);
    ~TMScroll() override;
    std::string_view ClassName() const override { return "TMScroll"; }

    TOnControl OnControl;
    TBkMode Gradient = bmTransparent;
    MScroll::TOnPaint OnPaint;
    MScroll::TOnPaint OnAfterPaint;

    std::vector<TGuiBase*> Controls;
    TGuiBase* CaptureControl = nullptr;
    TGuiBase* HoverControl = nullptr;
    TSkinObject Skin = nullptr;
    int Border = 0;
    TGuiSize* SizeGrip = nullptr;
    bool PassRightClick = false;
    platform::TColor BkColor = 0;
    int LayoutX = 0, LayoutY = 4;

    // The host's canvas, on a window DC: controls draw on it at once, inside and outside a
    // paint. Its DC is given back once the current message is done.
    platform::TCanvas& Canvas();
    // Text measuring in the toolkit font, also before the window exists.
    platform::TCanvas& MeasureCanvas() { return measure_; }
    // Off-screen drawing for the paint now running at this depth.
    TGuiOffscreen& Offscreen();
    void LeaveOffscreen() { --offscreenDepth_; }

    void Add(TGuiBase* Control);
    void AddMatrixedControl(TGuiBase* Control, int X, int Y, int W, int H);
    void Clear();
    void ClearAlign(TGuiAlign* Container);
    TGuiBase* GetControlAtPos(int X, int Y);
    void SetCaptureControl(TGuiBase* Control);
    TGuiBase* GetControlWithID(const std::string& AId);
    TGuiAlign* GetScrollAlign(TGuiBase* Control);
    void AlignControls();
    void Resized() { AlignControls(); }
    int ControlsHeight();
    int ControlsWidth();
    void PaintAlign(TGuiAlign* Container);
    void SelectNext();
    void KeyDown(std::uint16_t& Key, platform::TShiftState Shift);
    bool KeyboardCaptured(TGuiKeyMsg& Msg);
    void WmChar(int Key);
    void SkinDialog(platform::HWND Wnd);
    void LayoutInit() {
        LayoutX = 0;
        LayoutY = 4;
    }
    // Repaints everything.
    void Paint() override;
    // The host's cursor, shown at once while the pointer is over the host.
    void SetHostCursor(platform::TCursor C);
    // Raises OnControl with the host as Sender.
    void Report(const std::string& AId, int AVal, const std::string& AStr);

    static TGuiBase* AsGuiControl(TGuiBase* C) { return C; }
    static TGuiAlign* AsGuiAlign(TGuiAlign* C) { return C; }

    // Factories: create, set up, append.
    class TGuiLabel* AddLabel(const std::string& Caption, platform::TAlign Align,
                              TGuiAlign* Parent);
    class TGuiMenuLabel* AddMenuLabel(const std::string& Caption);
    class TGuiFader* AddFader(const std::string& Id, int Min, int Max, int Pos, int Width,
                              TGuiAlign* Parent);
    class TGuiEnum* AddEnum(const std::string& Ignored, int Width, platform::TAlign Align,
                            TGuiAlign* Parent);
    class TGuiCheck* AddCheck(const std::string& Id, const std::string& Caption, int Width,
                              platform::TAlign Align, TGuiAlign* Parent);
    class TGuiEdit* AddEdit(const std::string& Ignored, const std::string& Text, int Width,
                            TGuiAlign* Parent);
    class TGuiButton* AddButton(const std::string& Id, const std::string& Caption, int Margin,
                                TGuiAlign* Parent);
    class TGuiImageButton* AddIconButton(const std::string& Id, const std::string& Caption,
                                         int Glyph, platform::TAlign Align, int Margin,
                                         TGuiAlign* Parent, platform::HWND Wnd);
    class TGuiMenu* AddMenu(const std::string& Ignored, const std::string& Id,
                            const std::string& Caption, TGuiAlign* Parent);
    class TGuiMenu* AddSubMenu(class TGuiMenu* ParentMenu, const std::string& Id,
                               const std::string& Caption, TGuiAlign* Parent);
    TGuiAlign* AddAlign(platform::TAlign Align, int Width, int Height, TGuiAlign* Parent);
    class TGuiSplit* AddSplit(platform::TAlign Align, TGuiBase* Control, TGuiAlign* Parent);
    class TGuiDrag* AddDrag(platform::TAlign Align, const std::string& Caption, TGuiAlign* Parent,
                            platform::HWND Wnd);

    // Every live host, for the skin binding's clean-up.
    static const std::vector<TMScroll*>& Hosts();

    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    void MouseMove(platform::TShiftState Shift, int X, int Y) override;
    platform::LRESULT WndProc(platform::UINT msg, platform::WPARAM w, platform::LPARAM l) override;

protected:
    bool EraseBackground(platform::HDC) override { return true; }

private:
    friend class TGuiBase;
    bool InBorderZone(int X, int Y);
    // A control is going away: every reference to it goes too.
    void Forget(TGuiBase* C);
    void Free(TGuiBase* C);
    void ReleaseCanvas();
    void AlignPass(platform::TAlign A, int& y, int& yb, int& x, int& xr);

    platform::TCanvas canvas_;
    platform::HDC canvasDC_ = 0;
    bool releasePosted_ = false;
    int messageDepth_ = 0;
    platform::TCanvas measure_;
    platform::HDC measureDC_ = 0;
    std::vector<std::unique_ptr<TGuiOffscreen>> offscreens_;
    int offscreenDepth_ = 0;
};

// Holds an off-screen canvas of the host for one paint.
class TOffscreenScope {
public:
    TOffscreenScope(TMScroll* Host, int W, int H)
        : host_(Host), off_(Host->Offscreen()), canvas_(off_.Begin(W, H)) {}
    ~TOffscreenScope() { host_->LeaveOffscreen(); }
    TOffscreenScope(const TOffscreenScope&) = delete;
    TOffscreenScope& operator=(const TOffscreenScope&) = delete;
    platform::TCanvas& Canvas() { return canvas_; }
    platform::HDC DC() const { return off_.DC(); }

private:
    TMScroll* host_;
    TGuiOffscreen& off_;
    platform::TCanvas& canvas_;
};

// ---- Value controls

class TGuiFader : public TGuiBase {
public:
    explicit TGuiFader(TMScroll* AOwner) : TGuiBase(AOwner) {}
    int Position = 0;
    int Min = 0;
    int Max = 100;
    std::function<void(TGuiFader* Sender, platform::TMouseButton Button,
                       platform::TShiftState Shift)>
        OnChange;
    std::function<void(TGuiFader* Sender, platform::TCanvas& Canvas, const std::string& Text,
                       const platform::TRect& Rect)>
        OnCustomDraw;
    std::function<void(TGuiFader* Sender, std::string& Text)> OnGetText;
    std::function<void(TGuiFader* Sender, platform::TMouseButton Button,
                       platform::TShiftState Shift, int X, int Y, int State)>
        OnMouse;
    platform::TPoint DragStart;

    void Changed() override;
    void Paint(platform::TCanvas& Canvas) override;
    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    void MouseMove(platform::TShiftState Shift, int X, int Y) override;
    int GetValue() override { return Position; }
    void GetText(std::string& S) override { S = std::to_string(Position); }
    bool HoverRedraws() const override { return true; }
    void Step(int Delta) override;
    void PaintCross(platform::TCanvas& Canvas) override;
    // The value at a pixel position.
    int ValueAt(int X);

private:
    void Clamp();
};

class TGuiEnumItem {
public:
    std::string Name;
    int Value = 0;
};

class TGuiEnum : public TGuiBase {
public:
    explicit TGuiEnum(TMScroll* AOwner);
    ~TGuiEnum() override;
    int PressedZone = 0;
    std::vector<std::unique_ptr<TGuiEnumItem>> Items;
    int ItemIndex = 0;
    TGuiPopup* ListWindow = nullptr;
    TMScroll* ListHost = nullptr;
    bool ListClosed = true;
    bool DropDown = false;
    int DropDownCount = -1;

    void AddItem(const std::string& Name) { AddItemValue(Name, 0); }
    void AddItemValue(const std::string& Name, int Value);
    void ClearItems();
    void GetItemName(int Index, std::string& Name);
    void ShowList();
    void CloseList();

    void Changed() override;
    void Paint(platform::TCanvas& Canvas) override;
    void PopupMouse(platform::UINT Msg, platform::TPoint Client) override;
    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    int GetValue() override { return ItemIndex; }
    void GetText(std::string& S) override { GetItemName(ItemIndex, S); }
    void Exit() override;
    void Step(int Delta) override;
    void Removing() override { CloseList(); }
};

class TGuiCheck : public TGuiBase {
public:
    explicit TGuiCheck(TMScroll* AOwner) : TGuiBase(AOwner) {}
    std::string Caption = "Checkbox";
    bool Checked = true;
    void Changed() override;
    void Paint(platform::TCanvas& Canvas) override;
    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    int GetValue() override { return Checked ? 1 : 0; }
    void GetText(std::string& S) override { S.clear(); }
    bool HoverRedraws() const override { return true; }
};

class TGuiButton : public TGuiBase {
public:
    explicit TGuiButton(TMScroll* AOwner);
    std::string Caption;
    void Changed() override;
    void Paint(platform::TCanvas& Canvas) override;
    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    int GetValue() override { return -1; }
    void GetText(std::string& S) override { S = Caption; }
};

class TGuiImageButton : public TGuiButton {
public:
    explicit TGuiImageButton(TMScroll* AOwner) : TGuiButton(AOwner) {}
    std::uint8_t Glyph = 1;
    platform::HWND Wnd = 0;
    bool Down = false;
    void Paint(platform::TCanvas& Canvas) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    bool HoverRedraws() const override { return true; }
    // The skin's name of a glyph ("" for glyphs without one).
    static const char* GlyphName(int Glyph);
};

// ---- Text controls and menus

class TGuiLabel : public TGuiBase {
public:
    explicit TGuiLabel(TMScroll* AOwner);
    std::string Caption = "Label";
    std::uint8_t Alignment = 2;
    bool UnderlineHot = false;
    platform::TColor FontColor = kGuiWhite;
    void Changed() override;
    void Paint(platform::TCanvas& Canvas) override;
    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    int GetValue() override { return Tag; }
    void GetText(std::string& S) override { S = Caption; }
    bool HoverRedraws() const override { return !Transparent; }
    void Enter() override;
    void Exit() override;

protected:
    unsigned TextFormat() const;
    // The label's own look on an off-screen canvas of its size.
    virtual void PaintOpaque(platform::TCanvas& C, int W, int H);
};

class TGuiMenuLabel : public TGuiLabel {
public:
    explicit TGuiMenuLabel(TMScroll* AOwner);
    void Paint(platform::TCanvas& Canvas) override;
    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    void MouseLeave() override;
};

class TGuiEdit : public TGuiBase {
public:
    explicit TGuiEdit(TMScroll* AOwner);
    std::string Text = "Edit";
    std::string SavedText;
    platform::TTimer CaretTimer;
    int CaretPos = 0;
    bool Modified = false;
    platform::HWND PrevFocus = 0;

    void Changed() override;
    void Paint(platform::TCanvas& Canvas) override;
    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void GetText(std::string& S) override { S = Text; }
    void Enter() override;
    void Exit() override;
    bool KeyMessage(TGuiKeyMsg& Msg) override;
    void KeyPress(int Key) override;
    // Toggles the caret (an XOR line on the host).
    void BlinkCaret();

private:
    int TextWidthOf(int Chars);
    void Edited();
    void Moved();
    bool caretShown_ = false;
};

class TGuiMenu : public TGuiBase {
public:
    explicit TGuiMenu(TMScroll* AOwner);
    ~TGuiMenu() override;
    std::string Caption;
    TGuiPopup* PopupWindow = nullptr;
    TMScroll* MenuHost = nullptr;
    TMScroll* RootHost = nullptr;
    std::vector<std::unique_ptr<TGuiBase>> Items; // kept and freed with the menu
    bool OpenToRight = false;
    platform::TTimer SubMenuTimer;
    bool Closed = true;
    bool IsSubMenu = false;
    std::uint8_t Alignment = 2;
    int MaxHeight = 0;

    void ShowPopup();
    void HidePopup();
    // The list went away without the menu closing it (deactivation, hiding): it and the lists
    // it was opened from close.
    void ListCancelled();

    void Paint(platform::TCanvas& Canvas) override;
    void PopupMouse(platform::UINT Msg, platform::TPoint Client) override;
    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    void GetText(std::string& S) override { S = Caption; }
    void MouseEnter() override { Redraw(); }
    void MouseLeave() override;
    void Enter() override;
    void Exit() override;
    int PreferredWidth() override;
    bool HandleShortcut(TGuiKeyMsg& Msg) override;
    void Removing() override;

private:
    void TimerTick();
    // The menu whose list holds this sub-menu entry, nil for a top-level menu.
    TGuiMenu* ParentMenu() const;
};

// The borderless pop-up window in which menus and enumerations show their lists.
class TGuiPopup : public platform::TCustomControl {
public:
    explicit TGuiPopup(platform::TComponent* AOwner);
    ~TGuiPopup() override;
    std::string_view ClassName() const override { return "TGuiPopup"; }
    TGuiBase* Control = nullptr;
    // Shown top-most without taking the activation.
    void ShowAt(int X, int Y, int W, int H);
    void HideList();
    bool IsOpen() const { return open_; }
    platform::LRESULT WndProc(platform::UINT msg, platform::WPARAM w, platform::LPARAM l) override;

protected:
    void CreateParams(TCreateParams& p) override;
    bool EraseBackground(platform::HDC) override { return true; }

private:
    bool open_ = false;
    bool hiding_ = false;
};

// ---- Containers, layout controls

class TGuiAlign : public TGuiBase {
public:
    explicit TGuiAlign(TMScroll* AOwner);
    bool DebugFrame = false;
    int BorderStyle = 0;
    int FlatBorder = 0;
    MScroll::TOnPaint OnPaintBackground;
    std::string BkgndName = "whitespace";
    platform::TColor Color = kGuiSilver;
    MScroll::TOnPaint OnAfterPaint;

    TGuiScrollbar* AddScrollbar(platform::TAlign Align, TGuiAlign* AParent);
    void Paint(platform::TCanvas& Canvas) override;
    void AlignChildren() override;
    int ContentHeight() override;
};

class TGuiSplit : public TGuiBase {
public:
    explicit TGuiSplit(TMScroll* AOwner) : TGuiBase(AOwner) {}
    TGuiBase* Control = nullptr;
    platform::TPoint PressPoint;
    int MinSize = 30;
    void Paint(platform::TCanvas& Canvas) override;
    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseMove(platform::TShiftState Shift, int X, int Y) override;
};

class TGuiSize : public TGuiBase {
public:
    explicit TGuiSize(TMScroll* AOwner);
    platform::TPoint LastCursor;
    platform::HWND Wnd = 0;
    int MinHeight = 32, MinWidth = 32;
    void Paint(platform::TCanvas& Canvas) override;
    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    void MouseMove(platform::TShiftState Shift, int X, int Y) override;
    bool HoverRedraws() const override { return true; }
    void Enter() override {}
    void Exit() override {}
};

class TGuiDrag : public TGuiBase {
public:
    explicit TGuiDrag(TMScroll* AOwner);
    std::string Caption;
    platform::TPoint PressPoint;
    platform::HWND Wnd = 0;
    int FullHeight = 0;
    int RolledHeight = 20;
    bool Expanded = true;
    std::uint8_t Alignment = 1;
    MScroll::TOnPaint OnPaint;
    void Paint(platform::TCanvas& Canvas) override;
    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    void MouseMove(platform::TShiftState Shift, int X, int Y) override;
    bool HoverRedraws() const override { return true; }
    void Enter() override;
    void Exit() override;
    void GetText(std::string& S) override { S = Caption; }
};

// ---- Scroll bar

class TGuiScrollbar : public TGuiBase {
public:
    explicit TGuiScrollbar(TMScroll* AOwner);
    ~TGuiScrollbar() override;
    std::uint8_t PressedPart = 0;
    TGuiAlign* Container = nullptr;
    int LineStep = 8;
    int PageStep = 0;
    int DragOffsetX = 0, DragOffsetY = 0;
    bool Vertical = false;
    int Position = 0;
    int PageSize = 100;
    int Max = 50;

    void SetPosition(int Pos);
    void Changed() override;
    void Paint(platform::TCanvas& Canvas) override;
    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    void MouseMove(platform::TShiftState Shift, int X, int Y) override;
    int GetValue() override { return Position; }
    void GetText(std::string& S) override { S.clear(); }
    bool HoverRedraws() const override { return true; }
    void Exit() override;
    void Step(int Delta) override;

    // Geometry along the bar.
    int Length() const;
    int ButtonSize() const;
    bool Needed();
    double ThumbLength();
    int ThumbPos();

private:
    void Scroll(int Delta);
    void ReportValue(int AVal);
    int dragAt_ = 0; // where along the bar the thumb was last moved to
};
