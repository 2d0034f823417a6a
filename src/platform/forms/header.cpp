#include "platform/forms/header.h"

#include "platform/gdi/gdi.h"

namespace platform {

// ---- THeaderSection

int THeaderSection::Index() const {
    for (int i = 0; i < header_->SectionCount(); ++i)
        if (header_->Sections(i) == this) return i;
    return -1;
}

int THeaderSection::Left() const {
    int x = 0;
    for (int i = 0; i < header_->SectionCount(); ++i) {
        if (header_->Sections(i) == this) return x;
        x += header_->Sections(i)->GetWidth();
    }
    return x;
}

void THeaderSection::SetText(const std::string& v) {
    text_ = v;
    header_->SectionsChanged();
}

void THeaderSection::SetWidth(int v) {
    width_ = std::max(0, std::clamp(v, MinWidth, std::max(MinWidth, MaxWidth)));
    header_->SectionsChanged();
}

void THeaderSection::SetAlignment(TAlignment v) {
    alignment_ = v;
    header_->SectionsChanged();
}

void THeaderSection::SetStyle(THeaderSectionStyle v) {
    style_ = v;
    header_->SectionsChanged();
}

// ---- THeaderControl

THeaderControl::THeaderControl(TComponent* AOwner) : TCustomControl(AOwner) {
    height_ = 17;
    width_ = 200;
    color_ = clBtnFace;
    SetAlign(alTop);
}

THeaderControl::~THeaderControl() = default;

THeaderSection* THeaderControl::AddSection() {
    sections_.push_back(std::make_unique<THeaderSection>(this));
    SectionsChanged();
    return sections_.back().get();
}

void THeaderControl::DeleteSection(int i) {
    if (i < 0 || i >= SectionCount()) return;
    sections_.erase(sections_.begin() + i);
    pressed_ = tracking_ = -1;
    SectionsChanged();
}

void THeaderControl::ClearSections() {
    sections_.clear();
    pressed_ = tracking_ = -1;
    SectionsChanged();
}

void THeaderControl::SectionsChanged() {
    Invalidate();
}

int THeaderControl::SectionAt(int x) const {
    int found = -1, left = 0;
    for (int i = 0; i < SectionCount(); ++i) {
        const int right = left + Sections(i)->GetWidth();
        if (x >= left && x <= right) found = i;
        left = right;
    }
    return found;
}

int THeaderControl::DividerAt(int x) const {
    int right = 0, found = -1;
    for (int i = 0; i < SectionCount(); ++i) {
        right += Sections(i)->GetWidth();
        if (x >= right - 4 && x <= right + 2) found = i; // the last one wins (zero widths)
    }
    return found;
}

void THeaderControl::Paint() {
    TCanvas& c = Canvas();
    const TRect all = ClientRect();
    c.Brush.Color = color_;
    c.FillRect(all);
    int left = 0;
    for (int i = 0; i < SectionCount(); ++i) {
        THeaderSection* s = Sections(i);
        const TRect r{left, 0, left + s->GetWidth(), all.Bottom};
        left = r.Right;
        if (r.Width() <= 0) continue;
        c.Font = Font.Get();
        c.Brush.Color = color_;
        c.Brush.Style = bsSolid;
        c.Pen.Color = clBlack;
        Guarded([&] { DrawSection(s, r, i == pressed_); });
    }
}

void THeaderControl::DrawSection(THeaderSection* s, const TRect& rect, bool pressed) {
    TCanvas& c = Canvas();
    TRect r = rect;
    c.FillRect(r);
    if (pressed)
        Frame3D(c, r, clBtnShadow, clBtnShadow, 1);
    else
        Frame3D(c, r, clBtnHighlight, clBtnShadow, 1);
    if (pressed) r = {r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1};
    if (s->GetStyle() == hsOwnerDraw) {
        if (OnDrawSection) OnDrawSection(this, s, r, pressed);
        return;
    }
    TRect t{r.Left + 4, r.Top, r.Right - 4, r.Bottom};
    const unsigned align = s->GetAlignment() == taCenter       ? DT_CENTER
                           : s->GetAlignment() == taRightJustify ? DT_RIGHT
                                                                 : DT_LEFT;
    CanvasDrawText(c, s->GetText(), &t, align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX,
                   Font.Get().Color);
}

void THeaderControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomControl::MouseDown(button, shift, x, y);
    if (button != mbLeft) return;
    const int d = DividerAt(x);
    if (d >= 0) {
        tracking_ = d;
        trackStartX_ = x;
        trackStartWidth_ = Sections(d)->GetWidth();
        SetCapture(Handle());
        if (OnSectionTrack) OnSectionTrack(this, Sections(d), trackStartWidth_, tsTrackBegin);
        return;
    }
    const int s = SectionAt(x);
    if (s >= 0 && Sections(s)->AllowClick) {
        pressed_ = s;
        SetCapture(Handle());
        Invalidate();
    }
}

void THeaderControl::MouseMove(TShiftState shift, int x, int y) {
    TCustomControl::MouseMove(shift, x, y);
    if (tracking_ >= 0) {
        THeaderSection* s = Sections(tracking_);
        const int before = s->GetWidth();
        s->SetWidth(trackStartWidth_ + x - trackStartX_);
        if (s->GetWidth() != before && OnSectionTrack)
            OnSectionTrack(this, s, s->GetWidth(), tsTrackMove);
        return;
    }
    cursor_ = DividerAt(x) >= 0 ? crHSplit : crDefault;
}

void THeaderControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomControl::MouseUp(button, shift, x, y);
    if (button != mbLeft) return;
    if (tracking_ >= 0) {
        THeaderSection* s = Sections(tracking_);
        tracking_ = -1;
        ReleaseCapture();
        if (OnSectionTrack) OnSectionTrack(this, s, s->GetWidth(), tsTrackEnd);
        if (OnSectionResize) OnSectionResize(this, s);
        return;
    }
    if (pressed_ >= 0) {
        const int p = pressed_;
        pressed_ = -1;
        ReleaseCapture();
        Invalidate();
        if (SectionAt(x) == p && y >= 0 && y < height_ && OnSectionClick)
            OnSectionClick(this, Sections(p));
    }
}

} // namespace platform
