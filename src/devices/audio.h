#pragma once
// The audio object: loads an exchangeable audio-system driver from the "system" folder, opens,
// starts, stops and closes it, keeps block size and rate, and owns what the audio callback
// shares with the GUI thread (the busy flag, output recording).

#include "devices/mixkernels.h"
#include "platform/audio/sound.h"
#include "platform/core/dynlib.h"
#include "platform/core/messages.h"
#include "tolvern_audio.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TWave;

// What the audio object asks of the plug-ins, the windows and the editor plug-ins. The defaults do
// nothing; those units install their own.
class TAudioHooks {
public:
    virtual ~TAudioHooks() = default;
    // Group and send buses and loaded softsynths take the rate or block size (the song's
    // engines fill these: subengine.cpp).
    virtual void ApplyRateToPlugins(float Rate);
    virtual void ApplyBlockSizeToPlugins(int Frames);
    virtual bool RecordAudio() { return false; } // the main window's audio-capture flag
    // The transport bar's stereo meter and the editor plug-ins that asked for audio.
    virtual void SetPeaks(const float* /*Buffer*/, int /*Frames*/) {}
    virtual void BroadcastBlock(float* /*Buffer*/, int /*Frames*/) {}
    // The properties dialog, filled with the block size and rate; True when it ended with OK.
    virtual bool ShowAbout() { return false; }
};
TAudioHooks& AudioHooks();
void SetAudioHooks(TAudioHooks* Hooks);

constexpr int MinAudioFrames = 32;
constexpr int MaxAudioFrames = 22050;

// The largest sample of one side (0 left, 1 right) of a block of interleaved stereo frames,
// at most 1.0: negative samples never raise it, so a block of only negative samples gives 0.0.
// Allocates nothing; the audio callback measures its peaks with it.
float PositivePeak(const float* Buffer, int Frames, int Side);

// One capture device: Guid is none for the default device.
struct TDirectSoundDriver {
    std::string Description;
    std::optional<std::string> Guid;
};
// The capture devices, the default device first. Probing the sound systems for them takes a
// while, so the audio object only asks for it: the list is filled when it is first read
// (GUI thread).
class TCaptureDriverList {
public:
    // The next read fills the list from the sound systems.
    void ProbeOnFirstRead() { probe_ = true; }

    std::size_t size() const { return List().size(); }
    bool empty() const { return List().empty(); }
    const TDirectSoundDriver& operator[](std::size_t I) const { return List()[I]; }
    TDirectSoundDriver& operator[](std::size_t I) { return List()[I]; }
    auto begin() const { return List().cbegin(); }
    auto end() const { return List().cend(); }
    void clear() {
        probe_ = false;
        list_.clear();
    }
    void push_back(TDirectSoundDriver D) { List().push_back(std::move(D)); }

private:
    std::vector<TDirectSoundDriver>& List() const;
    mutable std::vector<TDirectSoundDriver> list_;
    mutable bool probe_ = false;
};
extern TCaptureDriverList CaptureDrivers;

class TRecThread;

class TAudio {
public:
    explicit TAudio(platform::HWND MainWnd); // Create: reads [Audio], loads the driver
    ~TAudio();                               // Destroy: writes Frames and Rate back
    TAudio(const TAudio&) = delete;
    TAudio& operator=(const TAudio&) = delete;

    platform::HWND NotifyWnd = 0;
    platform::HWND MainWnd = 0;
    int Device = 0;
    platform::HMODULE Library = 0;
    TvAudioProperties Properties = nullptr;
    int Frames = 4096;
    float Rate = 44100.0f;
    float BlocksPerMs = 0.0f;
    std::atomic<bool> AudioOn{false};
    std::atomic<bool> CaptureOpen{false};
    std::atomic<bool>& Busy; // the one process-wide busy flag (see EnterRenderBlock)
    std::atomic<bool> Capturing{false};
    std::atomic<bool> Running{false};
    // Output recording; the audio thread consumes what the GUI thread armed.
    std::atomic<std::uint8_t*> OutTarget{nullptr};
    std::atomic<int> OutFrames{0};
    std::atomic<int> OutBits{16};
    int HDDefaultRecBits = 16;
    std::string SystemName = "None";

    void LoadSystem(const std::string& Name);
    void Open(platform::HWND Wnd);
    void Close();
    void Start();
    void Stop();
    void SetDevice(int Index) { Device = Index; }
    int GetDevice() const { return Device; }
    int DeviceCount();
    void DeviceName(int Index, std::string& Name);
    void NotifyStart();
    void NotifyRecording(bool On);
    void SetRate(float NewRate);
    void SetFrames(int NewFrames);
    void ApplyRateToPlugins();
    void ApplyBlockSizeToPlugins();
    bool SetOutputCapture(std::uint8_t* Buffer, int OutFramesArg, int Bits);
    void ShowSettings();

