#include "x11_windows.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

std::uint32_t X11ScreenColourAt(unsigned long W) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return 0xFFFFFFFF;
    XWindowAttributes a{};
    std::uint32_t colour = 0xFFFFFFFF;
    int x = 0, y = 0;
    Window ignored = 0;
    if (XGetWindowAttributes(d, W, &a) &&
        XTranslateCoordinates(d, W, DefaultRootWindow(d), a.width / 2, a.height / 2, &x, &y,
                              &ignored))
        if (XImage* img = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap)) {
            colour = static_cast<std::uint32_t>(XGetPixel(img, 0, 0)) & 0xFFFFFF;
            XDestroyImage(img);
        }
    XCloseDisplay(d);
    return colour;
}

unsigned long X11ParentOf(unsigned long W) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return 0;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, W, &root, &parent, &children, &n)) parent = 0;
    if (children) XFree(children);
    XCloseDisplay(d);
    return parent;
}
