#pragma once
// A container that draws nothing of its own: its children or its window's own drawing cover
// the area, so no background flashes when the window repaints.

#include "platform/forms/extctrls.h"

class TBkPanel : public platform::TPanel {
public:
    using TPanel::TPanel;
    std::string_view ClassName() const override { return "TBkPanel"; }

protected:
    bool EraseBackground(platform::HDC) override { return true; }
    void Paint() override {}
};
