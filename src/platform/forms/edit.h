#pragma once
// The single-line edit, a Qt widget control (widgetcontrol.h).

#include "platform/forms/widgetcontrol.h"

namespace platform {

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

class TEdit : public TWidgetControl {
public:
    explicit TEdit(TComponent* AOwner);
    ~TEdit() override;

    std::string_view ClassName() const override { return "TEdit"; }

    // Setting a different text raises OnChange, as typing does.
    std::string GetText() const override;
    void SetText(const std::string& s) override;

    int GetMaxLength() const { return maxLength_; }
    void SetMaxLength(int v); // 0: no limit
    TProperty<TEdit, int, &TEdit::GetMaxLength, &TEdit::SetMaxLength> MaxLength{this};
    bool GetReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v);
    TProperty<TEdit, bool, &TEdit::GetReadOnly, &TEdit::SetReadOnly> ReadOnly{this};
    TEditCharCase GetCharCase() const { return charCase_; }
    void SetCharCase(TEditCharCase v);
    TProperty<TEdit, TEditCharCase, &TEdit::GetCharCase, &TEdit::SetCharCase> CharCase{this};

    // Selection in characters.
    int GetSelStart() const;
    void SetSelStart(int v);
    TProperty<TEdit, int, &TEdit::GetSelStart, &TEdit::SetSelStart> SelStart{this};
    int GetSelLength() const;
    void SetSelLength(int v);
    TProperty<TEdit, int, &TEdit::GetSelLength, &TEdit::SetSelLength> SelLength{this};
    std::string SelText() const;
    void SelectAll();
    void Clear() { SetText(""); }
    // Set by every change of the text, typed or set; the program clears it.
    bool Modified = false;

    TNotifyEvent OnChange;

protected:
    virtual void Change();
    QWidget* CreateWidget() override;
    void WidgetCreated() override;
    void PassKey(UINT msg, WPARAM key, LPARAM l) override;

private:
    int maxLength_ = 0;
    bool readOnly_ = false;
    TEditCharCase charCase_ = ecNormal;
};

} // namespace platform
