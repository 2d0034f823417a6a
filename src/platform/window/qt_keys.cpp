// Qt's keys as virtual keys.
#include "platform/window/input.h"
#include "platform/window/qt_presenter.h"

namespace platform {
namespace {

// X11 (evdev) key codes of the keys that carry their place, not their character.
UINT KeyOfScanCode(std::uint32_t code) {
    if (code >= 10 && code <= 18) return '1' + (code - 10);
    switch (code) {
    case 19: return '0';
    case 20: return VK_OEM_MINUS;
    case 21: return VK_OEM_PLUS;
    case 34: return VK_OEM_4;
    case 35: return VK_OEM_6;
    case 47: return VK_OEM_1;
    case 48: return VK_OEM_7;
    case 49: return VK_OEM_3;
    case 51: return VK_OEM_5;
    case 59: return VK_OEM_COMMA;
    case 60: return VK_OEM_PERIOD;
    case 61: return VK_OEM_2;
    case 94: return VK_OEM_102;
    default: return 0;
    }
}

// Letters by place, for layouts whose keys type no Latin letter.
UINT LetterOfScanCode(std::uint32_t code) {
    static const char rows[][11] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    static const std::uint32_t first[] = {24, 38, 52};
    for (int r = 0; r < 3; ++r) {
        std::uint32_t n = std::uint32_t(std::char_traits<char>::length(rows[r]));
        if (code >= first[r] && code < first[r] + n) return UINT(rows[r][code - first[r]]);
    }
    return 0;
}

UINT KeypadKey(int key, bool* extended) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return VK_NUMPAD0 + UINT(key - Qt::Key_0);
    switch (key) {
    case Qt::Key_Asterisk: return VK_MULTIPLY;
    case Qt::Key_Plus: return VK_ADD;
    case Qt::Key_Minus: return VK_SUBTRACT;
    case Qt::Key_Period:
    case Qt::Key_Comma: return VK_DECIMAL;
    case Qt::Key_Slash: *extended = true; return VK_DIVIDE;
    case Qt::Key_Enter:
    case Qt::Key_Return: *extended = true; return VK_RETURN;
    // Num Lock off: the keypad's own navigation keys, not extended.
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_End: return VK_END;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Clear: return VK_CLEAR;
    default: return 0;
    }
}

UINT PunctuationKey(int key) {
    switch (key) {
    case Qt::Key_Minus: case Qt::Key_Underscore: return VK_OEM_MINUS;
    case Qt::Key_Equal: case Qt::Key_Plus: return VK_OEM_PLUS;
    case Qt::Key_Comma: case Qt::Key_Less: return VK_OEM_COMMA;
    case Qt::Key_Period: case Qt::Key_Greater: return VK_OEM_PERIOD;
    case Qt::Key_Semicolon: case Qt::Key_Colon: return VK_OEM_1;
    case Qt::Key_Slash: case Qt::Key_Question: return VK_OEM_2;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return VK_OEM_3;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return VK_OEM_4;
    case Qt::Key_Backslash: case Qt::Key_Bar: return VK_OEM_5;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return VK_OEM_6;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return VK_OEM_7;
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    default: return 0;
    }
}

} // namespace

UINT VirtualKeyOf(int key, Qt::KeyboardModifiers modifiers, std::uint32_t scanCode,
                  bool* extended) {
    *extended = false;
    if (modifiers & Qt::KeypadModifier) {
        if (UINT vk = KeypadKey(key, extended)) return vk;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return UINT('A' + (key - Qt::Key_A));
    if (UINT vk = KeyOfScanCode(scanCode)) return vk;
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return UINT('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + UINT(key - Qt::Key_F1);
    auto ext = [&](UINT vk) {
        *extended = true;
        return vk;
    };
    switch (key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return: return VK_RETURN;
    case Qt::Key_Enter: return ext(VK_RETURN);
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return ext(VK_PRIOR);
    case Qt::Key_PageDown: return ext(VK_NEXT);
    case Qt::Key_End: return ext(VK_END);
    case Qt::Key_Home: return ext(VK_HOME);
    case Qt::Key_Left: return ext(VK_LEFT);
    case Qt::Key_Up: return ext(VK_UP);
    case Qt::Key_Right: return ext(VK_RIGHT);
    case Qt::Key_Down: return ext(VK_DOWN);
    case Qt::Key_Insert: return ext(VK_INSERT);
    case Qt::Key_Delete: return ext(VK_DELETE);
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_Print: return ext(VK_SNAPSHOT);
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_NumLock: return ext(VK_NUMLOCK);
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_Clear: return VK_CLEAR;
    case Qt::Key_Help: return VK_HELP;
    case Qt::Key_Shift: return scanCode == 62 ? VK_RSHIFT : VK_LSHIFT;
    case Qt::Key_Control: return scanCode == 105 ? ext(VK_RCONTROL) : VK_LCONTROL;
    case Qt::Key_Alt: return VK_LMENU;
    case Qt::Key_AltGr: return ext(VK_RMENU);
    case Qt::Key_Meta:
    case Qt::Key_Super_L: return ext(VK_LWIN);
    case Qt::Key_Super_R: return ext(VK_RWIN);
    case Qt::Key_Menu: return ext(VK_APPS);
    default: break;
    }
    if (UINT vk = PunctuationKey(key)) return vk;
    return LetterOfScanCode(scanCode);
}

} // namespace platform
