#include "platform/forms/progressbar.h"

#include "platform/forms/qt_widgetcontrol.h"

#include <QProgressBar>

namespace platform {

TProgressBar::TProgressBar(TComponent* AOwner) : TWidgetControl(AOwner) {
    width_ = 150;
    height_ = 16;
    color_ = clBtnFace;
    SetTabStop(false);
}

TProgressBar::~TProgressBar() = default;

QWidget* TProgressBar::CreateWidget() {
    auto* b = new QProgressBar;
    b->setTextVisible(false);
    b->setRange(min_, max_);
    b->setValue(position_);
    return b;
}

void TProgressBar::ShowProgress() {
    auto* b = static_cast<QProgressBar*>(Widget());
    b->setRange(min_, max_);
    b->setValue(position_);
    WidgetChanged();
}

void TProgressBar::SetMin(int v) {
    min_ = v;
    max_ = std::max(max_, min_);
    position_ = std::clamp(position_, min_, max_);
    ShowProgress();
}

void TProgressBar::SetMax(int v) {
    max_ = v;
    min_ = std::min(max_, min_);
    position_ = std::clamp(position_, min_, max_);
    ShowProgress();
}

void TProgressBar::SetPosition(int v) {
    position_ = std::clamp(v, min_, max_);
    ShowProgress();
}

void TProgressBar::StepBy(int delta) {
    int p = position_ + delta;
    if (p > max_) p = min_ + (p - max_) % std::max(1, max_ - min_);
    SetPosition(p);
}

} // namespace platform
