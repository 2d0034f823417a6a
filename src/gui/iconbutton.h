#pragma once
// A picture that acts as a button and shows its state through the bevel of the panel it sits
// on: none, raised (up) or lowered (down). A press takes the state away until the release;
// released inside, the window's OnMouseUp sets the next state, released outside the old
// state comes back without an event.

#include "platform/forms/extctrls.h"

enum TIconState { stNone, stUp, stDown };

class TIconButton : public platform::TImage {
public:
    explicit TIconButton(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TIconButton"; }

    TIconState GetState() const { return state_; }
    void SetState(TIconState Value);
    platform::TProperty<TIconButton, TIconState, &TIconButton::GetState, &TIconButton::SetState>
        State{this};

    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    void Click() override;

private:
    TIconState state_ = stNone;
    TIconState before_ = stNone;
    bool ignoreRelease_ = false;
    bool noClick_ = false;
};
