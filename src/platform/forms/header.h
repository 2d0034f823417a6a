#pragma once
// The header control: a row of sections laid out from x = 0 by their widths, drawn with gdi.
// A press and release on a section that allows clicks raises OnSectionClick; dragging a
// section's right edge tracks its width (OnSectionTrack begin, move, end, then
// OnSectionResize). Owner-drawn sections are drawn by OnDrawSection on the control's canvas.

#include "platform/forms/extctrls.h"

#include <memory>
#include <vector>

namespace platform {

class THeaderControl;

enum THeaderSectionStyle { hsText, hsOwnerDraw };
enum TSectionTrackState { tsTrackBegin, tsTrackMove, tsTrackEnd };

class THeaderSection {
public:
    explicit THeaderSection(THeaderControl* header) : header_(header) {}
    int Index() const;
    // The edges in the control's client coordinates.
    int Left() const;
    int Right() const { return Left() + width_; }

    const std::string& GetText() const { return text_; }
    void SetText(const std::string& v);
    TProperty<THeaderSection, std::string, &THeaderSection::GetText, &THeaderSection::SetText>
        Text{this};
    int GetWidth() const { return width_; }
    // Kept inside MinWidth..MaxWidth.
    void SetWidth(int v);
    TProperty<THeaderSection, int, &THeaderSection::GetWidth, &THeaderSection::SetWidth> Width{
        this};
    int MinWidth = 0;
    int MaxWidth = 10000;
    TAlignment GetAlignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    TProperty<THeaderSection, TAlignment, &THeaderSection::GetAlignment,
              &THeaderSection::SetAlignment>
        Alignment{this};
    bool AllowClick = true;
    THeaderSectionStyle GetStyle() const { return style_; }
    void SetStyle(THeaderSectionStyle v);
    TProperty<THeaderSection, THeaderSectionStyle, &THeaderSection::GetStyle,
              &THeaderSection::SetStyle>
        Style{this};

private:
    THeaderControl* header_;
    std::string text_;
    int width_ = 50;
    TAlignment alignment_ = taLeftJustify;
    THeaderSectionStyle style_ = hsText;
};

using TSectionNotifyEvent = std::function<void(THeaderControl* HeaderControl, THeaderSection* Section)>;
using TSectionTrackEvent = std::function<void(THeaderControl* HeaderControl, THeaderSection* Section,
                                              int Width, TSectionTrackState State)>;
using TDrawSectionEvent = std::function<void(THeaderControl* HeaderControl, THeaderSection* Section,
                                             const TRect& Rect, bool Pressed)>;

class THeaderControl : public TCustomControl {
public:
    explicit THeaderControl(TComponent* AOwner);
    ~THeaderControl() override;
    std::string_view ClassName() const override { return "THeaderControl"; }

    // The sections, owned by the control.
    int SectionCount() const { return int(sections_.size()); }
    THeaderSection* Sections(int i) const { return sections_.at(std::size_t(i)).get(); }
    THeaderSection* AddSection();
    void DeleteSection(int i);
    void ClearSections();
    // The section under a client x (a shared edge belongs to the right-hand one); -1 when none.
    int SectionAt(int x) const;

    TSectionNotifyEvent OnSectionClick, OnSectionResize;
    TSectionTrackEvent OnSectionTrack;
    TDrawSectionEvent OnDrawSection;

    // A section changed: lay out and paint again.
    void SectionsChanged();

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    virtual void DrawSection(THeaderSection* section, const TRect& rect, bool pressed);

private:
    friend class THeaderSection;
    // The section whose right edge is under x, -1 when none.
    int DividerAt(int x) const;
    std::vector<std::unique_ptr<THeaderSection>> sections_;
    int pressed_ = -1;  // the section held down for a click
    int tracking_ = -1; // the section whose width is dragged
    int trackStartX_ = 0, trackStartWidth_ = 0;
};

} // namespace platform
