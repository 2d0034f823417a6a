#include "gui/comctrls95.h"

#include "platform/forms/form.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"

#include <algorithm>
#include <cstdio>

using namespace platform;

namespace {

std::string Trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The page control holding the focused control, nearest first; nullptr when none.
TCustomTab95Control* TabControlOfFocus() {
    for (TControl* c = FocusedControl(); c; c = c->GetParent())
        if (auto* t = dynamic_cast<TCustomTab95Control*>(c)) return t;
    return nullptr;
}

// Ctrl+Tab reaches the page control from whichever of its controls has the focus: the key
// is taken before the focused control sees it.
void InstallCtrlTab() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    static ShortcutHook previous;
    previous = SetShortcutHook([](HWND top, UINT vk, UINT mods) {
        if (vk == VK_TAB && (mods & MOD_CONTROL) && !(mods & MOD_ALT))
            if (TCustomTab95Control* t = TabControlOfFocus()) {
                Guarded([&] { t->SelectNextTab(!(mods & MOD_SHIFT)); });
                return true;
            }
        return previous ? previous(top, vk, mods) : false;
    });
}

} // namespace

void TabControlError(const char* operation) {
    throw EStringListError(std::string("Tab control access error\nViolation occured in ") +
                           operation);
}

// ---- TTabStrings

TStrings& TTabStrings::List() const {
    return static_cast<TCustomTabControl*>(control_)->Tabs;
}

void TTabStrings::Check(int i, const char* operation, bool forInsert) const {
    if (i < 0 || i > Count() - (forInsert ? 0 : 1)) TabControlError(operation);
}

int TTabStrings::Count() const {
    return List().Count();
}

std::string TTabStrings::Get(int i) const {
    Check(i, "TTabStrings.Get");
    return List()[i];
}

void TTabStrings::Put(int i, const std::string& s) {
    Check(i, "TTabStrings.Put");
    List().Put(i, s);
}

TObject* TTabStrings::GetObject(int i) const {
    Check(i, "TTabStrings.GetObject");
    return List().Objects(i);
}

void TTabStrings::PutObject(int i, TObject* o) {
    Check(i, "TTabStrings.PutObject");
    List().PutObject(i, o);
}

void TTabStrings::Insert(int i, const std::string& s) {
    InsertObject(i, s, nullptr);
}

void TTabStrings::InsertObject(int i, const std::string& s, TObject* o) {
    Check(i, "TTabStrings.Insert", true);
    List().InsertObject(i, s, o);
}

int TTabStrings::AddObject(const std::string& s, TObject* o) {
    const int i = Count();
    InsertObject(i, s, o);
    return i;
}

void TTabStrings::Delete(int i) {
    Check(i, "TTabStrings.Delete");
    List().Delete(i);
}

void TTabStrings::Clear() {
    List().Clear();
}

int TTabStrings::IndexOfObject(const TObject* o) const {
    return List().IndexOfObject(o);
}

void TTabStrings::BeginUpdate() {
    List().BeginUpdate();
}

void TTabStrings::EndUpdate() {
    List().EndUpdate();
}

// ---- TCustomTab95Control

TCustomTab95Control::TCustomTab95Control(TComponent* AOwner) : TCustomTabControl(AOwner) {
    SetOwnerDraw(true);
    inactiveFont_ = Font.Get();
    InstallCtrlTab();
}

TCustomTab95Control::~TCustomTab95Control() = default;

void TCustomTab95Control::UpdateStyle() {
    SetStyle(!buttonStyle_ ? tsTabs : flatButtons_ ? tsFlatButtons : tsButtons);
}

void TCustomTab95Control::SetButtonStyle(bool v) {
    buttonStyle_ = v;
    UpdateStyle();
}

void TCustomTab95Control::SetFlatButtons(bool v) {
    flatButtons_ = v;
    UpdateStyle();
}

void TCustomTab95Control::SetHotTrack(bool v) {
    hotTrack_ = v;
    Invalidate();
}

void TCustomTab95Control::SetTabInactiveColor(TColor v) {
    inactiveColor_ = v;
    Invalidate();
}

void TCustomTab95Control::SetTabInactiveFont(const TFont& f) {
    inactiveFont_ = f;
    Invalidate();
}

