#pragma once
// The input router: the one path for real input (from the display) and injected input (tests).
// It turns presses, moves, wheel turns and keys into window messages: capture, double-clicks on
// its own clock, auto-repeat, the dispatch order of key-downs (hot keys, menu shortcuts, the
// form's key preview, dialog keys, the focused control), the wheel to the focused window,
// cursors, drag and drop inside the program and files dropped from outside. GUI thread only.

#include "platform/window/window.h"

#include <functional>
#include <string>
#include <vector>

namespace platform {

// Virtual-key codes. Keypad keys are distinct from the main keys; OEM keys by position.
enum : UINT {
    VK_LBUTTON = 0x01,
    VK_RBUTTON = 0x02,
    VK_CANCEL = 0x03,
    VK_MBUTTON = 0x04,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_CLEAR = 0x0C,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_PAUSE = 0x13,
    VK_CAPITAL = 0x14,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_SNAPSHOT = 0x2C,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_HELP = 0x2F,
    VK_LWIN = 0x5B,
    VK_RWIN = 0x5C,
    VK_APPS = 0x5D,
    VK_NUMPAD0 = 0x60,
    VK_NUMPAD1,
    VK_NUMPAD2,
    VK_NUMPAD3,
    VK_NUMPAD4,
    VK_NUMPAD5,
    VK_NUMPAD6,
    VK_NUMPAD7,
    VK_NUMPAD8,
    VK_NUMPAD9,
    VK_MULTIPLY = 0x6A,
    VK_ADD = 0x6B,
    VK_SEPARATOR = 0x6C,
    VK_SUBTRACT = 0x6D,
    VK_DECIMAL = 0x6E,
    VK_DIVIDE = 0x6F,
    VK_F1 = 0x70,
    VK_F2,
    VK_F3,
    VK_F4,
    VK_F5,
    VK_F6,
    VK_F7,
    VK_F8,
    VK_F9,
    VK_F10,
    VK_F11,
    VK_F12,
    VK_NUMLOCK = 0x90,
    VK_SCROLL = 0x91,
    VK_LSHIFT = 0xA0,
    VK_RSHIFT = 0xA1,
    VK_LCONTROL = 0xA2,
    VK_RCONTROL = 0xA3,
    VK_LMENU = 0xA4,
    VK_RMENU = 0xA5,
    VK_OEM_1 = 0xBA,
    VK_OEM_PLUS = 0xBB,
    VK_OEM_COMMA = 0xBC,
    VK_OEM_MINUS = 0xBD,
    VK_OEM_PERIOD = 0xBE,
    VK_OEM_2 = 0xBF,
    VK_OEM_3 = 0xC0,
    VK_OEM_4 = 0xDB,
    VK_OEM_5 = 0xDC,
    VK_OEM_6 = 0xDD,
    VK_OEM_7 = 0xDE,
    VK_OEM_102 = 0xE2,
};

// Bits of a key message's lParam.
inline constexpr LPARAM KF_EXTENDED_BIT = 1 << 24;
inline constexpr LPARAM KF_ALTDOWN_BIT = 1 << 29;
inline constexpr LPARAM KF_REPEAT_BIT = 1 << 30; // the key was already down
inline constexpr LPARAM KF_UP_BIT = LPARAM(1) << 31;

// Framework messages the router sends besides the platform's own.
inline constexpr UINT CM_MOUSEENTER = 0xB013;
inline constexpr UINT CM_MOUSELEAVE = 0xB014;
// A key-down offered to a form with key preview before its focused control: wParam the key,
// lParam the key message's lParam; a non-zero answer consumes the key.
inline constexpr UINT CM_KEYPREVIEW = 0xB040;
// The same for a typed character (wParam the code point).
inline constexpr UINT CM_CHARPREVIEW = 0xB041;
// Drag and drop inside the program: wParam a DragMessage kind, lParam a TDragRecord*.
inline constexpr UINT CM_DRAG = 0xB02F;
inline constexpr UINT BM_CLICK = 0x00F5;
inline constexpr LRESULT DLGC_WANTARROWS = 0x0001;
inline constexpr LRESULT DLGC_WANTTAB = 0x0002;
inline constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
inline constexpr LRESULT DLGC_WANTCHARS = 0x0080;

inline constexpr UINT MOD_ALT = 0x0001;
inline constexpr UINT MOD_CONTROL = 0x0002;
inline constexpr UINT MOD_SHIFT = 0x0004;
inline constexpr UINT MOD_WIN = 0x0008;

inline constexpr std::uint32_t kDoubleClickTime = 500; // ms
inline constexpr int kDoubleClickSize = 4;             // pixels, centred on the first press

enum class MouseButton { Left, Right, Middle };

// Screen coordinates.
void RouteMouseMove(int x, int y);
void RouteMouseButton(MouseButton button, bool down, int x, int y);
// delta: multiples of WHEEL_DELTA, positive away from the user.
void RouteWheel(int delta, int x, int y, bool horizontal = false);
// A down for a key that is already down is an auto-repeat.
void RouteKey(UINT vk, bool down, bool extended = false);
// The character a key typed (after its key-down).
void RouteChar(char32_t codePoint);
// Files dropped from another program at a screen point.
void RouteFileDrop(int x, int y, const std::vector<std::string>& paths);

// Key state: bit 15 set while down, bit 0 toggled by each press.
std::int16_t GetKeyState(int vk);
// After a window outside the model had the keyboard (a modal dialog of the toolkit, which
// took the releases of the keys that opened it): every key held in the state goes up, without
// messages, except the modifiers still held.
void ForgetKeysReleasedElsewhere(bool Shift, bool Ctrl, bool Alt);
std::int16_t GetAsyncKeyState(int vk);
// The key of the last key-down, or the button of the last press (VK_LBUTTON...), whichever
// came later; 0 before any.
UINT LastKeyDown();
// The MK_ flags of the buttons and Shift/Ctrl now down.
WPARAM MouseKeyFlags();

HWND SetCapture(HWND h);
bool ReleaseCapture();
HWND GetCapture();

// Hot keys work in every window of the program: a matching key-down posts WM_HOTKEY (wParam
// id, lParam MAKELPARAM(modifiers, vk)) and sends no key-down.
bool RegisterHotKey(HWND h, int id, UINT modifiers, UINT vk);
bool UnregisterHotKey(HWND h, int id);
struct HotKeyEntry {
    HWND h;
    int id;
    UINT modifiers;
    UINT vk;
};
std::vector<HotKeyEntry> RegisteredHotKeys();
// A hot key seen by the display outside the router (a grab on the screen): posts WM_HOTKEY to
// the window that registered it. False when none matches.
bool DeliverHotKey(UINT modifiers, UINT vk);

// An open menu takes every key-down first, hot keys included: true when it took the key.
using MenuKeyHook = std::function<bool(UINT vk, UINT modifiers)>;
void SetMenuKeyHook(MenuKeyHook hook);
// The menus' shortcut matcher: true when it took the key (no key-down is sent).
using ShortcutHook = std::function<bool(HWND activeTop, UINT vk, UINT modifiers)>;
ShortcutHook SetShortcutHook(ShortcutHook hook); // returns the previous one
// A form with key preview gets CM_KEYPREVIEW before its focused control. The form of a
// control is its top-level window, or the MDI child it lies in.
void SetKeyPreview(HWND form, bool on);
// Enter clicks the default button and Escape the cancel button (BM_CLICK), unless the focused
// control wants the key (WM_GETDLGCODE).
void SetDialogButtons(HWND form, HWND defaultButton, HWND cancelButton);

// Cursors: the standard set, the framework's numbered cursors and custom ones from images.
inline constexpr HCURSOR IDC_ARROW = 32512;
inline constexpr HCURSOR IDC_IBEAM = 32513;
inline constexpr HCURSOR IDC_WAIT = 32514;
inline constexpr HCURSOR IDC_CROSS = 32515;
inline constexpr HCURSOR IDC_UPARROW = 32516;
inline constexpr HCURSOR IDC_SIZENWSE = 32642;
inline constexpr HCURSOR IDC_SIZENESW = 32643;
inline constexpr HCURSOR IDC_SIZEWE = 32644;
inline constexpr HCURSOR IDC_SIZENS = 32645;
inline constexpr HCURSOR IDC_SIZEALL = 32646;
inline constexpr HCURSOR IDC_NO = 32648;
inline constexpr HCURSOR IDC_HAND = 32649;
inline constexpr HCURSOR IDC_APPSTARTING = 32650;
inline constexpr HCURSOR IDC_HELP = 32651;
inline constexpr HCURSOR IDC_DRAG = 32700; // the framework's drag and no-drop cursors
inline constexpr HCURSOR IDC_NODROP = 32701;
enum : int {
    crDefault = 0,
    crNone = -1,
    crArrow = -2,
    crCross = -3,
    crIBeam = -4,
    crSizeNESW = -6,
    crSizeNS = -7,
    crSizeNWSE = -8,
    crSizeWE = -9,
    crUpArrow = -10,
    crHourGlass = -11,
    crDrag = -12,
    crNoDrop = -13,
    crHSplit = -14,
    crVSplit = -15,
    crMultiDrag = -16,
    crNo = -18,
    crAppStart = -19,
    crHelp = -20,
    crHandPoint = -21,
    crSizeAll = -22,
};
HCURSOR LoadCursor(std::uintptr_t instance, HCURSOR id);
// The cursor of a framework number (crHourGlass...) or of a custom number registered below.
HCURSOR CursorOf(int number);
// A custom cursor from an image file (BMP, black transparent) with its hot spot.
HCURSOR RegisterCursor(int number, const std::string& imagePath, TPoint hotSpot);
struct CursorImage {
    std::string path;
    TPoint hotSpot;
};
// The image of a custom cursor; nullptr for a standard one.
const CursorImage* FindCursorImage(HCURSOR cursor);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor(); // what shows: the screen-wide override, else the last SetCursor
// A screen-wide override (the hourglass); 0 removes it.
void SetScreenCursor(HCURSOR cursor);

// Drag and drop between controls of the program.
enum DragMessage : WPARAM {
    dmDragEnter = 0,
    dmDragLeave = 1,
    dmDragMove = 2,
    dmDragDrop = 3,
    dmDragCancel = 4,
    dmFindTarget = 5,
    dmEndDrag = 6,
};
struct TDragRecord {
    HWND Source = 0;
    HWND Target = 0; // dmEndDrag: where it was dropped, 0 when cancelled
    TPoint Pos;      // the receiver's client coordinates
    bool Accept = false;
};
// Starts dragging from source: immediately, or once the pointer moves 5 pixels with the left
// button down. Targets get CM_DRAG dmDragEnter/Move/Leave and set Accept; the release over an
// accepting target sends dmDragDrop to it; the source always gets dmEndDrag. Escape cancels.
void BeginDrag(HWND source, bool immediate);
void CancelDrag();
bool Dragging();

// Files dropped from outside reach the window under the point or its nearest ancestor that
// accepts files, as WM_DROPFILES with an HDROP.
using HDROP = std::uintptr_t;
void DragAcceptFiles(HWND h, bool accept);
// index 0xFFFFFFFF: the count. Otherwise copies the full path; returns its length.
UINT DragQueryFile(HDROP drop, UINT index, std::string* path);
bool DragQueryPoint(HDROP drop, TPoint* client);
void DragFinish(HDROP drop);

// A press on a caption or frame edge (DefWindowProc of WM_NCLBUTTONDOWN): the window follows the
// pointer until the release, unless the presenter moves it itself.
void StartSystemMove(HWND h, LRESULT hitTest);

} // namespace platform
