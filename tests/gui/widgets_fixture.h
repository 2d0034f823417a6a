#pragma once
// A white form on the GUI harness for the toolkit's widget tests.

#include "platform/forms/form.h"
#include "platform/gdi/syscolors.h"
#include "support/gui_harness.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace widgets_test {

using namespace platform;

class WidgetsTest : public ::testing::Test {
protected:
    testsupport::GuiHarness gui;
    TForm* form = new TForm(nullptr);
    WidgetsTest() {
        form->SetBounds(0, 0, 400, 300);
        form->Color = clWhite;
    }
    ~WidgetsTest() override { form->Free(); }
    HWND H() { return form->Handle(); }
    void ShowForm() {
        form->Show();
        gui.Pump();
    }
    // 0xRRGGBB of a colour, system colours resolved.
    static std::uint32_t Rgb(TColor c) {
        const COLORREF r = ColorToRGB(c);
        return (GetRValue(r) << 16) | (GetGValue(r) << 8) | GetBValue(r);
    }
    // Pixels of that colour in r (client coordinates of h).
    int Count(HWND h, TRect r, std::uint32_t rgb) {
        const Surface s = gui.Capture(h);
        int n = 0;
        for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, s.height); ++y)
            for (int x = std::max(r.Left, 0); x < std::min(r.Right, s.width); ++x)
                n += (s.Row(y)[x] & 0xFFFFFFu) == rgb;
        return n;
    }
};

} // namespace widgets_test
