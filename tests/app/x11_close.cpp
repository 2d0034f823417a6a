#include "app/x11_close.h"

#include <X11/Xlib.h>

bool SendDeleteWindow(const std::string& display, unsigned long window) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return false;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(d, window, False, NoEventMask, &e) != 0;
    XFlush(d);
    XCloseDisplay(d);
    return sent;
}
