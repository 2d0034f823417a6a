#include "platform/forms/combobox.h"

#include "platform/forms/qt_widgetcontrol.h"
#include "platform/gdi/canvas.h"
#include "platform/gdi/gdi.h"
#include "platform/window/focus.h"
#include "platform/window/modal.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>

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
    void hidePopup() override;

private:
    TComboBox* c_;
};

namespace {

constexpr const char* kListClass = "TolvernComboList";
constexpr UINT kShowList = 0xB0C8; // posted to the control: show the open list
constexpr int kScrollWidth = 16;

} // namespace

// The open list: a pop-up window holding the capture while the tracking loop runs.
struct DropList {
    TComboBox* combo;
    HWND wnd = 0;
    int itemHeight = 16, rows = 0, count = 0, top = 0, hot = -1;
    bool done = false;
    int chosen = -1;

    bool Scrolls() const { return count > rows; }

    void Show(int index) {
        top = std::clamp(top, std::max(0, index - rows + 1), std::max(0, index));
        top = std::clamp(top, 0, std::max(0, count - rows));
    }

    void Hot(int index) {
        index = std::clamp(index, 0, count - 1);
        if (index == hot) return;
        hot = index;
        Show(hot);
        InvalidateRect(wnd, nullptr, false);
    }

    void Scroll(int by) {
        top = std::clamp(top + by, 0, std::max(0, count - rows));
        InvalidateRect(wnd, nullptr, false);
    }

    // Client position to item (-1: none).
    int ItemAt(TPoint p) const {
        TRect r;
        GetClientRect(wnd, &r);
        if (p.X < 1 || p.X >= r.Right - 1 - (Scrolls() ? kScrollWidth : 0) || p.Y < 1) return -1;
        const int i = top + (p.Y - 1) / itemHeight;
        return (p.Y - 1) / itemHeight < rows && i < count ? i : -1;
    }

    void Mouse(UINT msg, TPoint p) {
        TRect r;
        GetClientRect(wnd, &r);
        const bool inside = p.X >= 0 && p.Y >= 0 && p.X < r.Right && p.Y < r.Bottom;
        const int i = ItemAt(p);
        if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) {
            if (!inside) {
                done = true; // a press elsewhere closes the list and chooses nothing
            } else if (i < 0 && Scrolls() && p.X >= r.Right - 1 - kScrollWidth) {
                // The scroll bar: a page towards the press.
                const int thumb = 1 + (r.Bottom - 2) * top / count;
                Scroll(p.Y < thumb ? -rows : rows);
            } else if (i >= 0) {
                Hot(i);
            }
        } else if (msg == WM_MOUSEMOVE && i >= 0) {
            Hot(i);
        } else if (msg == WM_LBUTTONUP && i >= 0) {
            chosen = i;
            done = true;
        }
    }

    // Keys the control gets while the list is open; true when the list took the key.
    bool Key(UINT msg, WPARAM key) {
        if (msg == WM_CHAR) return true; // typing waits until the list is closed
        if (msg != WM_KEYDOWN && msg != WM_SYSKEYDOWN) return false;
        switch (key) {
        case VK_UP:
        case VK_DOWN:
            if (msg == WM_SYSKEYDOWN) {
                done = true; // Alt+arrow closes as it opened
            } else {
                Hot(hot < 0 ? 0 : hot + (key == VK_DOWN ? 1 : -1));
            }
            return true;
        case VK_PRIOR:
            Hot(hot - rows + 1);
            return true;
        case VK_NEXT:
            Hot(hot < 0 ? rows - 1 : hot + rows - 1);
            return true;
        case VK_HOME:
            Hot(0);
            return true;
        case VK_END:
            Hot(count - 1);
            return true;
        case VK_RETURN:
            chosen = hot;
            done = true;
            return true;
        case VK_ESCAPE:
        case VK_F4:
            done = true;
            return true;
        default:
            return msg == WM_KEYDOWN;
        }
    }

    void Paint(HDC dc) {
        TRect r;
        GetClientRect(wnd, &r);
        TCanvas cv(dc);
        cv.Font = combo->Font.Get();
        cv.Brush.Color = clWindowFrame;
        cv.FrameRect(r);
        const int right = r.Right - 1 - (Scrolls() ? kScrollWidth : 0);
        for (int row = 0; row < rows; ++row) {
            const int i = top + row;
            const TRect item{1, 1 + row * itemHeight, right, 1 + (row + 1) * itemHeight};
            const bool lit = i == hot;
            cv.Brush.Color = lit ? clHighlight : clWindow;
            cv.FillRect(item);
            if (i >= count || i >= combo->Items.Count()) continue;
            cv.Font.Color = lit ? clHighlightText : combo->Font.Get().Color;
            cv.TextRect(item, item.Left + 2, item.Top + 1, combo->Items[i]);
        }
        if (!Scrolls()) return;
        // The scroll bar shows where the rows are among the items.
        const TRect track{right, 1, r.Right - 1, r.Bottom - 1};
        cv.Brush.Color = clScrollBar;
        cv.FillRect(track);
        const int h = track.Bottom - track.Top;
        const int y0 = track.Top + h * top / count, y1 = track.Top + h * (top + rows) / count;
        cv.Brush.Color = clBtnFace;
        cv.FillRect({track.Left, y0, track.Right, std::max(y1, y0 + 8)});
        cv.Brush.Color = clBtnShadow;
        cv.FrameRect({track.Left, y0, track.Right, std::max(y1, y0 + 8)});
    }
};

