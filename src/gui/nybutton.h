#pragma once
// The owner-drawn push button of the dialogs: a flat face with a two-pixel grey frame that
// swaps when pressed, a dotted focus mark on the active button and a plain caption.

#include "platform/forms/buttons.h"

// The controls' face and text colours ([Layout] ControlBkColor and ControlTextColor), set at
// start-up and by the appearance dialog for the controls that paint with them.
extern platform::TColor ButtonBkColor;
extern platform::TColor ButtonTextColor;
void SetButtonColors(platform::TColor Bk, platform::TColor Text);

class tnybutton : public platform::TButton {
public:
    explicit tnybutton(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "tnybutton"; }

protected:
    void DrawItem(const platform::TDrawItemStruct& item) override;
};
