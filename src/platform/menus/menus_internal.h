#pragma once
// Shared between the menu model (menus.cpp) and the menu windows (menus_track.cpp).

#include "platform/menus/menus.h"

namespace platform {

// Installs the shortcut matcher and the menu-bar hooks into the window layer (once).
void InstallMenuHooks();
// A menu is being destroyed: an open one closes, a bar that shows it goes.
void MenuGoing(TMenu* menu);
// A pop-up menu is being destroyed (before MenuGoing): the controls that show it forget it.
void PopupMenuGoing(TPopupMenu* menu);
// The main menu a top-level window's bar shows, brought up to date with the active MDI child.
TMainMenu* BarMenu(HWND top);

// The form framework's side of the menus (forms/menus_forms.cpp), set by it as the program
// starts: the menus sit below the framework and reach it only through these.
struct FormMenuHooks {
    // Puts the shortcut step and right-click menus in place; run with the menus' own hooks.
    void (*Install)() = nullptr;
    // Forms that show a menu being destroyed forget it.
    void (*MenuGoing)(TMenu* menu) = nullptr;
    // Controls that show a pop-up menu being destroyed forget it.
    void (*PopupMenuGoing)(TPopupMenu* menu) = nullptr;
    // A form's bar merges its active MDI child's menu before it is shown.
    void (*SyncBar)(HWND top) = nullptr;
};
void SetFormMenuHooks(const FormMenuHooks& hooks);

} // namespace platform
