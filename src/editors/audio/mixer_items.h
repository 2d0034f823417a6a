#pragma once
// What the mixer's units share: its item classes, which remember beside their tag what the
// paint and mouse handlers need, and the mixer's pictures.

#include "editors/audio/mixer.h"
#include "gui/xgui.h"
#include "platform/gdi/graphics.h"

#include <atomic>

// A name label that knows its strip's kind ("SynthName" stands for a softsynth only on a
// softsynth strip).
class TMixLabel : public TXGuiLabel {
public:
    using TXGuiLabel::TXGuiLabel;
    TStripKind Kind = TStripKind::None;
};

// A meter: the two peaks it shows (a slot's or a bus's).
class TMixMeter : public TXGuiUser {
public:
    using TXGuiUser::TXGuiUser;
    std::atomic<float>* PeakLeft = nullptr;
    std::atomic<float>* PeakRight = nullptr;
};

// A send knob: its slot and send number (the slot's row of levels may move at its first set).
class TMixKnob : public TXGuiKnob {
public:
    using TXGuiKnob::TXGuiKnob;
    TSoftOut* Slot = nullptr;
    int Send = 0;
};

// The mixer's pictures, drawn once.
struct TMixerImages {
    TMixerImages();
    platform::TBitmap Strip;           // 48 x 103: meter background 0..21, fader track 22..47
    platform::TBitmap Knob, HorzKnob;  // 24 x 10, 12 x 14
    platform::TBitmap MuteOn, MuteOff; // 24 x 20
    platform::TBitmap SoloOn, SoloOff; // 24 x 20
    platform::TBitmap LedOn, LedOff;   // 12 x 12
    platform::TBitmap Minimise, Maximise, Editor; // 14 x 14
    platform::TBitmap VuOff, VuOn;                // 6 x 81
    platform::TBitmap WaveBack;                   // 48 x 40
    platform::TBitmap WhiteSpace;                 // 48 x 20
    platform::TBitmap AirPump;                    // 48 x 20
    platform::TBitmap Bevel;                      // 48 x 20
};
TMixerImages& MixerImages();

// Rows lit by a peak: 5 per sixteenth of full scale, at most the meter's 81; none for a value
// that is not above 0 (NaN included).
int MeterRows(float Peak);
