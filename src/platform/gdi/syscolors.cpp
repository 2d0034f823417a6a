#include "platform/gdi/syscolors.h"

#include <array>

namespace platform {

namespace {

// Indexes 0-30, the standard scheme of the classic look.
constexpr std::array<COLORREF, SysColorCount> kSysColors = {
    RGB(0xC0, 0xC0, 0xC0), // scroll bar
    RGB(0x00, 0x80, 0x80), // desktop
    RGB(0x00, 0x00, 0x80), // active caption
    RGB(0x80, 0x80, 0x80), // inactive caption
    RGB(0xC0, 0xC0, 0xC0), // menu
    RGB(0xFF, 0xFF, 0xFF), // window
    RGB(0x00, 0x00, 0x00), // window frame
    RGB(0x00, 0x00, 0x00), // menu text
    RGB(0x00, 0x00, 0x00), // window text
    RGB(0xFF, 0xFF, 0xFF), // caption text
    RGB(0xC0, 0xC0, 0xC0), // active border
    RGB(0xC0, 0xC0, 0xC0), // inactive border
    RGB(0x80, 0x80, 0x80), // application workspace
    RGB(0x00, 0x00, 0x80), // highlight
    RGB(0xFF, 0xFF, 0xFF), // highlight text
    RGB(0xC0, 0xC0, 0xC0), // button face
    RGB(0x80, 0x80, 0x80), // button shadow
    RGB(0x80, 0x80, 0x80), // grey text
    RGB(0x00, 0x00, 0x00), // button text
    RGB(0xC0, 0xC0, 0xC0), // inactive caption text
    RGB(0xFF, 0xFF, 0xFF), // button highlight
    RGB(0x00, 0x00, 0x00), // 3-D dark shadow
    RGB(0xC0, 0xC0, 0xC0), // 3-D light
    RGB(0x00, 0x00, 0x00), // tool tip text
    RGB(0xFF, 0xFF, 0xE1), // tool tip background
    RGB(0xB5, 0xB5, 0xB5), // (unused index 25)
    RGB(0x00, 0x00, 0xFF), // hot-tracked item
    RGB(0x10, 0x84, 0xD0), // gradient of the active caption
    RGB(0xB5, 0xB5, 0xB5), // gradient of the inactive caption
    RGB(0x00, 0x00, 0x80), // menu highlight
    RGB(0xC0, 0xC0, 0xC0), // menu bar
};

} // namespace

COLORREF GetSysColor(int index) {
    if (index < 0 || index >= SysColorCount) return 0;
    return kSysColors[std::size_t(index)];
}

COLORREF ColorToRGB(TColor color) {
    auto c = COLORREF(color);
    if ((c >> 24) == 0x80) return GetSysColor(int(c & 0xFF));
    return c & 0xFFFFFF;
}

} // namespace platform
