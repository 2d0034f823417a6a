#pragma once
// The page control of the tool dialogs and settings windows: a row of tabs the control draws
// itself (as tabs, buttons or flat buttons, with an inactive colour and font and hot
// tracking) over a set of pages of which one shows. Ctrl+Tab and Ctrl+Shift+Tab step through
// the pages that have a tab, from the control or from any control on a page.

#include "platform/forms/strings.h"
#include "platform/forms/tabs.h"

#include <vector>

class TCustomTab95Control;
class TPage95Control;

// The tab items of the control: their captions, each with its page as the object. An index
// outside the tabs raises the tab control's access error, naming the operation.
class TTabStrings {
public:
    explicit TTabStrings(TCustomTab95Control* control) : control_(control) {}
    TTabStrings(const TTabStrings&) = delete;
    TTabStrings& operator=(const TTabStrings&) = delete;

    int Count() const;
    std::string Get(int i) const;
    std::string operator[](int i) const { return Get(i); }
    void Put(int i, const std::string& s);
    platform::TObject* GetObject(int i) const;
    void PutObject(int i, platform::TObject* o);
    void Insert(int i, const std::string& s);
    void InsertObject(int i, const std::string& s, platform::TObject* o);
    int Add(const std::string& s) { return AddObject(s, nullptr); }
    int AddObject(const std::string& s, platform::TObject* o);
    void Delete(int i);
    void Clear();
    int IndexOfObject(const platform::TObject* o) const;
    // Redrawing waits for the end of the batch, then the tabs are laid out again.
    void BeginUpdate();
    void EndUpdate();

private:
    platform::TStrings& List() const;
    void Check(int i, const char* operation, bool forInsert = false) const;
    TCustomTab95Control* control_;
};

// Raises the tab control's access error for an operation ("TTabStrings.Get"...).
[[noreturn]] void TabControlError(const char* operation);

class TCustomTab95Control : public platform::TCustomTabControl {
public:
    explicit TCustomTab95Control(platform::TComponent* AOwner);
    ~TCustomTab95Control() override;
    std::string_view ClassName() const override { return "TCustomTab95Control"; }

    TTabStrings Tabs{this};

    bool GetButtonStyle() const { return buttonStyle_; }
    void SetButtonStyle(bool v);
    platform::TProperty<TCustomTab95Control, bool, &TCustomTab95Control::GetButtonStyle,
                        &TCustomTab95Control::SetButtonStyle>
        ButtonStyle{this};
    bool GetFlatButtons() const { return flatButtons_; }
    void SetFlatButtons(bool v);
    platform::TProperty<TCustomTab95Control, bool, &TCustomTab95Control::GetFlatButtons,
                        &TCustomTab95Control::SetFlatButtons>
        FlatButtons{this};
    bool GetFlatSeperators() const { return GetFlatSeparators(); }
    void SetFlatSeperators(bool v) { SetFlatSeparators(v); }
    platform::TProperty<TCustomTab95Control, bool, &TCustomTab95Control::GetFlatSeperators,
                        &TCustomTab95Control::SetFlatSeperators>
        FlatSeperators{this};
    bool GetHotTrack() const { return hotTrack_; }
    void SetHotTrack(bool v);
    platform::TProperty<TCustomTab95Control, bool, &TCustomTab95Control::GetHotTrack,
                        &TCustomTab95Control::SetHotTrack>
        HotTrack{this};
    platform::TColor GetTabInactiveColor() const { return inactiveColor_; }
    void SetTabInactiveColor(platform::TColor v);
    platform::TProperty<TCustomTab95Control, platform::TColor,
                        &TCustomTab95Control::GetTabInactiveColor,
                        &TCustomTab95Control::SetTabInactiveColor>
        TabInactiveColor{this};
    const platform::TFont& TabInactiveFont() const { return inactiveFont_; }
    void SetTabInactiveFont(const platform::TFont& f);
    // The tab under the mouse, -1 for none.
    int HotTab() const { return hot_; }

    // Selects the next (or previous) tab, wrapping, as the user would: asked and reported.
    void SelectNextTab(bool forward);

    void MouseMove(platform::TShiftState Shift, int X, int Y) override;

protected:
    void DrawTab(int index, const platform::TRect& rect, bool active) override;
    void MouseLeave() override;

private:
    friend class TTabStrings;
    void UpdateStyle();
    void InvalidateTab(int index);
    bool buttonStyle_ = false, flatButtons_ = false, hotTrack_ = false;
    platform::TColor inactiveColor_ = 0xA4A0A0;
    platform::TFont inactiveFont_;
    int hot_ = -1;
};

class TTab95Sheet : public platform::TWinControl {
public:
    explicit TTab95Sheet(platform::TComponent* AOwner);
    ~TTab95Sheet() override;
    std::string_view ClassName() const override { return "TTab95Sheet"; }

    TPage95Control* GetPageControl() const { return pageControl_; }
    // Moves the sheet to another page control (nullptr: none).
    void SetPageControl(TPage95Control* pc);
    platform::TProperty<TTab95Sheet, TPage95Control*, &TTab95Sheet::GetPageControl,
                        &TTab95Sheet::SetPageControl>
        PageControl{this};
    // Position among all pages; -1 without a page control.
    int GetPageIndex() const;
    void SetPageIndex(int v);
    platform::TProperty<TTab95Sheet, int, &TTab95Sheet::GetPageIndex, &TTab95Sheet::SetPageIndex>
        PageIndex{this};
    // Position among the tabs; -1 without a tab.
    int TabIndex() const;
    bool GetTabVisible() const { return tabVisible_; }
    void SetTabVisible(bool v);
    platform::TProperty<TTab95Sheet, bool, &TTab95Sheet::GetTabVisible, &TTab95Sheet::SetTabVisible>
        TabVisible{this};
    bool TabShowing() const { return tabShowing_; }

    // Read from stored forms; without image lists or movable sheets they do nothing.
    int ImageIndex = -1;
    int GripAlign = 0;
    int StaticPageIndex = -1;

protected:
    void TextChanged() override;

private:
    friend class TPage95Control;
    TPage95Control* pageControl_ = nullptr;
    bool tabVisible_ = true;
    bool tabShowing_ = false;
};

class TPage95Control : public TCustomTab95Control {
public:
    explicit TPage95Control(platform::TComponent* AOwner);
    ~TPage95Control() override;
    std::string_view ClassName() const override { return "TPage95Control"; }

    int PageCount() const { return int(pages_.size()); }
    TTab95Sheet* Pages(int i) const { return pages_.at(std::size_t(i)); }
    TTab95Sheet* GetActivePage() const { return active_; }
    // Shows Page (nil: none) and selects its tab; raises no OnChange. A sheet of another
    // control is ignored.
    void SetActivePage(TTab95Sheet* Page);
    platform::TProperty<TPage95Control, TTab95Sheet*, &TPage95Control::GetActivePage,
                        &TPage95Control::SetActivePage>
        ActivePage{this};

    void ShowControl(platform::TControl* c) override;

protected:
    void Change() override;
    void AdjustClientRect(platform::TRect& rect) const override;

private:
    friend class TTab95Sheet;
    void InsertPage(TTab95Sheet* page);
    void RemovePage(TTab95Sheet* page);
    void MovePage(TTab95Sheet* page, int index);
    void ShowTab(TTab95Sheet* page, bool show);
    void UpdateActivePage();
    // Switches the shown page; false when the focus would not leave the old one.
    bool ChangeActivePage(TTab95Sheet* page);
    std::vector<TTab95Sheet*> pages_;
    TTab95Sheet* active_ = nullptr;
};
