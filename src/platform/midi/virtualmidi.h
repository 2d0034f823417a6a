// In-process MIDI ports for tests and benchmarks. Each registers itself as a device while it
// lives (before the sequencer's ports, in creation order) and unregisters when destroyed.
#pragma once

#include "platform/midi/midi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class TVirtualOutPort;
class TVirtualInPort;

// An output that records every message sent to it with the MIDI clock time.
class TVirtualMidiOut {
public:
    struct TSent {
        std::int64_t TimeUs;
        std::vector<std::uint8_t> Bytes;
    };
    explicit TVirtualMidiOut(std::string name, std::uint16_t technology = MOD_MIDIPORT);
    ~TVirtualMidiOut();
    TVirtualMidiOut(const TVirtualMidiOut&) = delete;
    TVirtualMidiOut& operator=(const TVirtualMidiOut&) = delete;

    std::vector<TSent> Sent() const;
    std::size_t Count() const; // records so far, without copying them
    void Clear();
    // Room for this many records, so that recording does not allocate while timing matters.
    void Reserve(std::size_t count);
    int OpenCount() const; // connections open now

private:
    std::shared_ptr<TVirtualOutPort> port_;
};

// An input the test drives: what it sends is delivered at once, on the calling thread, to every
// open connection.
class TVirtualMidiIn {
public:
    explicit TVirtualMidiIn(std::string name);
    ~TVirtualMidiIn();
    TVirtualMidiIn(const TVirtualMidiIn&) = delete;
    TVirtualMidiIn& operator=(const TVirtualMidiIn&) = delete;

    void Send(const std::vector<std::uint8_t>& bytes);
    int OpenCount() const;

private:
    std::shared_ptr<TVirtualInPort> port_;
};

} // namespace platform
