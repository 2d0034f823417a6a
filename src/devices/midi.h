#pragma once
// The MIDI object: the one way to the MIDI devices.

#include <atomic>
#include <cstdint>
#include <vector>

// One message that went out at once, as the stand-in device layer records it.
struct TMidiSent {
    int Port;
    std::uint32_t Msg;
};

class TMIDI {
public:
    // Beats per minute; the tick and time conversions read it from any thread.
    std::atomic<int> Tempo{120};

    int GetTempo() const { return Tempo; }

    // Sends a short message at once on output Port.
    void DirectMidiOut(int Port, std::uint32_t Msg);
    // The same immediate message as DirectMidiOut.
    void QueueMidiOut(int Port, std::uint32_t Msg);

    // Until the ports exist every send lands here, in order; tests read and clear it.
    std::vector<TMidiSent> Sent;
};

// The program's MIDI object; nil until the main window makes it.
extern TMIDI* Midi;
