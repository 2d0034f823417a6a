#pragma once
// The scroll bar, a Qt widget control (widgetcontrol.h). Every change of Position, by the user
// or by code, raises OnChange.

#include "platform/forms/widgetcontrol.h"

namespace platform {

enum TScrollBarKind { sbHorizontal, sbVertical };

class TScrollBar : public TWidgetControl {
public:
    explicit TScrollBar(TComponent* AOwner);
    ~TScrollBar() override;

    std::string_view ClassName() const override { return "TScrollBar"; }

    TScrollBarKind GetKind() const { return kind_; }
    void SetKind(TScrollBarKind v);
    TProperty<TScrollBar, TScrollBarKind, &TScrollBar::GetKind, &TScrollBar::SetKind> Kind{this};
    int GetMin() const;
    void SetMin(int v) { SetParams(GetPosition(), v, GetMax()); }
    TProperty<TScrollBar, int, &TScrollBar::GetMin, &TScrollBar::SetMin> Min{this};
    int GetMax() const;
    void SetMax(int v) { SetParams(GetPosition(), GetMin(), v); }
    TProperty<TScrollBar, int, &TScrollBar::GetMax, &TScrollBar::SetMax> Max{this};
    int GetPosition() const;
    void SetPosition(int v) { SetParams(v, GetMin(), GetMax()); }
    TProperty<TScrollBar, int, &TScrollBar::GetPosition, &TScrollBar::SetPosition> Position{this};
    // The position is kept inside Min..Max.
    void SetParams(int position, int min, int max);
    int GetSmallChange() const;
    void SetSmallChange(int v);
    TProperty<TScrollBar, int, &TScrollBar::GetSmallChange, &TScrollBar::SetSmallChange>
        SmallChange{this};
    int GetLargeChange() const;
    void SetLargeChange(int v);
    TProperty<TScrollBar, int, &TScrollBar::GetLargeChange, &TScrollBar::SetLargeChange>
        LargeChange{this};

    TNotifyEvent OnChange;

protected:
    virtual void Change();
    QWidget* CreateWidget() override;
    void WidgetCreated() override;
    LRESULT DialogCode() const override { return DLGC_WANTARROWS; }

private:
    TScrollBarKind kind_ = sbHorizontal;
};

} // namespace platform
