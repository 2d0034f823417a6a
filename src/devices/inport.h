#pragma once
// The MIDI input port: the open input device and the input settings (thru target,
// transposition, input quantize, system-exclusive buffer). It keeps the values the MIDI object
// sets; what arrives at the input is the input callback's business.

#include "platform/core/messages.h"
#include "platform/midi/midi.h"

#include <atomic>
#include <vector>

class TMIDI;
class TMFX;

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
    // Drops the system-exclusive event being received (at stop).
    void DropSysex();
    // Forgets the open recorded note-ons.
    void ClearRecorded();

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
    std::atomic<bool> QuantizeOn{false};
    std::atomic<int> QuantizeValue{0};

private:
    std::vector<char> sysexBlock_;
    platform::MIDIHDR sysexHeader_{};
};

// The input device's callback; Instance is the TInPort.
void MidiInCallback(platform::HMIDIIN Handle, std::uint32_t Msg, std::uintptr_t Instance,
                    std::uintptr_t Param1, std::uintptr_t Param2);
