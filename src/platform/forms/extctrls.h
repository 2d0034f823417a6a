#pragma once
// Painted controls of the framework: the panel with its bevels, the paint box, the image, the
// shape and the splitter, all drawn with gdi.

#include "platform/forms/controls.h"
#include "platform/gdi/graphics.h"

namespace platform {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TBorderStyle { bsNoneBorder, bsSingleBorder };

// Draws Width nested frames, top and left edges in TopColor, bottom and right in BottomColor,
// and leaves rect inside them.
void Frame3D(TCanvas& canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);

// Draws text with the canvas's font in color on a transparent background (DrawText's formats);
// returns the text's height.
int CanvasDrawText(TCanvas& canvas, std::string_view text, TRect* rect, unsigned format,
                   TColor color);

class TPanel : public TCustomControl {
public:
    explicit TPanel(TComponent* AOwner);
    std::string_view ClassName() const override { return "TPanel"; }

    TBevelCut GetBevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut v);
    TProperty<TPanel, TBevelCut, &TPanel::GetBevelInner, &TPanel::SetBevelInner> BevelInner{this};
    TBevelCut GetBevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut v);
    TProperty<TPanel, TBevelCut, &TPanel::GetBevelOuter, &TPanel::SetBevelOuter> BevelOuter{this};
    int GetBevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int v);
    TProperty<TPanel, int, &TPanel::GetBevelWidth, &TPanel::SetBevelWidth> BevelWidth{this};
    int GetBorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int v);
    TProperty<TPanel, int, &TPanel::GetBorderWidth, &TPanel::SetBorderWidth> BorderWidth{this};
    TBorderStyle GetBorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle v);
    TProperty<TPanel, TBorderStyle, &TPanel::GetBorderStyle, &TPanel::SetBorderStyle> BorderStyle{
        this};
    TAlignment GetAlignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    TProperty<TPanel, TAlignment, &TPanel::GetAlignment, &TPanel::SetAlignment> Alignment{this};
    // After the panel's size changed and its aligned children were laid out again.
    TNotifyEvent OnResize;

protected:
    void Paint() override;
    void BoundsChanged() override;
    void AdjustClientRect(TRect& rect) const override;
    void CreateParams(TCreateParams& params) override;
    void TextChanged() override;

private:
    void Changed();
    TBevelCut bevelInner_ = bvNone, bevelOuter_ = bvRaised;
    int bevelWidth_ = 1, borderWidth_ = 0;
    TBorderStyle borderStyle_ = bsNoneBorder;
    TAlignment alignment_ = taCenter;
    int resizedWidth_ = -1, resizedHeight_ = -1;
};

class TPaintBox : public TGraphicControl {
public:
    explicit TPaintBox(TComponent* AOwner);
    std::string_view ClassName() const override { return "TPaintBox"; }
    // Paints with Canvas (font and brush colour of the control set).
    TNotifyEvent OnPaint;

protected:
    void Paint() override;
};

class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* AOwner);
    std::string_view ClassName() const override { return "TImage"; }

    TPicture& Picture() { return picture_; }
    // After the picture was loaded or drawn on: size (AutoSize) and repaint.
    void PictureChanged();

    bool GetStretch() const { return stretch_; }
    void SetStretch(bool v);
    TProperty<TImage, bool, &TImage::GetStretch, &TImage::SetStretch> Stretch{this};
    bool GetCenter() const { return center_; }
    void SetCenter(bool v);
    TProperty<TImage, bool, &TImage::GetCenter, &TImage::SetCenter> Center{this};
    bool GetTransparent() const { return transparent_; }
    void SetTransparent(bool v);
    TProperty<TImage, bool, &TImage::GetTransparent, &TImage::SetTransparent> Transparent{this};
    bool GetAutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);
    TProperty<TImage, bool, &TImage::GetAutoSize, &TImage::SetAutoSize> AutoSize{this};

protected:
    void Paint() override;

private:
    TPicture picture_;
    bool stretch_ = false, center_ = false, transparent_ = false, autoSize_ = false;
};

enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

class TShape : public TGraphicControl {
public:
    explicit TShape(TComponent* AOwner);
    std::string_view ClassName() const override { return "TShape"; }

    TShapeType GetShape() const { return shape_; }
    void SetShape(TShapeType v);
    TProperty<TShape, TShapeType, &TShape::GetShape, &TShape::SetShape> Shape{this};
    // Call Invalidate after changing these.
    TPen Pen;
    TBrush Brush;

protected:
    void Paint() override;

private:
    TShapeType shape_ = stRectangle;
};

// Resizes the control aligned next to it (on the same side) by dragging.
class TSplitter : public TGraphicControl {
public:
    explicit TSplitter(TComponent* AOwner);
    std::string_view ClassName() const override { return "TSplitter"; }

    int MinSize = 30;
    bool Beveled = false;
    TNotifyEvent OnMoved;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    // The control the splitter resizes, nullptr when none.
    TControl* FindResized() const;

protected:
    void Paint() override;

private:
    TControl* resized_ = nullptr;
    TPoint down_;
    int startSize_ = 0;
    bool dragging_ = false;
};

} // namespace platform
