#pragma once
// Buttons: the push button (a windowed control drawn with gdi, or by its owner-drawing
// descendant through DrawItem) and the speed button (windowless, with a down state and groups).

#include "platform/forms/controls.h"
#include "platform/gdi/graphics.h"

namespace platform {

// States of a draw request.
inline constexpr UINT ODS_SELECTED = 0x0001; // pressed
inline constexpr UINT ODS_DISABLED = 0x0004;
inline constexpr UINT ODS_FOCUS = 0x0010;

struct TDrawItemStruct {
    UINT itemState = 0;
    HDC hDC = 0;
    TRect rcItem;
};

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* AOwner);
    ~TButton() override;
    std::string_view ClassName() const override { return "TButton"; }

    // Enter clicks the default button, Escape the cancel button (unless the focused control
    // keeps the key); the focused button acts as the default while it has the focus.
    bool GetDefault() const { return default_; }
    void SetDefault(bool v);
    TProperty<TButton, bool, &TButton::GetDefault, &TButton::SetDefault> Default{this};
    bool GetCancel() const { return cancel_; }
    void SetCancel(bool v);
    TProperty<TButton, bool, &TButton::GetCancel, &TButton::SetCancel> Cancel{this};
    // Clicking sets the form's ModalResult to it when not mrNone.
    int ModalResult = 0;

    void Click() override;
    // Whether the button draws itself as the active (focused or default) one.
    bool IsActive() const { return active_; }
    bool IsPressed() const { return pressed_ && inside_; }

    void FocusChanged(TWinControl* focused) override;
    bool DialogChar(char32_t ch) override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

protected:
    // The default notification: the button became or stopped being the one Enter clicks.
    virtual void SetButtonStyle(bool isDefault);
    // An owner-drawn button paints itself here on every draw request.
    virtual void DrawItem(const TDrawItemStruct& item);
    // Owner-drawn buttons set this when they are made.
    bool ownerDraw_ = false;

    void PaintWindow(HDC dc) override;
    bool EraseBackground(HDC) override { return true; }
    void CreateWnd() override;
    void TextChanged() override { Invalidate(); }

private:
    void SetPressed(bool pressed, bool inside);
    bool default_ = false, cancel_ = false, active_ = false;
    bool pressed_ = false, inside_ = false, spaceDown_ = false;
};

class TSpeedButton : public TGraphicControl {
public:
    explicit TSpeedButton(TComponent* AOwner);
    std::string_view ClassName() const override { return "TSpeedButton"; }

    // Buttons of one parent with the same non-zero GroupIndex act as radio buttons: one down
    // releases the others. With GroupIndex 0 a button is down only while pressed.
    bool GetDown() const { return down_; }
    void SetDown(bool v);
    TProperty<TSpeedButton, bool, &TSpeedButton::GetDown, &TSpeedButton::SetDown> Down{this};
    int GetGroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int v);
    TProperty<TSpeedButton, int, &TSpeedButton::GetGroupIndex, &TSpeedButton::SetGroupIndex>
        GroupIndex{this};
    bool GetAllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool v);
    TProperty<TSpeedButton, bool, &TSpeedButton::GetAllowAllUp, &TSpeedButton::SetAllowAllUp>
        AllowAllUp{this};
    bool GetFlat() const { return flat_; }
    void SetFlat(bool v);
    TProperty<TSpeedButton, bool, &TSpeedButton::GetFlat, &TSpeedButton::SetFlat> Flat{this};

    // The glyph: NumGlyphs images side by side (up, disabled, down); call Invalidate after
    // changing it.
    TBitmap Glyph;
    int NumGlyphs = 1;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseEnter() override;
    void MouseLeave() override;
    bool DialogChar(char32_t ch) override;

protected:
    void Paint() override;
    void TextChanged() override { Invalidate(); }

private:
    void UpdateExclusive();
    bool down_ = false, allowAllUp_ = false, flat_ = false;
    int groupIndex_ = 0;
    bool pressing_ = false, pressedLook_ = false, hot_ = false;
};

} // namespace platform
