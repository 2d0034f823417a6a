#pragma once
// The progress bar, a Qt widget control (widgetcontrol.h).

#include "platform/forms/widgetcontrol.h"

namespace platform {

class TProgressBar : public TWidgetControl {
public:
    explicit TProgressBar(TComponent* AOwner);
    ~TProgressBar() override;

    std::string_view ClassName() const override { return "TProgressBar"; }

    int GetMin() const { return min_; }
    void SetMin(int v);
    TProperty<TProgressBar, int, &TProgressBar::GetMin, &TProgressBar::SetMin> Min{this};
    int GetMax() const { return max_; }
    void SetMax(int v);
    TProperty<TProgressBar, int, &TProgressBar::GetMax, &TProgressBar::SetMax> Max{this};
    // Kept inside Min..Max.
    int GetPosition() const { return position_; }
    void SetPosition(int v);
    TProperty<TProgressBar, int, &TProgressBar::GetPosition, &TProgressBar::SetPosition> Position{
        this};
    int Step = 10;
    // Advances by Step (by delta); past Max it starts again at Min.
    void StepIt() { StepBy(Step); }
    void StepBy(int delta);

protected:
    QWidget* CreateWidget() override;
    LRESULT DialogCode() const override { return 0; }

private:
    void ShowProgress();
    int min_ = 0, max_ = 100, position_ = 0;
};

} // namespace platform