void ComboWidget::hidePopup() {
    c_->droppedDown_ = false;
    if (c_->list_) c_->list_->done = true;
}

namespace {

DropList* ListOf(HWND h) {
    return reinterpret_cast<DropList*>(GetWindowLongPtr(h, GWLP_USERDATA));
}

LRESULT ListProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    DropList* list = ListOf(h);
    if (!list) return DefWindowProc(h, msg, w, l);
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        list->Paint(dc);
        EndPaint(h, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
        list->Mouse(msg == WM_LBUTTONDBLCLK   ? WM_LBUTTONDOWN
                    : msg == WM_RBUTTONDBLCLK ? WM_RBUTTONDOWN
                                              : msg,
                    {std::int16_t(LOWORD(l)), std::int16_t(HIWORD(l))});
        return 0;
    case WM_CAPTURECHANGED:
        list->done = true;
        return 0;
    default:
        return DefWindowProc(h, msg, w, l);
    }
}

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
    if (list_) {
        list_->combo = nullptr; // the loop ends without touching the control
        list_->done = true;
    }
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
    if (list_) list_->done = true; // it shows the items as they were
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
    if (list_ && !v) list_->done = true;
    if (v) DropDown();
    if (v && droppedDown_ && HandleAllocated()) PostMessage(Handle(), kShowList, 0, 0);
    WidgetChanged();
}

void TComboBox::ShowList() {
    QComboBox* w = Combo(this);
    HWND self = Handle();
    if (list_ || !droppedDown_ || w->count() == 0 || !IsWindowVisible(self)) {
        if (!list_) droppedDown_ = false;
        WidgetChanged();
        return;
    }
    static const bool registered = [] {
        WNDCLASS wc;
        wc.style = CS_SAVEBITS;
        wc.lpszClassName = kListClass;
        wc.lpfnWndProc = ListProc;
        wc.hCursor = IDC_ARROW;
        RegisterClass(wc);
        return true;
    }();
    (void)registered;
    DropList list{this};
    list.count = w->count();
    list.rows = std::clamp(DropDownCount, 1, list.count);
    {
        HDC screen = GetDC(0);
        TCanvas measure(screen);
        measure.Font = Font.Get();
        list.itemHeight = std::max(measure.TextHeight("Wg") + 2, 8);
        measure.SetHandle(0);
        ReleaseDC(0, screen);
    }
    list.hot = w->currentIndex();
    list.Show(std::max(list.hot, 0));
    // Below the control, above it where the screen ends.
    TRect cr;
    GetWindowRect(self, &cr);
    const int height = list.rows * list.itemHeight + 2;
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    int y = cr.Bottom;
    if (y + height > sh && cr.Top - height >= 0) y = cr.Top - height;
    const int width = cr.Right - cr.Left;
    const int x = std::clamp(int(cr.Left), 0, std::max(0, sw - width));
    list.wnd = CreateWindowEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kListClass,
                              Name.empty() ? std::string("combo list") : Name, WS_POPUP, x, y,
                              width, height, 0);
    SetWindowLongPtr(list.wnd, GWLP_USERDATA, LONG_PTR(&list));
    list_ = &list;
    ShowWindow(list.wnd, SW_SHOWNA);
    SetCapture(list.wnd);
    RunTrackingLoop(list.wnd, [&] { return list.done; });
    if (GetCapture() == list.wnd) ReleaseCapture();
    SetWindowLongPtr(list.wnd, GWLP_USERDATA, 0);
    DestroyWindow(list.wnd);
    if (!list.combo) return; // the control went while its list was open
    list_ = nullptr;
    droppedDown_ = false;
    // A choice by the pointer or Enter raises what a choice by the keys raises.
    if (list.chosen >= 0 && list.chosen < w->count() && list.chosen != w->currentIndex()) {
        byCode_ = true;
        w->setCurrentIndex(list.chosen);
        byCode_ = false;
        UserChose();
    }
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
    if (list_ && list_->Key(msg, key)) return;
    // F4 and Alt+arrow open the list, whatever the widget makes of them.
    if ((msg == WM_KEYDOWN && key == VK_F4 && KeyboardShiftState() == 0) ||
        (msg == WM_SYSKEYDOWN && (key == VK_DOWN || key == VK_UP))) {
        SetDroppedDown(true);
        return;
    }
    // Enter and Escape close the open list.
    if (droppedDown_ && msg == WM_CHAR && (key == 13 || key == 27)) {
        SetDroppedDown(false);
        return;
    }
    TWidgetControl::PassKey(msg, key, l);
}

LRESULT TComboBox::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == kShowList) {
        ShowList();
        return 0;
    }
    if (msg == WM_KILLFOCUS && list_) list_->done = true;
    if (msg == WM_LBUTTONUP) clickPending_ = false; // OnClick is the choice's
    return TWidgetControl::WndProc(msg, w, l);
}

} // namespace platform
