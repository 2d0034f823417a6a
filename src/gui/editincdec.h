#pragma once
// A numeric field: only digits (and a minus sign when Min is negative) can be typed; Up and
// Down step a whole number by 1 (10 with Shift), and so do Ctrl with the right (up) and left
// (down) mouse button. Min and Max are the windows' to check: the field never clamps.

#include "platform/forms/edit.h"

#include <cstdint>
#include <memory>

namespace platform {
class TPopupMenu;
}

class TEditIncDec : public platform::TEdit {
public:
    explicit TEditIncDec(platform::TComponent* AOwner);
    ~TEditIncDec() override;
    std::string_view ClassName() const override { return "TEditIncDec"; }

    std::int32_t Min = 0;
    std::int32_t Max = 127;

    // Adds Delta to the text when it is a whole number; other text stays.
    void Step(std::int64_t Delta);

    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseUp(platform::TMouseButton, platform::TShiftState, int, int) override {}

protected:
    bool DoKeyDown(std::uint16_t& key, platform::TShiftState shift) override;
    bool DoKeyPress(char32_t& key) override;

private:
    // Empty: right-clicks open no menu of the text field.
    std::unique_ptr<platform::TPopupMenu> menu_;
};
