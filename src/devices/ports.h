#pragma once
// The MIDI outputs of the multimedia back end: one device runs as a stream that carries only
// timing markers, and the stream callback sends the queued messages when a marker falls due.
// The others are plain outputs for immediate messages.

#include "platform/core/messages.h"
#include "platform/midi/midi.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Posted to the ports' window when a stream buffer has been played: time to push more.
constexpr platform::UINT WM_REFILLQUEUE = platform::WM_USER + 502;

constexpr int StreamBufferSize = 12288; // bytes of each of the two stream buffers
constexpr int StreamMarkerSize = 12;    // one stream event: delta, stream id, event word
// Queued events the stream can hold at once; a push beyond them is refused like a full buffer.
constexpr int StreamQueueSize = 8192;

// One MIDI output.
class TOutputEx {
public:
    // Plain output, or the stream for the stream device; the stream callback reads it.
    std::atomic<platform::HMIDIOUT> Handle{nullptr};
    bool Opened = false;
    std::string Name; // up to 32 characters
    // Note-ons sent and not yet ended, per channel and note; the stream callback and the GUI
    // thread both change them.
    std::array<std::array<std::atomic<std::uint8_t>, 128>, 16> NoteCount{};
};

class TPorts {
public:
    explicit TPorts(platform::HWND Wnd);
    ~TPorts();
    TPorts(const TPorts&) = delete;
    TPorts& operator=(const TPorts&) = delete;

    // Queues one event Time ticks after the previously pushed one; False when refused.
    bool Push(int Time, std::uint32_t Msg, std::uintptr_t Data, int Port);
    // Hands a filling buffer to the stream now.
    void FlushOutput();
    void Start(int Pos);
    int Stop();
    int GetPosition();
    bool SetTempo(int BPM);
    void OpenOutput(int Index);
    void CloseOutput(int Index);
    platform::HMIDIOUT GetHandle(int Index) const;
    // True when a stream runs: without it nothing can be pushed, started or timed.
    bool HasStream() const { return Stream != nullptr; }

    // Sends one queued event at once (called when its marker falls due).
    struct TQueued {
        std::int32_t Time = 0;
        std::uint32_t Msg = 0;
        std::uint8_t Port = 0;
        bool Marked = false; // the event owns a marker; the events after it without one share it
        std::uintptr_t Data = 0;
    };
    void SendQueued(const TQueued& Q);
    // The stream callback's work.
    void MarkerDue();
    void BufferDone(platform::MIDIHDR* Hdr);

    std::atomic<platform::HWND> Window{0};
    std::vector<std::unique_ptr<TOutputEx>> Outputs;
    int StreamDevice = -1;
    platform::HMIDISTRM Stream = nullptr;
    std::array<platform::MIDIHDR, 2> Buffers{};
    int Current = 0;
    int StartPos = 0;
    int LoopOffset = 0;

private:
    int BufferState(int I) const;
    void SetBufferState(int I, int State);
    void HandOver(int I);
    bool Append(int I, int Time, const TQueued& Q);
    void ClearQueue();

    std::array<std::vector<char>, 2> blocks_;
    // Single producer (the GUI thread appends) and single consumer (the callback removes).
    std::vector<TQueued> queue_;
    std::atomic<std::uint32_t> head_{0};
    std::atomic<std::uint32_t> tail_{0};
};

// The stream's callback; Instance is the TPorts.
void MidiStreamCallback(platform::HMIDIOUT Handle, std::uint32_t Msg, std::uintptr_t Instance,
                        std::uintptr_t Param1, std::uintptr_t Param2);

// The ports of the multimedia back end; nil in the engine back end and before the MIDI object.
extern TPorts* Ports;
