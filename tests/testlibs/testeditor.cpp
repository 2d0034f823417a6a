// The editor plug-in of the tests: a record with the style, capabilities and size a test sets,
// a log of the commands it gets, its title, and a one-colour X11 child of the window it is
// given (none for 0).
#include "testeditor.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

TTestEditorSetup setup;
TMeInterface record;
std::vector<TTestEditorEntry> entries;
std::atomic<int> blocks{0};
std::atomic<int> lastFrames{0};
TMeHostCallback host = nullptr;
Display* display = nullptr;
Window child = 0;

// Made-up parents of the offscreen tests are no windows of the display: their errors are
// caught, not fatal.
bool xError = false;
int CatchError(Display*, XErrorEvent*) {
    xError = true;
    return 0;
}

void OpenChild(std::intptr_t Parent) {
    if (Parent == 0 || child) return;
    display = XOpenDisplay(nullptr);
    if (!display) return;
    xError = false;
    XErrorHandler old = XSetErrorHandler(CatchError);
    const unsigned long pixel = setup.Colour; // TrueColor visuals take 0xRRGGBB as the pixel
    child = XCreateSimpleWindow(display, static_cast<Window>(Parent), 0, 0,
                                static_cast<unsigned>(std::max(setup.Size.Width, 1)),
                                static_cast<unsigned>(std::max(setup.Size.Height, 1)), 0, pixel,
                                pixel);
    XMapWindow(display, child);
    XSync(display, False);
    XSetErrorHandler(old);
    if (xError) {
        XCloseDisplay(display);
        display = nullptr;
        child = 0;
    }
}

void CloseChild() {
    if (display) {
        if (child) XDestroyWindow(display, child);
        XCloseDisplay(display);
    }
    display = nullptr;
    child = 0;
}

std::int32_t Command(TMeInterface*, std::int32_t Cmd, std::intptr_t A, std::intptr_t B) {
    if (Cmd == ME_AUDIO) {
        lastFrames.store(static_cast<int>(B));
        blocks.fetch_add(1);
        return 0;
    }
    entries.push_back({Cmd, A, B});
    switch (Cmd) {
    case ME_OPEN:
        if (B) *reinterpret_cast<TMeSize*>(B) = setup.Size;
        OpenChild(A);
        break;
    case ME_TITLE: {
        const std::size_t n = setup.TitleBytes < 0 ? std::strlen(setup.Title) + 1
                                                    : static_cast<std::size_t>(setup.TitleBytes);
        std::memcpy(reinterpret_cast<char*>(A), setup.Title, std::min<std::size_t>(n, ME_TITLE_BYTES));
        break;
    }
    case ME_RESIZE:
        if (display && child && A > 0 && B > 0) {
            XResizeWindow(display, child, static_cast<unsigned>(A), static_cast<unsigned>(B));
            XSync(display, False);
        }
        break;
    case ME_CALLBACK:
        host = reinterpret_cast<TMeHostCallback>(A);
        break;
    case ME_DESTROY:
        CloseChild();
        host = nullptr;
        break;
    default:
        break;
    }
    return 0;
}

} // namespace

EXPORT TMeInterface* MEConnect() {
    if (setup.NullRecord) return nullptr;
    std::memset(&record, 0, sizeof record);
    record.WindowStyle = setup.WindowStyle;
    record.Capabilities = setup.Capabilities;
    record.Command = Command;
    return &record;
}

EXPORT void TestEditorSetup(const TTestEditorSetup* Setup) {
    setup = *Setup;
    entries.clear();
    blocks.store(0);
}

EXPORT int TestEditorLog(TTestEditorEntry* Out, int Max) {
    const int n = static_cast<int>(entries.size());
    for (int i = 0; i < std::min(n, Max); ++i)
        Out[i] = entries[static_cast<std::size_t>(i)];
    return n;
}

EXPORT int TestEditorBlocks(int* LastFrames) {
    if (LastFrames) *LastFrames = lastFrames.load();
    return blocks.load();
}

EXPORT std::int32_t TestEditorCall(std::int32_t Op, std::intptr_t A, std::intptr_t B) {
    return host ? host(nullptr, Op, A, B) : -2;
}

EXPORT unsigned long TestEditorWindow() {
    return child;
}
