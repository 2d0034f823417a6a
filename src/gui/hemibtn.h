#pragma once
// A round speed button drawn as a shaded hemisphere, with optional bevel rings, an outline, a
// caption and a glyph laid flat or wrapped onto it. Its up, down and mask pictures are
// rendered whenever a property that shows changes (or the size), and painted masked over
// whatever lies under the button, so it stays round on any background.

#include "platform/forms/controls.h"
#include "platform/forms/extctrls.h"
#include "platform/gdi/graphics.h"

enum THemisphereBevel { hbNone, hbLowered, hbRaised };

class THemisphereButton : public platform::TGraphicControl {
public:
    explicit THemisphereButton(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "THemisphereButton"; }

    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool v);
    double AttenControl() const { return atten_; }
    void SetAttenControl(double v) { SetVisual(atten_, v); }
    THemisphereBevel BevelInner() const { return bevelInner_; }
    void SetBevelInner(THemisphereBevel v) { SetVisual(bevelInner_, v); }
    THemisphereBevel BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(THemisphereBevel v) { SetVisual(bevelOuter_, v); }
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int v); // below 1 is refused
    platform::TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(platform::TColor v) { SetVisual(borderColor_, v); }
    platform::TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(platform::TBorderStyle v) { SetVisual(borderStyle_, v); }
    bool Down() const { return down_; }
    void SetDown(bool v);
    platform::TColor FaceColor() const { return faceColor_; }
    void SetFaceColor(platform::TColor v) { SetVisual(faceColor_, v); }
    bool FaceShaded() const { return faceShaded_; }
    void SetFaceShaded(bool v) { SetVisual(faceShaded_, v); }
    bool FaceTransparent() const { return faceTransparent_; }
    void SetFaceTransparent(bool v) { SetVisual(faceTransparent_, v); }
    // Copies the bitmap (nullptr clears it); NumGlyphs from its width over its height.
    void SetGlyph(const platform::TBitmap* glyph);
    bool GlyphValid() const { return glyphValid_; }
    int GlyphIndex() const { return glyphIndex_; }
    void SetGlyphIndex(int v); // 1..NumGlyphs, others are refused
    bool GlyphShaded() const { return glyphShaded_; }
    void SetGlyphShaded(bool v) { SetVisual(glyphShaded_, v); }
    bool GlyphMapped() const { return glyphMapped_; }
    void SetGlyphMapped(bool v) { SetVisual(glyphMapped_, v); }
    bool GlyphTransparent() const { return glyphTransparent_; }
    void SetGlyphTransparent(bool v) { SetVisual(glyphTransparent_, v); }
    int GroupIndex = 0;
    int NumGlyphs() const { return numGlyphs_; }

    // The rendered pictures: up, down, and the mask (black where the button is opaque).
    platform::TBitmap ImageOut, ImageIn, ImageMask, ImageGlyph;
    // Whether a point of the control lies on the round button.
    bool OnButton(int X, int Y) const;
    bool Tracking() const { return tracking_; }

    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseMove(platform::TShiftState Shift, int X, int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
    // The button raises OnClick and OnDblClick itself, only for points on it.
    void Click() override {}
    void DblClick() override {}

protected:
    void Paint() override;
    void BoundsChanged() override;
    void TextChanged() override;
    void FontChanged() override;

private:
    template <class T> void SetVisual(T& field, T v) {
        if (field == v) return;
        field = v;
        Changed();
    }
    void Changed();
    void Render();
    int Rings() const { return (bevelOuter_ != hbNone) + (bevelInner_ != hbNone); }
    template <class F> void ForGroup(F f);

    bool allowAllUp_ = false;
    double atten_ = 1.0;
    THemisphereBevel bevelInner_ = hbNone, bevelOuter_ = hbLowered;
    int bevelWidth_ = 2;
    platform::TColor borderColor_ = platform::clGray;
    platform::TBorderStyle borderStyle_ = platform::bsNoneBorder;
    bool down_ = false;
    platform::TColor faceColor_ = platform::clGray;
    bool faceShaded_ = true, faceTransparent_ = false;
    bool glyphValid_ = false;
    int glyphIndex_ = 1, numGlyphs_ = 1;
    bool glyphShaded_ = true, glyphMapped_ = false, glyphTransparent_ = true;
    bool tracking_ = false, downBefore_ = false;
    int renderedW_ = -1, renderedH_ = -1;
};
