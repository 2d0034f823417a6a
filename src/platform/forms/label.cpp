#include "platform/forms/label.h"

#include "platform/gdi/gdi.h"

#include <unordered_set>

namespace platform {

namespace {

// The live labels, so that a control going away can be taken out of their FocusControl.
std::unordered_set<TLabel*>& Labels() {
    static auto* all = new std::unordered_set<TLabel*>;
    return *all;
}

} // namespace

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 65;
    height_ = 17;
    parentColor_ = true;
    AdjustBounds();
    Labels().insert(this);
}

TLabel::~TLabel() {
    Labels().erase(this);
}

void FocusControlGoing(TWinControl* c) {
    for (TLabel* label : Labels())
        if (label->FocusControl == c) label->FocusControl = nullptr;
}

bool TLabel::DialogChar(char32_t ch) {
    if (!FocusControl || !showAccelChar_ || !IsAccel(ch, GetText()) || !FocusControl->CanFocus())
        return false;
    FocusControl->SetFocus();
    return true;
}

void TLabel::SetAlignment(TAlignment v) {
    if (v == alignment_) return;
    alignment_ = v;
    Invalidate();
}

void TLabel::SetAutoSize(bool v) {
    autoSize_ = v;
    AdjustBounds();
}

void TLabel::SetWordWrap(bool v) {
    if (v == wordWrap_) return;
    wordWrap_ = v;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetTransparent(bool v) {
    if (v == transparent_) return;
    transparent_ = v;
    Invalidate();
}

void TLabel::SetShowAccelChar(bool v) {
    if (v == showAccelChar_) return;
    showAccelChar_ = v;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetLayout(TTextLayout v) {
    if (v == layout_) return;
    layout_ = v;
    Invalidate();
}

void TLabel::TextChanged() {
    AdjustBounds();
    Invalidate();
}

void TLabel::FontChanged() {
    AdjustBounds();
    Invalidate();
}

unsigned TLabel::TextFlags() const {
    unsigned f = DT_EXPANDTABS;
    if (wordWrap_) f |= DT_WORDBREAK;
    if (!showAccelChar_) f |= DT_NOPREFIX;
    if (alignment_ == taCenter) f |= DT_CENTER;
    if (alignment_ == taRightJustify) f |= DT_RIGHT;
    return f;
}

void TLabel::DoDrawText(TCanvas& canvas, TRect& rect, unsigned flags) {
    std::string text = GetText();
    // An empty caption (or a lone accelerator mark) still takes a line.
    if ((flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text == "&"))) text += ' ';
    canvas.Font = Font.Get();
    if (flags & DT_CALCRECT) {
        CanvasDrawText(canvas, text, &rect, flags, Font.Get().Color);
        return;
    }
    if (!enabled_) {
        TRect shifted{rect.Left + 1, rect.Top + 1, rect.Right + 1, rect.Bottom + 1};
        CanvasDrawText(canvas, text, &shifted, flags, clBtnHighlight);
        CanvasDrawText(canvas, text, &rect, flags, clBtnShadow);
    } else {
        CanvasDrawText(canvas, text, &rect, flags, Font.Get().Color);
    }
}

void TLabel::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    if (!transparent_) {
        c.Brush.Color = GetColor();
        c.Brush.Style = bsSolid;
        c.FillRect(r);
    }
    if (layout_ != tlTop) {
        TRect calc = r;
        DoDrawText(c, calc, TextFlags() | DT_CALCRECT);
        const int h = calc.Height();
        const int dy = layout_ == tlBottom ? r.Height() - h : (r.Height() - h) / 2;
        r.Top += dy;
    }
    DoDrawText(c, r, TextFlags());
}

void TLabel::AdjustBounds() {
    if (!autoSize_) return;
    HDC dc = CreateCompatibleDC(0);
    TRect r{0, 0, wordWrap_ ? width_ : 0, 0};
    {
        TCanvas c(dc);
        DoDrawText(c, r, TextFlags() | DT_CALCRECT);
    }
    DeleteDC(dc);
    // A word-wrapped label keeps its width and takes the height of its lines.
    if (wordWrap_) {
        SetBounds(left_, top_, width_, r.Bottom);
        return;
    }
    int x = left_;
    if (alignment_ == taRightJustify) x += width_ - r.Right;
    SetBounds(x, top_, r.Right, r.Bottom);
}

} // namespace platform
