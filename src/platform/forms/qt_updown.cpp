#include "platform/forms/updown.h"

#include "platform/forms/qt_widgetcontrol.h"

#include <QToolButton>

namespace platform {

TUpDown::TUpDown(TComponent* AOwner) : TWidgetControl(AOwner) {
    width_ = 15;
    height_ = 21;
    color_ = clBtnFace;
    SetTabStop(false);
}

TUpDown::~TUpDown() = default;

QWidget* TUpDown::CreateWidget() {
    auto* w = new QWidget;
    for (Qt::ArrowType a : {Qt::UpArrow, Qt::DownArrow}) {
        auto* b = new QToolButton(w);
        b->setArrowType(a);
        b->setObjectName(a == Qt::UpArrow ? "up" : "down");
    }
    return w;
}

// The arrows share the height, the upper one on top.
void TUpDown::BoundsChanged() {
    TWidgetControl::BoundsChanged();
    const int w = std::max(1, width_), half = std::max(1, height_ / 2);
    for (QToolButton* b : Widget()->findChildren<QToolButton*>()) {
        const bool up = b->objectName() == "up";
        b->setGeometry(0, up ? 0 : half, w, up ? half : std::max(1, height_ - half));
    }
}

void TUpDown::WidgetCreated() {
    BoundsChanged();
    for (QToolButton* b : Widget()->findChildren<QToolButton*>()) {
        const TUDBtnType t = b->objectName() == "up" ? btNext : btPrev;
        QObject::connect(b, &QToolButton::clicked, [this, t] { ClickButton(t); });
    }
}

void TUpDown::ClickButton(TUDBtnType b) {
    int p = position_ + (b == btNext ? Increment : -Increment);
    if (p > max_) p = Wrap ? min_ : max_;
    if (p < min_) p = Wrap ? max_ : min_;
    position_ = p;
    ShowPosition();
    Guarded([&] {
        if (OnClick) OnClick(this, b);
    });
}

void TUpDown::SetMin(int v) {
    min_ = v;
    if (max_ < min_) max_ = min_;
    SetPosition(position_);
}

void TUpDown::SetMax(int v) {
    max_ = v;
    if (min_ > max_) min_ = max_;
    SetPosition(position_);
}

void TUpDown::SetPosition(int v) {
    position_ = std::clamp(v, min_, max_);
    ShowPosition();
}

void TUpDown::SetAssociate(TWinControl* v) {
    associate_ = v;
    if (v) {
        SetBounds(v->GetLeft() + v->GetWidth(), v->GetTop(), width_, v->GetHeight());
        ShowPosition();
    }
}

void TUpDown::ShowPosition() {
    if (associate_) associate_->SetText(std::to_string(position_));
}

void TUpDown::PassKey(UINT msg, WPARAM key, LPARAM l) {
    if (msg == WM_KEYDOWN && (key == VK_UP || key == VK_DOWN)) {
        ClickButton(key == VK_UP ? btNext : btPrev);
        return;
    }
    TWidgetControl::PassKey(msg, key, l);
}

LRESULT TUpDown::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_LBUTTONUP) clickPending_ = false; // OnClick is the arrow's
    return TWidgetControl::WndProc(msg, w, l);
}

} // namespace platform
