#pragma once
// The named-item canvas: a windowless control that draws a tree of lightweight items built in
// code and found by name, paints them through one off-screen bitmap of the repainted area,
// lets its owner paint before, after and instead of any item, and routes the mouse to the item
// under it, which keeps the mouse until the button is released. It can also resize the window
// it lives in from its border zones. GUI thread only.

#include "platform/forms/controls.h"
#include "platform/forms/strings.h"
#include "platform/gdi/graphics.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TXGui;
class TXGuiBase;

// The canvas's events live apart from the windowless control set's events of the same names.
namespace xgui {
using TOnPaint = std::function<void(TXGui* Sender, platform::TCanvas& Canvas)>;
// done := true when the handler painted the item itself.
using TonPaintCtrl =
    std::function<void(TXGui* Sender, TXGuiBase* Item, platform::TCanvas& Canvas, bool& done)>;
// State 1 press, 2 release, 4 move; X, Y in the item's coordinates (the canvas's without one).
using TOnMouse =
    std::function<void(TXGui* Sender, TXGuiBase* Item, platform::TMouseButton Button,
                       platform::TShiftState Shift, int X, int Y, int State)>;
// X, Y in canvas coordinates.
using TOnPopup = std::function<void(TXGui* Sender, TXGuiBase* Item, platform::TMouseButton Button,
                                    platform::TShiftState Shift, int X, int Y)>;
} // namespace xgui

// Mouse result bits of an item.
inline constexpr int xgRepaint = 1, xgNotify = 2, xgRepaintParent = 64;

// The base of every item: a plain object placed relative to its parent item.
class TXGuiBase {
public:
    explicit TXGuiBase(TXGuiBase* AParent);
    virtual ~TXGuiBase() = default;
    TXGuiBase(const TXGuiBase&) = delete;
    TXGuiBase& operator=(const TXGuiBase&) = delete;

    TXGuiBase* Parent;
    std::string Name = "base";
    std::int32_t X = 0, Y = 0, W = 0, H = 0;
    std::intptr_t Tag = 0; // the owner's: an index or a reference
    bool Pressed = false;
    std::int32_t ScrollX = 0, ScrollY = 0;
    platform::TStrings Strings;
    bool Enabled = true;
    bool Visible = true;

    virtual void Paint(platform::TCanvas& /*Canvas*/) {}
    // The item's rectangle in canvas coordinates.
    virtual void GetRect(platform::TRect& R);
    // One mouse event in the item's coordinates (State 1 press, 2 release, 4 move). Capture is
    // the canvas's captured item, which the item may hand on. Returns xg bits.
    virtual int Mouse(int X, int Y, platform::TShiftState Shift, int State, TXGuiBase*& Capture);
    virtual int ScrollBy(int DX, int DY);
    virtual int Reserved() { return 0; }
    virtual int Step(int /*Delta*/) { return 0; }

    void SetBounds(int AX, int AY, int AW, int AH);
    int AbsX() const;
    int AbsY() const;
    int AbsRight() const { return AbsX() + W; }
    int AbsBottom() const { return AbsY() + H; }
};

class TXGuiLabel : public TXGuiBase {
public:
    explicit TXGuiLabel(TXGuiBase* AParent);
    unsigned DrawFlags;
    std::string Caption = "label";
    void Paint(platform::TCanvas& Canvas) override;
    int Mouse(int X, int Y, platform::TShiftState Shift, int State, TXGuiBase*& Capture) override;
};

class TXGuiFader : public TXGuiBase {
public:
    explicit TXGuiFader(TXGuiBase* AParent) : TXGuiBase(AParent) {}
    bool Horizontal = true;
    int Min = 0, Max = 100, Pos = 50;
    std::string Text;
    void Paint(platform::TCanvas& Canvas) override;
    int Mouse(int X, int Y, platform::TShiftState Shift, int State, TXGuiBase*& Capture) override;
    // Adds Delta within Min..Max.
    int Step(int Delta) override;
};

// Drawn by the owner; dragging up raises the value.
class TXGuiKnob : public TXGuiBase {
public:
    explicit TXGuiKnob(TXGuiBase* AParent) : TXGuiBase(AParent) {}
    int Value = 0, Min = 0, Max = 100;
    std::string Text;
    platform::TPoint LastCursor;
    int Mouse(int X, int Y, platform::TShiftState Shift, int State, TXGuiBase*& Capture) override;
};

// Drawn by the owner; every event reaches the owner.
class TXGuiUser : public TXGuiBase {
public:
    explicit TXGuiUser(TXGuiBase* AParent) : TXGuiBase(AParent) {}
    std::string Caption = "User";
    int Mouse(int X, int Y, platform::TShiftState Shift, int State, TXGuiBase*& Capture) override;
};

// A handle that moves a window.
class TXGuiDrag : public TXGuiBase {
public:
    explicit TXGuiDrag(TXGuiBase* AParent);
    platform::HWND Wnd = 0;
    std::string Caption = "drag";
    int GrabX = 0, GrabY = 0;
    void Paint(platform::TCanvas& Canvas) override;
    int Mouse(int X, int Y, platform::TShiftState Shift, int State, TXGuiBase*& Capture) override;
};