void TCustomTab95Control::InvalidateTab(int index) {
    if (index < 0 || !HandleAllocated()) return;
    TRect r = TabRect(index);
    r = {r.Left - 2, r.Top - 2, r.Right + 2, r.Bottom + 2};
    InvalidateRect(ExistingHandle(), &r, false);
}

void TCustomTab95Control::DrawTab(int index, const TRect& rect, bool active) {
    if (index < 0 || index >= Tabs.Count()) TabControlError("TCustomTab95Control.DrawTab");
    TCanvas& c = Canvas();
    c.Font = Font.Get();
    c.Brush.Style = bsSolid;
    c.Brush.Color = clBtnFace;
    TRect r = rect;
    if (!buttonStyle_ && !active) {
        r.Top += 1;
        r.Bottom += 1;
    }
    TFont font = active ? Font.Get() : inactiveFont_;
    if (hotTrack_ && index == hot_) font.Color = clHighlight;
    c.Brush.Color = active ? GetColor() : inactiveColor_;
    c.FillRect(r);
    c.Font = font;
    const std::string caption = Trimmed(Tabs[index]);
    const TSize t = c.TextExtent(caption);
    const int x = r.Left + r.Width() / 2 - t.cx / 2;
    const int y = r.Top + r.Height() / 2 - t.cy / 2;
    c.Brush.Style = bsClear;
    c.TextRect(r, x, y, caption);
    c.Brush.Style = bsSolid;
}

void TCustomTab95Control::MouseMove(TShiftState Shift, int X, int Y) {
    const int at = IndexOfTabAt(X, Y);
    if (at != hot_) {
        if (hotTrack_) {
            InvalidateTab(hot_);
            InvalidateTab(at);
        }
        hot_ = at;
    }
    TCustomTabControl::MouseMove(Shift, X, Y);
}

void TCustomTab95Control::MouseLeave() {
    if (hotTrack_) InvalidateTab(hot_);
    hot_ = -1;
    TCustomTabControl::MouseLeave();
}

void TCustomTab95Control::SelectNextTab(bool forward) {
    const int n = Tabs.Count();
    if (n == 0) return;
    const int from = GetTabIndex();
    const int next = from < 0 ? (forward ? 0 : n - 1) : (from + (forward ? 1 : n - 1)) % n;
    if (next == from) return;
    UserSelect(next);
}

// ---- TTab95Sheet

TTab95Sheet::TTab95Sheet(TComponent* AOwner) : TWinControl(AOwner) {
    SetAlign(alClient);
    SetParentColor(true);
    visible_ = false;
}

TTab95Sheet::~TTab95Sheet() {
    if (pageControl_) pageControl_->RemovePage(this);
}

void TTab95Sheet::SetPageControl(TPage95Control* pc) {
    if (pc == pageControl_) return;
    if (pageControl_) pageControl_->RemovePage(this);
    SetParent(pc);
    if (pc) pc->InsertPage(this);
}

int TTab95Sheet::GetPageIndex() const {
    if (!pageControl_) return -1;
    const auto& p = pageControl_->pages_;
    return int(std::find(p.begin(), p.end(), this) - p.begin());
}

void TTab95Sheet::SetPageIndex(int v) {
    if (!pageControl_) return;
    const int last = pageControl_->PageCount() - 1;
    if (v < 0 || v > last) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "%d is an invalid PageIndex value.  PageIndex must be between 0 and %d", v,
                      last);
        throw EStringListError(text);
    }
    pageControl_->MovePage(this, v);
}

int TTab95Sheet::TabIndex() const {
    if (!tabShowing_ || !pageControl_) return -1;
    int n = 0;
    for (TTab95Sheet* p : pageControl_->pages_) {
        if (p == this) return n;
        n += p->tabShowing_;
    }
    return -1;
}

void TTab95Sheet::SetTabVisible(bool v) {
    if (v == tabVisible_) return;
    tabVisible_ = v;
    if (pageControl_) pageControl_->ShowTab(this, v);
}

void TTab95Sheet::TextChanged() {
    TWinControl::TextChanged();
    if (tabShowing_ && pageControl_) pageControl_->Tabs.Put(TabIndex(), GetText());
}

// ---- TPage95Control

TPage95Control::TPage95Control(TComponent* AOwner) : TCustomTab95Control(AOwner) {}

TPage95Control::~TPage95Control() {
    // The sheets go with their parent after this; they no longer belong to a page control.
    for (TTab95Sheet* p : pages_)
        p->pageControl_ = nullptr;
    pages_.clear();
    active_ = nullptr;
}

