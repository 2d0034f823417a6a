#pragma once
// The label: text drawn on its parent, transparent or on its colour, sized to its text.

#include "platform/forms/extctrls.h"

namespace platform {

enum TTextLayout { tlTop, tlCenter, tlBottom };

class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* AOwner);
    ~TLabel() override;
    std::string_view ClassName() const override { return "TLabel"; }

    TAlignment GetAlignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    TProperty<TLabel, TAlignment, &TLabel::GetAlignment, &TLabel::SetAlignment> Alignment{this};
    bool GetAutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);
    TProperty<TLabel, bool, &TLabel::GetAutoSize, &TLabel::SetAutoSize> AutoSize{this};
    bool GetWordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);
    TProperty<TLabel, bool, &TLabel::GetWordWrap, &TLabel::SetWordWrap> WordWrap{this};
    bool GetTransparent() const { return transparent_; }
    void SetTransparent(bool v);
    TProperty<TLabel, bool, &TLabel::GetTransparent, &TLabel::SetTransparent> Transparent{this};
    // '&' marks the next character as the accelerator (underlined) unless this is off.
    bool GetShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool v);
    TProperty<TLabel, bool, &TLabel::GetShowAccelChar, &TLabel::SetShowAccelChar> ShowAccelChar{
        this};
    TTextLayout GetLayout() const { return layout_; }
    void SetLayout(TTextLayout v);
    TProperty<TLabel, TTextLayout, &TLabel::GetLayout, &TLabel::SetLayout> Layout{this};
    // The control that Alt and the label's accelerator focuses.
    TWinControl* FocusControl = nullptr;
    bool DialogChar(char32_t ch) override;

protected:
    void Paint() override;
    void TextChanged() override;
    void FontChanged() override;
    // The text's flags for DrawText (tabs, word break, alignment, prefix).
    unsigned TextFlags() const;
    // Draws the caption into rect (DT_CALCRECT in flags measures it instead).
    virtual void DoDrawText(TCanvas& canvas, TRect& rect, unsigned flags);
    void AdjustBounds();

private:
    TAlignment alignment_ = taLeftJustify;
    bool autoSize_ = true, wordWrap_ = false, transparent_ = false, showAccelChar_ = true;
    TTextLayout layout_ = tlTop;
};

} // namespace platform
