// The windowless scroll bar: free-standing with a position, or scrolling a container.
#include "gui/mscroll.h"

#include "platform/gdi/gdi.h"

#include <algorithm>
#include <cstdint>
#include <vector>

using namespace platform;

namespace {

// The classic scroll track: the button face with every other pixel in the highlight colour.
void PaintTrack(TCanvas& Canvas, HDC Dc, int W, int H) {
    GuiFillRect(Canvas, kGuiSilver, {0, 0, W, H});
    const Surface light(W, H, 0xFFFFFFFFu);
    std::vector<std::uint8_t> mask(std::size_t(W) * std::size_t(H));
    for (int y = 0; y < H; ++y)
        for (int x = (y & 1); x < W; x += 2)
            mask[std::size_t(y) * std::size_t(W) + std::size_t(x)] = 1;
    DrawMasked(Dc, 0, 0, light, mask.data());
}

} // namespace

TGuiScrollbar::TGuiScrollbar(TMScroll* AOwner) : TGuiBase(AOwner) {
    Align = alBottom;
    Left = 0, Top = 0, Right = 16, Bottom = 16;
}

TGuiScrollbar::~TGuiScrollbar() = default;

int TGuiScrollbar::Length() const {
    return Vertical ? Bottom - Top : Right - Left;
}

int TGuiScrollbar::ButtonSize() const {
    return Vertical ? Right - Left : Bottom - Top;
}

bool TGuiScrollbar::Needed() {
    if (!Container) return Max > 0;
    return Vertical ? Container->ContentHeight() > Container->GetHeight()
                    : Container->ContentWidth() > Container->GetWidth();
}

double TGuiScrollbar::ThumbLength() {
    if (!Needed()) return 0;
    const double T = Length() - 2 * ButtonSize();
    if (!Container) return T * PageSize / double(PageSize + Max);
    const int size = Vertical ? Container->GetHeight() : Container->GetWidth();
    const int content = Vertical ? Container->ContentHeight() : Container->ContentWidth();
    return content > 0 ? T * size / content : 0;
}

int TGuiScrollbar::ThumbPos() {
    const double TL = ThumbLength();
    if (TL <= 0) return 0;
    const double T = Length() - 2 * ButtonSize();
    if (!Container) return GuiRound((T - TL) * Position / Max);
    const int size = Vertical ? Container->GetHeight() : Container->GetWidth();
    if (size <= 0) return 0;
    return GuiRound(TL * (Vertical ? Container->ScrollY : Container->ScrollX) / size);
}

void TGuiScrollbar::SetPosition(int Pos) {
    Position = std::clamp(Pos, 0, std::max(0, Max));
    Redraw();
}

void TGuiScrollbar::Changed() {
    if (!Container) ReportValue(Position);
}

void TGuiScrollbar::ReportValue(int AVal) {
    Owner->Report(Id, AVal, "");
}

void TGuiScrollbar::Scroll(int Delta) {
    if (!Container) {
        SetPosition(Position + Delta);
        Redraw();
        Changed();
        return;
    }
    if (Vertical)
        Container->SetScrollY(Container->ScrollY + Delta);
    else
        Container->SetScrollX(Container->ScrollX + Delta);
    Container->Redraw();
}

void TGuiScrollbar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGuiBase::MouseDown(Button, Shift, X, Y);
    const double TL = ThumbLength();
    if (!Needed()) return;
    const int c = Vertical ? Y : X;
    const int BS = ButtonSize(), len = Length(), TP = ThumbPos();
    if (c < BS) {
        PressedPart = 1;
        Scroll(-LineStep);
    } else if (c > len - BS) {
        PressedPart = 2;
        Scroll(LineStep);
    } else if (TL > 0 && c >= BS + TP && c <= BS + TP + TL) {
        // (A bar too short for a thumb has only its arrows and pages.)
        PressedPart = 3;
        (Vertical ? DragOffsetY : DragOffsetX) = c - TP;
        dragAt_ = c;
        Redraw();
        if (!Vertical) ReportValue(-1);
    } else if (c >= BS && c < BS + TP) {
        PressedPart = 4;
        Scroll(-PageStep);
    } else {
        PressedPart = 5;
        Scroll(PageStep);
    }
}

