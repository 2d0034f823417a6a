#pragma once
// Inside the sound buffers: the shared ring of bytes and the device streams behind it.

#include "platform/audio/devices.h"
#include "platform/audio/sound.h"

#include <array>
#include <functional>
#include <mutex>

namespace platform {

class TRingBytes {
public:
    TRingBytes(std::uint32_t Size, const TPcmFormat& Format, bool Capture);

    const std::uint32_t size;
    const TPcmFormat format;
    const bool capture;

    // The program's side.
    bool SetNotify(const std::vector<TNotifyPosition>& Positions);
    bool Lock(std::uint32_t Offset, std::uint32_t Bytes, std::uint8_t** P1, std::uint32_t* N1,
              std::uint8_t** P2, std::uint32_t* N2);
    void CommitPiece(const std::uint8_t* P, std::uint32_t N);
    bool NextCrossing(TCrossing& Crossing);
    void Stop(); // capture: stops and signals the stop position once

    // The device's side; never locks or allocates.
    // Playback: adds Frames frames at the play cursor to Out (stereo float), moving it on.
    void ReadFrames(float* Out, int Frames);
    // Capture: takes Count bytes at the capture cursor while capturing.
    void WriteBytes(const std::uint8_t* In, std::uint32_t Count);
    // The device gave up: nothing more is captured, the stop position is signalled.
    void Fail(const char* Reason);

    std::atomic<std::uint64_t> total{0}; // bytes played or captured since creation
    std::atomic<bool> running{false};    // playing, or capturing
    std::atomic<bool> looping{true};
    std::atomic<bool> failed{false};
    char failReason[160] = {};

private:
    void Pass(std::uint64_t From, std::uint64_t To); // sets the events of the positions passed
    std::uint64_t NextPositionAfter(std::uint64_t Seen, int& Index) const;

    std::unique_ptr<std::atomic<std::uint8_t>[]> bytes_;
    std::unique_ptr<std::uint8_t[]> staging_;
    std::array<TNotifyPosition, 16> notify_{};
    int notifyCount_ = 0;
    int stopIndex_ = -1;
    std::atomic<std::uint32_t> published_{0}; // released by Unlock, taken by the device
    // Stops, in order, for the reading thread.
    std::array<std::atomic<std::uint64_t>, 8> stops_{};
    std::atomic<std::uint32_t> stopCount_{0};
    std::uint32_t stopsSeen_ = 0; // reading thread
    std::uint64_t seen_ = 0;      // reading thread
};

// Sets the reason SoundError answers.
void SetSoundError(const std::string& Reason);

// An input stream of one device that writes into a ring; Close waits for its thread.
class TInputStream {
public:
    virtual ~TInputStream() = default;
    virtual bool Open(const std::string& Id, const TPcmFormat& Format,
                      std::shared_ptr<TRingBytes> Ring) = 0;
};

// Real devices (sound_rtaudio.cpp).
std::vector<TCaptureDeviceInfo> RtAudioInputs();
bool RtAudioHasInput(const std::string& Id);
std::unique_ptr<TInputStream> MakeRtAudioInput();

// Null devices: a thread that moves on with the core clock, Tick(frames) every 10 ms.
class TClockPacer {
public:
    TClockPacer(int Rate, std::function<void(int Frames)> Tick);
    ~TClockPacer();

private:
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};
std::unique_ptr<TAudioDevice> MakeClockOutput();
std::unique_ptr<TInputStream> MakeClockInput();

// Scripted devices (scripted.cpp).
bool ScriptedFails(const char* Call);
std::unique_ptr<TAudioDevice> MakeScriptedOutput();
std::unique_ptr<TInputStream> MakeScriptedInput();
void ScriptedPlayRing(const std::shared_ptr<TRingBytes>& Ring);
void ScriptedLockGate(); // waits here while the test holds locks
std::vector<std::string> ScriptedAudioInputNames();

} // namespace platform
