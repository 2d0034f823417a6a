#include "platform/forms/checkbox.h"

#include "platform/forms/qt_widgetcontrol.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>

namespace platform {
namespace {

QAbstractButton* Button(TButtonControl* b) {
    return static_cast<QAbstractButton*>(b->Widget());
}

} // namespace

// ---- TButtonControl

TButtonControl::TButtonControl(TComponent* AOwner) : TWidgetControl(AOwner) {
    color_ = clBtnFace;
    width_ = 97;
    height_ = 17;
}

TButtonControl::~TButtonControl() = default;

void TButtonControl::WidgetCreated() {
    QAbstractButton* b = Button(this);
    b->setText(QString::fromStdString(text_));
    // The widget only reports the click; the state is ours.
    QObject::connect(b, &QAbstractButton::clicked, [this] {
        ShowState();
        Guarded([this] { Toggled(); });
    });
}

void TButtonControl::ShowState() {
    QAbstractButton* b = Button(this);
    if (auto* c = qobject_cast<QCheckBox*>(b))
        c->setCheckState(state_ == cbChecked   ? Qt::Checked
                         : state_ == cbGrayed ? Qt::PartiallyChecked
                                              : Qt::Unchecked);
    else
        b->setChecked(state_ == cbChecked);
    WidgetChanged();
}

void TButtonControl::TextChanged() {
    Button(this)->setText(QString::fromStdString(text_));
    WidgetChanged();
}

LRESULT TButtonControl::WndProc(UINT msg, WPARAM w, LPARAM l) {
    // A click reaches OnClick through the toggle, not through the mouse release.
    if (msg == WM_LBUTTONUP) clickPending_ = false;
    return TWidgetControl::WndProc(msg, w, l);
}

void TButtonControl::PassKey(UINT msg, WPARAM key, LPARAM l) {
    if (msg == WM_CHAR && key == ' ') {
        Toggled();
        return;
    }
    if (msg == WM_CHAR) return;
    TWidgetControl::PassKey(msg, key, l);
}

// ---- TCheckBox

TCheckBox::TCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {}

QWidget* TCheckBox::CreateWidget() {
    auto* c = new QCheckBox;
    c->setTristate(true);
    return c;
}

void TCheckBox::SetState(TCheckBoxState v) {
    if (v == state_) return;
    state_ = v;
    ShowState();
    Click();
}

void TCheckBox::Toggled() {
    switch (state_) {
    case cbUnchecked:
        SetState(cbChecked);
        break;
    case cbChecked:
        SetState(AllowGrayed ? cbGrayed : cbUnchecked);
        break;
    case cbGrayed:
        SetState(cbUnchecked);
        break;
    }
}

// ---- TRadioButton

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) {
    width_ = 113;
}

QWidget* TRadioButton::CreateWidget() {
    auto* r = new QRadioButton;
    r->setAutoExclusive(false); // the siblings are ours, not the widget's
    return r;
}

void TRadioButton::SetChecked(bool v) {
    const TCheckBoxState s = v ? cbChecked : cbUnchecked;
    if (s == state_) return;
    state_ = s;
    ShowState();
    if (!v) return;
    if (TWinControl* p = GetParent())
        for (int i = 0; i < p->ControlCount(); ++i)
            if (auto* r = dynamic_cast<TRadioButton*>(p->Controls(i)); r && r != this)
                r->SetChecked(false);
    Click();
}

void TRadioButton::Toggled() {
    if (state_ == cbChecked)
        ShowState(); // a click on the checked button keeps it checked
    else
        SetChecked(true);
}

// ---- TGroupBox

TGroupBox::TGroupBox(TComponent* AOwner) : TWidgetControl(AOwner) {
    color_ = clBtnFace;
    width_ = 185;
    height_ = 105;
    SetTabStop(false);
}

QWidget* TGroupBox::CreateWidget() {
    return new QGroupBox(QString::fromStdString(text_));
}

void TGroupBox::TextChanged() {
    static_cast<QGroupBox*>(Widget())->setTitle(QString::fromStdString(text_));
    WidgetChanged();
}

// ---- TRadioGroup

TRadioGroup::TRadioGroup(TComponent* AOwner) : TGroupBox(AOwner) {
    Items.OnListChange = [this](TStrings::Change, int) { Rebuild(); };
}

TRadioGroup::~TRadioGroup() {
    Items.OnListChange = nullptr;
    DestroyComponents();
}

void TRadioGroup::Rebuild() {
    while (int(buttons_.size()) > Items.Count()) {
        delete buttons_.back();
        buttons_.pop_back();
    }
    while (int(buttons_.size()) < Items.Count()) {
        auto* b = new TRadioButton(this);
        b->SetParent(this);
        b->OnClick = [this, b](TObject*) { ButtonClicked(b); };
        buttons_.push_back(b);
    }
    updating_ = true;
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->SetText(Items[int(i)]);
        buttons_[i]->SetChecked(int(i) == itemIndex_);
    }
    updating_ = false;
    if (itemIndex_ >= Items.Count()) itemIndex_ = -1;
    Arrange();
}

void TRadioGroup::Arrange() {
    if (buttons_.empty()) return;
    const int cols = std::max(1, columns_);
    const int rows = (int(buttons_.size()) + cols - 1) / cols;
    const int top = 16;
    const int rowHeight = std::max(1, (height_ - top - 4) / rows);
    const int colWidth = std::max(1, (width_ - 10) / cols);
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        const int c = int(i) / rows, r = int(i) % rows;
        buttons_[i]->SetBounds(8 + c * colWidth, top + r * rowHeight, colWidth - 8,
                               std::min(rowHeight, 17));
    }
}

void TRadioGroup::BoundsChanged() {
    TGroupBox::BoundsChanged();
    Arrange();
}

void TRadioGroup::SetColumns(int v) {
    columns_ = std::clamp(v, 1, 16);
    Arrange();
}

void TRadioGroup::SetItemIndex(int v) {
    v = std::clamp(v, -1, Items.Count() - 1);
    if (v == itemIndex_) return;
    if (itemIndex_ >= 0) buttons_[std::size_t(itemIndex_)]->SetChecked(false);
    itemIndex_ = v;
    if (v >= 0) buttons_[std::size_t(v)]->SetChecked(true); // raises OnClick
}

void TRadioGroup::ButtonClicked(TRadioButton* b) {
    if (updating_) return;
    for (std::size_t i = 0; i < buttons_.size(); ++i)
        if (buttons_[i] == b) itemIndex_ = int(i);
    Click();
}

} // namespace platform
