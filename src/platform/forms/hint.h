#pragma once
// Hints: a small window with a control's Hint that shows when the pointer rests on the control
// (Application->HintPause) and goes after a while (HintHidePause), on a press or a key.

#include "platform/forms/controls.h"

namespace platform {

class THintWindow : public TCustomControl {
public:
    explicit THintWindow(TComponent* AOwner);
    std::string_view ClassName() const override { return "THintWindow"; }
    // Shows text (CR starts a line) with its top-left at the screen point, kept on the screen.
    void ActivateHint(TPoint screen, const std::string& text);
    void ReleaseHandle();

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
};

// The hint showing now ("" when none), and the control it belongs to.
std::string CurrentHint();
TControl* HintControl();

} // namespace platform