    // Audio capture (audiocapture.cpp). The take belongs to the capture thread while a take
    // runs; it is handed over by one WM_USER+150, sent to MainWnd after its last byte.
    std::optional<std::string> CaptureGuid; // none: the default device
    int MissingCaptureDevice = -1;          // the chosen device beyond the list, or -1
    std::unique_ptr<platform::TSoundIn> CaptureObject;
    std::unique_ptr<platform::TCaptureBuffer> CaptureBuffer;
    bool CaptureNotify = false; // the notification positions are set
    std::unique_ptr<TRecThread> RecThread;
    std::atomic<int> Written{0};      // bytes of the take filled
    std::atomic<int> ReadPos{0};      // next byte of the capture buffer to take
    std::atomic<int> CaptureStart{0}; // the capture cursor when the take started
    std::atomic<TWave*> RecordWave{nullptr};
    // The take: 0 a new sample, 1 replaces a sample's wave, 2 overdubs it, 3 a new file in the
    // recording pool.
    int RecordMode = 0;
    TWaveFormat CaptureFormat = MakePcmFormat(2, 44100, 16);
    platform::TAutoEvent CaptureEvents[3];
    platform::TNotifyPosition CapturePositions[3] = {};
    // Bytes the last take lost (a failed lock, a lap the capture thread fell behind), kept
    // in the take as silence.
    std::atomic<int> CaptureLost{0};

    void PrepareRecordWave(int Bytes, TWave* Wave);
    int GetCaptureDevice() const;
    void SetCaptureDevice(int Index);
    // The capture device to store: a device chosen at start-up that is missing now (unplugged)
    // keeps its number until another is chosen, while the default device records.
    int CaptureDeviceSetting() const;
    void OpenCapture();
    void CloseCapture();
    void StartCapture(); // the audio thread, with the first block of a capturing run
    void StopCapture();
    void ProcessCapture(int Index, std::uint64_t Position); // the capture thread
    // Capture buffer size: two halves of Frames frames in CaptureFormat.
    int CaptureBytes() const;

private:
    friend class TRecThread;
    int Command(int Cmd, std::intptr_t A = 0, std::intptr_t B = 0);
    void FreeSystem();
    void ReleaseCapture();
    void EndTake(bool StopSeen); // the capture thread
    void AddCaptured(const std::uint8_t* Bytes, int Count);
    void ReportCapture();

    // 0 no take, 1 a take runs, 2 it is being handed over.
    std::atomic<int> takeState_{0};
    std::atomic<bool> takeArmed_{false}; // PrepareRecordWave made a take not captured yet
    std::atomic<bool> startFailed_{false};
    std::uint64_t readTotal_ = 0;  // capture thread: bytes of the buffer taken so far
    TWave* madeWave_ = nullptr;    // the take PrepareRecordWave made, freed with us
    platform::HWND reportWnd_ = 0; // shows what went wrong in a take, on the GUI thread
};

// A capture thread: waits for the capture buffer's notifications and hands them, in the
// order they were crossed, to ProcessCapture.
class TRecThread {
public:
    TRecThread(platform::HWND Wnd, TAudio* Audio);
    ~TRecThread(); // terminate, wake, join (a send of it to the GUI thread is served)
    void Terminate();
    bool IsCurrent() const { return thread_.IsCurrent(); }
    platform::HWND Wnd;

private:
    void Execute();
    TAudio* audio_;
    platform::TAutoEvent wake_;
    platform::TLayerThread thread_;
};


// The program's audio object; nil until the main window makes it.
extern TAudio* Audio;
// [Audio] Buffers: 2, 4, 6 or 8.
extern int AudioBuffers;
// Processor load of the last block in percent.
extern std::atomic<int> CpuLoad;

// The rate in effect (44100 without an audio object).
float AudioRate();

// The driver calls this from its own thread for every block.
extern "C" void AudioCallback(float* Buffer, std::int32_t Frames, std::int32_t Flag);
// Converts the block for the armed output recording (only while the song records).
void RecordOutputBlock(const float* Buffer, int Frames, int Flag);

// The busy protocol between the renderer and the GUI thread. The renderer takes the flag with
// a test-and-set for a whole block; a block that finds it taken plays silence.
bool EnterRenderBlock();
void LeaveRenderBlock();
// GUI thread: takes the flag for the whole of a change (locate, start, list changes), waiting
// while a block holds it; nests.
void HoldRenderer();
void ReleaseRenderer();
// HoldRenderer for the scope of a change.
struct TRendererHold {
    TRendererHold() { HoldRenderer(); }
    ~TRendererHold() { ReleaseRenderer(); }
    TRendererHold(const TRendererHold&) = delete;
    TRendererHold& operator=(const TRendererHold&) = delete;
};
// GUI thread: waits until no block renders (at once when the GUI thread holds the flag).
void WaitRenderIdle();