void TPage95Control::AdjustClientRect(TRect& rect) const {
    rect = DisplayRect();
    rect.Top += 2;
}

void TPage95Control::InsertPage(TTab95Sheet* page) {
    pages_.push_back(page);
    page->pageControl_ = this;
    page->SetVisible(false);
    if (page->tabVisible_) ShowTab(page, true);
}

void TPage95Control::RemovePage(TTab95Sheet* page) {
    if (page == active_) active_ = nullptr;
    if (page->tabShowing_) {
        const int i = page->TabIndex();
        page->tabShowing_ = false;
        Tabs.Delete(i);
    }
    pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
    page->pageControl_ = nullptr;
    // No neighbour is picked: the selection keeps to the active page (none).
    SetTabIndex(active_ ? active_->TabIndex() : -1);
}

void TPage95Control::ShowTab(TTab95Sheet* page, bool show) {
    if (show == page->tabShowing_) return;
    if (show) {
        page->tabShowing_ = true;
        Tabs.InsertObject(page->TabIndex(), page->GetText(), page);
    } else {
        const int i = page->TabIndex();
        page->tabShowing_ = false;
        Tabs.Delete(i);
    }
    UpdateActivePage();
}

void TPage95Control::MovePage(TTab95Sheet* page, int index) {
    const int from = page->GetPageIndex();
    if (from == index) return;
    const bool showing = page->tabShowing_;
    const bool selected = showing && page->TabIndex() == GetTabIndex();
    if (showing) {
        Tabs.Delete(page->TabIndex());
        page->tabShowing_ = false;
    }
    pages_.erase(pages_.begin() + from);
    pages_.insert(pages_.begin() + index, page);
    if (showing) {
        page->tabShowing_ = true;
        Tabs.InsertObject(page->TabIndex(), page->GetText(), page);
    }
    if (selected) SetTabIndex(page->TabIndex());
}

void TPage95Control::UpdateActivePage() {
    const int i = GetTabIndex();
    SetActivePage(i >= 0 ? static_cast<TTab95Sheet*>(Tabs.GetObject(i)) : nullptr);
}

void TPage95Control::SetActivePage(TTab95Sheet* Page) {
    if (Page && Page->pageControl_ != this) return;
    ChangeActivePage(Page);
    if (!Page)
        SetTabIndex(-1);
    else if (Page == active_)
        SetTabIndex(Page->TabIndex());
}

void TPage95Control::Change() {
    const int i = GetTabIndex();
    TTab95Sheet* page = i >= 0 ? static_cast<TTab95Sheet*>(Tabs.GetObject(i)) : nullptr;
    if (!ChangeActivePage(page)) {
        // The focus would not leave the old page: its tab stays selected.
        SetTabIndex(active_ ? active_->TabIndex() : -1);
        return;
    }
    TCustomTab95Control::Change();
}

void TPage95Control::ShowControl(TControl* c) {
    if (auto* page = dynamic_cast<TTab95Sheet*>(c); page && page->pageControl_ == this)
        SetActivePage(page);
    TCustomTab95Control::ShowControl(c);
}

namespace {

bool IsWithin(TControl* c, TControl* ancestor) {
    for (; c; c = c->GetParent())
        if (c == ancestor) return true;
    return false;
}

} // namespace

bool TPage95Control::ChangeActivePage(TTab95Sheet* page) {
    TTab95Sheet* old = active_;
    if (page == old) return true;
    TForm* form = ParentForm();
    TWinControl* focus = form ? form->GetActiveControl() : nullptr;
    const bool focusOnOld = old && focus && IsWithin(focus, old);
    if (focusOnOld) {
        bool moved = false;
        Guarded([&] {
            old->SetFocus();
            moved = form->GetActiveControl() == old;
        });
        if (!moved) return false;
    }
    if (page) {
        page->BringToFront();
        page->SetVisible(true);
        if (focusOnOld) {
            if (page->CanFocus())
                page->SetFocus();
            else if (CanFocus())
                SetFocus();
        }
    }
    if (old) old->SetVisible(false);
    active_ = page;
    if (page && form && form->GetActiveControl() == page)
        if (TWinControl* first = page->FindNextControl(nullptr, true, true))
            if (IsWithin(first, page)) first->SetFocus();
    return true;
}
