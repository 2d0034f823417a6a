#pragma once
// A form with one control host filling it, its OnControl reports collected, and input
// injected through the window layer.

#include "gui/mscroll.h"
#include "platform/forms/form.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "support/gui_harness.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace gui_test {

using namespace platform;

struct Report {
    std::string id;
    int val = 0;
    std::string str;
    friend bool operator==(const Report&, const Report&) = default;
};

inline std::ostream& operator<<(std::ostream& o, const Report& r) {
    return o << "(" << r.id << ", " << r.val << ", \"" << r.str << "\")";
}

// 0xRRGGBB of a colour as the platform stores it (blue in the high byte).
constexpr std::uint32_t Rgb(TColor c) {
    return ((std::uint32_t(c) & 0xFF) << 16) | (std::uint32_t(c) & 0xFF00) |
           ((std::uint32_t(c) >> 16) & 0xFF);
}

class HostTest : public ::testing::Test {
protected:
    testsupport::GuiHarness gui;
    std::unique_ptr<TForm> form;
    TMScroll* host = nullptr;
    std::vector<Report> reports;

    void SetUp() override {
        form = std::make_unique<TForm>(nullptr);
        form->Caption = "Host";
        form->SetBounds(100, 100, 420, 340);
        host = new TMScroll(form.get());
        host->Parent = form.get();
        host->SetBounds(0, 0, 400, 300);
        host->OnControl = [this](TObject* sender, const std::string& id, int val,
                                 const std::string& str) {
            EXPECT_EQ(sender, host);
            reports.push_back({id, val, str});
        };
        form->Show();
        gui.Pump();
    }
    void TearDown() override { form.reset(); }

    HWND H() { return host->Handle(); }
    TPoint At(int x, int y) { return gui.At(H(), x, y); }
    std::uint32_t Pixel(int x, int y) { return gui.Pixel(H(), x, y); }
    template <class T> T* Place(T* c, int l, int t, int r, int b) {
        c->Left = l, c->Top = t, c->Right = r, c->Bottom = b;
        host->Add(c);
        return c;
    }
};

} // namespace gui_test
