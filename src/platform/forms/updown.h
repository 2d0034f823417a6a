#pragma once
// The up-down arrows, a Qt widget control (widgetcontrol.h), usually beside an edit (its
// Associate) that shows the position. A press on an arrow moves Position by Increment inside
// Min..Max (wrapping with Wrap), writes it into the associate and raises OnClick with the
// arrow; setting Position writes the associate and raises nothing.

#include "platform/forms/widgetcontrol.h"

namespace platform {

enum TUDBtnType { btNext, btPrev };
using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;

class TUpDown : public TWidgetControl {
public:
    explicit TUpDown(TComponent* AOwner);
    ~TUpDown() override;

    std::string_view ClassName() const override { return "TUpDown"; }

    int GetMin() const { return min_; }
    void SetMin(int v);
    TProperty<TUpDown, int, &TUpDown::GetMin, &TUpDown::SetMin> Min{this};
    int GetMax() const { return max_; }
    void SetMax(int v);
    TProperty<TUpDown, int, &TUpDown::GetMax, &TUpDown::SetMax> Max{this};
    int GetPosition() const { return position_; }
    void SetPosition(int v);
    TProperty<TUpDown, int, &TUpDown::GetPosition, &TUpDown::SetPosition> Position{this};
    int Increment = 1;
    bool Wrap = false;

    // The control whose text shows the position; the arrows sit at its right.
    TWinControl* GetAssociate() const { return associate_; }
    void SetAssociate(TWinControl* v);
    TProperty<TUpDown, TWinControl*, &TUpDown::GetAssociate, &TUpDown::SetAssociate> Associate{
        this};

    // A press on an arrow, as the user's.
    void ClickButton(TUDBtnType b);

    TUDClickEvent OnClick;

protected:
    QWidget* CreateWidget() override;
    void WidgetCreated() override;
    void BoundsChanged() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    LRESULT DialogCode() const override { return DLGC_WANTARROWS; }
    void PassKey(UINT msg, WPARAM key, LPARAM l) override;

private:
    void ShowPosition();
    int min_ = 0, max_ = 100, position_ = 0;
    TWinControl* associate_ = nullptr;
};

} // namespace platform
