#pragma once
// The host callback every VST 2 plug-in receives, and the one time-information record the
// callback fills and the transport keeps current.

#include "devices/vst2.h"
#include "platform/core/messages.h"

#include <atomic>
#include <cstdint>

// Posted to the main window: wParam 1 the plug-in (lParam, its AEffect) wants idle calls,
// wParam 0 its display changed.
constexpr platform::UINT WM_VSTHOST = platform::WM_USER + 124;

extern VstTimeInfo VstTime;
// The main window the callback posts to; 0 posts nothing.
extern std::atomic<platform::HWND> VstHostWindow;

extern "C" VstIntPtr VstHostCallback(AEffect* Effect, std::int32_t Opcode, std::int32_t Index,
                                     VstIntPtr Value, void* Ptr, float Opt);

// The transport bits: the play command and the mixdown export start, the stop command stops,
// the block renderer clears "changed" at the end of every block.
void VstTransportStarted();
void VstTransportStopped();
void VstClearTransportChanged();

// The audio engine's clock: the locate position in samples plus the samples rendered since.
std::int64_t VstClockSamples();
