#pragma once
// Hot keys of the whole desktop on X11: a key grab on the root window for each registered hot
// key, read in a native event filter and posted as WM_HOTKEY. Grabs that fail (another program
// holds the key) are ignored; the router's own check still serves keys typed into the program.

#include "platform/window/input.h"

#include <QAbstractNativeEventFilter>

#include <vector>

namespace platform {

// The X11 key symbol of a virtual key; 0 when it has none.
unsigned long KeySymOf(UINT vk);

class QtHotKeys : public QAbstractNativeEventFilter {
public:
    QtHotKeys();
    ~QtHotKeys() override;
    // Grabs what the model has registered, and releases what it no longer has.
    void Sync();
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

private:
    struct Grab {
        unsigned keycode;
        unsigned mask;  // X11 modifier mask
        UINT modifiers, vk;
    };
    void Ungrab();

    void* display_ = nullptr;  // Display*
    unsigned long root_ = 0;
    std::vector<Grab> grabs_;
};

} // namespace platform
