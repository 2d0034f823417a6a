#include "platform/window/modal.h"

#include "platform/core/clock.h"
#include "platform/window/focus.h"
#include "platform/window/wndobj.h"

#include <cstdio>
#include <utility>

namespace platform {
namespace {

ModalIdleHook g_idle;
ModalWaitHook g_wait = nullptr;
std::vector<std::pair<HWND, std::uint64_t>> g_stack;
std::uint64_t g_loops = 0;
bool g_tracking = false; // the next loop is a tracking loop

std::function<void()>& Idle() {
    static std::function<void()> handler;
    return handler;
}

bool OwnedBy(HWND h, HWND owner) {
    for (Wnd* w = Root(W(h)); w; w = W(w->owner))
        if (w->h == owner) return true;
    return false;
}

} // namespace

void RunModalLoop(HWND form, const std::function<bool()>& done) {
    const bool tracking = std::exchange(g_tracking, false);
    if (!W(form)) return;
    std::vector<HWND> disabled;
    for (HWND t : TopLevelWindows()) {
        if (tracking || t == form || OwnedBy(t, form) || !IsWindowEnabled(t)) continue;
        EnableWindow(t, false);
        disabled.push_back(t);
    }
    const HWND previous = GetActiveWindow();
    if (!tracking && IsWindowVisible(form)) SetActiveWindow(form);
    g_stack.push_back({form, ++g_loops});

    while (W(form) && !done()) {
        int handled = PumpMessages();
        if (!W(form) || done()) break;
        if (handled) continue;
        RunIdleHandler();
        if (!W(form) || done()) break;
        if (PumpMessages()) continue;
        if (g_idle) {
            if (!g_idle(form)) break;
        } else if (g_wait) {
            g_wait(100);  // a display: input can come on any clock
        } else if (IsVirtualClock()) {
            std::fprintf(stderr, "tolvern: modal loop of \"%s\" has nothing to wait for\n",
                         GetWindowText(form).c_str());
            break;
        } else {
            WaitMessage(100);
        }
    }

    g_stack.pop_back();
    for (HWND t : disabled)
        if (W(t)) EnableWindow(t, true);
    if (!tracking && W(previous) && previous != form && IsWindowVisible(previous) &&
        (!W(form) || !IsWindowVisible(form) || GetActiveWindow() == form))
        SetActiveWindow(previous);
}

void SetIdleHandler(std::function<void()> handler) {
    Idle() = std::move(handler);
}

void RunIdleHandler() {
    if (Idle()) Idle()();
}

void RunTrackingLoop(HWND window, const std::function<bool()>& done) {
    g_tracking = true;
    RunModalLoop(window, done);
}

ModalIdleHook SetModalIdleHook(ModalIdleHook hook) {
    ModalIdleHook old = std::move(g_idle);
    g_idle = std::move(hook);
    return old;
}

ModalWaitHook SetModalWaitHook(ModalWaitHook hook) {
    ModalWaitHook old = g_wait;
    g_wait = hook;
    return old;
}

int ModalLevel() {
    return static_cast<int>(g_stack.size());
}

HWND ModalWindow() {
    return g_stack.empty() ? 0 : g_stack.back().first;
}

std::uint64_t ModalLoopId() {
    return g_stack.empty() ? 0 : g_stack.back().second;
}

} // namespace platform
