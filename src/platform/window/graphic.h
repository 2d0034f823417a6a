#pragma once
// Graphic (windowless) controls: no window of their own. They paint on their parent's surface
// after the parent's own paint, clipped to their bounds, bottom to top; their mouse messages
// arrive through the parent, and a press captures the mouse for the control until the release.

#include "platform/gdi/region.h"
#include "platform/window/window.h"

namespace platform {

class GraphicControl {
public:
    // Joins the top of parent's graphic controls; hidden until SetVisible(true).
    explicit GraphicControl(HWND parent);
    virtual ~GraphicControl();
    GraphicControl(const GraphicControl&) = delete;
    GraphicControl& operator=(const GraphicControl&) = delete;

    HWND Parent() const { return parent_; }
    // Parent's client coordinates. Invalidates the old and the new place.
    void SetBounds(const TRect& r);
    const TRect& Bounds() const { return bounds_; }
    void SetVisible(bool visible);
    bool Visible() const { return visible_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    bool Enabled() const { return enabled_; }
    void BringToFront();
    void SendToBack();

    // Invalidates the control's rectangle of the parent.
    void Invalidate(bool erase = true);
    // Paints the invalid part of the control now.
    void Update();
    // Copies the parent's pixels under the control as they stand now.
    bool ReadPixelsUnder(Surface& out) const;

    // dc: origin at the control's top-left, clipped to the control and the paint region; the
    // parent's pixels are already there.
    virtual void Paint(std::uintptr_t /*dc*/) {}
    // Control coordinates; msg is a client mouse message (WM_MOUSEMOVE, WM_LBUTTONDOWN...).
    virtual void MouseMessage(UINT /*msg*/, WPARAM /*keys*/, TPoint /*pt*/) {}
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}

    void Detach() { parent_ = 0; }

private:
    HWND parent_;
    TRect bounds_;
    bool visible_ = false;
    bool enabled_ = true;
};

// The topmost visible, enabled control of parent at a client point; nullptr when none.
GraphicControl* GraphicControlAt(HWND parent, TPoint client);
// Paints parent's visible controls over region (client coordinates). EndPaint calls it.
void PaintGraphicControls(HWND parent, const Region& region);
// The control holding the mouse (a press inside it until the release); nullptr when none.
GraphicControl* GraphicCapture();

} // namespace platform
