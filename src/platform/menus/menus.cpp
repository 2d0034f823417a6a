#include "platform/menus/menus.h"

#include "platform/menus/menus_internal.h"
#include "platform/window/input.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

namespace platform {

namespace {

std::unordered_map<std::uint64_t, TMenuItem*>& LiveItems() {
    static auto* live = new std::unordered_map<std::uint64_t, TMenuItem*>;
    return *live;
}

struct KeyName {
    UINT vk;
    const char* name;
};
constexpr KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"},      {VK_TAB, "Tab"},      {VK_RETURN, "Enter"},   {VK_ESCAPE, "Esc"},
    {VK_SPACE, "Space"},    {VK_PRIOR, "PgUp"},   {VK_NEXT, "PgDn"},      {VK_END, "End"},
    {VK_HOME, "Home"},      {VK_LEFT, "Left"},    {VK_UP, "Up"},          {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},      {VK_INSERT, "Ins"},   {VK_DELETE, "Del"},     {VK_PAUSE, "Pause"},
    {VK_MULTIPLY, "Num *"}, {VK_ADD, "Num +"},    {VK_SUBTRACT, "Num -"}, {VK_DECIMAL, "Num Del"},
    {VK_DIVIDE, "Num /"},   {VK_OEM_1, ";"},      {VK_OEM_PLUS, "="},     {VK_OEM_COMMA, ","},
    {VK_OEM_MINUS, "-"},    {VK_OEM_PERIOD, "."}, {VK_OEM_2, "/"},        {VK_OEM_3, "`"},
    {VK_OEM_4, "["},        {VK_OEM_5, "\\"},     {VK_OEM_6, "]"},        {VK_OEM_7, "'"},
};

std::string KeyText(UINT vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return std::string(1, char(vk));
    if (vk >= VK_F1 && vk <= VK_F12) return "F" + std::to_string(vk - VK_F1 + 1);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return "Num " + std::to_string(vk - VK_NUMPAD0);
    for (const KeyName& k : kKeyNames)
        if (k.vk == vk) return k.name;
    return {};
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

TMenuItem* FindIn(const TMenuItem& parent, TShortCut shortCut);

TMenuItem* Match(TMenuItem* item, TShortCut shortCut) {
    if (item->Count() != 0 && item->OnRefresh) item->OnRefresh(item);
    if (!item->Visible || !item->Enabled) return nullptr;
    if (item->Count() == 0)
        return item->ShortCut == shortCut && (!item->OnAcceptKey || item->OnAcceptKey(item))
                   ? item
                   : nullptr;
    return FindIn(*item, shortCut);
}

TMenuItem* FindIn(const TMenuItem& parent, TShortCut shortCut) {
    for (int i = 0; i < parent.Count(); ++i)
        if (TMenuItem* found = Match(parent.Items(i), shortCut)) return found;
    return nullptr;
}

} // namespace

// ---- shortcuts -------------------------------------------------------------------------------

TShortCut ShortCut(UINT vk, TShortCut modifiers) {
    return TShortCut((vk & 0xFF) | (modifiers & (scShift | scCtrl | scAlt)));
}

std::string ShortCutToText(TShortCut shortCut) {
    std::string key = KeyText(shortCut & 0xFF);
    if (key.empty()) return {};
    std::string text;
    if (shortCut & scShift) text += "Shift+";
    if (shortCut & scCtrl) text += "Ctrl+";
    if (shortCut & scAlt) text += "Alt+";
    return text + key;
}

TShortCut TextToShortCut(std::string_view text) {
    TShortCut mods = 0;
    for (;;) {
        bool found = false;
        for (auto [prefix, bit] :
             {std::pair{"Shift+", scShift}, std::pair{"Ctrl+", scCtrl}, std::pair{"Alt+", scAlt}}) {
            std::string_view p(prefix);
            if (text.size() > p.size() && EqualNoCase(text.substr(0, p.size()), p)) {
                mods |= bit;
                text.remove_prefix(p.size());
                found = true;
            }
        }
        if (!found) break;
    }
    for (UINT vk = 1; vk < 256; ++vk) {
        std::string name = KeyText(vk);
        if (!name.empty() && EqualNoCase(name, text)) return ShortCut(vk, mods);
    }
    return 0;
}

TShortCut ShortCutOfKey(UINT vk, UINT modifiers) {
    TShortCut mods = 0;
    if (modifiers & MOD_SHIFT) mods |= scShift;
    if (modifiers & MOD_CONTROL) mods |= scCtrl;
    if (modifiers & MOD_ALT) mods |= scAlt;
    return ShortCut(vk, mods);
}

TMenuItem* FindShortCut(const std::vector<TMenu*>& menus, TShortCut shortCut) {
    if ((shortCut & 0xFF) == 0) return nullptr;
    for (TMenu* menu : menus)
        if (menu)
            if (TMenuItem* item = menu->FindShortCut(shortCut)) return item;
    return nullptr;
}

// ---- items -----------------------------------------------------------------------------------

std::uint64_t TMenuItem::NextSerial() {
    static std::uint64_t next = 0;
    return ++next;
}

TMenuItem* LiveMenuItem(std::uint64_t serial) {
    auto it = LiveItems().find(serial);
    return it == LiveItems().end() ? nullptr : it->second;
}

TMenuItem::TMenuItem(std::string caption, std::function<void(TMenuItem*)> onClick)
    : Caption(std::move(caption)), OnClick(std::move(onClick)) {
    LiveItems()[serial_] = this;
}

TMenuItem::~TMenuItem() {
    LiveItems().erase(serial_);
    if (parent_) parent_->Remove(this);
    Clear();
}

TMenuItem* TMenuItem::Items(int index) const {
    return index >= 0 && index < Count() ? items_[std::size_t(index)] : nullptr;
}

void TMenuItem::Add(TMenuItem* item) {
    Insert(Count(), item);
}

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (!item || item == this) return;
    for (TMenuItem* p = this; p; p = p->parent_)
        if (p == item) return; // an item cannot hold its own ancestor
    if (item->parent_) item->parent_->Remove(item);
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
}

