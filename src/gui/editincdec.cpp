#include "gui/editincdec.h"

#include "platform/menus/menus.h"
#include "platform/window/input.h"

#include <charconv>
#include <string>

using namespace platform;

TEditIncDec::TEditIncDec(TComponent* AOwner)
    : TEdit(AOwner), menu_(std::make_unique<TPopupMenu>()) {
    PopupMenu = menu_.get();
}

TEditIncDec::~TEditIncDec() {
    PopupMenu = nullptr;
}

void TEditIncDec::Step(std::int64_t Delta) {
    std::string t = GetText();
    const auto first = t.find_first_not_of(" \t");
    if (first == std::string::npos) return;
    t = t.substr(first, t.find_last_not_of(" \t") - first + 1);
    std::int64_t n = 0;
    const char* begin = t.data() + (t[0] == '+' ? 1 : 0);
    auto [end, ec] = std::from_chars(begin, t.data() + t.size(), n);
    if (ec != std::errc() || end != t.data() + t.size()) return;
    // A step past the 64-bit range leaves the number as it is.
    if ((Delta > 0 && n > INT64_MAX - Delta) || (Delta < 0 && n < INT64_MIN - Delta)) return;
    SetText(std::to_string(n + Delta));
}

bool TEditIncDec::DoKeyDown(std::uint16_t& key, TShiftState shift) {
    if (key == VK_UP || key == VK_DOWN) {
        const std::int64_t step = shift & ssShift ? 10 : 1;
        Step(key == VK_UP ? step : -step);
        key = 0;
        return true;
    }
    return TEdit::DoKeyDown(key, shift);
}

bool TEditIncDec::DoKeyPress(char32_t& key) {
    const bool pass = (key >= '0' && key <= '9') || key == 8 || (Min < 0 && key == '-');
    if (!pass) {
        key = 0;
        return true;
    }
    return TEdit::DoKeyPress(key);
}

void TEditIncDec::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TEdit::MouseDown(Button, Shift, X, Y);
    if (!(Shift & ssCtrl) || Button == mbMiddle) return;
    const std::int64_t step = Shift & ssShift ? 10 : 1;
    Step(Button == mbRight ? step : -step);
}
