#include "gui/rotatelabel.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"
#include "song/timebase.h"

#include <cmath>
#include <numbers>

using namespace platform;

namespace {

int F(double x) {
    return FloorToInt(static_cast<float>(x));
}

double Rad(double degrees) {
    return degrees * std::numbers::pi / 180;
}

} // namespace

int NormalizeEscapement(int Value) {
    if (Value < 0) {
        while (Value < -360)
            Value += 360;
        return Value + 360;
    }
    while (Value > 360)
        Value -= 360;
    return Value;
}

TRotateLabel::TRotateLabel(TComponent* AOwner) : TLabel(AOwner) {
    TFont f = Font.Get();
    f.Name = "Arial";
    Font = f;
    SetParentFont(false);
    AdjustBounds();
}

void TRotateLabel::SetEscapement(int Value) {
    if (Value == escapement_) return;
    escapement_ = NormalizeEscapement(Value);
    AdjustBounds();
    Invalidate();
}

void TRotateLabel::SetTextStyle(TTextStyle Value) {
    if (Value == textStyle_) return;
    textStyle_ = Value;
    Invalidate();
}

void TRotateLabel::DrawOnce(TCanvas& canvas, TRect& rect, unsigned flags, TColor color,
                            const std::string& text) {
    if (escapement_ == 0) {
        CanvasDrawText(canvas, text, &rect, flags, color);
        return;
    }
    // Turned text: the start point moves so that the turned text stays inside the rectangle.
    const int a = escapement_;
    TFont font = Font.Get();
    font.Orientation = 0;
    canvas.Font = font;
    const TSize size = canvas.TextExtent(text);
    const double w = size.cx, h = size.cy, r = Rad(a);
    int dx = 0, dy = 0;
    if (a <= 90) {
        dy = F(std::sin(r) * w);
    } else if (a <= 180) {
        dx = F(-std::cos(r) * w);
        dy = F(std::sin(r) * w + std::cos(Rad(180 - a)) * h);
    } else if (a <= 270) {
        dx = F(-std::cos(r) * w + std::sin(Rad(a - 180)) * h);
        dy = F(std::sin(Rad(270 - a)) * h);
    } else {
        dx = F(std::sin(Rad(360 - a)) * h);
    }
    const int boxW = std::abs(F(std::cos(r) * w)) + std::abs(F(std::sin(r) * h));
    const int boxH = std::abs(F(std::sin(r) * w)) + std::abs(F(std::cos(r) * h));
    if (flags & DT_CALCRECT) {
        rect.Right = rect.Left + boxW;
        rect.Bottom = rect.Top + boxH;
        return;
    }
    int x = rect.Left + dx, y = rect.Top + dy;
    if (!GetAutoSize()) {
        if (GetAlignment() == taCenter) x += (rect.Width() - boxW) / 2;
        if (GetAlignment() == taRightJustify) x += rect.Width() - boxW;
    }
    font.Orientation = a * 10;
    canvas.Font = font;
    canvas.TextExtent(""); // selects the turned font
    SetBkMode(canvas.Handle(), TRANSPARENT);
    SetTextColor(canvas.Handle(), ColorToRGB(color));
    TextOut(canvas.Handle(), x, y, text);
    canvas.Font = Font.Get();
}

void TRotateLabel::DoDrawText(TCanvas& canvas, TRect& rect, unsigned flags) {
    std::string text = GetText();
    if ((flags & DT_CALCRECT) && (text.empty() || (GetShowAccelChar() && text == "&"))) text = " ";
    canvas.Font = Font.Get();
    if (flags & DT_CALCRECT) {
        DrawOnce(canvas, rect, flags, Font.Get().Color, text);
        return;
    }
    TColor highlight = clBtnHighlight, shadow = clBtnShadow;
    if (textStyle_ == tsRecessed) std::swap(highlight, shadow);
    if (textStyle_ != tsNone) {
        TRect down{rect.Left + 1, rect.Top + 1, rect.Right + 1, rect.Bottom + 1};
        DrawOnce(canvas, down, flags, shadow, text);
        TRect up{rect.Left - 1, rect.Top - 1, rect.Right - 1, rect.Bottom - 1};
        DrawOnce(canvas, up, flags, highlight, text);
    }
    TRect at = rect;
    DrawOnce(canvas, at, flags, GetEnabled() ? Font.Get().Color : clGrayText, text);
}
