#pragma once
// Shared between the menu model (menus.cpp) and the menu windows (menus_track.cpp).

#include "platform/forms/menus.h"

namespace platform {

// Installs the shortcut matcher and the menu-bar hooks into the window layer (once).
void InstallMenuHooks();
// A menu is being destroyed: an open one closes, a bar that shows it goes.
void MenuGoing(TMenu* menu);
// The form framework's side: the shortcut step, right-click menus, forms' bars (menus_forms.cpp).
void InstallFormMenuHooks();
// The main menu a top-level window's bar shows, brought up to date with the active MDI child.
TMainMenu* BarMenu(HWND top);

} // namespace platform
