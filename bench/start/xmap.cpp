#include "start/xmap.h"

#include <X11/Xlib.h>

TMapWatch::TMapWatch(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return;
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    XSync(d, False);
    display_ = d;
}

TMapWatch::~TMapWatch() {
    if (display_) XCloseDisplay(static_cast<Display*>(display_));
}

void TMapWatch::Drain() {
    auto* d = static_cast<Display*>(display_);
    XSync(d, False);
    XEvent e;
    while (XPending(d))
        XNextEvent(d, &e);
}

bool TMapWatch::Mapped(int minWidth) {
    auto* d = static_cast<Display*>(display_);
    while (XPending(d)) {
        XEvent e;
        XNextEvent(d, &e);
        if (e.type != MapNotify) continue;
        XWindowAttributes a;
        if (XGetWindowAttributes(d, e.xmap.window, &a) && a.width >= minWidth) return true;
    }
    return false;
}
