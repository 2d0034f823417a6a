#include "platform/forms/combobox.h"

#include "platform/forms/qt_widgetcontrol.h"

#include <QComboBox>
#include <QLineEdit>

namespace platform {

// The drop-down list is the control's, not a window of Qt's own.
class ComboWidget : public QComboBox {
public:
    explicit ComboWidget(TComboBox* c) : c_(c) {}
    void showPopup() override {
        Guarded([this] { c_->SetDroppedDown(true); });
    }
    void hidePopup() override { c_->droppedDown_ = false; }

private:
    TComboBox* c_;
};

namespace {

QComboBox* Combo(const TComboBox* c) {
    return static_cast<QComboBox*>(const_cast<TComboBox*>(c)->Widget());
}

} // namespace

TComboBox::TComboBox(TComponent* AOwner) : TWidgetControl(AOwner) {
    width_ = 145;
    height_ = 21;
    Items.OnListChange = [this](TStrings::Change c, int i) { ItemsChanged(c, i); };
}

TComboBox::~TComboBox() {
    Items.OnListChange = nullptr;
}

QWidget* TComboBox::CreateWidget() {
    auto* w = new ComboWidget(this);
    w->setEditable(style_ == csDropDown);
    w->setInsertPolicy(QComboBox::NoInsert);
    w->setMaxVisibleItems(DropDownCount);
    return w;
}

void TComboBox::ConnectEdit() {
    QComboBox* w = Combo(this);
    if (QLineEdit* e = w->lineEdit()) {
        w->setCompleter(nullptr);
        e->setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
        QObject::connect(e, &QLineEdit::textEdited, [this](const QString&) {
            WidgetChanged();
            Guarded([this] { Change(); });
        });
    }
}

void TComboBox::WidgetCreated() {
    ConnectEdit();
    QObject::connect(Combo(this), &QComboBox::currentIndexChanged, [this](int) {
        WidgetChanged();
        if (!byCode_) UserChose();
    });
}

void TComboBox::SetStyle(TComboBoxStyle v) {
    if (v == style_) return;
    style_ = v;
    byCode_ = true;
    Combo(this)->setEditable(v == csDropDown);
    byCode_ = false;
    ConnectEdit();
    WidgetChanged();
}

void TComboBox::ItemsChanged(TStrings::Change change, int index) {
    QComboBox* w = Combo(this);
    byCode_ = true;
    const QString text = w->currentText();
    MirrorListChange(
        Items, change, index,
        [w](int i, const std::string& t) { w->insertItem(i, QString::fromStdString(t)); },
        [w](int i) { w->removeItem(i); },
        [w](int i, const std::string& t) { w->setItemText(i, QString::fromStdString(t)); },
        [w] { w->clear(); });
    // A list changed by the program chooses nothing; an editable field keeps its text.
    if (change == TStrings::Change::Insert || change == TStrings::Change::Reset) {
        if (change == TStrings::Change::Reset || w->count() == 1) w->setCurrentIndex(-1);
        if (w->isEditable()) w->setEditText(change == TStrings::Change::Reset ? QString() : text);
    }
    byCode_ = false;
    WidgetChanged();
}

void TComboBox::Clear() {
    Items.Clear();
    SetText("");
}

int TComboBox::GetItemIndex() const {
    return Combo(this)->currentIndex();
}

void TComboBox::SetItemIndex(int v) {
    QComboBox* w = Combo(this);
    if (v < -1 || v >= w->count()) v = -1;
    byCode_ = true;
    w->setCurrentIndex(v);
    if (v < 0 && w->isEditable()) w->setEditText(QString());
    byCode_ = false;
    WidgetChanged();
}

std::string TComboBox::GetText() const {
    return Combo(this)->currentText().toStdString();
}

void TComboBox::SetText(const std::string& s) {
    QComboBox* w = Combo(this);
    byCode_ = true;
    if (w->isEditable())
        w->setEditText(QString::fromStdString(s));
    else
        w->setCurrentIndex(Items.IndexOf(s));
    byCode_ = false;
    WidgetChanged();
}

void TComboBox::SetMaxLength(int v) {
    maxLength_ = std::max(0, v);
    if (QLineEdit* e = Combo(this)->lineEdit()) e->setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
}

void TComboBox::SelectAll() {
    if (QLineEdit* e = Combo(this)->lineEdit()) e->selectAll();
    WidgetChanged();
}

std::string TComboBox::SelText() const {
    if (QLineEdit* e = Combo(this)->lineEdit()) return e->selectedText().toStdString();
    return {};
}

void TComboBox::SetDroppedDown(bool v) {
    if (v == droppedDown_) return;
    droppedDown_ = v;
    if (v) DropDown();
    WidgetChanged();
}

void TComboBox::DropDown() {
    Fire(OnDropDown, this);
}

void TComboBox::Change() {
    Fire(OnChange, this);
}

void TComboBox::UserChose() {
    Guarded([this] {
        Click();
        Change();
    });
}

void TComboBox::PassKey(UINT msg, WPARAM key, LPARAM l) {
    // Enter and Escape close the open list.
    if (droppedDown_ && msg == WM_CHAR && (key == 13 || key == 27)) {
        SetDroppedDown(false);
        return;
    }
    TWidgetControl::PassKey(msg, key, l);
}

LRESULT TComboBox::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_LBUTTONUP) clickPending_ = false; // OnClick is the choice's
    return TWidgetControl::WndProc(msg, w, l);
}

} // namespace platform