void TGuiScrollbar::MouseMove(TShiftState, int X, int Y) {
    if (PressedPart != 3) return;
    const double TL = ThumbLength();
    if (TL <= 0) return;
    const int c = Vertical ? Y : X;
    // A move that does not go along the bar moves nothing.
    if (c == dragAt_) return;
    dragAt_ = c;
    const int off = Vertical ? DragOffsetY : DragOffsetX;
    if (!Container) {
        SetPosition(GuiRound((c - off) * PageSize / TL));
        Redraw();
        Changed();
        return;
    }
    const int size = Vertical ? Container->GetHeight() : Container->GetWidth();
    if (size <= 0) return;
    const int v = GuiRound((c - off) * size / TL);
    if (Vertical)
        Container->SetScrollY(v);
    else
        Container->SetScrollX(v);
    Container->Redraw();
}

void TGuiScrollbar::MouseUp(TMouseButton, TShiftState, int, int) {
    Pressed = false;
    const bool thumb = PressedPart == 3;
    PressedPart = 0;
    if (thumb) ReportValue(-2);
    Redraw();
}

void TGuiScrollbar::Exit() {
    TGuiBase::Exit();
    PressedPart = 0;
}

void TGuiScrollbar::Step(int Delta) {
    if (!Container) return;
    if (Vertical)
        Container->SetScrollY(Container->ScrollY - LineStep * Delta);
    else
        Container->SetScrollX(Container->ScrollX - LineStep * Delta);
    Container->Redraw();
}

void TGuiScrollbar::Paint(TCanvas& Canvas) {
    int w = 0, h = 0;
    if (!PaintSize(w, h)) return;
    const bool needed = Needed();
    const double TL = ThumbLength();
    const int BS = ButtonSize(), len = Length(), TP = ThumbPos();
    auto along = [&](int a, int b) { return Vertical ? TRect{0, a, w, b} : TRect{a, 0, b, h}; };
    const TRect arrow1 = along(0, BS), arrow2 = along(len - BS, len);
    const TRect thumb = along(BS + TP, GuiRound(BS + TP + TL));
    TOffscreenScope off(Owner, w, h);
    TCanvas& c = off.Canvas();
    TvSkinPaintRec rec = SkinRecord(w, h, false);
    rec.Flags = (needed ? 0 : TV_SKIN_DISABLED) | (Vertical ? TV_SKIN_VERTICAL : 0) |
                (PressedPart ? TV_SKIN_PART1 << (PressedPart - 1) : 0);
    auto tv = [](const TRect& r) { return TvRect{r.Left, r.Top, r.Right, r.Bottom}; };
    rec.Tail.Scroll = {tv(arrow1), tv(arrow2), tv(thumb)};
    if (!SkinPaint("scrollbar", off.DC(), rec)) {
        PaintTrack(c, off.DC(), w, h);
        for (int part : {1, 2}) {
            const TRect r = part == 1 ? arrow1 : arrow2;
            const bool held = PressedPart == part;
            GuiFillRect(c, kGuiSilver, r);
            if (!held) GuiFrame(c, r, kGuiWhite, kGuiGrey);
            const TColor color = !needed                    ? kGuiGrey
                                 : held || PressedPart == 3 ? kGuiBlue
                                                            : kGuiBlack;
            const int dir = part == 1 ? (Vertical ? 1 : 3) : (Vertical ? 2 : 4);
            GuiTriangle(c, color, dir, held ? 1 : 0, r, true);
        }
        if (needed && TL > 0) {
            TRect t = thumb;
            if (Vertical)
                t.Bottom = std::min(t.Bottom, len - BS);
            else
                t.Right = std::min(t.Right, len - BS);
            GuiFillRect(c, kGuiSilver, t);
            GuiFrame(c, t, kGuiWhite, kGuiGrey);
        }
    }
    BitBlt(Canvas.Handle(), Left, Top, w, h, off.DC(), 0, 0, SRCCOPY);
}
