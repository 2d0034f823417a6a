#pragma once
// The real display: Qt on X11 (its xcb platform, XWayland included), presenting the window
// model. Native Wayland is not supported. Without an open display the model runs headless.

#include <string>

namespace platform {

// Chooses Qt's xcb platform unless the user set QT_QPA_PLATFORM.
void PreferX11Platform();
// Starts the Qt application and presents the window model through it, the message queue and
// the timers driven by Qt's event loop. False, with the reason, when the display cannot open.
bool OpenDisplay(std::string* error = nullptr);
// Hides the windows of the display and returns the model to headless.
void CloseDisplay();
// Whether the display's own thread (the session bus connection made while it opens) has
// finished; it is joined then. A program that ends without closing the display does not wait
// for it otherwise: a session bus that does not answer holds it for good.
bool DisplayThreadsFinished();
bool DisplayOpen();
// Whether windows are X11 windows (false on the offscreen platform).
bool DisplayIsX11();
// Runs the event loop until QuitDisplayLoop(); returns its exit code.
int RunDisplayLoop();
void QuitDisplayLoop(int code = 0);
// Handles the display's pending events (input, window events) without waiting.
void ProcessDisplayEvents();

} // namespace platform