void TMenuItem::Remove(TMenuItem* item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return;
    items_.erase(it);
    item->parent_ = nullptr;
}

void TMenuItem::Delete(int index) {
    if (TMenuItem* item = Items(index)) delete item;
}

void TMenuItem::Clear() {
    while (!items_.empty())
        delete items_.back();
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : int(it - items_.begin());
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* p = this;
    while (p->parent_)
        p = p->parent_;
    return p->menu_;
}

void TMenuItem::SetChecked(bool checked) {
    Checked = checked;
    if (!checked || !RadioItem || !parent_) return;
    for (TMenuItem* other : parent_->items_)
        if (other != this && other->RadioItem && other->GroupIndex == GroupIndex)
            other->Checked = false;
}

void TMenuItem::Click() {
    if (OnClick) OnClick(this);
}

// ---- menus -----------------------------------------------------------------------------------

TMenu::TMenu() : Items(new TMenuItem), root_(Items) {
    root_->menu_ = this;
    InstallMenuHooks();
}

TMenu::~TMenu() {
    MenuGoing(this);
}

TMenuItem* TMenu::FindShortCut(TShortCut shortCut) const {
    return FindIn(*Items, shortCut);
}

bool TMenu::IsShortCut(TShortCut shortCut) {
    TMenuItem* item = FindShortCut(shortCut);
    if (!item) return false;
    item->Click();
    return true;
}

TPopupMenu::TPopupMenu() = default;
TPopupMenu::~TPopupMenu() {
    PopupMenuGoing(this);
}

std::vector<TMainMenu*>& MainMenus() {
    static auto* all = new std::vector<TMainMenu*>;
    return *all;
}

TMainMenu::TMainMenu() {
    MainMenus().push_back(this);
}

TMenuItem* TMainMenu::FindShortCut(TShortCut shortCut) const {
    for (TMenuItem* item : BarItems())
        if (TMenuItem* found = Match(item, shortCut)) return found;
    return nullptr;
}

TMainMenu::~TMainMenu() {
    std::erase(MainMenus(), this);
    for (TMainMenu* other : MainMenus())
        if (other->merged_ == this) other->Unmerge(this);
    if (window_) SetWindowMenu(window_, nullptr);
}

void TMainMenu::Merge(TMainMenu* menu) {
    if (menu == this) return;
    merged_ = menu;
    if (window_) DrawMenuBar(window_);
}

void TMainMenu::Unmerge(TMainMenu* menu) {
    if (merged_ != menu) return;
    merged_ = nullptr;
    if (window_) DrawMenuBar(window_);
}

std::vector<TMenuItem*> TMainMenu::BarItems() const {
    std::vector<TMenuItem*> all;
    auto visible = [](const TMenu* m) {
        std::vector<TMenuItem*> v;
        for (int i = 0; i < m->Items->Count(); ++i)
            if (m->Items->Items(i)->Visible) v.push_back(m->Items->Items(i));
        return v;
    };
    all = visible(this);
    if (!merged_) return all;
    std::vector<TMenuItem*> theirs = visible(merged_);
    std::erase_if(all, [&](TMenuItem* mine) {
        return std::any_of(theirs.begin(), theirs.end(),
                           [&](TMenuItem* t) { return t->GroupIndex == mine->GroupIndex; });
    });
    // Each of theirs goes after the last item whose group is not above its own.
    for (TMenuItem* t : theirs) {
        auto at = std::find_if(all.begin(), all.end(),
                               [&](TMenuItem* x) { return x->GroupIndex > t->GroupIndex; });
        all.insert(at, t);
    }
    return all;
}

} // namespace platform
