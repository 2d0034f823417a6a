#pragma once
// A value control drawn by its own code: a bar filled up to the value, an optional thumb, the
// value as text ("On"/"Off" for a 0..1 range), a jump to the clicked point, and a black
// checkerboard over it all while inactive.

#include "platform/forms/controls.h"

#include <functional>
#include <string>

// May change the text before it is drawn.
using TOnDraw = std::function<void(platform::TObject* Sender, std::string& str)>;

class TFader : public platform::TGraphicControl {
public:
    explicit TFader(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TFader"; }

    int GetMin() const { return min_; }
    void SetMin(int v);
    platform::TProperty<TFader, int, &TFader::GetMin, &TFader::SetMin> Min{this};
    int GetMax() const { return max_; }
    void SetMax(int v);
    platform::TProperty<TFader, int, &TFader::GetMax, &TFader::SetMax> Max{this};
    // Clamped into Min..Max; a new value raises OnChange and repaints at once.
    int GetPos() const { return pos_; }
    void SetPos(int v);
    platform::TProperty<TFader, int, &TFader::GetPos, &TFader::SetPos> Pos{this};

    // Settings read at the next paint (Invalidate after changing them).
    bool Mirror = false; // the number shown is Max - Pos
    bool ShowText = false;
    int ThumbSize = 0;
    platform::TColor BkColor = platform::clSilver;
    bool UpDown = false; // vertical, the value grows downwards
    bool UseFrame = false;
    bool Active = true;
    bool Dragging = false;
    platform::TNotifyEvent OnChange;
    TOnDraw Ondraw;

    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseMove(platform::TShiftState Shift, int X, int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;

protected:
    void Paint() override;

private:
    // The value at a point; false when the control has no extent to measure against.
    bool ValueAt(int X, int Y, int& value) const;
    int min_ = 0, max_ = 10, pos_ = 0;
};
