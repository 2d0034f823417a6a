#include "platform/forms/scrollbar.h"

#include "platform/forms/qt_widgetcontrol.h"

#include <QScrollBar>

namespace platform {
namespace {

QScrollBar* Bar(const TScrollBar* s) {
    return static_cast<QScrollBar*>(const_cast<TScrollBar*>(s)->Widget());
}

} // namespace

TScrollBar::TScrollBar(TComponent* AOwner) : TWidgetControl(AOwner) {
    width_ = 121;
    height_ = 16;
    color_ = clBtnFace;
}

TScrollBar::~TScrollBar() = default;

QWidget* TScrollBar::CreateWidget() {
    auto* b = new QScrollBar(kind_ == sbHorizontal ? Qt::Horizontal : Qt::Vertical);
    b->setRange(0, 100);
    b->setSingleStep(1);
    b->setPageStep(1);
    return b;
}

void TScrollBar::WidgetCreated() {
    QObject::connect(Bar(this), &QScrollBar::valueChanged, [this](int) {
        WidgetChanged();
        Guarded([this] { Change(); });
    });
}

void TScrollBar::Change() {
    Fire(OnChange, this);
}

void TScrollBar::SetKind(TScrollBarKind v) {
    if (v == kind_) return;
    kind_ = v;
    Bar(this)->setOrientation(v == sbHorizontal ? Qt::Horizontal : Qt::Vertical);
    SetBounds(left_, top_, height_, width_);
}

int TScrollBar::GetMin() const {
    return Bar(this)->minimum();
}

int TScrollBar::GetMax() const {
    return Bar(this)->maximum();
}

int TScrollBar::GetPosition() const {
    return Bar(this)->value();
}

void TScrollBar::SetParams(int position, int min, int max) {
    QScrollBar* b = Bar(this);
    if (max < min) max = min;
    const int old = b->value();
    b->blockSignals(true);
    b->setRange(min, max);
    b->setValue(std::clamp(position, min, max));
    b->blockSignals(false);
    WidgetChanged();
    if (b->value() != old) Guarded([this] { Change(); });
}

int TScrollBar::GetSmallChange() const {
    return Bar(this)->singleStep();
}

void TScrollBar::SetSmallChange(int v) {
    Bar(this)->setSingleStep(std::max(1, v));
}

int TScrollBar::GetLargeChange() const {
    return Bar(this)->pageStep();
}

void TScrollBar::SetLargeChange(int v) {
    Bar(this)->setPageStep(std::max(1, v));
    WidgetChanged();
}

} // namespace platform
