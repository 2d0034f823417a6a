// The small editor of the example instruments: a child window of the host's window, on a
// connection of its own to the host's X display, in the instrument's colour with its name and a
// bar for each value. The picture is the window's background, so the server repaints it without
// the plug-in. No window without a parent.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <cstring>

namespace tvexample {

// X errors of the editor's own requests (a parent that went away first) are answered here
// rather than by Xlib's default, which would end the host.
inline bool& XFailed() {
    static bool failed = false;
    return failed;
}
inline int NoteXError(Display*, XErrorEvent*) {
    XFailed() = true;
    return 0;
}
// Runs Requests with X errors noted, not fatal; false when one failed.
template <class F> bool Guarded(Display* Dpy, F Requests) {
    XErrorHandler old = XSetErrorHandler(&NoteXError);
    XFailed() = false;
    Requests();
    XSync(Dpy, False);
    XSetErrorHandler(old);
    return !XFailed();
}

class X11Editor {
public:
    static constexpr int Width = 240, Height = 120;

    ~X11Editor() { Close(); }

    // Parent is the host's X11 window id; false (no editor) for 0 or without a display.
    bool Open(std::uintptr_t Parent, unsigned long Colour, const char* Name) {
        Close();
        if (!Parent) return false;
        dpy_ = XOpenDisplay(nullptr);
        if (!dpy_) return false;
        colour_ = Colour;
        name_ = Name;
        const bool made = Guarded(dpy_, [&] {
            win_ = XCreateSimpleWindow(dpy_, static_cast<Window>(Parent), 0, 0, Width, Height, 0, 0,
                                       Colour);
        });
        if (!made) {
            XCloseDisplay(dpy_);
            dpy_ = nullptr;
            return false;
        }
        const int depth = DefaultDepth(dpy_, DefaultScreen(dpy_));
        picture_ = XCreatePixmap(dpy_, win_, Width, Height, static_cast<unsigned>(depth));
        gc_ = XCreateGC(dpy_, picture_, 0, nullptr);
        font_ = XLoadQueryFont(dpy_, "fixed");
        if (font_) XSetFont(dpy_, gc_, font_->fid);
        XMapWindow(dpy_, win_);
        XFlush(dpy_);
        return true;
    }

    bool IsOpen() const { return dpy_ != nullptr; }

    // Paints the values (0..1) when they changed since the last call.
    void Show(const float* Values, int Count) {
        if (!dpy_) return;
        if (Count > MaxValues) Count = MaxValues;
        if (painted_ && Count == count_ && !std::memcmp(Values, values_, sizeof(float) * Count)) {
            Events();
            return;
        }
        painted_ = true;
        count_ = Count;
        std::memcpy(values_, Values, sizeof(float) * Count);
        XSetForeground(dpy_, gc_, colour_);
        XFillRectangle(dpy_, picture_, gc_, 0, 0, Width, Height);
        XSetForeground(dpy_, gc_, 0xFFFFFF);
        if (font_)
            XDrawString(dpy_, picture_, gc_, 10, 20, name_, static_cast<int>(std::strlen(name_)));
        for (int i = 0; i < Count; ++i) {
            const int y = 36 + 26 * i;
            XSetForeground(dpy_, gc_, 0x202020);
            XFillRectangle(dpy_, picture_, gc_, 10, y, Width - 20, 14);
            XSetForeground(dpy_, gc_, 0xF0C040);
            XFillRectangle(dpy_, picture_, gc_, 10, y,
                           static_cast<unsigned>((Width - 20) * Clamp(Values[i])), 14);
        }
        Guarded(dpy_, [&] {
            XSetWindowBackgroundPixmap(dpy_, win_, picture_);
            XClearWindow(dpy_, win_);
        });
        Events();
    }

    void Close() {
        if (!dpy_) return;
        Guarded(dpy_, [&] {
            if (font_) XFreeFont(dpy_, font_);
            XFreeGC(dpy_, gc_);
            XFreePixmap(dpy_, picture_);
            XDestroyWindow(dpy_, win_);
        });
        XCloseDisplay(dpy_);
        dpy_ = nullptr;
        font_ = nullptr;
        painted_ = false;
    }

private:
    static constexpr int MaxValues = 3;
    static float Clamp(float V) { return V < 0 ? 0 : V > 1 ? 1 : V; }
    // Nothing to answer: the server paints the background. Events are read so none pile up.
    void Events() {
        while (XPending(dpy_)) {
            XEvent e;
            XNextEvent(dpy_, &e);
        }
        XFlush(dpy_);
    }

    Display* dpy_ = nullptr;
    Window win_ = 0;
    Pixmap picture_ = 0;
    GC gc_ = nullptr;
    XFontStruct* font_ = nullptr;
    unsigned long colour_ = 0;
    const char* name_ = "";
    float values_[MaxValues] = {};
    int count_ = 0;
    bool painted_ = false;
};

} // namespace tvexample
