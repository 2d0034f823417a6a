#include "gui/scroll.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"
#include "platform/window/paint.h"

using namespace platform;

TScroll::TScroll(TComponent* AOwner) : TCustomControl(AOwner) {
    width_ = 300;
    height_ = 150;
    color_ = clBlack;
}

TScroll::~TScroll() {
    ReleaseWindowCanvas();
}

void TScroll::ReleaseWindowCanvas() {
    if (HDC dc = windowCanvas_.Handle()) {
        windowCanvas_.SetHandle(0);
        ReleaseDC(windowCanvasOf_, dc);
    }
    windowCanvasOf_ = 0;
}

TCanvas& TScroll::Canvas() {
    if (painting_) return TCustomControl::Canvas();
    // A fresh context each time: the window may have moved or been made anew since.
    ReleaseWindowCanvas();
    windowCanvasOf_ = Handle();
    windowCanvas_.SetHandle(GetDC(windowCanvasOf_));
    windowCanvas_.Font = Font.Get();
    windowCanvas_.Brush.Color = GetColor();
    return windowCanvas_;
}

void TScroll::ApplyOrigin() {
    TCanvas& c = painting_ ? TCustomControl::Canvas() : windowCanvas_;
    if (!c.Handle()) Canvas();
    SetWindowOrgEx(c.Handle(), -OffsetX, -OffsetY, nullptr);
}

namespace {
// The uncovered strip still holds the pixels that were there before the move: it is erased
// before it is painted (a pane that erases its background paints over a clean strip).
constexpr UINT kScrollFlags = SW_INVALIDATE | SW_ERASE;
} // namespace

void TScroll::SetOffsetX(int V) {
    if (HandleAllocated() && V != OffsetX)
        ScrollWindowEx(ExistingHandle(), V - OffsetX, 0, nullptr, nullptr, nullptr, nullptr,
                       kScrollFlags);
    OffsetX = V;
}

void TScroll::SetOffsetY(int V) {
    if (HandleAllocated() && V != OffsetY)
        ScrollWindowEx(ExistingHandle(), 0, V - OffsetY, nullptr, nullptr, nullptr, nullptr,
                       kScrollFlags);
    OffsetY = V;
}

bool TScroll::EraseBackground(HDC dc) {
    if (EraseBkgnd) {
        HBRUSH b = CreateSolidBrush(ColorToRGB(GetColor()));
        TRect r = ClientRect();
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    // Answered either way: the owner paints every pixel.
    return true;
}

void TScroll::Paint() {
    if (!OnPaint) return;
    TCanvas& c = TCustomControl::Canvas();
    SetWindowOrgEx(c.Handle(), -OffsetX, -OffsetY, nullptr);
    painting_ = true;
    Guarded([&] { OnPaint(c); });
    painting_ = false;
}

LRESULT TScroll::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_CAPTURECHANGED && OnCaptureLost && HWND(l) != ExistingHandle()) OnCaptureLost();
    return TCustomControl::WndProc(msg, w, l);
}
