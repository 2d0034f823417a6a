#pragma once
// The small controls of the arrange window's settings bar: labels in the bar's text colour,
// edits and speed buttons with their hints.

namespace platform {
class TComponent;
class TWinControl;
class TLabel;
class TEdit;
class TSpeedButton;
} // namespace platform

platform::TLabel* BarLabel(platform::TComponent* Owner, platform::TWinControl* Parent,
                           const char* Text, int X);
platform::TEdit* BarEdit(platform::TComponent* Owner, platform::TWinControl* Parent, int X,
                         const char* Hint);
platform::TSpeedButton* BarButton(platform::TComponent* Owner, platform::TWinControl* Parent,
                                  const char* Caption, int X, int Y, int W, int H,
                                  const char* Hint);
