#pragma once
// A label that draws its caption turned by an angle, optionally raised or recessed (a shadow
// and a highlight copy of the text beside it).

#include "platform/forms/label.h"

enum TTextStyle { tsNone, tsRaised, tsRecessed };

class TRotateLabel : public platform::TLabel {
public:
    explicit TRotateLabel(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TRotateLabel"; }

    // Degrees counter-clockwise, 0..360.
    int GetEscapement() const { return escapement_; }
    void SetEscapement(int Value);
    platform::TProperty<TRotateLabel, int, &TRotateLabel::GetEscapement,
                        &TRotateLabel::SetEscapement>
        Escapement{this};
    TTextStyle GetTextStyle() const { return textStyle_; }
    void SetTextStyle(TTextStyle Value);
    platform::TProperty<TRotateLabel, TTextStyle, &TRotateLabel::GetTextStyle,
                        &TRotateLabel::SetTextStyle>
        TextStyle{this};

protected:
    void DoDrawText(platform::TCanvas& canvas, platform::TRect& rect, unsigned flags) override;

private:
    void DrawOnce(platform::TCanvas& canvas, platform::TRect& rect, unsigned flags,
                  platform::TColor color, const std::string& text);
    int escapement_ = 45;
    TTextStyle textStyle_ = tsRaised;
};

// The angle an escapement value stands for: whole turns taken off, 360 kept, a negative angle
// counted from a full turn.
int NormalizeEscapement(int Value);
