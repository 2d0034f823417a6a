#pragma once
// Menus: main menus and pop-up menus as a tree of items, their shortcuts, and the menu windows
// that show them (drawn by us: a menu column can start at any item). The windows are built
// from the model each time a menu opens, so run-time changes to the items show at once.
// GUI thread only.

#include "platform/core/messages.h"
#include "platform/gdi/surface.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A key with its modifiers: the virtual key in the low byte.
using TShortCut = std::uint16_t;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;
inline constexpr TShortCut scNone = 0;

// modifiers: any of scShift, scCtrl, scAlt.
TShortCut ShortCut(UINT vk, TShortCut modifiers = 0);
// The shortcut as a menu shows it: "Ctrl+V", "Shift+F5", "Del"; "" for none.
std::string ShortCutToText(TShortCut shortCut);
// The reverse; 0 for text that names no key.
TShortCut TextToShortCut(std::string_view text);
// The shortcut of a key-down with MOD_ modifiers (input.h).
TShortCut ShortCutOfKey(UINT vk, UINT modifiers);

enum TMenuBreak { mbNone, mbBreak, mbBarBreak };

class TMenu;
class TComponent;

class TMenuItem {
public:
    TMenuItem() : TMenuItem(std::string()) {}
    explicit TMenuItem(std::string caption, std::function<void(TMenuItem*)> onClick = {});
    // Leaves its parent and frees its own items.
    virtual ~TMenuItem();
    TMenuItem(const TMenuItem&) = delete;
    TMenuItem& operator=(const TMenuItem&) = delete;

    std::string Name;
    std::string Caption; // "&" marks the access letter; "-" is a separator line
    TShortCut ShortCut = 0;
    bool Checked = false;
    bool RadioItem = false; // a round mark instead of a tick
    bool Visible = true;
    bool Enabled = true;
    bool Default = false; // drawn in bold
    int Tag = 0;
    int GroupIndex = 0;              // radio groups; main menus merge by it
    TMenuBreak Break = mbNone;       // this item starts a new column (mbBarBreak: with a line)
    std::shared_ptr<Surface> Bitmap; // drawn left of the caption; its bottom-left colour is clear
    std::string Hint;
    // Runs when the item is chosen, or, for an item with a submenu, when the submenu opens.
    std::function<void(TMenuItem* sender)> OnClick;
    // Runs before the item's submenu is searched for a shortcut, so that the enabling the
    // submenu's opening would set holds for its keys too.
    std::function<void(TMenuItem* sender)> OnRefresh;
    // Asked when the item's shortcut is pressed; false declines the key, which then goes on as
    // if the item had no shortcut (to a focused control, for instance).
    std::function<bool(TMenuItem* sender)> OnAcceptKey;

    // Checks the item; a checked radio item unchecks the others of its group in its menu.
    void SetChecked(bool checked);

    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const;
    TMenuItem* operator[](int index) const { return Items(index); }
    // The item takes ownership; an item that is in another menu leaves it first.
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    // Takes the item out without freeing it (the caller owns it again).
    void Remove(TMenuItem* item);
    // Frees the item at index.
    void Delete(int index);
    // Frees every item.
    void Clear();
    int IndexOf(const TMenuItem* item) const;
    TMenuItem* Parent() const { return parent_; }
    int MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }
    // The menu whose tree holds this item (nullptr when none does).
    TMenu* GetParentMenu() const;
    bool IsLine() const { return Caption == "-"; }
    // Runs OnClick.
    virtual void Click();

    // A number that is never reused, to tell a live item from a freed one.
    std::uint64_t Serial() const { return serial_; }

private:
    friend class TMenu;
    std::vector<TMenuItem*> items_;
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr; // set on a menu's root item only
    std::uint64_t serial_ = NextSerial();
    static std::uint64_t NextSerial();
};

// The item of a serial while it lives, else nullptr.
TMenuItem* LiveMenuItem(std::uint64_t serial);

class TMenu {
public:
    TMenu();
    virtual ~TMenu();
    TMenu(const TMenu&) = delete;
    TMenu& operator=(const TMenu&) = delete;

    std::string Name;
    TMenuItem* const Items; // the top-level items

    // The first visible, enabled item in menu order (depth first) with this shortcut.
    virtual TMenuItem* FindShortCut(TShortCut shortCut) const;
    // Runs that item's OnClick; false when there is none.
    bool IsShortCut(TShortCut shortCut);

private:
    std::unique_ptr<TMenuItem> root_;
};

enum TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
public:
    TPopupMenu();
    ~TPopupMenu() override;
    // Runs before the menu shows, each time.
    std::function<void(TPopupMenu* sender)> OnPopup;
    TPopupAlignment Alignment = paLeft;
    bool AutoPopup = true;
    // The control the menu was last opened for by a right-click.
    TComponent* PopupComponent = nullptr;

    // Shows the menu with its top-left corner at the screen point (as Alignment places it) and
    // returns once it has closed. The chosen item's OnClick does not run inside: it is posted
    // and runs from the message queue after Popup has returned, as a command sent by a closed
    // menu would.
    void Popup(int x, int y);
};

class TMainMenu : public TMenu {
public:
    TMainMenu();
    ~TMainMenu() override;

    // Merging: while another main menu is merged in, the bar shows this menu's items, except
    // that the other menu's items take the place of every group of the same GroupIndex, and
    // groups of its own fall into place by GroupIndex.
    void Merge(TMainMenu* menu);
    void Unmerge(TMainMenu* menu);
    TMainMenu* Merged() const { return merged_; }
    // The items the bar shows, in order (visible ones only).
    std::vector<TMenuItem*> BarItems() const;
    // Over the bar's items, merged ones included.
    TMenuItem* FindShortCut(TShortCut shortCut) const override;
    // The window whose bar shows this menu (0 when none).
    HWND WindowHandle() const { return window_; }

private:
    friend void SetWindowMenu(HWND, TMainMenu*);
    TMainMenu* merged_ = nullptr;
    HWND window_ = 0;
};

// Shows menu as the menu bar of the top-level window h (nullptr removes the bar). The bar sits
// above the client area, so the client area shrinks by its height.
void SetWindowMenu(HWND h, TMainMenu* menu);
TMainMenu* GetWindowMenu(HWND h);
// Repaints the bar after its items changed.
void DrawMenuBar(HWND h);
inline constexpr int kMenuBarHeight = 19;

// Shortcuts: the first visible, enabled item in the order of menus (each in menu order) whose
// shortcut equals the key; nullptr when none.
TMenuItem* FindShortCut(const std::vector<TMenu*>& menus, TShortCut shortCut);

// Forms: a key-down after hot keys and before the form's key preview goes to the menus of the
// active form: the pop-up menus of the focused control and its parents, then the form's main
// menu (an MDI frame's merged with its active child's). A matching item runs its OnClick and
// the key goes no further, whatever control has the focus. A right-click on a control opens
// its PopupMenu (AutoPopup), and F10 or a lone Alt opens the frame's menu bar.

// Whether a menu is open (tracking input), and closing it from outside.
bool MenuTracking();
void EndMenu();

// The windows of the open menu levels, outermost first, and the items a level shows (for tests
// and scripted menus).
std::vector<HWND> OpenMenuWindows();
std::vector<TMenuItem*> ShownMenuItems(int level);

} // namespace platform
