#include "start/xmap.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace {

// A window that goes while it is read is no reason to end the benchmark.
int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

TMapWatch::TMapWatch(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return;
    XSetErrorHandler(IgnoreErrors);
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
        if (XGetWindowAttributes(d, e.xmap.window, &a) && a.width >= minWidth) {
            window_ = e.xmap.window;
            covered_.clear();
            last_.clear();
            width_ = height_ = 0;
            return true;
        }
    }
    return false;
}

int TMapWatch::Changed() {
    auto* d = static_cast<Display*>(display_);
    XWindowAttributes a;
    if (!window_ || !XGetWindowAttributes(d, window_, &a) || a.width <= 0 || a.height <= 0)
        return -1;
    // The windows above it, bottom first among the root's children.
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned count = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &count)) {
        bool above = false;
        for (unsigned i = 0; i < count; ++i) {
            if (kids[i] == window_) {
                above = true;
                continue;
            }
            XWindowAttributes k;
            if (above && XGetWindowAttributes(d, kids[i], &k) && k.map_state == IsViewable)
                covered_.push_back(
                    {k.x, k.y, k.width + 2 * k.border_width, k.height + 2 * k.border_width});
        }
        if (kids) XFree(kids);
    }
    XImage* image = XGetImage(d, window_, 0, 0, static_cast<unsigned>(a.width),
                              static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
    if (!image) return -1;
    // The picture, covered pixels kCovered (X pixel values have at most 24 bits here).
    constexpr std::uint32_t kCovered = 0xFF000000u;
    std::vector<std::uint32_t> now(std::size_t(a.width) * std::size_t(a.height));
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            now[std::size_t(y) * std::size_t(a.width) + std::size_t(x)] =
                static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu;
    XDestroyImage(image);
    for (const TRect& r : covered_) {
        const int x0 = std::max(0, r.X - a.x), x1 = std::min(a.width, r.X + r.W - a.x);
        const int y0 = std::max(0, r.Y - a.y), y1 = std::min(a.height, r.Y + r.H - a.y);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                now[std::size_t(y) * std::size_t(a.width) + std::size_t(x)] = kCovered;
    }
    bool changed = a.width != width_ || a.height != height_;
    if (!changed) {
        int left = a.width, right = -1;
        for (std::size_t i = 0; i < now.size(); ++i)
            if (now[i] != last_[i] && last_[i] != kCovered && now[i] != kCovered) {
                const int x = static_cast<int>(i % std::size_t(a.width));
                left = std::min(left, x);
                right = std::max(right, x);
            }
        changed = right - left >= 2;
    }
    if (changed || a.width != width_ || a.height != height_) {
        last_ = std::move(now);
        width_ = a.width;
        height_ = a.height;
    }
    return changed ? 1 : 0;
}
