#include "platform/window/modal.h"

#include "platform/core/clock.h"
#include "platform/window/focus.h"
#include "platform/window/wndobj.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace platform {
namespace {

ModalIdleHook g_idle;
ModalWaitHook g_wait = nullptr;
// The running loops, innermost last: the modal window, the loop's number and the windows it
// disabled.
struct Loop {
    HWND form;
    std::uint64_t id;
    std::vector<HWND> disabled;
};
std::vector<Loop> g_stack;
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

bool DisabledByModalLoop(HWND h) {
    for (const Loop& l : g_stack)
        if (std::find(l.disabled.begin(), l.disabled.end(), h) != l.disabled.end()) return true;
    return false;
}

} // namespace

void RunModalLoop(HWND form, const std::function<bool()>& done) {
    const bool tracking = std::exchange(g_tracking, false);
    if (!W(form)) return;
    // The windows that show and take input now wait. Hidden ones are left alone: a form made
    // earlier and shown modally from inside this loop must take input. The form itself and its
    // owned windows take it even when an enclosing loop disabled them; they wait again for
    // that loop once this one ends.
    std::vector<HWND> disabled, enabled;
    for (HWND t : TopLevelWindows()) {
        if (tracking) break;
        const bool own = t == form || OwnedBy(t, form);
        if (own && !IsWindowEnabled(t) && DisabledByModalLoop(t)) {
            EnableWindow(t, true);
            enabled.push_back(t);
        } else if (!own && IsWindowEnabled(t) && IsWindowVisible(t)) {
            EnableWindow(t, false);
            disabled.push_back(t);
        }
    }
    const HWND previous = GetActiveWindow();
    if (!tracking && IsWindowVisible(form)) SetActiveWindow(form);
    g_stack.push_back({form, ++g_loops, disabled});

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
            g_wait(100); // a display: input can come on any clock
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
    for (HWND t : enabled)
        if (W(t)) EnableWindow(t, false);
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
    return g_stack.empty() ? 0 : g_stack.back().form;
}

std::uint64_t ModalLoopId() {
    return g_stack.empty() ? 0 : g_stack.back().id;
}

} // namespace platform
