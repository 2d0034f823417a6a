#pragma once
// The list box, a Qt widget control (widgetcontrol.h): items with objects, single or multiple
// selection, and owner drawing on the control's canvas with a fixed item height. A selection
// made by the user raises OnClick; setting ItemIndex raises nothing.

#include "platform/forms/strings.h"
#include "platform/forms/widgetcontrol.h"

namespace platform {

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed };
using TOwnerDrawState = unsigned;
inline constexpr TOwnerDrawState odSelected = 1, odDisabled = 2, odFocused = 4;

class TListBox;
using TDrawItemEvent = std::function<void(TWinControl* Control, int Index, const TRect& Rect,
                                          TOwnerDrawState State)>;

class TListBox : public TWidgetControl {
public:
    explicit TListBox(TComponent* AOwner);
    ~TListBox() override;

    std::string_view ClassName() const override { return "TListBox"; }

    TStrings Items;

    int GetItemIndex() const;
    void SetItemIndex(int v);
    TProperty<TListBox, int, &TListBox::GetItemIndex, &TListBox::SetItemIndex> ItemIndex{this};
    bool Selected(int i) const;
    void SetSelected(int i, bool v);
    int SelCount() const;
    void ClearSelection();

    bool GetMultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool v);
    TProperty<TListBox, bool, &TListBox::GetMultiSelect, &TListBox::SetMultiSelect> MultiSelect{
        this};
    // With MultiSelect: Shift and Ctrl extend the selection (else a click toggles an item).
    bool GetExtendedSelect() const { return extendedSelect_; }
    void SetExtendedSelect(bool v);
    TProperty<TListBox, bool, &TListBox::GetExtendedSelect, &TListBox::SetExtendedSelect>
        ExtendedSelect{this};

    TListBoxStyle GetStyle() const { return style_; }
    void SetStyle(TListBoxStyle v);
    TProperty<TListBox, TListBoxStyle, &TListBox::GetStyle, &TListBox::SetStyle> Style{this};
    // The height of every item; set for owner-drawn lists.
    int GetItemHeight() const;
    void SetItemHeight(int v);
    TProperty<TListBox, int, &TListBox::GetItemHeight, &TListBox::SetItemHeight> ItemHeight{this};
    int GetTopIndex() const;
    void SetTopIndex(int v);
    TProperty<TListBox, int, &TListBox::GetTopIndex, &TListBox::SetTopIndex> TopIndex{this};

    // The item under a client point; -1 when none (Existing), else the count when below the
    // last item.
    int ItemAtPos(TPoint p, bool Existing) const;
    // The item's rectangle in client coordinates; empty when it is not shown.
    TRect ItemRect(int i) const;
    void Clear() { Items.Clear(); }

    // The canvas of owner drawing, valid inside OnDrawItem.
    TCanvas& Canvas() { return canvas_; }
    // Draws an item of an owner-drawn list; without a handler: the text on the brush.
    TDrawItemEvent OnDrawItem;

protected:
    QWidget* CreateWidget() override;
    void WidgetCreated() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    void PaintWindow(HDC dc) override;
    void PassKey(UINT msg, WPARAM key, LPARAM l) override;
    virtual void DrawItem(int index, const TRect& rect, TOwnerDrawState state);
    // The selection changed by the user.
    virtual void SelectionChanged() { Click(); }

private:
    void ItemsChanged(TStrings::Change change, int index);
    void ApplySelectionMode();
    bool byCode_ = false;   // a selection made by the program
    bool userMove_ = false; // the user's key or press is being handled
    bool movedByUser_ = false;
    bool multiSelect_ = false;
    bool extendedSelect_ = true;
    TListBoxStyle style_ = lbStandard;
    int itemHeight_ = 13;
    TCanvas canvas_;
};

} // namespace platform
