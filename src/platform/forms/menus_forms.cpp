// The menus in the form framework: a form's main menu as its bar (merged with the active MDI
// child's), the shortcut step of the key dispatch, and right-click menus of controls.

#include "platform/forms/application.h"
#include "platform/forms/form.h"
#include "platform/menus/menus.h"
#include "platform/menus/menus_internal.h"
#include "platform/window/focus.h"

namespace platform {

namespace {

TForm* FormOf(HWND h) {
    return dynamic_cast<TForm*>(FindControl(h));
}

TShortCut ShortCutOf(std::uint16_t key, TShiftState shift) {
    TShortCut mods = 0;
    if (shift & ssShift) mods |= scShift;
    if (shift & ssCtrl) mods |= scCtrl;
    if (shift & ssAlt) mods |= scAlt;
    return ShortCut(key, mods);
}

// The frame's menu merges the menu of its active child.
void SyncMerge(TForm* frame) {
    TMainMenu* menu = frame ? frame->GetMenu() : nullptr;
    if (!menu) return;
    TForm* child = frame->FormStyle == fsMDIForm ? frame->ActiveMDIChild() : nullptr;
    TMainMenu* childMenu = child ? child->GetMenu() : nullptr;
    if (menu->Merged() == childMenu) return;
    if (childMenu)
        menu->Merge(childMenu);
    else
        menu->Unmerge(menu->Merged());
}

bool FormShortCut(TForm* form, std::uint16_t key, TShiftState shift) {
    std::vector<TMenu*> menus;
    // The focused control's menus first, then those of its parents up to the form.
    for (TControl* c = FindControl(GetFocus()); c; c = c->Parent()) {
        if (c->PopupMenu) menus.push_back(c->PopupMenu);
        if (c == form) break;
    }
    SyncMerge(form);
    if (form->GetMenu()) {
        menus.push_back(form->GetMenu());
    } else if (TForm* child = form->FormStyle == fsMDIForm ? form->ActiveMDIChild() : nullptr) {
        if (child->GetMenu()) menus.push_back(child->GetMenu());
    }
    TMenuItem* item = FindShortCut(menus, ShortCutOf(key, shift));
    if (!item) return false;
    item->Click();
    return true;
}

void InstallFormMenuHooks() {
    TForm::SetShortCutHandler(FormShortCut);
    TControl::SetPopupHook([](TControl* control, TPopupMenu* menu, TPoint screen) {
        if (!menu->AutoPopup) return false;
        menu->PopupComponent = control;
        menu->Popup(screen.X, screen.Y);
        return true;
    });
}

// Linked in with every form (form.cpp applies menus through this unit), so the menus know the
// framework before the first menu is made.
[[maybe_unused]] const bool g_formMenuHooks = [] {
    FormMenuHooks hooks;
    hooks.Install = InstallFormMenuHooks;
    hooks.MenuGoing = TForm::MenuGoing;
    hooks.PopupMenuGoing = ControlsPopupMenuGoing;
    hooks.SyncBar = [](HWND top) {
        if (TForm* f = FormOf(top)) SyncMerge(f);
    };
    SetFormMenuHooks(hooks);
    return true;
}();

} // namespace

void TForm::SetMenu(TMainMenu* menu) {
    if (menu_ == menu) return;
    menu_ = menu;
    ApplyMenu();
}

void TForm::ApplyMenu() {
    if (!HandleAllocated()) return;
    if (formStyle_ == fsMDIChild) {
        TForm* frame = Application ? Application->MainForm : nullptr;
        if (frame && frame->HandleAllocated() && frame->GetMenu()) {
            SyncMerge(frame);
            DrawMenuBar(frame->ExistingHandle());
        }
        return;
    }
    SetWindowMenu(ExistingHandle(), menu_);
}

void TForm::MenuGoing(TMenu* menu) {
    // Forms that show the menu forget it: top-level forms and the children of MDI frames.
    std::vector<HWND> windows = TopLevelWindows();
    for (HWND top : TopLevelWindows())
        if (TForm* f = FormOf(top); f && f->ClientHandle())
            for (HWND child : ChildWindows(f->ClientHandle()))
                windows.push_back(child);
    for (HWND h : windows)
        if (TForm* f = FormOf(h); f && f->menu_ == menu) f->menu_ = nullptr;
}

} // namespace platform
