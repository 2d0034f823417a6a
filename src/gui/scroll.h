#pragma once
// The editors' drawing surface: a window that leaves all drawing to its owner's OnPaint and
// keeps a content offset, so that the owner draws in content coordinates and scrolls by
// moving the offset (the window's pixels move, only the uncovered strip is painted again).

#include "platform/forms/controls.h"

#include <functional>

using TPaintEvent = std::function<void(platform::TCanvas& dc)>;

class TScroll : public platform::TCustomControl {
public:
    explicit TScroll(platform::TComponent* AOwner);
    ~TScroll() override;
    std::string_view ClassName() const override { return "TScroll"; }

    // Where content point (0, 0) shows in the window; owners scroll forward with negative
    // offsets.
    int OffsetX = 0, OffsetY = 0;
    void SetOffsetX(int V);
    void SetOffsetY(int V);
    // The window's background is erased before painting only with this set.
    bool EraseBkgnd = false;
    TPaintEvent OnPaint;
    // The mouse capture went to another window (or was released) while this one held it.
    std::function<void()> OnCaptureLost;

    // Inside OnPaint the paint's canvas; elsewhere a canvas on the window for immediate
    // drawing (mouse feedback), valid until the next call.
    platform::TCanvas& Canvas();
    // Puts the canvas's origin where the content shows, for drawing outside OnPaint.
    void ApplyOrigin();

protected:
    void Paint() override;
    platform::LRESULT WndProc(platform::UINT msg, platform::WPARAM w, platform::LPARAM l) override;
    bool EraseBackground(platform::HDC dc) override;

private:
    void ReleaseWindowCanvas();
    bool painting_ = false;
    platform::TCanvas windowCanvas_;
    platform::HWND windowCanvasOf_ = 0;
};
