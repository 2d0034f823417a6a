#pragma once
// The MIDI input port: the open input device and the input settings (thru target,
// transposition, input quantize, system-exclusive buffer), and the input callback that
// transposes, remaps, echoes and records what arrives.
//
// The callback runs on the MIDI layer's thread and never touches the song's parts: what it
// records it stamps with the input clock and hands to the GUI thread through a
// single-producer, single-consumer queue. The GUI thread inserts it into the record part
// (InsertRecorded), pairing note offs with their note ons; the port wakes it with a message to
// a window of its own, and stopping drains the queue before recording ends.

#include "platform/core/messages.h"
#include "platform/midi/midi.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class TMIDI;
class TMFX;
struct _TEvent;

// Messages posted to the input port's window (the main window).
constexpr platform::UINT WM_INPUTACTIVITY = platform::WM_USER + 503; // wParam track, lParam msg
constexpr platform::UINT WM_SYNCSTARTSTOP = platform::WM_USER + 504; // wParam 1 start, 2 stop,
                                                                     // 3 continue

// One open recorded note on.
struct TRecEvent {
    int Time = 0; // ticks from the start of the record part
    std::uint32_t Msg = 0;
};

// The longest block of one recorded system-exclusive event; longer messages are split.
constexpr int SysexBlockSize = 512;

class TInPort {
public:
    explicit TInPort(TMIDI* Owner);
    ~TInPort();
    TInPort(const TInPort&) = delete;
    TInPort& operator=(const TInPort&) = delete;

    // Re-opens the input on device Index (none for an index out of range).
    void Open(int Index);
    // Resets, unprepares, stops and closes the input device.
    void Close();
    // Sounds Msg through the thru target: the thru softsynth, else output Port.
    void PlayThru(int Port, std::uint32_t Msg);
    // All sound off to the thru softsynth.
    void ThruNotesOff();
    // Forgets the open recorded note ons.
    void ClearRecorded();
    // Removes and answers the first open note on of Note (any channel); False when none.
    bool TakeNoteOn(int Note, TRecEvent& Found);

    // GUI thread: inserts what the callback recorded into the record part. Input of an earlier
    // recording, or input that arrives while nothing records, is dropped.
    void InsertRecorded();
    // GUI thread: a new recording begins; input stamped before is not recorded.
    void BeginTake();
    // GUI thread: the recording ends (after InsertRecorded); the system-exclusive message
    // being received is dropped and later input is not recorded.
    void DropSysex();

    // The input callback's work (MIM_DATA and MIM_LONGDATA).
    void ShortData(std::uint32_t Msg);
    void LongData(platform::HMIDIIN Handle, platform::MIDIHDR* Header);

    bool RecordSysex = false;
    bool HeaderPrepared = false;
    TMIDI* Owner = nullptr;
    bool Opened = false;
    platform::HMIDIIN Handle = nullptr;
    std::atomic<int> ThruChannel{0};
    std::atomic<int> ThruPort{0};
    std::atomic<int> Transpose{0};
    std::atomic<int> ThruTrack{0};
    std::atomic<bool> ThruOn{false};
    std::atomic<TMFX*> ThruPlugin{nullptr};
    std::atomic<platform::HWND> Window{0};
    std::vector<TRecEvent> Recorded; // GUI thread only
    std::atomic<bool> QuantizeOn{false};
    std::atomic<int> QuantizeValue{0};

private:
    // One recorded message on its way to the GUI thread.
    struct TStamped {
        std::uint32_t Msg = 0;
        std::int32_t Pos = 0;     // input clock in song ticks
        std::uint32_t Take = 0;   // the recording it belongs to
        _TEvent* Sysex = nullptr; // a finished system-exclusive event (Msg unused)
    };
    class TStampQueue {
    public:
        static constexpr std::size_t Capacity = 4096;
        bool Push(const TStamped& S); // callback; False (dropped) when full
        bool Pop(TStamped& S);        // GUI thread
    private:
        std::array<TStamped, Capacity> cells_{};
        alignas(64) std::atomic<std::size_t> head_{0};
        alignas(64) std::atomic<std::size_t> tail_{0};
    };

    bool SongRecords() const;
    void Stamp(const TStamped& S);
    void RecordMessage(std::uint32_t Msg, int Time);
    void Post(platform::UINT Msg, platform::WPARAM W, platform::LPARAM L);
    void StartDevice(unsigned Index);
    void FlushSysex();

    std::vector<char> sysexBlock_;
    platform::MIDIHDR sysexHeader_{};
    TStampQueue queue_;
    std::atomic<std::uint32_t> take_{0};
    // The GUI thread's own window that drains the queue; one wake-up is posted at a time.
    platform::HWND drainWnd_ = 0;
    std::atomic<bool> drainPosted_{false};
    // The system-exclusive event being received (callback thread only).
    bool sysexOpen_ = false;
    std::uint32_t sysexTake_ = 0;
    std::int32_t sysexPos_ = 0;
    int sysexLen_ = 0;
    std::array<std::uint8_t, SysexBlockSize> sysexBytes_{};
};

// The input device's callback; Instance is the TInPort.
void MidiInCallback(platform::HMIDIIN Handle, std::uint32_t Msg, std::uintptr_t Instance,
                    std::uintptr_t Param1, std::uintptr_t Param2);
