#include "platform/window/qt_hotkeys.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace platform {
namespace {

// Num Lock and Caps Lock must not stop a hot key: each grab is made in the four combinations.
constexpr unsigned kLockMasks[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};
constexpr unsigned kModifierMask = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;
constexpr std::uint8_t kBadAccess = 10;
constexpr std::uint8_t kGrabKeyRequest = 33;

unsigned MaskOf(UINT modifiers) {
    return ((modifiers & MOD_SHIFT) ? ShiftMask : 0) | ((modifiers & MOD_CONTROL) ? ControlMask : 0) |
           ((modifiers & MOD_ALT) ? Mod1Mask : 0) | ((modifiers & MOD_WIN) ? Mod4Mask : 0);
}

} // namespace

unsigned long KeySymOf(UINT vk) {
    if (vk >= 'A' && vk <= 'Z') return XK_a + (vk - 'A');
    if (vk >= '0' && vk <= '9') return XK_0 + (vk - '0');
    if (vk >= VK_F1 && vk <= VK_F1 + 23) return XK_F1 + (vk - VK_F1);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return XK_KP_0 + (vk - VK_NUMPAD0);
    switch (vk) {
    case VK_SPACE: return XK_space;
    case VK_RETURN: return XK_Return;
    case VK_ESCAPE: return XK_Escape;
    case VK_TAB: return XK_Tab;
    case VK_BACK: return XK_BackSpace;
    case VK_INSERT: return XK_Insert;
    case VK_DELETE: return XK_Delete;
    case VK_HOME: return XK_Home;
    case VK_END: return XK_End;
    case VK_PRIOR: return XK_Page_Up;
    case VK_NEXT: return XK_Page_Down;
    case VK_LEFT: return XK_Left;
    case VK_UP: return XK_Up;
    case VK_RIGHT: return XK_Right;
    case VK_DOWN: return XK_Down;
    case VK_PAUSE: return XK_Pause;
    case VK_MULTIPLY: return XK_KP_Multiply;
    case VK_ADD: return XK_KP_Add;
    case VK_SUBTRACT: return XK_KP_Subtract;
    case VK_DECIMAL: return XK_KP_Decimal;
    case VK_DIVIDE: return XK_KP_Divide;
    case VK_OEM_MINUS: return XK_minus;
    case VK_OEM_PLUS: return XK_equal;
    case VK_OEM_COMMA: return XK_comma;
    case VK_OEM_PERIOD: return XK_period;
    case VK_OEM_1: return XK_semicolon;
    case VK_OEM_2: return XK_slash;
    case VK_OEM_3: return XK_grave;
    case VK_OEM_4: return XK_bracketleft;
    case VK_OEM_5: return XK_backslash;
    case VK_OEM_6: return XK_bracketright;
    case VK_OEM_7: return XK_apostrophe;
    default: return 0;
    }
}

QtHotKeys::QtHotKeys() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display()) return;
    display_ = x11->display();
    root_ = DefaultRootWindow(static_cast<Display*>(display_));
    QCoreApplication::instance()->installNativeEventFilter(this);
}

QtHotKeys::~QtHotKeys() {
    if (!display_) return;
    Ungrab();
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

void QtHotKeys::Ungrab() {
    auto* d = static_cast<Display*>(display_);
    for (const Grab& g : grabs_)
        for (unsigned lock : kLockMasks) XUngrabKey(d, int(g.keycode), g.mask | lock, root_);
    grabs_.clear();
    XFlush(d);
}

void QtHotKeys::Sync() {
    if (!display_) return;
    auto* d = static_cast<Display*>(display_);
    Ungrab();
    for (const HotKeyEntry& k : RegisteredHotKeys()) {
        unsigned long sym = KeySymOf(k.vk);
        KeyCode code = sym ? XKeysymToKeycode(d, sym) : 0;
        if (!code) continue;
        Grab g{code, MaskOf(k.modifiers), k.modifiers, k.vk};
        // A key another program holds fails with BadAccess, which the filter swallows.
        for (unsigned lock : kLockMasks)
            XGrabKey(d, code, g.mask | lock, root_, False, GrabModeAsync, GrabModeAsync);
        grabs_.push_back(g);
    }
    XFlush(d);
}

bool QtHotKeys::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (!display_ || type != "xcb_generic_event_t") return false;
    auto* ev = static_cast<xcb_generic_event_t*>(message);
    const std::uint8_t kind = ev->response_type & 0x7F;
    if (kind == 0) {
        auto* err = reinterpret_cast<xcb_generic_error_t*>(ev);
        return err->error_code == kBadAccess && err->major_code == kGrabKeyRequest;
    }
    if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE) return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(ev);
    if (key->event != root_) return false;
    const unsigned mask = key->state & kModifierMask;
    for (const Grab& g : grabs_) {
        if (g.keycode != key->detail || g.mask != mask) continue;
        if (kind == XCB_KEY_PRESS) DeliverHotKey(g.modifiers, g.vk);
        return true;
    }
    return false;
}

} // namespace platform
