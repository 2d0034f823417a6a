#pragma once
// The combo box, a Qt widget control (widgetcontrol.h): an editable field with a drop-down
// list (csDropDown) or a drop-down list only (csDropDownList), items with objects. The user's
// typing raises OnChange, the user's choice OnClick then OnChange; setting ItemIndex or Text
// raises nothing. The open list is a pop-up window of the model that never takes the focus:
// it tracks the pointer in a tracking loop while the keys still reach the control.

#include "platform/forms/strings.h"
#include "platform/forms/widgetcontrol.h"

namespace platform {

struct DropList;

enum TComboBoxStyle { csDropDown, csDropDownList };

class TComboBox : public TWidgetControl {
public:
    explicit TComboBox(TComponent* AOwner);
    ~TComboBox() override;

    std::string_view ClassName() const override { return "TComboBox"; }

    TStrings Items;

    TComboBoxStyle GetStyle() const { return style_; }
    void SetStyle(TComboBoxStyle v);
    TProperty<TComboBox, TComboBoxStyle, &TComboBox::GetStyle, &TComboBox::SetStyle> Style{this};

    int GetItemIndex() const;
    void SetItemIndex(int v);
    TProperty<TComboBox, int, &TComboBox::GetItemIndex, &TComboBox::SetItemIndex> ItemIndex{this};

    // The field's text (the chosen item's for a drop-down list).
    std::string GetText() const override;
    void SetText(const std::string& s) override;
    int GetMaxLength() const { return maxLength_; }
    void SetMaxLength(int v); // 0: no limit
    TProperty<TComboBox, int, &TComboBox::GetMaxLength, &TComboBox::SetMaxLength> MaxLength{this};
    void SelectAll();
    std::string SelText() const;
    int DropDownCount = 8;

    // The list is open; opening it raises OnDropDown. The list shows once the current message
    // is done (the caller does not wait for the user's choice).
    bool GetDroppedDown() const { return droppedDown_; }
    void SetDroppedDown(bool v);
    TProperty<TComboBox, bool, &TComboBox::GetDroppedDown, &TComboBox::SetDroppedDown>
        DroppedDown{this};
    void Clear();

    TNotifyEvent OnChange, OnDropDown;

protected:
    virtual void Change();
    virtual void DropDown();
    QWidget* CreateWidget() override;
    void WidgetCreated() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    void PassKey(UINT msg, WPARAM key, LPARAM l) override;

private:
    friend class ComboWidget;
    void ItemsChanged(TStrings::Change change, int index);
    void UserChose();
    void ConnectEdit();
    TComboBoxStyle style_ = csDropDown;
    int maxLength_ = 0;
    bool byCode_ = false;
    bool droppedDown_ = false;
    DropList* list_ = nullptr; // the shown list, while it tracks
    void ShowList();
};

} // namespace platform
