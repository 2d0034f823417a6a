#pragma once
// The sample-part editor's audition and its stop, in the order the editor calls the preview.

#include "devices/preview.h"
#include "platform/core/clock.h"

// Opens the preview with the main window, gives it the sample from its start and plays the
// buffer looping; false when the preview did not open.
inline bool Audition(platform::HWND MainWnd, const void* Data, int Size,
                     const TWaveFormat& Format) {
    if (!Preview->Open(MainWnd)) return false;
    Preview->EndCount = 0;
    Preview->Position = 0;
    Preview->SampleLength = Size;
    Preview->SampleFormat = &Format;
    Preview->SampleData = Data;
    return Preview->PlayBuffer->Play(true);
}

// Terminates the thread, stops the buffer, waits while a half is filled, lets SettleMs pass
// (the editor waits 100 ms) and closes the preview.
inline void StopAudition(std::uint32_t SettleMs = 100) {
    if (!Preview->IsOpen) return;
    if (Preview->Thread) Preview->Thread->Terminate();
    if (Preview->PlayBuffer) Preview->PlayBuffer->Stop();
    platform::WaitWhile([] { return Preview->Busy.load(); });
    if (SettleMs) platform::Sleep(SettleMs);
    Preview->Close();
}
