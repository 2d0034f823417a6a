#pragma once
// The multi-line edit, a Qt widget control (widgetcontrol.h).

#include "platform/forms/strings.h"
#include "platform/forms/widgetcontrol.h"

namespace platform {

class TMemo : public TWidgetControl {
public:
    explicit TMemo(TComponent* AOwner);
    ~TMemo() override;

    std::string_view ClassName() const override { return "TMemo"; }

    // The lines; every change, by code or typed, raises OnChange.
    TStrings Lines;

    // The text with CR LF between the lines.
    std::string GetText() const override;
    void SetText(const std::string& s) override;

    bool GetReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v);
    TProperty<TMemo, bool, &TMemo::GetReadOnly, &TMemo::SetReadOnly> ReadOnly{this};

    // The caret in characters of the text, a line break counting as its two characters.
    int GetSelStart() const;
    void SetSelStart(int v);
    TProperty<TMemo, int, &TMemo::GetSelStart, &TMemo::SetSelStart> SelStart{this};
    int GetSelLength() const;
    void SetSelLength(int v);
    TProperty<TMemo, int, &TMemo::GetSelLength, &TMemo::SetSelLength> SelLength{this};
    void SelectAll();
    void Clear() { Lines.Clear(); }

    // Set by every change of the text, typed or set; the program clears it.
    bool Modified = false;

    TNotifyEvent OnChange;

protected:
    virtual void Change();
    QWidget* CreateWidget() override;
    void WidgetCreated() override;
    LRESULT DialogCode() const override {
        return DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS;
    }

private:
    void LinesChanged();
    void TextEdited();
    bool fromWidget_ = false; // the lines follow the widget
    bool fromLines_ = false;  // the widget follows the lines
    bool readOnly_ = false;
};

} // namespace platform
