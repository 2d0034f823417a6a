#pragma once
// Sample preview: a device of its own beside the audio-system driver, a looping 16-bit stereo
// buffer of two halves, and a thread that refills whichever half has just been played with
// the next piece of the sample (mixed by MixSample, converted to 16 bits). The sample-part
// editor gives it the sample, plays the buffer and closes it again.

#include "devices/mixkernels.h"
#include "platform/audio/sound.h"

#include <atomic>
#include <cstdint>
#include <memory>

class TPreview;

class TPreviewThread {
public:
    TPreviewThread(platform::HWND Wnd, TPreview* Preview); // runs at once
    ~TPreviewThread();                                     // Terminate, wake, join
    void Terminate();
    bool Terminated() const { return thread_.Terminated(); }

    platform::HWND Wnd;
    TPreview* Preview;

private:
    void Execute();
    platform::TAutoEvent wake_;
    platform::TLayerThread thread_;
};

class TPreview {
public:
    static constexpr std::uint32_t HalfBytes = 32768;
    static constexpr std::uint32_t BufferBytes = 2 * HalfBytes;
    static constexpr int HalfFrames = HalfBytes / 4;

    TPreview();  // Create: closed, not busy, MixBuffer allocated
    ~TPreview(); // Destroy: closes (the thread has ended), then frees MixBuffer
    TPreview(const TPreview&) = delete;
    TPreview& operator=(const TPreview&) = delete;

    // The device, its buffers, the events and the thread; shows "... failed" under "DS" for
    // the four creation steps. The result is IsOpen.
    bool Open(platform::HWND Wnd);
    // Ends the thread (terminate, wake, join), then releases the buffers, the device and the
    // events.
    void Close();

    bool IsOpen = false;
    std::unique_ptr<platform::TSoundOut> Sound;
    std::unique_ptr<platform::TPrimaryBuffer> PrimaryBuffer;
    std::unique_ptr<platform::TPlayBuffer> PlayBuffer;
    bool Notify = false; // the notification positions are set on PlayBuffer
    platform::TAutoEvent Events[2];
    platform::TNotifyPosition Positions[2] = {};
    std::unique_ptr<float[]> MixBuffer; // one half as stereo floats: 8,192 frames
    const void* SampleData = nullptr;
    std::unique_ptr<TPreviewThread> Thread;
    const TWaveFormat* SampleFormat = nullptr;
    int SampleLength = 0;
    std::atomic<bool> Busy{false};
    std::atomic<int> EndCount{0};
    std::atomic<int> Position{0}; // -1: the sample has ended

private:
    friend class TPreviewThread;
    void FillHalf(int Half);
    void Release();
};

// The preview of the whole run.
extern TPreview* Preview;
