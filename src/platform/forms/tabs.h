#pragma once
// The common tab strip, drawn with gdi: one row of tabs along the top, each with a text and an
// object, as tabs, buttons or flat buttons. A press on another tab asks OnChanging and, when
// allowed, selects it and raises OnChange; Left and Right do the same from the keyboard;
// setting TabIndex raises nothing. The display rectangle is the area under the row. Tabs are
// drawn by DrawTab (OnDrawTab when OwnerDraw). The program's page control builds on it.

#include "platform/forms/strings.h"

#include "platform/forms/extctrls.h"

namespace platform {

enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };
using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;
using TDrawTabEvent =
    std::function<void(TCustomControl* Control, int TabIndex, const TRect& Rect, bool Active)>;

class TCustomTabControl : public TCustomControl {
public:
    explicit TCustomTabControl(TComponent* AOwner);
    ~TCustomTabControl() override;
    std::string_view ClassName() const override { return "TCustomTabControl"; }

    // The tabs' texts, each with an object.
    TStrings Tabs;

    int GetTabIndex() const { return tabIndex_; }
    void SetTabIndex(int v);
    TProperty<TCustomTabControl, int, &TCustomTabControl::GetTabIndex,
              &TCustomTabControl::SetTabIndex>
        TabIndex{this};
    TTabStyle GetStyle() const { return style_; }
    void SetStyle(TTabStyle v);
    TProperty<TCustomTabControl, TTabStyle, &TCustomTabControl::GetStyle,
              &TCustomTabControl::SetStyle>
        Style{this};
    bool GetOwnerDraw() const { return ownerDraw_; }
    void SetOwnerDraw(bool v);
    TProperty<TCustomTabControl, bool, &TCustomTabControl::GetOwnerDraw,
              &TCustomTabControl::SetOwnerDraw>
        OwnerDraw{this};
    // Separators between flat buttons.
    bool GetFlatSeparators() const { return flatSeparators_; }
    void SetFlatSeparators(bool v);
    TProperty<TCustomTabControl, bool, &TCustomTabControl::GetFlatSeparators,
              &TCustomTabControl::SetFlatSeparators>
        FlatSeparators{this};

    // The tab's rectangle in client coordinates; empty for an index outside the tabs.
    TRect TabRect(int i) const;
    // The tab under a client point, -1 when none.
    int IndexOfTabAt(int x, int y) const;
    // The area under the tab row, where the pages go.
    TRect DisplayRect() const;
    int RowHeight() const;

    TTabChangingEvent OnChanging;
    TNotifyEvent OnChange;
    TDrawTabEvent OnDrawTab;
    // The mouse left the control (its moves are OnMouseMove's).
    TNotifyEvent OnMouseLeave;

protected:
    // Asks OnChanging; false keeps the current tab.
    virtual bool CanChange();
    virtual void Change();
    // Draws one tab (the canvas holds the font and the button-face brush).
    virtual void DrawTab(int index, const TRect& rect, bool active);
    // The user selects a tab: asked, selected, reported.
    void UserSelect(int index);

    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseLeave() override;
    void FontChanged() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    LRESULT DialogCode() const override { return DLGC_WANTARROWS; }

private:
    void Layout() const;
    void TabsChanged(TStrings::Change change, int index);
    mutable std::vector<TRect> rects_;
    mutable bool laidOut_ = false;
    int tabIndex_ = -1;
    TTabStyle style_ = tsTabs;
    bool ownerDraw_ = false;
    bool flatSeparators_ = true;
};

class TTabControl : public TCustomTabControl {
public:
    using TCustomTabControl::TCustomTabControl;
    std::string_view ClassName() const override { return "TTabControl"; }
};

} // namespace platform
