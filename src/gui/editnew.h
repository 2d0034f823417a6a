#pragma once
// A text field that changes colour with the focus and while the mouse is over it.

#include "platform/forms/edit.h"

class TEditNew : public platform::TEdit {
public:
    explicit TEditNew(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TEditNew"; }

    // Stored only: they show at the next focus or mouse change.
    platform::TColor FocusColor = 0x80FFFF;
    platform::TColor FocusFontColor = platform::clBlack;
    platform::TColor NoFocusColor = platform::clBlack;
    platform::TColor NoFocusFontColor = 0xFFFFFF;
    bool MouseIsDown() const { return mouseDown_; }

    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    void MouseMove(platform::TShiftState Shift, int X, int Y) override;
    void MouseLeave() override;

protected:
    void DoEnter() override;
    void DoExit() override;

private:
    void ShowColors(bool focus);
    bool mouseDown_ = false;
};
