#pragma once
// Shared between the menu model (menus.cpp) and the menu windows (menus_track.cpp).

#include "platform/forms/menus.h"

namespace platform {

// Installs the shortcut matcher and the menu-bar hooks into the window layer (once).
void InstallMenuHooks();
// A menu is being destroyed: an open one closes, a bar that shows it goes.
void MenuGoing(TMenu* menu);
// The shortcut step of the key dispatch.
bool MatchShortCut(HWND activeTop, UINT vk, UINT modifiers);

} // namespace platform
