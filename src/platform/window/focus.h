#pragma once
// Activation and keyboard focus, kept apart: the active window is a top-level window; the focus
// is a window inside the active one. A window activated again gets back the focus it last had.

#include "platform/window/window.h"

namespace platform {

inline constexpr WPARAM WA_INACTIVE = 0;
inline constexpr WPARAM WA_ACTIVE = 1;
inline constexpr WPARAM WA_CLICKACTIVE = 2;

// Answers to WM_MOUSEACTIVATE.
inline constexpr LRESULT MA_ACTIVATE = 1;
inline constexpr LRESULT MA_ACTIVATEANDEAT = 2;
inline constexpr LRESULT MA_NOACTIVATE = 3;
inline constexpr LRESULT MA_NOACTIVATEANDEAT = 4;

HWND GetActiveWindow();
// Activates the top-level window of h (raised to the top); returns the previous one.
HWND SetActiveWindow(HWND h);
HWND GetForegroundWindow();
bool SetForegroundWindow(HWND h);
HWND GetFocus();
// Gives the keyboard focus to h (0: nobody), activating its top-level window first.
HWND SetFocus(HWND h);
// Whether the program has the activation among the programs of the desktop; a display
// reports changes (deactivation releases the capture).
bool IsAppActive();
// MDI children (WS_EX_MDICHILD windows inside a client area): one of them is active; it comes
// to the top of its siblings, and the old and the new one get WM_MDIACTIVATE (wParam the one
// deactivated, lParam the one activated). A click or the focus inside a child activates it.
void MdiActivate(HWND child);
HWND MdiGetActive(HWND client);
// The active MDI child of an MDI client area inside top (0 when none).
HWND ActiveMdiChildIn(HWND top);
void SetAppActive(bool active);

} // namespace platform
