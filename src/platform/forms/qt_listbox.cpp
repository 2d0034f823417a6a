#include "platform/forms/listbox.h"

#include "platform/forms/qt_widgetcontrol.h"
#include "platform/gdi/gdi.h"

#include <QListWidget>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace platform {
namespace {

// Owner-drawn lists: rows of the fixed height, painted by the control over the widget.
class ListDelegate : public QStyledItemDelegate {
public:
    // Owned by its list widget: a view does not own the delegate it is given.
    ListDelegate(TListBox* list, QObject* parent) : QStyledItemDelegate(parent), list_(list) {}
    QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        if (list_->GetStyle() == lbStandard) return QStyledItemDelegate::sizeHint(o, i);
        return QSize(o.rect.width(), list_->GetItemHeight());
    }
    void paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        if (list_->GetStyle() == lbStandard) QStyledItemDelegate::paint(p, o, i);
    }

private:
    TListBox* list_;
};

QListWidget* List(const TListBox* l) {
    return static_cast<QListWidget*>(const_cast<TListBox*>(l)->Widget());
}

} // namespace

TListBox::TListBox(TComponent* AOwner) : TWidgetControl(AOwner) {
    width_ = 121;
    height_ = 97;
    Items.OnListChange = [this](TStrings::Change c, int i) { ItemsChanged(c, i); };
}

TListBox::~TListBox() {
    Items.OnListChange = nullptr;
}

QWidget* TListBox::CreateWidget() {
    auto* w = new QListWidget;
    w->setItemDelegate(new ListDelegate(this, w));
    w->setUniformItemSizes(true);
    w->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    w->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    w->setSelectionBehavior(QAbstractItemView::SelectRows);
    return w;
}

void TListBox::WidgetCreated() {
    ApplySelectionMode();
    QObject::connect(List(this), &QListWidget::itemSelectionChanged, [this] {
        WidgetChanged();
        if (!byCode_ && userMove_) movedByUser_ = true;
    });
    QObject::connect(List(this)->verticalScrollBar(), &QScrollBar::valueChanged,
                     [this](int) { WidgetChanged(); });
}

void TListBox::ApplySelectionMode() {
    List(this)->setSelectionMode(!multiSelect_     ? QAbstractItemView::SingleSelection
                                 : extendedSelect_ ? QAbstractItemView::ExtendedSelection
                                                   : QAbstractItemView::MultiSelection);
}

void TListBox::ItemsChanged(TStrings::Change change, int index) {
    QListWidget* w = List(this);
    byCode_ = true;
    MirrorListChange(
        Items, change, index,
        [w](int i, const std::string& t) { w->insertItem(i, QString::fromStdString(t)); },
        [w](int i) { delete w->takeItem(i); },
        [w](int i, const std::string& t) { w->item(i)->setText(QString::fromStdString(t)); },
        [w] { w->clear(); });
    byCode_ = false;
    WidgetChanged();
}

int TListBox::GetItemIndex() const {
    QListWidget* w = List(this);
    if (multiSelect_) return w->currentRow();
    const QList<QListWidgetItem*> s = w->selectedItems();
    return s.isEmpty() ? -1 : w->row(s.first());
}

void TListBox::SetItemIndex(int v) {
    QListWidget* w = List(this);
    if (v < -1 || v >= Items.Count()) v = -1;
    byCode_ = true;
    if (v < 0) {
        if (!multiSelect_) w->clearSelection();
        w->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
    } else {
        w->setCurrentRow(v, multiSelect_ ? QItemSelectionModel::NoUpdate
                                         : QItemSelectionModel::ClearAndSelect);
        w->scrollToItem(w->item(v));
    }
    byCode_ = false;
    WidgetChanged();
}

bool TListBox::Selected(int i) const {
    Items.Strings(i); // checks the index
    return List(this)->item(i)->isSelected();
}

void TListBox::SetSelected(int i, bool v) {
    Items.Strings(i);
    byCode_ = true;
    if (!multiSelect_ && v) List(this)->clearSelection();
    List(this)->item(i)->setSelected(v);
    byCode_ = false;
    WidgetChanged();
}

int TListBox::SelCount() const {
    return multiSelect_ ? int(List(this)->selectedItems().size()) : -1;
}

void TListBox::ClearSelection() {
    byCode_ = true;
    List(this)->clearSelection();
    byCode_ = false;
    WidgetChanged();
}

void TListBox::SetMultiSelect(bool v) {
    multiSelect_ = v;
    ApplySelectionMode();
}

void TListBox::SetExtendedSelect(bool v) {
    extendedSelect_ = v;
    ApplySelectionMode();
}

