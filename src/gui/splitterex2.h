#pragma once
// A splitter bar that resizes exactly the control named in Control when dragged (nil: it does
// nothing). Left and right alignment size widths, top and bottom heights. rsUpdate resizes as
// the mouse moves, rsLine shows an inverted band and resizes at the release, rsNone resizes
// at the release only.

#include "platform/forms/controls.h"

enum TResizeStyle { rsNone, rsLine, rsUpdate };

class TSplitterEx2 : public platform::TGraphicControl {
public:
    explicit TSplitterEx2(platform::TComponent* AOwner);
    ~TSplitterEx2() override;
    std::string_view ClassName() const override { return "TSplitterEx2"; }

    int MinSize = 30;
    bool AutoSnap = true;
    TResizeStyle ResizeStyle = rsUpdate;
    platform::TNotifyEvent OnMoved;
    platform::TNotifyEvent OnStartMove;
    int SnapTo = 0;
    platform::TControl* Control = nullptr;

    // The split cursors follow the alignment: vertical for top and bottom.
    void SetAlign(platform::TAlign a);
    platform::TProperty<TSplitterEx2, platform::TAlign, &TSplitterEx2::GetAlign,
                        &TSplitterEx2::SetAlign>
        Align{this};

    void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X,
                   int Y) override;
    void MouseMove(platform::TShiftState Shift, int X, int Y) override;
    void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;

protected:
    void Paint() override;
    void BoundsChanged() override;
    void Notification(platform::TComponent* gone) override;

private:
    bool Horizontal() const;
    int ControlSize() const;
    platform::TRect LineRect() const;
    void DrawLine();
    void ReleaseLineDC();
    void ApplySize();
    void UpdateCursor();

    platform::HDC lineDC_ = 0;
    platform::HWND lineWnd_ = 0;
    platform::TPoint down_;
    int split_ = 0;
    platform::TRect swept_; // where the band has been during this drag
    int maxSize_ = 0;
    int newSize_ = 0, oldSize_ = -1;
    bool dragging_ = false;
};
