#include "platform/window/keylayout.h"

#include "platform/window/input.h"

namespace platform {

bool GetKeyboardState(std::uint8_t* state) {
    if (!state) return false;
    for (int vk = 0; vk < 256; ++vk) {
        const std::int16_t s = GetKeyState(vk);
        state[vk] = std::uint8_t(((s & 0x8000) ? 0x80 : 0) | (s & 1));
    }
    return true;
}

namespace {

struct Pair {
    UINT vk;
    char plain, shifted;
};
constexpr Pair kKeys[] = {
    {'0', '0', ')'},           {'1', '1', '!'},          {'2', '2', '@'},
    {'3', '3', '#'},           {'4', '4', '$'},          {'5', '5', '%'},
    {'6', '6', '^'},           {'7', '7', '&'},          {'8', '8', '*'},
    {'9', '9', '('},           {VK_SPACE, ' ', ' '},     {VK_OEM_1, ';', ':'},
    {VK_OEM_PLUS, '=', '+'},   {VK_OEM_COMMA, ',', '<'}, {VK_OEM_MINUS, '-', '_'},
    {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},     {VK_OEM_3, '`', '~'},
    {VK_OEM_4, '[', '{'},      {VK_OEM_5, '\\', '|'},    {VK_OEM_6, ']', '}'},
    {VK_OEM_7, '\'', '"'},     {VK_OEM_102, '\\', '|'},  {VK_MULTIPLY, '*', '*'},
    {VK_ADD, '+', '+'},        {VK_SUBTRACT, '-', '-'},  {VK_DECIMAL, '.', '.'},
    {VK_DIVIDE, '/', '/'},     {VK_BACK, 8, 8},          {VK_TAB, 9, 9},
    {VK_RETURN, 13, 13},       {VK_ESCAPE, 27, 27},
};

} // namespace

int ToUnicode(UINT vk, UINT, const std::uint8_t* state, char32_t* buffer, int size, UINT) {
    if (!state || !buffer || size < 1) return 0;
    const bool shift = (state[VK_SHIFT] | state[VK_LSHIFT] | state[VK_RSHIFT]) & 0x80;
    const bool ctrl = (state[VK_CONTROL] | state[VK_LCONTROL] | state[VK_RCONTROL]) & 0x80;
    const bool caps = state[VK_CAPITAL] & 1;
    char32_t ch = 0;
    if (vk >= 'A' && vk <= 'Z') {
        // Ctrl with a letter types its control character.
        ch = ctrl ? char32_t(vk - 'A' + 1) : char32_t(shift != caps ? vk : vk - 'A' + 'a');
    } else if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) {
        ch = char32_t('0' + (vk - VK_NUMPAD0));
    } else {
        for (const Pair& p : kKeys)
            if (p.vk == vk) ch = char32_t(std::uint8_t(shift ? p.shifted : p.plain));
    }
    if (!ch) return 0;
    buffer[0] = ch;
    return 1;
}

} // namespace platform