class TXGuiButton : public TXGuiBase {
public:
    explicit TXGuiButton(TXGuiBase* AParent);
    std::string Caption = "button";
    void Paint(platform::TCanvas& Canvas) override;
    int Mouse(int X, int Y, platform::TShiftState Shift, int State, TXGuiBase*& Capture) override;
};

// Drawn by the owner.
class TXGuiScrollbar2 : public TXGuiBase {
public:
    explicit TXGuiScrollbar2(TXGuiBase* AParent) : TXGuiBase(AParent) {}
    bool Vertical = true;
    int Min = -100, Max = 100, Pos = 0;
    int ThumbLength = 20, ButtonSize = 16;
    int LastX = 0, LastY = 0;
    // The thumb's offset in pixels along the bar.
    int ThumbPos() const;
    int Mouse(int X, int Y, platform::TShiftState Shift, int State, TXGuiBase*& Capture) override;
};

// A scrolled sub-area with its own vertical bar at the right edge; it owns its children and
// clips them to itself.
class TXGuiScroll : public TXGuiBase {
public:
    explicit TXGuiScroll(TXGuiBase* AParent);
    ~TXGuiScroll() override;
    std::vector<TXGuiBase*> Children;
    std::unique_ptr<TXGuiScrollbar2> Scrollbar; // not among the children

    void Add(TXGuiBase* Item);
    void Clear();
    // Fits the bar to the content.
    void UpdateRange();
    void Paint(platform::TCanvas& Canvas) override;
    int Mouse(int X, int Y, platform::TShiftState Shift, int State, TXGuiBase*& Capture) override;
};

// Items grouped under one parent that owns them.
class TXGuiCollection : public TXGuiBase {
public:
    using TXGuiBase::TXGuiBase;
    ~TXGuiCollection() override;
    std::vector<TXGuiBase*> Children;
    int Mouse(int X, int Y, platform::TShiftState Shift, int State, TXGuiBase*& Capture) override;
};

// One page of a page set; Caption is its tab's text.
class TXGuiPageItem : public TXGuiCollection {
public:
    using TXGuiCollection::TXGuiCollection;
    std::string Caption;
};

// Pages (TXGuiPageItem children) under a strip of tabs 16 pixels high.
class TXGuiPage : public TXGuiCollection {
public:
    using TXGuiCollection::TXGuiCollection;
    int ActivePage = 0;
    int TabWidth = 0;
    void Paint(platform::TCanvas& Canvas) override;
    int Mouse(int X, int Y, platform::TShiftState Shift, int State, TXGuiBase*& Capture) override;
};

TXGuiBase* AsXGuiBase(TXGuiBase* Item);
TXGuiFader* AsXGuiFader(TXGuiBase* Item);
TXGuiLabel* AsXGuiLabel(TXGuiBase* Item);

// The shared look of the items, made once.
class TXLayout {
public:
    TXLayout();
    platform::TColor DarkColor = 0x808080;
    platform::TColor LightColor = 0xC0C0C0;
    platform::TBitmap HorzGradient; // column by column, dark to light
    platform::TBitmap VertGradient; // row by row, dark to light
};
TXLayout& XLayout();

class TXGui : public platform::TGraphicControl {
public:
    explicit TXGui(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TXGui"; }

    xgui::TOnPaint OnBeforePaint, OnAfterPaint;
    xgui::TonPaintCtrl OnPaintCtrl;
    xgui::TOnMouse OnMouse;
    xgui::TOnPopup OnPopup;

    // The root items in paint order; the canvas never frees them.
    std::vector<TXGuiBase*> Items;
    // The window the canvas lies in: item invalidation goes there.
    platform::HWND HostWnd = 0;
    // The window that border dragging resizes, when Sizeable.
    platform::HWND SizeWnd = 0;
    bool Sizeable = false;
    int BorderWidth = 0;
    // Holds the mouse from a press to its release. An owner that frees items clears it first.
    TXGuiBase* Captured = nullptr;
    platform::TMouseButton DownButton = platform::mbLeft;
    int SizeZone = 0;
    platform::TPoint LastCursor;

    void ClearItems() { Items.clear(); }
    // Depth first; a name that no item has shows "Control not found: " + Name under "Error"
    // and gives nullptr.
    TXGuiBase* FindControl(const std::string& Name);
    // Repaints only the item's rectangle, without erasing.
    void InvalidateControl(TXGuiBase* Item);
    int InnerWidth() const { return GetWidth() - 2 * BorderWidth; }
    int InnerHeight() const { return GetHeight() - 2 * BorderWidth; }
    // The item a press at a canvas point lands on, nullptr when none.
    TXGuiBase* HitTest(int X, int Y);

    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseMove(platform::TShiftState Shift, int X, int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                 int Y) override;

protected:
    void Paint() override;

private:
    void PaintItem(TXGuiBase* Item, platform::TCanvas& Canvas, const platform::TRect& Clip);
    void PaintOwn(TXGuiBase* Item, platform::TCanvas& Canvas);
    void Apply(int Result);
    void SizeStep();
};
