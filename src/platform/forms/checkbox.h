#pragma once
// Check box, radio button, group box and radio group, Qt widget controls (widgetcontrol.h).
// Setting Checked raises OnClick as a click does (a radio button only when it becomes
// checked); radio buttons with the same parent uncheck each other.

#include "platform/forms/strings.h"
#include "platform/forms/widgetcontrol.h"

#include <vector>

namespace platform {

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TButtonControl : public TWidgetControl {
public:
    explicit TButtonControl(TComponent* AOwner);
    ~TButtonControl() override;

    bool GetChecked() const { return GetState() == cbChecked; }
    virtual void SetChecked(bool v) = 0;
    TProperty<TButtonControl, bool, &TButtonControl::GetChecked, &TButtonControl::SetChecked>
        Checked{this};
    TCheckBoxState GetState() const { return state_; }

protected:
    void TextChanged() override;
    void WidgetCreated() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    void PassKey(UINT msg, WPARAM key, LPARAM l) override;
    // The user toggled the button (click or space).
    virtual void Toggled() = 0;
    void ShowState();
    TCheckBoxState state_ = cbUnchecked;
};

class TCheckBox : public TButtonControl {
public:
    explicit TCheckBox(TComponent* AOwner);
    std::string_view ClassName() const override { return "TCheckBox"; }

    void SetChecked(bool v) override { SetState(v ? cbChecked : cbUnchecked); }
    void SetState(TCheckBoxState v);
    TProperty<TCheckBox, TCheckBoxState, &TCheckBox::GetState, &TCheckBox::SetState> State{this};
    // A click steps unchecked, checked, grayed.
    bool AllowGrayed = false;

protected:
    QWidget* CreateWidget() override;
    void Toggled() override;
};

class TRadioButton : public TButtonControl {
public:
    explicit TRadioButton(TComponent* AOwner);
    std::string_view ClassName() const override { return "TRadioButton"; }
    void SetChecked(bool v) override;

protected:
    QWidget* CreateWidget() override;
    void Toggled() override;
};

// A frame with a caption around other controls.
class TGroupBox : public TWidgetControl {
public:
    explicit TGroupBox(TComponent* AOwner);
    std::string_view ClassName() const override { return "TGroupBox"; }

protected:
    QWidget* CreateWidget() override;
    void TextChanged() override;
    LRESULT DialogCode() const override { return 0; }
};

// A group of radio buttons made from Items; ItemIndex is the checked one (-1: none).
class TRadioGroup : public TGroupBox {
public:
    explicit TRadioGroup(TComponent* AOwner);
    ~TRadioGroup() override;
    std::string_view ClassName() const override { return "TRadioGroup"; }

    TStrings Items;
    int GetItemIndex() const { return itemIndex_; }
    // Checks that item's button, which raises OnClick when it changes.
    void SetItemIndex(int v);
    TProperty<TRadioGroup, int, &TRadioGroup::GetItemIndex, &TRadioGroup::SetItemIndex> ItemIndex{
        this};
    int GetColumns() const { return columns_; }
    void SetColumns(int v);
    TProperty<TRadioGroup, int, &TRadioGroup::GetColumns, &TRadioGroup::SetColumns> Columns{this};
    // The button of an item, for focus and tests.
    TRadioButton* Buttons(int i) const { return buttons_.at(std::size_t(i)); }

protected:
    void BoundsChanged() override;

private:
    void Rebuild();
    void Arrange();
    void ButtonClicked(TRadioButton* b);
    std::vector<TRadioButton*> buttons_;
    int itemIndex_ = -1;
    int columns_ = 1;
    bool updating_ = false;
};

} // namespace platform
