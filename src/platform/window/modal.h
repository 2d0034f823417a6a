#pragma once
// Modal loops. While one runs, every other visible, enabled top-level window of the program is
// disabled (windows owned by the modal one stay usable, and the modal window takes input even
// when an enclosing loop had disabled it); posted messages, paints, timers and cross-thread
// sends are served inside it.

#include "platform/window/window.h"

#include <cstdint>
#include <functional>

namespace platform {

// Runs until done() holds or form is destroyed; afterwards re-enables what it disabled.
void RunModalLoop(HWND form, const std::function<bool()>& done);

// The same loop for a window that tracks input for a while (an open menu): nothing is
// disabled or activated. It counts as a modal level and meets the idle hook below.
void RunTrackingLoop(HWND window, const std::function<bool()>& done);

// Called when a modal loop has nothing to do; returns false to abandon the loop. Tests answer
// forms here. Without a hook the loop waits for input, except on the virtual clock, where
// nothing could ever happen, so it gives up with a line on stderr.
using ModalIdleHook = std::function<bool(HWND form)>;
ModalIdleHook SetModalIdleHook(ModalIdleHook hook);

// How a modal loop waits for something to happen on a real display (the display's own event
// loop); without one it waits on the message queue.
using ModalWaitHook = void (*)(std::uint32_t maxMs);
ModalWaitHook SetModalWaitHook(ModalWaitHook hook);

// Called whenever a message loop (a modal loop, the display's event loop) has emptied the
// queue: the application's idle event.
void SetIdleHandler(std::function<void()> handler);
void RunIdleHandler();

// Nesting depth, and the innermost modal window (0 when none).
int ModalLevel();
HWND ModalWindow();
// A number for the innermost running loop, new for every loop entered (0 when none).
std::uint64_t ModalLoopId();

} // namespace platform
