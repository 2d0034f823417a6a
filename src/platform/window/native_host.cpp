#include "platform/window/native_host.h"

#include "platform/core/nocase.h"

namespace platform {
namespace {

constexpr std::string_view kClass = "TolvernNativeHost";

LRESULT HostProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_WINDOWPOSCHANGED:
    case WM_SHOWWINDOW: {
        LRESULT r = DefWindowProc(h, msg, w, l);
        CurrentPresenter().NativeHostId(h);  // keeps the display's window in place
        return r;
    }
    case WM_DESTROY:
        CurrentPresenter().NativeHostGone(h);
        break;
    default:
        break;
    }
    return DefWindowProc(h, msg, w, l);
}

} // namespace

HWND CreateNativeHost(HWND parent, int x, int y, int width, int height) {
    static const bool registered = [] {
        WNDCLASS wc;
        wc.lpfnWndProc = HostProc;
        wc.lpszClassName = std::string(kClass);
        return RegisterClass(wc) != 0;
    }();
    if (!registered || !IsWindow(parent)) return 0;
    return CreateWindowEx(0, kClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, width,
                          height, parent);
}

bool IsNativeHost(HWND h) { return IsWindow(h) && SameText(GetClassName(h), kClass); }

std::uintptr_t NativeWindowId(HWND h) {
    return IsNativeHost(h) ? CurrentPresenter().NativeHostId(h) : 0;
}

} // namespace platform
