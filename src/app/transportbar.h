#pragma once
// The transport bar's free routines, and what the bar, the main window's keys and the
// softsynth menu ask of windows that other units build.

#include "platform/gdi/gdi.h"
#include "platform/gdi/types.h"

#include <cstdint>
#include <functional>

// Bar height and the fields' places at full layout.
inline constexpr int TransportBarHeight = 27;

// Packs the visible fields from the left; a floating bar takes the width they need.
void LayoutTransportBar();
// The seven buttons on the buttons field's DC (origin at the field).
void PaintTransportButtons(platform::HDC DC);
void PaintLeftLocator();
void PaintRightLocator();

// Set while Enter acts, until it is released: auto-repeat does nothing meanwhile.
extern std::uint8_t EnterGuard;

// Each hook stays empty until the window that answers it exists; an empty hook does nothing.
struct TMdiHooks {
    // The metronome button's right click (empty: the options dialog on its Beep page).
    std::function<void()> ShowMetronomeOptions;
    // The looks editor ("GUI..."; empty: the one of app/ugui.h).
    std::function<void()> ShowLooksEditor;
    // The rulers of the editors, after beats per bar changed (the arrange window's is repainted
    // by the main window).
    std::function<void()> RepaintRulers;
    // The mixer: its meters (system timer); made on first use, then shown or hidden.
    std::function<void()> RefreshMixerMeters;
    std::function<void()> ToggleMixerVisible;
    // Keys handed on: A (auto-quantize button), M (mute of a track), S (solo), NumPad * (record
    // punch-in), Shift+Enter (locators around the selected parts).
    std::function<void()> ToggleAutoQuantize;
    std::function<void(int Track)> ToggleTrackMute;
    std::function<void()> ToggleSolo;
    std::function<void()> RecordPunchIn;
    std::function<void()> LocatorsToSelection;
};
TMdiHooks& MdiHooks();

// The live-recording memories (the last tick each one recorded) go back to -1 when Record
// starts: Reset runs then. The number returned takes it out again.
int AddRecordReset(std::function<void()> Reset);
void RemoveRecordReset(int Id);
void RunRecordResets();
