#pragma once
// The transport bar's live indicators: the stereo peak meter of the audio output, the MIDI
// input LED and the text read-outs (position, tempo). Plain objects on memory contexts
// prepared at creation; drawing is block copies into the main window's context. Everything
// runs on the GUI thread except TAudioVU::SetPeaks, which the audio callback calls.

#include "platform/gdi/gdi.h"
#include "platform/gdi/graphics.h"

#include <atomic>
#include <string_view>

// An indicator with an "off" and an "on" image of equal size.
class TLed {
public:
    // Copies both images (the off image gives the size); they are not kept.
    TLed(platform::TBitmap& AOff, platform::TBitmap& AOn);
    virtual ~TLed();
    TLed(const TLed&) = delete;
    TLed& operator=(const TLed&) = delete;

    // Draws the indicator at (0, 0) of DC.
    virtual void Draw(platform::HDC /*DC*/) {}

    platform::HDC MemDC = 0;
    platform::HGDIOBJ OldBitmap = 0;
    int Width = 0, Height = 0;
    platform::HBITMAP OffImage = 0, OnImage = 0;
};

// The stereo meter: two bars, the left one at (X, Y), the right one Height + 2 below; a
// full-scale peak lights 16 steps of 5 pixels.
class TAudioVU : public TLed {
public:
    TAudioVU(platform::TBitmap& AOff, platform::TBitmap& AOn) : TLed(AOff, AOn) {}

    // Written by the audio thread, read by the GUI thread: each value is always whole, the two
    // may come from different blocks.
    std::atomic<float> PeakL{0.0f}, PeakR{0.0f};

    // Buffer: Frames interleaved stereo frames. Audio thread; allocates and locks nothing.
    void SetPeaks(const float* Buffer, int Frames);
    // The lit width of the left (0) or right (1) bar for its peak now.
    int LitWidth(int Bar) const;
    using TLed::Draw;
    // The bars lit LitL and LitR pixels wide; without them, as the peaks are now.
    void Draw(int X, int Y, platform::HDC DC, int LitL, int LitR);
    void Draw(int X, int Y, platform::HDC DC) { Draw(X, Y, DC, LitWidth(0), LitWidth(1)); }
};

// The MIDI input LED: lit while Level is above 0.
class TMidiLed : public TLed {
public:
    TMidiLed(platform::TBitmap& AOff, platform::TBitmap& AOn) : TLed(AOff, AOn) {}
    float Level = 0.0f;
    void Draw(platform::HDC DC) override;
};

// A text field drawn through its own buffer, so it never flickers.
class TMidiPos {
public:
    TMidiPos(platform::TColor BkColor, platform::TColor TextColor, int AWidth, int AHeight);
    ~TMidiPos();
    TMidiPos(const TMidiPos&) = delete;
    TMidiPos& operator=(const TMidiPos&) = delete;

    // Fills the first AWidth pixels with the background, draws Text there (Flags give the
    // horizontal alignment; single line, vertically centred) and copies that part to (X, Y).
    void DrawText(int X, int Y, platform::HDC DC, std::string_view Text, unsigned Flags,
                  int AWidth);
    void SetBkColor(platform::TColor Color);

    platform::TRect TextRect;
    platform::HDC MemDC = 0;
    platform::HGDIOBJ OldBitmap = 0;
    int Width = 0, Height = 0;
    platform::HBITMAP Bitmap = 0;
    platform::HBRUSH BkBrush = 0;
    platform::HGDIOBJ OldBrush = 0;
    platform::HFONT Font = 0;
    platform::HGDIOBJ OldFont = 0;
};
