#include "gui/leds.h"

#include "devices/audio.h"
#include "platform/gdi/canvas.h"
#include "platform/gdi/syscolors.h"
#include "song/timebase.h"

using namespace platform;

TLed::TLed(TBitmap& AOff, TBitmap& AOn) {
    Width = AOff.Width();
    Height = AOff.Height();
    HDC screen = GetDC(0);
    MemDC = CreateCompatibleDC(screen);
    OffImage = CreateCompatibleBitmap(screen, Width, Height);
    OnImage = CreateCompatibleBitmap(screen, Width, Height);
    ReleaseDC(0, screen);
    OldBitmap = SelectObject(MemDC, OffImage);
    BitBlt(MemDC, 0, 0, Width, Height, AOff.Canvas().Handle(), 0, 0, SRCCOPY);
    SelectObject(MemDC, OnImage);
    BitBlt(MemDC, 0, 0, Width, Height, AOn.Canvas().Handle(), 0, 0, SRCCOPY);
}

TLed::~TLed() {
    SelectObject(MemDC, OldBitmap);
    DeleteDC(MemDC);
    DeleteObject(OffImage);
    DeleteObject(OnImage);
}

void TAudioVU::SetPeaks(const float* Buffer, int Frames) {
    PeakL.store(PositivePeak(Buffer, Frames, 0), std::memory_order_relaxed);
    PeakR.store(PositivePeak(Buffer, Frames, 1), std::memory_order_relaxed);
}

int TAudioVU::LitWidth(int Bar) const {
    const std::atomic<float>& peak = Bar == 0 ? PeakL : PeakR;
    return Round(double(peak.load(std::memory_order_relaxed)) * 16) * 5;
}

void TAudioVU::Draw(int X, int Y, HDC DC, int LitL, int LitR) {
    const HGDIOBJ before = SelectObject(MemDC, OffImage);
    int y = Y;
    for (const int lit : {LitL, LitR}) {
        SelectObject(MemDC, OffImage);
        BitBlt(DC, X, y, Width, Height, MemDC, 0, 0, SRCCOPY);
        SelectObject(MemDC, OnImage);
        if (lit > 0) BitBlt(DC, X, y, lit, Height, MemDC, 0, 0, SRCCOPY);
        y += Height + 2;
    }
    SelectObject(MemDC, before);
}

void TMidiLed::Draw(HDC DC) {
    SelectObject(MemDC, Level > 0 ? OnImage : OffImage);
    BitBlt(DC, 0, 0, Width, Height, MemDC, 0, 0, SRCCOPY);
}

TMidiPos::TMidiPos(TColor BkColor, TColor TextColor, int AWidth, int AHeight) {
    Width = AWidth;
    Height = AHeight;
    HDC screen = GetDC(0);
    MemDC = CreateCompatibleDC(screen);
    Bitmap = CreateCompatibleBitmap(screen, Width, Height);
    OldBitmap = SelectObject(MemDC, Bitmap);
    BkBrush = CreateSolidBrush(ColorToRGB(BkColor));
    OldBrush = SelectObject(MemDC, BkBrush);
    Font = CreateFont(-MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, 0, 0,
                      0, 0, 0, 0, 0, 0, "Arial");
    OldFont = SelectObject(MemDC, Font);
    SetTextColor(MemDC, ColorToRGB(TextColor));
    SetBkMode(MemDC, TRANSPARENT);
    TextRect = {0, 0, Width, Height};
    ReleaseDC(0, screen);
}

TMidiPos::~TMidiPos() {
    SelectObject(MemDC, OldFont);
    SelectObject(MemDC, OldBrush);
    SelectObject(MemDC, OldBitmap);
    DeleteDC(MemDC);
    DeleteObject(Font);
    DeleteObject(BkBrush);
    DeleteObject(Bitmap);
}

void TMidiPos::DrawText(int X, int Y, HDC DC, std::string_view Text, unsigned Flags, int AWidth) {
    TextRect.Right = AWidth;
    FillRect(MemDC, &TextRect, BkBrush);
    platform::DrawText(MemDC, Text, &TextRect, Flags | DT_SINGLELINE | DT_VCENTER);
    BitBlt(DC, X, Y, AWidth, Height, MemDC, 0, 0, SRCCOPY);
}

void TMidiPos::SetBkColor(TColor Color) {
    const HBRUSH brush = CreateSolidBrush(ColorToRGB(Color));
    SelectObject(MemDC, brush);
    DeleteObject(BkBrush);
    BkBrush = brush;
}
