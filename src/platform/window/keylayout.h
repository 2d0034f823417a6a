#pragma once
// The keyboard layout: the character a key-down types. Key messages carry virtual keys;
// the character a display typed arrives as WM_CHAR, but code that works from key-downs
// alone translates them here (the US layout). GUI thread only.

#include "platform/core/messages.h"

#include <cstdint>

namespace platform {

// 256 bytes, one per virtual key: bit 0x80 while down, bit 0x01 toggled by each press.
bool GetKeyboardState(std::uint8_t* state);
// The characters vk types with the keys in state (Shift, Ctrl, Caps Lock); scanCode and
// flags are not used. Writes at most size characters; returns how many (0: none).
int ToUnicode(UINT vk, UINT scanCode, const std::uint8_t* state, char32_t* buffer, int size,
              UINT flags);

} // namespace platform