void TListBox::SetStyle(TListBoxStyle v) {
    style_ = v;
    List(this)->doItemsLayout();
    WidgetChanged();
}

int TListBox::GetItemHeight() const {
    if (style_ != lbStandard) return itemHeight_;
    QListWidget* w = List(this);
    return w->count() ? w->sizeHintForRow(0) : w->fontMetrics().height();
}

void TListBox::SetItemHeight(int v) {
    if (v <= 0) return;
    itemHeight_ = v;
    if (style_ != lbStandard) {
        List(this)->doItemsLayout();
        WidgetChanged();
    }
}

int TListBox::GetTopIndex() const {
    QListWidget* w = List(this);
    const int r = w->row(w->itemAt(2, 1));
    return std::max(0, r);
}

void TListBox::SetTopIndex(int v) {
    QListWidget* w = List(this);
    if (v < 0 || v >= w->count()) return;
    w->scrollToItem(w->item(v), QAbstractItemView::PositionAtTop);
    WidgetChanged();
}

TRect TListBox::ItemRect(int i) const {
    QListWidget* w = List(this);
    if (i < 0 || i >= w->count()) return {};
    QRect r = w->visualItemRect(w->item(i));
    if (r.isEmpty()) return {};
    const QPoint o = w->viewport()->mapTo(w, r.topLeft());
    return {o.x(), o.y(), o.x() + w->viewport()->width(), o.y() + r.height()};
}

int TListBox::ItemAtPos(TPoint p, bool Existing) const {
    QListWidget* w = List(this);
    const QPoint v = w->viewport()->mapFrom(w, QPoint(p.X, p.Y));
    if (QListWidgetItem* it = w->itemAt(v)) return w->row(it);
    if (Existing) return -1;
    return w->count();
}

void TListBox::PassKey(UINT msg, WPARAM key, LPARAM l) {
    // Without a selection the first arrow key selects the first item.
    if (!multiSelect_ && msg == WM_KEYDOWN && (key == VK_DOWN || key == VK_UP) &&
        GetItemIndex() < 0 && Items.Count() > 0) {
        SetItemIndex(0);
        Guarded([this] { SelectionChanged(); });
        return;
    }
    userMove_ = true;
    movedByUser_ = false;
    const int before = GetItemIndex();
    TWidgetControl::PassKey(msg, key, l);
    userMove_ = false;
    if (movedByUser_ || GetItemIndex() != before) Guarded([this] { SelectionChanged(); });
}

LRESULT TListBox::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_LBUTTONUP:
        clickPending_ = false; // OnClick is the selection's, raised on the press
        return TWidgetControl::WndProc(msg, w, l);
    case WM_LBUTTONDOWN: {
        userMove_ = true;
        const LRESULT r = TWidgetControl::WndProc(msg, w, l);
        userMove_ = false;
        const TPoint p{std::int16_t(LOWORD(l)), std::int16_t(HIWORD(l))};
        if (ItemAtPos(p, true) >= 0) Guarded([this] { SelectionChanged(); });
        return r;
    }
    default:
        return TWidgetControl::WndProc(msg, w, l);
    }
}

void TListBox::PaintWindow(HDC dc) {
    TWidgetControl::PaintWindow(dc);
    if (style_ == lbStandard) return;
    QListWidget* w = List(this);
    const QRect vp(w->viewport()->mapTo(w, QPoint(0, 0)), w->viewport()->size());
    IntersectClipRect(dc, vp.left(), vp.top(), vp.right() + 1, vp.bottom() + 1);
    canvas_.SetHandle(dc);
    for (int i = GetTopIndex(); i < w->count(); ++i) {
        const TRect r = ItemRect(i);
        if (r.Top >= vp.bottom()) break;
        if (r.Bottom <= r.Top) continue;
        TOwnerDrawState state = 0;
        if (w->item(i)->isSelected()) state |= odSelected;
        if (!enabled_) state |= odDisabled;
        if (Focused() && i == w->currentRow()) state |= odFocused;
        canvas_.Font = Font.Get();
        canvas_.Brush.Color = color_;
        canvas_.Brush.Style = bsSolid;
        if (state & odSelected) {
            canvas_.Brush.Color = clHighlight;
            canvas_.Font.Color = clHighlightText;
        }
        Guarded([&] { DrawItem(i, r, state); });
        if (state & odFocused) canvas_.DrawFocusRect(r);
    }
    canvas_.SetHandle(0);
    SelectClipRgn(dc, 0);
}

void TListBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
    if (OnDrawItem) {
        OnDrawItem(this, index, rect, state);
        return;
    }
    canvas_.FillRect(rect);
    canvas_.TextOut(rect.Left + 2, rect.Top, Items[index]);
}

} // namespace platform
