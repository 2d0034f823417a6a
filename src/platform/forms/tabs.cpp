#include "platform/forms/tabs.h"

#include "platform/gdi/gdi.h"

namespace platform {
namespace {

constexpr int kPadX = 6, kPadY = 3, kButtonGap = 3;

} // namespace

TCustomTabControl::TCustomTabControl(TComponent* AOwner) : TCustomControl(AOwner) {
    width_ = 289;
    height_ = 193;
    color_ = clBtnFace;
    SetTabStop(true);
    Tabs.OnListChange = [this](TStrings::Change c, int i) { TabsChanged(c, i); };
}

TCustomTabControl::~TCustomTabControl() {
    Tabs.OnListChange = nullptr;
}

void TCustomTabControl::TabsChanged(TStrings::Change change, int index) {
    // The selection stays on its tab; a deleted selected tab leaves none.
    if (change == TStrings::Change::Insert && index <= tabIndex_)
        ++tabIndex_;
    else if (change == TStrings::Change::Delete && index == tabIndex_)
        tabIndex_ = -1;
    else if (change == TStrings::Change::Delete && index < tabIndex_)
        --tabIndex_;
    else if (tabIndex_ >= Tabs.Count())
        tabIndex_ = -1;
    laidOut_ = false;
    Invalidate();
}

void TCustomTabControl::SetTabIndex(int v) {
    if (v < -1 || v >= Tabs.Count()) v = -1;
    if (v == tabIndex_) return;
    tabIndex_ = v;
    Invalidate();
}

void TCustomTabControl::SetStyle(TTabStyle v) {
    style_ = v;
    laidOut_ = false;
    Invalidate();
}

void TCustomTabControl::SetOwnerDraw(bool v) {
    ownerDraw_ = v;
    Invalidate();
}

void TCustomTabControl::SetFlatSeparators(bool v) {
    flatSeparators_ = v;
    Invalidate();
}

void TCustomTabControl::FontChanged() {
    laidOut_ = false;
    TCustomControl::FontChanged();
}

int TCustomTabControl::RowHeight() const {
    Layout();
    return rects_.empty() ? 0 : rects_.front().Height();
}

// One row: each tab as wide as its text and the padding, buttons with gaps between them.
void TCustomTabControl::Layout() const {
    if (laidOut_) return;
    rects_.clear();
    HDC dc = CreateCompatibleDC(0);
    TCanvas c(dc);
    c.Font = Font.Get();
    const int textHeight = c.TextExtent("Wg").cy;
    const int h = textHeight + 2 * kPadY + 1;
    const bool buttons = style_ != tsTabs;
    int x = buttons ? 0 : 2;
    const int y = buttons ? 0 : 2;
    for (int i = 0; i < Tabs.Count(); ++i) {
        const int w = c.TextWidth(Tabs[i]) + 2 * kPadX;
        rects_.push_back({x, y, x + w, y + h});
        x += w + (buttons ? kButtonGap : 0);
    }
    c.SetHandle(0);
    DeleteDC(dc);
    laidOut_ = true;
}

TRect TCustomTabControl::TabRect(int i) const {
    Layout();
    if (i < 0 || i >= int(rects_.size())) return {};
    return rects_[std::size_t(i)];
}

int TCustomTabControl::IndexOfTabAt(int x, int y) const {
    Layout();
    for (std::size_t i = 0; i < rects_.size(); ++i) {
        const TRect& r = rects_[i];
        if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) return int(i);
    }
    return -1;
}

TRect TCustomTabControl::DisplayRect() const {
    Layout();
    const int row = rects_.empty() ? 0 : rects_.front().Bottom;
    if (style_ == tsTabs) return {4, row + 4, std::max(4, width_ - 4), std::max(row + 4, height_ - 4)};
    return {0, row + 3, width_, std::max(row + 3, height_)};
}

bool TCustomTabControl::CanChange() {
    bool allow = true;
    if (OnChanging) OnChanging(this, allow);
    return allow;
}

void TCustomTabControl::Change() {
    Fire(OnChange, this);
}

void TCustomTabControl::UserSelect(int index) {
    if (index < 0 || index >= Tabs.Count() || index == tabIndex_) return;
    Guarded([&] {
        if (!CanChange()) return;
        tabIndex_ = index;
        Invalidate();
        Change();
    });
}

void TCustomTabControl::Paint() {
    Layout();
    TCanvas& c = Canvas();
    const TRect all = ClientRect();
    c.Brush.Color = color_;
    c.FillRect(all);
    if (style_ == tsTabs) {
        TRect frame{0, rects_.empty() ? 0 : rects_.front().Bottom, all.Right, all.Bottom};
        Frame3D(c, frame, clBtnHighlight, cl3DDkShadow, 1);
    }
    for (int i = 0; i < int(rects_.size()); ++i) {
        const bool active = i == tabIndex_;
        TRect r = rects_[std::size_t(i)];
        switch (style_) {
        case tsTabs:
            // The selected tab stands out over its neighbours and joins the page.
            if (active) r = {r.Left - 2, r.Top - 2, r.Right + 2, r.Bottom + 1};
            c.Brush.Color = color_;
            c.FillRect(r);
            c.Pen.Color = clBtnHighlight;
            c.MoveTo(r.Left, r.Bottom);
            c.LineTo(r.Left, r.Top);
            c.LineTo(r.Right - 1, r.Top);
            c.Pen.Color = cl3DDkShadow;
            c.LineTo(r.Right - 1, r.Bottom);
            r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom};
            break;
        case tsButtons: {
            Frame3D(c, r, active ? cl3DDkShadow : clBtnHighlight,
                    active ? clBtnHighlight : cl3DDkShadow, 1);
            break;
        }
        case tsFlatButtons:
            if (active) Frame3D(c, r, clBtnShadow, clBtnHighlight, 1);
            if (flatSeparators_ && i + 1 < int(rects_.size())) {
                const int x = rects_[std::size_t(i)].Right + kButtonGap / 2;
                c.Pen.Color = clBtnShadow;
                c.MoveTo(x, r.Top + 1);
                c.LineTo(x, r.Bottom - 1);
            }
            break;
        }
        c.Font = Font.Get();
        c.Brush.Color = clBtnFace;
        c.Brush.Style = bsSolid;
        Guarded([&] { DrawTab(i, r, active); });
    }
}

void TCustomTabControl::DrawTab(int index, const TRect& rect, bool active) {
    if (ownerDraw_) {
        if (OnDrawTab) OnDrawTab(this, index, rect, active);
        return;
    }
    TRect t = rect;
    CanvasDrawText(Canvas(), Tabs[index], &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                   Font.Get().Color);
}

void TCustomTabControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft) UserSelect(IndexOfTabAt(x, y));
    TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomTabControl::MouseLeave() {
    TCustomControl::MouseLeave();
    Fire(OnMouseLeave, this);
}

LRESULT TCustomTabControl::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_KEYDOWN) {
        WPARAM key = w;
        if (HandleKeyDownFilter(w, &key)) return 0;
        if (key == VK_LEFT || key == VK_RIGHT) {
            UserSelect(tabIndex_ + (key == VK_RIGHT ? 1 : -1));
            return 0;
        }
        return DefaultHandler(msg, key, l);
    }
    return TCustomControl::WndProc(msg, w, l);
}

} // namespace platform
